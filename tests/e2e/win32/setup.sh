#!/usr/bin/env bash
# The Windows setup and its uninstaller under Wine, on a private desktop with a tray host:
#   setup.sh WORK_DIR SOURCE_DIR CASE
# CASE: install, install_quoted_folder, upgrade, failed_upgrade, uninstall_ROAD (quiet, waited),
# uninstall_replaced_folder, uninstall_blocked, shown_setup, or failed_install_FAULT (folder_is_a_file,
# folder_read_only, disk_full). VORDA_SETUP_EXE is the setup to run; every case starts from a user without the program.
# shellcheck source-path=SCRIPTDIR disable=SC2034,SC2119 # WINE_WORK and SOURCE_DIR are read by wine_session.sh
set -euo pipefail

WINE_WORK=$(cd "$1" && pwd)
SOURCE_DIR=$2
case_name=$3
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../lib/desktop.sh"
source "$here/wine_session.sh"
SETUP_EXE=${VORDA_SETUP_EXE:?the setup to test}
[[ -f "$SETUP_EXE" ]] || fail "no setup at $SETUP_EXE"
# Wine would turn the setup's Start menu links into menu entries of this machine's own desktop.
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"

UNINSTALL_KEY='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\VordaDictionary'

# The user's folders as this prefix names them.
windows_folder() { wine cmd /c echo "%$1%" 2>/dev/null | tr -d '\r'; }
unix_path() { wine winepath -u "$1" 2>/dev/null | tr -d '\r'; }

setup_paths() {
    INSTALL_FOLDER="$(windows_folder LOCALAPPDATA)\\Programs\\Vorda Dictionary"
    INSTALLED="$INSTALL_FOLDER\\Dictionary.exe"
    INSTALL_UNIX=$(unix_path "$INSTALL_FOLDER")
    MENU_UNIX=$(unix_path "$(windows_folder APPDATA)\\Microsoft\\Windows\\Start Menu\\Programs\\Vorda Dictionary")
    [[ -n "$INSTALL_UNIX" && -n "$MENU_UNIX" ]] || fail "the prefix's user folders could not be found"
}

# A value of the Uninstall entry, as "reg query" prints it (TYPE and data), or nothing.
uninstall_value() {
    wine reg query "$UNINSTALL_KEY" /v "$1" 2>/dev/null | tr -d '\r' |
        sed -n "s/^ *$1 \+\(REG_[A-Z_]*\) \+\(.*\)\$/\1 \2/p"
}
uninstall_entry_exists() { wine reg query "$UNINSTALL_KEY" >/dev/null 2>&1; }

# Runs the setup with the command-line tail ARGS, as a script on Windows would, and waits for it; its
# exit code in SETUP_STATUS, its error output in SETUP_ERRORS. cmd passes the tail as it stands (a /D=
# folder has spaces and no quotes); wine itself would quote each argument.
run_setup() {
    SETUP_STATUS=0
    SETUP_ERRORS="$DESK_DIR/setup-errors.log"
    timeout 120 wine cmd /c "$SETUP_WINDOWS $*" 2>"$SETUP_ERRORS" || SETUP_STATUS=$?
}

# Dictionary.exe processes of this prefix; prints their pids.
program_pids() {
    local pid
    for pid in $(pgrep -f 'Dictionary\.exe' || true); do
        tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ" | grep -qxF "WINEPREFIX=$WINEPREFIX" && echo "$pid"
    done
    return 0
}
program_copies() { program_pids | wc -l; }
copies_run() { (($(program_copies) == $1)) && (($(desk_icon_count) == $1)); }
one_copy_runs() { copies_run 1; }

# The program's auto-start values: where the start's rights put one, it names the installed program,
# and only one value in all names it.
run_values_name_installed() {
    local machine user
    machine=$(run_value)
    user=$(run_value "$USER_RUN_KEY")
    [[ ("$machine" == "\"$INSTALLED\"" && -z "$user") || (-z "$machine" && "$user" == "\"$INSTALLED\"") ]]
}
describe_run_values() { echo "machine's '$(run_value)', user's '$(run_value "$USER_RUN_KEY")'"; }

# Nothing of the program is on the machine: no folder, no Start menu entry, no Uninstall entry.
nothing_installed() {
    [[ ! -e "$INSTALL_UNIX" ]] || fail "the install folder is left: $(ls -A "$INSTALL_UNIX" | tr '\n' ' ')"
    [[ ! -e "$MENU_UNIX" ]] || fail "the Start menu folder is left: $(ls -A "$MENU_UNIX" | tr '\n' ' ')"
    ! uninstall_entry_exists || fail "the Uninstall entry is left"
}

# A user who never installed the program: no copy running, nothing installed, no auto-start value.
start_clean() {
    local pid
    for pid in $(program_pids); do desk_kill_pid "$pid"; done
    rm -rf "$INSTALL_UNIX" "$MENU_UNIX"
    wine reg delete "$UNINSTALL_KEY" /f >/dev/null 2>&1 || true
    run_value_delete
    run_value_delete "$USER_RUN_KEY"
}

install_silently() {
    step "a silent install (/S ${1:-}) exits 0"
    local started
    started=$(desk_now_ms)
    run_setup /S "$*"
    ((SETUP_STATUS == 0)) || fail "the setup exited $SETUP_STATUS: $(cat "$SETUP_ERRORS")"
    echo "   installed in $(($(desk_now_ms) - started)) ms"
}

# Starts the program as the Start menu entry does, and waits for its icon (COPIES in all, 1 unless
# told) and its auto-start value.
start_from_link() {
    step "the Start menu entry starts the installed program; its auto-start value names it"
    wine start /unix "$MENU_UNIX/Vorda Dictionary.lnk" >>"$DESK_DIR/program.log" 2>&1 ||
        fail "the Start menu entry could not be opened"
    desk_poll 60 copies_run "${1:-1}" || fail "$(program_copies) copies run, $(desk_icon_count) icons docked"
    desk_poll 20 run_values_name_installed || fail "auto-start values: $(describe_run_values)"
}

check_installed() {
    step "the files, the Start menu entry and the Settings entry"
    local file value
    for file in Dictionary.exe Uninstall.exe README.txt LICENSE.txt; do
        [[ -f "$INSTALL_UNIX/$file" ]] || fail "$file is not in $INSTALL_UNIX"
    done
    [[ -z "$(cd "$INSTALL_UNIX" && ls -A | grep -vxE 'Dictionary.exe|Uninstall.exe|README.txt|LICENSE.txt')" ]] ||
        fail "the install folder holds more: $(ls -A "$INSTALL_UNIX" | tr '\n' ' ')"
    cmp -s "$INSTALL_UNIX/Dictionary.exe" "$VORDA_SETUP_PROGRAM" || fail "the installed Dictionary.exe is not the one built"
    [[ -f "$MENU_UNIX/Vorda Dictionary.lnk" && -f "$MENU_UNIX/Uninstall Vorda Dictionary.lnk" ]] ||
        fail "the Start menu folder holds $(ls -A "$MENU_UNIX" 2>/dev/null | tr '\n' ' ')"
    local -A expected=(
        [DisplayName]="REG_SZ Vorda Dictionary"
        [DisplayVersion]="REG_SZ ${VORDA_VERSION:?}"
        [Publisher]="REG_SZ Vorda"
        [DisplayIcon]="REG_SZ $INSTALLED,0"
        [InstallLocation]="REG_SZ $INSTALL_FOLDER"
        [UninstallString]="REG_SZ \"$INSTALL_FOLDER\\Uninstall.exe\""
        [QuietUninstallString]="REG_SZ \"$INSTALL_FOLDER\\Uninstall.exe\" /S"
        [NoModify]="REG_DWORD 0x1"
        [NoRepair]="REG_DWORD 0x1"
    )
    for value in "${!expected[@]}"; do
        [[ "$(uninstall_value "$value")" == "${expected[$value]}" ]] ||
            fail "the Uninstall entry's $value is '$(uninstall_value "$value")', not '${expected[$value]}'"
    done
    local size kib
    size=$(uninstall_value EstimatedSize)
    kib=$(($(du -k --apparent-size -c "$INSTALL_UNIX"/* | tail -n 1 | cut -f 1)))
    [[ "$size" =~ ^REG_DWORD\ 0x[0-9a-f]+$ ]] && (($(printf '%d' "${size#REG_DWORD }") >= kib - 4)) ||
        fail "the Uninstall entry's EstimatedSize is '$size', the files take $kib KiB"
}

# install [quoted_folder]: into the default folder, or into one a script names with a quoted /D=
# (as a list of arguments is quoted), which NSIS alone would not read.
case_install() {
    if [[ ${1:-} == quoted_folder ]]; then
        use_folder 'C:\Quoted Place\Vorda Dictionary'
        step "a silent install with a quoted /D= exits 0"
        # wine quotes each argument with a space, as a list of arguments is quoted on Windows (Wine's
        # cmd would escape the quotes instead).
        local status=0
        timeout 120 wine "$SETUP_WINDOWS" /S "/D=$INSTALL_FOLDER" 2>"$DESK_DIR/setup-errors.log" || status=$?
        ((status == 0)) || fail "the setup exited $status: $(cat "$DESK_DIR/setup-errors.log")"
    else
        install_silently
    fi
    check_installed
    start_from_link
}
# The install folder the rest of the case expects.
use_folder() {
    INSTALL_FOLDER=$1
    INSTALLED="$INSTALL_FOLDER\\Dictionary.exe"
    INSTALL_UNIX=$(unix_path "$INSTALL_FOLDER")
    desk_on_cleanup "rm -rf '$INSTALL_UNIX'"
}

case_upgrade() {
    install_silently
    start_from_link
    step "the portable copy started too: two copies, two icons"
    program_start
    desk_poll 60 copies_run 2 || fail "$(program_copies) copies run, $(desk_icon_count) icons docked"
    local before
    before=$(program_pids)
    step "the setup again, over the running copies: it closes both, and the installed one runs afterwards"
    install_silently
    local pid
    for pid in $before; do
        desk_poll 20 desk_is_gone "$pid" || fail "the earlier copy $pid still runs"
    done
    desk_poll 60 copies_run 1 || fail "$(program_copies) copies run, $(desk_icon_count) icons docked"
    [[ "$(program_pids)" != "$before" ]] || fail "the earlier copy was not replaced"
    desk_poll 20 run_values_name_installed || fail "auto-start values: $(describe_run_values)"
    check_installed
}

# uninstall ROAD: quiet, as Settings runs the entry's QuietUninstallString (the uninstaller works on
# from a copy of itself and returns at once); or waited, as a script does to learn the exit code: a
# copy of the uninstaller run with _?= and the folder, which works in place of the launcher.
case_uninstall() {
    local road=$1 other='"C:\Other Copy\Dictionary.exe"' quiet started ours_key other_key ours
    install_silently
    step "a portable copy runs beside the installed one"
    program_start
    desk_poll 60 copies_run 1 || fail "$(program_copies) copies run, $(desk_icon_count) icons docked"
    local portable
    portable=$(program_pids)
    start_from_link 2
    [[ -n "$(run_value)" ]] || fail "the program wrote no machine's value here: $(describe_run_values)"
    # Both keys are tried each way: the quiet road meets the program's value in the machine's key,
    # the waited one in the user's, where an ordinary start puts it; the other key names another copy.
    # The waited road's is the bare path, as versions before quoting wrote it.
    ours_key=$RUN_KEY other_key=$USER_RUN_KEY ours="\"$INSTALLED\""
    [[ $road == quiet ]] || ours_key=$USER_RUN_KEY other_key=$RUN_KEY ours=$INSTALLED
    step "the program's auto-start value under $ours_key ($ours), another copy's under $other_key"
    wine reg add "$ours_key" /v "$RUN_VALUE" /d "$ours" /f >/dev/null 2>&1 &&
        wine reg add "$other_key" /v "$RUN_VALUE" /d "$other" /f >/dev/null 2>&1 || fail "the values could not be written"

    step "the uninstaller ($road), while the program runs"
    started=$(desk_now_ms)
    if [[ $road == quiet ]]; then
        quiet=$(uninstall_value QuietUninstallString)
        # The command line as it stands: the quoted path, then /S.
        eval "timeout 120 wine ${quiet#REG_SZ }" >>"$DESK_DIR/uninstall.log" 2>&1 || fail "the uninstaller exited $?"
        desk_poll 60 uninstalled || fail "the uninstaller did not finish"
    else
        run_uninstaller_copy "$INSTALL_UNIX" "$INSTALL_FOLDER"
        ((SETUP_STATUS == 0)) || fail "the uninstaller exited $SETUP_STATUS: $(cat "$SETUP_ERRORS")"
        uninstalled || fail "the uninstaller returned before it had finished"
    fi
    echo "   uninstalled in $(($(desk_now_ms) - started)) ms"
    desk_poll 20 copies_run 1 || fail "$(program_copies) copies run after the uninstall, $(desk_icon_count) icons docked"
    [[ "$(program_pids)" == "$portable" ]] || fail "the uninstall closed the portable copy, not the installed one"
    nothing_installed
    [[ -z "$(run_value "$ours_key")" ]] || fail "the installed program's auto-start value is left: $(describe_run_values)"
    [[ "$(run_value "$other_key")" == "$other" ]] || fail "another copy's value was not kept: $(describe_run_values)"
}
uninstalled() { [[ ! -e "$INSTALL_UNIX" ]] && ! uninstall_entry_exists; }

# The setup as a user clicks through it: Enter takes each page's default button (I Agree, Install,
# Finish), and "Start Vorda Dictionary" is ticked on the last page.
case_shown_setup() {
    step "the setup's pages, each taken with its default button"
    wine "$SETUP_WINDOWS" >>"$DESK_DIR/setup.log" 2>&1 &
    local setup=$! window page="" tries
    desk_track_pid "$setup"
    # Its caption is the same on every page: a page is known by the window's picture changing.
    window=$(desk_wait_window "Vorda Dictionary Setup " 60) || fail "the setup's window did not open"
    for tries in licence folder; do
        desk_poll 30 setup_page_after "$window" "$page" || fail "the setup did not move on to its $tries page"
        page=$SETUP_PAGE
        desk_focus "$window" || fail "the setup's window could not be given the keyboard"
        desk_key Return
    done
    desk_poll 60 uninstall_entry_exists || fail "Install did not install"
    # The last page comes once the files are in; an Enter before it is lost, so it is pressed again.
    for tries in 1 2 3 4 5; do
        desk_poll 5 setup_page_after "$window" "$page" && desk_focus "$window" && desk_key Return
        desk_poll 5 desk_is_gone "$setup" && break
    done
    desk_is_gone "$setup" || fail "the setup did not end after Finish"
    desk_poll 60 one_copy_runs || fail "'Start Vorda Dictionary' started $(program_copies) copies, $(desk_icon_count) icons docked"
    desk_poll 20 run_values_name_installed || fail "auto-start values: $(describe_run_values)"
    check_installed
}
# Succeeds when WINDOW shows a picture other than BEFORE, the same as at the last look (a poll looks
# every 0.1 s); sets SETUP_PAGE to it.
setup_page_after() {
    local now
    now=$(window_picture "$1") || return 1
    [[ "$now" == "${SETUP_LAST_LOOK:-}" && "$now" != "$2" ]] && SETUP_PAGE=$now && return 0
    SETUP_LAST_LOOK=$now
    return 1
}
window_picture() { desk_screenshot "$DESK_DIR/window.png" "$1" 2>/dev/null && md5sum <"$DESK_DIR/window.png"; }

# A place the setup cannot install to; sets FOLDER (as /D= names it) and PLACE (the Unix folder that
# must be left as it was).
blocked_place() {
    PLACE="$WINEPREFIX/drive_c/Blocked"
    FOLDER='C:\Blocked\Vorda Dictionary'
    rm -rf "$PLACE"
    case $1 in
    folder_is_a_file)
        : >"$PLACE"
        desk_on_cleanup "rm -f '$PLACE'"
        return
        ;;
    esac
    # The other two need a file system mounted, which only root may do here.
    [[ $EUID == 0 ]] || { echo "SKIP: $1 needs a file system mounted, and only root may mount here" >&2; exit 77; }
    mkdir -p "$PLACE"
    desk_on_cleanup "rmdir '$PLACE'"
    case $1 in
    folder_read_only) mount --bind -o ro "$PLACE" "$PLACE" ;;
    # Room for the folder and the small files, not for the program.
    disk_full) mount -t tmpfs -o "size=${2:-128k}" tmpfs "$PLACE" ;;
    *) fail "no fault named '$1'" ;;
    esac || fail "no file system could be mounted for $1"
    desk_on_cleanup "umount '$PLACE'"
}

# failed_install FAULT: the setup cannot install where it is asked; it says so, exits non-zero, and
# leaves what was there as it was. The folder_read_only road meets a user who has the program
# installed and running in the default folder: that install stays whole and keeps running.
case_failed_install() {
    local fault=$1 running=""
    if [[ $fault == folder_read_only ]]; then
        install_silently
        start_from_link
        running=$(program_pids)
    fi
    blocked_place "$fault"
    step "a silent install into $FOLDER ($fault) fails, says so and leaves nothing"
    run_setup "/S /D=$FOLDER"
    check_failed_setup
    if [[ -n "$running" ]]; then
        check_installed
        [[ "$(program_pids)" == "$running" ]] || fail "the running copy was closed: $(program_pids)"
    else
        nothing_installed
    fi
    if [[ -d "$PLACE" ]]; then
        [[ -z "$(ls -A "$PLACE")" ]] || fail "$FOLDER keeps: $(ls -AR "$PLACE" | tr '\n' ' ')"
    fi
}
check_failed_setup() {
    ((SETUP_STATUS != 0)) || fail "the setup exited 0"
    echo "   exit $SETUP_STATUS: $(tr -d '\r' <"$SETUP_ERRORS")"
    grep -q "Vorda Dictionary setup: " "$SETUP_ERRORS" || fail "the setup did not say why: '$(cat "$SETUP_ERRORS")'"
}

# An upgrade on a disk too full for the new files: the earlier install stays whole, and its running
# copy is never closed.
case_failed_upgrade() {
    blocked_place disk_full 1m
    use_folder "$FOLDER"
    install_silently "/D=$FOLDER"
    start_from_link
    local running free
    running=$(program_pids)
    step "the disk filled up, then the setup again: it fails, and the install and its copy stay"
    free=$(df -k --output=avail "$PLACE" | tail -n 1)
    head -c $(((free - 64) * 1024)) /dev/zero >"$PLACE/filler" || true
    run_setup "/S /D=$FOLDER"
    check_failed_setup
    rm -f "$PLACE/filler"
    check_installed
    [[ "$(program_pids)" == "$running" ]] || fail "the running copy was closed: $(program_pids)"
}

# A program installed again in a second folder owns the Settings entry and the links: the first
# folder's uninstaller takes only its own files.
case_uninstall_replaced_folder() {
    install_silently
    local first_unix=$INSTALL_UNIX first=$INSTALL_FOLDER
    use_folder 'C:\Second\Vorda Dictionary'
    install_silently "/D=$INSTALL_FOLDER"
    step "the first folder's uninstaller"
    run_uninstaller_copy "$first_unix" "$first"
    ((SETUP_STATUS == 0)) || fail "the uninstaller exited $SETUP_STATUS: $(cat "$SETUP_ERRORS")"
    [[ ! -e "$first_unix" ]] || fail "the first folder is left: $(ls -A "$first_unix" | tr '\n' ' ')"
    check_installed
}

# An uninstall that cannot remove the program (a read-only folder): it says so, exits non-zero, and
# keeps the Settings entry, the links and the auto-start value, which still find the program.
case_uninstall_blocked() {
    [[ $EUID == 0 ]] || { echo "SKIP: a read-only folder needs a mount, and only root may mount here" >&2; exit 77; }
    install_silently
    start_from_link
    local value
    value=$(run_value)
    mount --bind -o ro "$INSTALL_UNIX" "$INSTALL_UNIX" || fail "the install folder could not be made read-only"
    desk_on_cleanup "umount '$INSTALL_UNIX' 2>/dev/null"
    step "the uninstaller, waited for, on a read-only folder"
    run_uninstaller_copy "$INSTALL_UNIX" "$INSTALL_FOLDER"
    check_failed_setup
    umount "$INSTALL_UNIX"
    check_installed
    [[ "$(run_value)" == "$value" ]] || fail "the auto-start value changed: $(describe_run_values)"
}

# run_uninstaller_copy UNIX_FOLDER FOLDER: the folder's uninstaller as a script runs it to wait for it,
# a copy with _?=; its exit code in SETUP_STATUS, its error output in SETUP_ERRORS.
run_uninstaller_copy() {
    cp "$1/Uninstall.exe" "$WINEPREFIX/drive_c/setup/Uninstall.exe"
    SETUP_STATUS=0
    SETUP_ERRORS="$DESK_DIR/uninstall-errors.log"
    timeout 120 wine cmd /c "C:\\setup\\Uninstall.exe /S _?=$2" 2>"$SETUP_ERRORS" || SETUP_STATUS=$?
}

wine_session_begin "setup-$case_name"
mkdir -p "$WINEPREFIX/drive_c/setup"
cp "$SETUP_EXE" "$WINEPREFIX/drive_c/setup/"
SETUP_WINDOWS='C:\setup\'"${SETUP_EXE##*/}"
setup_paths
start_clean
echo "== setup: $case_name"
case $case_name in
failed_install_*) case_failed_install "${case_name#failed_install_}" ;;
install_*) case_install "${case_name#install_}" ;;
uninstall_quiet | uninstall_waited) case_uninstall "${case_name#uninstall_}" ;;
*)
    declare -F "case_$case_name" >/dev/null || fail "no case named '$case_name'"
    "case_$case_name"
    ;;
esac
start_clean
echo "PASS: setup $case_name"
