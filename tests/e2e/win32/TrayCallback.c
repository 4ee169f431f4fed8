/* vorda-e2e-tray-callback.exe: hands a window a tray icon's callback the way a notification area
 * relays an event of a first-version icon, straight from another Windows program:
 *
 *   vorda-e2e-tray-callback.exe OWNER MESSAGE ID EVENT
 *
 * OWNER is the window the icon was added for, MESSAGE its callback message, ID the icon's number
 * (the callback's wParam) and EVENT the mouse message it reports (its lParam), each in hex or
 * decimal. Sent as a notification, which returns at once, as the tray does not wait for the owner.
 *
 * Exit status: 0 sent, 1 no such window or the message could not be sent, 64 wrong use. */

#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

static BOOL ParseNumber(const char* text, unsigned long* value)
{
    char* end = NULL;
    *value = strtoul(text, &end, 0);
    return end != text && *end == '\0';
}

int main(int argc, char** argv)
{
    unsigned long owner, message, id, event;
    HWND window;
    if (argc != 5 || !ParseNumber(argv[1], &owner) || !ParseNumber(argv[2], &message) ||
        !ParseNumber(argv[3], &id) || !ParseNumber(argv[4], &event)) {
        fprintf(stderr, "usage: vorda-e2e-tray-callback.exe OWNER MESSAGE ID EVENT\n");
        return 64;
    }
    window = (HWND)(ULONG_PTR)owner;
    if (!IsWindow(window)) {
        fprintf(stderr, "no window %#lx\n", owner);
        return 1;
    }
    if (!SendNotifyMessageW(window, (UINT)message, (WPARAM)id, (LPARAM)event)) {
        fprintf(stderr, "the callback could not be sent to %#lx (error %lu)\n", owner, GetLastError());
        return 1;
    }
    return 0;
}
