#include "tray/TrayEventDecode.h"

#include "platform/PlatformNumbers.h"

#include <cmath>

namespace vorda {

std::optional<std::int32_t> DecodeTrayEventNumber(float x, std::int16_t scaleMode, float twipsPerPixelX)
{
    float quotient = x;
    if (scaleMode != kScaleModePixels) {
        if (twipsPerPixelX == 0.0F) {
            return std::nullopt;
        }
        quotient = x / twipsPerPixelX;
    }
    if (!std::isfinite(quotient)) {
        return std::nullopt;
    }
    // nearbyint follows the default rounding mode, which rounds halves to even.
    const double rounded = std::nearbyint(static_cast<double>(quotient));
    if (rounded < -2147483648.0 || rounded > 2147483647.0) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(rounded);
}

} // namespace vorda
