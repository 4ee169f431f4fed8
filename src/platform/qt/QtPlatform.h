#pragma once
// The Linux desktop backend, over Qt 6 Widgets.
//
// Implements:
//   - the hidden main window as a plain object: its timers (QTimer), its popup (QMenu, "&" access keys,
//     "-" separators) and a fixed window handle;
//   - the tray icon (TrayIcon) from the record's icon handle and tooltip bytes: a StatusNotifierItem
//     with the popup exported as its menu wherever a watcher is, else an XEmbed icon on X; on an XEmbed
//     tray a double click is 515 and the right button's release 517, on a StatusNotifierItem host,
//     which has no double click, "activate" stands for the double click and its ContextMenu opens the
//     popup at the point it names;
//   - the clipboard's text as last read on a thread of its own over a private X connection
//     (ClipboardWatcher), or through Qt where there is no X display;
//   - the browser launch through xdg-open, started detached;
//   - the registry as the XDG autostart folder (AutostartRegistry);
//   - the Yes/No box (QMessageBox) and the input box (QInputDialog), in Boxes;
//   - the unload from outside: end of the session, SIGTERM, SIGHUP and SIGINT.
// Leaves out:
//   - mouse moves: the tray's events are handed over by number (WindowEvents::OnTrayEvent);
//   - the shell's verb, parameters, folder and show command, which mean nothing to xdg-open;
//   - telling the program that the tray host restarted: the icon docks or registers again by itself.

#include "platform/Platform.h"

#include <memory>

class QString;

namespace vorda::qt {

struct QtPlatformState;

class QtPlatform final : public Platform {
public:
    // Needs the QApplication to exist.
    QtPlatform();
    ~QtPlatform() override;

    void CreateMainWindow(const WindowDefinition& window, WindowEvents& events) override;
    WindowHandle MainWindowHandle() override;
    IconHandle MainWindowIcon() override;
    IconHandle LoadIconWindow(const IconWindowDefinition& window) override;
    std::int16_t ScaleMode() override;
    float TwipsPerPixelX() override;
    void SetTimerEnabled(TimerId timer, bool enabled) override;
    bool ChangeWindowMessageFilterEx(WindowHandle window, std::string_view messageName, std::uint32_t action) override;

    void SetMenuCaption(MenuItem item, std::u16string_view caption) override;
    void SetMenuEnabled(MenuItem item, bool enabled) override;
    std::optional<MenuItem> ShowPopupMenu() override;

    bool ShellNotifyIcon(std::uint32_t message, const TrayRecordBytes& record) override;

    std::string ToAnsi(std::u16string_view text) override;
    ClipboardContents ClipboardText(ClipboardUse use) override;
    std::intptr_t ShellExecuteA(WindowHandle owner, std::string_view operation, std::string_view file,
                               std::string_view parameters, std::string_view directory, int showCommand) override;

    std::int32_t RegOpenKeyExA(std::uint32_t root, std::string_view subKey, std::uint32_t options,
                              std::uint32_t access, RegistryKey& key) override;
    std::int32_t RegSetValueExA(RegistryKey key, std::string_view valueName, std::uint32_t reserved,
                               std::uint32_t type, std::span<const std::uint8_t> data) override;
    std::int32_t RegDeleteValueA(RegistryKey key, std::string_view valueName) override;
    std::int32_t RegCloseKey(RegistryKey key) override;
    std::int32_t RegQueryValueExA(RegistryKey key, std::string_view valueName, std::uint32_t& type,
                                 std::span<std::uint8_t> data, std::uint32_t& size) override;

    int ShowMessageBox(std::u16string_view prompt, unsigned style, std::u16string_view title) override;
    std::u16string InputBox(std::u16string_view prompt, std::u16string_view title,
                            std::u16string_view initialText) override;

    std::u16string ApplicationFolder() override;
    std::u16string ProgramFileName() override;
    char16_t PathSeparator() override;
    void DoEvents() override;
    [[noreturn]] void EndProgram() override;
    int RunEventLoop() override;

private:
    // Loads the icon behind `handle` on first use, then keeps it for the whole run.
    IconHandle KeepIcon(IconHandle handle, const QString& path);
    [[noreturn]] void UnloadFromOutside();

    std::unique_ptr<QtPlatformState> state_;
};

} // namespace vorda::qt
