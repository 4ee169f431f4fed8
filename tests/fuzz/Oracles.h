#pragma once
// The rules the fuzz targets hold the core to, written out again plainly and apart from the core's
// own code, so that a mistake in one does not hide the same mistake in the other.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vorda::fuzz {

// U+0020 removed at both ends, nothing else.
inline std::u16string_view OracleTrim(std::u16string_view text)
{
    std::size_t first = 0;
    std::size_t end = text.size();
    while (first < end && text[first] == u' ') {
        ++first;
    }
    while (end > first && text[end - 1] == u' ') {
        --end;
    }
    return text.substr(first, end - first);
}

// The caption form: the first 20 units, then "...'" when there were more, else "'".
inline std::u16string OracleQuote(std::u16string_view text)
{
    std::u16string quoted(text.substr(0, 20));
    quoted += text.size() > 20 ? u"...'" : u"'";
    return quoted;
}

// The oracles' own surrogate checks, written apart from the core's.
inline bool OracleIsHigh(unsigned long c) { return c >= 0xD800 && c <= 0xDBFF; }
inline bool OracleIsLow(unsigned long c) { return c >= 0xDC00 && c <= 0xDFFF; }

// UTF-8, each unpaired surrogate as U+FFFD (EF BF BD).
inline std::string OracleUtf8(std::u16string_view text)
{
    std::string out;
    auto put = [&](unsigned value) { out += static_cast<char>(value); };
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned long cp = text[i];
        const bool high = OracleIsHigh(cp);
        const bool low = OracleIsLow(cp);
        if (high && i + 1 < text.size() && OracleIsLow(text[i + 1])) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00u);
            ++i;
        } else if (high || low) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            put(static_cast<unsigned>(cp));
        } else if (cp < 0x800) {
            put(0xC0 | static_cast<unsigned>(cp >> 6));
            put(0x80 | static_cast<unsigned>(cp & 0x3F));
        } else if (cp < 0x10000) {
            put(0xE0 | static_cast<unsigned>(cp >> 12));
            put(0x80 | static_cast<unsigned>((cp >> 6) & 0x3F));
            put(0x80 | static_cast<unsigned>(cp & 0x3F));
        } else {
            put(0xF0 | static_cast<unsigned>(cp >> 18));
            put(0x80 | static_cast<unsigned>((cp >> 12) & 0x3F));
            put(0x80 | static_cast<unsigned>((cp >> 6) & 0x3F));
            put(0x80 | static_cast<unsigned>(cp & 0x3F));
        }
    }
    return out;
}

inline bool IsUnreserved(char16_t c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'-' ||
           c == u'.' || c == u'_' || c == u'~';
}

// The value of one upper-case hex digit; nothing for anything else, lower case included.
inline std::optional<unsigned> UpperHexDigit(char16_t c)
{
    if (c >= u'0' && c <= u'9') {
        return static_cast<unsigned>(c - u'0');
    }
    if (c >= u'A' && c <= u'F') {
        return static_cast<unsigned>(c - u'A' + 10);
    }
    return std::nullopt;
}

} // namespace vorda::fuzz
