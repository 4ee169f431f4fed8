// vorda-e2e-window-copy: copies TEXT as a Wayland program does on a compositor without data-control
// (GNOME): from a window of its own, once that window has the keyboard focus. Prints "copied" then,
// and keeps the clipboard until ended.
//
//   QT_QPA_PLATFORM=wayland vorda-e2e-window-copy TEXT

#include <QClipboard>
#include <QGuiApplication>
#include <QRasterWindow>

#include <cstdio>

namespace {

class CopyWindow final : public QRasterWindow {
public:
    explicit CopyWindow(QString text) : text_(std::move(text)) {}

protected:
    void focusInEvent(QFocusEvent* /*event*/) override
    {
        if (!copied_) {
            QGuiApplication::clipboard()->setText(text_);
            copied_ = true;
            std::printf("copied\n");
            std::fflush(stdout);
        }
    }

private:
    QString text_;
    bool copied_ = false;
};

} // namespace

int main(int argc, char* argv[])
{
    QGuiApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s TEXT\n", argv[0]);
        return 2;
    }
    CopyWindow window(QString::fromLocal8Bit(argv[1]));
    window.resize(200, 100);
    window.show();
    window.requestActivate();
    return QGuiApplication::exec();
}
