"""The machine and the sources a run measured, described before anything starts."""
import datetime
import os
import platform
import re
import subprocess


def _run(*command):
    try:
        return subprocess.run(command, capture_output=True, text=True, timeout=30).stdout
    except (OSError, subprocess.TimeoutExpired):
        return ""


def describe():
    with open("/proc/cpuinfo") as file:
        cpuinfo = file.read()
    with open("/proc/meminfo") as file:
        meminfo = file.read()
    with open("/proc/loadavg") as file:
        load = " ".join(file.read().split()[:3])
    model = re.search(r"^model name\s*:\s*(.+)$", cpuinfo, re.M)
    memory = re.search(r"^MemTotal:\s*(\d+) kB", meminfo, re.M)
    commit = _run("git", "rev-parse", "--short", "HEAD").strip() or "unknown"
    if commit != "unknown":
        status = _run("git", "status", "--porcelain", "--untracked-files=no")
        changed = [line[3:] for line in status.splitlines() if line.strip()]
        if changed:
            commit += " with uncommitted changes to " + ", ".join(changed)
    return {
        "date": datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%d %H:%M UTC"),
        "commit": commit,
        "cpu": model.group(1).strip() if model else "unknown",
        "cores": os.cpu_count(),
        "memory": f"{int(memory.group(1)) / 1024 / 1024:.1f} GiB" if memory else "unknown",
        "kernel": f"{platform.system()} {platform.release()}",
        "load": load,
        "xvfb": _dpkg("xvfb"),
        "trayer": _dpkg("trayer"),
        "xclip": _dpkg("xclip"),
    }


def _dpkg(package):
    return _run("dpkg-query", "-W", "-f=${Version}", package).strip() or None
