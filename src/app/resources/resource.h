// Resource numbers shared by Dictionary.rc and the Windows backend.
#pragma once

#define IDI_TEXT 1   // the program's icon and the tray icon while the clipboard holds text
#define IDI_NOTEXT 2 // the tray icon while the clipboard holds no text
