"""The X window tree through libX11 (ctypes), fast enough to poll every few milliseconds.

Used to find the tray host's panel and the icons docked in it, the same rule as
tests/e2e/lib/desktop.sh: an icon is an innermost viewable window inside trayer's panel, larger
than 4x4 pixels. One query of the panel's subtree is a handful of round trips on a local socket,
well under a millisecond, where a run of xwininfo costs several.
"""
import ctypes
import ctypes.util

_IS_VIEWABLE = 2


class _WindowAttributes(ctypes.Structure):
    _fields_ = [
        ("x", ctypes.c_int), ("y", ctypes.c_int), ("width", ctypes.c_int), ("height", ctypes.c_int),
        ("border_width", ctypes.c_int), ("depth", ctypes.c_int), ("visual", ctypes.c_void_p),
        ("root", ctypes.c_ulong), ("c_class", ctypes.c_int), ("bit_gravity", ctypes.c_int),
        ("win_gravity", ctypes.c_int), ("backing_store", ctypes.c_int),
        ("backing_planes", ctypes.c_ulong), ("backing_pixel", ctypes.c_ulong),
        ("save_under", ctypes.c_int), ("colormap", ctypes.c_ulong), ("map_installed", ctypes.c_int),
        ("map_state", ctypes.c_int), ("all_event_masks", ctypes.c_long),
        ("your_event_mask", ctypes.c_long), ("do_not_propagate_mask", ctypes.c_long),
        ("override_redirect", ctypes.c_int), ("screen", ctypes.c_void_p),
    ]


class _ClassHint(ctypes.Structure):
    _fields_ = [("res_name", ctypes.c_void_p), ("res_class", ctypes.c_void_p)]


_lib = None
# Windows vanish while they are queried; the default handler would end the whole process.
_ERROR_HANDLER_TYPE = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)
_ignore_errors = _ERROR_HANDLER_TYPE(lambda display, event: 0)


def _x11():
    global _lib
    if _lib is None:
        path = ctypes.util.find_library("X11") or "libX11.so.6"
        lib = ctypes.CDLL(path)
        lib.XOpenDisplay.restype = ctypes.c_void_p
        lib.XOpenDisplay.argtypes = [ctypes.c_char_p]
        lib.XCloseDisplay.argtypes = [ctypes.c_void_p]
        lib.XDefaultRootWindow.restype = ctypes.c_ulong
        lib.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
        lib.XQueryTree.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
                                   ctypes.POINTER(ctypes.c_ulong),
                                   ctypes.POINTER(ctypes.POINTER(ctypes.c_ulong)),
                                   ctypes.POINTER(ctypes.c_uint)]
        lib.XGetWindowAttributes.argtypes = [ctypes.c_void_p, ctypes.c_ulong,
                                             ctypes.POINTER(_WindowAttributes)]
        lib.XGetClassHint.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(_ClassHint)]
        lib.XFree.argtypes = [ctypes.c_void_p]
        lib.XSetErrorHandler.argtypes = [_ERROR_HANDLER_TYPE]
        lib.XSetErrorHandler(_ignore_errors)
        _lib = lib
    return _lib


class Display:
    """One connection to an X display, kept open for the polling."""

    def __init__(self, name):
        self._x = _x11()
        self._display = self._x.XOpenDisplay(name.encode())
        if not self._display:
            raise OSError(f"cannot open X display {name}")
        self._root = self._x.XDefaultRootWindow(self._display)

    def close(self):
        if self._display:
            self._x.XCloseDisplay(self._display)
            self._display = None

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def children(self, window):
        root, parent = ctypes.c_ulong(), ctypes.c_ulong()
        items, count = ctypes.POINTER(ctypes.c_ulong)(), ctypes.c_uint()
        if not self._x.XQueryTree(self._display, window, ctypes.byref(root), ctypes.byref(parent),
                                  ctypes.byref(items), ctypes.byref(count)):
            return []
        result = [items[i] for i in range(count.value)]
        if items:
            self._x.XFree(items)
        return result

    def attributes(self, window):
        attributes = _WindowAttributes()
        if not self._x.XGetWindowAttributes(self._display, window, ctypes.byref(attributes)):
            return None
        return attributes

    def window_class(self, window):
        hint = _ClassHint()
        if not self._x.XGetClassHint(self._display, window, ctypes.byref(hint)):
            return None
        names = []
        for pointer in (hint.res_name, hint.res_class):
            names.append(ctypes.string_at(pointer).decode(errors="replace") if pointer else "")
            if pointer:
                self._x.XFree(pointer)
        names = tuple(names)
        return names

    def tray_panel(self):
        """trayer's viewable panel window, or None."""
        for window in self.children(self._root):
            if self.window_class(window) == ("panel", "trayer"):
                attributes = self.attributes(window)
                if attributes and attributes.map_state == _IS_VIEWABLE:
                    return window
        return None

    def docked_icons(self, panel):
        """The icons docked in the panel: innermost viewable windows larger than 4x4."""
        icons = []
        pending = list(self.children(panel))
        while pending:
            window = pending.pop()
            attributes = self.attributes(window)
            if attributes is None or attributes.map_state != _IS_VIEWABLE:
                continue
            inner = self.children(window)
            if inner:
                pending.extend(inner)
            elif attributes.width > 4 and attributes.height > 4:
                icons.append(window)
        return icons

    def top_level_classes(self):
        """(res_name, res_class) of every viewable top-level window."""
        result = []
        for window in self.children(self._root):
            attributes = self.attributes(window)
            if attributes and attributes.map_state == _IS_VIEWABLE:
                result.append(self.window_class(window))
        return result
