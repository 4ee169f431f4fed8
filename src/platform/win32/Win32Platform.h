#pragma once
// The Windows desktop under the program (Dictionary.exe, 32-bit).
//
// Implements: the hidden top-level window "frmDictionary" with its menu and SetTimer timers, a
// GetMessage loop, the hidden icon window, Shell_NotifyIconA with the core's 88 bytes, the tray
// callback (WM_MOUSEMOVE) turned into twips, TaskbarCreated, WM_CLOSE and WM_ENDSESSION as the
// window's unload, TrackPopupMenu, the clipboard's CF_UNICODETEXT as last read off the window's thread
// (ClipboardWatcher), ShellExecuteA (under Wine, an
// address too long for its shell is refused), the four registry calls, a message box, an input box
// (InputDialog), the ANSI code page and the program's folder.
// Leaves out: everything the program decides; this file only carries out one call at a time.
// windows.h stays out of this header, as every platform header stays out of the core's.

#include "platform/Platform.h"

#include <memory>

namespace vorda::win32 {

class Win32Platform final : public Platform {
public:
    Win32Platform();
    ~Win32Platform() override;

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
    void EndProgram() override;
    int RunEventLoop() override;

    struct State;

private:
    std::unique_ptr<State> state_;
};

} // namespace vorda::win32
