#include "platform/qt/tray/X11WorkArea.h"

#include <QGuiApplication>

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

namespace vorda::qt {
namespace {

struct FreeDeleter {
    void operator()(void* reply) const { std::free(reply); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter>;

xcb_atom_t Atom(xcb_connection_t* connection, std::string_view name)
{
    const Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 1, static_cast<std::uint16_t>(name.size()), name.data()), nullptr));
    return reply ? reply->atom : XCB_NONE;
}

// `count` 32-bit cardinals of the root window's `property` from the `first`: no more are asked for,
// so a window manager's long or hostile property costs nothing.
bool ReadCardinals(xcb_connection_t* connection, xcb_window_t root, xcb_atom_t property, std::uint32_t first,
                   std::uint32_t count, std::uint32_t* values)
{
    if (property == XCB_NONE) {
        return false;
    }
    const Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, root, property, XCB_ATOM_CARDINAL, first, count), nullptr));
    if (!reply || reply->type != XCB_ATOM_CARDINAL || reply->format != 32 || reply->value_len != count ||
        xcb_get_property_value_length(reply.get()) != static_cast<int>(count * sizeof(std::uint32_t))) {
        return false;
    }
    std::memcpy(values, xcb_get_property_value(reply.get()), count * sizeof(std::uint32_t));
    return true;
}

} // namespace

std::optional<QRect> X11WorkArea()
{
    auto* x11 = qApp == nullptr ? nullptr : qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr || x11->connection() == nullptr) {
        return std::nullopt;
    }
    xcb_connection_t* connection = x11->connection();
    // Qt's screens are those of the display's default X screen (":0.1" names the second).
    int number = 0;
    if (const char* display = std::getenv("DISPLAY"); display != nullptr) {
        const std::string_view name(display);
        if (const auto dot = name.rfind('.'); dot != std::string_view::npos && name.rfind(':') < dot) {
            number = std::atoi(display + dot + 1);
        }
    }
    xcb_screen_iterator_t roots = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (; roots.rem > 0 && number > 0; --number) {
        xcb_screen_next(&roots);
    }
    const xcb_screen_t* screen = roots.rem > 0 ? roots.data : nullptr;
    if (screen == nullptr) {
        return std::nullopt;
    }
    // Four numbers a desktop; a desktop number past the ones published reads nothing.
    std::uint32_t desktop = 0;
    if (!ReadCardinals(connection, screen->root, Atom(connection, "_NET_CURRENT_DESKTOP"), 0, 1, &desktop) ||
        desktop > 0xFFFF) {
        desktop = 0;
    }
    std::uint32_t area[4]{};
    if (!ReadCardinals(connection, screen->root, Atom(connection, "_NET_WORKAREA"), desktop * 4, 4, area)) {
        return std::nullopt;
    }
    constexpr std::uint32_t kLargest = 1U << 16; // X coordinates and sizes are 16-bit
    if (area[0] >= kLargest || area[1] >= kLargest || area[2] == 0 || area[3] == 0 || area[2] > kLargest ||
        area[3] > kLargest) {
        return std::nullopt;
    }
    return QRect(static_cast<int>(area[0]), static_cast<int>(area[1]), static_cast<int>(area[2]),
                 static_cast<int>(area[3]));
}

} // namespace vorda::qt
