#pragma once
// The narrow text the program hands to the platform is Windows-1252; this reads it back.

#include <string>
#include <string_view>

namespace vorda::qt {

// Every byte becomes one character; the five bytes the code page leaves undefined become the C1
// control of the same number, as Windows itself reads them.
[[nodiscard]] std::u16string FromWindows1252(std::string_view bytes);

// The same text as UTF-8, the form file names and desktop entries take.
[[nodiscard]] std::string Windows1252ToUtf8(std::string_view bytes);

} // namespace vorda::qt
