#!/usr/bin/python3
"""Gives headless GNOME Shell's seat a keyboard and a pointer, as a remote desktop client does
(org.gnome.Mutter.RemoteDesktop): without a keyboard no Wayland program can take the clipboard.
Prints "ready" once the session runs, and keeps it until ended (the session ends with this client).

Then it takes commands, one a line on standard input, and answers each with a line:
  shot X Y WIDTH HEIGHT FILE   that part of the screen as the shell draws it, top bar included, as PNG
                               ("shot FILE"); the shell's screenshot service serves the names it
                               trusts, so this client takes one of them
  double X Y                   the pointer to X,Y and a double click of the left button ("double X Y")
A failed command answers "failed" and the reason."""

import sys

from gi.repository import Gio, GLib

MUTTER = "org.gnome.Mutter.RemoteDesktop"
SESSION = "org.gnome.Mutter.RemoteDesktop.Session"
BTN_LEFT = 0x110
TRUSTED_NAME = "org.gnome.Screenshot"
SCREEN_WIDTH = int(sys.argv[1]) if len(sys.argv) > 1 else 1280

bus = Gio.bus_get_sync(Gio.BusType.SESSION)


def call(destination, path, interface, method, parameters=None):
    return bus.call_sync(destination, path, interface, method, parameters, None,
                         Gio.DBusCallFlags.NONE, 20000, None)


(session,) = call(MUTTER, "/org/gnome/Mutter/RemoteDesktop", MUTTER, "CreateSession").unpack()
call(MUTTER, session, SESSION, "Start")


def notify(method, signature, *values):
    call(MUTTER, session, SESSION, method, GLib.Variant(signature, values))


# The devices come with the first event of each kind. Escape also closes the overview that the shell
# starts in, which would keep the focus from new windows.
ESCAPE = 0xFF1B
for pressed in (True, False):
    notify("NotifyKeyboardKeysym", "(ub)", ESCAPE, pressed)
notify("NotifyPointerMotionRelative", "(dd)", 0.0, 0.0)
# Flag 4: do not queue behind another owner; a second client of the tests' own would be a fault.
(owned,) = call("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
                GLib.Variant("(su)", (TRUSTED_NAME, 4))).unpack()
print("ready", session, "screenshots" if owned == 1 else "no screenshots", flush=True)


def shot(x, y, width, height, file):
    success, written = call("org.gnome.Shell.Screenshot", "/org/gnome/Shell/Screenshot",
                            "org.gnome.Shell.Screenshot", "ScreenshotArea",
                            GLib.Variant("(iiiibs)", (int(x), int(y), int(width), int(height), False,
                                                       file))).unpack()
    if not success:
        raise RuntimeError("the shell took no screenshot")
    return f"shot {written}"


def double(x, y):
    # Relative moves only (an absolute one needs a screen cast stream): first into the top right corner,
    # where the pointer stops, then to the point; virtual devices move unaccelerated. Right first, then
    # up: a push against the top edge near the top left corner opens the overview.
    notify("NotifyPointerMotionRelative", "(dd)", 100000.0, 0.0)
    notify("NotifyPointerMotionRelative", "(dd)", 0.0, -100000.0)
    notify("NotifyPointerMotionRelative", "(dd)", float(x) - (SCREEN_WIDTH - 1), float(y))
    for _ in range(2):
        notify("NotifyPointerButton", "(ib)", BTN_LEFT, True)
        notify("NotifyPointerButton", "(ib)", BTN_LEFT, False)
    return f"double {x} {y}"


COMMANDS = {"shot": shot, "double": double}
for line in sys.stdin:
    words = line.split()
    if not words:
        continue
    try:
        print(COMMANDS[words[0]](*words[1:]), flush=True)
    except (KeyError, TypeError, ValueError, RuntimeError, GLib.Error) as error:
        print("failed", line.strip(), error, flush=True)
GLib.MainLoop().run()
