#pragma once
// What most tests share: a window over a fresh fake platform, and readers for the tray record bytes.

#include "FakePlatform.h"
#include "app/frmDictionary.h"

#include <cstdint>
#include <string>

namespace vorda::test {

struct WindowOverFake {
    FakePlatform platform;
    frmDictionary window{platform};

    // Loads the window and forgets what loading did, so a test sees only its own operations.
    void LoadAndClearLog()
    {
        window.Form_Load();
        platform.log.clear();
        platform.trayRequests.clear();
    }
};

inline std::uint32_t UInt32At(const TrayRecordBytes& bytes, std::size_t offset)
{
    return static_cast<std::uint32_t>(bytes[offset]) | static_cast<std::uint32_t>(bytes[offset + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[offset + 2]) << 16 | static_cast<std::uint32_t>(bytes[offset + 3]) << 24;
}

// The 64 tooltip bytes as a string.
inline std::string TipField(const TrayRecordBytes& bytes) { return {bytes.begin() + 24, bytes.end()}; }

// What the platform shows: the tooltip up to its first NUL.
inline std::string VisibleTip(const TrayRecordBytes& bytes)
{
    const std::string field = TipField(bytes);
    return field.substr(0, field.find('\0'));
}

// A tooltip field as stored: the text, one NUL, spaces up to 64 bytes.
inline std::string StoredTip(const std::string& text)
{
    std::string field = text + '\0';
    field.resize(64, ' ');
    return field;
}

} // namespace vorda::test
