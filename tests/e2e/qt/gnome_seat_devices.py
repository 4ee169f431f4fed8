#!/usr/bin/python3
"""Gives headless GNOME Shell's seat a keyboard and a pointer, as a remote desktop client does
(org.gnome.Mutter.RemoteDesktop): without a keyboard no Wayland program can take the clipboard.
Prints "ready" once the session runs, and keeps it until ended (the session ends with this client)."""

import sys

from gi.repository import Gio, GLib

bus = Gio.bus_get_sync(Gio.BusType.SESSION)
reply = bus.call_sync("org.gnome.Mutter.RemoteDesktop", "/org/gnome/Mutter/RemoteDesktop",
                      "org.gnome.Mutter.RemoteDesktop", "CreateSession", None, None,
                      Gio.DBusCallFlags.NONE, 10000, None)
(session,) = reply.unpack()
bus.call_sync("org.gnome.Mutter.RemoteDesktop", session, "org.gnome.Mutter.RemoteDesktop.Session", "Start",
              None, None, Gio.DBusCallFlags.NONE, 10000, None)
# The devices come with the first event of each kind. Escape also closes the overview that the shell
# starts in, which would keep the focus from new windows.
ESCAPE = 0xFF1B
for pressed in (True, False):
    bus.call_sync("org.gnome.Mutter.RemoteDesktop", session, "org.gnome.Mutter.RemoteDesktop.Session",
                  "NotifyKeyboardKeysym", GLib.Variant("(ub)", (ESCAPE, pressed)), None,
                  Gio.DBusCallFlags.NONE, 10000, None)
bus.call_sync("org.gnome.Mutter.RemoteDesktop", session, "org.gnome.Mutter.RemoteDesktop.Session",
              "NotifyPointerMotionRelative", GLib.Variant("(dd)", (0.0, 0.0)), None,
              Gio.DBusCallFlags.NONE, 10000, None)
print("ready", session, flush=True)
sys.stdout.close()
GLib.MainLoop().run()
