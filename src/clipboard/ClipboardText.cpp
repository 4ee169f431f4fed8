#include "clipboard/ClipboardText.h"

namespace vorda {

std::u16string_view TrimSpaces(std::u16string_view text)
{
    const auto first = text.find_first_not_of(u' ');
    if (first == std::u16string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(u' ');
    return text.substr(first, last - first + 1);
}

std::u16string QuoteForCaption(std::u16string_view text)
{
    std::u16string quoted(text.substr(0, kQuotedLength));
    quoted += text.size() > kQuotedLength ? u"...'" : u"'";
    return quoted;
}

} // namespace vorda
