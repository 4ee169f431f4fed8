#!/usr/bin/env bash
# In a Wayland session on a wlroots compositor (sway, headless, as an unprivileged user since sway
# refuses the superuser) the program follows what Wayland programs copy (wl-copy) through the
# data-control protocol, although it never has focus. Its windows and tray stay on the X display.
# shellcheck source-path=SCRIPTDIR disable=SC2119 # helpers whose arguments are optional
source "$(dirname "$0")/lib.sh"
qt_start_desktop

step "sway, headless"
qt_start_sway 'xwayland disable'
shared=$QT_SHARED
as_user=("${QT_AS_USER[@]}")

qt_start_program "${as_user[@]}"

step "a picture is no text"
desk_convert -size 8x8 xc:red "$shared/picture.png"
qt_wl_copy_file "$shared/picture.png" --type image/png
qt_wait_no_text_icon
qt_double_click "$QT_ICON"
qt_expect_nothing_opened "a double click on a picture"

step "a text copied by a Wayland program is shown and looked up"
qt_wl_copy "  tide pool "
qt_wait_text_icon
qt_double_click "$QT_ICON"
qt_expect_opened_once "$(qt_address mnuLookup "  tide pool ")"

step "spaces only are no text"
qt_wl_copy "    "
qt_wait_no_text_icon

step "a 3 MB text is seen, and the copy after it"
head -c 3000000 /dev/zero | tr '\0' 'w' >"$shared/big.txt"
qt_wl_copy_file "$shared/big.txt"
desk_poll 10 qt_icon_shows_text || fail "the 3 MB text is not shown"
qt_wl_copy "after"
desk_clear_browser_log
sleep 1 # the same icon either way: the new selection is given its time to be noticed
qt_double_click "$QT_ICON"
qt_expect_opened_once "$(qt_address mnuLookup after)"
step "an owner that trickles one byte every 90 ms, then a wl-copy: the new text is shown and looked up within 5 s"
qt_wl_copy "    "
qt_wait_no_text_icon
qt_wayland_owner --trickle 90 "slow"
sleep 1.5 # the trickle is being read, and given up, and read again
qt_icon_shows_no_text || fail "a text that never ends was shown"
QT_WAYLAND_OWNER="" # it stays, until wl-copy takes the clipboard from it
started=$(($(date +%s%N) / 1000000))
qt_wl_copy "quick"
desk_poll 5 qt_icon_shows_text || fail "the copy after a trickling owner is not shown within 5 s"
echo "   the copy after the trickling owner shown after $(($(date +%s%N) / 1000000 - started)) ms" >&2
desk_clear_browser_log
qt_double_click "$QT_ICON"
qt_expect_opened_once "$(qt_address mnuLookup quick)"
elapsed=$(($(date +%s%N) / 1000000 - started))
echo "   ... and looked up after ${elapsed} ms" >&2
((elapsed < 5000 + ${QT_QUIET_SECONDS%.*} * 1000 + 500)) || fail "the copy after a trickling owner took ${elapsed} ms"

step "an owner that sends without end: the program stays small, looks up the first part, follows the next copy"
qt_wl_copy "    "
qt_wait_no_text_icon
qt_wayland_owner --endless "endless "
desk_poll 5 qt_icon_shows_text || fail "the first part of an endless text is not shown"
sleep 2
peak_kib=$(awk '/^VmHWM:/ { print $2 }' "/proc/$QT_PID/status")
echo "   peak resident memory (VmHWM) with an endless owner: ${peak_kib} KiB" >&2
((peak_kib < 100 * 1024)) || fail "the program's peak resident memory is ${peak_kib} KiB with an endless owner"
desk_clear_browser_log
qt_double_click "$QT_ICON"
endless=$(printf 'endless %.0s' $(seq 1 200))
length=$(qt_expect_cut_look_up mnuLookup "$endless") || fail "the endless text's look-up is not the cut one"
echo "   the endless text's look-up: $length characters" >&2
qt_wl_copy "    "
qt_wait_no_text_icon
qt_wl_copy "next"
qt_wait_text_icon
desk_clear_browser_log
qt_double_click "$QT_ICON"
qt_expect_opened_once "$(qt_address mnuLookup next)"

step "a password that its manager marks as secret is no text: not shown, never looked up"
qt_wayland_owner "hunter2" secret
qt_wait_no_text_icon
desk_clear_browser_log
qt_double_click "$QT_ICON"
qt_expect_nothing_opened "a double click on a password"
qt_wayland_owner "visible" public
qt_wait_text_icon
qt_double_click "$QT_ICON"
qt_expect_opened_once "$(qt_address mnuLookup visible)"
echo "PASS: the program follows a Wayland program's copies through data-control"
