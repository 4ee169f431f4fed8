#pragma once
// The work area the window manager publishes on X (_NET_WORKAREA of the current desktop). Qt's
// screens give it only while there is one screen; with several, each screen's available geometry is
// the whole screen, panels included.

#include <QRect>

#include <optional>

namespace vorda::qt {

// The current desktop's work area, on the whole X screen; none off X, or where the window manager
// publishes none (or a malformed one).
[[nodiscard]] std::optional<QRect> X11WorkArea();

} // namespace vorda::qt
