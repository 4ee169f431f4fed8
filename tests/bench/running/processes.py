"""What /proc says about a group of processes: CPU time, resident memory, who belongs to a program.

A program's processes are found by a variable in their starting environment (every process it
starts inherits it, even one that leaves the process tree), or for Wine by the prefix.
CPU time is utime + stime of each live process plus cutime + cstime (its children that have ended
and been waited for), so a helper process that comes and goes during a hold is still counted.
"""
import os

CLOCK_TICKS = os.sysconf("SC_CLK_TCK")


def environment(pid):
    try:
        with open(f"/proc/{pid}/environ", "rb") as file:
            data = file.read()
    except OSError:
        return {}
    result = {}
    for item in data.split(b"\0"):
        key, sep, value = item.partition(b"=")
        if sep:
            result[key.decode(errors="replace")] = value.decode(errors="replace")
    return result


def all_pids():
    return [int(name) for name in os.listdir("/proc") if name.isdigit()]


def pids_with_variable(name, value):
    """Every live process whose starting environment has NAME=VALUE."""
    return sorted(pid for pid in all_pids() if pid != os.getpid() and environment(pid).get(name) == value and alive(pid))


def _stat_fields(pid):
    with open(f"/proc/{pid}/stat") as file:
        text = file.read()
    # The command name is in parentheses and may hold spaces.
    return text[text.rindex(")") + 2:].split()


def state(pid):
    try:
        return _stat_fields(pid)[0]
    except (OSError, IndexError):
        return None


def alive(pid):
    return state(pid) not in (None, "Z", "X")


def command_name(pid):
    try:
        with open(f"/proc/{pid}/comm") as file:
            return file.read().strip()
    except OSError:
        return "?"


def cpu_seconds(pid):
    """utime + stime + cutime + cstime of one process, in seconds; None if it is gone."""
    try:
        fields = _stat_fields(pid)
    except OSError:
        return None
    # After the state: ppid pgrp session tty tpgid flags minflt cminflt majflt cmajflt utime stime cutime cstime
    ticks = sum(int(fields[i]) for i in (11, 12, 13, 14))
    return ticks / CLOCK_TICKS


def memory_kib(pid):
    """(VmRSS, VmHWM) in KiB; None if the process is gone."""
    rss = hwm = None
    try:
        with open(f"/proc/{pid}/status") as file:
            for line in file:
                if line.startswith("VmRSS:"):
                    rss = int(line.split()[1])
                elif line.startswith("VmHWM:"):
                    hwm = int(line.split()[1])
    except OSError:
        return None
    if rss is None or hwm is None:
        return None
    return rss, hwm


def snapshot(pids):
    """CPU seconds, RSS and HWM (KiB) summed over PIDS, and which of them were read."""
    total_cpu = 0.0
    rss = hwm = 0
    read = {}
    for pid in pids:
        cpu = cpu_seconds(pid)
        memory = memory_kib(pid)
        if cpu is None or memory is None:
            continue
        total_cpu += cpu
        rss += memory[0]
        hwm += memory[1]
        read[pid] = {"name": command_name(pid), "cpu_s": cpu, "rss_kib": memory[0], "hwm_kib": memory[1]}
    return {"cpu_s": total_cpu, "rss_kib": rss, "hwm_kib": hwm, "processes": read}


def hold_result(before, after, seconds):
    """CPU % of one core between two snapshots of the same group, and its memory at the end.

    A process in the later snapshot but not the earlier one started during the hold: all its CPU
    time counts. One that ended during the hold is missed unless its parent waited for it, in which
    case its time is in the parent's cutime/cstime."""
    used = 0.0
    for pid, now in after["processes"].items():
        used += now["cpu_s"] - before["processes"].get(pid, {"cpu_s": 0.0})["cpu_s"]
    return {
        "seconds": seconds,
        "cpu_s": used,
        "cpu_percent": 100.0 * used / seconds if seconds > 0 else None,
        "rss_kib": after["rss_kib"],
        "hwm_kib": after["hwm_kib"],
        "processes": sorted({info["name"] for info in after["processes"].values()}),
        "process_count": len(after["processes"]),
    }
