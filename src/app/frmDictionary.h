#pragma once
// The hidden main window: it owns the tray icon record, the popup menu, the two timers and every
// handler of the program. Its methods are spread over the folders of the subsystems they belong to.

#include "app/frmIconForm.h"
#include "autostart/RegistryValue.h"
#include "platform/Platform.h"
#include "tray/TrayIconRecord.h"

#include <array>
#include <cstdint>
#include <string>

namespace vorda {

class frmDictionary final : public WindowEvents {
public:
    // Creates the hidden window with its menu and timers; Form_Load has not run yet.
    explicit frmDictionary(Platform& platform);

    // The window's own events.
    void Form_Load();
    void Form_MouseMove(std::int16_t button, std::int16_t shift, float x, float y);
    void Form_Unload(std::int16_t& cancel);

    void tmrCheckClipboard_Timer();
    void tmrSetHomePage_Timer();

    void mnuLookup_Click();
    void mnuSearch_Click();
    void mnuThesaurus_Click();
    void mnuSpellCheck_Click();
    void mnuAnagram_Click();
    void mnuHomophone_Click();
    void mnuRyhme_Click();
    void mnuQuotes_Click();
    void mnuEncyclopedia_Click();
    void mnuManualLookup_Click();
    void mnuVorda_Click();
    void mnuExit_Click();

    // Runs the Click handler of a chosen popup item; items without one do nothing.
    void MenuItem_Click(MenuItem item);
    // 515 runs the dictionary look-up, 517 shows the popup, anything else does nothing.
    void DispatchTrayEvent(std::int32_t eventNumber);

    void RunAtStartUp();
    void DoNotRunAtStartUp();
    std::int32_t SetValueEx(RegistryKey hKey, const std::u16string& sValueName, const std::int32_t& lType,
                            const RegistryValue& vValue);

    [[nodiscard]] const TrayIconRecord& TrayIcon() const { return trayIcon_; }
    [[nodiscard]] bool IconFormLoaded() const { return iconForm_.IsLoaded(); }
    [[nodiscard]] bool HasEnded() const { return ended_; }

    // WindowEvents: what the platform delivers. Nothing runs once the program has ended.
    void OnMouseMove(std::int16_t button, std::int16_t shift, float x, float y) override;
    void OnTrayEvent(std::int32_t eventNumber) override;
    void OnMenuItemChosen(MenuItem item) override;
    void OnTimer(TimerId timer) override;
    void OnUnload() override;
    void OnTrayHostRestarted() override;

private:
    void UpdateFromClipboard();
    void RefreshTrayIcon();
    // Sends the record with one request; whether the notification area took it.
    bool SendTrayRequest(std::uint32_t message);
    void RunLookup(MenuItem item);
    // The auto-start value under one root's Run key; whether it was written, or deleted (or absent).
    bool WriteAutoStartValue(std::uint32_t root, const std::u16string& command);
    void DeleteAutoStartValue(std::uint32_t root);
    // Whether the value under one root's Run key, as far as this user may read it, is `command`.
    bool AutoStartValueIs(std::uint32_t root, const std::u16string& command);

    // What the poll shows for one clipboard content, made once for it: five ticks a second mostly
    // show the same content, and each still writes all of it.
    struct PollView {
        ClipboardContents content;
        bool hasText = false;
        std::array<std::u16string, 9> captions;
        std::u16string tip;
    };
    const PollView& PollViewOf(const ClipboardContents& content);

    Platform& platform_;
    TrayIconRecord trayIcon_;
    frmIconForm iconForm_;
    PollView pollView_;
    unsigned ticksSinceTrayAdd_ = 0; // modify requests since the last add, counted up to the bound
    bool trayIconDeleted_ = false;   // the program took its icon away: a failed modify adds nothing
    bool ended_ = false;
};

// Creates the window, runs its Load handler and the event loop; returns the exit code.
int RunDictionary(Platform& platform);

} // namespace vorda
