#!/usr/bin/env bash
# One end-to-end scenario of Dictionary.exe under Wine, on its own private desktop:
#   scenario.sh WORK_DIR SOURCE_DIR NAME
# WORK_DIR holds the prefix that prepare_prefix.sh made; screenshots go to WORK_DIR/screenshots.
# shellcheck source-path=SCRIPTDIR disable=SC2034,SC2119 # WINE_WORK and SOURCE_DIR are read by wine_session.sh
set -euo pipefail

WINE_WORK=$(cd "$1" && pwd)
SOURCE_DIR=$2
scenario=$3
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../lib/desktop.sh"
source "$here/wine_session.sh"

scenario_start() {
    step "no auto-start value before the start"
    run_value_delete
    [[ -z "$(run_value)" ]] || fail "the auto-start value could not be removed before the test"
    desk_clip_text "start"

    step "the icon docks in the tray host; a double click at once looks up the text copied before the start"
    local icon started iconed address
    address=$(lookup_address mnuLookup start)
    # Wine's first hand-over of an address starts its browser bridge cold; done once before, the
    # look-ups below time the program, not that.
    wine winebrowser "http://warm.example/" >>"$DESK_DIR/program.log" 2>&1 || true
    desk_poll 20 desk_browser_has "http://warm.example/" || fail "Wine hands no address to the browser stand-in"
    desk_clear_browser_log
    started=$(desk_now_ms)
    program_start
    desk_when 60 icon_docked_or_program_ended
    iconed=$DESK_WHEN
    icon=$(icon_wait)
    # The icon is the open book from the start, whatever the clipboard holds: the look-up tells. Wine 8
    # may drop a click on an icon it has only just docked, so a double click that has opened nothing
    # after a while is made again; a text that is never read opens nothing at all. The look-up is
    # waited for, however long a loaded machine takes; how soon it came is printed, not checked.
    local attempt clicked first again
    for attempt in 1 2 3; do
        clicked=$(desk_now_ms)
        desk_double_click "$icon"
        desk_when 3 desk_browser_has "$address" && break
        echo "   double click $attempt, $((clicked - iconed)) ms after the icon docked, opened nothing yet" >&2
    done
    desk_when 30 desk_browser_has "$address" || fail "no look-up of the text copied before the start"
    first=$((DESK_WHEN - clicked))
    local looked_up=$((DESK_WHEN - iconed))
    # A later double click, on a text known by then, looks it up again.
    desk_clear_browser_log
    clicked=$(desk_now_ms)
    desk_double_click "$icon"
    desk_when 30 desk_browser_has "$address" || fail "no second look-up"
    again=$((DESK_WHEN - clicked))
    echo "start to icon $((iconed - started)) ms; icon to the first look-up $looked_up ms (double click $attempt, $first ms after it), a later look-up $again ms" >&2
    desk_poll 10 icon_shows_text_icon "$icon" || fail "the docked icon is not the text icon (open book and hand)"
    desk_screenshot "$SCREENSHOTS/docked-icon-text.png" "$icon"
    desk_screenshot "$SCREENSHOTS/desktop-after-start.png"

    step "the auto-start value holds the program's quoted path"
    desk_poll 20 run_value_is "\"$PROGRAM_PATH\"" ||
        fail "auto-start value is '$(run_value)', expected '\"$PROGRAM_PATH\"'"

}

scenario_double_click() {
    local text="  new york city  " expected icon
    expected=$(lookup_address mnuLookup "$text")
    desk_clip_text "$text"
    program_start
    icon=$(icon_wait)

    step "a double click on the icon opens the dictionary look-up once: $expected"
    desk_double_click "$icon"
    desk_wait_browser_line "$expected" 20 || fail "no dictionary look-up after the double click"
    browser_count_stays 1 2
}

scenario_popup_lookup() {
    local text=" sea shell " expected icon popup
    expected=$(lookup_address mnuRyhme "$text")
    desk_clip_text "$text"
    program_start
    icon=$(icon_wait)
    desk_poll 10 icon_shows_text_icon "$icon" || fail "the icon did not show the text icon"

    step "the popup opens on a right click"
    popup=$(popup_open "$icon")
    desk_screenshot "$SCREENSHOTS/popup-text.png" "$popup"
    desk_screenshot "$SCREENSHOTS/desktop-popup-text.png"

    step "the rhyme look-up, chosen by its access key R, opens $expected"
    desk_key r
    popup_wait_closed
    desk_wait_browser_line "$expected" 20 || fail "no rhyme look-up after choosing it in the popup"
    browser_count_stays 1 2
}

scenario_picture_only() {
    local icon popup
    desk_clip_image
    program_start
    icon=$(icon_wait)

    step "with only a picture on the clipboard the icon turns to the closed red book"
    desk_poll 10 icon_shows_no_text_icon "$icon" || fail "the icon did not change to the no-text icon"
    desk_screenshot "$SCREENSHOTS/docked-icon-notext.png" "$icon"

    step "a double click opens nothing"
    desk_double_click "$icon"

    step "the dictionary and thesaurus items (access keys D and T) open nothing"
    popup=$(popup_open "$icon")
    desk_screenshot "$SCREENSHOTS/popup-notext.png" "$popup"
    desk_key d t Escape
    popup_wait_closed
    browser_count_stays 0 3

    step "the same double click opens the look-up once text is back"
    desk_clip_text "back"
    desk_poll 10 icon_shows_text_icon "$icon" || fail "the icon did not change back to the text icon"
    desk_double_click "$icon"
    desk_wait_browser_line "$(lookup_address mnuLookup back)" 20 || fail "no look-up once text was back"
}

scenario_typed_lookup() {
    local typed="  salt & pepper " expected icon box
    expected=$(lookup_address mnuLookup "$typed")
    desk_clip_image # the typed-in look-up does not need text on the clipboard
    program_start
    icon=$(icon_wait)

    step "\"Look up...\" (access key L) asks for a word; Escape cancels and opens nothing"
    popup_open "$icon" >/dev/null
    desk_key l
    popup_wait_closed
    box=$(box_wait)
    desk_type "cancelled"
    desk_key Escape
    desk_wait_window_gone "$box" 10 || fail "the input box stayed open after Escape"
    browser_count_stays 0 2

    step "each time the box starts empty"
    popup_open "$icon" >/dev/null
    desk_key l
    popup_wait_closed
    box=$(box_wait)
    desk_type "$typed"
    desk_screenshot "$SCREENSHOTS/input-box.png" "$box"

    step "Enter opens $expected"
    desk_key Return
    desk_wait_window_gone "$box" 10 || fail "the input box stayed open after Enter"
    desk_wait_browser_line "$expected" 20 || fail "no dictionary look-up of the typed text"
    browser_count_stays 1 2
}

scenario_home_site() {
    local expected icon
    expected=$(home_site_address)
    desk_clip_image # the link does not need text on the clipboard
    program_start
    icon=$(icon_wait)

    step "\"Go to Vorda web site...\" (no access key: three steps up from the bottom) opens $expected"
    popup_open "$icon" >/dev/null
    desk_key Up Up Up Return
    popup_wait_closed
    # Wine's winebrowser hands on an address with an empty path with its path "/", the same address.
    desk_poll 20 browser_opened_one_of "$expected" "$expected/" ||
        fail "the maker's site was not opened; the browser got: $(tr '\n' ' ' <"$DESK_BROWSER_LOG")"
    browser_count_stays 1 2
}

# Exit asks whether to start with Windows next time; $1 is the answer's key (n or y).
exit_with_answer() {
    local answer=$1 icon box
    program_start
    icon=$(icon_wait)
    desk_poll 20 run_value_is "\"$PROGRAM_PATH\"" || fail "the start did not write the auto-start value"
    # The machine-wide value starts the program for every user: a second one would start it twice.
    [[ -z "$(run_value "$USER_RUN_KEY")" ]] || fail "a second value under the user's key: $(run_value "$USER_RUN_KEY")"

    popup_open "$icon" >/dev/null
    desk_key x
    popup_wait_closed
    box=$(box_wait)
    desk_screenshot "$SCREENSHOTS/exit-question.png" "$box"
    desk_key "$answer"
    program_wait_end 20
    desk_wait_no_icon 20 || fail "the icon stayed in the tray after Exit"
}

scenario_exit() {
    step "Exit, answer No: the value is removed, the program ends, the icon leaves"
    exit_with_answer n
    [[ -z "$(run_value)" ]] || fail "the auto-start value is still there after No: '$(run_value)'"

    step "start again, Exit, answer Yes: the value stays"
    exit_with_answer y
    run_value_is "\"$PROGRAM_PATH\"" || fail "the auto-start value is '$(run_value)' after Yes"
}

# The numbers of the tray's relaying since trace line FROM, from Wine's own trace (+pid,+msg,+systray)
# in program.log: "dropped N relayed N owner HWND id N". dropped counts left-button presses that
# Wine's explorer took for one of its tray icon windows and discarded before any window procedure saw
# them; relayed counts button events its tray passed on to an icon's owner; owner and id are those of
# the icon the program added, as the tray recorded them.
tray_relaying_since() {
    awk -F: -v from="$1" '
        function bare(h) { h = tolower(h); sub(/^0x/, "", h); sub(/^0+/, "", h); return h }
        /:trace:systray:Shell_NotifyIconW dwMessage = 0,/ && program == "" { program = $1 }
        $1 == program { next }
        /:trace:systray:tray_icon_wndproc hwnd / { split($0, f, "hwnd "); split(f[2], g, ","); icons[bare(g[1])] = 1 }
        /:trace:systray:add_icon id=/ && owner == "" {
            match($0, /id=0x[0-9a-fA-F]+/); id = substr($0, RSTART + 3, RLENGTH - 3)
            match($0, /hwnd=[0-9a-fA-F]+/); owner = "0x" substr($0, RSTART + 5, RLENGTH - 5)
        }
        NR <= from { next }
        {
            thread = $1 ":" $2
            if (pending[thread] && $0 ~ /:trace:msg:peek_message dropping msg 201$/) dropped++
            pending[thread] = 0
        }
        /:trace:msg:peek_message got type 7 msg 201 \(WM_LBUTTONDOWN\) hwnd / {
            split($0, f, "hwnd "); split(f[2], g, " ")
            if (bare(g[1]) in icons) pending[thread] = 1
        }
        /:trace:systray:notify_owner relaying 0x20[1-3]$/ { relayed++ }
        END { printf "dropped %d relayed %d owner %s id %s\n", dropped, relayed, owner == "" ? "none" : owner, id == "" ? "none" : id }
    ' "$DESK_DIR/program.log"
}

scenario_tray_restart() {
    local icon expected clicked_from relaying
    expected=$(lookup_address mnuLookup tray)
    desk_clip_text "tray"
    # Wine's trace tells a click its tray drops from one the program leaves unanswered.
    PROGRAM_WINEDEBUG=+pid,+msg,+systray program_start
    icon=$(icon_wait)

    step "the tray host restarts: the icon docks again, once"
    desk_stop_tray || fail "the tray host did not end"
    # A panel comes back after the desktop has seen it go: Wine first takes the icon back from the
    # old panel (its docked window ends), then docks it in the next one.
    desk_poll 10 desk_window_is_gone "$icon" || fail "the icon's docked window stayed after the tray host ended"
    desk_start_tray || fail "the tray host did not start again"
    icon=$(icon_wait)
    desk_poll 10 icon_shows_text_icon "$icon" || fail "the icon docked again but does not show the text icon"
    if desk_poll 2 desk_has_icons 2; then
        fail "the icon docked twice after the restart"
    fi

    step "the docked icon still answers"
    clicked_from=$(wc -l <"$DESK_DIR/program.log")
    desk_double_click "$icon"
    if desk_poll 20 browser_opened_one_of "$expected"; then
        browser_count_stays 1 2
        return 0
    fi
    relaying=$(tray_relaying_since "$clicked_from")
    echo "   Wine's tray after the double click: $relaying"
    [[ "$relaying" =~ ^dropped\ ([0-9]+)\ relayed\ ([0-9]+)\ owner\ (0x[0-9a-fA-F]+)\ id\ (0x[0-9a-fA-F]+)$ ]] ||
        fail "the icon does not answer after the restart, and Wine's trace of its tray is missing (see $DESK_DIR/program.log)"
    local dropped=${BASH_REMATCH[1]} relayed=${BASH_REMATCH[2]} owner=${BASH_REMATCH[3]} id=${BASH_REMATCH[4]}
    ((dropped >= 2 && relayed == 0)) ||
        fail "the icon does not answer after the restart: the browser was not asked to open '$expected' within 20 s"

    # What Wine does here, not the program: its tray docks the same icon window again on its own
    # (the program is told nothing, as the icon never left Wine's tray), and then discards the
    # button presses on that window in its own message queue, so it relays none of them.
    echo "WINE: $(wine --version 2>/dev/null | tr -d '\r') dropped the double click on its re-docked tray icon window:"
    echo "WINE: its explorer discarded $dropped left-button presses before its icon window saw them and passed"
    echo "WINE: nothing on to the program (no button event relayed), so no click there can reach it."
    step "what the program can be held to: its window answers the tray's callback with the look-up"
    [[ -n "${VORDA_TRAY_CALLBACK:-}" && -f "$VORDA_TRAY_CALLBACK" ]] || fail "no tray callback helper (VORDA_TRAY_CALLBACK)"
    desk_clear_browser_log
    # The program's record names WM_MOUSEMOVE (0x200) its callback message; the event is the double
    # click (WM_LBUTTONDBLCLK, 0x203), as the tray relays it for a first-version icon.
    wine "$VORDA_TRAY_CALLBACK" "$owner" 0x200 "$id" 0x203 >>"$DESK_DIR/tray-callback.log" 2>&1 ||
        fail "the tray callback could not be sent to the program's window $owner (see $DESK_DIR/tray-callback.log)"
    desk_wait_browser_line "$expected" 20 || fail "the program did not answer its tray callback after the restart"
    browser_count_stays 1 2
}

scenario_close_from_outside() {
    desk_clip_text "close"
    program_start
    icon_wait >/dev/null
    desk_poll 20 run_value_is "\"$PROGRAM_PATH\"" || fail "the start did not write the auto-start value"

    step "a close request from outside: the icon leaves, the program ends, no question, the value stays"
    wine taskkill /im Dictionary.exe >>"$DESK_DIR/taskkill.log" 2>&1 || fail "taskkill could not ask the program to close"
    program_wait_end 20
    desk_wait_no_icon 20 || fail "the icon stayed in the tray after the close request"
    run_value_is "\"$PROGRAM_PATH\"" || fail "the auto-start value changed on a close from outside: '$(run_value)'"
}

scenario_drive_root() {
    step "a copy under another name in the root of drive C: the value names C:\\Dictionary.exe"
    cp "$PROGRAM_UNIX_PATH" "$WINEPREFIX/drive_c/Renamed Dictionary.exe"
    run_value_delete
    desk_clip_text "root"
    program_start 'C:\Renamed Dictionary.exe'
    icon_wait >/dev/null
    desk_poll 20 run_value_is '"C:\Dictionary.exe"' || fail "auto-start value is '$(run_value)', expected '\"C:\\Dictionary.exe\"'"
    wine taskkill /im "Renamed Dictionary.exe" >>"$DESK_DIR/taskkill.log" 2>&1 || fail "taskkill could not ask the program to close"
    program_wait_end 20
    rm -f "$WINEPREFIX/drive_c/Renamed Dictionary.exe"
}

scenario_letters_beyond_the_code_page() {
    # "ł" is not in Windows-1252: the narrow text keeps it only where the program's code page is UTF-8.
    local folder='C:\Programy\Słownik' unix_folder="$WINEPREFIX/drive_c/Programy/Słownik"
    step "a copy in $folder: the value names that folder, every letter kept"
    mkdir -p "$unix_folder"
    cp "$PROGRAM_UNIX_PATH" "$unix_folder/Dictionary.exe"
    run_value_delete
    desk_clip_text "słowo"
    program_start "$folder\Dictionary.exe"
    icon_wait >/dev/null
    desk_poll 20 run_value_is "\"$folder\Dictionary.exe\"" ||
        fail "auto-start value is '$(run_value)', expected '\"$folder\Dictionary.exe\"'"
    wine taskkill /im Dictionary.exe >>"$DESK_DIR/taskkill.log" 2>&1 || fail "taskkill could not ask the program to close"
    program_wait_end 20
    rm -rf "$WINEPREFIX/drive_c/Programy"
}

# Windows at 150 %: the popup and the input box drawn for 144 dots per inch, for a person to look at
# (screenshots/popup-144dpi.png, input-box-144dpi.png); each is larger than at 96 dpi. Wine 8 gives
# every program the system's resolution, declared aware of it or not: what the manifest declares is
# checked in the built file (check_resources.sh).
scenario_high_dpi() {
    local icon popup box popup_96 box_96
    set_dpi() { wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1; }
    sizes_at() {
        # wineserver goes with the desktop: the next program reads the setting afresh.
        set_dpi "$1" || fail "cannot set $1 dpi"
        wineserver -w
        desk_clip_text " tide pool "
        program_start
        icon=$(icon_wait)
        desk_poll 10 icon_shows_text_icon "$icon" || fail "the icon did not show the text icon"
        sleep 0.5 # the items' captions follow the text at the next tick
        popup=$(popup_open "$icon")
        desk_screenshot "$SCREENSHOTS/popup-${1}dpi.png" "$popup"
        read -r _ _ popup_width popup_height < <(desk_window_geometry "$popup")
        desk_key l
        popup_wait_closed
        box=$(box_wait)
        desk_type "tide pool"
        desk_screenshot "$SCREENSHOTS/input-box-${1}dpi.png" "$box"
        read -r _ _ box_width box_height < <(desk_window_geometry "$box")
        desk_key Escape
        desk_wait_window_gone "$box" 10 || fail "the input box stayed open after Escape"
        wine taskkill /im Dictionary.exe >>"$DESK_DIR/taskkill.log" 2>&1
        program_wait_end 20
        echo "   ${1} dpi: popup ${popup_width}x${popup_height}, input box ${box_width}x${box_height}"
    }
    desk_on_cleanup "set_dpi 96"
    step "at 96 dpi"
    sizes_at 96
    popup_96="$popup_width $popup_height" box_96="$box_width $box_height"
    step "at 144 dpi: the popup and the input box grow by half"
    sizes_at 144
    set_dpi 96
    read -r width height <<<"$popup_96"
    ((popup_width * 10 >= width * 13 && popup_height * 10 >= height * 13)) ||
        fail "the popup is ${popup_width}x${popup_height} at 144 dpi, ${width}x${height} at 96"
    read -r width height <<<"$box_96"
    ((box_width * 10 >= width * 13 && box_height * 10 >= height * 13)) ||
        fail "the input box is ${box_width}x${box_height} at 144 dpi, ${width}x${height} at 96"
}

scenario_narrow_text_conversion() {
    : "${VORDA_NARROW_TEXT_CHECK:?the narrow text check, built beside Dictionary.exe}"
    step "the narrow conversion under Windows's own WideCharToMultiByte: 1250, 1252, 932 and UTF-8"
    local report
    report=$(wine "$VORDA_NARROW_TEXT_CHECK" 2>&1 | tr -d '\r')
    echo "$report"
    [[ "$(tail -n 1 <<<"$report")" =~ ^[0-9]+\ passed,\ 0\ failed$ ]] || fail "the narrow text check failed"

    step "a program with Dictionary.exe's manifest runs with the UTF-8 code page (65001)"
    local code_page
    code_page=$(wine "$VORDA_NARROW_TEXT_CHECK" acp 2>&1 | tr -d '\r')
    [[ "$code_page" == 65001 ]] || fail "the active code page is $code_page"
}

if ! declare -F "scenario_$scenario" >/dev/null; then
    fail "no scenario named '$scenario'"
fi
wine_session_begin "$scenario"
echo "== $scenario"
"scenario_$scenario"
echo "PASS: $scenario"
