#!/usr/bin/env bash
# Makes one of the downloads into build/packages, installing what building it needs:
#     bash scripts/package.sh deb     vorda-dictionary_<version>_amd64.deb, the Linux program (build/native)
#     bash scripts/package.sh zip     VordaDictionary-<version>-win32.zip, Dictionary.exe (build/win32)
#     bash scripts/package.sh setup   VordaDictionary-<version>-setup.exe, Dictionary.exe's setup (build/win32)
set -euo pipefail
cd "$(dirname "$0")/.."
case "${1:-}" in
    deb | zip | setup) ;;
    *) echo "usage: bash scripts/package.sh deb|zip|setup" >&2; exit 2 ;;
esac
bash scripts/install-deps.sh --package
out=$PWD/build/packages
mkdir -p "$out"

if [[ "$1" == deb ]]; then
    build=build/native
    # A first configure leaves the tests out (their packages come with --test); a folder that
    # scripts/test.sh configured keeps them.
    tests=()
    [[ -f "$build/CMakeCache.txt" ]] || tests=(-DVORDA_BUILD_TESTS=OFF)
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${tests[@]}" >/dev/null
else
    build=build/win32
    cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
fi
if [[ "$1" == setup ]]; then
    cmake --build "$build" -j "$(nproc)" --target vorda_setup
    setup=$(cat "$build/packaging/windows/setup-path.txt")
    cp "$setup" "$out/"
    ls -l "$out/${setup##*/}"
    exit 0
fi
cmake --build "$build" -j "$(nproc)"
(cd "$build" && cpack -B "$out/.cpack") >"$out/cpack-$1.log"
mv "$out"/.cpack/*."$1" "$out/"
rm -rf "$out/.cpack"
ls -l "$out"/*."$1"
