#pragma once
// The tray icons at every size a notification area draws them, made from the two drawn pictures
// (16 and 32 pixels) without resampling: a 16-colour picture smoothed to another size turns blurred.

#include <array>
#include <cstdint>
#include <vector>

namespace vorda {

// A square picture, one 0xAARRGGBB value a pixel, row by row from the top.
struct IconPicture {
    int size = 0;
    std::vector<std::uint32_t> pixels;

    friend bool operator==(const IconPicture&, const IconPicture&) = default;
};

// The sizes trays ask for: 16 and 22 px at scale 1, 20 and 24 px on panels of other heights, and
// those at 1.5 and 2 times on scaled screens.
inline constexpr std::array<int, 12> kTrayIconSizes{16, 20, 22, 24, 30, 32, 33, 36, 40, 44, 48, 64};

// The picture at `size`: the largest whole multiple of a drawn picture (each pixel a block of
// pixels) that fits, the larger drawn one when two fit alike, centred on a transparent square (half a
// pixel up and left where it cannot be exactly). Below 16 the 16 px picture is centred all the same, its edges
// cut. A drawn picture that is empty, or whose pixels are not its size squared, gives a transparent one.
[[nodiscard]] IconPicture IconAtSize(const IconPicture& drawn16, const IconPicture& drawn32, int size);

} // namespace vorda
