// Members of frmDictionary: the registry value writer. Text goes as narrow bytes with one NUL, a
// number as 4 little-endian bytes.

#include "app/frmDictionary.h"

#include <array>
#include <vector>

namespace vorda {

std::int32_t frmDictionary::SetValueEx(RegistryKey hKey, const std::u16string& sValueName, const std::int32_t& lType,
                                       const RegistryValue& vValue)
{
    if (lType == kRegistryText) {
        const std::string data = platform_.ToAnsi(RegistryValueToText(vValue) + u'\0');
        const std::string name = platform_.ToAnsi(sValueName);
        const std::vector<std::uint8_t> bytes(data.begin(), data.end());
        return platform_.RegSetValueExA(hKey, name, 0, kRegistryText, bytes);
    }
    if (lType == kRegistryNumber) {
        const auto number = static_cast<std::uint32_t>(RegistryValueToDword(vValue));
        const std::string name = platform_.ToAnsi(sValueName);
        const std::array<std::uint8_t, 4> bytes{
            static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(number >> 8),
            static_cast<std::uint8_t>(number >> 16), static_cast<std::uint8_t>(number >> 24)};
        return platform_.RegSetValueExA(hKey, name, 0, kRegistryNumber, bytes);
    }
    return 0;
}

} // namespace vorda
