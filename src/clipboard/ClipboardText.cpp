#include "clipboard/ClipboardText.h"

namespace vorda {

std::u16string QuoteForCaption(std::u16string_view text)
{
    std::u16string quoted(text.substr(0, kQuotedLength));
    quoted += text.size() > kQuotedLength ? u"...'" : u"'";
    return quoted;
}

} // namespace vorda
