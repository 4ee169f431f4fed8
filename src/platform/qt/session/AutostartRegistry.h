#pragma once
// session/: where the program meets the user's session: its auto-start entry, its boxes, its end.

// The registry, as far as the program uses it, over the XDG autostart folders: the machine-wide Run
// key is the system autostart folder (the first entry of XDG_CONFIG_DIRS, else /etc/xdg, plus
// "/autostart"), the user's Run key the user's own ($XDG_CONFIG_HOME, else ~/.config, plus
// "/autostart"), and a value NAME is the desktop entry NAME.desktop, whose Exec line is the value's
// text. Names and data arrive as Windows-1252 bytes; codes are the Windows error codes.
//
// Left out: other keys and roots (refused), value types other than text (refused).

#include "platform/Platform.h"
#include "platform/PlatformNumbers.h"

#include <cstddef>
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
    static constexpr std::int32_t kInvalidData = 13;
    static constexpr std::int32_t kWriteFault = 29;
    static constexpr std::int32_t kInvalidParameter = 87;
    static constexpr std::int32_t kMoreData = 234;
    // The largest entry read back: far beyond any the store writes.
    static constexpr std::size_t kEntryLimit = 64 * 1024;

    // The folders the two Run keys stand for, from the environment as it is now; the user's is empty
    // where neither XDG_CONFIG_HOME nor HOME is an absolute path.
    [[nodiscard]] static std::string SystemAutostartFolder();
    [[nodiscard]] static std::string UserAutostartFolder();

    // The machine's key: a handle only where the folder exists and this user may search it, and
    // write to it where `access` asks to set values. The user's key, like Windows's, is always there
    // (its folder is made at the first write), but only where that folder, or the nearest one above
    // it that exists, is this user's. Else `key` stays.
    std::int32_t Open(std::uint32_t root, std::string_view subKey, RegistryKey& key,
                      std::uint32_t access = kSetValueAccess);
    // Writes NAME.desktop whole or not at all (a temporary file renamed over it).
    std::int32_t SetValue(RegistryKey key, std::string_view valueName, std::uint32_t type,
                          std::span<const std::uint8_t> data);
    std::int32_t DeleteValue(RegistryKey key, std::string_view valueName);
    std::int32_t Close(RegistryKey key);
    // The text of NAME.desktop's Exec line, as it was handed to SetValue (one NUL at its end), read
    // from at most kEntryLimit bytes of the entry; never more than data.size() bytes go to `data`.
    std::int32_t QueryValue(RegistryKey key, std::string_view valueName, std::uint32_t& type,
                            std::span<std::uint8_t> data, std::uint32_t& size);

private:
    struct OpenKey {
        std::string folder;
        bool makeMissing = false; // the folder is made at a write where missing (the user's)
        std::uint32_t access = 0;
    };
    // The folder behind each open handle; 0 is never one of them.
    std::map<RegistryKey, OpenKey> openKeys_;
    RegistryKey nextKey_ = 1;
};

} // namespace vorda::qt
