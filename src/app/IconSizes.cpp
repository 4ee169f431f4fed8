#include "app/IconSizes.h"

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
    if (out.size == 0) {
        return out;
    }
    if (out.size < drawn16.size) {
        for (int y = 0; y < out.size; ++y) {
            for (int x = 0; x < out.size; ++x) {
                out.pixels[At(x, y, out.size)] =
                    drawn16.pixels[At(x * drawn16.size / out.size, y * drawn16.size / out.size, drawn16.size)];
            }
        }
        return out;
    }
    const IconPicture& source = out.size / drawn32.size * drawn32.size >= out.size / drawn16.size * drawn16.size
                                    ? drawn32
                                    : drawn16;
    const int factor = out.size / source.size;
    const int margin = (out.size - factor * source.size) / 2;
    for (int y = 0; y < factor * source.size; ++y) {
        for (int x = 0; x < factor * source.size; ++x) {
            out.pixels[At(margin + x, margin + y, out.size)] = source.pixels[At(x / factor, y / factor, source.size)];
        }
    }
    return out;
}

} // namespace vorda
