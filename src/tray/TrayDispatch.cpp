// Members of frmDictionary: the main window's side of the tray icon, sending the record and answering
// the icon's mouse events.

#include "platform/ErrorRules.h"
#include "app/frmDictionary.h"
#include "tray/TrayEventDecode.h"

namespace vorda {
namespace {

// How many ticks at least lie between two adds made because a modify failed: five, a second at the
// poll's 200 ms (a timer never comes sooner than its period). A taskbar busy at sign-in may keep an
// add waiting for seconds before it refuses it; once a second leaves the window's thread free for
// the user nearly all the time and still brings the icon within a second or two of the taskbar's
// being ready.
constexpr unsigned kTicksBetweenTrayAdds = 5;

} // namespace

bool frmDictionary::SendTrayRequest(std::uint32_t message)
{
    if (message == kTrayAdd) {
        ticksSinceTrayAdd_ = 0;
        trayIconDeleted_ = false;
    } else if (message == kTrayDelete) {
        trayIconDeleted_ = true;
    }
    return platform_.ShellNotifyIcon(message, trayIcon_.ToBytes(platform_));
}

void frmDictionary::RefreshTrayIcon()
{
    if (ticksSinceTrayAdd_ < kTicksBetweenTrayAdds) {
        ++ticksSinceTrayAdd_;
    }
    // A modify fails where the icon is not there: an add refused at the start (a taskbar still busy
    // at sign-in gives up on it, and no restart notice follows), so it is made again, as the icon
    // stands now.
    // An icon the program took away itself (at the exit, while the last events are handled) stays away.
    if (!SendTrayRequest(kTrayModify) && !trayIconDeleted_ && ticksSinceTrayAdd_ >= kTicksBetweenTrayAdds) {
        SendTrayRequest(kTrayAdd);
    }
}

void frmDictionary::Form_MouseMove(std::int16_t /*button*/, std::int16_t /*shift*/, float x, float /*y*/)
{
    std::int32_t eventNumber = 0;
    SkippingFailedStep([&] {
        if (const auto decoded = DecodeTrayEventNumber(x, platform_.ScaleMode(), platform_.TwipsPerPixelX())) {
            eventNumber = *decoded;
        }
    });
    SkippingFailedStep([&] { DispatchTrayEvent(eventNumber); });
}

void frmDictionary::DispatchTrayEvent(std::int32_t eventNumber)
{
    switch (eventNumber) {
    case kTrayEventDoubleClick:
        // Runs even while the item is disabled; the handler itself finds out there is no text.
        mnuLookup_Click();
        break;
    case kTrayEventRightButtonUp:
        if (const auto chosen = platform_.ShowPopupMenu()) {
            MenuItem_Click(*chosen);
        }
        break;
    default: break;
    }
}

} // namespace vorda
