// A stand-in StatusNotifierItem host for the end-to-end tests: it takes the watcher's name on the
// session bus, says that a host is there, and prints the bus name of each item that registers, one a
// line. The test then acts as the host would, calling the item's Activate and ContextMenu, and may
// have it drop an item while the item's program runs (DropItem), as a host that loses a registration
// does (GNOME 43's AppIndicator extension, when a reply comes in an order it does not expect).

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QObject>
#include <QStringList>

#include <cstdio>

class StatusNotifierWatcher : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ IsStatusNotifierHostRegistered)
    Q_PROPERTY(int ProtocolVersion READ ProtocolVersion)
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ RegisteredStatusNotifierItems)

public:
    bool IsStatusNotifierHostRegistered() const { return true; }
    int ProtocolVersion() const { return 0; }
    QStringList RegisteredStatusNotifierItems() const { return items_; }

public slots:
    void RegisterStatusNotifierItem(const QString& service)
    {
        // An item may give its object path only; its bus name is then the sender's.
        const QString item = service.startsWith(QLatin1Char('/')) ? message().service() : service;
        items_ << item;
        std::printf("%s\n", qPrintable(item));
        std::fflush(stdout);
        emit StatusNotifierItemRegistered(item);
    }
    void RegisterStatusNotifierHost(const QString& /*service*/) {}
    void DropItem(const QString& item)
    {
        items_.removeAll(item);
        emit StatusNotifierItemUnregistered(item);
    }

signals:
    void StatusNotifierItemRegistered(const QString& service);
    void StatusNotifierItemUnregistered(const QString& service);
    void StatusNotifierHostRegistered();

private:
    QStringList items_;
};

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    StatusNotifierWatcher watcher;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), &watcher,
                            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties |
                                QDBusConnection::ExportAllSignals) ||
        !bus.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"))) {
        std::fprintf(stderr, "cannot take org.kde.StatusNotifierWatcher on the session bus\n");
        return 1;
    }
    return QCoreApplication::exec();
}

#include "StatusNotifierWatcher.moc"
