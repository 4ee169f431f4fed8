# shellcheck shell=bash
# Dictionary.exe under Wine on the private desktop of ../lib/desktop.sh: the prefix, the program's
# start and end, its auto-start value, its popup, and the addresses the core's table makes.
# Needs WINE_WORK (the suite's folder in the build tree) and SOURCE_DIR (the project's sources).

export WINEPREFIX="$WINE_WORK/prefix"
# VORDA_WINE_ARCH=win64: the 64-bit build under 64-bit Wine, for machines that cannot run 32-bit code.
export WINEARCH=${VORDA_WINE_ARCH:-win32}
if [[ $WINEARCH == win64 ]]; then
    PATH="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/wine64:$PATH"
fi
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=" # no prompts to install Mono or Gecko

PROGRAM_FOLDER='C:\Program Files\Vorda Dictionary'
PROGRAM_PATH="$PROGRAM_FOLDER\\Dictionary.exe"
PROGRAM_UNIX_PATH="$WINEPREFIX/drive_c/Program Files/Vorda Dictionary/Dictionary.exe"
RUN_KEY='HKLM\Software\Microsoft\Windows\CurrentVersion\Run'
USER_RUN_KEY='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
RUN_VALUE=VordaDictionary
DISPLAY_NAME="Vorda Dictionary" # the title of the program's boxes
PROGRAM_PID=""
SCREENSHOTS="$WINE_WORK/screenshots"

fail() {
    echo "FAIL: $*" >&2
    exit 1
}
step() { echo "-- $*"; }

# --- The program ------------------------------------------------------------------------------

wine_session_begin() {
    local name=$1
    desk_require wine wineserver
    [[ -f "$PROGRAM_UNIX_PATH" ]] || fail "no prepared Wine prefix with Dictionary.exe at $WINEPREFIX"
    rm -rf "${WINE_WORK:?}/$name"
    mkdir -p "$SCREENSHOTS"
    desk_start "$WINE_WORK/$name" || fail "the private desktop did not start"
    # Every Windows process of the prefix, the program included, ends with its wineserver.
    desk_on_cleanup "wineserver -k"
}

# program_start [WINDOWS_PATH]: the installed Dictionary.exe unless another copy is named. With
# PROGRAM_WINEDEBUG set, Wine traces those channels into program.log, for the program and for the
# session's explorer (the tray), which the first Windows program of the session starts.
program_start() {
    WINEDEBUG=${PROGRAM_WINEDEBUG:-$WINEDEBUG} wine "${1:-$PROGRAM_PATH}" >>"$DESK_DIR/program.log" 2>&1 &
    PROGRAM_PID=$!
    desk_track_pid "$PROGRAM_PID"
}

program_has_ended() { desk_is_gone "$PROGRAM_PID"; }

program_wait_end() {
    desk_poll "$1" program_has_ended || fail "Dictionary.exe is still running $1 s later"
    wait "$PROGRAM_PID" 2>/dev/null || true
}

# Waits for the program's icon in the tray host; prints the icon's window.
icon_wait() {
    desk_poll 60 icon_docked_or_program_ended
    program_has_ended && fail "Dictionary.exe ended before its icon docked (see $DESK_DIR/program.log)"
    desk_wait_icon 1 || fail "Dictionary.exe's icon did not dock in the tray host"
}
icon_docked_or_program_ended() { desk_has_icons 1 || program_has_ended; }

# --- The auto-start value ---------------------------------------------------------------------

# run_value [KEY]: the value under the machine's Run key, or KEY's. Read from an export of the key
# (UTF-16): "reg query" prints through the console's code page, which turns letters beyond it into
# look-alikes.
run_value() {
    local export_file="$WINEPREFIX/drive_c/run-key.reg"
    rm -f "$export_file"
    wine reg export "${1:-$RUN_KEY}" 'C:\run-key.reg' /y >/dev/null 2>&1 || return 0
    iconv -f UTF-16 -t UTF-8 "$export_file" 2>/dev/null | tr -d '\r' |
        sed -n "s/^\"$RUN_VALUE\"=\"\(.*\)\"\$/\1/p" | sed 's/\\\(["\\]\)/\1/g'
}

run_value_delete() { wine reg delete "${1:-$RUN_KEY}" /v "$RUN_VALUE" /f >/dev/null 2>&1 || true; }

run_value_is() { [[ "$(run_value)" == "$1" ]]; }

# --- The popup and the boxes ------------------------------------------------------------------

# The open popup menu: a visible, untitled window of the program.
popup_window() {
    local id
    for id in $(xdotool search --onlyvisible --classname '^dictionary\.exe$' 2>/dev/null); do
        [[ -z "$(xdotool getwindowname "$id" 2>/dev/null)" ]] && { echo "$id"; return 0; }
    done
    return 1
}
popup_is_open() { popup_window >/dev/null; }
popup_is_closed() { ! popup_is_open; }

# Right-clicks the icon and waits for the popup; prints the popup's window.
popup_open() {
    desk_right_click "$1"
    desk_poll 10 popup_is_open || fail "no popup menu after a right click on the tray icon"
    popup_window
}

popup_wait_closed() { desk_poll 10 popup_is_closed || fail "the popup menu is still open"; }

# Waits for the program's box titled "Vorda Dictionary" and gives it the keyboard; prints its window.
box_wait() {
    local box
    box=$(desk_wait_window "$DISPLAY_NAME" 15) || fail "no box titled '$DISPLAY_NAME' appeared"
    desk_focus "$box" || fail "the box could not be given the keyboard"
    echo "$box"
}

# --- What the icon shows ----------------------------------------------------------------------

# The text icon has the yellow hand, a blue cover and no red; the no-text icon is the red book, with
# no blue.
icon_shows_text_icon() { (($(desk_count_colour "$1" FFFF00) > 10 && $(desk_count_colour "$1" FF0000) == 0)); }
icon_shows_no_text_icon() { (($(desk_count_colour "$1" FF0000) > 10 && $(desk_count_colour "$1" 0000FF) == 0)); }

# --- Expected addresses -----------------------------------------------------------------------

# The base address of a look-up item, from the table the build writes out of the program's own
# (VORDA_LOOKUP_ADDRESSES).
lookup_base() {
    local base
    base=$(awk -v item="$1" '$1 == item { print $2 }' "${VORDA_LOOKUP_ADDRESSES:?the look-up table}")
    [[ -n "$base" ]] || fail "no row for $1 in $VORDA_LOOKUP_ADDRESSES"
    echo "$base"
}

# The text as the address carries it: spaces trimmed at both ends, then every byte of its UTF-8 form
# outside A-Z a-z 0-9 - . _ ~ as %XX.
encode_text() {
    local LC_ALL=C text=$1 out="" c hex i
    text="${text#"${text%%[! ]*}"}"
    text="${text%"${text##*[! ]}"}"
    for ((i = 0; i < ${#text}; i++)); do
        c=${text:i:1}
        case "$c" in
        [A-Za-z0-9.~_-]) out+=$c ;;
        *) printf -v hex '%%%02X' "'$c" && out+=$hex ;;
        esac
    done
    echo "$out"
}

# The maker's site, from the same table.
home_site_address() { lookup_base home; }

lookup_address() { echo "$(lookup_base "$1")$(encode_text "$2")"; }

browser_opened_one_of() {
    local address
    for address in "$@"; do
        grep -qxF -- "$address" "$DESK_BROWSER_LOG" && return 0
    done
    return 1
}

# Succeeds when the browser got exactly COUNT addresses in all; waits a little for late ones first.
browser_count_stays() {
    local count=$1 seconds=$2
    if desk_poll "$seconds" browser_count_differs "$count"; then
        fail "the browser was asked $(desk_browser_count) time(s), expected $count: $(tr '\n' ' ' <"$DESK_BROWSER_LOG")"
    fi
}
browser_count_differs() { (($(desk_browser_count) != $1)); }
