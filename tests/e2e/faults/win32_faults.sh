#!/usr/bin/env bash
# Bad input and faults on Dictionary.exe under Wine, on its own private desktop:
#   win32_faults.sh WORK_DIR SOURCE_DIR HELPER_EXE CASE
# WORK_DIR holds the prefix that prepare_prefix.sh made for these tests.
#
# How long a tick keeps the program busy is read from Wine's own trace of the program's calls
# (WINEDEBUG=+timestamp,+pid,+msg,+clipboard,+systray), each line stamped to the millisecond. The
# thread's taking of a posted, input or notify message (the tray's callbacks come as the last)
# starts a handler; the timer message of tmrCheckClipboard (the window's timer 1) starts a tick. A
# tick's last call is the tray's modify request, whose answer is traced, so a tick lasts until the
# thread's last line before it takes the next message. Another handler may compute on after its last
# call; it lasts until the next message is taken when that is later than the next tick was due.
# shellcheck source-path=SCRIPTDIR disable=SC2034,SC2119 # WINE_WORK and SOURCE_DIR are read by wine_session.sh
set -uo pipefail

WINE_WORK=$(cd "$1" && pwd)
SOURCE_DIR=$2
helper_exe=$3
fault=$4
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../lib/desktop.sh"
source "$here/../win32/wine_session.sh"

TICK_LIMIT_MS=250
HELPER='C:\vorda-e2e-clipboard.exe'
WINE=$(command -v wine)
TRACE=""
THREAD=""       # the program's thread in the trace, as PID:TID
TICKS_FROM=0    # the trace line from which ticks are counted
ICON=""

helper() { "$WINE" "$HELPER" "$@"; }
now_ms() { echo $(($(date +%s%N) / 1000000)); }
program_alive() { program_has_ended && fail "Dictionary.exe has ended ($1); see $TRACE"; return 0; }
# Wine's words for a program brought down by a fault.
no_crash_in_trace() {
    local crash
    crash=$(grep -E 'Unhandled (page fault|exception)|virtual_setup_exception' "$TRACE")
    [[ -z "$crash" ]] || fail "Dictionary.exe faulted: $crash"
}

# traced_start [ENV ARGUMENTS...]: starts the program, its calls traced, with its environment changed
# as for env(1); waits for its icon.
traced_start() {
    TRACE="$DESK_DIR/trace.log"
    env "$@" WINEDEBUG="+timestamp,+pid,+msg,+clipboard,+systray" "$WINE" "$PROGRAM_PATH" >"$TRACE" 2>&1 &
    PROGRAM_PID=$!
    desk_track_pid "$PROGRAM_PID"
    desk_poll 30 program_thread_known || fail "no tray request of the program in its trace"
}
program_thread_known() {
    THREAD=$(awk -F: '/Shell_NotifyIconW dwMessage = 0/ { print $2 ":" $3; exit }' "$TRACE")
    [[ -n "$THREAD" ]]
}
wait_icon_docked() { ICON=$(icon_wait); }

# --- Ticks ---------------------------------------------------------------------------------------

ticks_mark() { TICKS_FROM=$(wc -l <"$TRACE"); }

# Prints "ticks N longest_ms D longest_interval_ms I longest_handler_ms H" for what ran since the
# mark (H for handlers other than ticks), after a line "slow ..." for each over 100 ms.
ticks_report() {
    awk -F: -v thread="$THREAD" -v from="$TICKS_FROM" '
        function finish(upto) {
            took = last - start
            if (!tick && upto - start > 300) took = upto - start
            if (tick && took > longest) longest = took
            if (!tick && took > handler) handler = took
            if (took > 100) printf "slow %s %d ms at %.3f\n", tick ? "tick" : "handler", took, start / 1000
            open = 0
        }
        NR > from && ($2 ":" $3) == thread {
            t = $1 * 1000
            if ($0 ~ /:trace:msg:peek_message got type [267] /) {
                if (open) finish(t)
                tick = $0 ~ /\(WM_TIMER\) hwnd [0-9a-fx]+ wp 1 /
                if (tick) {
                    if (ticks > 0 && t - tickStart > interval) interval = t - tickStart
                    tickStart = t; ticks++
                }
                start = t; last = t; open = 1
            } else if (open) last = t
        }
        END {
            if (open) finish(last)
            printf "ticks %d longest_ms %d longest_interval_ms %d longest_handler_ms %d\n", ticks, longest, interval, handler
        }
    ' "$TRACE"
}

HANDLER_LONGEST=0
# ticks_check LIMIT_MS MIN_TICKS WHAT [HANDLER_LIMIT_MS]: since the mark at least MIN_TICKS ticks ran
# and none took longer than LIMIT_MS; no other handler held the program longer than HANDLER_LIMIT_MS
# (five seconds unless given).
ticks_check() {
    local report summary
    report=$(ticks_report)
    summary=$(tail -n1 <<<"$report")
    echo "   $3: $summary" >&2
    [[ "$summary" =~ ^ticks\ ([0-9]+)\ longest_ms\ ([0-9]+)\ longest_interval_ms\ ([0-9]+)\ longest_handler_ms\ ([0-9]+) ]] ||
        fail "$3: no tick report"
    HANDLER_LONGEST=${BASH_REMATCH[4]}
    ((BASH_REMATCH[1] >= $2)) || fail "$3: only ${BASH_REMATCH[1]} ticks ran, expected $2 or more"
    ((BASH_REMATCH[2] <= $1)) || fail "$3: a tick kept the program busy ${BASH_REMATCH[2]} ms (limit $1 ms): $(grep '^slow' <<<"$report" | tr '\n' ' ')"
    ((BASH_REMATCH[4] <= ${4:-5000})) || fail "$3: a handler kept the program busy ${BASH_REMATCH[4]} ms"
}

# measure SECONDS WHAT: ticks for SECONDS, none over the limit.
measure() {
    ticks_mark
    sleep "$1"
    ticks_check "$TICK_LIMIT_MS" "$(($1 * 3))" "$2"
}

ticks_running() {
    ticks_mark
    desk_poll 3 ticks_since_mark_at_least 3 || fail "$1: the program does not tick any more"
}
ticks_since_mark_at_least() { [[ "$(ticks_report | tail -n1)" =~ ^ticks\ ([0-9]+) ]] && ((BASH_REMATCH[1] >= $1)); }

# --- The clipboard and what the program shows ----------------------------------------------------

wait_icon() {
    local started
    started=$(now_ms)
    desk_poll 20 "icon_shows_$1_icon" "$ICON" || fail "$2: the icon does not show the $1 icon"
    echo "   $2: the $1 icon after $(($(now_ms) - started)) ms" >&2
}

clip_no_text() {
    desk_clip_text "   " || fail "cannot put spaces on the clipboard"
    wait_icon no_text "$1"
}

# Wine hands a change of the X clipboard on to Windows programs only when it next looks, up to two
# seconds later; a look-up before that would read the text before. So a new text comes after a
# spell of no text, and counts as there once the icon shows it.
clip_text_seen() {
    clip_no_text "spaces before '${1:0:20}'"
    desk_clip_text "$1" || fail "cannot set the clipboard"
    wait_icon text "'${1:0:20}'"
}

# A file's bytes as the X clipboard's UTF8_STRING, which Wine hands to Windows programs; waits
# until the owner offers it.
clip_bytes() {
    clip_bytes_unchecked "$1"
    desk_poll 10 clipboard_offers_text || fail "the clipboard does not offer the text of $1"
}
# A huge text is not asked for: xclip serves one transfer in pieces at a time, and while Wine takes
# one, a question may wait for long. The icon tells when the program has it.
clip_bytes_unchecked() {
    desk_release_clipboard
    xclip -selection clipboard -quiet -t UTF8_STRING -i "$1" >/dev/null 2>&1 &
    DESK_CLIP_PID=$!
}
clipboard_offers_text() {
    [[ $'\n'"$(timeout 3 xclip -selection clipboard -o -t TARGETS 2>/dev/null)"$'\n' == *$'\n'UTF8_STRING$'\n'* ]]
}

# expect_looked_up ADDRESS: a double click opens ADDRESS, once.
expect_looked_up() {
    desk_clear_browser_log
    desk_double_click "$ICON"
    desk_wait_browser_line "$1" 20 || fail "no look-up of $1"
    browser_count_stays 1 1
}

# The system told one of the program's threads of a clipboard change.
told_of_change() { grep -aq "^[0-9.]*:${THREAD%%:*}:[0-9a-f]*:trace:msg:.*(WM_CLIPBOARDUPDATE)" "$TRACE"; }

# expect_cut_look_up TEXT: a double click opened, once, the start of TEXT's dictionary look-up, cut
# to the longest address at a whole character (TEXT need only be long enough to pass the cut).
expect_cut_look_up() {
    local whole line longest
    whole=$(lookup_address mnuLookup "$1")
    longest=$(lookup_base longest)
    desk_poll 20 test -s "$DESK_BROWSER_LOG" || fail "nothing was opened for a long text"
    browser_count_stays 1 1
    line=$(head -n 1 "$DESK_BROWSER_LOG")
    ((${#line} <= longest && ${#line} > longest - 12)) || fail "the address has ${#line} characters (longest $longest)"
    [[ "$whole" == "$line"* ]] || fail "the address is not the start of the look-up: ${line:0:120}"
    [[ ! "$line" =~ %[0-9A-F]?$ ]] || fail "the address ends in a split %XX: ...${line: -12}"
    echo "   one look-up of ${#line} characters" >&2
}

expect_nothing_opened() {
    browser_count_stays 0 2
}

visible_windows() { xdotool search --onlyvisible --name . 2>/dev/null | sort; }

# --- The cases ---------------------------------------------------------------------------------

fault_huge_text() {
    desk_clip_text "before" || fail "cannot set the clipboard"
    traced_start
    wait_icon_docked
    wait_icon text "small text"
    measure 2 "small text"

    step "a 50 MB text from an X program: the icon follows, the program keeps ticking"
    clip_no_text "spaces before the huge text"
    local huge="$DESK_DIR/huge.txt"
    desk_on_cleanup "rm -f '$huge'"
    { printf 'Huge start '; head -c 50000000 /dev/zero | tr '\0' 'h'; } >"$huge"
    ticks_mark
    clip_bytes_unchecked "$huge"
    wait_icon text "50 MB text"
    sleep 3
    program_alive "50 MB text on the clipboard"
    # The text comes from Wine on a thread of the program's own; the ticks go on meanwhile.
    ticks_check "$TICK_LIMIT_MS" 3 "50 MB text"

    step "a double click on the 50 MB text: one look-up of its start, cut to the longest address"
    # Wine announces so large an X text anew every two seconds and fetches all of it again, for about
    # a second, longer than a look-up waits for the read under way: a double click that meets such a
    # fetch opens nothing, and one a little later opens the look-up.
    ticks_mark
    local attempt
    for attempt in 1 2 3 4; do
        desk_clear_browser_log
        desk_double_click "$ICON"
        desk_poll 3 test -s "$DESK_BROWSER_LOG" && break
        echo "   double click $attempt opened nothing" >&2
    done
    expect_cut_look_up "Huge start $(printf 'h%.0s' {1..2000})"
    # A look-up that opens at once leaves less than three ticks' time since the mark: a moment more.
    desk_poll 3 ticks_since_mark_at_least 3 || true
    ticks_check "$TICK_LIMIT_MS" 3 "double click on 50 MB"
    program_alive "double click on a 50 MB text"
    rm -f "$huge"

    step "900 letters open whole; 2000 letters and 1000 CJK characters open their start, cut to the longest address"
    local letters
    letters=$(printf 'w%.0s' {1..900})
    clip_text_seen "$letters"
    expect_looked_up "$(lookup_address mnuLookup "$letters")"
    letters=$(printf 'w%.0s' {1..2000})
    clip_text_seen "$letters"
    desk_clear_browser_log
    desk_double_click "$ICON"
    expect_cut_look_up "$letters"
    clip_no_text "spaces before CJK"
    helper fill 4E2D 1000 || fail "the helper could not fill the clipboard"
    wait_icon text "1000 CJK characters"
    desk_clear_browser_log
    desk_double_click "$ICON"
    expect_cut_look_up "$(printf '\xe4\xb8\xad%.0s' {1..200})"
    program_alive "double clicks on long texts"

    step "a small text again: the icon follows and the look-up is whole"
    clip_text_seen "after"
    measure 2 "small text after the huge one"
    expect_looked_up "$(lookup_address mnuLookup after)"
}

fault_odd_text() {
    # The 16-bit units another Windows program puts on the clipboard, and the query they give.
    local -a names=(nul high_surrogate low_surrogate emoji right_to_left tabs_only)
    local -A units=(
        [nul]='61 0 62'
        [high_surrogate]='61 D800 62'
        [low_surrogate]='DC00 61'
        [emoji]='D83D DE00 20 6F 6B'
        [right_to_left]='5E9 5DC 5D5 5DD 20 645 631 62D 628 627'
        [tabs_only]='20 9 9 20'
    )
    # A NUL ends a Windows text; an unpaired surrogate becomes U+FFFD (EF BF BD); only spaces are trimmed.
    local -A query=(
        [nul]='a'
        [high_surrogate]='a%EF%BF%BDb'
        [low_surrogate]='%EF%BF%BDa'
        [emoji]='%F0%9F%98%80%20ok'
        [right_to_left]='%D7%A9%D7%9C%D7%95%D7%9D%20%D9%85%D8%B1%D8%AD%D8%A8%D8%A7'
        [tabs_only]='%09%09'
    )
    local base name
    base=$(lookup_base mnuLookup)
    desk_clip_text "start" || fail "cannot set the clipboard"
    traced_start
    wait_icon_docked
    ticks_mark
    for name in "${names[@]}"; do
        step "$name: ${units[$name]}"
        clip_no_text "spaces before $name"
        # shellcheck disable=SC2086 # one argument per unit
        helper set ${units[$name]} || fail "the helper could not set the clipboard"
        wait_icon text "$name"
        expect_looked_up "$base${query[$name]}"
        program_alive "$name"
    done

    step "invalid UTF-8 from an X program: Wine makes each bad byte U+FFFD"
    printf '%b' '\xff\xfe ok' >"$DESK_DIR/invalid.bin"
    clip_no_text "spaces before invalid UTF-8"
    clip_bytes "$DESK_DIR/invalid.bin"
    wait_icon text "invalid UTF-8" # Wine passes an X change on up to two seconds later
    expect_looked_up "$base%EF%BF%BD%EF%BF%BD%20ok"
    ticks_check "$TICK_LIMIT_MS" 20 "odd texts"
}

fault_skipped_content() {
    desk_clip_text "start" || fail "cannot set the clipboard"
    traced_start
    wait_icon_docked
    wait_icon text "start"

    local format base
    base=$(lookup_base mnuLookup)
    for format in "ExcludeClipboardContentFromMonitorProcessing" "Clipboard Viewer Ignore"; do
        step "a text marked \"$format\": the no-text icon, and a double click opens nothing"
        helper mark "$format" 73 65 63 72 65 74 || fail "the helper could not mark the clipboard" # "secret"
        wait_icon no_text "$format"
        told_of_change || fail "the system did not tell the program of the change (WM_CLIPBOARDUPDATE)"
        desk_clear_browser_log
        desk_double_click "$ICON"
        expect_nothing_opened

        step "the same text unmarked is shown and looked up"
        helper set 73 65 63 72 65 74 || fail "the helper could not set the clipboard"
        wait_icon text "unmarked"
        expect_looked_up "${base}secret"
    done
    # Several password managers mark their copies only by keeping them out of the clipboard's history
    # or the cloud clipboard: the DWORD 0 there is no text; 1 allows, and the text is text.
    for format in CanIncludeInClipboardHistory CanUploadToCloudClipboard; do
        step "a text marked \"$format\" = 0: the no-text icon, and a double click opens nothing"
        helper mark "$format=0" 73 65 63 72 65 74 || fail "the helper could not mark the clipboard"
        wait_icon no_text "$format = 0"
        desk_clear_browser_log
        desk_double_click "$ICON"
        expect_nothing_opened

        step "the same text marked \"$format\" = 1 is shown and looked up"
        helper mark "$format=1" 61 6C 6C 6F 77 65 64 || fail "the helper could not mark the clipboard" # "allowed"
        wait_icon text "$format = 1"
        expect_looked_up "${base}allowed"
    done
    program_alive "skipped content"
}

fault_clipboard_held() {
    desk_clip_text "before" || fail "cannot set the clipboard"
    traced_start
    wait_icon_docked
    wait_icon text "before"

    step "another Windows program holds the clipboard open for 4 s while the X clipboard changes"
    ticks_mark
    helper hold 4000 >"$DESK_DIR/hold.txt" 2>&1 &
    local holder=$!
    desk_track_pid "$holder"
    desk_poll 10 grep -q held "$DESK_DIR/hold.txt" || fail "the helper did not get the clipboard"
    desk_clip_image # the X clipboard changes meanwhile; Windows programs see it once the clipboard is free
    local started elapsed
    started=$(now_ms)
    popup_open "$ICON" >/dev/null
    elapsed=$(($(now_ms) - started))
    echo "   popup shown ${elapsed} ms after the right click began" >&2
    ((elapsed < 1500)) || fail "the popup took ${elapsed} ms while the clipboard is held"
    desk_key Escape
    popup_wait_closed
    # For Windows programs the clipboard holds the text before until the holder lets it go, and the
    # program has that text already: the look-up does not need the clipboard opened.
    expect_looked_up "$(lookup_address mnuLookup before)"
    icon_shows_text_icon "$ICON" || fail "the icon changed while the clipboard was held"
    desk_poll 10 grep -q released "$DESK_DIR/hold.txt" || fail "the helper did not let the clipboard go"
    ticks_check "$TICK_LIMIT_MS" 10 "clipboard held"

    step "the clipboard is free: the next tick catches up"
    # Wine takes an X change in only when it can open the clipboard at once; one made while another
    # program holds it may be lost for good (64-bit Wine loses it every time), so the picture is
    # copied again now that the clipboard is free.
    desk_clip_image
    wait_icon no_text "clipboard free again"
    clip_text_seen "after"
    expect_looked_up "$(lookup_address mnuLookup after)"

    step "an X program takes the clipboard and stops answering before Wine has asked it"
    ticks_mark
    desk_clip_text "stopped" || fail "cannot set the clipboard"
    local owner=$DESK_CLIP_PID
    desk_on_cleanup "kill -KILL $owner"
    kill -STOP "$owner"
    started=$(now_ms)
    popup_open "$ICON" >/dev/null
    elapsed=$(($(now_ms) - started))
    echo "   popup shown ${elapsed} ms after the right click began" >&2
    ((elapsed < 1500)) || fail "the popup took ${elapsed} ms while the owner does not answer"
    desk_key Escape
    popup_wait_closed
    sleep 3 # Wine looks at the X clipboard every two seconds
    # Wine's clipboard bridge asks the X owner from inside GetClipboardData and waits; that wait is
    # the program's clipboard thread's, not its window's.
    ticks_check "$TICK_LIMIT_MS" 8 "owner stopped"
    if icon_shows_text_icon "$ICON"; then
        echo "   the icon still shows the text before" >&2
    else
        echo "   the icon shows no text: Wine reports no text while the owner does not answer" >&2
    fi

    step "the owner goes away: the next tick catches up"
    kill -KILL "$owner"
    DESK_CLIP_PID=""
    # 32-bit Wine empties the clipboard once the owner is gone; 64-bit Wine may go on offering the
    # text it could not fetch, a failed read at every tick, so the icon stays as it was. Either way
    # the next copy is seen.
    if desk_poll 5 icon_shows_no_text_icon "$ICON"; then
        echo "   owner gone: the icon shows no text" >&2
    else
        echo "   owner gone: Wine still offers the text it cannot fetch; the icon stays as it was" >&2
    fi
    clip_text_seen "fresh"
    measure 2 "after the owner went away"
    expect_looked_up "$(lookup_address mnuLookup fresh)"

    step "an X program offers text but gives it only after 4 s: the program asks again and catches up"
    : "${VORDA_X11_LATE_OWNER:?the late owner}"
    clip_no_text "spaces before the late owner"
    desk_release_clipboard
    "$VORDA_X11_LATE_OWNER" late 4000 >"$DESK_DIR/late-owner.txt" 2>&1 &
    DESK_CLIP_PID=$!
    desk_poll 5 grep -q owner "$DESK_DIR/late-owner.txt" || fail "the late owner did not take the clipboard"
    # Wine offers the text at once and fails to fetch it until the owner gives it; the clipboard's
    # number does not move again when it does.
    wait_icon text "the late owner's text"
    expect_looked_up "$(lookup_address mnuLookup late)"
}

# The 16-bit units of an ASCII word, in hex, as the helper's "set" takes them.
units_of() { local i; for ((i = 0; i < ${#1}; i++)); do printf '%X ' "'${1:i:1}"; done; }

fault_clipboard_held_at_change() {
    desk_clip_text "start" || fail "cannot set the clipboard"
    traced_start
    wait_icon_docked
    wait_icon text "start"

    step "another program opens the clipboard at each change and holds it 100 ms; a double click right after each copy looks that copy up"
    local held="$DESK_DIR/held.txt"
    helper hold-at-change 100 >"$held" 2>&1 &
    desk_track_pid $!
    desk_poll 10 grep -q listening "$held" || fail "the helper is not told of clipboard changes: $(cat "$held")"
    local word address before="start" clicked outcome missed=0 report=""
    for word in alpha bravo charlie delta echo foxtrot; do
        address=$(lookup_address mnuLookup "$word")
        desk_clear_browser_log
        # shellcheck disable=SC2046 # one argument per unit
        helper set $(units_of "$word") || fail "the helper could not set the clipboard (the holder: $(tr '\n' ' ' <"$held"))"
        clicked=$(desk_now_ms)
        desk_double_click "$ICON"
        if desk_when 10 desk_browser_has "$address"; then
            outcome="looked up after $((DESK_WHEN - clicked)) ms"
        elif browser_opened_one_of "$(lookup_address mnuLookup "$before")"; then
            outcome="opened the text before"
            missed=$((missed + 1))
        else
            outcome="opened nothing"
            missed=$((missed + 1))
        fi
        echo "   '$word': $outcome" >&2
        report+="$word: $outcome; "
        browser_count_stays "$([[ "$outcome" == looked* ]] && echo 1 || echo 0)" 1
        before=$word
    done
    # Each change was held by the helper (or, where the program opened the clipboard first, missed).
    echo "   the helper: $(grep -c '^held' "$held") changes held, $(grep -c '^missed' "$held") missed ($(grep -E '^(held|missed)' "$held" | tr '\n' ' '))" >&2
    grep -q '^held' "$held" || fail "the helper never held the clipboard: $(cat "$held")"
    ((missed == 0)) || fail "$missed of 6 double clicks right after a copy did not look it up: $report"
    program_alive "clipboard held at each change"
}

fault_tray_host_later() {
    step "no tray host: the program starts and ticks"
    desk_stop_tray || fail "the tray host did not stop"
    desk_clip_text "late" || fail "cannot set the clipboard"
    traced_start
    ticks_running "no tray host"
    sleep 2
    program_alive "no tray host"

    step "the tray host comes: the icon docks"
    ticks_mark
    local started
    desk_start_tray || fail "the tray host did not start"
    started=$(now_ms)
    wait_icon_docked
    echo "   the icon docked $(($(now_ms) - started)) ms after the tray host showed" >&2
    wait_icon text "late"
    # Wine 8's tray docks the icon about two seconds after the host shows, Wine 10's within a tick:
    # the ticks are counted over a second at least, so that three are due however fast it docks.
    local spent
    spent=$(($(now_ms) - started))
    ((spent >= 1000)) || sleep "$(((1000 - spent) / 1000)).$(printf '%03d' $(((1000 - spent) % 1000)))"
    # A tray request waits while Wine's tray docks the icon in the new host; ticks send none unless
    # the icon or its tooltip changes.
    ticks_check "$TICK_LIMIT_MS" 3 "tray host arriving"
    measure 2 "tray host there"
    expect_looked_up "$(lookup_address mnuLookup late)"
}

fault_no_browser() {
    # Neither the stand-in nor xdg-open nor a browser is on the PATH the program (and so Wine's
    # browser launcher) sees, and BROWSER is unset.
    local empty="$DESK_DIR/empty-bin" before
    mkdir -p "$empty"
    desk_clip_text "nowhere" || fail "cannot set the clipboard"
    traced_start -u BROWSER PATH="$empty"
    wait_icon_docked
    wait_icon text "nowhere"

    step "a double click and a popup look-up open nothing and show nothing"
    before=$(visible_windows)
    ticks_mark
    desk_double_click "$ICON"
    popup_open "$ICON" >/dev/null
    desk_key g
    popup_wait_closed
    expect_nothing_opened
    [[ "$(visible_windows)" == "$before" ]] || fail "a window appeared: $(comm -13 <(echo "$before") <(visible_windows) | tr '\n' ' ')"
    ticks_check "$TICK_LIMIT_MS" 5 "look-ups with no browser"
    program_alive "look-ups with no browser"

    step "the program still answers: the icon follows the clipboard and the popup opens"
    clip_no_text "no text after the look-ups"
    popup_open "$ICON" >/dev/null
    desk_key Escape
    popup_wait_closed

    step "once an xdg-open is on its PATH, the same double click opens the look-up"
    ln -s "$DESK_DIR/bin/xdg-open" "$empty/xdg-open"
    desk_clip_text "somewhere" || fail "cannot set the clipboard"
    wait_icon text "somewhere"
    expect_looked_up "$(lookup_address mnuLookup somewhere)"
}

fault_run_key_denied() {
    step "the machine's Run key may be read but not changed"
    helper unlock-run-key || fail "the helper could not open the Run key"
    run_value_delete
    helper lock-run-key || fail "the helper could not lock the Run key"
    desk_on_cleanup "'$WINE' '$HELPER' unlock-run-key; wineserver -k"
    if "$WINE" reg add "$RUN_KEY" /v "$RUN_VALUE" /t REG_SZ /d probe /f >/dev/null 2>&1; then
        fail "the Run key still takes a value"
    fi

    run_value_delete "$USER_RUN_KEY"

    step "start: the value goes under the user's Run key, no box, the icon docks"
    desk_clip_text "anything" || fail "cannot set the clipboard"
    traced_start
    wait_icon_docked
    wait_icon text "start without rights"
    measure 2 "without rights to the Run key"
    desk_poll 20 user_run_value_is "\"$PROGRAM_PATH\"" ||
        fail "the user's auto-start value is '$(run_value "$USER_RUN_KEY")', expected '\"$PROGRAM_PATH\"'"
    [[ -z "$(run_value)" ]] || fail "a value was written under the machine's key: $(run_value)"
    desk_find_window "$DISPLAY_NAME" && fail "a box is shown after the start"

    step "Exit, answer No: the user's value goes, the machine's key stays as it was; the program ends"
    popup_open "$ICON" >/dev/null
    desk_key x
    popup_wait_closed
    box_wait >/dev/null
    desk_key n
    program_wait_end 20
    desk_wait_no_icon 20 || fail "the icon stayed in the tray after Exit"
    [[ -z "$(run_value "$USER_RUN_KEY")" ]] || fail "the user's value is left after No: $(run_value "$USER_RUN_KEY")"
    [[ -z "$(run_value)" ]] || fail "a value appeared: $(run_value)"
    helper unlock-run-key || fail "the helper could not unlock the Run key"
}
user_run_value_is() { [[ "$(run_value "$USER_RUN_KEY")" == "$1" ]]; }

# One start as an administrator (the machine's Run key may be changed) or as an ordinary user (it may
# only be read), ended from outside, which leaves both values as the start left them.
start_with_run_key() {
    if [[ $1 == elevated ]]; then
        helper unlock-run-key || fail "the helper could not unlock the Run key"
    else
        helper lock-run-key || fail "the helper could not lock the Run key"
    fi
    traced_start
    wait_icon_docked
    # Timer messages wait until the start's handler has returned: the first tick comes after the
    # auto-start values are written.
    TICKS_FROM=0
    desk_poll 20 ticks_since_mark_at_least 1 || fail "the program does not tick after a start as $1"
    "$WINE" taskkill /im Dictionary.exe >>"$DESK_DIR/taskkill.log" 2>&1 || fail "taskkill could not ask the program to close"
    program_wait_end 20
    desk_wait_no_icon 20 || fail "the icon stayed in the tray after the close request"
}

# run_key_starts KIND...: each start of the sequence, twice over; after each, at most one value
# names the program: the machine's once any start could write it, else the user's.
run_key_starts() {
    local kind machine user elevated=no
    desk_on_cleanup "'$WINE' '$HELPER' unlock-run-key; wineserver -k"
    helper unlock-run-key || fail "the helper could not open the Run key"
    run_value_delete
    run_value_delete "$USER_RUN_KEY"
    desk_clip_text "anything" || fail "cannot set the clipboard"
    for kind in "$@" "$@"; do
        step "a start as $kind"
        start_with_run_key "$kind"
        [[ $kind == elevated ]] && elevated=yes
        machine=$(run_value)
        user=$(run_value "$USER_RUN_KEY")
        echo "   machine's value '$machine', user's value '$user'"
        if [[ $elevated == yes ]]; then
            [[ "$machine" == "\"$PROGRAM_PATH\"" && -z "$user" ]] ||
                fail "after a start that could write the machine's value: machine's '$machine', user's '$user'"
        else
            [[ -z "$machine" && "$user" == "\"$PROGRAM_PATH\"" ]] ||
                fail "after ordinary starts alone: machine's '$machine', user's '$user'"
        fi
    done
    helper unlock-run-key || fail "the helper could not unlock the Run key"
}
fault_run_key_elevated_then_ordinary() { run_key_starts elevated ordinary; }
fault_run_key_ordinary_then_elevated() { run_key_starts ordinary elevated; }

declare -F "fault_$fault" >/dev/null || fail "no fault case named '$fault'"
wine_session_begin "fault-$fault"
cp "$helper_exe" "$WINEPREFIX/drive_c/vorda-e2e-clipboard.exe" || fail "cannot install the helper"
echo "== $fault"
"fault_$fault"
[[ "$fault" == run_key_* ]] || program_alive "end of $fault"
no_crash_in_trace
echo "PASS: $fault"
