#pragma once
// The numbers the desktop's calls and records carry, in one place, under the program's own names:
// windows.h defines the Windows names as macros, so these may stand beside it in any order.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vorda {

// Tray requests (Shell_NotifyIcon's message) and the record's flags.
inline constexpr std::uint32_t kTrayAdd = 0;
inline constexpr std::uint32_t kTrayModify = 1;
inline constexpr std::uint32_t kTrayDelete = 2;
inline constexpr std::uint32_t kTrayFlagMessage = 1;
inline constexpr std::uint32_t kTrayFlagIcon = 2;
inline constexpr std::uint32_t kTrayFlagTip = 4;

// The message the tray's mouse events arrive as, and the event numbers the program answers.
inline constexpr std::uint32_t kMouseMoveMessage = 0x200;
inline constexpr std::int32_t kTrayEventDoubleClick = 515;
inline constexpr std::int32_t kTrayEventRightButtonUp = 517;

// Where the 88-byte tray record keeps the icon handle and the 64-byte tooltip.
inline constexpr std::size_t kTrayRecordIconOffset = 20;
inline constexpr std::size_t kTipOffset = 24;

// A window's scale modes: the unit of its coordinates.
inline constexpr std::int16_t kScaleModeTwips = 1;
inline constexpr std::int16_t kScaleModePixels = 3;

// The message box's style (Yes and No buttons with the question icon) and its answers.
inline constexpr unsigned kYesNoQuestion = 36;
inline constexpr int kAnswerYes = 6;
inline constexpr int kAnswerNo = 7;

// The registry: the root keys of the user and of the machine, the rights to read and to set values,
// and the value types.
inline constexpr std::uint32_t kCurrentUserKey = 0x80000001;
inline constexpr std::uint32_t kLocalMachineKey = 0x80000002;
inline constexpr std::uint32_t kQueryValueAccess = 1;
inline constexpr std::uint32_t kSetValueAccess = 2;
inline constexpr std::int32_t kRegistryText = 1;
inline constexpr std::int32_t kRegistryNumber = 4;

// How the shell shows what it opens.
inline constexpr int kShowNormal = 1;

// The notification area's word, to every top-level window, that it has restarted without the icons;
// and the message filter's answer that lets a message through to a window of higher rights.
inline constexpr std::string_view kTrayRestartedMessage = "TaskbarCreated";
inline constexpr std::uint32_t kMessageFilterAllow = 1;

} // namespace vorda
