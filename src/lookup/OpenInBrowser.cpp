#include "lookup/OpenInBrowser.h"

namespace vorda {

void OpenInBrowser(Platform& platform, WindowHandle owner, std::u16string_view address)
{
    platform.ShellExecute(owner, "Open", platform.ToAnsi(address), "", "C:\\", SW_SHOWNORMAL);
}

} // namespace vorda
