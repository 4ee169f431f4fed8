#include "platform/qt/tray/PopupPlacement.h"

#include <algorithm>
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

// The start of a span of `length` at `wanted`, inside [low, low + room); the low end where it cannot fit.
int Within(int wanted, int length, int low, int room) { return std::max(low, std::min(wanted, low + room - length)); }

} // namespace

QPoint PopupPosition(QPoint at, QSize size, const QList<QRect>& screens)
{
    const QRect* nearest = nullptr;
    double nearestDistance = std::numeric_limits<double>::infinity();
    for (const QRect& screen : screens) {
        if (screen.isEmpty()) {
            continue;
        }
        const double distance = SquaredDistance(at, screen);
        if (distance < nearestDistance) {
            nearest = &screen;
            nearestDistance = distance;
        }
    }
    if (nearest == nullptr) {
        return at;
    }
    return {Within(at.x(), size.width(), nearest->x(), nearest->width()),
            Within(at.y(), size.height(), nearest->y(), nearest->height())};
}

} // namespace vorda::qt
