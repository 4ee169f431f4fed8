// Dictionary.exe: the program over the Windows desktop.

#include "app/frmDictionary.h"
#include "platform/win32/Win32Platform.h"

// After the program's headers: windows.h defines macros named like some of the program's constants.
#include <windows.h>

int WINAPI WinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPSTR /*commandLine: not read*/, int /*show*/)
{
    try {
        vorda::win32::Win32Platform platform;
        return vorda::RunDictionary(platform);
    } catch (const std::exception&) {
        return 1; // no window could be made: nothing to show, nothing to log
    }
}
