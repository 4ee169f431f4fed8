#!/usr/bin/env bash
# The tooltip shows the clipboard's first characters as they are: a text that looks like markup is
# not read as markup ("<h1>x" would be a heading, on lines of its own).
# shellcheck source-path=SCRIPTDIR disable=SC2119 # helpers whose arguments are optional
source "$(dirname "$0")/lib.sh"
qt_start_desktop
qt_start_program

# tooltip_size TEXT NAME: prints "WIDTH HEIGHT" of the one-line tooltip shown for TEXT.
tooltip_size() {
    desk_clip_text "$1"
    qt_wait_text_icon
    qt_hover "$QT_ICON"
    desk_poll 5 qt_tooltip_is_shown || fail "no one-line tooltip over the icon for '$1': $(qt_program_windows)"
    local id width height
    read -r id width height < <(qt_program_windows | awk -v id="$(qt_tooltip_window)" '$1 == id')
    qt_screenshot "$2" "$id"
    qt_point_away
    desk_poll 5 test -z "$(qt_tooltip_window)" || true
    echo "$width $height"
}

step "a plain text"
read -r plain_width plain_height < <(tooltip_size "(h1)x" tooltip-plain)
step "a text that looks like markup"
read -r markup_width markup_height < <(tooltip_size "<h1>x" tooltip-markup)
echo "tooltip for (h1)x: ${plain_width}x${plain_height}; for <h1>x: ${markup_width}x${markup_height}" >&2
((markup_height == plain_height)) || fail "the tooltip of <h1>x is ${markup_height} px high, a plain one ${plain_height}"
((markup_width * 10 > plain_width * 8 && markup_width * 10 < plain_width * 12)) ||
    fail "the tooltip of <h1>x is ${markup_width} px wide, that of (h1)x ${plain_width}: not the same text"
((plain_width > plain_height * 5)) || fail "the tooltip is not one line: ${plain_width}x${plain_height}"
echo "PASS: the tooltip shows a text that looks like markup as it is"
