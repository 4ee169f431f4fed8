#pragma once

#include "platform/Platform.h"

#include <string_view>

namespace vorda {

// Hands the address to the shell so that the default browser shows it; the result is not looked at.
void OpenInBrowser(Platform& platform, WindowHandle owner, std::u16string_view address);

} // namespace vorda
