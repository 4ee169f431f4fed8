#pragma once
// tray/: the icon on whatever tray the desktop has (StatusNotifierItem or XEmbed) and the menu it exports.

// The icon on whatever tray the desktop has, and on the one that comes later: a StatusNotifierItem
// wherever a StatusNotifierWatcher is (most desktops, on X and on Wayland), else Qt's XEmbed icon on
// X (trayer, xfce4-panel without a session bus, MATE, LXDE). It moves from one to the other as
// watchers come and go, and says once when there is no tray at all.

#include <QIcon>
#include <QObject>
#include <QPoint>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>

class QMenu;
class QSystemTrayIcon;

namespace vorda::qt {

class StatusNotifierItem;
class XEmbedTrayFilter;

class TrayIcon final : public QObject {
public:
    struct Events {
        std::function<void(std::int32_t eventNumber)> trayEvent; // 515 the double click, 517 the popup
        std::function<void(QPoint at)> popupAt;                  // a host asks for the popup at a point
        std::function<void(int id)> menuItemChosen;              // the host's menu, by the item's id
    };

    TrayIcon(const QMenu& menu, Events events);
    ~TrayIcon() override;

    void SetIcon(const QIcon& icon);
    void SetToolTip(const QString& text);
    void Show();
    void Hide();
    [[nodiscard]] bool IsShown() const { return shown_; }
    [[nodiscard]] const QString& ToolTip() const { return toolTip_; }
    // Whether some tray can show the icon now.
    [[nodiscard]] static bool TrayIsPresent();

private:
    void Choose();
    void ShowXEmbed(bool show);
    void CheckForTray();

    Events events_;
    std::unique_ptr<StatusNotifierItem> item_;
    std::unique_ptr<QSystemTrayIcon> xembed_;
    std::unique_ptr<XEmbedTrayFilter> xembedFilter_;
    QIcon icon_;
    QString toolTip_;
    bool shown_ = false;
    bool saidNoTray_ = false;
    QTimer trayCheck_;
};

} // namespace vorda::qt
