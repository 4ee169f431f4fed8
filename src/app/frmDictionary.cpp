#include "app/frmDictionary.h"

#include "platform/ErrorRules.h"
#include "app/FormDefinitions.h"
#include "platform/PlatformNumbers.h"

namespace vorda {
namespace {

constexpr std::u16string_view kAutoStartQuestion =
    u"Would you like the Vorda Dictionary to automatically load next time Windows boots?";

} // namespace

frmDictionary::frmDictionary(Platform& platform) : platform_(platform), iconForm_(platform)
{
    platform_.CreateMainWindow(kFrmDictionary, *this);
    // Elevated, the only way the machine-wide auto-start value can be written under UAC, the window
    // would not hear that the notification area restarted, and the icon would not come back.
    ContainingExceptions([&] {
        platform_.ChangeWindowMessageFilterEx(platform_.MainWindowHandle(), kTrayRestartedMessage,
                                              kMessageFilterAllow);
    });
}

void frmDictionary::Form_Load()
{
    trayIcon_.cbSize = kTrayRecordSize;
    trayIcon_.hWnd = platform_.MainWindowHandle();
    trayIcon_.uID = 1;
    trayIcon_.uFlags = kTrayFlagMessage | kTrayFlagIcon | kTrayFlagTip;
    trayIcon_.uCallbackMessage = kMouseMoveMessage;
    trayIcon_.hIcon = platform_.MainWindowIcon();
    trayIcon_.SetTip(std::u16string(kDisplayName) + u'\0');
    SendTrayRequest(kTrayAdd);
    RunAtStartUp();
}

void frmDictionary::Form_Unload(std::int16_t& /*cancel: left as it is, so the unload goes on*/)
{
    SendTrayRequest(kTrayDelete);
}

void frmDictionary::mnuExit_Click()
{
    if (platform_.ShowMessageBox(kAutoStartQuestion, kYesNoQuestion, kDisplayName) == kAnswerNo) {
        DoNotRunAtStartUp();
    }
    SendTrayRequest(kTrayDelete);
    platform_.DoEvents();
    ended_ = true;
    platform_.EndProgram();
}

void frmDictionary::tmrSetHomePage_Timer() { platform_.SetTimerEnabled(TimerId::tmrSetHomePage, false); }

void frmDictionary::MenuItem_Click(MenuItem item)
{
    switch (item) {
    case MenuItem::mnuLookup: mnuLookup_Click(); break;
    case MenuItem::mnuSearch: mnuSearch_Click(); break;
    case MenuItem::mnuThesaurus: mnuThesaurus_Click(); break;
    case MenuItem::mnuSpellCheck: mnuSpellCheck_Click(); break;
    case MenuItem::mnuAnagram: mnuAnagram_Click(); break;
    case MenuItem::mnuHomophone: mnuHomophone_Click(); break;
    case MenuItem::mnuRyhme: mnuRyhme_Click(); break;
    case MenuItem::mnuQuotes: mnuQuotes_Click(); break;
    case MenuItem::mnuEncyclopedia: mnuEncyclopedia_Click(); break;
    case MenuItem::mnuManualLookup: mnuManualLookup_Click(); break;
    case MenuItem::mnuVorda: mnuVorda_Click(); break;
    case MenuItem::mnuExit: mnuExit_Click(); break;
    default: break; // mnuCancel, the separators and mnuSysTray have no handler
    }
}

void frmDictionary::OnMouseMove(std::int16_t button, std::int16_t shift, float x, float y)
{
    if (!ended_) {
        ContainingExceptions([&] { Form_MouseMove(button, shift, x, y); });
    }
}

void frmDictionary::OnTrayEvent(std::int32_t eventNumber)
{
    if (!ended_) {
        ContainingExceptions([&] { DispatchTrayEvent(eventNumber); });
    }
}

void frmDictionary::OnMenuItemChosen(MenuItem item)
{
    // The same road as a choice from the program's own popup.
    if (!ended_) {
        ContainingExceptions([&] { MenuItem_Click(item); });
    }
}

void frmDictionary::OnTimer(TimerId timer)
{
    if (ended_) {
        return;
    }
    ContainingExceptions([&] {
        if (timer == TimerId::tmrCheckClipboard) {
            tmrCheckClipboard_Timer();
        } else {
            tmrSetHomePage_Timer();
        }
    });
}

void frmDictionary::OnUnload()
{
    if (ended_) {
        return;
    }
    std::int16_t cancel = 0;
    ContainingExceptions([&] { Form_Unload(cancel); });
    ended_ = true;
}

void frmDictionary::OnTrayHostRestarted()
{
    // The new notification area knows no icons; add ours again as it stands now.
    // Not after the program took its icon away (a restart notice handled on the way out).
    if (!ended_ && !trayIconDeleted_ && trayIcon_.cbSize != 0) {
        ContainingExceptions([&] { SendTrayRequest(kTrayAdd); });
    }
}

int RunDictionary(Platform& platform)
{
    frmDictionary window(platform);
    ContainingExceptions([&] { window.Form_Load(); });
    return platform.RunEventLoop();
}

} // namespace vorda
