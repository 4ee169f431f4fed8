#pragma once
// How the clipboard's text is read for captions and look-ups.

#include <string>
#include <string_view>

namespace vorda {

inline constexpr std::size_t kQuotedLength = 20;

// The first 20 units followed by "...'" when the text is longer, else by "'".
[[nodiscard]] std::u16string QuoteForCaption(std::u16string_view text);

} // namespace vorda
