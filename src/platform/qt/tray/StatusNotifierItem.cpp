#include "platform/qt/tray/StatusNotifierItem.h"

#include "platform/qt/tray/DBusMenuExporter.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QMenu>
#include <QPixmap>
#include <QTimer>
#include <QtEndian>

#include <algorithm>
#include <utility>

namespace vorda::qt {
namespace {

const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kItemPath = QStringLiteral("/StatusNotifierItem");
const QString kMenuPath = QStringLiteral("/MenuBar");
// A dropped item comes back after a second at first; a watcher that keeps dropping it is asked less
// and less often, down to once in half a minute.
constexpr int kFirstRegisterAgainMs = 1000;
constexpr int kLongestRegisterAgainMs = 32000;
// A watcher that keeps refusing (some two minutes of tries) is asked no more until it drops the item,
// or another watcher comes.
constexpr int kMostRefusalsInRow = 8;

IconPixmapList PicturesOf(const QIcon& icon)
{
    IconPixmapList pictures;
    for (const QSize size : icon.availableSizes()) {
        // At one device pixel a pixel: the host scales for its screen itself.
        const QImage image = icon.pixmap(size, 1.0).toImage().convertToFormat(QImage::Format_ARGB32);
        QByteArray argb(static_cast<qsizetype>(image.width()) * image.height() * 4, Qt::Uninitialized);
        auto* out = reinterpret_cast<quint32*>(argb.data());
        for (int y = 0; y < image.height(); ++y) {
            const auto* line = reinterpret_cast<const quint32*>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                *out++ = qToBigEndian(line[x]);
            }
        }
        pictures << vorda::qt::IconPixmap{image.width(), image.height(), argb};
    }
    return pictures;
}

} // namespace

bool StatusNotifierItem::WatcherIsPresent()
{
    const QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.isConnected() && bus.interface()->isServiceRegistered(kWatcherService).value();
}

StatusNotifierItem::StatusNotifierItem(const QMenu& menu, Events events)
    : bus_(QDBusConnection::sessionBus()),
      serviceName_(QStringLiteral("org.kde.StatusNotifierItem-%1-1").arg(QCoreApplication::applicationPid())),
      events_(std::move(events))
{
    RegisterDBusTrayTypes();
    // Handed on from the event loop: the host is owed its answer at once, and the item's handler may
    // open a box that waits for the user.
    menu_ = std::make_unique<DBusMenuExporter>(menu, [this](int id) {
        QTimer::singleShot(0, this, [this, id] { events_.menuItemChosen(id); });
    });
    if (!bus_.isConnected()) {
        return;
    }
    registerAgain_.setSingleShot(true);
    connect(&registerAgain_, &QTimer::timeout, this, &StatusNotifierItem::Register);
    bus_.connect(kWatcherService, QStringLiteral("/StatusNotifierWatcher"), kWatcherService,
                 QStringLiteral("StatusNotifierItemUnregistered"), this, SLOT(OnItemUnregistered(QString)));
    watcherWatch_ = std::make_unique<QDBusServiceWatcher>(kWatcherService, bus_,
                                                          QDBusServiceWatcher::WatchForOwnerChange);
    connect(watcherWatch_.get(), &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& newOwner) {
                registerAgain_.stop();
                registerAgainMs_ = 0;
                refusalsInRow_ = 0;
                if (!newOwner.isEmpty()) {
                    Register(); // a panel that started or restarted knows no items
                }
                if (onWatcherChange_) {
                    onWatcherChange_(!newOwner.isEmpty());
                }
            });
}

StatusNotifierItem::~StatusNotifierItem() { Hide(); }

QString StatusNotifierItem::Id() const { return QCoreApplication::applicationName(); }

QString StatusNotifierItem::Title() const { return QGuiApplication::applicationDisplayName(); }

ItemToolTip StatusNotifierItem::ToolTip() const { return {QString(), {}, toolTip_, QString()}; }

void StatusNotifierItem::SetIcon(const QIcon& icon)
{
    icon_ = icon;
    pictures_ = PicturesOf(icon);
    // The theme only while on the bus: Hide takes it away, and an item that never got there (no
    // session bus) would leave it in the runtime folder.
    if (shown_) {
        iconName_ = theme_.NameOf(icon);
        emit NewIcon();
    }
}

void StatusNotifierItem::SetToolTip(const QString& text)
{
    toolTip_ = text;
    if (shown_) {
        emit NewToolTip();
    }
}

void StatusNotifierItem::Show()
{
    if (shown_ || !bus_.isConnected()) {
        return;
    }
    constexpr auto kExported = QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties |
                               QDBusConnection::ExportAllSignals;
    if (!bus_.registerObject(kItemPath, this, kExported) || !bus_.registerObject(kMenuPath, menu_.get(), kExported) ||
        !bus_.registerService(serviceName_)) {
        bus_.unregisterObject(kItemPath);
        bus_.unregisterObject(kMenuPath);
        return;
    }
    shown_ = true;
    iconName_ = theme_.NameOf(icon_);
    Register();
}

void StatusNotifierItem::Hide()
{
    if (!shown_) {
        return;
    }
    shown_ = false;
    registerAgain_.stop();
    bus_.unregisterService(serviceName_);
    bus_.unregisterObject(kItemPath);
    bus_.unregisterObject(kMenuPath);
    // After the item has left: a host may look the name up until then.
    theme_.Remove();
    iconName_.clear();
}

void StatusNotifierItem::Register()
{
    if (!shown_) {
        return;
    }
    // Not waited for: a watcher that does not answer must not hold the program up.
    QDBusMessage call = QDBusMessage::createMethodCall(kWatcherService, QStringLiteral("/StatusNotifierWatcher"),
                                                       kWatcherService, QStringLiteral("RegisterStatusNotifierItem"));
    call << serviceName_;
    call.setAutoStartService(false);
    // Not waited for, but heard: a watcher's refusal is met as a drop is. No watcher is no refusal: the
    // one that comes is told then.
    auto* reply = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
    connect(reply, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* answered) {
        answered->deleteLater();
        const QDBusError error = answered->error();
        const bool noWatcher = error.type() == QDBusError::ServiceUnknown ||
                               error.name() == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner");
        if (!answered->isError()) {
            refusalsInRow_ = 0;
        } else if (!noWatcher && ++refusalsInRow_ < kMostRefusalsInRow) {
            RegisterAgainLater();
        }
    });
}

void StatusNotifierItem::OnItemUnregistered(const QString& item)
{
    // Watchers name an item by its bus name, some with its object path after it.
    const bool ours = item == serviceName_ || item.startsWith(serviceName_ + QLatin1Char('/')) ||
                      item.startsWith(bus_.baseService() + QLatin1Char('@')) ||
                      item.startsWith(bus_.baseService() + QLatin1Char('/'));
    if (ours) {
        refusalsInRow_ = 0;
        RegisterAgainLater();
    }
}

void StatusNotifierItem::RegisterAgainLater()
{
    if (!shown_ || registerAgain_.isActive()) {
        return;
    }
    // A drop long after the last one is met as the first.
    if (!sinceLastDrop_.isValid() || sinceLastDrop_.elapsed() > 2 * kLongestRegisterAgainMs) {
        registerAgainMs_ = 0;
    }
    sinceLastDrop_.start();
    registerAgainMs_ = registerAgainMs_ == 0 ? kFirstRegisterAgainMs
                                             : std::min(registerAgainMs_ * 2, kLongestRegisterAgainMs);
    registerAgain_.start(registerAgainMs_);
}

void StatusNotifierItem::Activate(int /*x*/, int /*y*/)
{
    QTimer::singleShot(0, this, [this] { events_.activate(); });
}

void StatusNotifierItem::SecondaryActivate(int /*x*/, int /*y*/) {} // the middle button means nothing here

void StatusNotifierItem::ContextMenu(int x, int y)
{
    QTimer::singleShot(0, this, [this, at = QPoint(x, y)] { events_.contextMenu(at); });
}

void StatusNotifierItem::Scroll(int /*delta*/, const QString& /*orientation*/) {}

} // namespace vorda::qt
