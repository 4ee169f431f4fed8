"""The markdown section of docs/performance.md made from a run's raw results."""
import os
import statistics

BEGIN = "<!-- BEGIN running programs: written by tests/bench/running/measure_running.py, do not edit by hand -->"
BEGIN_PREFIX = "<!-- BEGIN running programs"
END = "<!-- END running programs -->"

TARGET_CPU_SHORT = 0.1
TARGET_CPU_LONG = 1.0
TARGET_DOCK_MS = 300
TARGET_LINUX_LOOKUP_MS = 1000
TARGET_FIRST_LOOKUP_EXTRA_MS = 2000
TARGET_EXE_BYTES = 400 * 1024
TARGET_SOAK_GROWTH_KIB = 1024

ORDER = ["linux", "windows", "goldendict", "copyq"]
PEERS = ["goldendict", "copyq"]


# --- figures ---------------------------------------------------------------------------------

def values(results, program, path):
    """Every repetition's figure at PATH (a tuple of keys) for PROGRAM."""
    found = []
    for repetition in results["repetitions"]:
        for entry in repetition:
            if entry["program"] != program:
                continue
            value = entry
            for key in path:
                value = value.get(key) if isinstance(value, dict) else None
            if isinstance(value, (int, float)):
                found.append(value)
    return found


def median(results, program, path):
    found = values(results, program, path)
    return statistics.median(found) if found else None


def spread(found, show):
    if not found:
        return "not measured"
    text = show(statistics.median(found))
    if len(found) > 1:
        text += f" ({show(min(found))}–{show(max(found))})"
    return text


def percent(value):
    return f"{value:.3f} %"


def mib(kib):
    return f"{kib / 1024:.1f} MiB"


def milliseconds(value):
    return f"{value:.0f} ms"


def seconds(value):
    return f"{value:.2f} s"


def ratio(ours, peer):
    if ours is None or peer is None:
        return "not measured"
    if peer == 0:
        return "peer used none" if ours else "both none"
    return f"{ours / peer:.2f}"


# --- the section -----------------------------------------------------------------------------

def section(results):
    lines = [BEGIN, "## The running programs", ""]
    lines += where_from(results)
    lines += per_program(results)
    lines += lookups(results)
    lines += reactions(results)
    lines += ratios(results)
    lines += targets(results)
    lines += soak(results)
    if results.get("errors"):
        lines += ["### What could not be measured", ""]
        lines += [f"- {error}" for error in results["errors"]] + [""]
    lines.append(END)
    return "\n".join(lines) + "\n"


def where_from(results):
    m, s, p = results["machine"], results["settings"], results["programs"]
    versions = []
    if "linux" in p:
        versions.append(f"ours on Linux with {p['linux']['version']}")
    if "windows" in p:
        if s.get("wine_arch") == "win64":
            versions.append(f"Dictionary.exe built for 64-bit Windows, under {p['windows']['version']} "
                            "(64-bit prefix, the road for a machine that cannot run 32-bit Wine)")
        else:
            versions.append(f"Dictionary.exe under {p['windows']['version']} (32-bit prefix)")
    for name in PEERS:
        if name in p:
            versions.append(f"{p[name]['label']} {p[name]['version']}")
    order = "one at a time" if s["one_at_a_time"] else "side by side, each on its own display"
    lines = [
        "### Where these figures come from",
        "",
        f"- Command: `{results['command']}` (writes this section; the rest of the file is kept)",
        f"- Date: {m['date']}; commit {m['commit']}",
        f"- CPU: {m['cpu']}, {m['cores']} cores; memory {m['memory']}; kernel {m['kernel']}",
        f"- Load average at the start: {m['load']} (the machine may be shared; CPU times are counted per "
        "process, so they leave out the time a process waits for a core)",
        f"- Programs: {'; '.join(versions)}; Xvfb {m['xvfb']}, trayer {m['trayer']}, xclip {m['xclip']}",
        f"- Each program on a private Xvfb (1024x768x24) with trayer as the tray host, its own home and XDG "
        "folders, and no session bus (so every one docks through XEmbed)",
        f"- Repetitions: {s['repetitions']}; figures are medians with the lowest and highest in brackets",
        "- Time to dock: from just before the program's process is created to the first look at the X "
        "window tree that finds a new viewable window larger than 4x4 pixels inside trayer's panel; "
        "the tree is read through libX11 every 5 ms (a look costs well under a millisecond). The four "
        "programs start one after another, each while the others sit idle; ours with the short text already "
        "copied on their display (to time its look-up, below), the peers with an empty clipboard.",
        f"- Holds: the clipboard is owned by xclip; after a change, {s['settle_seconds']:g} s to settle, then "
        f"{s['hold_seconds']:g} s measured with the short text (\"serendipity\") and again with 10,000,000 "
        "bytes of words. CPU is utime + stime (+ cutime + cstime) from /proc/PID/stat over the hold, summed "
        "over the program's processes, as % of one core; memory is VmRSS at the end of the hold and VmHWM "
        "(the peak since the start), summed over the program's processes",
        f"- The programs are held {order}: CPU time is per process, so a neighbour does not add to it, "
        "and four at once take a quarter of the time",
        "- Processes counted: our Linux program's one; Dictionary.exe's own process, and apart from it "
        "Wine's shared processes of the prefix (wineserver, services.exe, explorer.exe, which hosts Wine's "
        "tray icons, winedevice.exe, plugplay.exe, svchost.exe, rpcss.exe), which serve every Windows program; "
        "GoldenDict's process; CopyQ's server and its clipboard monitor",
        "- Another client's first read: right after xclip takes the clipboard, `xclip -o` reads it back "
        "whole, while the program on that display reacts to the same change. xclip hands a large text over "
        "in pieces; waits of about 60 s have been seen with ours and with the peers alike, so a long wait "
        "there is the owner's (xclip's) and not by itself a fault of the program",
        "- Wine is warm: the prefix's wineserver (persistent) and services run before the program starts; "
        "explorer.exe starts with the program and is in its time to dock",
        "- GoldenDict: clipboard scanning on (scan popup on at start, tracking CLIPBOARD changes), started "
        "to the tray, no dictionaries and its online sources off. CopyQ: its defaults (clipboard monitoring "
        "on, main window hidden)",
        "",
    ]
    return lines


def per_program(results):
    lines = [
        "### Each program (medians, lowest–highest in brackets)",
        "",
        "| program | time to dock | CPU, short text | CPU, 10 MB text | resident at end / peak, short text "
        "| resident at end / peak, 10 MB text | processes | X server's CPU, short / 10 MB "
        "| another client's first read after the change, short / 10 MB |",
        "|---|---|---|---|---|---|---|---|---|",
    ]
    names = [n for n in ORDER if n in results["programs"]]
    for name in names:
        label = results["programs"][name]["label"]
        lines.append(row(results, name, label, ()))
        if name == "windows":
            lines.append(row(results, name, "Wine's shared processes (for every Windows program)", ("shared",)))
    lines.append("")
    return lines


def row(results, name, label, prefix):
    def figure(hold, key, show):
        return spread(values(results, name, (hold,) + prefix + (key,)), show)
    dock = spread(values(results, name, ("dock_ms",)), milliseconds) if not prefix else "—"
    memory = {hold: f"{figure(hold, 'rss_kib', mib)} / {figure(hold, 'hwm_kib', mib)}" for hold in ("short", "long")}
    count = values(results, name, ("long",) + prefix + ("process_count",))
    xvfb = "—" if prefix else (f"{figure('short', 'xvfb_cpu_percent', percent)} / "
                               f"{figure('long', 'xvfb_cpu_percent', percent)}")
    first_read = "—" if prefix else " / ".join(
        spread(values(results, name, (f"{hold}_first_read_s",)), seconds) for hold in ("short", "long"))
    return (f"| {label} | {dock} | {figure('short', 'cpu_percent', percent)} | {figure('long', 'cpu_percent', percent)} "
            f"| {memory['short']} | {memory['long']} | {int(statistics.median(count)) if count else '?'} | {xvfb} "
            f"| {first_read} |")


def lookups(results):
    """Ours only: the peers do not look up the clipboard's text on a click of their icon."""
    ours = [n for n in ("linux", "windows") if n in results["programs"]]
    if not ours:
        return []
    lines = [
        "### The text copied before the start, looked up (ours)",
        "",
        "The short text is copied (xclip) before the program starts. As soon as its icon docks, it is "
        "double-clicked (xdotool, 80 ms between the presses, as in the end-to-end tests), again after 3 s "
        "if nothing was opened, and the time runs from the start to the look-up's address reaching the "
        "browser stand-in (a script first on the program's PATH that writes the address to a file, polled "
        "every 5 ms; under Wine through winebrowser, warmed once before the start). It is the first "
        "moment the copied text is shown to the user: an XEmbed icon is the open book from the start, "
        "whatever the clipboard holds, so its picture does not tell. A later double click, on a text "
        "known by then, is timed from the click; both times include the click's 80 ms and the start of "
        "the stand-in.",
        "",
        "| program | start to the first look-up | the first look-up after its double click | double clicks made "
        "| a later look-up after its double click |",
        "|---|---|---|---|---|",
    ]
    for name in ours:
        clicks = values(results, name, ("lookup_clicks",))
        lines.append(f"| {results['programs'][name]['label']} | {spread(values(results, name, ('lookup_ms',)), milliseconds)} "
                     f"| {spread(values(results, name, ('lookup_click_ms',)), milliseconds)} "
                     f"| {int(max(clicks)) if clicks else '—'} at most "
                     f"| {spread(values(results, name, ('lookup_again_ms',)), milliseconds)} |")
    lines.append("")
    return lines


def reactions(results):
    """What a change of the clipboard costs once, and whether the program showed a window for it:
    the proof that the peers, which read the clipboard only when it changes, were watching."""
    lines = [
        "### Reaction to the change (before each hold)",
        "",
        "CPU time from the moment the clipboard changes to the end of the settling time, and the "
        "program's windows on show then (besides the tray host's panel).",
        "",
        "| program | CPU time, short text | CPU time, 10 MB text | windows shown after the 10 MB change |",
        "|---|---|---|---|",
    ]
    for name in [n for n in ORDER if n in results["programs"]]:
        shown = set()
        for repetition in results["repetitions"]:
            for entry in repetition:
                if entry["program"] == name:
                    shown.update(w for w in entry.get("long_reaction", {}).get("windows", []) if w != "panel trayer")
        cells = [spread(values(results, name, (f"{hold}_reaction", "cpu_s")), seconds) for hold in ("short", "long")]
        lines.append(f"| {results['programs'][name]['label']} | {cells[0]} | {cells[1]} | "
                     f"{', '.join(sorted(shown)) or 'none'} |")
    lines.append("")
    return lines


def ratios(results):
    ours = [n for n in ("linux", "windows") if n in results["programs"]]
    peers = [n for n in PEERS if n in results["programs"]]
    if not ours or not peers:
        return []
    heads = [(o, p) for o in ours for p in peers]
    labels = {"linux": "Linux", "windows": "Dictionary.exe", "goldendict": "GoldenDict", "copyq": "CopyQ"}
    lines = [
        "### Ours ÷ peers (medians of this run)",
        "",
        "Dictionary.exe's own process alone; Wine's shared processes are in the table above. Below 1 means "
        "ours uses less.",
        "",
        "| measure | " + " | ".join(f"{labels[o]} ÷ {labels[p]}" for o, p in heads) + " |",
        "|---|" + "---|" * len(heads),
    ]
    for title, path in (("CPU, short text", ("short", "cpu_percent")), ("CPU, 10 MB text", ("long", "cpu_percent")),
                        ("resident at end, short text", ("short", "rss_kib")),
                        ("resident at end, 10 MB text", ("long", "rss_kib")),
                        ("peak resident, 10 MB text", ("long", "hwm_kib"))):
        cells = [ratio(median(results, o, path), median(results, p, path)) for o, p in heads]
        lines.append(f"| {title} | " + " | ".join(cells) + " |")
    lines.append("")
    return lines


def verdict(value, limit, show, below=True):
    if value is None:
        return "not measured"
    if (value <= limit) if below else (value >= limit):
        return f"met (by {show(abs(limit - value))})"
    return f"**missed** by {show(abs(value - limit))}"


def targets(results):
    lines = ["### Targets", "", "| target | measured (median) | result |", "|---|---|---|"]
    if "linux" in results["programs"]:
        cpu_short = median(results, "linux", ("short", "cpu_percent"))
        cpu_long = median(results, "linux", ("long", "cpu_percent"))
        dock = median(results, "linux", ("dock_ms",))
        lines.append(f"| Linux: CPU ≤ {TARGET_CPU_SHORT} % of one core, short text | "
                     f"{percent(cpu_short) if cpu_short is not None else '—'} | "
                     f"{verdict(cpu_short, TARGET_CPU_SHORT, percent)} |")
        lines.append(f"| Linux: CPU ≤ {TARGET_CPU_LONG:g} % of one core, 10 MB text | "
                     f"{percent(cpu_long) if cpu_long is not None else '—'} | "
                     f"{verdict(cpu_long, TARGET_CPU_LONG, percent)} |")
        for hold, title in (("short", "short text"), ("long", "10 MB text")):
            peers = [(median(results, p, (hold, "rss_kib")), results["programs"][p]["label"])
                     for p in PEERS if p in results["programs"]]
            peers = [p for p in peers if p[0] is not None]
            ours = median(results, "linux", (hold, "rss_kib"))
            if peers and ours is not None:
                lighter, name = min(peers)
                lines.append(f"| Linux: resident memory below the lighter peer's ({name}, {mib(lighter)}), {title} | "
                             f"{mib(ours)} | {verdict(ours, lighter, mib) if ours != lighter else '**missed** (equal)'} |")
        lines.append(f"| Linux: icon docked within {TARGET_DOCK_MS} ms | "
                     f"{milliseconds(dock) if dock is not None else '—'} | {verdict(dock, TARGET_DOCK_MS, milliseconds)} |")
    if "linux" in results["programs"]:
        lookup = median(results, "linux", ("lookup_ms",))
        lines.append(f"| Linux: the text copied before the start looked up within {TARGET_LINUX_LOOKUP_MS} ms of the start | "
                     f"{milliseconds(lookup) if lookup is not None else '—'} | "
                     f"{verdict(lookup, TARGET_LINUX_LOOKUP_MS, milliseconds)} |")
    if "windows" in results["programs"]:
        first = median(results, "windows", ("lookup_click_ms",))
        again = median(results, "windows", ("lookup_again_ms",))
        extra = first - again if first is not None and again is not None else None
        lines.append(f"| Dictionary.exe: the first look-up, after its double click, within {TARGET_FIRST_LOOKUP_EXTRA_MS} ms "
                     f"of a later one | {f'{milliseconds(first)} vs {milliseconds(again)}' if extra is not None else '—'} | "
                     f"{verdict(extra, TARGET_FIRST_LOOKUP_EXTRA_MS, milliseconds)} |")
    size = results.get("windows_exe_bytes")
    if size is not None:
        lines.append(f"| Dictionary.exe's file under 400 KiB ({TARGET_EXE_BYTES:,} bytes) | {size:,} bytes "
                     f"({size / 1024:.0f} KiB) | {verdict(size, TARGET_EXE_BYTES - 1, lambda b: f'{b / 1024:.0f} KiB')} |")
    lines.append("")
    return lines


def soak(results):
    entries = results.get("soak")
    if not entries:
        return ["### Soak", "", "Not run (`--soak-seconds 0`)." if results["settings"]["soak_seconds"] == 0
                else "Not measured.", ""]
    s = results["settings"]
    items = "; ".join(results.get("soak_items", []))
    window = max((entry.get("floor_window_seconds", 0) for entry in entries), default=0)
    lines = [
        "### Soak",
        "",
        f"Our two programs side by side on two displays for {s['soak_seconds']:g} s, the clipboard given to a "
        f"new xclip owner every {s['soak_change_seconds'] * 1000:.0f} ms in turn: {items}. Resident memory "
        f"sampled every {s['soak_sample_seconds']:g} s. A sample depends on the text held at that moment, so "
        f"\"after warm-up\" is the lowest sample in the first {window:g} s after a {s['soak_warmup_seconds']:g} s "
        f"warm-up and \"at the end\" the lowest in the last {window:g} s; growth is the difference. "
        "Target: growth under 1 MiB.",
        "",
        "| program | clipboard changes | resident after warm-up | at the end | highest sampled | peak (VmHWM) "
        "| growth | growth under 1 MiB | alive at the end | icon docked at the end |",
        "|---|---|---|---|---|---|---|---|---|---|",
    ]
    for entry in entries:
        label = results["programs"][entry["program"]]["label"]
        if "growth_kib" not in entry:
            lines.append(f"| {label} | {entry['clipboard_changes']:,} | not measured | | | | | | "
                         f"{'yes' if entry['alive'] else '**no**'} | {'yes' if entry['icon_docked_at_end'] else 'no'} |")
            continue
        growth = entry["growth_kib"]
        lines.append(
            f"| {label} | {entry['clipboard_changes']:,} | {mib(entry['rss_after_warmup_kib'])} | {mib(entry['rss_end_kib'])} "
            f"| {mib(entry['rss_peak_sampled_kib'])} | {mib(entry['hwm_end_kib'])} | {growth:+,} KiB "
            f"| {verdict(growth, TARGET_SOAK_GROWTH_KIB - 1, lambda k: f'{k:,} KiB')} "
            f"| {'yes' if entry['alive'] else '**no**'} | {'yes' if entry['icon_docked_at_end'] else '**no**'} |")
        if "shared_rss_end_kib" in entry:
            lines.append(f"| Wine's shared processes, beside it | | {mib(entry['shared_rss_after_warmup_kib'])} "
                         f"| {mib(entry['shared_rss_end_kib'])} | | | "
                         f"{entry['shared_rss_end_kib'] - entry['shared_rss_after_warmup_kib']:+,} KiB | | | |")
    lines.append("")
    return lines


# --- the document ----------------------------------------------------------------------------

def replace_section(path, text):
    """Puts TEXT between the markers, replacing what was there, or at the end of the file."""
    existing = open(path, encoding="utf-8").read() if os.path.exists(path) else ""
    start = existing.find(BEGIN_PREFIX)
    end = existing.find(END, start) if start >= 0 else -1
    if start >= 0 and end >= 0:
        updated = existing[:start] + text.rstrip("\n") + existing[end + len(END):]
    else:
        separator = "" if not existing or existing.endswith("\n\n") else ("\n" if existing.endswith("\n") else "\n\n")
        updated = existing + separator + text
    with open(path, "w", encoding="utf-8") as file:
        file.write(updated)
