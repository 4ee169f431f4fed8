// Members of frmDictionary: writing and removing the auto-start value. The machine's Run key starts
// the program for everyone; most users may not write it (a standard user, an administrator who has
// not elevated, anyone but root on Linux), so where it is refused the value goes under the user's own
// Run key instead, unless the machine's already starts this very program. Windows runs both keys at
// log-on, so one start must never leave a value in each. Nothing is ever said: start-up and exit go
// on whatever the registry answers.

#include "autostart/AutoStart.h"

#include "platform/ErrorRules.h"
#include "app/frmDictionary.h"

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace vorda {

bool frmDictionary::WriteAutoStartValue(std::uint32_t root, const std::u16string& command)
{
    RegistryKey hKey = 0;
    std::int32_t opened = -1;
    std::int32_t written = -1;
    SkippingFailedStep([&] { opened = platform_.RegOpenKeyExA(root, platform_.ToAnsi(kRunKey), 0, kSetValueAccess, hKey); });
    SkippingFailedStep([&] { written = SetValueEx(hKey, std::u16string(kAutoStartValueName), kRegistryText, command); });
    SkippingFailedStep([&] { platform_.RegCloseKey(hKey); });
    return opened == 0 && written == 0;
}

void frmDictionary::RunAtStartUp()
{
    std::optional<std::u16string> command;
    SkippingFailedStep([&] {
        command = AutoStartCommand(platform_.ApplicationFolder(), platform_.ProgramFileName(),
                                   platform_.PathSeparator());
    });
    // Without a path there is nothing worth writing: an empty value would start nothing.
    if (!command) {
        return;
    }
    // A machine-wide value starts the program for this user too: the user's own, from an earlier
    // ordinary start, would start it twice.
    if (WriteAutoStartValue(kLocalMachineKey, *command) || AutoStartValueIs(kLocalMachineKey, *command)) {
        DeleteAutoStartValue(kCurrentUserKey);
        return;
    }
    WriteAutoStartValue(kCurrentUserKey, *command);
}

bool frmDictionary::AutoStartValueIs(std::uint32_t root, const std::u16string& command)
{
    RegistryKey hKey = 0;
    std::int32_t opened = -1;
    std::int32_t read = -1;
    // The value's bytes as SetValueEx writes them; a longer value is not this one, so no more is read.
    std::string expected;
    std::vector<std::uint8_t> data;
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    SkippingFailedStep([&] {
        expected = platform_.ToAnsi(command + u'\0');
        data.resize(expected.size());
    });
    SkippingFailedStep([&] { opened = platform_.RegOpenKeyExA(root, platform_.ToAnsi(kRunKey), 0, kQueryValueAccess, hKey); });
    SkippingFailedStep([&] { read = platform_.RegQueryValueExA(hKey, platform_.ToAnsi(kAutoStartValueName), type, data, size); });
    SkippingFailedStep([&] { platform_.RegCloseKey(hKey); });
    // Windows' paths ignore the case of their letters: an installer, or a path typed in another case,
    // names this same program. Letters beyond ASCII are compared as they are.
    const bool anyCase = platform_.PathSeparator() == u'\\';
    const auto sameByte = [anyCase](std::uint8_t byte, char c) {
        const auto other = static_cast<std::uint8_t>(c);
        const auto lower = [](std::uint8_t b) { return b >= 'A' && b <= 'Z' ? static_cast<std::uint8_t>(b + 32) : b; };
        return anyCase ? lower(byte) == lower(other) : byte == other;
    };
    // Another tool may have stored the text without its NUL.
    const bool sameText = !expected.empty() && (size == expected.size() || size + 1 == expected.size()) &&
                          std::equal(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(size), expected.begin(), sameByte);
    return opened == 0 && read == 0 && type == static_cast<std::uint32_t>(kRegistryText) && sameText;
}

void frmDictionary::DeleteAutoStartValue(std::uint32_t root)
{
    RegistryKey hKey = 0;
    SkippingFailedStep([&] { platform_.RegOpenKeyExA(root, platform_.ToAnsi(kRunKey), 0, kSetValueAccess, hKey); });
    SkippingFailedStep([&] { platform_.RegDeleteValueA(hKey, platform_.ToAnsi(kAutoStartValueName)); });
    SkippingFailedStep([&] { platform_.RegCloseKey(hKey); });
}

void frmDictionary::DoNotRunAtStartUp()
{
    // Either may hold the value (the user's rights may have changed since it was written): both go,
    // as far as this user may.
    DeleteAutoStartValue(kCurrentUserKey);
    DeleteAutoStartValue(kLocalMachineKey);
}

} // namespace vorda
