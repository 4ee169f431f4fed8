#!/usr/bin/env bash
# Under a memory limit a huge text (3 million "é") is read only as far as the read budget goes and
# its look-up is cut to the longest address: the program opens that one look-up, runs on, and looks
# up the next text.
# shellcheck source-path=SCRIPTDIR disable=SC2119 # helpers whose arguments are optional
source "$(dirname "$0")/lib.sh"
qt_start_desktop

step "the program's address space with a text on the clipboard, without a limit"
desk_clip_text "measure"
qt_start_program
qt_wait_text_icon
sleep 1
size_kib=$(awk '/^VmSize:/ { print $2 }' "/proc/$QT_PID/status")
kill -TERM "$QT_PID"
qt_wait_program_end 10
desk_wait_no_icon 5 || fail "the first run's icon stays"
# Room for the program and a little more, far from enough for the whole text's address (36 MB,
# twice over while it grows) or the whole text itself.
limit_kib=$((size_kib + 64 * 1024))
echo "address space ${size_kib} KiB; limit ${limit_kib} KiB" >&2

step "a huge text under the limit"
desk_clip_image
qt_start_program prlimit --as=$((limit_kib * 1024)) --
qt_wait_no_text_icon
huge=$(printf 'é%.0s' $(seq 1 1000))
huge=$(printf "$huge%.0s" $(seq 1 3000))
desk_clip_text "$huge"
qt_wait_text_icon
desk_clear_browser_log
qt_double_click "$QT_ICON"
length=$(qt_expect_cut_look_up mnuLookup "${huge:0:2000}") || fail "the huge text's look-up is not the cut one"
echo "the huge text's look-up: $length characters" >&2
desk_is_running "$QT_PID" || fail "the program ended: $(tail -n 3 "$DESK_DIR/program.log")"

step "the next text"
desk_clip_text "small"
desk_poll 10 qt_icon_shows_text || fail "the icon does not follow the next copy"
desk_clear_browser_log
qt_double_click "$QT_ICON"
qt_expect_opened_once "$(qt_address mnuLookup small)"
echo "PASS: under a memory limit a huge text is looked up by its start, and the program runs on"
