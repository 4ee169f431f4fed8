#include "clipboard/MarkedTexts.h"

#include <algorithm>
#include <functional>
#include <random>
#include <string>

namespace vorda {
namespace {

// Keyed anew in each process, so a digest found in a memory dump cannot be matched against a
// dictionary made beforehand.
std::size_t Digest(std::u16string_view text)
{
    static const std::u16string key = [] {
        std::random_device random;
        std::u16string made;
        for (int unit = 0; unit < 8; ++unit) {
            made += static_cast<char16_t>(random() & 0xFFFFU);
        }
        return made;
    }();
    std::u16string keyed = key;
    keyed += text;
    return std::hash<std::u16string>{}(keyed);
}

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
