// The tray mouse-event decode with arbitrary float bits for X and twips per pixel and any scale mode:
// no undefined behaviour (the sanitizers watch the division and the conversion), a result within the
// 32-bit range, equal to the quotient rounded half to even whenever that is finite and in range, and
// nothing otherwise. The input: X and twips per pixel as 32-bit floats, the scale mode as a 16-bit
// integer (all little-endian), then one byte whose lowest bit makes the scale mode unreadable; missing
// bytes are zeros. Then the same event through the window's MouseMove handler over the fake: 515
// runs the dictionary look-up, 517 shows the popup, anything else does nothing.

#include "FuzzSupport.h"
#include "TestSupport.h"
#include "tray/TrayEventDecode.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>

namespace vorda::fuzz {
namespace {

constexpr std::int16_t kPixels = 3;

template <typename Unsigned> Unsigned LittleEndian(const std::uint8_t* bytes)
{
    Unsigned value = 0;
    for (std::size_t i = 0; i < sizeof(Unsigned); ++i) {
        value = static_cast<Unsigned>(value | static_cast<Unsigned>(bytes[i]) << (8 * i));
    }
    return value;
}

double RoundHalfToEven(double value)
{
    const double below = std::floor(value);
    const double fraction = value - below; // exact for any float widened to double
    if (fraction > 0.5) {
        return below + 1;
    }
    if (fraction < 0.5) {
        return below;
    }
    return std::fmod(below, 2.0) == 0.0 ? below : below + 1;
}

// What the decode must give: the single-precision quotient (X itself in pixels), rounded half to even;
// nothing for a division by zero, a quotient that is not finite, or one outside the 32-bit range.
std::optional<std::int32_t> ExpectedEventNumber(float x, std::int16_t scaleMode, float twipsPerPixel)
{
    if (scaleMode != kPixels && twipsPerPixel == 0.0F) {
        return std::nullopt;
    }
    const float quotient = scaleMode == kPixels ? x : x / twipsPerPixel;
    if (!std::isfinite(quotient)) {
        return std::nullopt;
    }
    const double rounded = RoundHalfToEven(static_cast<double>(quotient));
    if (rounded < std::numeric_limits<std::int32_t>::min() || rounded > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(rounded);
}

void CheckDispatch(float x, std::int16_t scaleMode, float twipsPerPixel, bool scaleModeFails,
                   std::optional<std::int32_t> expected)
{
    test::WindowOverFake fake;
    fake.LoadAndClearLog();
    fake.platform.clipboard = u"word";
    fake.platform.scaleMode = scaleMode;
    fake.platform.twipsPerPixel = twipsPerPixel;
    fake.platform.scaleModeFails = scaleModeFails;

    fake.window.Form_MouseMove(0, 0, x, 0.0F);

    const std::int32_t n = scaleModeFails ? 0 : expected.value_or(0);
    FUZZ_CHECK(fake.platform.launches.size() == (n == 515 ? 1U : 0U), "only 515 runs the dictionary look-up");
    FUZZ_CHECK(fake.platform.LogOf("ShowPopupMenu").size() == (n == 517 ? 1U : 0U), "only 517 shows the popup");
}

} // namespace
} // namespace vorda::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    using namespace vorda;
    using namespace vorda::fuzz;
    std::array<std::uint8_t, 11> input{};
    if (size > 0) {
        std::memcpy(input.data(), bytes, std::min(size, input.size()));
    }
    const auto x = std::bit_cast<float>(LittleEndian<std::uint32_t>(input.data()));
    const auto twipsPerPixel = std::bit_cast<float>(LittleEndian<std::uint32_t>(input.data() + 4));
    const auto scaleMode = std::bit_cast<std::int16_t>(LittleEndian<std::uint16_t>(input.data() + 8));
    const bool scaleModeFails = (input[10] & 1) != 0;

    const std::optional<std::int32_t> decoded = DecodeTrayEventNumber(x, scaleMode, twipsPerPixel);
    const std::optional<std::int32_t> expected = ExpectedEventNumber(x, scaleMode, twipsPerPixel);
    FUZZ_CHECK(decoded == expected, "the event number is the quotient rounded half to even, or nothing");

    CheckDispatch(x, scaleMode, twipsPerPixel, scaleModeFails, expected);
    return 0;
}
