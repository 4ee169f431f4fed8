#include "platform/qt/tray/TrayIcon.h"

#include "platform/PlatformNumbers.h"
#include "platform/qt/tray/NoTrayNotice.h"
#include "platform/qt/tray/StatusNotifierItem.h"
#include "platform/qt/tray/XEmbedTrayFilter.h"

#include <QGuiApplication>
#include <QSystemTrayIcon>

#include <utility>

namespace vorda::qt {
namespace {

// A session starts its panel beside the program: only a tray still missing after this long is news.
constexpr int kTrayGraceMs = 3000;

bool OnX() { return QGuiApplication::platformName() == QLatin1String("xcb"); }

} // namespace

TrayIcon::TrayIcon(const QMenu& menu, Events events) : events_(std::move(events))
{
    item_ = std::make_unique<StatusNotifierItem>(
        menu, StatusNotifierItem::Events{
                  [this] { events_.trayEvent(kTrayEventDoubleClick); }, // a host's click stands for it
                  [this](QPoint at) { events_.popupAt(at); },
                  [this](int id) { events_.menuItemChosen(id); },
              });
    item_->OnWatcherChange([this](bool) { Choose(); });
    trayCheck_.setSingleShot(true);
    trayCheck_.setInterval(kTrayGraceMs);
    connect(&trayCheck_, &QTimer::timeout, this, &TrayIcon::CheckForTray);
}

TrayIcon::~TrayIcon() = default;

bool TrayIcon::TrayIsPresent() { return StatusNotifierItem::WatcherIsPresent() || (OnX() && XEmbedTrayIsPresent()); }

void TrayIcon::SetIcon(const QIcon& icon)
{
    icon_ = icon;
    item_->SetIcon(icon);
    if (xembed_) {
        xembed_->setIcon(icon);
    }
}

void TrayIcon::SetToolTip(const QString& text)
{
    toolTip_ = text;
    item_->SetToolTip(text);
    if (xembed_) {
        xembed_->setToolTip(text);
    }
}

void TrayIcon::Show()
{
    shown_ = true;
    Choose();
    if (!saidNoTray_) {
        trayCheck_.start();
    }
}

void TrayIcon::Hide()
{
    shown_ = false;
    trayCheck_.stop();
    item_->Hide();
    ShowXEmbed(false);
}

void TrayIcon::Choose()
{
    if (!shown_) {
        return;
    }
    // The item stays on the bus while there is no watcher, so a panel that comes finds it at once.
    item_->Show();
    ShowXEmbed(OnX() && !StatusNotifierItem::WatcherIsPresent());
}

void TrayIcon::ShowXEmbed(bool show)
{
    if (!show) {
        if (xembed_) {
            xembed_->hide();
        }
        return;
    }
    if (!xembed_) {
        // Made only while no watcher is there: Qt decides once per run whether its icons are items on the
        // bus or XEmbed windows, and this one must be the window.
        xembed_ = std::make_unique<QSystemTrayIcon>(icon_);
        xembed_->setToolTip(toolTip_);
        connect(xembed_.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
            // From the event loop: the look-up's box may wait for the user.
            if (reason == QSystemTrayIcon::DoubleClick) {
                QTimer::singleShot(0, this, [this] { events_.trayEvent(kTrayEventDoubleClick); });
            }
        });
        // Qt reports the context click on the press; the popup waits for the release.
        xembedFilter_ = std::make_unique<XEmbedTrayFilter>(*xembed_, [this] { events_.trayEvent(kTrayEventRightButtonUp); });
    }
    xembed_->show();
}

void TrayIcon::CheckForTray()
{
    if (shown_ && !saidNoTray_ && !TrayIsPresent()) {
        saidNoTray_ = true;
        SayNoTray();
    }
}

} // namespace vorda::qt
