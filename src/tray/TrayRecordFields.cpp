#include "tray/TrayRecordFields.h"

namespace vorda {
namespace {

std::uint32_t GetUInt32(const TrayRecordBytes& bytes, std::size_t offset)
{
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        value |= static_cast<std::uint32_t>(bytes[offset + i]) << (8 * i);
    }
    return value;
}

} // namespace

TrayRecordFields ReadTrayRecord(const TrayRecordBytes& bytes)
{
    const std::string_view field(reinterpret_cast<const char*>(bytes.data() + kTipOffset), kTipBytes);
    return {
        .cbSize = GetUInt32(bytes, 0),
        .hWnd = GetUInt32(bytes, 4),
        .uID = GetUInt32(bytes, 8),
        .uFlags = GetUInt32(bytes, 12),
        .uCallbackMessage = GetUInt32(bytes, 16),
        .hIcon = GetUInt32(bytes, kTrayRecordIconOffset),
        .szTip = field.substr(0, field.find('\0')),
    };
}

} // namespace vorda
