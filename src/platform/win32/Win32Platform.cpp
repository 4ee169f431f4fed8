#include "platform/win32/Win32Platform.h"

#include "app/resources/resource.h"
#include "platform/win32/ClipboardWatcher.h"
#include "platform/win32/InputDialog.h"
#include "platform/win32/NarrowText.h"
#include "platform/win32/WineWorkarounds.h"
#include "platform/PlatformNumbers.h"
#include "tray/TrayRecordFields.h"

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include <cstring>
#include <exception>
#include <optional>
#include <string>
#include <vector>

namespace vorda::win32 {
namespace {

constexpr wchar_t kMainWindowClass[] = L"VordaDictionaryWindow";
constexpr wchar_t kIconWindowClass[] = L"VordaDictionaryIconWindow";
constexpr UINT kFirstMenuCommand = 1000; // a chosen item's command is this plus its index; 0 is "none"
constexpr UINT_PTR kFirstTimerId = 1;

// Handles are 32-bit significant on 64-bit Windows and widened with their sign, as LongToHandle does
// (HKEY_LOCAL_MACHINE is 0x80000002 to the core and 0xFFFFFFFF80000002 to a 64-bit build).
template <typename Handle> Handle HandleOf(std::uint32_t value)
{
    return reinterpret_cast<Handle>(static_cast<std::intptr_t>(static_cast<std::int32_t>(value)));
}

#if defined(_WIN64)

// The 64-bit build's NOTIFYICONDATAA has wider handles and padding, so the core's record is laid
// into it field by field.
NOTIFYICONDATAA NativeTrayRecord(const TrayRecordBytes& record)
{
    const TrayRecordFields fields = ReadTrayRecord(record);
    NOTIFYICONDATAA data{};
    data.cbSize = fields.cbSize == kTrayRecordSize ? DWORD{NOTIFYICONDATAA_V1_SIZE} : DWORD{fields.cbSize};
    data.hWnd = HandleOf<HWND>(fields.hWnd);
    data.uID = fields.uID;
    data.uFlags = fields.uFlags;
    data.uCallbackMessage = fields.uCallbackMessage;
    data.hIcon = HandleOf<HICON>(fields.hIcon);
    std::memcpy(data.szTip, record.data() + kTipOffset, kTipBytes);
    return data;
}
#else
static_assert(sizeof(NOTIFYICONDATAA) >= kTrayRecordSize && NOTIFYICONDATAA_V1_SIZE == kTrayRecordSize,
              "the first NOTIFYICONDATAA is the core's 88 bytes");

// The core's bytes are the first NOTIFYICONDATAA as it stands: cbSize 88 tells the shell so.
NOTIFYICONDATAA NativeTrayRecord(const TrayRecordBytes& record)
{
    NOTIFYICONDATAA data{};
    std::memcpy(&data, record.data(), record.size());
    return data;
}
#endif

std::wstring Wide(std::u16string_view text) { return {text.begin(), text.end()}; }
std::u16string FromWide(std::wstring_view text) { return {text.begin(), text.end()}; }
std::string Narrow(std::string_view text) { return std::string(text); } // NUL-terminated copy

// A window class whose icon is the resource `icon`, the small image at the system's small size.
bool RegisterWindowClass(HINSTANCE instance, const wchar_t* name, WNDPROC procedure, int icon)
{
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(icon));
    windowClass.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(icon), IMAGE_ICON,
                                                        GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                                        LR_DEFAULTCOLOR | LR_SHARED));
    windowClass.lpszClassName = name;
    return windowClass.hIconSm != nullptr && RegisterClassExW(&windowClass) != 0;
}

UINT EnabledFlag(bool enabled) { return enabled ? UINT{MF_ENABLED} : UINT{MF_GRAYED}; }

HKEY KeyOf(std::uint32_t value) { return HandleOf<HKEY>(value); }
std::uint32_t HandleValue(const void* handle) { return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(handle)); }

} // namespace

struct Win32Platform::State {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    bool comInitialised = false;
    HWND window = nullptr;
    HMENU menuBar = nullptr;
    HMENU popup = nullptr; // the submenu of the top-level item, shown as the tray popup
    WindowEvents* events = nullptr;
    std::int16_t scaleMode = 0;
    std::vector<TimerDefinition> timers;
    UINT taskbarCreated = 0;
    HWND iconWindow = nullptr;
    bool iconWindowClassRegistered = false;
    std::optional<TrayRecordBytes> trayRecordShown; // as the tray last took it
    std::unique_ptr<ClipboardWatcher> clipboard = ClipboardWatcher::Start();

    [[nodiscard]] UINT CommandOf(MenuItem item) const { return kFirstMenuCommand + static_cast<UINT>(item); }
    [[nodiscard]] UINT_PTR TimerIdOf(TimerId timer) const
    {
        for (std::size_t i = 0; i < timers.size(); ++i) {
            if (timers[i].id == timer) {
                return kFirstTimerId + i;
            }
        }
        return 0;
    }
    void SetTimer(std::size_t index, bool enabled) const
    {
        if (enabled) {
            ::SetTimer(window, kFirstTimerId + index, timers[index].periodMs, nullptr);
        } else {
            ::KillTimer(window, kFirstTimerId + index);
        }
    }

    // The mouse-move coordinate as the window framework hands it on: pixels in scale mode 3, else twips.
    [[nodiscard]] float InScaleUnit(int pixels) const
    {
        if (scaleMode == kScaleModePixels) {
            return static_cast<float>(pixels);
        }
        return static_cast<float>(pixels) * TwipsPerPixel();
    }
    [[nodiscard]] static float TwipsPerPixel()
    {
        const HDC screen = GetDC(nullptr);
        const int dotsPerInch = screen ? GetDeviceCaps(screen, LOGPIXELSX) : 0;
        if (screen) {
            ReleaseDC(nullptr, screen);
        }
        return dotsPerInch > 0 ? 1440.0F / static_cast<float>(dotsPerInch) : 0.0F;
    }
};

namespace {

// Each case hands one message straight to the program.
LRESULT HandleMessage(Win32Platform::State* state, HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == state->taskbarCreated && message != 0) {
        state->events->OnTrayHostRestarted();
        return 0;
    }
    switch (message) {
    case WM_MOUSEMOVE: {
        // The tray icon's callback: the event number arrives as the horizontal pixel coordinate.
        const auto x = static_cast<short>(LOWORD(lParam));
        const auto y = static_cast<short>(HIWORD(lParam));
        const auto button = static_cast<std::int16_t>(((wParam & MK_LBUTTON) ? 1 : 0) | ((wParam & MK_RBUTTON) ? 2 : 0) |
                                                      ((wParam & MK_MBUTTON) ? 4 : 0));
        const auto shift = static_cast<std::int16_t>(((wParam & MK_SHIFT) ? 1 : 0) | ((wParam & MK_CONTROL) ? 2 : 0));
        state->events->OnMouseMove(button, shift, state->InScaleUnit(x), state->InScaleUnit(y));
        return 0;
    }
    case WM_TIMER:
        if (wParam >= kFirstTimerId && wParam < kFirstTimerId + state->timers.size()) {
            state->events->OnTimer(state->timers[wParam - kFirstTimerId].id);
        }
        return 0;
    case WM_ENDSESSION:
        if (wParam) { // the session really ends; the system closes the program after this
            state->events->OnUnload();
        }
        return 0;
    case WM_CLOSE:
        state->events->OnUnload();
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        state->window = nullptr;
        PostQuitMessage(0);
        return 0;
    default: return DefWindowProcW(window, message, wParam, lParam);
    }
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* state = reinterpret_cast<Win32Platform::State*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!state || !state->events) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    try {
        return HandleMessage(state, window, message, wParam, lParam);
    } catch (const std::exception&) {
        // An exception cannot unwind through the system's frames, and the program shows no errors.
        return 0;
    }
}

} // namespace

Win32Platform::Win32Platform() : state_(std::make_unique<State>())
{
    // The shell asks for an apartment-threaded COM on the thread that calls ShellExecute.
    state_->comInitialised = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE));
}

Win32Platform::~Win32Platform()
{
    state_->events = nullptr; // the program's window object is already gone
    if (state_->window) {
        DestroyWindow(state_->window);
    }
    if (state_->iconWindow) {
        DestroyWindow(state_->iconWindow);
    }
    if (state_->comInitialised) {
        CoUninitialize();
    }
}

// --- The window -------------------------------------------------------------------------------

void Win32Platform::CreateMainWindow(const WindowDefinition& window, WindowEvents& events)
{
    State& s = *state_;
    s.scaleMode = window.scaleMode;
    s.timers.assign(window.timers.begin(), window.timers.end());
    s.taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");

    if (!RegisterWindowClass(s.instance, kMainWindowClass, MainWindowProc, IDI_TEXT)) {
        throw PlatformError("the main window's class cannot be registered");
    }

    // The top-level item, whose submenu is the popup; separators for "-", "&" marks the access key.
    s.menuBar = CreateMenu();
    s.popup = CreatePopupMenu();
    std::wstring topCaption;
    for (const MenuItemDefinition& item : window.menu) {
        if (item.level == 0) {
            topCaption = Wide(item.caption);
            continue;
        }
        const UINT flags = item.IsSeparator() ? UINT{MF_SEPARATOR} : (UINT{MF_STRING} | EnabledFlag(item.enabled));
        const std::wstring caption = Wide(item.caption);
        AppendMenuW(s.popup, flags, s.CommandOf(item.item), item.IsSeparator() ? nullptr : caption.c_str());
    }
    AppendMenuW(s.menuBar, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(s.popup), topCaption.c_str());

    // Top-level rather than message-only, so that broadcasts (TaskbarCreated, end of session) reach it;
    // a tool window, never shown, so it has no taskbar button.
    s.events = &events;
    const std::wstring title = Wide(window.title);
    s.window = CreateWindowExW(WS_EX_TOOLWINDOW, kMainWindowClass, title.c_str(), WS_OVERLAPPED | WS_CAPTION, 0, 0,
                               120, 40, nullptr, s.menuBar, s.instance, &s);
    if (!s.window) {
        s.events = nullptr;
        throw PlatformError("the main window cannot be created");
    }
    for (std::size_t i = 0; i < s.timers.size(); ++i) {
        s.SetTimer(i, s.timers[i].enabled);
    }
}

WindowHandle Win32Platform::MainWindowHandle()
{
    if (!state_->window || !IsWindow(state_->window)) {
        throw PlatformError("the main window's handle cannot be read");
    }
    return HandleValue(state_->window);
}

IconHandle Win32Platform::MainWindowIcon()
{
    // The small image: the notification area draws icons at the small size.
    const auto icon = state_->window ? GetClassLongPtrW(state_->window, GCLP_HICONSM) : 0;
    if (icon == 0) {
        throw PlatformError("the main window's icon cannot be read");
    }
    return static_cast<IconHandle>(icon);
}

IconHandle Win32Platform::LoadIconWindow(const IconWindowDefinition& window)
{
    State& s = *state_;
    // The class is registered once for the run: registered again after a failed attempt it would be
    // refused as already there, and every later attempt would fail with it.
    if (!s.iconWindowClassRegistered) {
        if (!RegisterWindowClass(s.instance, kIconWindowClass, DefWindowProcW, IDI_NOTEXT)) {
            throw PlatformError("the icon window's class cannot be registered");
        }
        s.iconWindowClassRegistered = true;
    }
    if (!s.iconWindow) {
        const std::wstring title = Wide(window.title);
        s.iconWindow = CreateWindowExW(WS_EX_TOOLWINDOW, kIconWindowClass, title.c_str(), WS_OVERLAPPED | WS_CAPTION,
                                       0, 0, 320, 120, nullptr, nullptr, s.instance, nullptr);
        if (!s.iconWindow) {
            throw PlatformError("the icon window cannot be created");
        }
        const std::wstring label = Wide(window.labelCaption);
        CreateWindowExW(0, L"STATIC", label.c_str(), WS_CHILD | WS_VISIBLE | SS_LEFT, 8, 8, 300, 80, s.iconWindow,
                        nullptr, s.instance, nullptr);
    }
    const auto icon = GetClassLongPtrW(s.iconWindow, GCLP_HICONSM);
    if (icon == 0) {
        throw PlatformError("the icon window's icon cannot be read");
    }
    return static_cast<IconHandle>(icon);
}

std::int16_t Win32Platform::ScaleMode() { return state_->scaleMode; }

float Win32Platform::TwipsPerPixelX()
{
    const float twips = State::TwipsPerPixel();
    if (twips <= 0.0F) {
        throw PlatformError("the screen's resolution cannot be read");
    }
    return twips;
}

void Win32Platform::SetTimerEnabled(TimerId timer, bool enabled)
{
    const UINT_PTR id = state_->TimerIdOf(timer);
    if (id != 0 && state_->window) {
        state_->SetTimer(id - kFirstTimerId, enabled);
    }
}

bool Win32Platform::ChangeWindowMessageFilterEx(WindowHandle window, std::string_view messageName,
                                                std::uint32_t action)
{
    HWND target = state_->window;
    if (target == nullptr || HandleValue(target) != window) {
        return false;
    }
    const UINT message = RegisterWindowMessageA(std::string(messageName).c_str());
    if (message == 0) {
        return false;
    }
    // Looked up at run time: the filter for one window came with Windows 7, the process-wide one with
    // Vista; before Vista there is no filter to pass.
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    using ForWindow = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
    using ForProcess = BOOL(WINAPI*)(UINT, DWORD);
    if (const auto forWindow = reinterpret_cast<ForWindow>(
            reinterpret_cast<void*>(GetProcAddress(user32, "ChangeWindowMessageFilterEx")))) {
        return forWindow(target, message, action, nullptr) != FALSE;
    }
    if (const auto forProcess = reinterpret_cast<ForProcess>(
            reinterpret_cast<void*>(GetProcAddress(user32, "ChangeWindowMessageFilter")))) {
        return forProcess(message, action) != FALSE;
    }
    return true;
}

// --- The popup menu ---------------------------------------------------------------------------

void Win32Platform::SetMenuCaption(MenuItem item, std::u16string_view caption)
{
    std::wstring text = Wide(caption);
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STRING;
    info.dwTypeData = text.data();
    SetMenuItemInfoW(state_->popup, state_->CommandOf(item), FALSE, &info);
}

void Win32Platform::SetMenuEnabled(MenuItem item, bool enabled)
{
    EnableMenuItem(state_->popup, state_->CommandOf(item), UINT{MF_BYCOMMAND} | EnabledFlag(enabled));
}

std::optional<MenuItem> Win32Platform::ShowPopupMenu()
{
    State& s = *state_;
    POINT pointer{}; // the tray's callback carries no position, so the popup opens where the pointer is
    if (!s.window || !GetCursorPos(&pointer)) {
        throw PlatformError("the popup cannot be placed");
    }
    // The window must be the foreground window before TrackPopupMenu, or the menu will not close when
    // the user clicks away; the posted WM_NULL lets a second popup work straight after the first.
    SetForegroundWindow(s.window);
    const UINT chosen = static_cast<UINT>(
        TrackPopupMenu(s.popup, TPM_RETURNCMD | TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON, pointer.x, pointer.y, 0,
                       s.window, nullptr));
    PostMessageW(s.window, WM_NULL, 0, 0);
    if (chosen < kFirstMenuCommand || chosen > kFirstMenuCommand + static_cast<UINT>(MenuItem::mnuExit)) {
        return std::nullopt;
    }
    return static_cast<MenuItem>(chosen - kFirstMenuCommand);
}

// --- The notification area --------------------------------------------------------------------

bool Win32Platform::ShellNotifyIcon(std::uint32_t message, const TrayRecordBytes& record)
{
    State& s = *state_;
    // The program sends the same record five times a second; a modify that would change nothing is
    // not sent (for Wine: WineWorkarounds.h).
    if (message == kTrayModify && s.trayRecordShown && *s.trayRecordShown == record) {
        return true;
    }
    NOTIFYICONDATAA data = NativeTrayRecord(record);
    const bool done = Shell_NotifyIconA(message, &data) != FALSE;
    if (done && (message == kTrayAdd || message == kTrayModify)) {
        s.trayRecordShown = record;
    } else {
        s.trayRecordShown.reset();
    }
    return done;
}

// --- Text, clipboard, browser -----------------------------------------------------------------

// The manifest makes the active code page UTF-8 on Windows 10 1903 and later; older Windows keep
// the user's own.
std::string Win32Platform::ToAnsi(std::u16string_view text) { return NarrowText(Wide(text), CP_ACP); }

ClipboardContents Win32Platform::ClipboardText(ClipboardUse use)
{
    if (!state_->clipboard) {
        return std::make_shared<const std::u16string>(ClipboardWatcher::ReadNow());
    }
    return state_->clipboard->Text(use);
}

std::intptr_t Win32Platform::ShellExecuteA(WindowHandle owner, std::string_view operation, std::string_view file,
                                          std::string_view parameters, std::string_view directory, int showCommand)
{
    if (OverrunsWineShell(operation, file)) {
        return SE_ERR_OOM; // what the shell reports when it has no room for a command
    }
    const HINSTANCE result =
        ::ShellExecuteA(HandleOf<HWND>(owner), Narrow(operation).c_str(),
                      Narrow(file).c_str(), Narrow(parameters).c_str(), Narrow(directory).c_str(), showCommand);
    return reinterpret_cast<std::intptr_t>(result);
}

// --- The registry -----------------------------------------------------------------------------

std::int32_t Win32Platform::RegOpenKeyExA(std::uint32_t root, std::string_view subKey, std::uint32_t options,
                                         std::uint32_t access, RegistryKey& key)
{
    HKEY opened = nullptr;
    const LONG result = ::RegOpenKeyExA(KeyOf(root), Narrow(subKey).c_str(), options, access, &opened);
    if (result == ERROR_SUCCESS) {
        key = HandleValue(opened);
    }
    return result;
}

std::int32_t Win32Platform::RegSetValueExA(RegistryKey key, std::string_view valueName, std::uint32_t reserved,
                                          std::uint32_t type, std::span<const std::uint8_t> data)
{
    return ::RegSetValueExA(KeyOf(key), Narrow(valueName).c_str(), reserved, type, data.data(),
                          static_cast<DWORD>(data.size()));
}

std::int32_t Win32Platform::RegDeleteValueA(RegistryKey key, std::string_view valueName)
{
    return ::RegDeleteValueA(KeyOf(key), Narrow(valueName).c_str());
}

std::int32_t Win32Platform::RegCloseKey(RegistryKey key) { return ::RegCloseKey(KeyOf(key)); }

std::int32_t Win32Platform::RegQueryValueExA(RegistryKey key, std::string_view valueName, std::uint32_t& type,
                                            std::span<std::uint8_t> data, std::uint32_t& size)
{
    // The call writes no more than the size it is given; type and size reach the caller only where
    // it says they hold.
    // An empty buffer is still passed as one, or the call would report the size instead of refusing.
    DWORD valueType = 0;
    DWORD valueSize = static_cast<DWORD>(data.size());
    BYTE none = 0;
    BYTE* buffer = data.empty() ? &none : data.data();
    const LONG result = ::RegQueryValueExA(KeyOf(key), Narrow(valueName).c_str(), nullptr, &valueType, buffer, &valueSize);
    if (result == ERROR_SUCCESS || result == ERROR_MORE_DATA) {
        type = valueType;
        size = valueSize;
    }
    return result;
}

// --- Boxes ------------------------------------------------------------------------------------

int Win32Platform::ShowMessageBox(std::u16string_view prompt, unsigned style, std::u16string_view title)
{
    return MessageBoxW(state_->window, Wide(prompt).c_str(), Wide(title).c_str(), style);
}

std::u16string Win32Platform::InputBox(std::u16string_view prompt, std::u16string_view title,
                                       std::u16string_view initialText)
{
    const auto typed = ShowInputDialog(state_->window, Wide(prompt), Wide(title), Wide(initialText));
    if (!typed) {
        throw PlatformError("the input box cannot be shown");
    }
    return FromWide(*typed);
}

// --- The program ------------------------------------------------------------------------------

std::u16string Win32Platform::ApplicationFolder()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) {
            throw PlatformError("the program's file name cannot be read");
        }
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    const std::size_t separator = path.find_last_of(L'\\');
    if (separator == std::wstring::npos) {
        throw PlatformError("the program's file name has no folder");
    }
    // A drive's root keeps its backslash ("C:\"); any other folder loses it.
    const bool driveRoot = separator == 2 && path[1] == L':';
    path.resize(driveRoot ? separator + 1 : separator);
    return FromWide(path);
}

std::u16string Win32Platform::ProgramFileName() { return u"Dictionary.exe"; }

char16_t Win32Platform::PathSeparator() { return u'\\'; }

void Win32Platform::DoEvents()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam)); // leave it for the event loop
            break;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void Win32Platform::EndProgram() { ExitProcess(0); }

int Win32Platform::RunEventLoop()
{
    MSG message;
    BOOL result;
    while ((result = GetMessageW(&message, nullptr, 0, 0)) != 0) {
        if (result == -1) {
            return 1;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

} // namespace vorda::win32
