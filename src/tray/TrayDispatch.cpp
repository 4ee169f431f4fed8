// Members of frmDictionary: the main window's side of the tray icon, sending the record and answering
// the icon's mouse events.

#include "platform/ErrorRules.h"
#include "app/frmDictionary.h"
#include "tray/TrayEventDecode.h"

namespace vorda {

void frmDictionary::SendTrayRequest(std::uint32_t message)
{
    platform_.ShellNotifyIcon(message, trayIcon_.ToBytes(platform_));
}

void frmDictionary::RefreshTrayIcon() { SendTrayRequest(kTrayModify); }

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
