// vorda-e2e-x11-ping: how long a program's user-interface thread leaves the X events of one of its
// windows waiting. It sends the window the window manager's ping (_NET_WM_PING, which Qt answers
// from its event loop) every INTERVAL milliseconds, one at a time, and times each answer.
//
//   vorda-e2e-x11-ping WINDOW [INTERVAL_MS]
//
// Runs until SIGTERM or SIGINT, then prints one line:
//   pings N answered A max_ms M slow S
// where M is the longest wait, counting a ping still unanswered at the end by its age, and S the
// number of waits over 100 ms. Each slow wait is also printed as "slow MS at T_MS" (T from the
// start). Exit status 2 when the window is gone (the program ended or crashed).

#include <xcb/xcb.h>

#include <poll.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr long kSlowMs = 100;

volatile std::sig_atomic_t stopRequested = 0;
void RequestStop(int /*signal*/) { stopRequested = 1; }

long MillisecondsSince(Clock::time_point start)
{
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

xcb_atom_t Atom(xcb_connection_t* connection, const char* name)
{
    const auto cookie = xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(connection, cookie, nullptr), &std::free);
    return reply ? reply->atom : XCB_NONE;
}

bool WindowExists(xcb_connection_t* connection, xcb_window_t window)
{
    std::unique_ptr<xcb_get_window_attributes_reply_t, decltype(&std::free)> reply(
        xcb_get_window_attributes_reply(connection, xcb_get_window_attributes(connection, window), nullptr),
        &std::free);
    return reply != nullptr;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s WINDOW [INTERVAL_MS]\n", argv[0]);
        return 64;
    }
    const auto window = static_cast<xcb_window_t>(std::strtoul(argv[1], nullptr, 0));
    const long interval = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 20;

    std::signal(SIGTERM, RequestStop);
    std::signal(SIGINT, RequestStop);

    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection) != 0) {
        std::fprintf(stderr, "no X display\n");
        return 69;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i) {
        xcb_screen_next(&screens);
    }
    const xcb_window_t root = screens.data->root;
    const xcb_atom_t protocols = Atom(connection, "WM_PROTOCOLS");
    const xcb_atom_t ping = Atom(connection, "_NET_WM_PING");

    // The answer goes to the root window, to whoever watches its structure; the X server hands it on
    // only to a client that watches the root's own structure as well as its children's.
    const std::uint32_t rootMask = XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection, root, XCB_CW_EVENT_MASK, &rootMask);

    const auto start = Clock::now();
    long pings = 0;
    long answered = 0;
    long longest = 0;
    long slow = 0;
    std::vector<std::string> slowLines;
    bool windowGone = false;

    auto record = [&](long waited, Clock::time_point sentAt) {
        longest = std::max(longest, waited);
        if (waited > kSlowMs) {
            ++slow;
            slowLines.push_back("slow " + std::to_string(waited) + " at " +
                                std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(sentAt - start).count()));
        }
    };

    while (stopRequested == 0) {
        if (!WindowExists(connection, window)) {
            windowGone = true;
            break;
        }
        ++pings;
        const auto serial = static_cast<std::uint32_t>(pings);
        xcb_client_message_event_t message{};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = window;
        message.type = protocols;
        message.data.data32[0] = ping;
        message.data.data32[1] = serial; // a timestamp in the protocol; the answer carries it back
        message.data.data32[2] = window;
        const auto sentAt = Clock::now();
        xcb_send_event(connection, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&message));
        xcb_flush(connection);

        bool gotAnswer = false;
        while (!gotAnswer && stopRequested == 0) {
            while (xcb_generic_event_t* raw = xcb_poll_for_event(connection)) {
                std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> event(raw, &std::free);
                if ((event->response_type & 0x7F) != XCB_CLIENT_MESSAGE) {
                    continue;
                }
                const auto& answer = reinterpret_cast<const xcb_client_message_event_t&>(*event);
                if (answer.type == protocols && answer.data.data32[0] == ping && answer.data.data32[1] == serial) {
                    gotAnswer = true;
                }
            }
            if (xcb_connection_has_error(connection) != 0) {
                std::fprintf(stderr, "the X connection is lost\n");
                return 69;
            }
            if (!gotAnswer) {
                pollfd descriptor{xcb_get_file_descriptor(connection), POLLIN, 0};
                ::poll(&descriptor, 1, 50);
                if (MillisecondsSince(sentAt) > 1000 && !WindowExists(connection, window)) {
                    windowGone = true;
                    break;
                }
            }
        }
        // A ping still waiting at the end counts with its age: the thread was blocked at least that long.
        record(MillisecondsSince(sentAt), sentAt);
        if (windowGone) {
            break;
        }
        if (gotAnswer) {
            ++answered;
        }
        for (long waited = 0; waited < interval && stopRequested == 0; waited += 5) {
            ::poll(nullptr, 0, 5);
        }
    }

    for (const std::string& line : slowLines) {
        std::printf("%s\n", line.c_str());
    }
    std::printf("pings %ld answered %ld max_ms %ld slow %ld\n", pings, answered, longest, slow);
    std::fflush(stdout);
    xcb_disconnect(connection);
    if (windowGone) {
        std::fprintf(stderr, "window 0x%x is gone\n", window);
        return 2;
    }
    return 0;
}
