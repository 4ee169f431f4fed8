#!/usr/bin/python3
"""Writes KWin's whole output as PNG, from its screenshot service (org.kde.KWin.ScreenShot2), which
sends the raw image through a pipe and its form in the reply.

    kwin_screenshot.py FILE"""

import os
import subprocess
import sys

from gi.repository import Gio, GLib

# QImage's formats that KWin sends, 32 bits a pixel: RGB32 and ARGB32 (blue first in memory on this
# machine), RGBX8888 and RGBA8888 (red first); premultiplied or not is alike for opaque pixels.
FORMATS = {4: "bgra", 5: "bgra", 6: "bgra", 16: "rgba", 17: "rgba", 18: "rgba"}

bus = Gio.bus_get_sync(Gio.BusType.SESSION)
read_end, write_end = os.pipe()
fds = Gio.UnixFDList.new()
index = fds.append(write_end)
os.close(write_end)
reply, _ = bus.call_with_unix_fd_list_sync(
    "org.kde.KWin.ScreenShot2", "/org/kde/KWin/ScreenShot2", "org.kde.KWin.ScreenShot2", "CaptureArea",
    GLib.Variant("(iiuua{sv}h)", (0, 0, 1280, 800, {}, index)), GLib.VariantType("(a{sv})"),
    Gio.DBusCallFlags.NONE, 20000, fds, None)
del fds
form = reply.unpack()[0]
data = b""
with os.fdopen(read_end, "rb") as pipe:
    while chunk := pipe.read(1 << 16):
        data += chunk
width, height, stride, image_format = form["width"], form["height"], form["stride"], form["format"]
if image_format not in FORMATS:
    sys.exit(f"KWin sent an image of QImage format {image_format}")
rows = b"".join(data[y * stride:y * stride + width * 4] for y in range(height))
subprocess.run(["convert", "-size", f"{width}x{height}", "-depth", "8", f"{FORMATS[image_format]}:-",
                "-alpha", "off", sys.argv[1]], input=rows, check=True)
print("shot", sys.argv[1], width, height)
