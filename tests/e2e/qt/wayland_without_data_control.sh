#!/usr/bin/env bash
# A Wayland compositor that offers no data-control (weston, headless): the program says once on
# standard error what cannot work, runs on, and follows the X display's clipboard.
# shellcheck source-path=SCRIPTDIR disable=SC2119 # helpers whose arguments are optional
source "$(dirname "$0")/lib.sh"
desk_require weston
qt_start_desktop

step "weston, headless"
qt_start_compositor weston weston --backend=headless-backend.so --socket=wayland-vorda --idle-time=0
qt_start_program "${QT_AS_USER[@]}"

step "one message, and the X clipboard followed"
desk_clip_text "over X"
qt_wait_text_icon
qt_double_click "$QT_ICON"
qt_expect_opened_once "$(qt_address mnuLookup "over X")"
messages=$(grep -c "offers no data-control protocol" "$DESK_DIR/program.log")
((messages == 1)) || fail "the message was given $messages times: $(cat "$DESK_DIR/program.log")"
desk_is_running "$QT_PID" || fail "the program ended"
echo "PASS: without data-control the program says so once and runs on over X"
