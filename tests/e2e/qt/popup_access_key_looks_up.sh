#!/usr/bin/env bash
# A right click opens the popup at the icon, inside the work area and off the pointer, wherever the
# tray is (EDGE: top, the default, bottom, left or right of the screen), on one screen or on two
# side by side (SCREENS: 1 or 2, where Qt's screens leave the work area out); an item's access key
# runs its look-up; Escape and Cancel open nothing.
#
#     popup_access_key_looks_up.sh [EDGE [SCREENS]]
# shellcheck source-path=SCRIPTDIR disable=SC2119 # helpers whose arguments are optional
source "$(dirname "$0")/lib.sh"
edge=${1:-top} screens=${2:-1}
[[ "$edge" =~ ^(top|bottom|left|right)$ && "$screens" =~ ^[12]$ ]] ||
    { echo "usage: $0 [top|bottom|left|right [1|2]]" >&2; exit 2; }
if [[ "$edge" != top || "$screens" != 1 ]]; then
    # A laptop's screen with a 24-pixel panel, the icon in the panel's far corner.
    DESK_SCREEN="1280x800x24"
    DESK_TRAY_COMMAND=(trayer --edge "$edge" --align right --widthtype request --height 24 --transparent false)
fi
qt_start_desktop
((screens == 2)) && qt_two_screens
qt_set_work_area_beside_tray "$edge"
qt_start_program

popup_wider_than() {
    local width
    read -r _ _ width _ < <(desk_window_geometry "$(qt_popup_window)") && ((width > $1))
}

text=" rock & roll "
desk_clip_text "$text"
qt_wait_text_icon

step "right click, Escape (the first popup after the start)"
qt_open_popup
if [[ "$edge" == top ]]; then
    qt_screenshot popup "$(qt_popup_window)"
    qt_screenshot popup-at-tray "1024x400+0+0"
    # The tray with the popup open, from the popup's left edge to the screen's right one: the picture
    # of the program in its AppStream metainfo (docs/screenshots/tray-with-popup.png is this one's copy).
    read -r popup_x popup_y _ popup_height < <(desk_window_geometry "$(qt_popup_window)") || fail "the popup is gone"
    qt_screenshot tray-with-popup "$((${DESK_SCREEN%%x*} - popup_x + 24))x$((popup_y + popup_height))+$((popup_x - 24))+0"
fi
desk_key Escape
qt_wait_popup_closed
qt_expect_nothing_opened "Escape in the popup"

step "right click, Escape, again and again: the same place each time"
for _ in 1 2 3 4; do
    qt_open_popup
    desk_key Escape
    qt_wait_popup_closed
done

step "right click, C (Cancel)"
qt_open_popup
desk_key c
qt_wait_popup_closed
qt_expect_nothing_opened "Cancel"

step "right click, R (rhymes)"
qt_open_popup
desk_key r
qt_wait_popup_closed
qt_expect_opened_once "$(qt_address mnuRyhme "$text")"

step "right click, E (encyclopedia)"
desk_clear_browser_log
qt_open_popup
desk_key e
qt_expect_opened_once "$(qt_address mnuEncyclopedia "$text")"

desk_clear_browser_log
step "a longer text copied while the popup is open: it grows, and stays inside the work area"
qt_open_popup
read -r _ _ narrow _ < <(desk_window_geometry "$(qt_popup_window)") || fail "the popup is gone"
desk_clip_text "a much longer text, copied meanwhile"
desk_poll 10 popup_wider_than "$narrow" || fail "the popup did not grow with the longer text"
location=$(xdotool getmouselocation)
[[ "$location" =~ x:([0-9]+)\ y:([0-9]+) ]] || fail "no pointer location: $location"
qt_expect_popup_placed "the popup grown" "${BASH_REMATCH[1]}" "${BASH_REMATCH[2]}"
desk_key Escape
qt_wait_popup_closed
qt_expect_nothing_opened "Escape in the grown popup"
echo "PASS: at the $edge edge of $screens screen(s) the popup opens inside the work area, off the pointer; its access keys run their look-ups; Escape and Cancel open nothing"
