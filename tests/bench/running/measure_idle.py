"""The running Linux program's idle cost: the CPU it spends while the clipboard holds one unchanged
short text, five ticks a second, with the X server's share beside it.

CPU time is read per thread from /proc/PID/task/*/schedstat, in nanoseconds: the 10 ms ticks of
/proc/PID/stat cannot tell 0.01 % from 0.03 % in a minute. Wake-ups are the threads' context switches.
Each build runs alone on its own private display (Xvfb and trayer, as in the other measurements),
this build and, where given, the build it is compared with, one after the other, REPETITIONS times.
Beside them, the floor of this machine: a program that does nothing but wake five times a second
(compiled here with cc), measured the same way.

    python3 tests/bench/running/measure_idle.py --program PATH [--baseline PATH --baseline-label TEXT]
        [--seconds N] [--repetitions N] [--output docs/performance.md] [--json FILE]
"""
import argparse
import subprocess
import glob
import json
import os
import statistics
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import desktop  # noqa: E402
import programs  # noqa: E402

BEGIN = "<!-- BEGIN idle cost: written by tests/bench/running/measure_idle.py, do not edit by hand -->"
END = "<!-- END idle cost -->"
TARGET_PERCENT = 0.03
SETTLE_SECONDS = 5
SHORT_TEXT = b"serendipity"
FLOOR_LABEL = "floor: a program that only wakes 5 times a second"


def log(message):
    print(f"[idle] {message}", flush=True)


def thread_figures(pid):
    """(CPU nanoseconds, context switches) summed over the live threads of PID."""
    cpu = switches = 0
    for task in glob.glob(f"/proc/{pid}/task/*"):
        try:
            with open(f"{task}/schedstat") as file:
                cpu += int(file.read().split()[0])
            with open(f"{task}/status") as file:
                for line in file:
                    if line.startswith(("voluntary_ctxt_switches:", "nonvoluntary_ctxt_switches:")):
                        switches += int(line.split()[1])
        except (OSError, ValueError, IndexError):
            continue  # a thread that ended meanwhile
    return cpu, switches


def measure_once(path, label, seconds, folder):
    reaper = desktop.Reaper()
    try:
        desk = desktop.Desktop(os.path.join(folder, "desktop"), reaper)
        desk.start()
        program = programs.LinuxProgram(folder, reaper, path)
        program.prepare()
        program.set_up(desk, os.path.join(folder, "program"), f"idle-{time.monotonic_ns()}")
        program.start()
        if not desktop.poll(20, desk.docked_icons):
            raise RuntimeError(f"{label}: the icon did not dock (see {folder}/program/program.log)")
        text = os.path.join(folder, "short.txt")
        with open(text, "wb") as file:
            file.write(SHORT_TEXT)
        desk.own_clipboard(text)
        time.sleep(SETTLE_SECONDS)
        pid = program.process.pid
        started = time.monotonic()
        before, before_x = thread_figures(pid), thread_figures(desk.xvfb.pid)
        time.sleep(seconds)
        after, after_x = thread_figures(pid), thread_figures(desk.xvfb.pid)
        elapsed = time.monotonic() - started
        if program.has_crashed():
            raise RuntimeError(f"{label}: the program ended during the measurement")
        return {
            "seconds": elapsed,
            "cpu_percent": 100.0 * (after[0] - before[0]) / 1e9 / elapsed,
            "wakeups_per_second": (after[1] - before[1]) / elapsed,
            "x_cpu_percent": 100.0 * (after_x[0] - before_x[0]) / 1e9 / elapsed,
            "threads": len(glob.glob(f"/proc/{pid}/task/*")),
        }
    finally:
        reaper.cleanup()


FLOOR_SOURCE = "#include <unistd.h>\nint main(void) { for (;;) usleep(200000); }\n"


def measure_floor(seconds, folder):
    os.makedirs(folder, exist_ok=True)
    source, binary = os.path.join(folder, "floor.c"), os.path.join(folder, "floor")
    with open(source, "w") as file:
        file.write(FLOOR_SOURCE)
    subprocess.run(["cc", "-O2", source, "-o", binary], check=True)
    process = subprocess.Popen([binary])
    try:
        time.sleep(SETTLE_SECONDS)
        started, before = time.monotonic(), thread_figures(process.pid)
        time.sleep(seconds)
        after, elapsed = thread_figures(process.pid), time.monotonic() - started
    finally:
        process.kill()
        process.wait()
    return {"seconds": elapsed, "cpu_percent": 100.0 * (after[0] - before[0]) / 1e9 / elapsed,
            "wakeups_per_second": (after[1] - before[1]) / elapsed, "x_cpu_percent": 0.0, "threads": 1}


def summary(runs, key):
    values = [run[key] for run in runs]
    return statistics.median(values), min(values), max(values)


def section(results):
    lines = [BEGIN, "", "## Idle cost of the running Linux program", "",
             f"`{results['command']}`", "",
             f"- The clipboard holds one short text (\"{SHORT_TEXT.decode()}\", owned by xclip) and does not change; "
             f"after {SETTLE_SECONDS} s to settle, {results['seconds']} s measured, {results['repetitions']} times for each "
             "build, each build alone on its own Xvfb with trayer",
             "- CPU: the run time of every thread from /proc/PID/task/*/schedstat (nanoseconds), as % of one core; "
             "wake-ups: the threads' context switches a second; the X server's CPU the same way",
             f"- Target: at most {TARGET_PERCENT} % of one core. The floor shows what five wake-ups a second cost on "
             "this machine before any work is done (on a virtual machine the kernel's part is large)", "",
             "| build | CPU, % of one core | wake-ups a second | threads | X server's CPU | target |",
             "|---|---|---|---|---|---|"]
    for build in results["builds"]:
        runs = build["runs"]
        if not runs:
            lines.append(f"| {build['label']} | failed: {build.get('error', '?')} | | | | |")
            continue
        cpu, wakeups, x_cpu = (summary(runs, key) for key in ("cpu_percent", "wakeups_per_second", "x_cpu_percent"))
        verdict = "—" if build["path"] is None else ("met" if cpu[0] <= TARGET_PERCENT else "not met")
        lines.append(f"| {build['label']} | {cpu[0]:.4f} % ({cpu[1]:.4f}–{cpu[2]:.4f}) | "
                     f"{wakeups[0]:.1f} ({wakeups[1]:.1f}–{wakeups[2]:.1f}) | {runs[0]['threads']} | "
                     f"{x_cpu[0]:.4f} % ({x_cpu[1]:.4f}–{x_cpu[2]:.4f}) | {verdict} |")
    lines += ["", END]
    return "\n".join(lines) + "\n"


def replace_section(path, text):
    try:
        with open(path) as file:
            current = file.read()
    except FileNotFoundError:
        current = ""
    begin, end = current.find(BEGIN.split(":")[0]), current.find(END)
    if begin >= 0 and end > begin:
        current = current[:begin] + text + current[end + len(END):].lstrip("\n")
    else:
        current = current.rstrip("\n") + "\n\n" + text
    with open(path, "w") as file:
        file.write(current)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--program", required=True)
    parser.add_argument("--label", default="this build")
    parser.add_argument("--baseline")
    parser.add_argument("--baseline-label", default="the build before")
    parser.add_argument("--seconds", type=int, default=60)
    parser.add_argument("--repetitions", type=int, default=3)
    parser.add_argument("--output")
    parser.add_argument("--json")
    settings = parser.parse_args(argv)

    builds = [(settings.label, settings.program)]
    if settings.baseline:
        builds.append((settings.baseline_label, settings.baseline))
    builds.append((FLOOR_LABEL, None))
    results = {"command": "python3 tests/bench/running/measure_idle.py " + " ".join(argv),
               "seconds": settings.seconds, "repetitions": settings.repetitions,
               "builds": [{"label": label, "path": path, "runs": []} for label, path in builds]}
    failed = False
    with tempfile.TemporaryDirectory(prefix="vorda-idle-") as work:
        for repetition in range(settings.repetitions):
            for index, build in enumerate(results["builds"]):
                folder = os.path.join(work, f"{index}-{repetition}")
                try:
                    if build["path"] is None:
                        run = measure_floor(settings.seconds, folder)
                    else:
                        run = measure_once(build["path"], build["label"], settings.seconds, folder)
                except (RuntimeError, desktop.DesktopError, subprocess.CalledProcessError) as error:
                    log(f"FAILED: {error}")
                    build["error"] = str(error)
                    failed = True
                    continue
                build["runs"].append(run)
                log(f"{build['label']}: CPU {run['cpu_percent']:.4f} %, {run['wakeups_per_second']:.1f} wake-ups/s, "
                    f"X server {run['x_cpu_percent']:.4f} %")
    text = section(results)
    print(text)
    if settings.json:
        with open(settings.json, "w") as file:
            json.dump(results, file, indent=1)
    if settings.output:
        replace_section(settings.output, text)
        log(f"section written into {settings.output}")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
