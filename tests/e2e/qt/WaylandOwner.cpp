// vorda-e2e-wayland-owner: a Wayland clipboard owner through data-control (ext where the compositor
// offers it, else wlr). It offers a text as text/plain;charset=utf-8 and text/plain, or as the
// --type forms given instead, and with a HINT also x-kde-passwordManagerHint holding it, as a
// password manager marks what it copies. --silent takes every request and never answers;
// --trickle MS writes TEXT one byte every MS milliseconds, over and over, and --endless over and over
// as fast as the reader takes it, both without end (each request from a process of its own, which
// ends when the reader closes the pipe). A TEXT of "-" is read from standard input, for texts longer
// than a command line holds.
//
//   vorda-e2e-wayland-owner [--silent | --trickle MS | --endless] [--type TYPE]... TEXT|- [HINT]
//
// Prints "owner" once it holds the selection; ends when another client takes it, or on SIGTERM.

#include "platform/qt/clipboard/DataControlProtocols.h"

#include <csignal>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using vorda::qt::DataControlGlobals;
using vorda::qt::ExtDataControl;
using vorda::qt::WlrDataControl;

struct Offered {
    std::string text;
    std::optional<std::string> hint;
    std::vector<std::string> types{"text/plain;charset=utf-8", "text/plain"};
    bool silent = false;
    int trickleMs = 0;   // one byte every this many milliseconds, without end
    bool endless = false; // the text again and again, without end
    std::vector<int> unanswered; // held open, so the reader sees no end
    bool cancelled = false;
};

template <typename Protocol> struct Owner {
    static void Send(void* data, typename Protocol::Source* /*source*/, const char* type, std::int32_t fd)
    {
        auto& offered = *static_cast<Offered*>(data);
        if (offered.silent) {
            offered.unanswered.push_back(fd);
            return;
        }
        const std::string& bytes = std::string_view(type) == "x-kde-passwordManagerHint" ? *offered.hint : offered.text;
        if ((offered.trickleMs > 0 || offered.endless) && !bytes.empty() &&
            std::string_view(type) != "x-kde-passwordManagerHint") {
            if (::fork() == 0) {
                Stream(fd, bytes, offered.trickleMs); // until the reader closes its end
            }
            ::close(fd);
            return;
        }
        std::size_t written = 0;
        while (written < bytes.size()) {
            const ssize_t count = ::write(fd, bytes.data() + written, bytes.size() - written);
            if (count <= 0) {
                break;
            }
            written += static_cast<std::size_t>(count);
        }
        ::close(fd);
    }
    [[noreturn]] static void Stream(int fd, const std::string& text, int trickleMs)
    {
        const std::size_t block = trickleMs > 0 ? 1 : 65536;
        std::string round;
        while (round.size() < block) {
            round += text;
        }
        for (std::size_t at = 0;; at = (at + block) % text.size()) {
            if (::write(fd, round.data() + (trickleMs > 0 ? at : 0), block) <= 0) {
                ::_exit(0);
            }
            if (trickleMs > 0) {
                ::usleep(static_cast<useconds_t>(trickleMs) * 1000);
            }
        }
    }
    static void Cancelled(void* data, typename Protocol::Source* /*source*/)
    {
        static_cast<Offered*>(data)->cancelled = true;
    }
    static constexpr typename Protocol::SourceListener kSourceListener{.send = Send, .cancelled = Cancelled};

    static int Run(wl_display* display, wl_registry* registry, const DataControlGlobals& globals, std::uint32_t managerName,
                   Offered& offered)
    {
        auto* seat = static_cast<wl_seat*>(wl_registry_bind(registry, globals.seat, &wl_seat_interface, 1));
        auto* manager = static_cast<typename Protocol::Manager*>(
            wl_registry_bind(registry, managerName, Protocol::kManagerInterface, 1));
        typename Protocol::Source* source = Protocol::CreateSource(manager);
        Protocol::Listen(source, &kSourceListener, &offered);
        for (const std::string& type : offered.types) {
            Protocol::OfferType(source, type.c_str());
        }
        if (offered.hint) {
            Protocol::OfferType(source, "x-kde-passwordManagerHint");
        }
        typename Protocol::Device* device = Protocol::GetDevice(manager, seat);
        Protocol::SetSelection(device, source);
        wl_display_roundtrip(display);
        std::printf("owner\n");
        std::fflush(stdout);
        while (!offered.cancelled && wl_display_dispatch(display) >= 0) {
        }
        return 0;
    }
};

} // namespace

int main(int argc, char* argv[])
{
    Offered offered;
    std::vector<std::string> types;
    std::vector<std::string> words;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument(argv[i]);
        if (argument == "--silent") {
            offered.silent = true;
        } else if (argument == "--trickle" && i + 1 < argc) {
            offered.trickleMs = std::atoi(argv[++i]);
        } else if (argument == "--endless") {
            offered.endless = true;
        } else if (argument == "--type" && i + 1 < argc) {
            types.emplace_back(argv[++i]);
        } else {
            words.emplace_back(argument);
        }
    }
    if (words.empty() || words.size() > 2) {
        std::fprintf(stderr, "usage: vorda-e2e-wayland-owner [--silent | --trickle MS | --endless] [--type TYPE]... "
                             "TEXT|- [HINT]\n");
        return 2;
    }
    if (words[0] == "-") {
        offered.text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    } else {
        offered.text = words[0];
    }
    if (words.size() == 2) {
        offered.hint = words[1];
    }
    if (!types.empty()) {
        offered.types = types;
    }
    std::signal(SIGCHLD, SIG_IGN); // the processes that stream end on their own, unwaited for
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "no Wayland compositor\n");
        return 2;
    }
    wl_registry* registry = wl_display_get_registry(display);
    DataControlGlobals globals;
    globals.Listen(registry);
    wl_display_roundtrip(display);
    if (globals.seat == 0 || (globals.ext == 0 && globals.wlr == 0)) {
        std::fprintf(stderr, "the compositor offers no seat or no data-control\n");
        return 1;
    }
    const int status = globals.ext != 0 ? Owner<ExtDataControl>::Run(display, registry, globals, globals.ext, offered)
                                        : Owner<WlrDataControl>::Run(display, registry, globals, globals.wlr, offered);
    wl_display_disconnect(display);
    return status;
}
