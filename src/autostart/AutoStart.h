#pragma once
// The one value that makes the program start with the user's session.

#include <cstdint>
#include <string>
#include <string_view>

namespace vorda {

inline constexpr std::u16string_view kRunKey = u"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr std::u16string_view kAutoStartValueName = u"VordaDictionary";

// The program's full path in double quotes, so that a path with spaces is not read as a command line:
// the folder, one separator unless the folder already ends in one, and the program's file name.
[[nodiscard]] std::u16string AutoStartCommand(std::u16string_view folder, std::u16string_view fileName,
                                              char16_t separator);

} // namespace vorda
