# shellcheck shell=bash
# A private desktop for end-to-end tests, to be sourced by a test script:
#
#   source tests/e2e/lib/desktop.sh
#   desk_start "$work_dir"          # Xvfb on a free display, a tray host, a recording browser
#   desk_clip_text "  new york  "
#   icon=$(desk_wait_icon 20)       # the docked tray icon's window
#   desk_double_click "$icon"
#   desk_wait_browser_line 'http://...' 10
#
# It owns an X server (Xvfb, no TCP), a tray host (trayer), the clipboard owners it starts (xclip)
# and a browser stand-in on PATH (xdg-open and friends) that appends every address to a log.
# Everything it starts is killed by desk_cleanup, which desk_start installs as the EXIT trap; a
# test adds its own processes with desk_track_pid and its own steps with desk_on_cleanup.
# Waits are bounded polls; a function that times out says what it waited for and returns 1.

DESK_SHELL_PID=$BASHPID  # the test's own shell (the one that sources this), the one that cleans up
DESK_DIR=""              # working folder: logs, screenshots, the browser stand-in
DESK_BROWSER_LOG=""      # one line per address handed to the browser stand-in
DESK_XVFB_PID=""
DESK_TRAY_PID=""
DESK_CLIP_PID=""
DESK_SCREEN="1024x768x24"
DESK_TRAY_COMMAND=(trayer --edge top --align right --widthtype request --height 32 --transparent false)
declare -a DESK_PIDS=()            # everything else to kill at cleanup
declare -a DESK_CLEANUP_STEPS=()   # commands a test wants run at cleanup, before the kills

desk_log() { echo "[desktop] $*" >&2; }

# Callers often run with pipefail: a reader that stops early (grep -q, head) would fail the whole
# pipeline through SIGPIPE, so the helpers read whole outputs into variables instead.
desk_window_is_viewable() {
    local info
    info=$(xwininfo -id "$1" 2>/dev/null) && [[ "$info" == *IsViewable* ]]
}
desk_fail() { echo "[desktop] FAILED: $*" >&2; return 1; }

# desk_poll SECONDS COMMAND...: runs COMMAND every 0.1 s until it succeeds; 1 after SECONDS.
desk_poll() {
    local seconds=$1; shift
    local deadline=$((SECONDS + seconds))
    while true; do
        "$@" && return 0
        ((SECONDS >= deadline)) && return 1
        sleep 0.1
    done
}

# desk_when SECONDS CHECK...: like desk_poll, and sets DESK_WHEN to the time (milliseconds since the
# epoch) at which the first passing CHECK began: what it saw was already there then.
desk_now_ms() { echo $(($(date +%s%N) / 1000000)); }
desk_when() {
    local deadline=$(($(desk_now_ms) + $1 * 1000)) began
    shift
    while began=$(desk_now_ms) && ((began < deadline)); do
        "$@" && DESK_WHEN=$began && return 0
        sleep 0.02
    done
    return 1
}

# desk_require TOOL...: fails at once, naming the Debian package, for a tool that is not installed;
# a test that would meet it only as a timeout further on says so first.
desk_package_of() {
    case $1 in
        Xvfb) echo xvfb ;; xwininfo | xprop | xdpyinfo) echo x11-utils ;; convert) echo imagemagick ;;
        xlogo | xeyes) echo x11-apps ;; Xwayland) echo xwayland ;; wl-copy | wl-paste) echo wl-clipboard ;;
        swaymsg) echo sway ;; xrandr) echo x11-xserver-utils ;; dbus-send | dbus-monitor) echo dbus-bin ;; gsettings) echo libglib2.0-bin ;;
        kwin_wayland) echo kwin-wayland ;; plasmashell) echo plasma-workspace ;; wrestool | icotool) echo icoutils ;;
        appstreamcli) echo appstream ;; desktop-file-validate) echo desktop-file-utils ;; man) echo man-db ;;
        rsvg-convert) echo librsvg2-bin ;; *) echo "$1" ;;
    esac
}
desk_require() {
    local tool
    for tool in "$@"; do
        [[ "$tool" == convert ]] && [[ -x /usr/bin/convert ]] && continue
        [[ "$tool" != convert ]] && command -v "$tool" >/dev/null && continue
        echo "FAIL: $tool: not installed; scripts/install-deps.sh --test installs it from $(desk_package_of "$tool")" >&2
        exit 1
    done
}

desk_is_running() { [[ -n "${1:-}" ]] && kill -0 "$1" 2>/dev/null; }

# Kills one process we started, by its id, and waits (bounded) for it to go.
desk_kill_pid() {
    local pid=$1
    desk_is_running "$pid" || return 0
    kill -TERM "$pid" 2>/dev/null || return 0
    if ! desk_poll 5 desk_is_gone "$pid"; then
        kill -KILL "$pid" 2>/dev/null || true
        desk_poll 2 desk_is_gone "$pid" || true
    fi
    wait "$pid" 2>/dev/null || true
}
desk_is_gone() { ! desk_is_running "$1" || [[ "$(ps -o stat= -p "$1" 2>/dev/null)" == Z* ]]; }

# desk_stop PID: stops a process and waits until it is stopped indeed (kill returns before that).
desk_stop() {
    kill -STOP "$1" || return 1
    desk_poll 5 desk_is_stopped "$1" || desk_fail "process $1 did not stop"
}
desk_is_stopped() { [[ "$(ps -o stat= -p "$1" 2>/dev/null)" == T* ]]; }

desk_track_pid() { DESK_PIDS+=("$1"); }
desk_on_cleanup() { DESK_CLEANUP_STEPS+=("$1"); }

desk_cleanup() {
    local status=$?
    trap - EXIT INT TERM
    # A process started in the background is a copy of this shell, traps and all, until it runs its
    # command; one killed in that moment must not take the desktop down with it.
    [[ "$BASHPID" == "$DESK_SHELL_PID" ]] || return "$status"
    local step pid i
    for step in "${DESK_CLEANUP_STEPS[@]}"; do
        eval "$step" >/dev/null 2>&1 || true
    done
    for ((i = ${#DESK_PIDS[@]} - 1; i >= 0; i--)); do
        desk_kill_pid "${DESK_PIDS[i]}"
    done
    for pid in "$DESK_CLIP_PID" "$DESK_TRAY_PID" "$DESK_XVFB_PID"; do
        [[ -n "$pid" ]] && desk_kill_pid "$pid"
    done
    [[ -n "${DESK_DIR:-}" ]] && desk_end_carriers "$DESK_DIR"
    DESK_PIDS=() DESK_CLEANUP_STEPS=() DESK_CLIP_PID="" DESK_TRAY_PID="" DESK_XVFB_PID=""
    return "$status"
}

# desk_end_carriers MARKER: ends every process whose environment holds MARKER (this desktop's folder
# is in the PATH and runtime folder of all that a test starts). A desktop's programs hand work on to
# children that outlive them and their bus (Plasma 6's plasma_waitforname), which no pid list holds.
desk_end_carriers() {
    local file pid
    for file in $(grep -lsF -- "$1" /proc/[0-9]*/environ); do
        pid=${file#/proc/}
        pid=${pid%/environ}
        [[ "$pid" == "$$" || "$pid" == "$BASHPID" ]] || kill -KILL "$pid" 2>/dev/null
    done
    return 0
}

# desk_start [WORK_DIR]: the whole private desktop. WORK_DIR defaults to a new temporary folder.
desk_start() {
    DESK_DIR=${1:-$(mktemp -d "${TMPDIR:-/tmp}/desktop.XXXXXX")}
    mkdir -p "$DESK_DIR"
    DESK_DIR=$(cd "$DESK_DIR" && pwd)
    trap desk_cleanup EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
    desk_start_xvfb || return 1
    desk_install_browser
    desk_start_tray || return 1
}

desk_start_xvfb() {
    desk_require Xvfb xwininfo xdotool xclip convert
    local display_file="$DESK_DIR/display"
    rm -f "$display_file"
    # -displayfd lets the server pick a free display number and report it once it accepts clients.
    Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 "$DESK_SCREEN" 3>"$display_file" >"$DESK_DIR/xvfb.log" 2>&1 &
    DESK_XVFB_PID=$!
    if ! desk_poll 20 test -s "$display_file"; then
        desk_fail "Xvfb did not report a display within 20 s (see $DESK_DIR/xvfb.log)"
        return 1
    fi
    DISPLAY=":$(head -n1 "$display_file")"
    export DISPLAY
    unset WAYLAND_DISPLAY XAUTHORITY
    if ! desk_poll 10 xwininfo -root >/dev/null 2>&1; then
        desk_fail "display $DISPLAY does not answer"
        return 1
    fi
    desk_log "Xvfb on $DISPLAY (pid $DESK_XVFB_PID)"
}

# The browser stand-in: every name a desktop may use to open an address records it instead.
desk_install_browser() {
    local bin="$DESK_DIR/bin" name
    DESK_BROWSER_LOG="$DESK_DIR/browser.log"
    mkdir -p "$bin"
    : >"$DESK_BROWSER_LOG"
    cat >"$bin/xdg-open" <<EOF
#!/bin/sh
for address in "\$@"; do printf '%s\n' "\$address" >> '$DESK_BROWSER_LOG'; done
EOF
    chmod +x "$bin/xdg-open"
    for name in x-www-browser sensible-browser firefox www-browser; do
        ln -sf xdg-open "$bin/$name"
    done
    export PATH="$bin:$PATH"
    export BROWSER="$bin/xdg-open"
}

desk_tray_panel() { xwininfo -root -tree 2>/dev/null | awk '/"panel": \("panel" "trayer"\)/ && !found {print $1; found = 1}'; }

desk_start_tray() {
    desk_require "${DESK_TRAY_COMMAND[0]}"
    local attempt
    # A second try: on a loaded machine the tray host has been seen to start without ever showing.
    for attempt in 1 2; do
        "${DESK_TRAY_COMMAND[@]}" >>"$DESK_DIR/trayer.log" 2>&1 &
        DESK_TRAY_PID=$!
        if desk_poll 15 desk_tray_is_ready; then
            desk_log "tray host up (pid $DESK_TRAY_PID, window $(desk_tray_panel))"
            return 0
        fi
        desk_is_running "$DESK_TRAY_PID" || desk_log "the tray host has ended"
        xwininfo -root -tree >"$DESK_DIR/windows-without-tray.$attempt.txt" 2>&1 || true
        desk_log "the tray host did not show within 15 s (try $attempt)"
        desk_kill_pid "$DESK_TRAY_PID"
        DESK_TRAY_PID=""
    done
    desk_fail "the tray host did not appear (see $DESK_DIR/trayer.log and windows-without-tray.*.txt)"
}
desk_tray_is_ready() {
    desk_is_running "$DESK_TRAY_PID" || return 1
    local panel
    panel=$(desk_tray_panel)
    [[ -n "$panel" ]] && desk_window_is_viewable "$panel"
}

desk_stop_tray() {
    desk_kill_pid "$DESK_TRAY_PID"
    DESK_TRAY_PID=""
    desk_poll 10 desk_tray_is_gone || desk_fail "the tray host's window stays after its end"
}
desk_tray_is_gone() { [[ -z "$(desk_tray_panel)" ]]; }

desk_restart_tray() {
    desk_stop_tray || return 1
    desk_start_tray
}

# The docked icons: the innermost mapped windows inside the tray host's panel, one id a line, left
# to right.
desk_tray_icons() {
    xwininfo -root -tree 2>/dev/null | awk '
        function indent(line) { match(line, /^ */); return RLENGTH }
        inside && indent($0) <= depth && $1 ~ /^0x/ { inside = 0 }
        /"panel": \("panel" "trayer"\)/ { inside = 1; depth = indent($0); next }
        inside && $1 ~ /^0x/ {
            ids[++n] = $1; level[n] = indent($0)
            # the size and absolute position, e.g. 20x30+0+0  +1003+1
            if (match($0, /[0-9]+x[0-9]+\+-?[0-9]+\+-?[0-9]+ +\+-?[0-9]+\+-?[0-9]+/)) {
                split(substr($0, RSTART, RLENGTH), f, /[x+ ]+/); w[n] = f[1]; h[n] = f[2]; x[n] = f[5]
            }
        }
        END {
            for (i = 1; i <= n; i++) {
                leaf = (i == n || level[i + 1] <= level[i])
                if (leaf && w[i] > 4 && h[i] > 4) print x[i], ids[i]
            }
        }' | sort -n | while read -r _ id; do
        desk_window_is_viewable "$id" && echo "$id"
    done
}

desk_icon_count() { desk_tray_icons | wc -l; }

# desk_wait_icon SECONDS [COUNT]: waits until COUNT (default 1) icons are docked; prints the last.
desk_wait_icon() {
    local seconds=$1 count=${2:-1}
    if ! desk_poll "$seconds" desk_has_icons "$count"; then
        desk_fail "fewer than $count docked tray icon(s) after $seconds s (have $(desk_icon_count))"
        desk_describe_windows
        return 1
    fi
    desk_tray_icons | tail -n1
}
desk_has_icons() { (($(desk_icon_count) >= $1)); }

# What a failed wait for an icon leaves in the log: every window but the nameless 1x1 ones that each
# X client keeps, and whether the tray host still runs.
desk_describe_windows() {
    desk_log "tray host pid ${DESK_TRAY_PID:-none}, $(desk_is_running "$DESK_TRAY_PID" && echo running || echo not running)"
    xwininfo -root -tree 2>/dev/null | grep -E '^ *0x' | grep -v -E '\(has no name\): \([^)]*\) +1x1\+' |
        sed 's/^/[desktop] /' >&2
}

# desk_wait_no_icon SECONDS: waits until the tray host holds no icon.
desk_wait_no_icon() {
    desk_poll "$1" desk_has_no_icon || desk_fail "a tray icon is still docked after $1 s"
}
desk_has_no_icon() { (($(desk_icon_count) == 0)); }

# desk_window_geometry WINDOW: "X Y WIDTH HEIGHT" on the screen.
desk_window_geometry() {
    xwininfo -id "$1" 2>/dev/null | awk '
        /Absolute upper-left X:/ {x = $NF} /Absolute upper-left Y:/ {y = $NF}
        /Width:/ {w = $NF} /Height:/ {h = $NF}
        END { if (w == "") exit 1; print x, y, w, h }'
}

desk_point_at() {
    local x y w h
    read -r x y w h < <(desk_window_geometry "$1") || { desk_fail "window $1 is gone"; return 1; }
    # Not --sync: it waits for a motion event, and there is none when the pointer is already there.
    xdotool mousemove $((x + w / 2)) $((y + h / 2))
    desk_poll 5 desk_pointer_is_at $((x + w / 2)) $((y + h / 2)) || desk_fail "the pointer did not move to window $1"
}
desk_pointer_is_at() { [[ "$(xdotool getmouselocation 2>/dev/null)" == "x:$1 y:$2 "* ]]; }

desk_click() { desk_point_at "$1" && xdotool click 1; }
desk_double_click() { desk_point_at "$1" && xdotool click --repeat 2 --delay 80 1; }
desk_right_click() { desk_point_at "$1" && xdotool click 3; }
desk_key() { xdotool key --delay 60 "$@"; }
desk_type() { xdotool type --delay 40 -- "$1"; }

# The clipboard: one owner at a time, started by us and waited for until it answers.
desk_release_clipboard() {
    desk_kill_pid "$DESK_CLIP_PID"
    DESK_CLIP_PID=""
}

desk_clip_text() {
    local before=$DESK_CLIP_PID
    printf '%s' "$1" >"$DESK_DIR/clip.txt"
    xclip -selection clipboard -quiet -i "$DESK_DIR/clip.txt" >/dev/null 2>&1 &
    DESK_CLIP_PID=$!
    desk_poll 10 desk_clipboard_holds_text "$DESK_DIR/clip.txt" ||
        desk_fail "the clipboard does not hold the text that was set"
    desk_replaced_owner_ends "$before"
}
# Only once the new owner holds the clipboard, as in a real copy: the owner before going first would
# leave the clipboard without an owner for a moment, which the program may see. xclip ends by itself
# when another takes the clipboard.
desk_replaced_owner_ends() {
    [[ -n "$1" ]] || return 0
    desk_poll 5 desk_is_gone "$1" || true
    desk_kill_pid "$1"
}
desk_clipboard_holds_text() { xclip -selection clipboard -o 2>/dev/null | cmp -s - "$1"; }

# desk_clip_image [PNG]: a picture and nothing else on the clipboard (a small one is drawn if none).
desk_clip_image() {
    local png=${1:-$DESK_DIR/clip.png}
    [[ -f "$png" ]] || desk_convert -size 24x24 xc:orange "$png" || return 1
    local before=$DESK_CLIP_PID
    xclip -selection clipboard -quiet -t image/png -i "$png" >/dev/null 2>&1 &
    DESK_CLIP_PID=$!
    desk_poll 10 desk_clipboard_offers image/png || desk_fail "the clipboard does not offer the picture"
    desk_replaced_owner_ends "$before"
}
desk_clipboard_offers() { [[ $'\n'"$(xclip -selection clipboard -o -t TARGETS 2>/dev/null)"$'\n' == *$'\n'"$1"$'\n'* ]]; }

desk_convert() { if [[ -x /usr/bin/convert ]]; then /usr/bin/convert "$@"; else convert "$@"; fi; }
# desk_share FILE EXPRESSION [OPTIONS...]: the mean of EXPRESSION (1 or 0 a pixel) over FILE after
# OPTIONS (a crop, say). ImageMagick 7.1 prints a stray "list" line before the figure; only the
# figure, the last line, counts.
desk_share() {
    local file=$1 expression=$2
    shift 2
    desk_convert "$file" "$@" -fx "$expression" -format '%[fx:mean]' info: 2>/dev/null | tail -n 1
}

# The browser stand-in's record.
desk_browser_lines() { cat "$DESK_BROWSER_LOG"; }
desk_browser_count() { wc -l <"$DESK_BROWSER_LOG"; }
desk_clear_browser_log() { : >"$DESK_BROWSER_LOG"; }

# desk_wait_browser_line ADDRESS SECONDS: waits until ADDRESS (exactly) was opened.
desk_browser_has() { grep -qxF -- "$1" "$DESK_BROWSER_LOG" 2>/dev/null; }
desk_wait_browser_line() {
    if ! desk_poll "$2" desk_browser_has "$1"; then
        desk_fail "the browser was not asked to open '$1' within $2 s; it got: $(tr '\n' ' ' <"$DESK_BROWSER_LOG")"
        return 1
    fi
}

# desk_screenshot FILE [WINDOW_OR_GEOMETRY]: the whole screen, a window (its id, hex or decimal) or
# WxH+X+Y, as PNG.
desk_screenshot() {
    local file=$1 region=${2:-}
    if [[ -z "$region" ]]; then
        import -window root "$file"
    elif [[ "$region" =~ ^(0x[0-9a-fA-F]+|[0-9]+)$ ]]; then
        local x y w h
        read -r x y w h < <(desk_window_geometry "$region") || return 1
        import -window root -crop "${w}x${h}+${x}+${y}" +repage "$file"
    else
        import -window root -crop "$region" +repage "$file"
    fi
}

# desk_wait_window NAME SECONDS: waits for a mapped top-level window whose title is NAME; prints its id.
desk_wait_window() {
    local name=$1 seconds=$2
    if ! desk_poll "$seconds" desk_find_window "$name"; then
        desk_fail "no visible window titled '$name' within $seconds s"
        return 1
    fi
    xdotool search --onlyvisible --name "^${name}\$" 2>/dev/null | sed -n 1p
}
desk_find_window() { [[ -n "$(xdotool search --onlyvisible --name "^${1}\$" 2>/dev/null)" ]]; }

# desk_focus WINDOW: gives WINDOW the keyboard; there is no window manager to do it.
desk_focus() { xdotool windowfocus --sync "$1"; }

# desk_wait_window_gone WINDOW SECONDS
desk_wait_window_gone() {
    desk_poll "$2" desk_window_is_gone "$1" || desk_fail "window $1 is still shown after $2 s"
}
desk_window_is_gone() { ! desk_window_is_viewable "$1"; }

# desk_count_colour REGION HEX: how many pixels of the screen region (WxH+X+Y or a window) have the
# colour #HEX, e.g. FFFF00.
desk_count_colour() {
    local region=$1 colour=$2 file
    file=$(mktemp --suffix=.png "$DESK_DIR/region.XXXXXX")
    desk_screenshot "$file" "$region" || { rm -f "$file"; return 1; }
    desk_convert "$file" -depth 8 txt:- | grep -ci "#${colour}\b" || true
    rm -f "$file"
}
