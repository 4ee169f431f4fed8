#pragma once
// Said once when the desktop has nowhere to show the icon: the program keeps running, invisible,
// until a tray comes, and the user should know why and what gives one.

namespace vorda::qt {

// Whether an XEmbed tray holds its selection on the program's X display (false without one).
[[nodiscard]] bool XEmbedTrayIsPresent();

// On standard error, and as a desktop notification where a notification server is on the session bus.
void SayNoTray();

} // namespace vorda::qt
