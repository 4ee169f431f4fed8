#!/usr/bin/env bash
# A user who may not write the system autostart folder: nothing is written or removed there, nothing
# is shown, and the program runs with its icon docked.
# shellcheck source-path=SCRIPTDIR disable=SC2119 # helpers whose arguments are optional
source "$(dirname "$0")/lib.sh"
qt_start_desktop

# A folder every user can reach: the program's copy and the autostart folder, both the superuser's.
shared=$(mktemp -d "${TMPDIR:-/tmp}/vorda-e2e-shared.XXXXXX")
desk_on_cleanup "rm -rf '$shared'"
chmod 755 "$shared"
mkdir -p "$shared/bin" "$shared/xdg/autostart" "$shared/home" "$shared/runtime"
install -m 755 "$VORDA_PROGRAM" "$shared/bin/vorda-dictionary"
# shellcheck disable=SC2034 # read by lib.sh
QT_RUN_PROGRAM="$shared/bin/vorda-dictionary"
QT_AUTOSTART="$shared/xdg/autostart"
QT_ENTRY="$QT_AUTOSTART/VordaDictionary.desktop"
export XDG_CONFIG_DIRS="$shared/xdg"
chmod 755 "$QT_AUTOSTART"
export HOME="$shared/home" XDG_RUNTIME_DIR="$shared/runtime"
if ((EUID == 0)); then
    # The superuser may write anywhere; the program runs as nobody, who may not write here.
    chown nobody:nogroup "$shared/home" "$shared/runtime"
    chmod 700 "$shared/runtime"
    as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
    expected_user=nobody
else
    chmod 555 "$QT_AUTOSTART"
    desk_on_cleanup "chmod 755 '$QT_AUTOSTART'"
    as_user=()
    expected_user=$(id -un)
fi
"${as_user[@]}" test -w "$QT_AUTOSTART" && fail "the test user can write $QT_AUTOSTART"

step "start as $expected_user with no entry"
qt_start_program "${as_user[@]}"
[[ "$(ps -o user= -p "$QT_PID" | tr -d ' ')" == "$expected_user" ]] || fail "the program does not run as $expected_user"
desk_clip_text "anything"
qt_wait_text_icon
[[ -z "$(ls -A "$QT_AUTOSTART")" ]] || fail "something was written: $(ls -A "$QT_AUTOSTART")"
[[ -z "$(qt_program_windows)" ]] || fail "the program shows a window: $(qt_program_windows)"
qt_screenshot docked-icon-unprivileged "$(desk_tray_panel)"
desk_kill_pid "$QT_PID"
desk_wait_no_icon 5 || fail "the icon stays after the program ended"

step "an entry the superuser wrote stays through start and Exit with No"
printf '[Desktop Entry]\nType=Application\nName=left by the superuser\nExec=true\n' >"$QT_ENTRY"
chmod 644 "$QT_ENTRY"
before=$(stat -c '%Y %s %i' "$QT_ENTRY")
qt_start_program "${as_user[@]}"
qt_wait_text_icon
[[ -z "$(qt_program_windows)" ]] || fail "the program shows a window: $(qt_program_windows)"
qt_open_popup
desk_key x
qt_wait_box >/dev/null || fail "no exit question"
desk_key n
qt_wait_program_end 10
[[ "$(stat -c '%Y %s %i' "$QT_ENTRY" 2>/dev/null)" == "$before" ]] || fail "the superuser's entry was changed or removed"
[[ "$(ls -A "$QT_AUTOSTART")" == VordaDictionary.desktop ]] || fail "something was written: $(ls -A "$QT_AUTOSTART")"
echo "PASS: without rights to the autostart folder nothing is written or removed, and the icon docks"
