#pragma once
// A value handed to the registry writer: text or a number, converted to the type it is written as.

#include "platform/Platform.h"
#include "platform/PlatformNumbers.h"

#include <cstdint>
#include <string>
#include <variant>

namespace vorda {

using RegistryValue = std::variant<std::u16string, std::int64_t, double>;

// A value that cannot be converted to the type it is to be written as.
class ConversionError : public Failure {
public:
    using Failure::Failure;
};

// The value as text: numbers in their shortest decimal form.
[[nodiscard]] std::u16string RegistryValueToText(const RegistryValue& value);

// The value as a 32-bit signed integer, fractions rounded to the nearest, halves to even. Throws
// ConversionError for text that is not a number and for numbers outside the 32-bit range.
[[nodiscard]] std::int32_t RegistryValueToDword(const RegistryValue& value);

} // namespace vorda
