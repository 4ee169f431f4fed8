#include "platform/qt/tray/PopupPlacement.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace vorda::qt {
namespace {

// How far `at` lies outside `screen`, squared; in floating point, since hosts' points reach the
// ends of the 32-bit range, where the sum of two squares overflows a 64-bit integer.
double SquaredDistance(QPoint at, const QRect& screen)
{
    const auto axis = [](double value, double low, double high) {
        return value < low ? low - value : (value > high ? value - high : 0.0);
    };
    const double dx = axis(at.x(), screen.left(), screen.right());
    const double dy = axis(at.y(), screen.top(), screen.bottom());
    return dx * dx + dy * dy;
}

// The start of a span of `length` beside `point` on one axis, inside [low, high): after the point
// where it fits, else before it, else on the roomier side, moved in. In 64 bits: the point may be
// at either end of the 32-bit range.
int Beside(int point, int length, int low, int high)
{
    const std::int64_t at = point;
    const std::int64_t after = std::max<std::int64_t>(at + 1, low);
    const std::int64_t beforeEnd = std::min<std::int64_t>(at, high);
    if (after + length <= high) {
        return static_cast<int>(after);
    }
    if (beforeEnd - length >= low) {
        return static_cast<int>(beforeEnd - length);
    }
    const std::int64_t wanted = (high - after >= beforeEnd - low) ? after : beforeEnd - length;
    const std::int64_t last = std::max<std::int64_t>(low, std::int64_t{high} - length);
    return static_cast<int>(std::clamp<std::int64_t>(wanted, low, last));
}

} // namespace

QPoint PopupPosition(QPoint at, QSize size, const QList<PopupScreen>& screens)
{
    const PopupScreen* nearest = nullptr;
    double nearestDistance = std::numeric_limits<double>::infinity();
    for (const PopupScreen& screen : screens) {
        if (screen.geometry.isEmpty()) {
            continue;
        }
        const double distance = SquaredDistance(at, screen.geometry);
        if (distance < nearestDistance) {
            nearest = &screen;
            nearestDistance = distance;
        }
    }
    if (nearest == nullptr) {
        return at;
    }
    // A work area that is not on its screen is no work area.
    QRect area = nearest->workArea & nearest->geometry;
    if (area.isEmpty()) {
        area = nearest->geometry;
    }
    const int width = std::max(0, size.width());
    const int height = std::max(0, size.height());
    return {Beside(at.x(), width, area.left(), area.left() + area.width()),
            Beside(at.y(), height, area.top(), area.top() + area.height())};
}

} // namespace vorda::qt
