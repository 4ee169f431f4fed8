#pragma once
// Conversions of the program's 16-bit texts into byte forms.

#include <string>
#include <string_view>

namespace vorda {

// The two halves of a character beyond the first 65,536, as UTF-16 writes it.
[[nodiscard]] constexpr bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
[[nodiscard]] constexpr bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// UTF-8 form; an unpaired surrogate becomes U+FFFD.
[[nodiscard]] std::string ToUtf8(std::u16string_view text);

// The UTF-16 form of UTF-8 bytes; a malformed sequence becomes U+FFFD.
[[nodiscard]] std::u16string FromUtf8(std::string_view bytes);

// Windows-1252 form, the narrow code page where the platform has none of its own; characters it
// cannot hold become '?'.
[[nodiscard]] std::string ToWindows1252(std::u16string_view text);

// Removes U+0020 at both ends; tabs, line breaks and other white space stay.
[[nodiscard]] std::u16string_view TrimSpaces(std::u16string_view text);

// Every byte of the UTF-8 form outside A-Z a-z 0-9 - . _ ~ as "%" and two upper-case hex digits.
[[nodiscard]] std::u16string PercentEncode(std::u16string_view text);

// The same, appended to `out` in one pass over the text.
void AppendPercentEncoded(std::u16string& out, std::u16string_view text);

// What a look-up address carries of a text: spaces trimmed at both ends, the rest percent-encoded,
// appended to `out`. Where that would make `out` longer than `longest` units, only as many whole
// characters of the text as fit are appended: the cut never splits a character or its %XX.
void AppendLookupText(std::u16string& out, std::u16string_view text, std::size_t longest = std::u16string::npos);

// The first `most` units of a text, one less where the cut would split a surrogate pair.
[[nodiscard]] std::u16string_view CutAtWholeCharacter(std::u16string_view text, std::size_t most);

// UTF-8 bytes without a sequence begun at their end but not ended: a text cut at a whole character.
[[nodiscard]] std::string_view CutUtf8AtWholeCharacter(std::string_view bytes);

} // namespace vorda
