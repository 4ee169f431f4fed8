#!/usr/bin/env bash
# Bad input and faults on the Linux program, on its own private desktop:  qt_faults.sh CASE
#
# How long a tick keeps the program busy is measured from outside: vorda-e2e-x11-ping sends the
# program's icon window the window manager's ping over and over and times each answer, which Qt gives
# from its event loop, so no answer can come while a tick (or any handler) holds that loop.
# ctest passes VORDA_PROGRAM, VORDA_SOURCE_DIR, VORDA_SCREENSHOT_DIR and VORDA_X11_PING.
# shellcheck source-path=SCRIPTDIR disable=SC2119 # helpers whose arguments are optional
: "${VORDA_X11_PING:?the ping probe}"
# shellcheck source=../qt/lib.sh
source "$VORDA_SOURCE_DIR/tests/e2e/qt/lib.sh"

# The longest a tick may keep the program from its events.
TICK_LIMIT_MS=250

# --- Measuring ---------------------------------------------------------------------------------

PING_PID=""
PING_FILE=""
PING_MAX=0

ping_start() {
    PING_FILE="$DESK_DIR/ping.$1.txt"
    "$VORDA_X11_PING" "$QT_ICON" 20 >"$PING_FILE" 2>&1 &
    PING_PID=$!
    desk_track_pid "$PING_PID"
}

# ping_stop WHAT [MIN_PINGS]: ends the probe, prints its summary and sets PING_MAX.
ping_stop() {
    local status=0 summary
    kill -TERM "$PING_PID" 2>/dev/null
    wait "$PING_PID" || status=$?
    summary=$(tail -n1 "$PING_FILE")
    echo "   $1: $summary" >&2
    [[ "$summary" =~ ^pings\ ([0-9]+)\ answered\ ([0-9]+)\ max_ms\ ([0-9]+) ]] ||
        fail "$1: the probe gave no summary: $(cat "$PING_FILE")"
    ((status == 0)) || fail "$1: the program's icon window went away (probe status $status)"
    ((BASH_REMATCH[1] >= ${2:-5})) || fail "$1: only ${BASH_REMATCH[1]} pings were sent"
    PING_MAX=${BASH_REMATCH[3]}
}

# ticks_within LIMIT_MS WHAT: the last probe saw no wait over LIMIT_MS.
ticks_within() {
    ((PING_MAX <= $1)) || fail "$2: the program left its events waiting ${PING_MAX} ms (limit $1 ms): $(grep '^slow' "$PING_FILE" | tr '\n' ' ')"
}

# measure SECONDS WHAT: probes for SECONDS and expects every wait within the tick limit.
measure() {
    ping_start "$2"
    sleep "$1"
    ping_stop "$2"
    ticks_within "$TICK_LIMIT_MS" "$2"
}

# The program answers pings again; a busy program is given up to 30 s.
wait_answering() { desk_poll 30 answers_pings || fail "$1: the program does not answer any more"; }
answers_pings() {
    [[ "$(timeout -s TERM 3 "$VORDA_X11_PING" "$QT_ICON" 20 | tail -n1)" =~ answered\ ([0-9]+) ]] &&
        ((BASH_REMATCH[1] >= 2))
}

program_alive() { desk_is_running "$QT_PID" || fail "the program has ended ($1); see $DESK_DIR/program.log"; }

now_ms() { echo $(($(date +%s%N) / 1000000)); }

# wait_icon STATE WHAT [SECONDS]: text or no_text within SECONDS (5); prints how long it took.
wait_icon() {
    local started
    started=$(now_ms)
    desk_poll "${3:-5}" "qt_icon_shows_$1" || fail "$2: the icon does not show the $1 icon"
    echo "   $2: the $1 icon after $(($(now_ms) - started)) ms" >&2
}

# Puts a file's bytes on the clipboard as UTF8_STRING and waits until the owner offers it.
clip_bytes() {
    clip_bytes_unchecked "$1"
    desk_poll 10 clipboard_offers_text || fail "the clipboard does not offer the text of $1"
}
# A huge text is not asked for: xclip serves one transfer in pieces at a time, and while the
# program takes one, a question may wait for long. The icon tells when the program has it.
clip_bytes_unchecked() {
    desk_release_clipboard
    xclip -selection clipboard -quiet -t UTF8_STRING -i "$1" >/dev/null 2>&1 &
    DESK_CLIP_PID=$!
}
clipboard_holds() { timeout 2 xclip -selection clipboard -o 2>/dev/null | cmp -s - "$1"; }
clipboard_offers_text() {
    [[ $'\n'"$(timeout 3 xclip -selection clipboard -o -t TARGETS 2>/dev/null)"$'\n' == *$'\n'UTF8_STRING$'\n'* ]]
}

# The clipboard's no-text state: spaces only.
clip_no_text() {
    desk_clip_text "   " || fail "cannot put spaces on the clipboard"
    wait_icon no_text "$1"
}

# A new text after a spell of no text, there once the icon shows it.
clip_text_seen() {
    clip_no_text "spaces before '${1:0:20}'"
    desk_clip_text "$1" || fail "cannot set the clipboard"
    wait_icon text "'${1:0:20}'"
}

browser_got_lines() { (($(desk_browser_count) >= $1)); }

# --- The cases ---------------------------------------------------------------------------------

fault_huge_text() {
    step "a small text: the probe sees nothing slow, and it does see the program stopped for 400 ms"
    desk_clip_text "before" || fail "cannot set the clipboard"
    qt_wait_text_icon
    measure 2 "small text"
    ping_start "stopped program"
    sleep 0.5
    kill -STOP "$QT_PID" && sleep 0.4 && kill -CONT "$QT_PID"
    sleep 0.5
    ping_stop "stopped program"
    ((PING_MAX >= 350)) || fail "the probe missed a 400 ms stop of the program (longest wait ${PING_MAX} ms)"

    step "a 50 MB text: the icon follows, the program keeps ticking"
    clip_no_text "spaces before the huge text"
    local huge="$DESK_DIR/huge.txt"
    desk_on_cleanup "rm -f '$huge'"
    { printf 'Huge start '; head -c 50000000 /dev/zero | tr '\0' 'h'; } >"$huge"
    ping_start "50 MB text"
    clip_bytes_unchecked "$huge"
    wait_icon text "50 MB text" 20
    sleep 3
    ping_stop "50 MB text"
    program_alive "50 MB text on the clipboard"
    # The text comes over X on a thread of the program's own; the ticks go on meanwhile.
    ticks_within "$TICK_LIMIT_MS" "50 MB text"

    step "a double click on the 50 MB text: one look-up, of its start, cut to the longest address"
    desk_clear_browser_log
    ping_start "double click on 50 MB"
    qt_double_click "$QT_ICON"
    local length
    length=$(qt_expect_cut_look_up mnuLookup "Huge start $(head -c 3000 /dev/zero | tr '\0' 'h')") || fail "the look-up is not the cut one"
    ping_stop "double click on 50 MB" 1
    program_alive "double click on a 50 MB text"
    ticks_within "$TICK_LIMIT_MS" "double click on 50 MB"
    echo "   the 50 MB text's look-up: ${length} characters" >&2
    # The program took only the start of the owner's transfer; the owner (xclip serves one at a time)
    # is not left waiting for it, and still gives the whole text to another program.
    local pasted
    pasted=$(timeout 30 xclip -selection clipboard -o | wc -c)
    ((pasted == 50000011)) || fail "after the program's look-up another program pasted ${pasted} bytes of the 50 MB text"
    rm -f "$huge"

    step "a 500 MB text: the program stays small and the icon follows"
    clip_no_text "spaces before the 500 MB text"
    { printf 'Larger start '; head -c 500000000 /dev/zero | tr '\0' 'l'; } >"$huge"
    ping_start "500 MB text"
    clip_bytes_unchecked "$huge"
    wait_icon text "500 MB text" 30
    sleep 2
    ping_stop "500 MB text"
    ticks_within "$TICK_LIMIT_MS" "500 MB text"
    local peak_kib
    peak_kib=$(awk '/^VmHWM:/ { print $2 }' "/proc/$QT_PID/status")
    echo "   peak resident memory (VmHWM) with a 500 MB text: ${peak_kib} KiB" >&2
    ((peak_kib < 100 * 1024)) || fail "the program's peak resident memory is ${peak_kib} KiB with a 500 MB text"
    desk_clear_browser_log
    qt_double_click "$QT_ICON"
    length=$(qt_expect_cut_look_up mnuLookup "Larger start $(head -c 3000 /dev/zero | tr '\0' 'l')") || fail "the look-up is not the cut one"
    echo "   the 500 MB text's look-up: ${length} characters" >&2
    desk_release_clipboard
    rm -f "$huge"

    step "long texts each open one look-up within the longest address"
    local text name
    for name in 10000 50000 200000 cjk20000; do
        if [[ "$name" == cjk* ]]; then
            text=$(printf '\xe4\xb8\xad%.0s' $(seq 1 20000))
        else
            text=$(head -c "$name" /dev/zero | tr '\0' 'w')
        fi
        clip_text_seen "$text"
        desk_clear_browser_log
        qt_double_click "$QT_ICON"
        # The start of the text is enough to know the start of its address.
        length=$(qt_expect_cut_look_up mnuLookup "${text:0:3000}") || fail "the look-up is not the cut one"
        echo "   $name: one look-up of ${length} characters" >&2
    done
    program_alive "double clicks on long texts"

    step "a small text again: the icon follows at once and the look-up is whole"
    clip_no_text "spaces after the huge text"
    desk_clip_text "after" || fail "cannot set the clipboard"
    wait_icon text "small text after the huge one"
    rm -f "$huge"
    measure 2 "small text after the huge one"
    desk_clear_browser_log
    qt_double_click "$QT_ICON"
    qt_expect_opened_once "$(qt_address mnuLookup after)"
}

# Each odd text: the bytes the owner serves as UTF8_STRING and the query the look-up must carry.
fault_odd_text() {
    local -a names=(nul invalid_utf8 surrogate_bytes emoji right_to_left tabs_only)
    local -A bytes=(
        [nul]='a\0b'
        [invalid_utf8]='\xff\xfe ok \xc3'
        [surrogate_bytes]='x\xed\xa0\x80y'
        [emoji]='\xf0\x9f\x98\x80 ok'
        [right_to_left]='\xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d \xd9\x85\xd8\xb1\xd8\xad\xd8\xa8\xd8\xa7'
        [tabs_only]='  \t\t  '
    )
    # Invalid bytes each become U+FFFD (EF BF BD); only spaces are trimmed.
    local -A query=(
        [nul]='a%00b'
        [invalid_utf8]='%EF%BF%BD%EF%BF%BD%20ok%20%EF%BF%BD'
        [surrogate_bytes]='x%EF%BF%BD%EF%BF%BD%EF%BF%BDy'
        [emoji]='%F0%9F%98%80%20ok'
        [right_to_left]='%D7%A9%D7%9C%D7%95%D7%9D%20%D9%85%D8%B1%D8%AD%D8%A8%D8%A7'
        [tabs_only]='%09%09'
    )
    local base name file
    base=$(qt_base_address mnuLookup)
    ping_start "odd texts"
    for name in "${names[@]}"; do
        step "$name"
        clip_no_text "spaces before $name"
        file="$DESK_DIR/$name.bin"
        printf '%b' "${bytes[$name]}" >"$file"
        clip_bytes "$file"
        wait_icon text "$name"
        desk_clear_browser_log
        qt_double_click "$QT_ICON"
        qt_expect_opened_once "$base${query[$name]}"
        program_alive "$name"
    done
    ping_stop "odd texts"
    ticks_within "$TICK_LIMIT_MS" "odd texts"
}

# late_owner LOG ARGUMENTS...: vorda-e2e-x11-late-owner ARGUMENTS takes the clipboard. It is not the
# desktop's owner: it stays when the next copy takes the clipboard, as a program does.
late_owner() {
    : "${VORDA_X11_LATE_OWNER:?the late owner}"
    local log="$DESK_DIR/$1"
    shift
    desk_release_clipboard
    "$VORDA_X11_LATE_OWNER" "$@" >"$log" 2>&1 &
    desk_track_pid $!
    desk_poll 5 grep -q owner "$log" || fail "the late owner ($*) did not take the clipboard"
}
# copy_over TEXT: xclip takes the clipboard with TEXT from the owner before, which stays.
copy_over() {
    printf '%s' "$1" >"$DESK_DIR/fresh.txt"
    xclip -selection clipboard -quiet -i "$DESK_DIR/fresh.txt" >/dev/null 2>&1 &
    DESK_CLIP_PID=$!
}

fault_late_answers() {
    local round started
    for round in 1 2 3 4 5; do
        step "round $round: an owner answers 300 ms late, and a new copy comes meanwhile: only the new text"
        clip_no_text "spaces before round $round"
        late_owner late-owner.txt --delay 300 "stale text $round" 0
        sleep 0.$((3 + round)) # it is asked, gives up, and asked again
        qt_icon_shows_no_text || fail "round $round: a text that comes 300 ms late was shown"
        copy_over "fresh $round" # the late owner still answers what it was asked before
        wait_icon text "round $round: the new copy"
        desk_clear_browser_log
        qt_double_click "$QT_ICON"
        qt_expect_opened_once "$(qt_address mnuLookup "fresh $round")"
    done

    step "an owner sends its text in 4 KiB pieces, one every 90 ms, without end: the next copy is followed within 5 s"
    clip_no_text "spaces before the trickle"
    late_owner trickle-owner.txt --trickle 90 "trickle " 0
    ping_start "trickling owner"
    sleep 2
    qt_icon_shows_no_text || fail "a text that never ends was shown"
    started=$(now_ms)
    copy_over "after the trickle" # the trickling owner goes on sending to the program
    wait_icon text "the copy after the trickle"
    desk_clear_browser_log
    qt_double_click "$QT_ICON"
    desk_wait_browser_line "$(qt_address mnuLookup "after the trickle")" 5 || fail "the copy after the trickle was not looked up"
    local elapsed=$(($(now_ms) - started))
    echo "   the copy after the trickle looked up ${elapsed} ms after it was made" >&2
    ((elapsed < 5000)) || fail "the copy after the trickle was looked up only after ${elapsed} ms"
    qt_expect_opened_once "$(qt_address mnuLookup "after the trickle")"
    ping_stop "trickling owner"
    ticks_within "$TICK_LIMIT_MS" "trickling owner"
}

fault_silent_owner() {
    step "the owner of 'frozen' stops answering"
    desk_clip_text "frozen" || fail "cannot set the clipboard"
    qt_wait_text_icon
    local frozen=$DESK_CLIP_PID
    desk_on_cleanup "kill -KILL $frozen"
    kill -STOP "$frozen"
    measure 3 "silent owner"
    qt_icon_shows_text || fail "the icon changed although the owner's text was read before it stopped"

    step "the popup opens promptly"
    local started elapsed
    started=$(now_ms)
    qt_open_popup
    elapsed=$(($(now_ms) - started))
    echo "   popup shown ${elapsed} ms after the right click began" >&2
    ((elapsed < 1500)) || fail "the popup took ${elapsed} ms while the owner does not answer"
    desk_key Escape
    qt_wait_popup_closed

    step "the owner goes away: the next tick catches up"
    kill -KILL "$frozen"
    DESK_CLIP_PID=""
    wait_icon no_text "owner gone"
    measure 2 "after the owner went away"

    step "a new owner that does not answer while another already stopped"
    desk_clip_text "second" || fail "cannot set the clipboard"
    qt_wait_text_icon
    kill -STOP "$DESK_CLIP_PID"
    desk_on_cleanup "kill -KILL $DESK_CLIP_PID"
    measure 2 "second silent owner"
    # The next owner takes over while this one is still stopped; a question sent before the change
    # would wait for the stopped one, so each is given two seconds.
    local second=$DESK_CLIP_PID
    printf 'fresh' >"$DESK_DIR/fresh.txt"
    xclip -selection clipboard -quiet -i "$DESK_DIR/fresh.txt" >/dev/null 2>&1 &
    DESK_CLIP_PID=$!
    desk_poll 10 clipboard_holds "$DESK_DIR/fresh.txt" || fail "the new owner does not serve its text"
    kill -KILL "$second"
    desk_clear_browser_log
    qt_double_click "$QT_ICON"
    qt_expect_opened_once "$(qt_address mnuLookup fresh)"

    step "an owner offers text but gives it only after 3 s: the program asks again and catches up"
    : "${VORDA_X11_LATE_OWNER:?the late owner}"
    clip_no_text "spaces before the late owner"
    desk_release_clipboard
    "$VORDA_X11_LATE_OWNER" late 3000 >"$DESK_DIR/late-owner.txt" 2>&1 &
    DESK_CLIP_PID=$!
    desk_poll 5 grep -q owner "$DESK_DIR/late-owner.txt" || fail "the late owner did not take the clipboard"
    wait_icon text "the late owner's text" 10
    desk_clear_browser_log
    qt_double_click "$QT_ICON"
    qt_expect_opened_once "$(qt_address mnuLookup late)"
}

# own_clipboard_with_hint TEXT HINT: an owner that marks its text as a password manager does.
own_clipboard_with_hint() {
    : "${VORDA_X11_LATE_OWNER:?the late owner}"
    desk_release_clipboard
    rm -f "$DESK_DIR/hint-owner.txt"
    "$VORDA_X11_LATE_OWNER" "$1" 0 "$2" >"$DESK_DIR/hint-owner.txt" 2>&1 &
    DESK_CLIP_PID=$!
    desk_poll 5 grep -q owner "$DESK_DIR/hint-owner.txt" || fail "the owner with a hint did not take the clipboard"
}

fault_password_hint() {
    step "a password marked secret by its manager is no text: not shown, never looked up"
    clip_text_seen "before"
    own_clipboard_with_hint "hunter2" secret
    wait_icon no_text "a password marked secret"
    desk_clear_browser_log
    qt_double_click "$QT_ICON"
    qt_open_popup
    desk_key d
    qt_expect_nothing_opened "a double click and the popup's dictionary look-up on a password"

    step "a text marked otherwise is text"
    own_clipboard_with_hint "visible" public
    wait_icon text "a text marked public"
    desk_clear_browser_log
    qt_double_click "$QT_ICON"
    qt_expect_opened_once "$(qt_address mnuLookup visible)"
}

fault_no_browser() {
    # The program alone runs with a PATH that has no xdg-open or browser and no BROWSER: neither the
    # stand-in nor a real browser can be reached.
    local empty="$DESK_DIR/empty-bin"
    mkdir -p "$empty"
    step "start with PATH=$empty"
    qt_start_program env -u BROWSER PATH="$empty"
    desk_clip_text "nowhere" || fail "cannot set the clipboard"
    qt_wait_text_icon

    step "a double click and a popup look-up open nothing and show nothing"
    ping_start "look-ups with no browser"
    qt_double_click "$QT_ICON"
    qt_open_popup
    desk_key g
    qt_wait_popup_closed
    sleep 1
    ping_stop "look-ups with no browser"
    ticks_within "$TICK_LIMIT_MS" "look-ups with no browser"
    qt_expect_nothing_opened "no browser"
    [[ -z "$(qt_program_windows)" ]] || fail "the program shows a window: $(qt_program_windows)"
    [[ -z "$(ps -o pid= --ppid "$QT_PID")" ]] || fail "the program has child processes: $(ps -o pid=,args= --ppid "$QT_PID")"
    program_alive "look-ups with no browser"

    step "the program still answers: the icon follows the clipboard and the popup opens"
    clip_no_text "no text after the look-ups"
    qt_open_popup
    desk_key Escape
    qt_wait_popup_closed
    measure 1 "after the look-ups"

    step "once an xdg-open is on its PATH, the same double click opens the look-up"
    ln -s "$DESK_DIR/bin/xdg-open" "$empty/xdg-open"
    desk_clip_text "somewhere" || fail "cannot set the clipboard"
    qt_wait_text_icon
    qt_double_click "$QT_ICON"
    qt_expect_opened_once "$(qt_address mnuLookup somewhere)"
}

fault=${1:?which fault}
declare -F "fault_$fault" >/dev/null || fail "no fault case named '$fault'"
qt_start_desktop
[[ "$fault" == no_browser ]] || qt_start_program
"fault_$fault"
program_alive "end of $fault"
echo "PASS: $fault"
