#pragma once
// The one interface between the program and the desktop it runs on. The program (everything outside
// platform/win32 and platform/qt) talks to the desktop only through this class; a backend carries out
// one operation at a time and holds no program logic and none of the program's texts.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace vorda {

// Any step that fails in the program's sense. Handlers decide by their error rule what a failure ends.
class Failure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A platform operation that could not be carried out (clipboard cannot be opened, a handle cannot be read).
class PlatformError : public Failure {
public:
    using Failure::Failure;
};

using WindowHandle = std::uint32_t;
using IconHandle = std::uint32_t;
using RegistryKey = std::uint32_t;

// The clipboard's text as read once. Shared, because a backend keeps the last text it read and a
// text of many megabytes should not be copied five times a second.
using ClipboardContents = std::shared_ptr<const std::u16string>;

// Who asks for the clipboard's text: the poll may never wait; a look-up may, a little, for the text
// the user clicked on.
enum class ClipboardUse { Tick, Lookup };

// The tray record exactly as the notification area takes it.
inline constexpr std::size_t kTrayRecordSize = 88;
using TrayRecordBytes = std::array<std::uint8_t, kTrayRecordSize>;

enum class TimerId { tmrCheckClipboard, tmrSetHomePage };

// The popup's items, top to bottom; the value is the item's index in the menu table.
enum class MenuItem : int {
    mnuSysTray,
    mnuLookup,
    mnuSearch,
    mnuThesaurus,
    mnuSpellCheck,
    mnuAnagram,
    mnuHomophone,
    mnuRyhme,
    mnuQuotes,
    mnuEncyclopedia,
    mnuSep20,
    mnuManualLookup,
    mnuSep67,
    mnuVorda,
    mnuSep70,
    mnuCancel,
    mnuSep30,
    mnuExit,
};
inline constexpr std::size_t kMenuItemCount = static_cast<std::size_t>(MenuItem::mnuExit) + 1;

struct MenuItemDefinition {
    MenuItem item;
    std::string_view name;
    int level;                   // 0: the top-level menu whose submenu is the popup; 1: a popup item
    std::u16string_view caption; // "-" is a separator; "&" marks the access key
    bool enabled;
    bool hasClickHandler;

    [[nodiscard]] bool IsSeparator() const { return caption == u"-"; }
};

struct TimerDefinition {
    TimerId id;
    std::string_view name;
    unsigned periodMs;
    bool enabled;
};

struct WindowDefinition {
    std::u16string_view title;
    std::int16_t scaleMode; // the window's coordinate unit: 1 twips, 3 pixels
    std::span<const MenuItemDefinition> menu;
    std::span<const TimerDefinition> timers;
};

struct IconWindowDefinition {
    std::u16string_view title;
    std::string_view labelName;
    std::u16string_view labelCaption;
};

// What the desktop tells the main window. The backend calls these on the one user-interface thread.
class WindowEvents {
public:
    virtual ~WindowEvents() = default;
    // A mouse-move message reached the window; x and y are in the window's scale unit.
    virtual void OnMouseMove(std::int16_t button, std::int16_t shift, float x, float y) = 0;
    // A tray host that reports events by number rather than as mouse moves (515 double click, 517 menu).
    virtual void OnTrayEvent(std::int32_t eventNumber) = 0;
    // A tray host that draws the popup itself (the exported menu of a StatusNotifierItem) tells which
    // of its items was chosen.
    virtual void OnMenuItemChosen(MenuItem item) = 0;
    virtual void OnTimer(TimerId timer) = 0;
    // The window is being closed from outside (end of session, close request, termination signal).
    virtual void OnUnload() = 0;
    // The notification area came back after a restart and has forgotten every icon.
    virtual void OnTrayHostRestarted() = 0;
};

class Platform {
public:
    Platform() = default;
    virtual ~Platform() = default;
    Platform(const Platform&) = delete;
    Platform& operator=(const Platform&) = delete;

    // --- The window -------------------------------------------------------------------------
    // Creates the hidden main window with its menu and timers, timers running as the definition says.
    // Events are delivered to `events` from the event loop on. Never shows anything.
    virtual void CreateMainWindow(const WindowDefinition& window, WindowEvents& events) = 0;
    // The main window's handle, the same for the whole run; throws PlatformError when it cannot be read.
    virtual WindowHandle MainWindowHandle() = 0;
    // The handle of the main window's own icon (the text icon); throws PlatformError on failure.
    virtual IconHandle MainWindowIcon() = 0;
    // Creates the hidden icon window and returns the handle of its icon (the no-text icon). The program
    // calls it at most once; throws PlatformError on failure.
    virtual IconHandle LoadIconWindow(const IconWindowDefinition& window) = 0;
    // The main window's current scale mode; throws PlatformError when it cannot be read.
    virtual std::int16_t ScaleMode() = 0;
    // The screen's horizontal twips per pixel; throws PlatformError when it cannot be read.
    virtual float TwipsPerPixelX() = 0;
    virtual void SetTimerEnabled(TimerId timer, bool enabled) = 0;
    // Lets the registered message of that name through the filter that keeps programs of lower rights
    // from sending to a window of higher ones (an elevated program would otherwise never hear that the
    // notification area restarted). True where it is let through or where there is no such filter.
    virtual bool ChangeWindowMessageFilterEx(WindowHandle window, std::string_view messageName,
                                             std::uint32_t action) = 0;

    // --- The popup menu ---------------------------------------------------------------------
    virtual void SetMenuCaption(MenuItem item, std::u16string_view caption) = 0;
    virtual void SetMenuEnabled(MenuItem item, bool enabled) = 0;
    // Shows the submenu of the top-level menu at the pointer and waits for the user; returns the chosen
    // item, or nothing when the popup was closed without a choice. Throws PlatformError on failure.
    virtual std::optional<MenuItem> ShowPopupMenu() = 0;

    // --- The notification area --------------------------------------------------------------
    // Sends one request (0 add, 1 modify, 2 delete) with the record's bytes; returns whether the
    // notification area took it. A modify is refused where the icon is not there (an add refused,
    // or none made), and the program then adds it again. Never throws.
    virtual bool ShellNotifyIcon(std::uint32_t message, const TrayRecordBytes& record) = 0;

    // --- Text -------------------------------------------------------------------------------
    // The system's narrow code page form of a text; characters it cannot hold become '?'. Never throws.
    virtual std::string ToAnsi(std::u16string_view text) = 0;

    // --- The clipboard ----------------------------------------------------------------------
    // The clipboard's plain text, "" when it holds none (never null); throws PlatformError when it
    // cannot be read, or is not known yet.
    virtual ClipboardContents ClipboardText(ClipboardUse use) = 0;

    // --- The browser ------------------------------------------------------------------------
    // Asks the shell to open `file` with `operation`; returns the shell's result (> 32 on success), which
    // the program ignores. Never throws.
    virtual std::intptr_t ShellExecuteA(WindowHandle owner, std::string_view operation, std::string_view file,
                                       std::string_view parameters, std::string_view directory,
                                       int showCommand) = 0;

    // --- The registry -----------------------------------------------------------------------
    // All return the platform's code (0 on success) and never throw. A failed open leaves `key` as
    // it was (0); every operation on key 0 is refused without effect.
    virtual std::int32_t RegOpenKeyExA(std::uint32_t root, std::string_view subKey, std::uint32_t options,
                                      std::uint32_t access, RegistryKey& key) = 0;
    virtual std::int32_t RegSetValueExA(RegistryKey key, std::string_view valueName, std::uint32_t reserved,
                                       std::uint32_t type, std::span<const std::uint8_t> data) = 0;
    virtual std::int32_t RegDeleteValueA(RegistryKey key, std::string_view valueName) = 0;
    virtual std::int32_t RegCloseKey(RegistryKey key) = 0;
    // Reads a value of a key opened with the right to query values into `data`, never more than
    // data.size() bytes. On success sets `type` and `size` (the bytes read); a value larger than
    // `data` gives the platform's "more data" code with `size` the bytes it holds, and `data` is not
    // to be used. Any other failure leaves `type` and `size` as they were.
    virtual std::int32_t RegQueryValueExA(RegistryKey key, std::string_view valueName, std::uint32_t& type,
                                         std::span<std::uint8_t> data, std::uint32_t& size) = 0;

    // --- Boxes ------------------------------------------------------------------------------
    // A modal message box; returns the button pressed (6 Yes, 7 No).
    virtual int ShowMessageBox(std::u16string_view prompt, unsigned style, std::u16string_view title) = 0;
    // A modal one-line input box with OK and Cancel; returns the field's text, or "" on Cancel or close.
    virtual std::u16string InputBox(std::u16string_view prompt, std::u16string_view title,
                                    std::u16string_view initialText) = 0;

    // --- The program ------------------------------------------------------------------------
    // The folder that holds the running program's file: a full path, no trailing separator except
    // for a root folder.
    virtual std::u16string ApplicationFolder() = 0;
    // The program's fixed file name on this platform and the platform's path separator.
    virtual std::u16string ProgramFileName() = 0;
    virtual char16_t PathSeparator() = 0;
    // Handles the events already waiting for the window once, then returns.
    virtual void DoEvents() = 0;
    // Ends the program at once; a real backend does not return.
    virtual void EndProgram() = 0;
    // Runs the event loop until the program ends; returns the exit code.
    virtual int RunEventLoop() = 0;
};

} // namespace vorda
