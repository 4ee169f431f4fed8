#pragma once
// The icon as a StatusNotifierItem (org.kde.StatusNotifierItem) on the session bus, with its popup
// exported beside it (DBusMenuExporter), for the hosts of today's desktops: GNOME's AppIndicator
// extension, KDE Plasma, Xfce's tray, waybar. It registers with the StatusNotifierWatcher whenever one
// is there (also one that starts or restarts later) and leaves the bus when hidden. A watcher that
// drops the item while the program runs (GNOME 43's AppIndicator extension loses some registrations
// it is still setting up) is given it again, at a bounded rate.
//
// Written over QtDBus rather than taken from QSystemTrayIcon, whose item cannot come later than the
// program (Qt decides once per run between an item and an XEmbed icon) and drops the point that a
// host's ContextMenu names.

#include "platform/qt/tray/DBusTrayTypes.h"
#include "platform/qt/tray/TrayIconTheme.h"

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QIcon>
#include <QObject>
#include <QPoint>
#include <QElapsedTimer>
#include <QTimer>

#include <functional>
#include <memory>

class QDBusServiceWatcher;
class QMenu;

namespace vorda::qt {

class DBusMenuExporter;

class StatusNotifierItem final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ Category)
    Q_PROPERTY(QString Id READ Id)
    Q_PROPERTY(QString Title READ Title)
    Q_PROPERTY(QString Status READ Status)
    Q_PROPERTY(int WindowId READ WindowId)
    Q_PROPERTY(QString IconThemePath READ IconThemePath)
    Q_PROPERTY(QString IconName READ IconName)
    Q_PROPERTY(vorda::qt::IconPixmapList IconPixmap READ IconPixmap)
    Q_PROPERTY(QString OverlayIconName READ Empty)
    Q_PROPERTY(vorda::qt::IconPixmapList OverlayIconPixmap READ NoPixmaps)
    Q_PROPERTY(QString AttentionIconName READ Empty)
    Q_PROPERTY(vorda::qt::IconPixmapList AttentionIconPixmap READ NoPixmaps)
    Q_PROPERTY(QString AttentionMovieName READ Empty)
    Q_PROPERTY(vorda::qt::ItemToolTip ToolTip READ ToolTip)
    Q_PROPERTY(bool ItemIsMenu READ ItemIsMenu)
    Q_PROPERTY(QDBusObjectPath Menu READ Menu)

public:
    struct Events {
        std::function<void()> activate;                  // the host's click
        std::function<void(QPoint)> contextMenu;         // the host asks the program for its popup there
        std::function<void(int id)> menuItemChosen;      // an item of the exported menu was clicked
    };

    // Whether a StatusNotifierWatcher is on the session bus now.
    [[nodiscard]] static bool WatcherIsPresent();

    StatusNotifierItem(const QMenu& menu, Events events);
    ~StatusNotifierItem() override;

    void SetIcon(const QIcon& icon);
    void SetToolTip(const QString& text);
    // On the bus and registered with the watcher (again whenever one comes); Hide leaves the bus.
    void Show();
    void Hide();
    [[nodiscard]] bool IsShown() const { return shown_; }
    // Tells whether the item is registered with the watcher there is now; `onChange` runs when a
    // watcher comes or goes.
    void OnWatcherChange(std::function<void(bool present)> onChange) { onWatcherChange_ = std::move(onChange); }

    QString Category() const { return QStringLiteral("ApplicationStatus"); }
    QString Id() const;
    QString Title() const;
    QString Status() const { return QStringLiteral("Active"); }
    int WindowId() const { return 0; }
    QString Empty() const { return {}; }
    QString IconThemePath() const { return theme_.Path(); }
    QString IconName() const { return iconName_; }
    IconPixmapList IconPixmap() const { return pictures_; }
    IconPixmapList NoPixmaps() const { return {}; }
    vorda::qt::ItemToolTip ToolTip() const;
    bool ItemIsMenu() const { return false; } // a click is the look-up; the menu comes on the other button
    QDBusObjectPath Menu() const { return QDBusObjectPath(QStringLiteral("/MenuBar")); }

public slots:
    void Activate(int x, int y);
    void SecondaryActivate(int x, int y);
    void ContextMenu(int x, int y);
    void Scroll(int delta, const QString& orientation);

signals:
    void NewTitle();
    void NewIcon();
    void NewAttentionIcon();
    void NewOverlayIcon();
    void NewToolTip();
    void NewStatus(const QString& status);

private slots:
    void OnItemUnregistered(const QString& item);

private:
    void Register();
    void RegisterAgainLater();

    QDBusConnection bus_;
    QString serviceName_;
    Events events_;
    std::unique_ptr<DBusMenuExporter> menu_;
    std::unique_ptr<QDBusServiceWatcher> watcherWatch_;
    std::function<void(bool present)> onWatcherChange_;
    IconPixmapList pictures_;
    QIcon icon_;
    TrayIconTheme theme_;
    QString iconName_;
    QString toolTip_;
    bool shown_ = false;
    QTimer registerAgain_;
    int registerAgainMs_ = 0; // the wait before the next registration after a drop, doubled each time
    QElapsedTimer sinceLastDrop_;
    int refusalsInRow_ = 0; // register calls the watcher refused since it last took one
};

} // namespace vorda::qt
