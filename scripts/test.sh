#!/usr/bin/env bash
# Builds everything and runs every test: the unit tests and a soak run under ASan and UBSan, a short
# run of each fuzz target, the Windows program cross-built and driven under Wine, the Linux program
# driven under Xvfb, and the two downloads made and checked.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --test

jobs=$(nproc)

echo "== [${SECONDS} s] Unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build/asan -DVORDA_PLATFORM=none -DVORDA_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build build/asan -j "$jobs"
ctest --test-dir build/asan --output-on-failure -j "$jobs"

echo "== [${SECONDS} s] Fuzz targets, a short run each (clang libFuzzer, ASan and UBSan)"
cmake -S . -B build/fuzz -DCMAKE_CXX_COMPILER=clang++ -DVORDA_PLATFORM=none -DVORDA_FUZZ=ON \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/fuzz -j "$jobs" --target vorda_fuzz_targets
ctest --test-dir build/fuzz --output-on-failure -L fuzz -j "$jobs"

native_options=()
echo "== [${SECONDS} s] Dictionary.exe, cross-built for 32-bit Windows"
cmake -S . -B build/win32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake \
    -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
# The setups too: the native build's tests install them under Wine and check the shipped one.
cmake --build build/win32 -j "$jobs" --target all vorda_setup
native_options+=("-DVORDA_DICTIONARY_EXE=$PWD/build/win32/Dictionary.exe")

# The Windows end-to-end tests drive the 32-bit program where 32-bit Wine can start, else the 64-bit
# build of the same sources under 64-bit Wine. VORDA_WINE64=1 takes the 64-bit road on any machine.
if [[ -n "${VORDA_WINE64:-}" ]]; then
    why="VORDA_WINE64 is set"
elif ! wine32_says=$(/usr/lib/wine/wine --version 2>&1); then
    # A kernel without IA-32 emulation refuses every 32-bit program; .ci/run tells that apart from a
    # 32-bit Wine that could be had but was not.
    if [[ "$wine32_says" == *"Exec format error"* ]]; then
        why="this machine's kernel runs no 32-bit program (Exec format error)"
    else
        why="this machine cannot run 32-bit Wine (${wine32_says##*$'\n'})"
    fi
fi
if [[ -n "${why:-}" ]]; then
    echo "== [${SECONDS} s] Dictionary.exe, cross-built for 64-bit Windows: $why"
    cmake -S . -B build/win64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-x86_64.cmake \
        -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
    cmake --build build/win64 -j "$jobs" --target all vorda_setup
    native_options+=(-DVORDA_WINE_ARCH=win64 "-DVORDA_WINE_DICTIONARY_EXE=$PWD/build/win64/Dictionary.exe")
    windows="build/win64/Dictionary.exe (64-bit) and its setup under 64-bit Wine, not the shipped program: $why"
else
    native_options+=(-DVORDA_WINE_ARCH=win32 "-DVORDA_WINE_DICTIONARY_EXE=$PWD/build/win32/Dictionary.exe")
    windows="build/win32/Dictionary.exe (32-bit) and its setup under 32-bit Wine"
fi
echo "Windows end-to-end and fault tests: $windows"

echo "== [${SECONDS} s] The Linux program, unit tests and end-to-end tests"
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVORDA_BUILD_TESTS=ON "${native_options[@]}" >/dev/null
cmake --build build/native -j "$jobs"
ctest --test-dir build/native --output-on-failure
# The last line names the Windows program the tests drove; .ci/run reads it.
echo "== [${SECONDS} s] every test passed; Windows: $windows"
