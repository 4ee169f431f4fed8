#include "platform/qt/clipboard/ClipboardWatcher.h"

#include "clipboard/ClipboardReadBudget.h"
#include "clipboard/ClipboardReader.h"
#include "platform/qt/clipboard/WaylandClipboardReader.h"
#include "platform/qt/clipboard/WaylandReaderWithXMarks.h"
#include "platform/qt/clipboard/X11ClipboardReader.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>

namespace vorda::qt {
namespace {

// The native wait and read of one reader (X11ClipboardReader or WaylandReaderWithXMarks). When its
// connection breaks (the server let go of this client, or went away and came back) it connects
// again at the next wait; until then every read fails.
template <typename Reader> class ReconnectingSource final : public ClipboardSource {
public:
    using Connector = std::function<std::unique_ptr<Reader>()>;

    ReconnectingSource(std::unique_ptr<Reader> reader, Connector connect, int stopDescriptor)
        : reader_(std::move(reader)), connect_(std::move(connect)), stop_(stopDescriptor)
    {
    }

    [[nodiscard]] bool NoticesChanges() const override { return reader_ && reader_->NoticesChanges(); }

    Wake Wait(std::optional<std::chrono::milliseconds> timeout) override
    {
        if (!reader_) {
            reader_ = connect_();
            if (reader_) {
                return Wake::Changed; // whatever the clipboard holds now is news
            }
            // Nothing to wait on but the stop byte; the schedule brings the next attempt.
            return WaitFor(std::array{pollfd{stop_, POLLIN, 0}, pollfd{}}, 1,
                           timeout.value_or(kReadAgainAfterFailure));
        }
        const Wake woken =
            WaitFor(std::array{pollfd{stop_, POLLIN, 0}, pollfd{reader_->FileDescriptor(), POLLIN, 0}}, 2, timeout);
        if (woken == Wake::Stopped) {
            return woken;
        }
        const bool changed = reader_->TakeChange();
        if (reader_->Broken()) {
            reader_.reset();
            return Wake::Changed;
        }
        return changed ? Wake::Changed : Wake::TimedOut;
    }

    std::u16string Read() override
    {
        if (!reader_) {
            throw PlatformError("the connection to the display is lost");
        }
        const ClipboardRead read;
        return reader_->ReadText(read, stop_);
    }

private:
    // Stopped when the stop byte came; TimedOut otherwise, whatever else woke the wait.
    Wake WaitFor(std::array<pollfd, 2> descriptors, nfds_t count, std::optional<std::chrono::milliseconds> timeout)
    {
        ::poll(descriptors.data(), count, WaitMilliseconds(timeout));
        return (descriptors[0].revents & POLLIN) != 0 ? Wake::Stopped : Wake::TimedOut;
    }

    std::unique_ptr<Reader> reader_;
    Connector connect_;
    int stop_;
};

// The Wayland reader, with the X display's owner asked for its password mark where there is one.
std::unique_ptr<WaylandReaderWithXMarks> ConnectWayland(std::string& why)
{
    auto wayland = WaylandClipboardReader::Connect(why);
    if (!wayland) {
        return nullptr;
    }
    try {
        return std::make_unique<WaylandReaderWithXMarks>(std::move(wayland), X11ClipboardReader::Connect());
    } catch (const PlatformError& error) {
        why = error.what();
        return nullptr;
    }
}
std::unique_ptr<WaylandReaderWithXMarks> ConnectWaylandAgain()
{
    std::string why;
    return ConnectWayland(why);
}

// The reader for this session: in a Wayland session whose compositor offers data-control, its own;
// otherwise the X display's (GNOME passes the clipboard on to X programs without focus; elsewhere
// that is said once, since Wayland programs' copies may then go unseen).
std::unique_ptr<ClipboardSource> ChooseSource(int stopDescriptor)
{
    std::string whyNotWayland;
    if (std::getenv("WAYLAND_DISPLAY") != nullptr) {
        if (auto reader = ConnectWayland(whyNotWayland)) {
            return std::make_unique<ReconnectingSource<WaylandReaderWithXMarks>>(std::move(reader), ConnectWaylandAgain,
                                                                                 stopDescriptor);
        }
    }
    if (auto reader = X11ClipboardReader::Connect()) {
        const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
        if (!whyNotWayland.empty() && (desktop == nullptr || std::strstr(desktop, "GNOME") == nullptr)) {
            std::fprintf(stderr,
                         "vorda-dictionary: %s: what Wayland programs copy is seen only where the compositor "
                         "passes it on to X programs\n",
                         whyNotWayland.c_str());
        }
        return std::make_unique<ReconnectingSource<X11ClipboardReader>>(std::move(reader), X11ClipboardReader::Connect,
                                                                        stopDescriptor);
    }
    const std::string why =
        whyNotWayland.empty() ? "there is no X display" : whyNotWayland + ", and there is no X display";
    std::fprintf(stderr, "vorda-dictionary: the clipboard cannot be followed: %s\n", why.c_str());
    return nullptr;
}

} // namespace

struct ClipboardWatcher::State {
    std::array<int, 2> stop{-1, -1}; // a byte in stop[1] ends the thread
    ClipboardPipeline pipeline;
    std::unique_ptr<ClipboardSource> source;
    std::thread thread; // last: started once the rest is in place, joined first

    State() = default;
    State(const State&) = delete;
    State& operator=(const State&) = delete;
    ~State()
    {
        if (thread.joinable()) {
            [[maybe_unused]] const auto written = ::write(stop[1], "x", 1);
            thread.join();
        }
        for (const int descriptor : stop) {
            if (descriptor >= 0) {
                ::close(descriptor);
            }
        }
    }
};

ClipboardWatcher::ClipboardWatcher(std::unique_ptr<State> state) : state_(std::move(state)) {}
ClipboardWatcher::~ClipboardWatcher() = default;

std::unique_ptr<ClipboardWatcher> ClipboardWatcher::Start()
{
    auto s = std::make_unique<State>();
    if (::pipe2(s->stop.data(), O_CLOEXEC | O_NONBLOCK) != 0) {
        return nullptr;
    }
    s->source = ChooseSource(s->stop[0]);
    if (!s->source) {
        return nullptr;
    }
    s->thread = std::thread([state = s.get()] { RunClipboardReader(*state->source, state->pipeline); });
    return std::unique_ptr<ClipboardWatcher>(new ClipboardWatcher(std::move(s)));
}

ClipboardContents ClipboardWatcher::Text(ClipboardUse use) { return state_->pipeline.Text(use); }

} // namespace vorda::qt
