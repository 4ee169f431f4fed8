#!/usr/bin/env bash
# Builds everything and runs every test: the unit tests and a soak run under ASan and UBSan, a short
# run of each fuzz target, the Windows program cross-built and driven under Wine, the Linux program
# driven under Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

jobs=$(nproc)

echo "== Unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build/asan -DVORDA_PLATFORM=none -DVORDA_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build/asan -j "$jobs"
ctest --test-dir build/asan --output-on-failure -j "$jobs"

echo "== Fuzz targets, a short run each (clang libFuzzer, ASan and UBSan)"
cmake -S . -B build/fuzz -DCMAKE_CXX_COMPILER=clang++ -DVORDA_PLATFORM=none -DVORDA_FUZZ=ON \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/fuzz -j "$jobs" --target vorda_fuzz_targets
ctest --test-dir build/fuzz --output-on-failure -L fuzz -j "$jobs"

native_options=()
if [[ -f cmake/toolchain-mingw-i686.cmake ]]; then
    echo "== Dictionary.exe, cross-built for 32-bit Windows"
    cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake \
        -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
    cmake --build build/win32 -j "$jobs"
    native_options+=("-DVORDA_DICTIONARY_EXE=$PWD/build/win32/Dictionary.exe")
fi

echo "== The Linux program, unit tests and end-to-end tests"
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=RelWithDebInfo "${native_options[@]}" >/dev/null
cmake --build build/native -j "$jobs"
ctest --test-dir build/native --output-on-failure
