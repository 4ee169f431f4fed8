#include "platform/win32/WineWorkarounds.h"

#include <windows.h>

#include <cstring>
#include <string>

namespace vorda::win32 {

bool RunningUnderWine()
{
    static const bool underWine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    return underWine;
}

// The command is the one registered for the address's scheme, the address taking the place of its "%1".
bool OverrunsWineShell(std::string_view operation, std::string_view file)
{
    const std::size_t colon = file.find(':');
    if (!RunningUnderWine() || colon == std::string_view::npos) {
        return false;
    }
    const std::string key = std::string(file.substr(0, colon)) + "\\shell\\" + std::string(operation) + "\\command";
    char command[1024] = "";
    LONG size = sizeof command;
    const LONG status = RegQueryValueA(HKEY_CLASSES_ROOT, key.c_str(), command, &size);
    if (status != ERROR_SUCCESS) {
        return status == ERROR_MORE_DATA; // no command, nothing to overrun; or one too long by itself
    }
    return std::strlen(command) + file.size() >= 1024;
}

} // namespace vorda::win32
