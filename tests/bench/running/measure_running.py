#!/usr/bin/env python3
"""Measures the running programs, ours and two peers, each on a private Xvfb with trayer:
time to dock the tray icon, for ours the time to the first look-up of a text copied before the start, CPU and memory while the clipboard holds a short text and then a
10 MB text, and a soak of our two programs with the clipboard changing ten times a second.
Writes the raw results as JSON and a section of docs/performance.md between its markers.

    python3 tests/bench/running/measure_running.py \
        --linux-program build/native/src/platform/qt/vorda-dictionary \
        --windows-program build/win32/Dictionary.exe --output docs/performance.md \
        [--wine-arch win64] [--repetitions 3] [--hold-seconds 60] [--soak-seconds 600]

Exits 1 if a program crashed or a measurement could not be taken; missed targets are reported.
"""
import argparse
import json
import os
import shlex
import signal
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.dont_write_bytecode = True  # nothing written into the source tree

import clipboard_texts  # noqa: E402
import desktop  # noqa: E402
import machine  # noqa: E402
import processes  # noqa: E402
import programs  # noqa: E402
import report  # noqa: E402

DOCK_POLL_SECONDS = 0.005
DOCK_TIMEOUT_SECONDS = 60
# Ours start with the short text already copied and are timed to its first look-up.
LOOKUP_PROGRAMS = ("linux", "windows")
LOOKUP_CLICK_ATTEMPTS = 3
LOOKUP_ATTEMPT_SECONDS = 3
LOOKUP_TIMEOUT_SECONDS = 30


def log(message):
    print(f"[running {time.strftime('%H:%M:%S')}] {message}", flush=True)


class MeasurementError(RuntimeError):
    pass


# --- one program's start ---------------------------------------------------------------------

def start_and_time_dock(program, desk, folder, tag):
    """Starts the program and polls the tray host's panel until a new icon is viewable in it.
    The time runs from just before the program's process is created to the first poll that sees
    the icon; the poll costs well under a millisecond and runs every 5 ms. An icon is new when its
    window was not docked before the start. Returns the time in ms, the start's monotonic time
    and the new icon's window."""
    program.set_up(desk, folder, tag)
    # Counted after the set-up: Wine's warm-up may dock an icon of its own.
    before = set(desk.docked_icons())
    started = program.start()
    deadline = started + DOCK_TIMEOUT_SECONDS
    while True:
        new = set(desk.docked_icons()) - before
        if new:
            return (time.monotonic() - started) * 1000.0, started, min(new)
        if program.has_crashed():
            raise MeasurementError(f"{program.label} ended before its icon docked (see {folder}/program.log)")
        if time.monotonic() > deadline:
            raise MeasurementError(f"{program.label}'s icon did not dock within {DOCK_TIMEOUT_SECONDS} s")
        time.sleep(DOCK_POLL_SECONDS)


def looked_up_at(program, text, seconds):
    """The monotonic time the browser stand-in is first seen holding a look-up of TEXT (a plain
    word, which an address carries as it is, at its end), polled every 5 ms; None after SECONDS."""
    deadline = time.monotonic() + seconds
    while True:
        with open(program.browser_log, errors="replace") as file:
            if any(line.rstrip("\n").endswith(text) for line in file):
                return time.monotonic()
        if time.monotonic() >= deadline:
            return None
        time.sleep(DOCK_POLL_SECONDS)


def time_lookups(running, started, icon, text):
    """Double clicks on the icon as soon as it docks, as a user would, until the text copied before
    the start is looked up: the time from the start to the look-up reaching the browser stand-in.
    A click that opened nothing after a while is made again (Wine may drop a click on an icon it
    has only just docked). Then a later double click, on a text known by then, is timed from the
    click."""
    program, desk = running.program, running.desk
    attributes = desk.x.attributes(icon)
    if attributes is None:
        raise MeasurementError(f"{program.label}'s icon went away before the double click")
    size = (attributes.width, attributes.height)
    seen = None
    for attempt in range(1, LOOKUP_CLICK_ATTEMPTS + 1):
        clicked = time.monotonic()
        desk.double_click(icon, *size)
        seen = looked_up_at(program, text, LOOKUP_ATTEMPT_SECONDS)
        if seen:
            break
    seen = seen or looked_up_at(program, text, LOOKUP_TIMEOUT_SECONDS)
    if seen is None:
        raise MeasurementError(f"{program.label} did not look up the text copied before the start "
                               f"({LOOKUP_CLICK_ATTEMPTS} double clicks, then {LOOKUP_TIMEOUT_SECONDS} s)")
    running.result.update(lookup_ms=(seen - started) * 1000.0, lookup_click_ms=(seen - clicked) * 1000.0,
                          lookup_clicks=attempt)
    open(program.browser_log, "w").close()
    clicked = time.monotonic()
    desk.double_click(icon, *size)
    again = looked_up_at(program, text, LOOKUP_TIMEOUT_SECONDS)
    if again is None:
        raise MeasurementError(f"{program.label} did not look the text up again on a later double click")
    running.result["lookup_again_ms"] = (again - clicked) * 1000.0


class Running:
    """A program started on its own desktop, and what has been measured of it in this repetition."""

    def __init__(self, program, desk, folder):
        self.program = program
        self.desk = desk
        self.folder = folder
        self.result = {"program": program.name}

    def snapshot(self):
        return {
            "time": time.monotonic(),
            "own": processes.snapshot(self.program.own_pids()),
            "shared": processes.snapshot(self.program.shared_pids()),
            "xvfb_cpu_s": self.desk.xvfb_cpu_seconds() or 0.0,
        }

    def check_alive(self, when):
        if self.program.has_crashed():
            code = self.program.process.returncode
            raise MeasurementError(f"{self.program.label} ended (status {code}) {when} (see {self.folder}/program.log)")


def hold_figures(before, after):
    seconds = after["time"] - before["time"]
    figures = processes.hold_result(before["own"], after["own"], seconds)
    if before["shared"]["processes"] or after["shared"]["processes"]:
        figures["shared"] = processes.hold_result(before["shared"], after["shared"], seconds)
    figures["xvfb_cpu_percent"] = 100.0 * (after["xvfb_cpu_s"] - before["xvfb_cpu_s"]) / seconds
    return figures


def hold_phase(group, path, name, settings):
    """Every program's clipboard gets the file; after the settling time, the hold is measured."""
    marks = {}
    for running in group:
        marks[running.program.name] = running.snapshot()
        running.result[f"{name}_first_read_s"] = running.desk.own_clipboard(path)
    time.sleep(settings.settle_seconds)
    starts = {}
    for running in group:
        running.check_alive(f"after the clipboard changed to the {name} text")
        starts[running.program.name] = running.snapshot()
        reaction = hold_figures(marks[running.program.name], starts[running.program.name])
        running.result[f"{name}_reaction"] = {
            "cpu_s": reaction["cpu_s"],
            "windows": [" ".join(c or ("?",)) for c in running.desk.x.top_level_classes()],
        }
    time.sleep(settings.hold_seconds)
    for running in group:
        running.check_alive(f"while the clipboard held the {name} text")
        running.result[name] = hold_figures(starts[running.program.name], running.snapshot())
        log(f"  {running.program.name} {name}: CPU {running.result[name]['cpu_percent']:.3f} %, "
            f"RSS {running.result[name]['rss_kib']} KiB, peak {running.result[name]['hwm_kib']} KiB")


def measure_group(group_programs, repetition, settings, files, measured):
    """One repetition for a group of programs on their own desktops: starts one by one (each while
    the others are idle), then the holds side by side. What was measured is added to MEASURED
    even when a later step fails."""
    reaper = desktop.Reaper()
    settings.active_reapers.append(reaper)
    group = []
    try:
        for program in group_programs:
            program.reaper = reaper
            folder = os.path.join(settings.work_dir, f"run-{repetition}", program.name)
            desk = desktop.Desktop(folder, reaper)
            desk.start()
            running = Running(program, desk, folder)
            measured.append(running.result)
            reaper.on_cleanup(program.stop)
            if program.name in LOOKUP_PROGRAMS:
                desk.own_clipboard(files[0])
            running.result["dock_ms"], started, icon = start_and_time_dock(
                program, desk, folder, f"{program.name}-{repetition}")
            log(f"  {program.name}: docked in {running.result['dock_ms']:.0f} ms on {desk.display}")
            if program.name in LOOKUP_PROGRAMS:
                try:
                    time_lookups(running, started, icon, clipboard_texts.SHORT_TEXT)
                    log(f"  {program.name}: the text copied before the start looked up "
                        f"{running.result['lookup_ms']:.0f} ms after the start (double click "
                        f"{running.result['lookup_clicks']}, {running.result['lookup_click_ms']:.0f} ms after it), "
                        f"a later look-up {running.result['lookup_again_ms']:.0f} ms after its double click")
                except (MeasurementError, subprocess.SubprocessError) as error:
                    # The holds are still measured; the run reports the look-up as not measured.
                    running.result["lookup_error"] = str(error)
                    log(f"  FAILED: {error}")
            group.append(running)
            time.sleep(settings.settle_seconds)
            running.check_alive("after docking")
        hold_phase(group, files[0], "short", settings)
        hold_phase(group, files[1], "long", settings)
    finally:
        reaper.cleanup()
        settings.active_reapers.remove(reaper)


# --- the soak -------------------------------------------------------------------------------

def soak(soak_programs, settings, items):
    reaper = desktop.Reaper()
    settings.active_reapers.append(reaper)
    soaking = []
    old_owners = []
    try:
        for program in soak_programs:
            program.reaper = reaper
            folder = os.path.join(settings.work_dir, "soak", program.name)
            desk = desktop.Desktop(folder, reaper)
            desk.start()
            reaper.on_cleanup(program.stop)
            start_and_time_dock(program, desk, folder, f"{program.name}-soak")
            soaking.append({"running": Running(program, desk, folder), "samples": [], "alive": True})
        log(f"soak: {', '.join(p.name for p in soak_programs)} for {settings.soak_seconds:g} s, "
            f"the clipboard changing every {settings.soak_change_seconds * 1000:.0f} ms")
        started = time.monotonic()
        next_sample = started
        changes = 0
        while time.monotonic() - started < settings.soak_seconds:
            path, target, _ = items[changes % len(items)]
            for entry in soaking:
                previous = entry["running"].desk.cycle_clipboard_owner(path, target)
                if previous is not None:
                    old_owners.append((time.monotonic(), previous))
            changes += 1
            now = time.monotonic()
            old_owners = reap_owners(old_owners, now)
            if now >= next_sample:
                for entry in soaking:
                    sample_soak(entry, now - started)
                next_sample += settings.soak_sample_seconds
            time.sleep(max(0.0, started + changes * settings.soak_change_seconds - time.monotonic()))
        for entry in soaking:
            sample_soak(entry, time.monotonic() - started)
            entry["icon_docked_at_end"] = bool(entry["running"].desk.docked_icons())
        return [soak_result(entry, changes, settings) for entry in soaking]
    finally:
        for _, owner in old_owners:
            desktop.stop_process(owner, grace=1)
        reaper.cleanup()
        settings.active_reapers.remove(reaper)


def reap_owners(owners, now):
    """Old clipboard owners end when they lose the selection; one that lingers is ended."""
    kept = []
    for since, owner in owners:
        if owner.poll() is not None:
            continue
        if now - since > 3:
            desktop.stop_process(owner, grace=1)
            continue
        kept.append((since, owner))
    return kept


def sample_soak(entry, elapsed):
    program = entry["running"].program
    if program.has_crashed():
        entry["alive"] = False
        return
    own = processes.snapshot(program.own_pids())
    shared = processes.snapshot(program.shared_pids())
    entry["samples"].append({"t": round(elapsed, 2), "rss_kib": own["rss_kib"], "hwm_kib": own["hwm_kib"],
                             "shared_rss_kib": shared["rss_kib"]})


def soak_result(entry, changes, settings):
    program = entry["running"].program
    samples = entry["samples"]
    alive = entry["alive"] and not program.has_crashed()
    warm = [s for s in samples if s["t"] >= settings.soak_warmup_seconds]
    result = {"program": program.name, "alive": alive, "clipboard_changes": changes, "samples": samples,
              "icon_docked_at_end": entry.get("icon_docked_at_end", False),
              "seconds": settings.soak_seconds, "warmup_seconds": settings.soak_warmup_seconds}
    if warm:
        # A single sample depends on which text the program holds at that moment (up to 1 MB, twice
        # that as UTF-16), so growth is measured between the lowest samples of the first and the last
        # window of the run: what stays resident whatever the clipboard holds.
        window = max(settings.soak_seconds / 10, 4 * settings.soak_sample_seconds)
        first = [s for s in warm if s["t"] < warm[0]["t"] + window]
        last = [s for s in warm if s["t"] > warm[-1]["t"] - window]
        result.update({
            "floor_window_seconds": window,
            "rss_after_warmup_kib": min(s["rss_kib"] for s in first),
            "rss_end_kib": min(s["rss_kib"] for s in last),
            "rss_peak_sampled_kib": max(s["rss_kib"] for s in warm),
            "hwm_end_kib": warm[-1]["hwm_kib"],
        })
        result["growth_kib"] = result["rss_end_kib"] - result["rss_after_warmup_kib"]
        if any(s["shared_rss_kib"] for s in warm):
            result["shared_rss_after_warmup_kib"] = min(s["shared_rss_kib"] for s in first)
            result["shared_rss_end_kib"] = min(s["shared_rss_kib"] for s in last)
    return result


# --- the whole run ---------------------------------------------------------------------------

def parse_arguments(argv):
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--linux-program")
    parser.add_argument("--windows-program")
    parser.add_argument("--wine-arch", choices=("win32", "win64"), default="win32",
                        help="win64: a 64-bit --windows-program under 64-bit Wine, where 32-bit Wine cannot run")
    parser.add_argument("--report-only", metavar="JSON",
                        help="measure nothing: write the section from the raw results of an earlier run")
    parser.add_argument("--output", default="docs/performance.md", help="the document whose section is written")
    parser.add_argument("--json", default="build/bench-logs/running.json")
    parser.add_argument("--work-dir", default="build/bench-running")
    parser.add_argument("--repetitions", type=int, default=3)
    parser.add_argument("--hold-seconds", type=float, default=60)
    parser.add_argument("--settle-seconds", type=float, default=5)
    parser.add_argument("--soak-seconds", type=float, default=600, help="0 leaves the soak out")
    parser.add_argument("--soak-warmup-seconds", type=float, default=30)
    parser.add_argument("--soak-change-seconds", type=float, default=0.1)
    parser.add_argument("--soak-sample-seconds", type=float, default=2)
    parser.add_argument("--programs", default="linux,windows,goldendict,copyq",
                        help="a comma-separated subset, for trying the script")
    parser.add_argument("--one-at-a-time", action="store_true",
                        help="measure each program alone instead of the four side by side")
    settings = parser.parse_args(argv)
    if settings.soak_seconds and settings.soak_seconds <= settings.soak_warmup_seconds:
        settings.soak_warmup_seconds = settings.soak_seconds / 3
    settings.active_reapers = []
    if not settings.report_only and not (settings.linux_program and settings.windows_program):
        parser.error("--linux-program and --windows-program are needed (or --report-only)")
    return settings


def make_programs(settings):
    work = os.path.abspath(settings.work_dir)
    every = {
        "linux": programs.LinuxProgram(work, None, settings.linux_program),
        "windows": programs.WindowsProgram(work, None, settings.windows_program, settings.wine_arch),
        "goldendict": programs.GoldenDict(work, None),
        "copyq": programs.CopyQ(work, None),
    }
    chosen = [name.strip() for name in settings.programs.split(",") if name.strip()]
    unknown = [name for name in chosen if name not in every]
    if unknown:
        raise SystemExit(f"unknown program(s): {', '.join(unknown)}")
    return [every[name] for name in chosen]


def main(argv):
    settings = parse_arguments(argv)
    if settings.report_only:
        with open(settings.report_only) as file:
            report.replace_section(settings.output, report.section(json.load(file)))
        log(f"section written into {settings.output} from {settings.report_only}")
        return 0
    settings.work_dir = os.path.abspath(settings.work_dir)
    command = "python3 tests/bench/running/measure_running.py " + " ".join(shlex.quote(a) for a in argv)

    def interrupted(signum, frame):
        raise KeyboardInterrupt(f"signal {signum}")
    signal.signal(signal.SIGINT, interrupted)
    signal.signal(signal.SIGTERM, interrupted)
    signal.signal(signal.SIGHUP, interrupted)

    results = {"machine": machine.describe(), "command": command, "settings": {
        k: v for k, v in vars(settings).items() if k != "active_reapers"}, "repetitions": [], "errors": []}
    all_programs = make_programs(settings)
    results["programs"] = {p.name: {"label": p.label, "version": p.version()} for p in all_programs}
    results["windows_exe_bytes"] = os.path.getsize(settings.windows_program)
    failed = False
    try:
        os.makedirs(settings.work_dir, exist_ok=True)
        files = clipboard_texts.hold_files(os.path.join(settings.work_dir, "texts"))
        for program in all_programs:
            log(f"preparing {program.name}")
            program.prepare()
        groups = [[p] for p in all_programs] if settings.one_at_a_time else [all_programs]
        for repetition in range(1, settings.repetitions + 1):
            log(f"repetition {repetition} of {settings.repetitions}")
            measured = []
            for group in groups:
                # The order of the starts turns each repetition, so none always starts first.
                shift = (repetition - 1) % len(group)
                ordered = group[shift:] + group[:shift]
                try:
                    measure_group(ordered, repetition, settings, files, measured)
                except (MeasurementError, desktop.DesktopError, RuntimeError) as error:
                    log(f"FAILED: {error}")
                    results["errors"].append(f"repetition {repetition}: {error}")
                    failed = True
                for entry in measured:
                    if "lookup_error" in entry:
                        results["errors"].append(f"repetition {repetition}: {entry.pop('lookup_error')}")
                        failed = True
            results["repetitions"].append(measured)
        soak_programs = [p for p in all_programs if p.name in ("linux", "windows")]
        if settings.soak_seconds > 0 and soak_programs:
            try:
                results["soak"] = soak(soak_programs, settings,
                                       clipboard_texts.soak_items(os.path.join(settings.work_dir, "texts")))
                results["soak_items"] = [d for _, _, d in clipboard_texts.soak_items(
                    os.path.join(settings.work_dir, "texts"))]
                for entry in results["soak"]:
                    if not entry["alive"]:
                        results["errors"].append(f"soak: {entry['program']} ended during the soak")
                        failed = True
                    elif "growth_kib" not in entry:
                        results["errors"].append(f"soak: no memory sample of {entry['program']} after the warm-up")
                        failed = True
            except (MeasurementError, desktop.DesktopError, RuntimeError) as error:
                log(f"FAILED: soak: {error}")
                results["errors"].append(f"soak: {error}")
                failed = True
    except KeyboardInterrupt as error:
        log(f"interrupted ({error}); cleaning up")
        for reaper in list(settings.active_reapers):
            reaper.cleanup()
        return 130
    finally:
        for reaper in list(settings.active_reapers):
            reaper.cleanup()

    os.makedirs(os.path.dirname(os.path.abspath(settings.json)), exist_ok=True)
    with open(settings.json, "w") as file:
        json.dump(results, file, indent=1)
    log(f"raw results in {settings.json}")
    section = report.section(results)
    report.replace_section(settings.output, section)
    log(f"section written into {settings.output}")
    if failed:
        for error in results["errors"]:
            log(f"error: {error}")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
