#include "platform/qt/session/AutostartRegistry.h"

#include "platform/qt/session/DesktopEntry.h"
#include "autostart/AutoStart.h"
#include "autostart/RegistryValue.h"
#include "text/Utf16.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <optional>
#include <utility>
#include <vector>

namespace vorda::qt {
namespace {

bool SameKeyName(std::string_view a, std::u16string_view b)
{
    // Registry key names ignore letter case.
    const std::u16string decoded = FromUtf8(a);
    return std::equal(decoded.begin(), decoded.end(), b.begin(), b.end(), [](char16_t x, char16_t y) {
        const auto lower = [](char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c; };
        return lower(x) == lower(y);
    });
}

std::int32_t CodeOf(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR: return AutostartRegistry::kFileNotFound;
    case EACCES:
    case EPERM:
    case EROFS: return AutostartRegistry::kAccessDenied;
    default: return AutostartRegistry::kWriteFault;
    }
}

// The file a value lives in; empty where the name cannot be a file name.
std::string EntryPath(const std::string& folder, std::string_view valueName)
{
    const std::string name(valueName);
    if (name.empty() || name == "." || name == ".." || name.find_first_of(std::string_view("/\0", 2)) != std::string::npos) {
        return {};
    }
    return folder + "/" + name + ".desktop";
}

// 0, or the errno of the first failing write.
int WriteAll(int file, const std::string& contents)
{
    std::size_t written = 0;
    while (written < contents.size()) {
        const ssize_t n = ::write(file, contents.data() + written, contents.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return n < 0 ? errno : EIO;
        }
        written += static_cast<std::size_t>(n);
    }
    return 0;
}

// The folder and every missing one above it, private to the user as the XDG base folders are.
int MakeFolders(const std::string& folder)
{
    struct stat info {};
    if (::stat(folder.c_str(), &info) == 0) {
        return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
    }
    const auto slash = folder.rfind('/');
    if (slash != std::string::npos && slash > 0) {
        if (const int failure = MakeFolders(folder.substr(0, slash)); failure != 0) {
            return failure;
        }
    }
    return ::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST ? 0 : errno;
}

bool IsAbsolute(const char* path) { return path != nullptr && path[0] == '/'; }

// Whether the folder, or where it is missing the nearest folder above it, is this process's user's.
// A HOME that is someone else's (the superuser run with sudo -E, or su without "-") must get nothing
// of this process, not even a folder: the folders would be the superuser's, and that user's own
// starts refused there for good.
// Inside HOME the walk stops at HOME itself: a HOME not made yet (or /nonexistent) is nobody's to make.
bool LiesWithThisUser(std::string folder)
{
    std::string home;
    if (const char* value = std::getenv("HOME"); IsAbsolute(value)) {
        home = value;
        while (home.size() > 1 && home.back() == '/') {
            home.pop_back();
        }
    }
    const bool insideHome = !home.empty() && home != "/" && folder.starts_with(home + "/");
    for (;;) {
        struct stat info {};
        if (::stat(folder.c_str(), &info) == 0) {
            return info.st_uid == ::geteuid();
        }
        const auto slash = folder.rfind('/');
        if (errno != ENOENT || slash == std::string::npos || (insideHome && folder == home)) {
            return false;
        }
        folder.resize(slash == 0 ? 1 : slash);
    }
}

std::string WithoutTrailingSlashes(std::string path)
{
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

std::int32_t WriteWhole(const std::string& path, const std::string& contents)
{
    const auto slash = path.rfind('/');
    std::string temporary = path.substr(0, slash + 1) + "." + path.substr(slash + 1) + ".XXXXXX";
    const int file = ::mkstemp(temporary.data());
    if (file < 0) {
        return CodeOf(errno);
    }
    int failure = WriteAll(file, contents);
    // Entries in the system folder are read by every user's session; the user's own are no secret.
    if (failure == 0 && ::fchmod(file, 0644) != 0) {
        failure = errno;
    }
    if (failure == 0 && ::fsync(file) != 0) {
        failure = errno;
    }
    if (::close(file) != 0 && failure == 0) {
        failure = errno;
    }
    if (failure == 0 && ::rename(temporary.c_str(), path.c_str()) != 0) {
        failure = errno;
    }
    if (failure != 0) {
        ::unlink(temporary.c_str());
        return CodeOf(failure);
    }
    return AutostartRegistry::kSuccess;
}

// At most kEntryLimit bytes of a regular file; a pipe or a device in its place is never waited on.
std::int32_t ReadEntry(const std::string& path, std::string& entry)
{
    const int file = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (file < 0) {
        return CodeOf(errno);
    }
    struct stat info {};
    std::int32_t result = AutostartRegistry::kSuccess;
    if (::fstat(file, &info) != 0 || !S_ISREG(info.st_mode)) {
        result = AutostartRegistry::kInvalidData;
    }
    std::string bytes(AutostartRegistry::kEntryLimit + 1, '\0');
    std::size_t filled = 0;
    while (result == AutostartRegistry::kSuccess && filled < bytes.size()) {
        const ssize_t n = ::read(file, bytes.data() + filled, bytes.size() - filled);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            result = CodeOf(errno);
        } else if (n == 0) {
            break;
        }
        filled += static_cast<std::size_t>(std::max<ssize_t>(n, 0));
    }
    ::close(file);
    if (result == AutostartRegistry::kSuccess && filled > AutostartRegistry::kEntryLimit) {
        result = AutostartRegistry::kInvalidData; // no entry of ours is that long
    }
    bytes.resize(filled);
    entry = std::move(bytes);
    return result;
}

} // namespace

std::string AutostartRegistry::SystemAutostartFolder()
{
    std::string_view dirs;
    if (const char* value = std::getenv("XDG_CONFIG_DIRS")) {
        dirs = value;
    }
    std::string first(dirs.substr(0, dirs.find(':')));
    if (first.empty()) {
        first = "/etc/xdg";
    }
    return WithoutTrailingSlashes(first) + "/autostart";
}

std::string AutostartRegistry::UserAutostartFolder()
{
    // A relative XDG_CONFIG_HOME is to be ignored, as the base folder rules say.
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); IsAbsolute(config)) {
        return WithoutTrailingSlashes(config) + "/autostart";
    }
    if (const char* home = std::getenv("HOME"); IsAbsolute(home)) {
        return WithoutTrailingSlashes(home) + "/.config/autostart";
    }
    return {};
}

std::int32_t AutostartRegistry::Open(std::uint32_t root, std::string_view subKey, RegistryKey& key,
                                     std::uint32_t access)
{
    if (root != kLocalMachineKey && root != kCurrentUserKey) {
        return kInvalidHandle;
    }
    if (!SameKeyName(subKey, kRunKey)) {
        return kFileNotFound;
    }
    const bool user = root == kCurrentUserKey;
    const std::string folder = user ? UserAutostartFolder() : SystemAutostartFolder();
    if (folder.empty()) {
        return kFileNotFound;
    }
    struct stat info {};
    const bool exists = ::stat(folder.c_str(), &info) == 0;
    if (exists && !S_ISDIR(info.st_mode)) {
        return kFileNotFound;
    }
    if (!exists && !user) {
        return kFileNotFound;
    }
    if (user && !LiesWithThisUser(folder)) {
        return kAccessDenied;
    }
    // The superuser passes this check whatever the folder's mode, and may indeed write there.
    const bool changes = (access & kSetValueAccess) != 0;
    if (exists && ::access(folder.c_str(), changes ? W_OK | X_OK : X_OK) != 0) {
        return kAccessDenied;
    }
    key = nextKey_++;
    openKeys_[key] = OpenKey{folder, user, access};
    return kSuccess;
}

std::int32_t AutostartRegistry::SetValue(RegistryKey key, std::string_view valueName, std::uint32_t type,
                                         std::span<const std::uint8_t> data)
{
    const auto open = openKeys_.find(key);
    if (open == openKeys_.end()) {
        return kInvalidHandle;
    }
    if ((open->second.access & kSetValueAccess) == 0) {
        return kAccessDenied;
    }
    const std::string path = EntryPath(open->second.folder, valueName);
    if (path.empty() || type != static_cast<std::uint32_t>(kRegistryText)) {
        return kInvalidParameter;
    }
    if (open->second.makeMissing) {
        if (const int failure = MakeFolders(open->second.folder); failure != 0) {
            return CodeOf(failure);
        }
    }
    // The text ends at its NUL.
    const auto end = std::find(data.begin(), data.end(), std::uint8_t{0});
    const std::string command(data.begin(), end);
    return WriteWhole(path, DesktopEntry(command));
}

std::int32_t AutostartRegistry::DeleteValue(RegistryKey key, std::string_view valueName)
{
    const auto open = openKeys_.find(key);
    if (open == openKeys_.end()) {
        return kInvalidHandle;
    }
    if ((open->second.access & kSetValueAccess) == 0) {
        return kAccessDenied;
    }
    const std::string path = EntryPath(open->second.folder, valueName);
    if (path.empty()) {
        return kInvalidParameter;
    }
    return ::unlink(path.c_str()) == 0 ? kSuccess : CodeOf(errno);
}

std::int32_t AutostartRegistry::QueryValue(RegistryKey key, std::string_view valueName, std::uint32_t& type,
                                           std::span<std::uint8_t> data, std::uint32_t& size)
{
    const auto open = openKeys_.find(key);
    if (open == openKeys_.end()) {
        return kInvalidHandle;
    }
    if ((open->second.access & kQueryValueAccess) == 0) {
        return kAccessDenied;
    }
    const std::string path = EntryPath(open->second.folder, valueName);
    if (path.empty()) {
        return kInvalidParameter;
    }
    std::string entry;
    if (const std::int32_t read = ReadEntry(path, entry); read != kSuccess) {
        return read;
    }
    const std::optional<std::string> command = ExecCommand(entry);
    if (!command) {
        return kInvalidData;
    }
    const std::string value = *command + '\0';
    type = static_cast<std::uint32_t>(kRegistryText);
    size = static_cast<std::uint32_t>(value.size());
    if (value.size() > data.size()) {
        return kMoreData;
    }
    std::copy(value.begin(), value.end(), data.begin());
    return kSuccess;
}

std::int32_t AutostartRegistry::Close(RegistryKey key)
{
    return openKeys_.erase(key) == 1 ? kSuccess : kInvalidHandle;
}

} // namespace vorda::qt
