#pragma once
// Windows has no input box: a small modal dialog, built in memory, with the prompt, a one-line edit
// field, OK and Cancel, centred on the screen.

#include <optional>
#include <string>

struct HWND__;

namespace vorda::win32 {

// The typed text on OK; "" on Cancel or when the box is closed; nothing when the dialog could not be
// shown at all.
std::optional<std::wstring> ShowInputDialog(HWND__* owner, const std::wstring& prompt, const std::wstring& title,
                                            const std::wstring& initialText);

} // namespace vorda::win32
