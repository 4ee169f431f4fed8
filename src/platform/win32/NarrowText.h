#pragma once
// The narrow form of a text in a Windows code page, for the calls that take narrow text.

#include <string>
#include <string_view>

namespace vorda::win32 {

// `text` in `codePage` (the active code page, CP_ACP, in the program): each character the code page
// cannot hold becomes '?', and only those. Works alike for the code pages that take a default
// character and for those that refuse one (UTF-8, the program's own on current Windows).
std::string NarrowText(std::wstring_view text, unsigned codePage);

} // namespace vorda::win32
