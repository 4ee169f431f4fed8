"""A private desktop for one program: Xvfb on a free display, trayer as the tray host, and the
clipboard owned by xclip, the same pieces and options as tests/e2e/lib/desktop.sh.

Every process started here is registered with the Reaper, which ends them (by their ids, last
started first) when the desktop stops or the run is interrupted.
"""
import os
import signal
import subprocess
import time

import xwindows

TRAY_COMMAND = ["trayer", "--edge", "top", "--align", "right", "--widthtype", "request",
                "--height", "32", "--transparent", "false"]


def spawn(command, **options):
    """Starts a process in a session of its own: a Ctrl-C in the terminal then reaches only this
    script, which ends everything in order (an X server gone first would end the script's own
    connections to it, and with them the script, before the rest is cleaned up)."""
    return subprocess.Popen(command, start_new_session=True, stdin=subprocess.DEVNULL, **options)


class Reaper:
    """Remembers what was started and ends it: processes by id, and cleanup steps."""

    def __init__(self):
        self._entries = []  # ("process", Popen) or ("step", callable)

    def track(self, process):
        self._entries.append(("process", process))
        return process

    def on_cleanup(self, step):
        self._entries.append(("step", step))

    def forget(self, process):
        self._entries = [entry for entry in self._entries if entry[1] is not process]

    def cleanup(self):
        entries, self._entries = self._entries, []
        for kind, item in reversed(entries):
            try:
                if kind == "step":
                    item()
                else:
                    stop_process(item)
            except Exception as error:  # cleanup goes on whatever one step does
                print(f"[running] cleanup: {error}", flush=True)


def stop_process(process, grace=5.0):
    """SIGTERM, then SIGKILL after GRACE seconds, to one process we started."""
    if process.poll() is not None:
        return
    try:
        process.send_signal(signal.SIGTERM)
        process.wait(timeout=grace)
    except subprocess.TimeoutExpired:
        process.kill()
        try:
            process.wait(timeout=2)
        except subprocess.TimeoutExpired:
            pass
    except ProcessLookupError:
        pass


def stop_pid(pid, grace=5.0):
    """The same for a process we did not start directly (a program's helper), by its id."""
    try:
        os.kill(pid, signal.SIGTERM)
    except ProcessLookupError:
        return
    deadline = time.monotonic() + grace
    while time.monotonic() < deadline:
        if not _pid_running(pid):
            return
        time.sleep(0.05)
    try:
        os.kill(pid, signal.SIGKILL)
    except ProcessLookupError:
        pass


def _pid_running(pid):
    try:
        with open(f"/proc/{pid}/stat") as file:
            return file.read().rsplit(")", 1)[1].split()[0] not in ("Z", "X")
    except (OSError, IndexError):
        return False


def poll(seconds, condition, interval=0.1):
    """Calls CONDITION until it returns something true; that value, or None after SECONDS."""
    deadline = time.monotonic() + seconds
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() >= deadline:
            return None
        time.sleep(interval)


class DesktopError(RuntimeError):
    pass


class Desktop:
    def __init__(self, folder, reaper):
        self.folder = folder
        self.reaper = reaper
        self.display = None
        self.xvfb = None
        self.tray = None
        self.clip_owner = None
        self.x = None
        os.makedirs(folder, exist_ok=True)

    # --- the X server and the tray host -------------------------------------------------------

    def start(self):
        self._start_xvfb()
        self._start_tray()

    def _start_xvfb(self):
        read_end, write_end = os.pipe()
        log = open(os.path.join(self.folder, "xvfb.log"), "ab")
        self.xvfb = self.reaper.track(spawn(
            ["Xvfb", "-displayfd", str(write_end), "-noreset", "-nolisten", "tcp", "-screen", "0", "1024x768x24"],
            pass_fds=(write_end,), stdout=log, stderr=log))
        os.close(write_end)
        with os.fdopen(read_end) as pipe:
            number = pipe.readline().strip()  # written once the server accepts clients
        if not number:
            raise DesktopError(f"Xvfb reported no display (see {self.folder}/xvfb.log)")
        self.display = ":" + number
        self.x = poll(10, self._connect)
        if self.x is None:
            raise DesktopError(f"display {self.display} does not answer")
        self.reaper.on_cleanup(self.x.close)

    def _connect(self):
        try:
            return xwindows.Display(self.display)
        except OSError:
            return None

    def _start_tray(self):
        for attempt in (1, 2):
            log = open(os.path.join(self.folder, "trayer.log"), "ab")
            self.tray = self.reaper.track(spawn(
                TRAY_COMMAND, env=self.base_environment(), stdout=log, stderr=log))
            if poll(15, lambda: self.tray.poll() is None and self.x.tray_panel()):
                return
            stop_process(self.tray)
            self.reaper.forget(self.tray)
        raise DesktopError(f"the tray host did not show on {self.display} (see {self.folder}/trayer.log)")

    def base_environment(self):
        environment = dict(os.environ)
        environment["DISPLAY"] = self.display
        for name in ("WAYLAND_DISPLAY", "XAUTHORITY", "SESSION_MANAGER", "DBUS_SESSION_BUS_ADDRESS"):
            environment.pop(name, None)
        return environment

    def tray_panel(self):
        return self.x.tray_panel()

    def docked_icons(self):
        panel = self.x.tray_panel()
        return self.x.docked_icons(panel) if panel else []

    # --- the clipboard ------------------------------------------------------------------------

    def own_clipboard(self, path, target=None):
        """Starts xclip owning the CLIPBOARD with the file's bytes and waits until another client
        reads them back whole. Returns how long that first read took: while a program is reading
        the clipboard, the owner may keep other clients waiting."""
        previous = self.clip_owner
        command = ["xclip", "-selection", "clipboard", "-quiet"]
        if target:
            command += ["-t", target]
        self.clip_owner = self.reaper.track(spawn(
            command + ["-i", path], env=self.base_environment(),
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        if previous is not None:
            # It ends by itself when it loses the selection; this only makes sure.
            stop_process(previous, grace=2)
            self.reaper.forget(previous)
        started = time.monotonic()
        if not poll(90, lambda: self._clipboard_matches(path, target)):
            raise DesktopError(f"the clipboard of {self.display} does not hold {path} after 90 s")
        return time.monotonic() - started

    def _clipboard_matches(self, path, target):
        command = ["xclip", "-selection", "clipboard", "-o"] + (["-t", target] if target else [])
        try:
            result = subprocess.run(command, env=self.base_environment(), capture_output=True, timeout=60)
        except subprocess.TimeoutExpired:
            return False
        with open(path, "rb") as file:
            return result.returncode == 0 and result.stdout == file.read()

    def cycle_clipboard_owner(self, path, target=None):
        """A new owner without waiting: the soak changes the clipboard ten times a second."""
        previous = self.clip_owner
        command = ["xclip", "-selection", "clipboard", "-quiet"] + (["-t", target] if target else [])
        self.clip_owner = spawn(
            command + ["-i", path], env=self.base_environment(),
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.reaper.track(self.clip_owner)
        if previous is not None:
            self.reaper.forget(previous)
            return previous
        return None

    # --- the pointer ---------------------------------------------------------------------------

    def double_click(self, window, width, height):
        """A double click in the middle of WINDOW, as tests/e2e/lib/desktop.sh makes it: 80 ms
        between the two presses. The pointer moves there first, in the same run of xdotool, whose
        requests the server takes in order."""
        subprocess.run(["xdotool", "mousemove", "--window", str(window), str(width // 2), str(height // 2),
                        "click", "--repeat", "2", "--delay", "80", "1"],
                       env=self.base_environment(), timeout=10, check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def xvfb_cpu_seconds(self):
        import processes
        return processes.cpu_seconds(self.xvfb.pid)
