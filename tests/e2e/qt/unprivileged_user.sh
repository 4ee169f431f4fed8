#!/usr/bin/env bash
# A user who may not write the system autostart folder gets the entry in their own autostart folder
# instead, which No at Exit removes and the next start writes again; nothing is written or removed in
# the system folder, nothing is shown, and the icon docks; where the system entry already starts
# this program, the user gets none. The superuser gets the system entry alone, and makes nothing in
# a HOME that is another user's.
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
user_entry="$shared/home/.config/autostart/VordaDictionary.desktop" # XDG_CONFIG_HOME unset: the default
exec_line="Exec=\"$QT_RUN_PROGRAM\""
export XDG_CONFIG_DIRS="$shared/xdg"
chmod 755 "$QT_AUTOSTART"
export HOME="$shared/home" XDG_RUNTIME_DIR="$shared/runtime"
unset XDG_CONFIG_HOME
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

user_entry_is_written() { [[ -f "$user_entry" ]] && grep -qxF "$exec_line" "$user_entry"; }
exit_with_no() {
    qt_open_popup
    desk_key x
    qt_wait_box >/dev/null || fail "no exit question"
    desk_key n
    qt_wait_program_end 10
}

step "start as $expected_user with no entry: the entry goes to the user's own folder"
qt_start_program "${as_user[@]}"
[[ "$(ps -o user= -p "$QT_PID" | tr -d ' ')" == "$expected_user" ]] || fail "the program does not run as $expected_user"
desk_clip_text "anything"
qt_wait_text_icon
desk_poll 5 user_entry_is_written || fail "no entry with '$exec_line' in $user_entry: $(cat "$user_entry" 2>&1)"
grep -qxF "TryExec=$QT_RUN_PROGRAM" "$user_entry" || fail "the entry would start a program that is gone: $(cat "$user_entry")"
[[ "$(stat -c %U "$user_entry")" == "$expected_user" ]] || fail "the user's entry is not $expected_user's"
[[ -z "$(ls -A "$QT_AUTOSTART")" ]] || fail "something was written in the system folder: $(ls -A "$QT_AUTOSTART")"
[[ -z "$(qt_program_windows)" ]] || fail "the program shows a window: $(qt_program_windows)"
qt_screenshot docked-icon-unprivileged "$(desk_tray_panel)"

step "Exit with No removes the user's entry"
exit_with_no
[[ ! -e "$user_entry" ]] || fail "the user's entry is left after No"

step "the next start writes it again; an entry the superuser wrote stays through it and No"
printf '[Desktop Entry]\nType=Application\nName=left by the superuser\nExec=true\n' >"$QT_ENTRY"
chmod 644 "$QT_ENTRY"
before=$(stat -c '%Y %s %i' "$QT_ENTRY")
qt_start_program "${as_user[@]}"
qt_wait_text_icon
desk_poll 5 user_entry_is_written || fail "the next start did not write $user_entry again"
[[ -z "$(qt_program_windows)" ]] || fail "the program shows a window: $(qt_program_windows)"
exit_with_no
[[ ! -e "$user_entry" ]] || fail "the user's entry is left after No"
[[ "$(stat -c '%Y %s %i' "$QT_ENTRY" 2>/dev/null)" == "$before" ]] || fail "the superuser's entry was changed or removed"
[[ "$(ls -A "$QT_AUTOSTART")" == VordaDictionary.desktop ]] || fail "something was written: $(ls -A "$QT_AUTOSTART")"

step "the superuser's entry starts this very program: the user's start adds none, and removes one left before"
printf '[Desktop Entry]\nType=Application\nName=Vorda Dictionary\nTryExec=%s\n%s\n' "$QT_RUN_PROGRAM" "$exec_line" >"$QT_ENTRY"
"${as_user[@]}" cp "$QT_ENTRY" "$user_entry" || fail "the test user cannot leave an entry of its own"
desk_clip_image
qt_start_program "${as_user[@]}"
qt_wait_no_text_icon # shown by the first tick, which comes after the start's auto-start work
[[ ! -e "$user_entry" ]] || fail "the user's entry is there beside the superuser's for the same program"
grep -qxF "$exec_line" "$QT_ENTRY" || fail "the superuser's entry was changed: $(cat "$QT_ENTRY" 2>&1)"
desk_kill_pid "$QT_PID"
desk_clip_text "anything"

if ((EUID == 0)); then
    step "the superuser: the system entry alone"
    rm -f "$QT_ENTRY"
    root_home=$(mktemp -d "${TMPDIR:-/tmp}/vorda-e2e-root-home.XXXXXX")
    desk_on_cleanup "rm -rf '$root_home'"
    HOME="$root_home" qt_start_program
    qt_wait_text_icon
    desk_poll 5 grep -qxF "$exec_line" "$QT_ENTRY" || fail "the superuser's start wrote no system entry"
    [[ -z "$(find "$root_home" -name '*.desktop')" ]] || fail "a second entry in the superuser's own folder"
    desk_kill_pid "$QT_PID"

    desk_clip_image
    # Without the system folder the machine's key is refused, and the user's (that HOME's) is all
    # that is left: still nothing may be made there.
    for system_folder in there missing; do
        step "the superuser with $expected_user's HOME (sudo -E, su without -), the system folder $system_folder: nothing in that HOME"
        rm -f "$QT_ENTRY"
        rm -rf "$shared/home/.config"
        [[ $system_folder == there ]] || rmdir "$QT_AUTOSTART"
        HOME="$shared/home" qt_start_program
        qt_wait_no_text_icon
        if [[ $system_folder == there ]]; then
            grep -qxF "$exec_line" "$QT_ENTRY" || fail "the superuser's start wrote no system entry"
        fi
        [[ -z "$(ls -A "$shared/home")" ]] || fail "the superuser made something in $expected_user's HOME: $(ls -A "$shared/home")"
        desk_kill_pid "$QT_PID"
    done
    mkdir -p "$QT_AUTOSTART"
fi
echo "PASS: without rights to the system folder the entry is the user's own, written at start and removed by No"
