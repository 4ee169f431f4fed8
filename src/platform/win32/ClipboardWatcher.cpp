#include "platform/win32/ClipboardWatcher.h"

#include <windows.h>

#include <string>
#include <utility>

namespace vorda {
namespace {

constexpr DWORD kLookAgainMs = 100;
constexpr DWORD kRetryAfterFailureMs = 200;
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

struct ClipboardWatcher::State {
    HANDLE stop = nullptr;
    HANDLE thread = nullptr;

    CRITICAL_SECTION lock{}; // guards what follows
    ClipboardContents text;
    std::string failure = "the clipboard has not been read yet"; // empty when `text` is the clipboard's

    State() { InitializeCriticalSection(&lock); }
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
        DeleteCriticalSection(&lock);
    }

    void Publish(ClipboardContents newText, std::string newFailure)
    {
        EnterCriticalSection(&lock);
        text = std::move(newText);
        failure = std::move(newFailure);
        LeaveCriticalSection(&lock);
    }

    void Run()
    {
        DWORD readSequence = 0;
        bool read = false;
        DWORD waitMs = 0;
        while (WaitForSingleObject(stop, waitMs) == WAIT_TIMEOUT) {
            const DWORD now = GetClipboardSequenceNumber();
            waitMs = kLookAgainMs;
            if (read && now == readSequence) {
                continue;
            }
            try {
                Publish(std::make_shared<const std::u16string>(ReadNow()), {});
                readSequence = now;
                read = true;
            } catch (const PlatformError& error) {
                Publish(nullptr, error.what());
                read = false;
                waitMs = kRetryAfterFailureMs;
            } catch (const std::bad_alloc&) {
                Publish(nullptr, "the clipboard's text is too large");
                read = false;
                waitMs = kRetryAfterFailureMs;
            }
        }
    }

    static DWORD WINAPI ThreadMain(LPVOID state)
    {
        static_cast<State*>(state)->Run();
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
    state->thread = CreateThread(nullptr, 0, &State::ThreadMain, state.get(), 0, nullptr);
    if (state->thread == nullptr) {
        return nullptr;
    }
    return std::unique_ptr<ClipboardWatcher>(new ClipboardWatcher(state.release()));
}

ClipboardContents ClipboardWatcher::Text()
{
    EnterCriticalSection(&state_->lock);
    ClipboardContents text = state_->text;
    std::string failure = state_->failure;
    LeaveCriticalSection(&state_->lock);
    if (!failure.empty()) {
        throw PlatformError(failure);
    }
    return text;
}

} // namespace vorda
