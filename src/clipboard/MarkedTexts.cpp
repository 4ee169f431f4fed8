#include "clipboard/MarkedTexts.h"

#include <algorithm>
#include <functional>

namespace vorda {
namespace {

std::size_t Digest(std::u16string_view text) { return std::hash<std::u16string_view>{}(text); }

} // namespace

void MarkedTexts::Remember(std::u16string_view text)
{
    if (!text.empty() && !Holds(text)) {
        digests_[count_++ % kKept] = Digest(text);
    }
}

bool MarkedTexts::Holds(std::u16string_view text) const
{
    if (text.empty()) {
        return false;
    }
    const auto kept = digests_.begin() + static_cast<std::ptrdiff_t>(std::min(count_, kKept));
    return std::find(digests_.begin(), kept, Digest(text)) != kept;
}

} // namespace vorda
