#!/usr/bin/env bash
# Measures the core and writes the measured part of docs/performance.md:
# - Google Benchmark of the clipboard tick and the look-up (Release build, medians of repetitions);
# - a million inputs for each libFuzzer target (clang, ASan + UBSan);
# - the soak run, a day of clipboard ticks, optimised and under ASan + UBSan.
# Takes about 45 minutes on two cores, most of it the fuzzing. Exits non-zero if any part failed; the
# document is written either way and says which.
#
#     bash scripts/bench.sh [--repetitions N] [--fuzz-runs N]
set -uo pipefail
cd "$(dirname "$0")/.."

command="bash scripts/bench.sh${*:+ $*}"
repetitions=5
fuzz_runs=1000000
while (($#)); do
    case "$1" in
        --repetitions) repetitions=$2; shift 2 ;;
        --fuzz-runs) fuzz_runs=$2; shift 2 ;;
        *) echo "usage: bash scripts/bench.sh [--repetitions N] [--fuzz-runs N]" >&2; exit 2 ;;
    esac
done

for directory in bench fuzz soak; do
    if ! grep -q "add_subdirectory($directory)" tests/CMakeLists.txt; then
        echo "tests/CMakeLists.txt does not add tests/$directory; nothing to measure" >&2
        exit 1
    fi
done

bash scripts/install-deps.sh || exit 1

jobs=$(nproc)
logs=build/bench-logs
rm -rf "$logs" && mkdir -p "$logs"
failed=0
step() { echo; echo "== $*"; }

step "Building: Release (benchmarks, soak), ASan + UBSan (soak), clang (fuzz targets)"
set -e
cmake -S . -B build/bench -DVORDA_PLATFORM=none -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/bench -j "$jobs" --target vorda_bench vorda_soak
cmake -S . -B build/bench-asan -DVORDA_PLATFORM=none -DVORDA_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build/bench-asan -j "$jobs" --target vorda_soak
cmake -S . -B build/bench-fuzz -DCMAKE_CXX_COMPILER=clang++ -DVORDA_PLATFORM=none -DVORDA_FUZZ=ON \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORDA_FUZZ_RUNS="$fuzz_runs" -DVORDA_FUZZ_SECONDS=0 >/dev/null
cmake --build build/bench-fuzz -j "$jobs" --target vorda_fuzz_targets
set +e

# The machine is described before anything runs, the load average included.
python3 - "$logs/machine.json" <<'EOF'
import json, os, platform, re, subprocess, sys, datetime
def run(*command):
    try:
        return subprocess.run(command, capture_output=True, text=True).stdout
    except OSError:
        return "unknown"
cpuinfo = open("/proc/cpuinfo").read()
model = re.search(r"^model name\s*:\s*(.+)$", cpuinfo, re.M)
memory = re.search(r"^MemTotal:\s*(\d+) kB", open("/proc/meminfo").read(), re.M)
commit = run("git", "rev-parse", "--short", "HEAD").strip() or "unknown"
status = run("git", "status", "--porcelain", "--untracked-files=no") if commit != "unknown" else ""
changed = [line.split(maxsplit=1)[1] for line in status.splitlines() if line.strip()]
if commit != "unknown" and changed:
    commit += " with uncommitted changes to " + ", ".join(changed)
json.dump({
    "date": datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%d %H:%M UTC"),
    "commit": commit,
    "cpu": model.group(1).strip() if model else "unknown",
    "cores": os.cpu_count(),
    "memory": f"{int(memory.group(1)) / 1024 / 1024:.1f} GiB" if memory else "unknown",
    "kernel": f"{platform.system()} {platform.release()}",
    "load": " ".join(open("/proc/loadavg").read().split()[:3]),
    "gcc": (run("g++", "--version").splitlines() or ["unknown"])[0],
    "clang": (run("clang++", "--version").splitlines() or ["unknown"])[0],
    "benchmark": run("dpkg-query", "-W", "-f=${Version}", "libbenchmark-dev").strip(),
    "libfuzzer": run("dpkg-query", "-W", "-f=${Version}", "libclang-rt-14-dev").strip(),
}, open(sys.argv[1], "w"), indent=1)
EOF

step "Benchmarks: $repetitions repetitions, medians"
build/bench/tests/bench/vorda_bench --benchmark_repetitions="$repetitions" --benchmark_report_aggregates_only=true \
    --benchmark_out="$logs/benchmarks.json" --benchmark_out_format=json || failed=1
if grep -q '"error_occurred": true' "$logs/benchmarks.json" 2>/dev/null; then
    echo "a benchmark failed its own check" >&2
    failed=1
fi

step "Soak: a day of ticks, optimised"
build/bench/tests/soak/vorda_soak 432000 2>&1 | tee "$logs/soak.log"
soak_status=${PIPESTATUS[0]}

step "Soak: a day of ticks under ASan + UBSan"
build/bench-asan/tests/soak/vorda_soak 432000 2>&1 | tee "$logs/soak-asan.log"
soak_asan_status=${PIPESTATUS[0]}
((soak_status == 0 && soak_asan_status == 0)) || failed=1

step "Fuzzing: $fuzz_runs inputs for each target"
rm -rf build/bench-fuzz/tests/fuzz/*/corpus/* build/bench-fuzz/tests/fuzz/*/crashes/*
ctest --test-dir build/bench-fuzz -L fuzz -j "$jobs" --output-on-failure --test-output-size-passed 100000000 \
    --test-output-size-failed 100000000 || failed=1
cp build/bench-fuzz/Testing/Temporary/LastTest.log "$logs/fuzz.log"

step "Writing docs/performance.md"
python3 tests/bench/write_performance.py --output docs/performance.md --command "$command" \
    --machine "$logs/machine.json" --benchmarks "$logs/benchmarks.json" --repetitions "$repetitions" \
    --fuzz-log "$logs/fuzz.log" --fuzz-runs "$fuzz_runs" \
    --soak "$logs/soak.log" --soak-status "$soak_status" \
    --soak-asan "$logs/soak-asan.log" --soak-asan-status "$soak_asan_status" || failed=1

if ((failed)); then
    echo "Some measurements failed; see above and docs/performance.md" >&2
    exit 1
fi
echo "docs/performance.md written"
