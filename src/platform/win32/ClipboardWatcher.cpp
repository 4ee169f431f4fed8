#include "platform/win32/ClipboardWatcher.h"

#include "clipboard/ClipboardReadBudget.h"
#include "clipboard/ClipboardReader.h"
#include "text/Utf16.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace vorda::win32 {
namespace {

constexpr DWORD kLookAgainMs = 100;
constexpr DWORD kStopWaitMs = 2000;
constexpr UINT kClipboardUpdate = 0x031D; // WM_CLIPBOARDUPDATE, Windows Vista and later
constexpr wchar_t kListenerClass[] = L"VordaDictionaryClipboardListener";

// A registered format's number; 0 where it cannot be registered.
UINT RegisteredFormat(std::u16string_view name)
{
    return RegisterClipboardFormatW(std::wstring(name.begin(), name.end()).c_str());
}

// The first bytes of a format's data (enough for a DWORD); nothing when they cannot be read.
std::optional<std::vector<std::uint8_t>> FormatData(UINT format)
{
    const HANDLE data = GetClipboardData(format);
    const auto* bytes = data != nullptr ? static_cast<const std::uint8_t*>(GlobalLock(data)) : nullptr;
    if (bytes == nullptr) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> first(bytes, bytes + std::min<SIZE_T>(GlobalSize(data), sizeof(DWORD)));
    GlobalUnlock(data);
    return first;
}

// Whether the program that copied asks that its copy be left alone (password managers do), by the
// core's rules: a format present, or a permission holding 0.
bool MarkedSecret()
{
    static const auto skip = [] {
        std::array<UINT, kWindowsSkipFormats.size()> formats{};
        std::transform(kWindowsSkipFormats.begin(), kWindowsSkipFormats.end(), formats.begin(), RegisteredFormat);
        return formats;
    }();
    static const auto permissions = [] {
        std::array<UINT, kWindowsPermissionFormats.size()> formats{};
        std::transform(kWindowsPermissionFormats.begin(), kWindowsPermissionFormats.end(), formats.begin(),
                       RegisteredFormat);
        return formats;
    }();
    const auto offered = [](UINT format) { return format != 0 && IsClipboardFormatAvailable(format); };
    if (std::any_of(skip.begin(), skip.end(), offered)) {
        return true;
    }
    return std::any_of(permissions.begin(), permissions.end(), [&](UINT format) {
        if (!offered(format)) {
            return false;
        }
        const auto data = FormatData(format);
        return PermissionMarksSecret(data ? std::optional(std::span<const std::uint8_t>(*data)) : std::nullopt);
    });
}

// Opens the clipboard, trying again every kReadBudget.heldRetry while another program has it open,
// for at most `heldWait`.
bool OpenClipboardPatiently(std::chrono::milliseconds heldWait)
{
    const DWORD started = GetTickCount();
    const auto most = static_cast<DWORD>(heldWait.count());
    while (!OpenClipboard(nullptr)) {
        if (GetTickCount() - started >= most) {
            return false;
        }
        Sleep(static_cast<DWORD>(kReadBudget.heldRetry.count()));
    }
    return true;
}

} // namespace

// CF_UNICODETEXT up to its first NUL (a Windows text ends there), or "" when there is none or its
// program marks it as secret; of a longer text than the read budget, the first part, cut at a whole
// character (the text is in memory already: only what is kept is copied).
std::u16string ClipboardWatcher::ReadNow(std::chrono::milliseconds heldWait)
{
    if (!OpenClipboardPatiently(heldWait)) {
        throw PlatformError("the clipboard cannot be opened");
    }
    // Closed and unlocked on every way out, a failed allocation included: a clipboard left open
    // blocks every program.
    struct Closer {
        ~Closer() { CloseClipboard(); }
    } closer;
    if (MarkedSecret()) {
        return {};
    }
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
    const std::size_t most = kReadBudget.mostBytes / sizeof(char16_t);
    // One unit past the budget, so that a character cut there is seen whole or not at all.
    const std::size_t capacity = std::min<std::size_t>(GlobalSize(data) / sizeof(wchar_t), most + 1);
    std::size_t length = 0;
    while (length < capacity && units[length] != L'\0') {
        ++length;
    }
    const std::u16string text(units, units + length);
    return std::u16string(CutAtWholeCharacter(text, most));
}

namespace {

// The time left of a wait that began at `started`, INFINITE for none.
DWORD Remaining(int total, DWORD started)
{
    if (total < 0) {
        return INFINITE;
    }
    const DWORD waited = GetTickCount() - started;
    return static_cast<DWORD>(total) > waited ? static_cast<DWORD>(total) - waited : 0;
}

// The system tells of each change: WM_CLIPBOARDUPDATE reaches a message-only window of this thread,
// which sleeps in between.
class ListeningSource final : public ClipboardSource {
public:
    // Nullptr where the system cannot tell (Windows before Vista) or the window cannot be made.
    static std::unique_ptr<ListeningSource> Create(HANDLE stop)
    {
        using AddListener = BOOL(WINAPI*)(HWND);
        const auto add = reinterpret_cast<AddListener>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "AddClipboardFormatListener")));
        if (add == nullptr) {
            return nullptr;
        }
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = WindowProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kListenerClass;
        if (RegisterClassExW(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
            return nullptr;
        }
        auto source = std::unique_ptr<ListeningSource>(new ListeningSource(stop));
        source->window_ = CreateWindowExW(0, kListenerClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                          GetModuleHandleW(nullptr), nullptr);
        if (source->window_ == nullptr) {
            return nullptr;
        }
        SetWindowLongPtrW(source->window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(source.get()));
        if (!add(source->window_)) {
            return nullptr;
        }
        return source;
    }

    ~ListeningSource() override
    {
        if (window_ != nullptr) {
            DestroyWindow(window_); // the listener goes with its window
        }
    }
    ListeningSource(const ListeningSource&) = delete;
    ListeningSource& operator=(const ListeningSource&) = delete;

    [[nodiscard]] bool NoticesChanges() const override { return true; }

    Wake Wait(std::optional<std::chrono::milliseconds> timeout) override
    {
        const int total = WaitMilliseconds(timeout);
        const DWORD started = GetTickCount();
        for (;;) {
            // The notice is sent, not posted: looking at the queue delivers it to WindowProc.
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
                DispatchMessageW(&message);
            }
            if (std::exchange(changed_, false)) {
                return Wake::Changed;
            }
            const DWORD woken = MsgWaitForMultipleObjects(1, &stop_, FALSE, Remaining(total, started), QS_ALLINPUT);
            if (woken == WAIT_OBJECT_0) {
                return Wake::Stopped;
            }
            if (woken == WAIT_TIMEOUT) {
                return Wake::TimedOut;
            }
        }
    }

    std::u16string Read() override { return ClipboardWatcher::ReadNow(kReadBudget.heldWait); }

private:
    explicit ListeningSource(HANDLE stop) : stop_(stop) {}

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == kClipboardUpdate) {
            if (auto* source = reinterpret_cast<ListeningSource*>(GetWindowLongPtrW(window, GWLP_USERDATA))) {
                source->changed_ = true;
            }
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    HANDLE stop_;
    HWND window_ = nullptr;
    bool changed_ = false;
};

// Where the system cannot tell: the sequence number moves with every change, and is looked at ten
// times a second.
class PollingSource final : public ClipboardSource {
public:
    explicit PollingSource(HANDLE stop) : stop_(stop) {}

    [[nodiscard]] bool NoticesChanges() const override { return true; }

    Wake Wait(std::optional<std::chrono::milliseconds> timeout) override
    {
        const int total = WaitMilliseconds(timeout);
        const DWORD started = GetTickCount();
        for (;;) {
            const DWORD left = Remaining(total, started);
            if (WaitForSingleObject(stop_, left < kLookAgainMs ? left : kLookAgainMs) != WAIT_TIMEOUT) {
                return Wake::Stopped;
            }
            if (GetClipboardSequenceNumber() != readSequence_) {
                return Wake::Changed;
            }
            if (Remaining(total, started) == 0) {
                return Wake::TimedOut;
            }
        }
    }

    std::u16string Read() override
    {
        readSequence_ = GetClipboardSequenceNumber(); // a change during the read shows at the next wait
        return ClipboardWatcher::ReadNow(kReadBudget.heldWait);
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

    // The listener's window belongs to the thread that reads, so the source is made there.
    static DWORD WINAPI ThreadMain(LPVOID state)
    {
        auto* s = static_cast<State*>(state);
        std::unique_ptr<ClipboardSource> source = ListeningSource::Create(s->stop);
        if (!source) {
            source = std::make_unique<PollingSource>(s->stop);
        }
        RunClipboardReader(*source, s->pipeline);
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

ClipboardContents ClipboardWatcher::Text(ClipboardUse use) { return state_->pipeline.Text(use); }

} // namespace vorda::win32
