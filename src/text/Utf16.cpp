#include "text/Utf16.h"

#include <array>
#include <cstdint>
#include <utility>

namespace vorda {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// The code point at text[i] (unpaired surrogates as U+FFFD) and how many units it takes.
std::pair<char32_t, std::size_t> CodePointAt(std::u16string_view text, std::size_t i)
{
    const char16_t c = text[i];
    if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
        return {0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (text[i + 1] - 0xDC00), 2};
    }
    if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
        return {kReplacement, 1};
    }
    return {static_cast<char32_t>(c), 1};
}

// Calls visit(codePoint) for each code point, unpaired surrogates as U+FFFD.
template <typename Visit> void ForEachCodePoint(std::u16string_view text, Visit visit)
{
    for (std::size_t i = 0; i < text.size();) {
        const auto [cp, units] = CodePointAt(text, i);
        visit(cp);
        i += units;
    }
}

// The UTF-8 bytes of one code point; returns how many.
std::size_t EncodeUtf8(char32_t cp, char (&bytes)[4])
{
    if (cp < 0x80) {
        bytes[0] = static_cast<char>(cp);
        return 1;
    }
    if (cp < 0x800) {
        bytes[0] = static_cast<char>(0xC0 | (cp >> 6));
        bytes[1] = static_cast<char>(0x80 | (cp & 0x3F));
        return 2;
    }
    if (cp < 0x10000) {
        bytes[0] = static_cast<char>(0xE0 | (cp >> 12));
        bytes[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        bytes[2] = static_cast<char>(0x80 | (cp & 0x3F));
        return 3;
    }
    bytes[0] = static_cast<char>(0xF0 | (cp >> 18));
    bytes[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    bytes[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    bytes[3] = static_cast<char>(0x80 | (cp & 0x3F));
    return 4;
}

void AppendUtf8(std::string& out, char32_t cp)
{
    char bytes[4];
    out.append(bytes, EncodeUtf8(cp, bytes));
}

void AppendUtf16(std::u16string& out, char32_t cp)
{
    if (cp < 0x10000) {
        out += static_cast<char16_t>(cp);
    } else {
        cp -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (cp >> 10));
        out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    }
}

// The characters of 0x80 to 0x9F in Windows-1252; 0 where the code page leaves the byte undefined.
constexpr std::array<char16_t, 32> kWindows1252High{
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char Windows1252Byte(char32_t cp)
{
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
        return static_cast<char>(cp);
    }
    for (std::size_t i = 0; i < kWindows1252High.size(); ++i) {
        if (kWindows1252High[i] != 0 && kWindows1252High[i] == cp) {
            return static_cast<char>(0x80 + i);
        }
    }
    return '?';
}

bool IsUnreserved(unsigned char b)
{
    return (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == '-' || b == '.' ||
           b == '_' || b == '~';
}

// The address units of one code point: itself when unreserved, else "%XX" for each UTF-8 byte.
std::size_t PercentEncodedLength(char32_t cp)
{
    if (cp < 0x80) {
        return IsUnreserved(static_cast<unsigned char>(cp)) ? 1 : 3;
    }
    return 3 * (cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4);
}

} // namespace

std::string ToUtf8(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    ForEachCodePoint(text, [&](char32_t cp) { AppendUtf8(out, cp); });
    return out;
}

std::u16string FromUtf8(std::string_view bytes)
{
    std::u16string out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        std::size_t length = 0;
        char32_t cp = 0;
        char32_t minimum = 0;
        if (lead < 0x80) {
            length = 1, cp = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2, cp = lead & 0x1F, minimum = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3, cp = lead & 0x0F, minimum = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4, cp = lead & 0x07, minimum = 0x10000;
        }
        bool valid = length != 0 && i + length <= bytes.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            valid = (next & 0xC0) == 0x80;
            cp = (cp << 6) | (next & 0x3F);
        }
        valid = valid && cp >= minimum && cp <= 0x10FFFF && !(cp >= 0xD800 && cp <= 0xDFFF); // no surrogate in UTF-8
        if (valid) {
            AppendUtf16(out, cp);
            i += length;
        } else {
            AppendUtf16(out, kReplacement);
            ++i;
        }
    }
    return out;
}

std::string ToWindows1252(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    ForEachCodePoint(text, [&](char32_t cp) { out += Windows1252Byte(cp); });
    return out;
}

void AppendPercentEncoded(std::u16string& out, std::u16string_view text)
{
    static constexpr char16_t kHex[] = u"0123456789ABCDEF";
    // Sized exactly first: appended as it goes, a long address would be moved again each time it grew.
    std::size_t length = 0;
    ForEachCodePoint(text, [&](char32_t cp) { length += PercentEncodedLength(cp); });
    const std::size_t start = out.size();
    out.resize(start + length);
    char16_t* next = out.data() + start;
    ForEachCodePoint(text, [&](char32_t cp) {
        if (cp < 0x80 && IsUnreserved(static_cast<unsigned char>(cp))) {
            *next++ = static_cast<char16_t>(cp);
            return;
        }
        char bytes[4];
        const std::size_t count = EncodeUtf8(cp, bytes);
        for (std::size_t i = 0; i < count; ++i) {
            const auto b = static_cast<unsigned char>(bytes[i]);
            *next++ = u'%';
            *next++ = kHex[b >> 4];
            *next++ = kHex[b & 0x0F];
        }
    });
}

std::u16string_view TrimSpaces(std::u16string_view text)
{
    const auto first = text.find_first_not_of(u' ');
    if (first == std::u16string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(u' ');
    return text.substr(first, last - first + 1);
}

void AppendLookupText(std::u16string& out, std::u16string_view text, std::size_t longest)
{
    text = TrimSpaces(text);
    if (longest != std::u16string::npos) {
        // Only the characters that fit are looked at: a text of many megabytes is not walked through.
        const std::size_t room = longest > out.size() ? longest - out.size() : 0;
        std::size_t length = 0;
        std::size_t fitting = 0;
        while (fitting < text.size()) {
            const auto [cp, units] = CodePointAt(text, fitting);
            if (length + PercentEncodedLength(cp) > room) {
                break;
            }
            length += PercentEncodedLength(cp);
            fitting += units;
        }
        text = text.substr(0, fitting);
    }
    AppendPercentEncoded(out, text);
}

std::u16string_view CutAtWholeCharacter(std::u16string_view text, std::size_t most)
{
    if (text.size() <= most) {
        return text;
    }
    if (most > 0 && IsHighSurrogate(text[most - 1]) && IsLowSurrogate(text[most])) {
        --most;
    }
    return text.substr(0, most);
}

std::string_view CutUtf8AtWholeCharacter(std::string_view bytes)
{
    // The last lead byte, at most three bytes back; a sequence it begins that the bytes do not hold
    // whole is dropped. Anything else (ASCII, a stray continuation byte) stays for FromUtf8 to judge.
    for (std::size_t back = 1; back <= 4 && back <= bytes.size(); ++back) {
        const auto b = static_cast<unsigned char>(bytes[bytes.size() - back]);
        if ((b & 0xC0) == 0x80) {
            continue; // a continuation byte: its lead is further back
        }
        const std::size_t length = (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 1;
        return length > back ? bytes.substr(0, bytes.size() - back) : bytes;
    }
    return bytes;
}

std::u16string PercentEncode(std::u16string_view text)
{
    std::u16string out;
    AppendPercentEncoded(out, text);
    return out;
}

} // namespace vorda
