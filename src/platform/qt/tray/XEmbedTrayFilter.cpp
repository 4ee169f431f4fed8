#include "platform/qt/tray/XEmbedTrayFilter.h"

#include <QApplication>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolTip>
#include <QWidget>

#include <utility>

namespace vorda::qt {

XEmbedTrayFilter::XEmbedTrayFilter(const QSystemTrayIcon& tray, std::function<void()> onRightRelease)
    : tray_(tray), onRightRelease_(std::move(onRightRelease))
{
    qApp->installEventFilter(this);
}

bool XEmbedTrayFilter::IsXEmbedIcon(const QObject& object) { return object.inherits("QSystemTrayIconSys"); }

bool XEmbedTrayFilter::eventFilter(QObject* watched, QEvent* event)
{
    const auto type = event->type();
    if ((type != QEvent::ToolTip && type != QEvent::MouseButtonRelease) || watched == nullptr ||
        !IsXEmbedIcon(*watched)) {
        return false;
    }
    if (type == QEvent::ToolTip) {
        // Written out as markup of itself, so nothing in it is read as markup; on one line, as a
        // plain tooltip is.
        const auto* help = static_cast<QHelpEvent*>(event);
        const QString tip = QStringLiteral("<p style='white-space:pre'>%1</p>").arg(tray_.toolTip().toHtmlEscaped());
        QToolTip::showText(help->globalPos(), tip, static_cast<QWidget*>(watched));
        return true;
    }
    if (static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
        // From the event loop: the popup waits for the user, and the release is still being handled.
        QTimer::singleShot(0, this, [this] { onRightRelease_(); });
    }
    return false;
}

} // namespace vorda::qt
