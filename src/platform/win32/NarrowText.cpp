#include "platform/win32/NarrowText.h"

#include "text/Utf16.h"

#include <windows.h>

#include <climits>

namespace vorda::win32 {
namespace {

// Where the conversion cannot be made at all: ASCII as it is, any other character '?'.
std::string AsciiOnly(std::wstring_view text)
{
    std::string narrow;
    narrow.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const wchar_t unit = text[i];
        narrow.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
        // A character beyond the 16 bits takes two units and is still one character.
        if (IsHighSurrogate(static_cast<char16_t>(unit)) && i + 1 < text.size() && IsLowSurrogate(static_cast<char16_t>(text[i + 1]))) {
            ++i;
        }
    }
    return narrow;
}

} // namespace

std::string NarrowText(std::wstring_view text, unsigned codePage)
{
    if (text.empty()) {
        return {};
    }
    if (text.size() > static_cast<std::size_t>(INT_MAX)) {
        return AsciiOnly(text);
    }
    const int length = static_cast<int>(text.size());
    // No look-alike letters: a path with "l" for "ł" would name another file, "?" names none.
    DWORD flags = WC_NO_BEST_FIT_CHARS;
    const char* fallback = "?";
    int size = WideCharToMultiByte(codePage, flags, text.data(), length, nullptr, 0, fallback, nullptr);
    if (size <= 0 && (GetLastError() == ERROR_INVALID_PARAMETER || GetLastError() == ERROR_INVALID_FLAGS)) {
        // UTF-8, UTF-7 and a few others refuse both; they hold every character anyway.
        flags = 0;
        fallback = nullptr;
        size = WideCharToMultiByte(codePage, flags, text.data(), length, nullptr, 0, nullptr, nullptr);
    }
    if (size <= 0) {
        return AsciiOnly(text);
    }
    std::string narrow(static_cast<std::size_t>(size), '\0');
    size = WideCharToMultiByte(codePage, flags, text.data(), length, narrow.data(), size, fallback, nullptr);
    if (size <= 0) {
        return AsciiOnly(text);
    }
    narrow.resize(static_cast<std::size_t>(size));
    return narrow;
}

} // namespace vorda::win32
