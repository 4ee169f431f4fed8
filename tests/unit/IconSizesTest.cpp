#include "app/IconSizes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

namespace vorda::test {
namespace {

// Every pixel of a drawn picture its own colour, naming the picture and the place: 0xFF, size, y, x.
IconPicture Drawn(int size)
{
    IconPicture picture{size, {}};
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            picture.pixels.push_back(0xFF000000U | static_cast<std::uint32_t>(size << 16 | y << 8 | x));
        }
    }
    return picture;
}

struct SizeCase {
    int size;
    int drawn;  // the picture it is made of
    int factor; // each drawn pixel a factor x factor block
    int margin; // transparent rows and columns before the picture
};

class IconAtSizeCase : public testing::TestWithParam<SizeCase> {};

TEST_P(IconAtSizeCase, IsADrawnPictureInWholePixelBlocksOnATransparentSquare)
{
    const auto [size, drawn, factor, margin] = GetParam();
    const IconPicture picture = IconAtSize(Drawn(16), Drawn(32), size);
    ASSERT_EQ(picture.size, size);
    ASSERT_EQ(picture.pixels.size(), static_cast<std::size_t>(size * size));
    const IconPicture source = Drawn(drawn);
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const int sx = (x - margin) / factor;
            const int sy = (y - margin) / factor;
            const bool inside = x >= margin && y >= margin && sx < drawn && sy < drawn;
            const std::uint32_t expected = inside ? source.pixels[static_cast<std::size_t>(sy * drawn + sx)] : 0U;
            ASSERT_EQ(picture.pixels[static_cast<std::size_t>(y * size + x)], expected) << "at " << x << "," << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    TraySizes, IconAtSizeCase,
    testing::Values(SizeCase{16, 16, 1, 0}, SizeCase{20, 16, 1, 2}, SizeCase{22, 16, 1, 3}, SizeCase{24, 16, 1, 4},
                    SizeCase{30, 16, 1, 7}, SizeCase{32, 32, 1, 0}, SizeCase{36, 32, 1, 2}, SizeCase{33, 32, 1, 0}, SizeCase{40, 32, 1, 4}, SizeCase{44, 32, 1, 6},
                    SizeCase{48, 16, 3, 0}, SizeCase{50, 16, 3, 1}, SizeCase{64, 32, 2, 0}, SizeCase{66, 32, 2, 1}));

// Below 16: the 16 px picture unscaled, its first `cut` rows and columns cut (half a pixel up and left
// where the middle is not whole, as above 16).
class BelowSmallestCase : public testing::TestWithParam<std::pair<int, int>> {};

TEST_P(BelowSmallestCase, IsTheSmallestPictureMiddleUnscaled)
{
    const auto [size, cut] = GetParam();
    const IconPicture drawn = Drawn(16);
    const IconPicture picture = IconAtSize(drawn, Drawn(32), size);
    ASSERT_EQ(picture.pixels.size(), static_cast<std::size_t>(size * size));
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            ASSERT_EQ(picture.pixels[static_cast<std::size_t>(y * size + x)],
                      drawn.pixels[static_cast<std::size_t>((y + cut) * 16 + x + cut)])
                << "at " << x << "," << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(TraySizes, BelowSmallestCase, testing::Values(std::pair{14, 1}, std::pair{15, 1}, std::pair{13, 2}));

TEST(IconAtSize, FromAMalformedDrawnPictureIsTransparent)
{
    IconPicture short16 = Drawn(16);
    short16.pixels.pop_back();
    for (const auto& [small, large] : {std::pair{IconPicture{}, Drawn(32)}, std::pair{Drawn(16), IconPicture{}},
                                       std::pair{short16, Drawn(32)}}) {
        const IconPicture picture = IconAtSize(small, large, 22);
        EXPECT_EQ(picture.size, 22);
        EXPECT_EQ(picture.pixels, std::vector<std::uint32_t>(22U * 22U, 0U));
    }
}

} // namespace
} // namespace vorda::test
