#pragma once
// A platform that records every operation in order and answers from a script. Deterministic: no
// threads, no clock; a test advances time by firing a timer handler itself.

#include "platform/Platform.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace vorda::test {

inline constexpr WindowHandle kWindowHandle = 0x00010234;
inline constexpr IconHandle kTextIcon = 0x0000A111;
inline constexpr IconHandle kNoTextIcon = 0x0000B222;
inline constexpr std::int32_t kErrorAccessDenied = 5;
inline constexpr std::int32_t kErrorInvalidHandle = 6;
inline constexpr std::int32_t kErrorFileNotFound = 2;
inline constexpr std::int32_t kErrorMoreData = 234;

struct TrayRequest {
    std::uint32_t message;
    TrayRecordBytes bytes;
};

struct BrowserLaunch {
    WindowHandle owner;
    std::string operation, file, parameters, directory;
    int showCommand;
};

struct StoredValue {
    std::uint32_t type;
    std::vector<std::uint8_t> data;
    bool operator==(const StoredValue&) const = default;
};

class FakePlatform final : public Platform {
public:
    // --- Script ------------------------------------------------------------------------------
    std::optional<std::u16string> clipboard = u""; // nothing: the clipboard cannot be opened
    std::vector<ClipboardUse> clipboardUses;       // who asked, in order, while recording
    bool windowHandleFails = false;
    // An exception that is not the platform's own: what a huge text or an exhausted heap gives.
    bool clipboardAllocationFails = false;
    bool iconAllocationFails = false;
    bool scaleModeFails = false;
    std::int16_t scaleMode = 1;
    float twipsPerPixel = 15.0F;
    std::optional<MenuItem> popupChoice;
    int messageBoxAnswer = 6;
    std::u16string inputBoxAnswer;
    std::u16string applicationFolder = u"C:\\Program Files\\Vorda";
    std::u16string programFileName = u"Dictionary.exe";
    char16_t pathSeparator = u'\\';
    bool registryDenied = false; // every open of every root refused
    // What one root refuses. Open: an open with the right to set values (a standard user and the
    // machine's key), while one to read is let through; Read: every open, reading included; Write:
    // setting and deleting values on an open key; Delete: deleting them.
    enum class Refusal { None, Open, Read, Write, Delete };
    std::map<std::uint32_t, Refusal> refusals;
    bool trayAccepts = true;
    // A notification area that keeps the icon, as Windows' does: a modify is refused while no add was
    // accepted (or after a delete), and the first `addsRefused` adds are refused (a taskbar still busy
    // at sign-in). Off: every request gets trayAccepts.
    bool trayKeepsIcon = false;
    int addsRefused = 0;
    bool iconInTray = false;
    // Narrow conversion; Windows-1252 unless a test needs a code page with wider characters.
    std::function<std::string(std::u16string_view)> toAnsi;
    // Run while DoEvents handles the waiting events.
    std::function<void()> waitingEvents;

    // --- Record -------------------------------------------------------------------------------
    // Off: the log, trayRequests and launches stay as they are, so a long run keeps flat memory; the
    // current state below (captions, enabled states, the last tray request and the counts) is still kept.
    bool recording = true;
    std::vector<std::string> log; // one line per operation, in order
    std::vector<TrayRequest> trayRequests;
    std::vector<BrowserLaunch> launches;
    std::map<MenuItem, std::u16string> captions;
    std::map<MenuItem, bool> enabled;
    std::map<TimerId, bool> timerEnabled;
    std::map<std::string, StoredValue> runKey;     // the values under HKLM's Run key
    std::map<std::string, StoredValue> userRunKey; // the values under HKCU's Run key
    WindowEvents* events = nullptr;
    int iconWindowLoads = 0;
    bool ended = false;
    std::optional<TrayRequest> lastTrayRequest;
    std::uint64_t trayRequestCount = 0;
    std::uint64_t launchCount = 0;

    [[nodiscard]] std::vector<std::string> LogOf(std::string_view prefix) const;
    [[nodiscard]] std::vector<std::string> OpenedAddresses() const;

    // --- Platform -----------------------------------------------------------------------------
    void CreateMainWindow(const WindowDefinition& window, WindowEvents& windowEvents) override;
    WindowHandle MainWindowHandle() override;
    IconHandle MainWindowIcon() override;
    IconHandle LoadIconWindow(const IconWindowDefinition& window) override;
    std::int16_t ScaleMode() override;
    float TwipsPerPixelX() override;
    void SetTimerEnabled(TimerId timer, bool on) override;
    bool ChangeWindowMessageFilterEx(WindowHandle window, std::string_view messageName, std::uint32_t action) override;
    void SetMenuCaption(MenuItem item, std::u16string_view caption) override;
    void SetMenuEnabled(MenuItem item, bool on) override;
    std::optional<MenuItem> ShowPopupMenu() override;
    bool ShellNotifyIcon(std::uint32_t message, const TrayRecordBytes& record) override;
    std::string ToAnsi(std::u16string_view text) override;
    ClipboardContents ClipboardText(ClipboardUse use) override;
    std::intptr_t ShellExecuteA(WindowHandle owner, std::string_view operation, std::string_view file,
                               std::string_view parameters, std::string_view directory, int showCommand) override;
    std::int32_t RegOpenKeyExA(std::uint32_t root, std::string_view subKey, std::uint32_t options, std::uint32_t access,
                              RegistryKey& key) override;
    std::int32_t RegSetValueExA(RegistryKey key, std::string_view valueName, std::uint32_t reserved, std::uint32_t type,
                               std::span<const std::uint8_t> data) override;
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

private:
    [[nodiscard]] Refusal RefusalOf(std::uint32_t root) const;
    std::map<std::string, StoredValue>& ValuesOf(std::uint32_t root);

    struct OpenKey {
        std::uint32_t root;
        std::uint32_t access;
    };
    std::map<RegistryKey, OpenKey> openKeys_;
    RegistryKey nextKey_ = 0x100;
};

// Human-readable names for log lines and test output.
std::string NameOf(MenuItem item);
std::string NameOf(TimerId timer);

} // namespace vorda::test
