// Members of frmDictionary: writing and removing the auto-start value. Each step is skipped when it fails, and no return code is
// looked at: a user without rights to the key simply gets no value, and start-up and exit go on.

#include "autostart/AutoStart.h"

#include "platform/ErrorRules.h"
#include "app/frmDictionary.h"

#include <optional>

namespace vorda {

void frmDictionary::RunAtStartUp()
{
    RegistryKey hKey = 0;
    SkippingFailedStep([&] {
        platform_.RegOpenKeyExA(kLocalMachineKey, platform_.ToAnsi(kRunKey), 0, kSetValueAccess, hKey);
    });
    std::optional<std::u16string> command;
    SkippingFailedStep([&] {
        command = AutoStartCommand(platform_.ApplicationFolder(), platform_.ProgramFileName(),
                                   platform_.PathSeparator());
    });
    SkippingFailedStep([&] {
        // Without a path there is nothing worth writing: an empty value would start nothing.
        if (command) {
            SetValueEx(hKey, std::u16string(kAutoStartValueName), kRegistryText, *command);
        }
    });
    SkippingFailedStep([&] { platform_.RegCloseKey(hKey); });
}

void frmDictionary::DoNotRunAtStartUp()
{
    RegistryKey hKey = 0;
    SkippingFailedStep([&] {
        platform_.RegOpenKeyExA(kLocalMachineKey, platform_.ToAnsi(kRunKey), 0, kSetValueAccess, hKey);
    });
    SkippingFailedStep([&] { platform_.RegDeleteValueA(hKey, platform_.ToAnsi(kAutoStartValueName)); });
    SkippingFailedStep([&] { platform_.RegCloseKey(hKey); });
}

} // namespace vorda
