#include "platform/win32/ClipboardWatcher.h"

#include "clipboard/ClipboardReader.h"

#include <windows.h>

#include <string>
#include <utility>

namespace vorda {
namespace {

constexpr DWORD kLookAgainMs = 100;
constexpr DWORD kStopWaitMs = 2000;

} // namespace

// CF_UNICODETEXT up to its first NUL (a Windows text ends there), or "" when there is none.
std::u16string ClipboardWatcher::ReadNow()
{
    if (!OpenClipboard(nullptr)) {
        throw PlatformError("the clipboard cannot be opened");
    }
    // Closed and unlocked on every way out, a failed allocation included: a clipboard left open
    // blocks every program.
    struct Closer {
        ~Closer() { CloseClipboard(); }
    } closer;
    const HANDLE data = GetClipboardData(CF_UNICODETEXT);
    if (data == nullptr) {
        // Text announced but not delivered: Wine could not fetch it from its X owner (one that stopped,
        // or one replaced while a large text came). Reported as a failure, so that it is asked again:
        // no text would stand until the clipboard next changes.
        if (IsClipboardFormatAvailable(CF_UNICODETEXT)) {
            throw PlatformError("the clipboard's text could not be fetched");
        }
        return {};
    }
    const auto* units = static_cast<const wchar_t*>(GlobalLock(data));
    if (units == nullptr) {
        throw PlatformError("the clipboard's text cannot be locked");
    }
    struct Unlocker {
        HANDLE data;
        ~Unlocker() { GlobalUnlock(data); }
    } unlocker{data};
    const std::size_t capacity = GlobalSize(data) / sizeof(wchar_t);
    std::size_t length = 0;
    while (length < capacity && units[length] != L'\0') {
        ++length;
    }
    return std::u16string(units, units + length);
}

namespace {

// The sequence number moves with every change of the clipboard; it is looked at, not waited on.
class Win32ClipboardSource final : public ClipboardSource {
public:
    explicit Win32ClipboardSource(HANDLE stop) : stop_(stop) {}

    [[nodiscard]] bool NoticesChanges() const override { return true; }

    Wake Wait(std::optional<std::chrono::milliseconds> timeout) override
    {
        const int total = WaitMilliseconds(timeout);
        const DWORD started = GetTickCount();
        for (;;) {
            const DWORD waited = GetTickCount() - started;
            DWORD slice = kLookAgainMs;
            if (total >= 0) {
                const DWORD left = static_cast<DWORD>(total) > waited ? static_cast<DWORD>(total) - waited : 0;
                slice = left < slice ? left : slice;
            }
            if (WaitForSingleObject(stop_, slice) != WAIT_TIMEOUT) {
                return Wake::Stopped;
            }
            if (GetClipboardSequenceNumber() != readSequence_) {
                return Wake::Changed;
            }
            if (total >= 0 && GetTickCount() - started >= static_cast<DWORD>(total)) {
                return Wake::TimedOut;
            }
        }
    }

    std::u16string Read() override
    {
        readSequence_ = GetClipboardSequenceNumber(); // a change during the read shows at the next wait
        return ClipboardWatcher::ReadNow();
    }

private:
    HANDLE stop_;
    DWORD readSequence_ = 0;
};

} // namespace

struct ClipboardWatcher::State {
    HANDLE stop = nullptr;
    HANDLE thread = nullptr;
    ClipboardPipeline pipeline;
    std::unique_ptr<Win32ClipboardSource> source;

    State() = default;
    State(const State&) = delete;
    State& operator=(const State&) = delete;
    ~State()
    {
        if (thread != nullptr) {
            CloseHandle(thread);
        }
        if (stop != nullptr) {
            CloseHandle(stop);
        }
    }

    static DWORD WINAPI ThreadMain(LPVOID state)
    {
        auto* s = static_cast<State*>(state);
        RunClipboardReader(*s->source, s->pipeline);
        return 0;
    }
};

ClipboardWatcher::ClipboardWatcher(State* state) : state_(state) {}

ClipboardWatcher::~ClipboardWatcher()
{
    SetEvent(state_->stop);
    if (WaitForSingleObject(state_->thread, kStopWaitMs) == WAIT_OBJECT_0) {
        delete state_;
    } // else the thread still reads, inside the clipboard; its state stays for it until the process ends
}

std::unique_ptr<ClipboardWatcher> ClipboardWatcher::Start()
{
    auto state = std::make_unique<State>();
    state->stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (state->stop == nullptr) {
        return nullptr;
    }
    state->source = std::make_unique<Win32ClipboardSource>(state->stop);
    state->thread = CreateThread(nullptr, 0, &State::ThreadMain, state.get(), 0, nullptr);
    if (state->thread == nullptr) {
        return nullptr;
    }
    return std::unique_ptr<ClipboardWatcher>(new ClipboardWatcher(state.release()));
}

ClipboardContents ClipboardWatcher::Text(ClipboardUse use) { return state_->pipeline.Text(use); }

} // namespace vorda
