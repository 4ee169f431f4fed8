#include "platform/qt/tray/NoTrayNotice.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QGuiApplication>
#include <QStringList>
#include <QVariantMap>

#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace vorda::qt {
namespace {

struct FreeDeleter {
    void operator()(void* reply) const { std::free(reply); }
};

QString NoTrayText()
{
    return QStringLiteral(
        "%1 is running, but this desktop has no tray to show its icon in. It shows the icon as soon as "
        "a tray comes: a panel with a system tray or a StatusNotifierItem host; on GNOME, the "
        "AppIndicator extension (gnome-shell-extension-appindicator).")
        .arg(QGuiApplication::applicationDisplayName());
}

} // namespace

bool XEmbedTrayIsPresent()
{
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr) {
        return false;
    }
    xcb_connection_t* connection = x11->connection();
    // The tray of the default screen owns "_NET_SYSTEM_TRAY_S<screen>".
    int screen = 0;
    if (const char* display = std::getenv("DISPLAY"); display != nullptr) {
        const std::string name(display);
        if (const auto dot = name.rfind('.'); dot != std::string::npos && name.rfind(':') < dot) {
            screen = std::atoi(name.c_str() + dot + 1);
        }
    }
    const std::string selection = "_NET_SYSTEM_TRAY_S" + std::to_string(screen);
    const std::unique_ptr<xcb_intern_atom_reply_t, FreeDeleter> atom(xcb_intern_atom_reply(
        connection,
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(selection.size()), selection.c_str()), nullptr));
    if (!atom) {
        return false;
    }
    const std::unique_ptr<xcb_get_selection_owner_reply_t, FreeDeleter> owner(xcb_get_selection_owner_reply(
        connection, xcb_get_selection_owner(connection, atom->atom), nullptr));
    return owner && owner->owner != XCB_NONE;
}

void SayNoTray()
{
    const QString text = NoTrayText();
    std::fprintf(stderr, "%s\n", qPrintable(text));
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return;
    }
    QDBusMessage notify = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    notify << QGuiApplication::applicationDisplayName() << 0u << QStringLiteral("vorda-dictionary")
           << QGuiApplication::applicationDisplayName() << text << QStringList() << QVariantMap() << -1;
    bus.asyncCall(notify); // not waited for: the program goes on whether anybody shows it or not
}

} // namespace vorda::qt
