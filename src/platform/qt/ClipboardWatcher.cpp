#include "platform/qt/ClipboardWatcher.h"

#include "platform/qt/X11ClipboardReader.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>

namespace vorda::qt {
namespace {

using Clock = std::chrono::steady_clock;

// Where the display cannot tell of a new owner, the clipboard is read at the program's own pace.
constexpr std::chrono::milliseconds kReadAgainWithoutNotice{200};
constexpr std::chrono::milliseconds kRetryAfterFailure{1000};

} // namespace

struct ClipboardWatcher::State {
    std::unique_ptr<X11ClipboardReader> reader; // the thread's alone once it runs
    std::array<int, 2> wake{-1, -1};            // a byte in wake[1] stops the thread

    std::mutex mutex; // guards what follows
    ClipboardContents text;
    std::string failure = "the clipboard has not been read yet"; // empty when `text` is the clipboard's

    std::thread thread; // last: started once the rest is in place, joined first

    State() = default;
    State(const State&) = delete;
    State& operator=(const State&) = delete;
    ~State()
    {
        if (thread.joinable()) {
            [[maybe_unused]] const auto written = ::write(wake[1], "x", 1);
            thread.join();
        }
        for (const int descriptor : wake) {
            if (descriptor >= 0) {
                ::close(descriptor);
            }
        }
    }

    void Publish(ClipboardContents newText, std::string newFailure)
    {
        const std::lock_guard lock(mutex);
        text = std::move(newText);
        failure = std::move(newFailure);
    }

    // Waits for the display or the stop byte, at most `timeout` (none: without end); false to stop.
    bool Wait(std::optional<Clock::duration> timeout)
    {
        std::array<pollfd, 2> descriptors{{{reader->FileDescriptor(), POLLIN, 0}, {wake[0], POLLIN, 0}}};
        const int milliseconds =
            timeout ? static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(*timeout).count()) : -1;
        if (::poll(descriptors.data(), descriptors.size(), std::max(milliseconds, -1)) < 0 && errno != EINTR) {
            return false;
        }
        return (descriptors[1].revents & POLLIN) == 0;
    }

    void Run()
    {
        bool stale = true;
        Clock::time_point readAt = Clock::now();
        for (;;) {
            if (reader->TakeChange()) {
                stale = true;
                readAt = Clock::now();
                Publish(nullptr, "the clipboard has changed and is being read");
            }
            if (stale && Clock::now() >= readAt) {
                stale = false;
                try {
                    Publish(std::make_shared<const std::u16string>(reader->ReadText()), {});
                } catch (const PlatformError& error) {
                    Publish(nullptr, error.what());
                    stale = true;
                    readAt = Clock::now() + kRetryAfterFailure;
                }
                if (!stale && !reader->NoticesChanges()) {
                    stale = true;
                    readAt = Clock::now() + kReadAgainWithoutNotice;
                }
                continue; // a new owner may have come during the read
            }
            const auto timeout = stale ? std::optional(readAt - Clock::now()) : std::nullopt;
            if (!Wait(timeout)) {
                return;
            }
        }
    }
};

ClipboardWatcher::ClipboardWatcher(std::unique_ptr<State> state) : state_(std::move(state)) {}
ClipboardWatcher::~ClipboardWatcher() = default;

std::unique_ptr<ClipboardWatcher> ClipboardWatcher::Start()
{
    auto s = std::make_unique<State>();
    s->reader = X11ClipboardReader::Connect();
    if (!s->reader || ::pipe2(s->wake.data(), O_CLOEXEC | O_NONBLOCK) != 0) {
        return nullptr;
    }
    s->thread = std::thread([state = s.get()] { state->Run(); });
    return std::unique_ptr<ClipboardWatcher>(new ClipboardWatcher(std::move(s)));
}

ClipboardContents ClipboardWatcher::Text()
{
    const std::lock_guard lock(state_->mutex);
    if (!state_->failure.empty()) {
        throw PlatformError(state_->failure);
    }
    return state_->text;
}

} // namespace vorda::qt
