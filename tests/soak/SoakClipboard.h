#pragma once
// What the clipboard holds at each tick of the soak: a new content every one to six ticks, drawn from
// a seeded generator so that a failing run can be repeated exactly.

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <string_view>

namespace vorda::soak {

class SoakClipboard {
public:
    explicit SoakClipboard(std::uint32_t seed) : random_(seed) {}

    // Nothing: the clipboard cannot be opened at this tick.
    const std::optional<std::u16string>& ClipboardFor(std::uint64_t tick)
    {
        if (tick >= nextChange_) {
            current_ = Draw();
            nextChange_ = tick + Between(1, 6);
        }
        return current_;
    }

private:
    std::size_t Between(std::size_t low, std::size_t high)
    {
        return std::uniform_int_distribution<std::size_t>(low, high)(random_);
    }

    std::optional<std::u16string> Draw()
    {
        switch (Between(0, 9)) {
        case 0: return std::nullopt;
        case 1: return std::u16string();
        case 2: return std::u16string(Between(1, 40), u' ');
        case 3: return Text(Between(1000, 32768), kWords);
        case 4: return Text(Between(1, 300), kOtherScripts);
        default: return Text(Between(1, 300), kWords);
        }
    }

    // `length` units picked from `alphabet`, sometimes framed by spaces.
    std::u16string Text(std::size_t length, std::u16string_view alphabet)
    {
        std::u16string text(length, u' ');
        for (auto& unit : text) {
            unit = alphabet[Between(0, alphabet.size() - 1)];
        }
        if (Between(0, 3) == 0) {
            text = std::u16string(Between(1, 4), u' ') + text + std::u16string(Between(1, 4), u' ');
        }
        return text;
    }

    static constexpr std::u16string_view kWords = u"etaoinshrdlu ETAOIN    &'\t\r\n0123456789.,;-";
    // Both halves of a pair come up, together and alone, and so does a NUL.
    static constexpr char16_t kOtherScriptUnits[] = {0x00E9, 0x00FC, 0x20AC, 0x0441, 0x043B, 0x043E, 0x03B1, 0x05D0,
                                                     0x4E2D, 0x6587, u' ',   0x3000, 0xD83D, 0xDE00, 0xD800, 0xDFFF,
                                                     0x0000};
    static constexpr std::u16string_view kOtherScripts{kOtherScriptUnits, std::size(kOtherScriptUnits)};

    std::mt19937 random_;
    std::optional<std::u16string> current_;
    std::uint64_t nextChange_ = 0;
};

} // namespace vorda::soak
