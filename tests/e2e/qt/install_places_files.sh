#!/usr/bin/env bash
# "cmake --install" places the program, its launcher and its icons where desktops look for them.
set -uo pipefail
: "${VORDA_BUILD_DIR:?the build folder}"
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix=$(mktemp -d "${TMPDIR:-/tmp}/vorda-install.XXXXXX")
trap 'rm -rf "$prefix"' EXIT
cmake --install "$VORDA_BUILD_DIR" --prefix "$prefix" >"$prefix.log" 2>&1 || { cat "$prefix.log" >&2; rm -f "$prefix.log"; fail "cmake --install failed"; }
rm -f "$prefix.log"

program="$prefix/bin/vorda-dictionary"
launcher="$prefix/share/applications/vorda-dictionary.desktop"
[[ -x "$program" ]] || fail "no program at $program"
[[ -f "$launcher" ]] || fail "no launcher at $launcher"
grep -qxF "Exec=$program" "$launcher" || fail "the launcher does not start $program: $(cat "$launcher")"
grep -qxF "Icon=vorda-dictionary" "$launcher" || fail "the launcher names no icon"
grep -qxF "Type=Application" "$launcher" || fail "the launcher is not an application"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$launcher" || fail "the launcher is not a valid desktop entry"
fi
for size in 16 32; do
    icon="$prefix/share/icons/hicolor/${size}x${size}/apps/vorda-dictionary.png"
    [[ -f "$icon" ]] || fail "no ${size}x${size} icon"
    [[ "$(identify -format '%m %wx%h' "$icon")" == "PNG ${size}x${size}" ]] || fail "$icon is not a ${size}x${size} PNG"
done
echo "PASS: program, launcher and icons installed under $prefix"
