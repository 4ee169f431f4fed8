#include "autostart/AutoStart.h"

namespace vorda {

std::u16string AutoStartCommand(std::u16string_view folder, std::u16string_view fileName, char16_t separator)
{
    std::u16string command(u"\"");
    command += folder;
    if (folder.empty() || folder.back() != separator) {
        command += separator;
    }
    command += fileName;
    command += u'"';
    return command;
}

} // namespace vorda
