#!/usr/bin/env bash
# The manual page vorda-dictionary(1) formats without a warning (as lintian runs man) and tells what
# the program does, where its auto-start entry goes, the exit question, what works on which desktop
# and where to report problems.
# shellcheck source-path=SCRIPTDIR
source "$(dirname "$0")/lib.sh"
need man
page=$(deb_root)/usr/share/man/man1/vorda-dictionary.1.gz
[[ -f "$page" ]] || fail_now "no manual page at $page"

warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
[[ -z "$warnings" ]] || fail "man --warnings: $warnings"

# One line per paragraph, so that no phrase is broken or hyphenated.
text=$(LC_ALL=C.UTF-8 MANWIDTH=2000 man -l "$page" 2>/dev/null | col -b)
[[ -n "$text" ]] || fail_now "the manual page formats to nothing"
for section in NAME SYNOPSIS DESCRIPTION AUTO-START EXIT DESKTOPS FILES BUGS; do
    grep -qx "$section" <<<"$text" || fail "no section $section"
done
question=$(sed -n 's/.*u"\(Would you like[^"]*\)".*/\1/p' "$VORDA_SOURCE_DIR/src/app/frmDictionary.cpp")
[[ -n "$question" ]] || fail_now "no exit question found in src/app/frmDictionary.cpp"
for phrase in "look up the copied text on the web from the tray" "looks the clipboard's text up" \
    "VordaDictionary.desktop" "/etc/xdg/autostart" "XDG_CONFIG_DIRS" "~/.config/autostart" "XDG_CONFIG_HOME" \
    "rm ~/.config/autostart/VordaDictionary.desktop" "apt purge vorda-dictionary" "$question" \
    "GNOME" "KDE Plasma" "sway" "X11" "weston" "Report problems to dictionary@vorda.com"; do
    grep -qF -- "$phrase" <<<"$text" || fail "the manual page does not say \"$phrase\""
done
finish "vorda-dictionary(1) formats cleanly and covers start, auto-start, exit, desktops and reports"
