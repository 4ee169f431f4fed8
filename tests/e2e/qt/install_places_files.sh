#!/usr/bin/env bash
# "cmake --install" places the program, its launcher, its icons, its metainfo and its manual page
# where desktops, software centres and man look for them.
set -uo pipefail
: "${VORDA_BUILD_DIR:?the build folder}"
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix=$(mktemp -d "${TMPDIR:-/tmp}/vorda-install.XXXXXX")
trap 'rm -rf "$prefix"' EXIT
cmake --install "$VORDA_BUILD_DIR" --prefix "$prefix" >"$prefix.log" 2>&1 || { cat "$prefix.log" >&2; rm -f "$prefix.log"; fail "cmake --install failed"; }
rm -f "$prefix.log"

program="$prefix/bin/vorda-dictionary"
launcher="$prefix/share/applications/com.vorda.dictionary.desktop"
[[ -x "$program" ]] || fail "no program at $program"
[[ -f "$launcher" ]] || fail "no launcher at $launcher"
grep -qxF "Exec=$program" "$launcher" || fail "the launcher does not start $program: $(cat "$launcher")"
grep -qxF "Icon=vorda-dictionary" "$launcher" || fail "the launcher names no icon"
grep -qxF "Type=Application" "$launcher" || fail "the launcher is not an application"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$launcher" || fail "the launcher is not a valid desktop entry"
fi
for size in 16 32 48 64 128 256; do
    icon="$prefix/share/icons/hicolor/${size}x${size}/apps/vorda-dictionary.png"
    [[ -f "$icon" ]] || fail "no ${size}x${size} icon"
    [[ "$(identify -format '%m %wx%h' "$icon")" == "PNG ${size}x${size}" ]] || fail "$icon is not a ${size}x${size} PNG"
done
svg="$prefix/share/icons/hicolor/scalable/apps/vorda-dictionary.svg"
grep -q '<svg ' "$svg" 2>/dev/null || fail "no scalable icon at $svg"
for file in share/metainfo/com.vorda.dictionary.metainfo.xml share/man/man1/vorda-dictionary.1.gz \
    share/doc/vorda-dictionary/copyright share/doc/vorda-dictionary/changelog.gz; do
    [[ -s "$prefix/$file" ]] || fail "no $file"
done
echo "PASS: program, launcher, icons, metainfo, manual page, copyright and changelog installed under $prefix"
