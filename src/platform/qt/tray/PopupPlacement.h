#pragma once
// Where the popup goes when a tray host asks for it at a point. Hosts send any 32-bit point, even
// one off every screen; the popup is kept where the user can see and reach it.

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>

namespace vorda::qt {

// The top-left corner for a popup of `size` asked for at `at`: at the point where it fits, else
// moved in so that it lies wholly on the screen holding the point, or on the nearest screen when no
// screen holds it. A popup larger than its screen starts at the screen's top-left corner. With no
// screens, the point as it is.
[[nodiscard]] QPoint PopupPosition(QPoint at, QSize size, const QList<QRect>& screens);

} // namespace vorda::qt
