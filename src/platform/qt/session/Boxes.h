#pragma once
// The two modal boxes, shown without a parent window (the program has none that is ever seen).

#include <QString>

#include <optional>

namespace vorda::qt {

// A message box with the buttons, icon and default button that the Windows style bits ask for
// (MB_OK to MB_RETRYCANCEL, MB_ICONHAND to MB_ICONASTERISK, MB_DEFBUTTON1 to 3); returns the Windows
// number of the button pressed (IDOK 1 to IDNO 7). As on Windows, a box with neither Cancel nor a
// lone OK cannot be closed without an answer.
int ShowMessageBox(const QString& prompt, unsigned style, const QString& title);

// A one-line input box with OK and Cancel; nothing on Cancel, Escape or close.
std::optional<QString> AskForText(const QString& prompt, const QString& title, const QString& initialText);

} // namespace vorda::qt
