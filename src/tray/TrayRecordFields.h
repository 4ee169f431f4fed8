#pragma once
// The fields of the 88 bytes the main window hands over with a tray request, read back for a
// platform that cannot take the bytes as they are (a 64-bit Windows build, the Linux tray).

#include "platform/Platform.h"
#include "platform/PlatformNumbers.h"

#include <cstdint>
#include <string_view>

namespace vorda {

inline constexpr std::size_t kTipBytes = kTrayRecordSize - kTipOffset;

struct TrayRecordFields {
    std::uint32_t cbSize = 0;
    WindowHandle hWnd = 0;
    std::uint32_t uID = 0;
    std::uint32_t uFlags = 0;
    std::uint32_t uCallbackMessage = 0;
    IconHandle hIcon = 0;
    // The narrow tooltip up to its first NUL (the whole field if it holds none).
    std::string_view szTip;
};

// The view of the tooltip borrows from the bytes, which must outlive the fields.
[[nodiscard]] TrayRecordFields ReadTrayRecord(const TrayRecordBytes& bytes);

} // namespace vorda
