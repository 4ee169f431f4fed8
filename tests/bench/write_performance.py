#!/usr/bin/env python3
"""Writes the measured part of docs/performance.md from what scripts/bench.sh collected.

Only the text between the two markers is replaced; everything else in the file (the findings and the
sections for the running programs) is kept as it is. A missing file is started from a skeleton.
"""

import argparse
import json
import re
import sys
from pathlib import Path

BEGIN = "<!-- BEGIN core measurements: written by scripts/bench.sh, do not edit by hand -->"
END = "<!-- END core measurements -->"

LENGTHS = [(10, "10 B"), (1024, "1 KiB"), (1024 * 1024, "1 MiB"), (10 * 1024 * 1024, "10 MiB")]

SKELETON = f"""# Performance

What the program costs while it runs, measured on the core over the fake platform and, later, on the
running programs.

{BEGIN}
{END}

## Running programs (to be measured)

Nothing here yet: these figures come from the running programs and are added by hand when they have
been measured. No figure in this section may be estimated.

### Dictionary.exe under Wine

- CPU time of the process while idle with a text on the clipboard (five ticks a second): *not yet measured*
- Resident memory at start and after an hour: *not yet measured*
- Time from a double click on the tray icon to the browser stand-in receiving the address: *not yet measured*
- Command and machine: *not yet measured*

### The Linux program under Xvfb

- CPU time of the process while idle with a text on the clipboard (five ticks a second): *not yet measured*
- Resident memory at start and after an hour: *not yet measured*
- Time from a double click on the tray icon to the browser stand-in receiving the address: *not yet measured*
- Command and machine: *not yet measured*
"""


def format_time(ns):
    if ns is None:
        return "–"
    magnitude = abs(ns)
    if magnitude >= 1e6:
        return f"{ns / 1e6:.2f} ms"
    if magnitude >= 1e3:
        return f"{ns / 1e3:.2f} µs"
    return f"{ns:.1f} ns"


def format_ratio(value):
    if value is None:
        return "–"
    if value >= 100:
        return f"{value:,.0f}"
    return f"{value:.2f}"


def load_benchmarks(path):
    """Median CPU time in ns of each benchmark, by run name; and the names of those that failed."""
    data = json.loads(Path(path).read_text())
    scale = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}
    medians, singles, spreads, failed = {}, {}, {}, []
    for entry in data["benchmarks"]:
        if entry.get("error_occurred"):
            failed.append(f"{entry['run_name']}: {entry.get('error_message', '')}")
            continue
        time = entry["cpu_time"] * scale[entry["time_unit"]]
        run_name = re.sub(r"/min_time:[\d.]+$", "", entry["run_name"])
        if entry.get("aggregate_name") == "median":
            medians[run_name] = time
            for counter in ("tick_less_copy_ns",):
                if counter in entry:
                    medians[f"{run_name}:{counter}"] = entry[counter]
        elif entry.get("aggregate_name") == "cv":
            spreads[run_name] = entry["cpu_time"]  # a fraction, whatever the time unit says
        elif entry.get("run_type") == "iteration":
            singles[run_name] = time  # a run of one repetition has no aggregates
            for counter in ("tick_less_copy_ns",):
                if counter in entry:
                    singles[f"{run_name}:{counter}"] = entry[counter]
    return data["context"], {**singles, **medians}, spreads, failed


def per_char(series):
    """Growth in ns per character between the smallest and the largest length."""
    small, large = series[LENGTHS[0][0]], series[LENGTHS[-1][0]]
    if small is None or large is None:
        return None
    return (large - small) / (LENGTHS[-1][0] - LENGTHS[0][0])


def ratio(series, small_length=LENGTHS[0][0]):
    small, large = series[small_length], series[LENGTHS[-1][0]]
    if small is None or large is None or small <= 0 or large <= 0:
        return None  # a difference of two timings can come out at or below zero within their noise
    return large / small


def series_of(medians, name, counter=None):
    suffix = f":{counter}" if counter else ""
    return {length: medians.get(f"{name}/{length}{suffix}") for length, _ in LENGTHS}


def table(headers, rows):
    lines = ["| " + " | ".join(headers) + " |", "|" + "|".join("---" for _ in headers) + "|"]
    lines += ["| " + " | ".join(row) + " |" for row in rows]
    return "\n".join(lines)


def growth_rows(named_series):
    rows = []
    for name, series in named_series:
        per = per_char(series)
        rows.append([name, format_ratio(ratio(series)), format_ratio(ratio(series, LENGTHS[1][0])),
                     "–" if per is None else f"{per:.3f} ns"])
    return table(["", "10 MiB ÷ 10 B", "10 MiB ÷ 1 KiB", "growth per character (10 B → 10 MiB)"], rows)


def tick_section(medians):
    out = ["## 1. The clipboard tick", ""]
    out.append("The Timer handler of `tmrCheckClipboard` over the fake platform with recording off: read the "
               "clipboard, trim, quote, eighteen menu writes, the 88-byte record and one modify request. The fake "
               "hands back a fresh copy of the clipboard text each time (the real backends hand back the text they "
               "last read, shared, and read it again only when the clipboard has changed); that copy is measured alone, "
               "the tick less the copy is measured with the two timed in turn in each iteration (so that both "
               "meet the same load on the shared memory bus), and the core's text rule (trim and quote) is "
               "measured on the text in place.")
    for kind, title in (("words", "Words, two spaces at each end"), ("spaces_only", "Spaces only (the trim reads the whole text)")):
        tick = series_of(medians, f"BM_Tick/{kind}")
        copy = series_of(medians, f"BM_ClipboardCopy/{kind}")
        rule = series_of(medians, f"BM_TickTextRule/{kind}")
        core = series_of(medians, f"BM_TickLessCopy/{kind}", "tick_less_copy_ns")
        rows = [[label, format_time(tick[n]), format_time(copy[n]), format_time(core[n]), format_time(rule[n])]
                for n, label in LENGTHS]
        out += ["", f"### {title}", "",
                table(["clipboard text", "whole tick", "platform's copy", "tick − copy", "core's text rule alone"], rows),
                "", growth_rows([("whole tick", tick), ("platform's copy", copy), ("tick − copy", core),
                                 ("core's text rule alone", rule)])]
    return out


def lookup_section(medians):
    out = ["## 2. The look-up", ""]
    out.append("`BuildLookupAddress` for the dictionary row; `PrepareLookupText`, the same encoding without the "
               "base address; for scale, the UTF-8 form alone (`ToUtf8`) and the join that building the address "
               "in two steps would add (the prepared text behind the base address); the platform's conversion "
               "of the address to its narrow code page; and the whole Click handler of `mnuLookup` over the "
               "fake with recording off (clipboard copy, empty-text test, address, narrow copy, shell call). "
               "Cyrillic text takes two UTF-8 bytes a character, so six address characters.")
    for kind, title in (("words", "ASCII words"), ("cyrillic", "Cyrillic words")):
        utf8 = series_of(medians, f"BM_ToUtf8/{kind}")
        prepared = series_of(medians, f"BM_PrepareLookupText/{kind}")
        address = series_of(medians, f"BM_BuildLookupAddress/{kind}")
        ansi = series_of(medians, f"BM_AddressToAnsi/{kind}")
        handler = series_of(medians, f"BM_DictionaryLookup/{kind}")
        join = series_of(medians, f"BM_JoinBaseAddress/{kind}")
        rows = [[label, format_time(utf8[n]), format_time(prepared[n]), format_time(join[n]), format_time(address[n]),
                 format_time(ansi[n]), format_time(handler[n])] for n, label in LENGTHS]
        largest = LENGTHS[-1][0]
        out += ["", f"### {title}", "",
                table(["clipboard text", "ToUtf8 (scale)", "PrepareLookupText", "a two-step join (scale)",
                       "BuildLookupAddress", "platform: address to narrow", "whole handler"], rows),
                "", growth_rows([("BuildLookupAddress", address), ("whole handler", handler)]),
                "", "`BuildLookupAddress` writes the address in one go, the text encoded behind the base address: "
                + format_time(address[largest]) + " for a 10 MiB text, against " + format_time(prepared[largest])
                + " for the encoding alone; in two steps the join would add " + format_time(join[largest]) + "."]
    return out


def parse_fuzz_log(path):
    """Per fuzz test: runs, seconds, the final status line's figures and whether it passed."""
    text = Path(path).read_text(errors="replace")
    results = {}
    for block in re.split(r"\n(?=\d+/\d+ Testing: )", text):
        name = re.search(r"Test: (fuzz_\w+)", block)
        if not name:
            continue
        done = re.search(r"Done (\d+) runs in (\d+) second", block)
        final = re.findall(r"#\d+\s+DONE\s+cov: (\d+) ft: (\d+) corp: (\d+)/(\S+)", block)
        peak = re.search(r"stat::peak_rss_mb:\s+(\d+)", block)
        results[name.group(1)] = {
            "runs": int(done.group(1)) if done else None,
            "seconds": int(done.group(2)) if done else None,
            "cov": final[-1] if final else None,
            "peak": peak.group(1) if peak else None,
            "passed": "Test Passed." in block,
        }
    return results


def fuzz_section(path, runs):
    out = ["## 3. Fuzzing", ""]
    out.append(f"libFuzzer (clang, `-fsanitize=fuzzer,address,undefined,float-divide-by-zero`), {runs:,} inputs "
               "for each target from the committed seeds in `tests/fuzz/corpus/`; only the core is instrumented "
               "for coverage. The invariants each target checks are listed at the top of its source.")
    results = parse_fuzz_log(path) if path and Path(path).exists() else {}
    rows = []
    for name in ("fuzz_lookup_address", "fuzz_tray_tooltip", "fuzz_mouse_decode"):
        r = results.get(name)
        if not r:
            rows.append([f"`{name}`", "–", "–", "–", "–", "–", "not run"])
            continue
        speed = f"{r['runs'] / r['seconds']:,.0f}" if r["runs"] and r["seconds"] else "–"
        cov = f"{r['cov'][0]} / {r['cov'][1]}" if r["cov"] else "–"
        corpus = f"{r['cov'][2]} inputs, {r['cov'][3]}" if r["cov"] else "–"
        rows.append([f"`{name}`", f"{r['runs']:,}" if r["runs"] else "–", f"{r['seconds']} s" if r["seconds"] is not None else "–",
                     speed, cov, corpus, ("passed" if r["passed"] else "**FAILED**")
                     + (f", peak {r['peak']} MB" if r["peak"] else "")])
    out += ["", table(["target", "inputs", "time", "inputs/s", "coverage (edges / features)", "corpus at the end",
                       "result"], rows)]
    return out


def parse_soak(path):
    text = Path(path).read_text(errors="replace") if path and Path(path).exists() else ""
    summary = re.search(r"soak: (\d+) ticks in ([\d.]+) s \(([\d.]+) us a tick\), seed (\d+): (\d+) with text, "
                        r"(\d+) without, (\d+) failed reads, (\d+) look-ups", text)
    tracks = {m.group(1): m.groups()[1:] for m in re.finditer(
        r"(resident|allocated) memory: start (\d+) KiB, after warm-up (\d+) KiB, middle (\d+) KiB, end (\d+) KiB; "
        r"largest after warm-up (\d+) KiB, growth (-?\d+) KiB", text)}
    check = re.search(r"flat-memory check on (\w+) memory: growth after warm-up (-?\d+) KiB", text)
    leak = "LeakSanitizer" in text or "ERROR: AddressSanitizer" in text
    return summary, tracks, check, leak, text


def soak_section(runs):
    out = ["## 4. Soak", ""]
    out.append("432,000 ticks (a day at five a second) over the fake platform with recording off, the clipboard "
               "changing every one to six ticks (texts of 1 to 32,768 characters, empty, spaces only, other "
               "scripts, lone surrogates, and about one read in ten failing), each tick checked, a double click "
               "every 997 ticks. Memory is sampled at the start, after the warm-up (a tenth of the run), in the "
               "middle, at the end and every hundredth in between; the run fails if it grows by more than 1 MiB "
               "after the warm-up. Without the sanitizers that is resident memory (`/proc/self/statm`); under "
               "AddressSanitizer it is the bytes the program holds allocated, because the sanitizer's quarantine "
               "and size classes move resident memory on their own, and LeakSanitizer checks for leaks at exit.")
    rows = []
    for label, path, status in runs:
        summary, tracks, check, leak, _ = parse_soak(path)
        if not summary:
            rows.append([label, "–", "–", "–", "–", "–", "**FAILED** (no summary)" if status else "not run"])
            continue
        ticks, seconds, per_tick, _, text, without, failed, lookups = summary.groups()
        resident = tracks.get("resident")
        allocated = tracks.get("allocated")
        memory = []
        if resident:
            memory.append("resident " + " / ".join(f"{int(v) / 1024:.1f}" for v in resident[:4])
                          + f" MiB, largest after warm-up {int(resident[4]) / 1024:.1f} MiB")
        if allocated:
            memory.append("allocated " + " / ".join(f"{int(v)}" for v in allocated[:4])
                          + f" KiB, largest after warm-up {allocated[4]} KiB")
        verdict = "passed" if status == 0 else "**FAILED**"
        if check:
            verdict += f" ({check.group(1)} growth {check.group(2)} KiB)"
        if leak:
            verdict += ", **leak reported**"
        rows.append([label, f"{int(ticks):,}", f"{seconds} s ({per_tick} µs a tick)",
                     f"{int(text):,} / {int(without):,} / {int(failed):,} / {int(lookups):,}",
                     "; ".join(memory), verdict])
    out += ["", table(["build", "ticks", "time", "text / no text / failed reads / look-ups",
                       "memory: start / after warm-up / middle / end", "result"], rows)]
    return out


def machine_section(args, context):
    m = json.loads(Path(args.machine).read_text())
    lines = ["## Where these figures come from", "",
             f"- Command: `{args.command}` (writes this section; the rest of the file is kept)",
             f"- Date: {m['date']}; commit {m['commit']}",
             f"- CPU: {m['cpu']}, {m['cores']} cores"
             + (f" at {context.get('mhz_per_cpu')} MHz" if context.get("mhz_per_cpu") else "")
             + f"; memory {m['memory']}; kernel {m['kernel']}",
             f"- Load average when the benchmarks started: {m['load']} (the machine is shared; CPU times are "
             "reported, which leave out the time the process waits for a core)",
             f"- Compilers: {m['gcc']} (benchmarks, Release `-O3`; soak); {m['clang']} (fuzzing)",
             f"- Google Benchmark {m['benchmark']}; libFuzzer from libclang-rt-14-dev {m['libfuzzer']}",
             f"- Benchmarks: median CPU time of {args.repetitions} repetitions each"]
    return lines


def generated_text(args):
    context, medians, spreads, failed = load_benchmarks(args.benchmarks)
    out = machine_section(args, context)
    if spreads:
        values = sorted(spreads.values())
        worst = max(spreads, key=spreads.get)
        out.append(f"- Spread between repetitions (coefficient of variation of the CPU time): median "
                   f"{values[len(values) // 2]:.0%}, largest {values[-1]:.0%} (`{worst}`); a difference of two "
                   "timings smaller than that is noise")
    if failed:
        out += ["", "**Benchmarks that failed their own check:** " + "; ".join(failed)]
    out += [""] + tick_section(medians)
    out += [""] + lookup_section(medians)
    out += [""] + fuzz_section(args.fuzz_log, args.fuzz_runs)
    out += [""] + soak_section([("optimised (Release)", args.soak, args.soak_status),
                                ("AddressSanitizer + UBSan (Debug)", args.soak_asan, args.soak_asan_status)])
    return "\n".join(out)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--output", required=True)
    parser.add_argument("--command", required=True)
    parser.add_argument("--machine", required=True, help="JSON with the machine's description")
    parser.add_argument("--benchmarks", required=True, help="Google Benchmark JSON output")
    parser.add_argument("--repetitions", type=int, required=True)
    parser.add_argument("--fuzz-log", help="ctest's LastTest.log of the fuzz run")
    parser.add_argument("--fuzz-runs", type=int, required=True)
    parser.add_argument("--soak")
    parser.add_argument("--soak-status", type=int, default=1)
    parser.add_argument("--soak-asan")
    parser.add_argument("--soak-asan-status", type=int, default=1)
    args = parser.parse_args()

    output = Path(args.output)
    document = output.read_text() if output.exists() else SKELETON
    if BEGIN not in document or END not in document:
        sys.exit(f"{output}: the markers of the measured part are missing")
    head, rest = document.split(BEGIN, 1)
    _, tail = rest.split(END, 1)
    output.parent.mkdir(parents=True, exist_ok=True)
    output.write_text(head + BEGIN + "\n" + generated_text(args) + "\n" + END + tail)


if __name__ == "__main__":
    main()
