#pragma once
// The text of the auto-start desktop entries: written from a value's command, and the command read
// back from an entry's Exec line.

#include <optional>
#include <string>
#include <string_view>

namespace vorda::qt {

// The whole entry that starts `command` (a program path, quoted where it holds spaces).
[[nodiscard]] std::string DesktopEntry(const std::string& command);

// The command of the first Exec key in the entry's [Desktop Entry] group, with the escapes that
// DesktopEntry adds taken off again; nothing where the entry has no such key, no TryExec, or is
// hidden or disabled (a session would not start it, or would start a program that is gone).
[[nodiscard]] std::optional<std::string> ExecCommand(std::string_view entry);

} // namespace vorda::qt
