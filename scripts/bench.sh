#!/usr/bin/env bash
# Measures the programs and writes the measured parts of docs/performance.md:
# - core: Google Benchmark of the clipboard tick and the look-up (Release build, medians of
#   repetitions); the soak run, a day of clipboard ticks, optimised and under ASan + UBSan; a million
#   inputs for each libFuzzer target (clang, ASan + UBSan);
# - running: the Linux program and Dictionary.exe under Wine, each on a private X display with a tray
#   host, beside GoldenDict and CopyQ: time to dock, for ours the time to the first look-up of a text
#   copied before the start, CPU and memory with a short and a 10 MB clipboard text, and a 10-minute
#   soak of ours (tests/bench/running); then the Linux program's idle cost, to
#   the nanosecond, beside the build before the clipboard pipeline moved into the core.
# The running programs are measured before the fuzzing, while the machine is otherwise quiet. Takes
# about 50 minutes on two cores. Exits non-zero if any part failed; the document is written either
# way and says which.
#
#     bash scripts/bench.sh [--only core|running] [--repetitions N] [--running-repetitions N] [--fuzz-runs N]
set -uo pipefail
cd "$(dirname "$0")/.."

command="bash scripts/bench.sh${*:+ $*}"
repetitions=5
running_repetitions=3
fuzz_runs=1000000
only=""
usage="usage: bash scripts/bench.sh [--only core|running] [--repetitions N] [--running-repetitions N] [--fuzz-runs N]"
while (($#)); do
    case "$1" in
        --only) only=$2; shift 2 ;;
        --repetitions) repetitions=$2; shift 2 ;;
        --running-repetitions) running_repetitions=$2; shift 2 ;;
        --fuzz-runs) fuzz_runs=$2; shift 2 ;;
        *) echo "$usage" >&2; exit 2 ;;
    esac
done
[[ -z "$only" || "$only" == core || "$only" == running ]] || { echo "$usage" >&2; exit 2; }
core() { [[ "$only" != running ]]; }
running() { [[ "$only" != core ]]; }

for directory in bench fuzz soak; do
    if ! grep -q "add_subdirectory($directory)" tests/CMakeLists.txt; then
        echo "tests/CMakeLists.txt does not add tests/$directory; nothing to measure" >&2
        exit 1
    fi
done

bash scripts/install-deps.sh --peers || exit 1

jobs=$(nproc)
logs=build/bench-logs
rm -rf "$logs" && mkdir -p "$logs"
failed=0
step() { echo; echo "== $*"; }

core_build() {
    step "Building: Release (benchmarks, soak), ASan + UBSan (soak), clang (fuzz targets)"
    cmake -S . -B build/bench -DVORDA_PLATFORM=none -DCMAKE_BUILD_TYPE=Release >/dev/null &&
        cmake --build build/bench -j "$jobs" --target vorda_bench vorda_soak &&
        cmake -S . -B build/bench-asan -DVORDA_PLATFORM=none -DVORDA_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null &&
        cmake --build build/bench-asan -j "$jobs" --target vorda_soak &&
        cmake -S . -B build/bench-fuzz -DCMAKE_CXX_COMPILER=clang++ -DVORDA_PLATFORM=none -DVORDA_FUZZ=ON \
            -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORDA_FUZZ_RUNS="$fuzz_runs" -DVORDA_FUZZ_SECONDS=0 >/dev/null &&
        cmake --build build/bench-fuzz -j "$jobs" --target vorda_fuzz_targets
}

# The idle cost is measured beside that of the last build before the clipboard pipeline moved into
# the core, built from the history where there is one.
idle_baseline=3997846c1e69c137e9fd0e1f0db3d8ac60410026
idle_baseline_program=build/bench-baseline/build/src/platform/qt/vorda-dictionary

# Dictionary.exe as shipped, 32-bit, where 32-bit Wine can start; else the 64-bit build of the same
# sources under 64-bit Wine, as scripts/test.sh does, and the section says so.
windows_bits=win32
windows_toolchain=i686
if ! /usr/lib/wine/wine --version >/dev/null 2>&1; then
    windows_bits=win64
    windows_toolchain=x86_64
fi

running_build() {
    step "Building: the Linux program (Release) and Dictionary.exe for $windows_bits (MinSizeRel)"
    cmake -S . -B build/bench-programs -DCMAKE_BUILD_TYPE=Release >/dev/null &&
        cmake --build build/bench-programs -j "$jobs" --target vorda-dictionary &&
        cmake -S . -B "build/$windows_bits" -DCMAKE_TOOLCHAIN_FILE="cmake/toolchain-mingw-$windows_toolchain.cmake" \
            -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null &&
        cmake --build "build/$windows_bits" -j "$jobs" || return 1
    if git rev-parse --verify -q "$idle_baseline^{commit}" >/dev/null; then
        step "Building: the Linux program as of ${idle_baseline:0:7}, for the idle cost beside it"
        rm -rf build/bench-baseline && mkdir -p build/bench-baseline/src &&
            git archive "$idle_baseline" | tar -x -C build/bench-baseline/src &&
            cmake -S build/bench-baseline/src -B build/bench-baseline/build -DCMAKE_BUILD_TYPE=Release >/dev/null &&
            cmake --build build/bench-baseline/build -j "$jobs" --target vorda-dictionary
    else
        echo "no history of ${idle_baseline:0:7} here: the idle cost is measured for this build alone"
    fi
}

if core; then core_build || exit 1; fi
if running; then running_build || exit 1; fi

# The machine is described before anything runs, the load average included.
python3 - "$logs/machine.json" <<'EOF'
import json, subprocess, sys
sys.path.insert(0, "tests/bench/running")
import machine
def first_line(*command):
    try:
        return (subprocess.run(command, capture_output=True, text=True).stdout.splitlines() or ["unknown"])[0]
    except OSError:
        return "unknown"
def version(package):
    return subprocess.run(["dpkg-query", "-W", "-f=${Version}", package], capture_output=True, text=True).stdout.strip()
description = machine.describe()
description.update(gcc=first_line("g++", "--version"), clang=first_line("clang++", "--version"),
                   benchmark=version("libbenchmark-dev"), libfuzzer=version("libclang-rt-14-dev"))
json.dump(description, open(sys.argv[1], "w"), indent=1)
EOF

if core; then
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
fi

if running; then
    step "The running programs beside GoldenDict and CopyQ: $running_repetitions repetitions, then the soak"
    python3 tests/bench/running/measure_running.py --output docs/performance.md --json "$logs/running.json" \
        --linux-program build/bench-programs/src/platform/qt/vorda-dictionary \
        --windows-program "build/$windows_bits/Dictionary.exe" --wine-arch "$windows_bits" \
        --repetitions "$running_repetitions" || failed=1

    step "The running Linux program's idle cost"
    idle_options=()
    if [[ -x "$idle_baseline_program" ]]; then
        idle_options=(--baseline "$idle_baseline_program" --baseline-label "as of ${idle_baseline:0:7}")
    fi
    python3 tests/bench/running/measure_idle.py --program build/bench-programs/src/platform/qt/vorda-dictionary \
        "${idle_options[@]}" --output docs/performance.md --json "$logs/idle.json" || failed=1
fi

if core; then
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
fi

if ((failed)); then
    echo "Some measurements failed; see above and docs/performance.md" >&2
    exit 1
fi
echo "docs/performance.md written"
