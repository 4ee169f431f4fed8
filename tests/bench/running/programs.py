"""The four programs measured: how each is set up in a private home, started, counted and ended.

- "linux": our Qt program. It writes its autostart entry into the private XDG_CONFIG_DIRS.
- "windows": our Dictionary.exe under Wine, in a prefix of our own made by
  tests/e2e/win32/prepare_prefix.sh: 32-bit, or 64-bit with the 64-bit build where 32-bit Wine
  cannot run. Before the program starts, the prefix's wineserver is already
  running (persistent) and its services are up, as on a desktop where Wine has run before; explorer.exe, which hosts Wine's tray icons, starts with the program. The program's own
  process is Dictionary.exe; every other process of the prefix is Wine's shared part.
- "goldendict": clipboard scanning on (the scan popup on at start, and tracking of CLIPBOARD
  changes), starting to the tray; its online sources are turned off, so a scan looks up nothing
  on the network.
- "copyq": its defaults (tray icon, main window hidden, clipboard monitoring on); it runs a server
  and a clipboard monitor process.

All of them run with no session bus, so each docks through XEmbed in trayer, and with a home and
XDG folders of their own under the work folder. Every address they hand to a browser is written to
browser.log in their folder instead, by a stand-in first on their PATH.
"""
import os
import shutil
import subprocess
import time
import xml.etree.ElementTree as ElementTree

import desktop
import processes

TAG = "VORDA_BENCH_PROGRAM"  # marks every process a program starts, wherever it ends up
HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE_DIR = os.path.abspath(os.path.join(HERE, "..", "..", ".."))

WINDOWS_PROGRAM_PATH = r"C:\Program Files\Vorda Dictionary\Dictionary.exe"
# Debian's wine takes the 32-bit loader whenever it is installed; these take the 64-bit one.
WINE64_WRAPPERS = os.path.join(SOURCE_DIR, "tests", "e2e", "win32", "wine64")
BROWSER_NAMES = ("xdg-open", "x-www-browser", "sensible-browser", "firefox", "www-browser")


def install_browser_stand_in(environment, folder):
    """The same stand-in as tests/e2e/lib/desktop.sh's: every name a program may use to open an
    address appends the address to FOLDER/browser.log. Returns that log's path."""
    bin_dir = os.path.join(folder, "bin")
    log = os.path.join(folder, "browser.log")
    os.makedirs(bin_dir, exist_ok=True)
    open(log, "w").close()
    script = os.path.join(bin_dir, "xdg-open")
    with open(script, "w") as file:
        file.write(f"#!/bin/sh\nfor address in \"$@\"; do printf '%s\\n' \"$address\" >> '{log}'; done\n")
    os.chmod(script, 0o755)
    for name in BROWSER_NAMES[1:]:
        link = os.path.join(bin_dir, name)
        if not os.path.lexists(link):
            os.symlink("xdg-open", link)
    environment["PATH"] = bin_dir + os.pathsep + environment.get("PATH", os.defpath)
    environment["BROWSER"] = script
    return log


def private_environment(base, home, tag):
    environment = dict(base)
    config_dirs = os.path.join(home, "xdg")
    runtime = os.path.join(home, "runtime")
    os.makedirs(os.path.join(config_dirs, "autostart"), exist_ok=True)
    os.makedirs(runtime, exist_ok=True)
    os.chmod(runtime, 0o700)
    environment.update({
        "HOME": home,
        "XDG_CONFIG_HOME": os.path.join(home, ".config"),
        "XDG_DATA_HOME": os.path.join(home, ".local", "share"),
        "XDG_CACHE_HOME": os.path.join(home, ".cache"),
        "XDG_STATE_HOME": os.path.join(home, ".local", "state"),
        "XDG_CONFIG_DIRS": config_dirs,
        "XDG_RUNTIME_DIR": runtime,
        # No session bus: every program docks through XEmbed in the private trayer.
        "DBUS_SESSION_BUS_ADDRESS": "unix:path=" + os.path.join(home, "no-session-bus"),
        TAG: tag,
    })
    return environment


def dpkg_version(package):
    try:
        result = subprocess.run(["dpkg-query", "-W", "-f=${Version}", package], capture_output=True, text=True)
        return result.stdout.strip() or None
    except OSError:
        return None


class Program:
    """One program on one desktop. Subclasses say how to start it and which processes are its."""

    name = ""
    label = ""

    def __init__(self, work_dir, reaper):
        self.work_dir = work_dir
        self.reaper = reaper
        self.template_home = os.path.join(work_dir, "homes", self.name)
        self.process = None
        self.environment = None
        self.tag = None

    # Once a run: a private home with the settings the program is measured with.
    def prepare(self):
        shutil.rmtree(self.template_home, ignore_errors=True)
        os.makedirs(self.template_home)

    def version(self):
        return None

    def command(self):
        raise NotImplementedError

    def before_start(self, desk):
        """Whatever must be running before the program's start is timed."""

    def set_up(self, desk, folder, tag):
        """A fresh copy of the prepared home, the environment, and whatever must run beforehand."""
        home = os.path.join(folder, "home")
        shutil.rmtree(home, ignore_errors=True)
        shutil.copytree(self.template_home, home, symlinks=True)
        self.folder, self.home, self.tag = folder, home, tag
        self.environment = private_environment(desk.base_environment(), home, tag)
        self.browser_log = install_browser_stand_in(self.environment, folder)
        self.extend_environment(self.environment, home)
        self.before_start(desk)

    def start(self):
        """Starts the program; returns the monotonic time just before its process was created."""
        log = open(os.path.join(self.folder, "program.log"), "ab")
        started = time.monotonic()
        self.process = self.reaper.track(desktop.spawn(self.command(), env=self.environment, stdout=log,
                                                       stderr=log, cwd=self.home))
        return started

    def extend_environment(self, environment, home):
        pass

    def own_pids(self):
        """The program's processes, the one started first."""
        pids = processes.pids_with_variable(TAG, self.tag) if self.tag else []
        if self.process and processes.alive(self.process.pid) and self.process.pid not in pids:
            pids.insert(0, self.process.pid)
        return pids

    def shared_pids(self):
        """Processes that serve this program and others alike (Wine's); none for native programs."""
        return []

    def has_crashed(self):
        return self.process is not None and self.process.poll() is not None

    def stop(self):
        """Ends the program and every process of it, by their ids."""
        if self.process is None:
            return
        helpers = [pid for pid in self.own_pids() if pid != self.process.pid]
        desktop.stop_process(self.process)
        self.reaper.forget(self.process)
        for pid in helpers:
            desktop.stop_pid(pid)
        for pid in self.own_pids():  # anything that appeared meanwhile
            desktop.stop_pid(pid)


class LinuxProgram(Program):
    name = "linux"
    label = "ours, Linux (Qt)"

    def __init__(self, work_dir, reaper, path):
        super().__init__(work_dir, reaper)
        self.path = os.path.abspath(path)

    def command(self):
        return [self.path]

    def version(self):
        return "Qt " + (dpkg_version("libqt6core6") or "?")


class WindowsProgram(Program):
    name = "windows"
    label = "ours, Dictionary.exe under Wine"

    def __init__(self, work_dir, reaper, path, arch="win32"):
        super().__init__(work_dir, reaper)
        self.path = os.path.abspath(path)
        self.arch = arch
        self.wine_work = os.path.join(work_dir, "wine")
        self.prefix = os.path.join(self.wine_work, "prefix")
        self.wineserver = None

    def wine_environment(self, base):
        environment = dict(base)
        environment.update({
            "WINEPREFIX": self.prefix,
            "WINEARCH": self.arch,
            "VORDA_WINE_ARCH": self.arch,  # read by prepare_prefix.sh
            "WINEDEBUG": "-all",
            "WINEDLLOVERRIDES": "mscoree,mshtml=",  # no prompts to install Mono or Gecko
        })
        if self.arch == "win64" and not environment.get("PATH", "").startswith(WINE64_WRAPPERS + os.pathsep):
            environment["PATH"] = WINE64_WRAPPERS + os.pathsep + environment.get("PATH", os.defpath)
        return environment

    def prepare(self):
        super().prepare()
        # The end-to-end tests' own preparation: a fresh prefix with the program in a folder whose
        # path has spaces. It runs wineboot on a display of its own and stops its wineserver.
        environment = self.wine_environment(private_environment(os.environ, self.template_home, "prepare"))
        script = os.path.join(SOURCE_DIR, "tests", "e2e", "win32", "prepare_prefix.sh")
        log_path = os.path.join(self.work_dir, "prepare-prefix.log")
        with open(log_path, "wb") as log:
            process = desktop.spawn(["bash", script, self.wine_work, self.path], env=environment,
                                    stdout=log, stderr=log)
            try:
                status = process.wait(timeout=400)
            except BaseException:
                desktop.stop_process(process, grace=30)  # its own trap stops its display and wineserver
                raise
        if status != 0:
            raise RuntimeError(f"the Wine prefix could not be prepared (see {log_path})")

    def version(self):
        try:
            return subprocess.run(["wine", "--version"], capture_output=True, text=True,
                                  env=self.wine_environment(os.environ)).stdout.strip()
        except OSError:
            return None

    def extend_environment(self, environment, home):
        environment.update(self.wine_environment(environment))

    def before_start(self, desk):
        # A warm Wine: a persistent wineserver, and the prefix's services started by a first small
        # program. Not wineboot: it would also start whatever the Run key names, and the program
        # puts itself there.
        subprocess.run(["wineserver", "-p"], env=self.environment, check=True, timeout=60, start_new_session=True)
        self.reaper.on_cleanup(self.kill_wineserver)
        result = subprocess.run(["wine", "reg", "query", r"HKCU\Software"], env=self.environment, timeout=120,
                                start_new_session=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if result.returncode != 0:
            raise RuntimeError("the warm-up of the Wine prefix failed")
        # Wine's first hand-over of an address starts its browser bridge cold; done once here, the
        # first look-up times the program, not that.
        subprocess.run(["wine", "winebrowser", "http://warm.example/"], env=self.environment, timeout=120,
                       start_new_session=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if not desktop.poll(20, lambda: "http://warm.example/" in open(self.browser_log).read().split()):
            raise RuntimeError("Wine hands no address to the browser stand-in")
        open(self.browser_log, "w").close()
        # The services it started may still be settling; let them go quiet.
        time.sleep(2)
        if desk.docked_icons():
            raise RuntimeError("an icon docked during Wine's warm-up, before the program started")

    def command(self):
        return ["wine", WINDOWS_PROGRAM_PATH]

    def prefix_pids(self):
        return processes.pids_with_variable("WINEPREFIX", self.prefix)

    def own_pids(self):
        if self.process and processes.alive(self.process.pid):
            return [self.process.pid]
        return []

    def shared_pids(self):
        mine = self.process.pid if self.process else None
        return [pid for pid in self.prefix_pids() if pid != mine]

    def kill_wineserver(self):
        if not os.path.isdir(self.prefix):
            return
        environment = self.wine_environment(os.environ)
        subprocess.run(["wineserver", "-k"], env=environment, timeout=60,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        desktop.poll(10, lambda: not self.prefix_pids())
        for pid in self.prefix_pids():
            desktop.stop_pid(pid)

    def stop(self):
        if self.process is None:
            return
        desktop.stop_process(self.process)
        self.reaper.forget(self.process)
        self.kill_wineserver()


class GoldenDict(Program):
    name = "goldendict"
    label = "GoldenDict"

    def version(self):
        return dpkg_version("goldendict")

    def command(self):
        return ["goldendict"]

    def prepare(self):
        """Lets GoldenDict write its default configuration once, then turns scanning on."""
        super().prepare()
        reaper = desktop.Reaper()
        try:
            desk = desktop.Desktop(os.path.join(self.work_dir, "prepare-goldendict"), reaper)
            desk.start()
            environment = private_environment(desk.base_environment(), self.template_home, "prepare")
            config = os.path.join(self.template_home, ".config", "goldendict", "config")
            log = open(os.path.join(desk.folder, "program.log"), "ab")
            process = reaper.track(desktop.spawn(["goldendict"], env=environment, stdout=log, stderr=log))
            if not desktop.poll(30, lambda: os.path.exists(config) and os.path.getsize(config) > 0 and
                                desk.docked_icons()):
                raise RuntimeError("GoldenDict wrote no configuration within 30 s")
            desktop.stop_process(process)
            for pid in processes.pids_with_variable(TAG, "prepare"):
                desktop.stop_pid(pid)
        finally:
            reaper.cleanup()
        tree = ElementTree.parse(config)
        preferences = tree.getroot().find("preferences")
        settings = {
            "enableTrayIcon": "1",
            "startToTray": "1",            # the tray icon only, no main window
            "enableScanPopup": "1",
            "startWithScanPopupOn": "1",   # scanning on from the start
            "trackClipboardChanges": "1",  # scan CLIPBOARD changes, not only the selection
            "checkForNewReleases": "0",
        }
        for key, value in settings.items():
            element = preferences.find(key)
            if element is None:
                raise RuntimeError(f"GoldenDict's configuration has no preferences/{key}")
            element.text = value
        for source in tree.getroot().iter():
            if source.tag in ("mediawiki", "website", "dictserver", "program") and "enabled" in source.attrib:
                source.set("enabled", "0")
        tree.write(config)


class CopyQ(Program):
    name = "copyq"
    label = "CopyQ"

    def version(self):
        return dpkg_version("copyq")

    def command(self):
        return ["copyq"]
