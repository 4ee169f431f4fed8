#pragma once
// session/: where the program meets the user's session: its auto-start entry, its boxes, its end.

// The registry, as far as the program uses it, over the XDG autostart folder: the machine-wide Run
// key is the system autostart folder (the first entry of XDG_CONFIG_DIRS, else /etc/xdg, plus
// "/autostart") and a value NAME is the desktop entry NAME.desktop, whose Exec line is the value's
// text. Names and data arrive as Windows-1252 bytes; codes are the Windows error codes.
//
// Left out: reading values, other keys and roots (refused), value types other than text (refused).

#include "platform/Platform.h"

#include <cstdint>
#include <map>
#include <span>
#include <string>
#include <string_view>

namespace vorda::qt {

class AutostartRegistry {
public:
    static constexpr std::int32_t kSuccess = 0;
    static constexpr std::int32_t kFileNotFound = 2;
    static constexpr std::int32_t kAccessDenied = 5;
    static constexpr std::int32_t kInvalidHandle = 6;
    static constexpr std::int32_t kWriteFault = 29;
    static constexpr std::int32_t kInvalidParameter = 87;

    // The folder the Run key stands for, from the environment as it is now.
    [[nodiscard]] static std::string SystemAutostartFolder();

    // Gives a handle only where the folder exists and this user may write to it; else `key` stays.
    std::int32_t Open(std::uint32_t root, std::string_view subKey, RegistryKey& key);
    // Writes NAME.desktop whole or not at all (a temporary file renamed over it).
    std::int32_t SetValue(RegistryKey key, std::string_view valueName, std::uint32_t type,
                          std::span<const std::uint8_t> data);
    std::int32_t DeleteValue(RegistryKey key, std::string_view valueName);
    std::int32_t Close(RegistryKey key);

private:
    // The folder behind each open handle; 0 is never one of them.
    std::map<RegistryKey, std::string> openKeys_;
    RegistryKey nextKey_ = 1;
};

} // namespace vorda::qt
