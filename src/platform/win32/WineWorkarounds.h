#pragma once
// What Dictionary.exe does only because Wine, which the tests and Linux users run it under, differs
// from Windows. Each says whether real Windows needs it.

#include <string_view>

namespace vorda::win32 {

// Whether the program runs under Wine (its ntdll has wine_get_version).
[[nodiscard]] bool RunningUnderWine();

// Wine's shell (8.0) copies the command that opens an address into 1024 characters and, given a
// longer one, writes past them and brings the program down; such an address is not handed over.
// Real Windows does not need this: its shell has no such limit, and the check answers false there.
[[nodiscard]] bool OverrunsWineShell(std::string_view operation, std::string_view file);

// Elsewhere, marked where they stand:
// - Win32Platform::ShellNotifyIcon sends no modify that would change nothing. Under Wine each
//   request waits for the tray, seconds while a new tray host docks the icon. Real Windows answers
//   at once and does not need it; it costs nothing there.
// - ClipboardWatcher::ReadNow reports text that is announced but not delivered as a failed read, to
//   be asked again: Wine announces an X owner's text it then cannot fetch. Real Windows may need it
//   too, for a program that renders its text late and fails.

} // namespace vorda::win32
