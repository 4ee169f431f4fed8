#include "lookup/OpenInBrowser.h"

#include "platform/PlatformNumbers.h"

namespace vorda {

void OpenInBrowser(Platform& platform, WindowHandle owner, std::u16string_view address)
{
    platform.ShellExecuteA(owner, "Open", platform.ToAnsi(address), "", "C:\\", kShowNormal);
}

} // namespace vorda
