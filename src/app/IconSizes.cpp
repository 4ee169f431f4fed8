#include "app/IconSizes.h"

#include <algorithm>
#include <cstddef>

namespace vorda {
namespace {

std::size_t At(int x, int y, int size)
{
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(size) + static_cast<std::size_t>(x);
}

} // namespace

IconPicture IconAtSize(const IconPicture& drawn16, const IconPicture& drawn32, int size)
{
    IconPicture out{size > 0 ? size : 0, {}};
    out.pixels.assign(At(0, out.size, out.size), 0);
    const auto whole = [](const IconPicture& picture) {
        return picture.size > 0 && picture.pixels.size() == At(0, picture.size, picture.size);
    };
    if (!whole(drawn16) || !whole(drawn32)) {
        return out;
    }
    const bool large = out.size >= drawn32.size &&
                       out.size / drawn32.size * drawn32.size >= out.size / drawn16.size * drawn16.size;
    const IconPicture& source = large ? drawn32 : drawn16;
    const int factor = std::max(1, out.size / source.size);
    const int drawn = factor * source.size;
    // Rounded down, below 16 too (less than nothing: the edges are cut), so the picture never sits
    // right of the middle.
    const int spare = out.size - drawn;
    const int margin = spare >= 0 ? spare / 2 : -((1 - spare) / 2);
    for (int y = 0; y < out.size; ++y) {
        for (int x = 0; x < out.size; ++x) {
            const int sx = x - margin;
            const int sy = y - margin;
            if (sx >= 0 && sy >= 0 && sx < drawn && sy < drawn) {
                out.pixels[At(x, y, out.size)] = source.pixels[At(sx / factor, sy / factor, source.size)];
            }
        }
    }
    return out;
}

} // namespace vorda
