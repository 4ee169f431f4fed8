#include "platform/qt/session/Boxes.h"

#include <QCloseEvent>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMessageBox>

#include <algorithm>
#include <vector>

namespace vorda::qt {
namespace {

// The message box's style bits: buttons in the low four, icon in the next four, default button above.
struct BoxButton {
    QMessageBox::StandardButton button;
    int id; // what the box returns for it
};

std::vector<BoxButton> BoxButtons(unsigned style)
{
    using B = QMessageBox;
    switch (style & 0xFU) {
    case 1: return {{B::Ok, 1}, {B::Cancel, 2}};
    case 2: return {{B::Abort, 3}, {B::Retry, 4}, {B::Ignore, 5}};
    case 3: return {{B::Yes, 6}, {B::No, 7}, {B::Cancel, 2}};
    case 4: return {{B::Yes, 6}, {B::No, 7}};
    case 5: return {{B::Retry, 4}, {B::Cancel, 2}};
    default: return {{B::Ok, 1}};
    }
}

QMessageBox::Icon BoxIcon(unsigned style)
{
    switch (style & 0xF0U) {
    case 0x10: return QMessageBox::Critical;
    case 0x20: return QMessageBox::Question;
    case 0x30: return QMessageBox::Warning;
    case 0x40: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
    }
}

// A box without a Cancel or a lone OK cannot be dismissed without an answer, as on Windows.
class AnswerBox final : public QMessageBox {
public:
    explicit AnswerBox(bool dismissable) : dismissable_(dismissable) {}

protected:
    void closeEvent(QCloseEvent* event) override
    {
        if (dismissable_) {
            QMessageBox::closeEvent(event);
        } else {
            event->ignore();
        }
    }
    void keyPressEvent(QKeyEvent* event) override
    {
        if (!dismissable_ && event->matches(QKeySequence::Cancel)) {
            return;
        }
        QMessageBox::keyPressEvent(event);
    }

private:
    bool dismissable_;
};

} // namespace

int ShowMessageBox(const QString& prompt, unsigned style, const QString& title)
{
    const std::vector<BoxButton> buttons = BoxButtons(style);
    const bool dismissable = buttons.size() == 1 || buttons.back().button == QMessageBox::Cancel;
    AnswerBox box(dismissable);
    box.setWindowTitle(title);
    box.setText(prompt);
    box.setIcon(BoxIcon(style));
    for (const BoxButton& button : buttons) {
        box.addButton(button.button);
    }
    const std::size_t defaultIndex = std::min<std::size_t>((style >> 8) & 0xFU, buttons.size() - 1);
    box.setDefaultButton(buttons[defaultIndex].button);
    if (dismissable) {
        box.setEscapeButton(buttons.back().button);
    } else {
        box.setWindowFlag(Qt::WindowCloseButtonHint, false); // as Windows greys it out
    }
    box.show();
    box.activateWindow(); // the program has no window of its own that could hold the focus
    const auto pressed = static_cast<QMessageBox::StandardButton>(box.exec());
    const auto found = std::find_if(buttons.begin(), buttons.end(),
                                    [pressed](const BoxButton& button) { return button.button == pressed; });
    return found != buttons.end() ? found->id : buttons.back().id;
}

std::optional<QString> AskForText(const QString& prompt, const QString& title, const QString& initialText)
{
    QInputDialog box;
    box.setInputMode(QInputDialog::TextInput);
    box.setWindowTitle(title);
    box.setLabelText(prompt);
    box.setTextValue(initialText);
    box.show();
    box.activateWindow();
    if (box.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return box.textValue();
}

} // namespace vorda::qt
