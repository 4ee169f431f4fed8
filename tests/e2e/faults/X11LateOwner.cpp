// vorda-e2e-x11-late-owner: a CLIPBOARD owner that offers text (UTF8_STRING among its TARGETS) but
// refuses to hand it over for a while, then gives it like any owner. With a HINT it also offers
// x-kde-passwordManagerHint with that value, as a password manager marks what it copies.
//
//   vorda-e2e-x11-late-owner TEXT REFUSE_MS [HINT]
//
// Prints "owner" once it holds the clipboard; ends when another client takes it, or on SIGTERM.

#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;
template <typename T> using Reply = std::unique_ptr<T, decltype(&std::free)>;

xcb_atom_t Atom(xcb_connection_t* connection, const char* name)
{
    const auto cookie = xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    const Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(connection, cookie, nullptr), &std::free);
    return reply ? reply->atom : XCB_NONE;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: vorda-e2e-x11-late-owner TEXT REFUSE_MS [HINT]\n");
        return 2;
    }
    const std::string text = argv[1];
    const std::optional<std::string> hint = argc == 4 ? std::optional<std::string>(argv[3]) : std::nullopt;
    const auto handOverAt = Clock::now() + std::chrono::milliseconds(std::atol(argv[2]));

    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection) != 0) {
        std::fprintf(stderr, "no X display\n");
        return 2;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber; ++i) {
        xcb_screen_next(&screens);
    }
    const xcb_window_t window = xcb_generate_id(connection);
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, window, screens.data->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    const xcb_atom_t clipboard = Atom(connection, "CLIPBOARD");
    const xcb_atom_t targets = Atom(connection, "TARGETS");
    const xcb_atom_t utf8 = Atom(connection, "UTF8_STRING");
    const xcb_atom_t passwordHint = Atom(connection, "x-kde-passwordManagerHint");

    xcb_set_selection_owner(connection, window, clipboard, XCB_CURRENT_TIME);
    const Reply<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, clipboard), nullptr), &std::free);
    if (!owner || owner->owner != window) {
        std::fprintf(stderr, "could not take the clipboard\n");
        return 1;
    }
    std::printf("owner\n");
    std::fflush(stdout);

    while (xcb_generic_event_t* raw = xcb_wait_for_event(connection)) {
        const Reply<xcb_generic_event_t> event(raw, &std::free);
        const auto type = event->response_type & 0x7F;
        if (type == XCB_SELECTION_CLEAR) {
            return 0;
        }
        if (type != XCB_SELECTION_REQUEST) {
            continue;
        }
        const auto& request = reinterpret_cast<const xcb_selection_request_event_t&>(*event);
        xcb_atom_t property = request.property == XCB_NONE ? request.target : request.property;
        if (request.target == targets) {
            const xcb_atom_t offered[] = {targets, utf8, passwordHint};
            xcb_change_property(connection, XCB_PROP_MODE_REPLACE, request.requestor, property, XCB_ATOM_ATOM, 32,
                                hint ? 3 : 2, offered);
        } else if (request.target == passwordHint && hint) {
            xcb_change_property(connection, XCB_PROP_MODE_REPLACE, request.requestor, property, XCB_ATOM_STRING, 8,
                                static_cast<std::uint32_t>(hint->size()), hint->data());
        } else if (request.target == utf8 && Clock::now() >= handOverAt) {
            xcb_change_property(connection, XCB_PROP_MODE_REPLACE, request.requestor, property, utf8, 8,
                                static_cast<std::uint32_t>(text.size()), text.data());
        } else {
            property = XCB_NONE; // refused: offered, but not given yet
        }
        xcb_selection_notify_event_t notify{};
        notify.response_type = XCB_SELECTION_NOTIFY;
        notify.time = request.time;
        notify.requestor = request.requestor;
        notify.selection = request.selection;
        notify.target = request.target;
        notify.property = property;
        xcb_send_event(connection, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&notify));
        xcb_flush(connection);
    }
    return 0;
}
