#include "tray/TrayIconRecord.h"

#include "text/Utf16.h"

#include <algorithm>
#include <cstring>

namespace vorda {
namespace {

void PutUInt32(TrayRecordBytes& bytes, std::size_t offset, std::uint32_t value)
{
    for (std::size_t i = 0; i < 4; ++i) {
        bytes[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

} // namespace

void TrayIconRecord::SetTip(std::u16string_view text)
{
    szTip.assign(text.substr(0, kTipLength));
    szTip.resize(kTipLength, u' ');
}

TrayRecordBytes TrayIconRecord::ToBytes(Platform& platform) const
{
    TrayRecordBytes bytes{};
    PutUInt32(bytes, 0, cbSize);
    PutUInt32(bytes, 4, hWnd);
    PutUInt32(bytes, 8, uID);
    PutUInt32(bytes, 12, uFlags);
    PutUInt32(bytes, 16, uCallbackMessage);
    PutUInt32(bytes, kTrayRecordIconOffset, hIcon);

    constexpr std::size_t tipOffset = 24;
    std::size_t written = 0;
    // Character by character (a surrogate pair as one), so a character whose narrow form would not fit
    // is left out whole rather than cut in the middle of its bytes. The last byte is kept for the NUL
    // the platform reads up to, should the text hold none.
    for (std::size_t i = 0; i < szTip.size();) {
        std::size_t units = 1;
        std::string narrow;
        if (szTip[i] < 0x80) {
            // Every narrow code page keeps ASCII as it is; most of a tooltip is, five times a second.
            narrow.assign(1, static_cast<char>(szTip[i]));
        } else {
            units = (IsHighSurrogate(szTip[i]) && i + 1 < szTip.size() && IsLowSurrogate(szTip[i + 1])) ? 2 : 1;
            narrow = platform.ToAnsi(std::u16string_view(szTip).substr(i, units));
        }
        if (written + narrow.size() > kTipLength - 1) {
            break;
        }
        std::memcpy(bytes.data() + tipOffset + written, narrow.data(), narrow.size());
        written += narrow.size();
        i += units;
    }
    std::fill(bytes.begin() + static_cast<std::ptrdiff_t>(tipOffset + written), bytes.end(), std::uint8_t{' '});

    const auto tip = std::span(bytes).subspan(tipOffset);
    if (std::find(tip.begin(), tip.end(), std::uint8_t{0}) == tip.end()) {
        tip.back() = 0; // the platform reads up to the first NUL and must find one
    }
    return bytes;
}

} // namespace vorda
