#!/usr/bin/env bash
# The package's one launcher is a valid desktop entry that starts the installed program and names an
# icon the package carries at every size.
# shellcheck source-path=SCRIPTDIR
source "$(dirname "$0")/lib.sh"
need desktop-file-validate
root=$(deb_root)
launchers=("$root"/usr/share/applications/*.desktop)
[[ ${#launchers[@]} == 1 && -f "${launchers[0]}" ]] || fail_now "not one launcher: ${launchers[*]}"
launcher=${launchers[0]}
desktop-file-validate "$launcher" || fail "desktop-file-validate finds fault with $(basename "$launcher")"
grep -qxF "Exec=/usr/bin/vorda-dictionary" "$launcher" || fail "the launcher does not start /usr/bin/vorda-dictionary"
icon=$(sed -n 's/^Icon=//p' "$launcher")
for size in 16 32 48 64 128 256; do
    [[ -f "$root/usr/share/icons/hicolor/${size}x${size}/apps/$icon.png" ]] || fail "no ${size}x${size} $icon.png"
done
[[ -f "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" ]] || fail "no scalable $icon.svg"
finish "$(basename "$launcher") is valid, icon $icon at 16 to 256 pixels and scalable"
