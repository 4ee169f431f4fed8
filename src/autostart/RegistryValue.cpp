#include "autostart/RegistryValue.h"

#include "clipboard/ClipboardText.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace vorda {
namespace {

std::int32_t RoundToDword(double number)
{
    if (!std::isfinite(number)) {
        throw ConversionError("not a finite number");
    }
    const double rounded = std::nearbyint(number); // halves to even in the default rounding mode
    if (rounded < std::numeric_limits<std::int32_t>::min() || rounded > std::numeric_limits<std::int32_t>::max()) {
        throw ConversionError("number outside the 32-bit range");
    }
    return static_cast<std::int32_t>(rounded);
}

double ParseNumber(std::u16string_view text)
{
    const std::u16string_view trimmed = TrimSpaces(text);
    std::string ascii;
    for (const char16_t c : trimmed) {
        if (c > 0x7F) {
            throw ConversionError("text is not a number");
        }
        ascii += static_cast<char>(c);
    }
    double number = 0;
    const auto [end, error] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), number);
    if (ascii.empty() || error != std::errc{} || end != ascii.data() + ascii.size()) {
        throw ConversionError("text is not a number");
    }
    return number;
}

template <typename Number> std::u16string NumberToText(Number number)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, number);
    return {buffer, result.ptr};
}

} // namespace

std::u16string RegistryValueToText(const RegistryValue& value)
{
    if (const auto* text = std::get_if<std::u16string>(&value)) {
        return *text;
    }
    if (const auto* integer = std::get_if<std::int64_t>(&value)) {
        return NumberToText(*integer);
    }
    return NumberToText(std::get<double>(value));
}

std::int32_t RegistryValueToDword(const RegistryValue& value)
{
    if (const auto* text = std::get_if<std::u16string>(&value)) {
        return RoundToDword(ParseNumber(*text));
    }
    if (const auto* integer = std::get_if<std::int64_t>(&value)) {
        if (*integer < std::numeric_limits<std::int32_t>::min() || *integer > std::numeric_limits<std::int32_t>::max()) {
            throw ConversionError("number outside the 32-bit range");
        }
        return static_cast<std::int32_t>(*integer);
    }
    return RoundToDword(std::get<double>(value));
}

} // namespace vorda
