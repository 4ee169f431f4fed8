#pragma once
// The record the main window keeps for its notification-area icon, in the platform's first and
// smallest NOTIFYICONDATA form: six 32-bit fields and a 64-character single-byte tooltip.

#include "platform/Platform.h"
#include "platform/PlatformNumbers.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace vorda {

inline constexpr std::size_t kTipLength = 64;

struct TrayIconRecord {
    std::uint32_t cbSize = 0;
    WindowHandle hWnd = 0;
    std::uint32_t uID = 0;
    std::uint32_t uFlags = 0;
    std::uint32_t uCallbackMessage = 0;
    IconHandle hIcon = 0;
    std::u16string szTip = std::u16string(kTipLength, u'\0');

    // Stores a text the way a fixed-length field does: left-justified, padded with spaces, cut at 64.
    void SetTip(std::u16string_view text);

    // The 88 bytes handed to the platform, the tooltip in the system's narrow code page. The tooltip
    // field always holds a NUL, even where the narrow form of a character takes more than one byte.
    [[nodiscard]] TrayRecordBytes ToBytes(Platform& platform) const;
};

} // namespace vorda
