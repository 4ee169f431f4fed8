#include "autostart/RegistryValue.h"

#include "text/Utf16.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <limits>

namespace vorda {
namespace {

constexpr std::int64_t kMinDword = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kMaxDword = std::numeric_limits<std::int32_t>::max();

std::int32_t CheckedDword(std::int64_t number)
{
    if (number < kMinDword || number > kMaxDword) {
        throw ConversionError("number outside the 32-bit range");
    }
    return static_cast<std::int32_t>(number);
}

std::int32_t RoundToDword(double number)
{
    if (!std::isfinite(number) || std::fabs(number) > 4.0e9) {
        throw ConversionError("number outside the 32-bit range");
    }
    return CheckedDword(static_cast<std::int64_t>(std::nearbyint(number))); // halves to even by default
}

// "[+|-]digits[.digits]" rounded to the nearest integer, halves to even. Parsed by hand rather than
// with strtod, which follows the user's locale, or from_chars for doubles, which would add a
// third of the Windows program's size.
std::int32_t ParseDword(std::u16string_view text)
{
    std::string ascii;
    for (const char16_t c : TrimSpaces(text)) {
        if (c > 0x7F) {
            throw ConversionError("text is not a number");
        }
        ascii += static_cast<char>(c);
    }
    const std::string_view whole(ascii);
    const std::size_t point = whole.find('.');
    std::string_view integer = whole.substr(0, point);
    const std::string_view fraction = point == std::string_view::npos ? std::string_view{} : whole.substr(point + 1);

    const bool negative = integer.starts_with('-');
    if (negative || integer.starts_with('+')) {
        integer.remove_prefix(1);
    }
    const auto isDigits = [](std::string_view digits) {
        return digits.find_first_not_of("0123456789") == std::string_view::npos;
    };
    if ((integer.empty() && fraction.empty()) || !isDigits(integer) || !isDigits(fraction) || integer.size() > 12) {
        throw ConversionError("text is not a number");
    }

    std::int64_t magnitude = 0;
    if (!integer.empty()) {
        std::from_chars(integer.data(), integer.data() + integer.size(), magnitude);
    }
    if (!fraction.empty() && fraction.front() >= '5') {
        const bool exactHalf =
            fraction.front() == '5' && fraction.find_first_not_of('0', 1) == std::string_view::npos;
        if (!exactHalf || magnitude % 2 == 1) {
            ++magnitude;
        }
    }
    return CheckedDword(negative ? -magnitude : magnitude);
}

std::u16string AsciiToText(std::string_view ascii) { return {ascii.begin(), ascii.end()}; }

std::u16string NumberToText(double number)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.15g", number);
    std::string text(buffer);
    // The C library writes the user's decimal separator once a GUI toolkit has set the locale.
    const char separator = *std::localeconv()->decimal_point;
    for (char& c : text) {
        if (c == separator) {
            c = '.';
        }
    }
    return AsciiToText(text);
}

} // namespace

std::u16string RegistryValueToText(const RegistryValue& value)
{
    if (const auto* text = std::get_if<std::u16string>(&value)) {
        return *text;
    }
    if (const auto* integer = std::get_if<std::int64_t>(&value)) {
        char buffer[24];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, *integer);
        return AsciiToText({buffer, result.ptr});
    }
    return NumberToText(std::get<double>(value));
}

std::int32_t RegistryValueToDword(const RegistryValue& value)
{
    if (const auto* text = std::get_if<std::u16string>(&value)) {
        return ParseDword(*text);
    }
    if (const auto* integer = std::get_if<std::int64_t>(&value)) {
        return CheckedDword(*integer);
    }
    return RoundToDword(std::get<double>(value));
}

} // namespace vorda
