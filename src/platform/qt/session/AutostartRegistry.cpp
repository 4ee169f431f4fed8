#include "platform/qt/session/AutostartRegistry.h"

#include "app/FormDefinitions.h"
#include "autostart/AutoStart.h"
#include "autostart/RegistryValue.h"
#include "text/Utf16.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
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

// The Exec line of a desktop entry: a quoted program path keeps its quotes, with the characters that
// are special inside them escaped; then the escapes every desktop-entry value takes.
std::string ExecLine(const std::string& command)
{
    std::string quotedPart = command;
    if (command.size() >= 2 && command.front() == '"' && command.back() == '"') {
        quotedPart.assign(1, '"');
        for (const char c : std::string_view(command).substr(1, command.size() - 2)) {
            if (c == '"' || c == '`' || c == '$' || c == '\\') {
                quotedPart += '\\';
            }
            quotedPart += c;
        }
        quotedPart += '"';
    }
    std::string line;
    for (const char c : quotedPart) {
        switch (c) {
        case '\\': line += "\\\\"; break;
        case '\n': line += "\\n"; break;
        case '\r': line += "\\r"; break;
        case '\t': line += "\\t"; break;
        case '%': line += "%%"; break; // a lone % would start a field code
        default: line += c;
        }
    }
    return line;
}

std::string DesktopEntry(const std::string& command)
{
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=" + ToUtf8(kDisplayName) + "\n"
           "Exec=" + ExecLine(command) + "\n"
           "Icon=vorda-dictionary\n"
           "Terminal=false\n";
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

std::int32_t AutostartRegistry::Open(std::uint32_t root, std::string_view subKey, RegistryKey& key)
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
    // The superuser passes this check whatever the folder's mode, and may indeed write there.
    if (exists && ::access(folder.c_str(), W_OK | X_OK) != 0) {
        return kAccessDenied;
    }
    key = nextKey_++;
    openKeys_[key] = OpenKey{folder, user};
    return kSuccess;
}

std::int32_t AutostartRegistry::SetValue(RegistryKey key, std::string_view valueName, std::uint32_t type,
                                         std::span<const std::uint8_t> data)
{
    const auto open = openKeys_.find(key);
    if (open == openKeys_.end()) {
        return kInvalidHandle;
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
    const std::string path = EntryPath(open->second.folder, valueName);
    if (path.empty()) {
        return kInvalidParameter;
    }
    return ::unlink(path.c_str()) == 0 ? kSuccess : CodeOf(errno);
}

std::int32_t AutostartRegistry::Close(RegistryKey key)
{
    return openKeys_.erase(key) == 1 ? kSuccess : kInvalidHandle;
}

} // namespace vorda::qt
