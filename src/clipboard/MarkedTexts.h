#pragma once
// The texts that one side of a shared clipboard marked as passwords, known again when the other side
// offers them without the mark (a compositor that hands an X program's copy on to Wayland as its text
// alone). Only a digest of each is kept, never the text; the last few, not only the last one, since
// the other side may still offer an earlier password, or offer it again, after the owner changed.

#include <array>
#include <cstddef>
#include <string_view>

namespace vorda {

class MarkedTexts {
public:
    static constexpr std::size_t kKept = 8;

    // Notes a marked text; "" is none.
    void Remember(std::u16string_view text);
    // Whether `text` is one of the last kKept texts noted.
    [[nodiscard]] bool Holds(std::u16string_view text) const;

private:
    std::array<std::size_t, kKept> digests_{};
    std::size_t count_ = 0; // how many were noted in all; the next one replaces the oldest
};

} // namespace vorda
