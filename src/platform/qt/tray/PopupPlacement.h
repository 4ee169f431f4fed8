#pragma once
// Where the popup goes, as the desktop's own menus go: its corner at the point (the pointer, or the
// point a tray host asks for), opened towards the side that has room, inside the work area of the
// screen holding the point, and never over the point itself. Hosts send any 32-bit point, even one
// off every screen; the popup is kept where the user can see and reach it.

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>

namespace vorda::qt {

struct PopupScreen {
    QRect geometry; // the whole screen
    QRect workArea; // the part panels leave free; empty where the desktop gives none
};

// The top-left corner for a popup of `size` asked for at `at`, on the screen holding the point or
// the nearest one: right of and below the point where that fits in the work area, flipped to the
// left or above where not, and moved inside the work area (off a panel the point is on). Where
// neither side of the point has room on an axis, the popup goes inside the work area on the roomier
// side; a popup larger than the work area starts at its top-left corner. With no screens, the point
// as it is.
[[nodiscard]] QPoint PopupPosition(QPoint at, QSize size, const QList<PopupScreen>& screens);

} // namespace vorda::qt
