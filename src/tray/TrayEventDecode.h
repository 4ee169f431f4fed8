#pragma once
// The tray icon reports its mouse events as mouse moves whose horizontal coordinate carries the
// event number, converted by the window framework from pixels into the window's scale unit.

#include <cstdint>
#include <optional>

namespace vorda {

// Recovers the event number from X; nothing when the division or the rounding fails (division by
// zero, not a number, out of the 32-bit range). Halves round to the even neighbour.
[[nodiscard]] std::optional<std::int32_t> DecodeTrayEventNumber(float x, std::int16_t scaleMode,
                                                                float twipsPerPixelX);

} // namespace vorda
