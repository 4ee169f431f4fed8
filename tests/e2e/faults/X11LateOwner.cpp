// vorda-e2e-x11-late-owner: a CLIPBOARD owner that offers text (UTF8_STRING among its TARGETS) but
// refuses to hand it over for a while, then gives it like any owner. With a HINT it also offers
// x-kde-passwordManagerHint with that value, as a password manager marks what it copies.
//
//   vorda-e2e-x11-late-owner [--delay MS | --trickle MS] TEXT REFUSE_MS [HINT]
//
// --delay MS answers each request for the text MS milliseconds after it came, even after another
// client took the clipboard (its answers come late, into a question already given up). --trickle MS
// sends the text in pieces (INCR) of 4 KiB, one every MS milliseconds, and never ends, also after
// another client took the clipboard.
//
// Prints "owner" once it holds the clipboard; ends when another client takes it and no answer or
// trickle is still under way, or on SIGTERM.

#include <xcb/xcb.h>

#include <poll.h>

#include <chrono>
#include <deque>
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

// A request answered with the text, now or later.
struct Due {
    Clock::time_point at;
    xcb_selection_request_event_t request;
};

void Notify(xcb_connection_t* connection, const xcb_selection_request_event_t& request, xcb_atom_t property)
{
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

// The requestor's property being deleted: the next piece of a trickle is due then.
struct Trickle {
    xcb_window_t requestor = XCB_NONE;
    xcb_atom_t property = XCB_NONE;
    bool deleted = false;
    Clock::time_point next;
};

int main(int argc, char* argv[])
{
    long delayMs = -1;
    long trickleMs = -1;
    while (argc > 2 && (std::strcmp(argv[1], "--delay") == 0 || std::strcmp(argv[1], "--trickle") == 0)) {
        (std::strcmp(argv[1], "--delay") == 0 ? delayMs : trickleMs) = std::atol(argv[2]);
        argv += 2;
        argc -= 2;
    }
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: vorda-e2e-x11-late-owner [--delay MS | --trickle MS] TEXT REFUSE_MS [HINT]\n");
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
    const xcb_atom_t incr = Atom(connection, "INCR");

    xcb_set_selection_owner(connection, window, clipboard, XCB_CURRENT_TIME);
    const Reply<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, clipboard), nullptr), &std::free);
    if (!owner || owner->owner != window) {
        std::fprintf(stderr, "could not take the clipboard\n");
        return 1;
    }
    std::printf("owner\n");
    std::fflush(stdout);

    std::deque<Due> due;
    Trickle trickle;
    bool lost = false;
    const std::string piece = [&] {
        std::string bytes;
        while (bytes.size() < 4096) {
            bytes += text;
        }
        return bytes.substr(0, 4096);
    }();
    for (;;) {
        const auto now = Clock::now();
        while (!due.empty() && due.front().at <= now) {
            const auto& request = due.front().request;
            xcb_change_property(connection, XCB_PROP_MODE_REPLACE, request.requestor, request.property, utf8, 8,
                                static_cast<std::uint32_t>(text.size()), text.data());
            Notify(connection, request, request.property);
            due.pop_front();
        }
        if (trickle.deleted && trickle.next <= now) {
            xcb_change_property(connection, XCB_PROP_MODE_REPLACE, trickle.requestor, trickle.property, utf8, 8,
                                static_cast<std::uint32_t>(piece.size()), piece.data());
            xcb_flush(connection);
            trickle.deleted = false;
        }
        if (lost && due.empty() && trickle.requestor == XCB_NONE) {
            return 0;
        }
        int wait = -1;
        if (!due.empty()) {
            wait = static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(due.front().at - now).count());
        } else if (trickle.deleted) {
            wait = static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(trickle.next - now).count());
        }
        xcb_flush(connection);
        pollfd descriptor{xcb_get_file_descriptor(connection), POLLIN, 0};
        if (xcb_connection_has_error(connection) != 0) {
            return 1;
        }
        ::poll(&descriptor, 1, wait < 0 ? -1 : wait);
        while (xcb_generic_event_t* raw = xcb_poll_for_event(connection)) {
            const Reply<xcb_generic_event_t> event(raw, &std::free);
            const auto type = event->response_type & 0x7F;
            if (type == XCB_SELECTION_CLEAR) {
                lost = true;
                continue;
            }
            if (type == XCB_PROPERTY_NOTIFY) {
                const auto& change = reinterpret_cast<const xcb_property_notify_event_t&>(*event);
                if (change.window == trickle.requestor && change.atom == trickle.property &&
                    change.state == XCB_PROPERTY_DELETE) {
                    trickle.deleted = true;
                    trickle.next = Clock::now() + std::chrono::milliseconds(trickleMs);
                }
                continue;
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
            } else if (request.target == utf8 && delayMs >= 0) {
                due.push_back({Clock::now() + std::chrono::milliseconds(delayMs), request});
                due.back().request.property = property;
                continue; // answered when it is due
            } else if (request.target == utf8 && trickleMs >= 0) {
                // In pieces: the requestor deletes the INCR value, then each piece as it takes it.
                const std::uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
                xcb_change_window_attributes(connection, request.requestor, XCB_CW_EVENT_MASK, &mask);
                const std::uint32_t size = 1U << 30;
                xcb_change_property(connection, XCB_PROP_MODE_REPLACE, request.requestor, property, incr, 32, 1, &size);
                trickle = {request.requestor, property, false, {}};
            } else if (request.target == utf8 && Clock::now() >= handOverAt) {
                xcb_change_property(connection, XCB_PROP_MODE_REPLACE, request.requestor, property, utf8, 8,
                                    static_cast<std::uint32_t>(text.size()), text.data());
            } else {
                property = XCB_NONE; // refused: offered, but not given yet
            }
            Notify(connection, request, property);
        }
    }
    return 0;
}
