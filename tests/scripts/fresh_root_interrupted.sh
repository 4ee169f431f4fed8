#!/usr/bin/env bash
# scripts/fresh-root.sh interrupted: INT, TERM or HUP while it unpacks the root, while it mounts and
# while the command runs, and SIGKILL followed by a new run. Each time the mount table must be as it
# was, no process of the run may be left, and the store must hold only the pristine tarball and the
# downloads; a kept root and the root of a run still going must stay.
#
# It runs in a mount namespace of its own whose /sys and /dev are shared, as a systemd machine's are:
# there an unmount that goes through a shared bind reaches the mounts it was copied from, and here
# those are the namespace's own, not the machine's. The pristine "release" is a tarball the test makes of a
# few programs of this machine, so no debootstrap is needed; the stages are held by stand-ins for tar
# and mount that wait, after the real command, until they are ended.
set -uo pipefail
script=$(realpath "$(dirname "$0")/../../scripts/fresh-root.sh")
fail() { echo "FAIL: $*" >&2; exit 1; }
if ((EUID != 0)); then
    echo "SKIP: scripts/fresh-root.sh needs the superuser (mounts, chroot); run this as root" >&2
    exit 77
fi
if [[ -z "${FRESH_ROOT_TEST_NAMESPACE:-}" ]]; then
    # Not "--propagation private": inside a chroot (a fresh root's own test run) "/" is no mount
    # point, and the kernel refuses it; each mount is made private below instead.
    exec unshare --mount --propagation unchanged env FRESH_ROOT_TEST_NAMESPACE=1 bash "$0" "$@"
fi
mount_points=$(findmnt -rn -o TARGET) || fail "findmnt cannot read this namespace's mounts"
while IFS= read -r mounted; do
    mount --make-private "$mounted" || fail "cannot make this namespace's $mounted private"
done <<<"$mount_points"
for mounted in /sys /dev; do
    mount --make-rshared "$mounted" || fail "cannot make this namespace's $mounted shared"
done

scratch=$(mktemp -d /tmp/fresh-root-test.XXXXXX)
store=$scratch/store
marks=$scratch/marks
mkdir -p "$store" "$marks" "$scratch/work" "$scratch/bin"
release=bookworm
pristine_names=$'bookworm-archives\nbookworm.tar'
unmade=trixie   # a release with no pristine tarball: a run makes it with debootstrap

# bash, env, sleep, chroot and true with their libraries, at the paths of a merged-/usr Debian.
add_programs() {   # add_programs TREE PROGRAM...
    local tree=$1 program file
    shift
    mkdir -p "$tree/usr/bin" "$tree/usr/lib" "$tree/usr/lib64" "$tree/etc" "$tree/tmp"
    ln -sfn usr/bin "$tree/bin"
    ln -sfn usr/lib "$tree/lib"
    ln -sfn usr/lib64 "$tree/lib64"
    for program in "$@"; do
        program=$(type -P "$program") || fail "no $program here"
        cp -L "$program" "$tree/usr/bin/" || fail "cannot copy $program"
        for file in $(ldd "$program" | grep -o '/[^ ]*'); do
            mkdir -p "$(dirname "$tree/usr${file#/usr}")"
            cp -L "$file" "$tree/usr${file#/usr}"
        done
    done
}
tree=$scratch/tree
add_programs "$tree" bash env sleep chroot true
add_programs "$tree/nested" bash sleep
tar -C "$tree" -cf "$store/$release.tar" . || fail "cannot make the pristine tarball"
mkdir -p "$store/$release-archives/partial"

# Stand-ins for tar and mount: the real command, then, at the stage named by FRESH_ROOT_TEST_HOLD (the
# unpacking; the bind of /sys), a mark and a wait until the process is ended.
real_tar=$(command -v tar) real_mount=$(command -v mount)
cat >"$scratch/bin/tar" <<EOF
#!/bin/bash
$real_tar "\$@" || exit
[[ "\${FRESH_ROOT_TEST_HOLD:-}" == unpacking ]] && { echo \$\$ >"$marks/held"; exec sleep infinity; }
exit 0
EOF
# The bind of /sys is held as an interrupt between its two steps would leave it: bound, still shared.
cat >"$scratch/bin/mount" <<EOF
#!/bin/bash
if [[ "\${FRESH_ROOT_TEST_HOLD:-}" == mounting && " \$* " == *" --rbind "* && "\${!#}" == */sys ]]; then
    $real_mount --rbind "\${@: -2}" || exit
    echo \$\$ >"$marks/held"
    exec sleep infinity
fi
exec $real_mount "\$@"
EOF
# debootstrap's stand-in holds at once, with a helper writing into the target from outside it, as a
# download does; like every background job of a script, the helper ignores SIGINT.
cat >"$scratch/bin/debootstrap" <<EOF
#!/bin/bash
echo \$\$ >>"$marks/pids"
sleep infinity >"\${@: -2:1}/partial" &
echo \$! >>"$marks/pids"
echo \$! >"$marks/held"
wait
EOF
chmod +x "$scratch/bin/tar" "$scratch/bin/mount" "$scratch/bin/debootstrap"
# The command's stage: a process in a root nested in the run's root, which marks that it runs.
held_command=(chroot /nested /bin/bash -c 'echo $$ >/held; exec sleep infinity')

processes_in_store() {   # whose root or working folder is in the store
    find /proc -mindepth 2 -maxdepth 2 \( -name root -o -name cwd \) -lname "$store/*" -printf '%h\n' 2>/dev/null |
        cut -d/ -f3 | sort -u
}
clean_up() {
    local pid
    for pid in $(processes_in_store); do kill -KILL "$pid" 2>/dev/null; done
    for pid in "${started[@]}"; do kill -KILL -- "-$pid" 2>/dev/null; done
    findmnt -rn -o TARGET | grep -F "$store/" | sort -r | xargs -r umount -l 2>/dev/null
    rm -rf --one-file-system "$scratch"
}
started=()
trap clean_up EXIT

mount_table() { findmnt -rn -o TARGET,SOURCE,FSTYPE,OPTIONS,PROPAGATION; }
before=$(mount_table) || fail "findmnt cannot read the mount table"

# start [--keep] HOLD COMMAND...: the script, in a process group of its own as a terminal's job is,
# and with SIGINT not ignored (as it is for a background job here); sets $pid. At the debootstrap
# stage it runs for the release that has no pristine tarball yet.
start() {
    local options=()
    [[ "$1" == --keep ]] && { options+=(--keep); shift; }
    local hold=$1 run_release=$release
    shift
    [[ "$hold" == debootstrap ]] && run_release=$unmade
    rm -f "$marks/held"
    PATH="$scratch/bin:$PATH" FRESH_ROOT_TEST_HOLD=$hold VORDA_FRESH_ROOT_STORE=$store \
        setsid env --default-signal=INT,QUIT bash "$script" "${options[@]}" --bind "$scratch/work" "$run_release" -- "$@" \
        >>"$scratch/log" 2>&1 </dev/null &
    pid=$!
    started+=("$pid")
}
wait_for() {   # wait_for WHAT COMMAND...: until COMMAND succeeds, at most a minute
    local deadline=$((SECONDS + 60))
    until "${@:2}"; do
        ((SECONDS < deadline)) || fail "$1 did not happen within 60 s; the script said: $(tail -n 5 "$scratch/log")"
        sleep 0.05
    done
}
held() {   # held STAGE: the stage's mark is there, and the process that wrote it has become sleep
    local mark held_pid
    if [[ "$1" == command ]]; then
        mark=$(compgen -G "$store/$release-run.*/nested/held") || return 1
    else
        mark=$marks/held
    fi
    { read -r held_pid <"$mark"; } 2>/dev/null && [[ "$(cat "/proc/$held_pid/comm" 2>/dev/null)" == sleep ]]
}
ended() { [[ ! -e /proc/$1 || "$(cut -d' ' -f3 "/proc/$1/stat" 2>/dev/null)" == Z ]]; }
group_left() {   # group_left PGID: a process of the group is left that is not a zombie (which PID 1 may not reap here)
    local stat line fields
    for stat in /proc/[0-9]*/stat; do
        { read -r line <"$stat"; } 2>/dev/null || continue
        read -ra fields <<<"${line##*) }"
        [[ "${fields[2]}" == "$1" && "${fields[0]}" != Z ]] && return 0
    done
    return 1
}
is_sleep() { [[ "$(cat "/proc/$1/comm" 2>/dev/null)" == sleep ]]; }
finish() {   # finish PID: waits for the script to end; sets $status
    wait_for "the end of fresh-root.sh (pid $1)" ended "$1"
    { wait "$1"; } 2>/dev/null
    status=$?
}
# check WHAT: the mount table as before, nothing of the run's running, the store as it was made.
check() {
    local after left
    after=$(mount_table) || fail "$1: findmnt cannot read the mount table"
    [[ "$after" == "$before" ]] ||
        fail "$1: the mount table changed: $(diff <(echo "$before") <(echo "$after") | grep '^[<>]' | head -n 8 | tr '\n' ';')"
    left=$(processes_in_store)
    [[ -z "$left" ]] || fail "$1: processes left in a root: $(for p in $left; do tr '\0' ' ' <"/proc/$p/cmdline"; echo; done)"
    group_left "$pid" && fail "$1: processes of the run's process group left"
    # The processes the test made stand for the run's (a debootstrap and its helpers, an older run's).
    while read -r left; do
        ended "$left" || fail "$1: process $left left: $(tr '\0' ' ' <"/proc/$left/cmdline")"
    done < <(cat "$marks/pids" 2>/dev/null)
    rm -f "$marks/pids"
    # An unmade release's downloads and debootstrap's log stay, as they should.
    rm -rf "$store/$unmade-archives" "$store/debootstrap-$unmade.log"
    left=$(LC_ALL=C ls -A "$store")
    [[ "$left" == "$pristine_names" ]] || fail "$1: the store holds $(echo "$left" | tr '\n' ' ')"
    echo "ok: $1"
}

declare -A stage_name=([debootstrap]="while debootstrap runs" [unpacking]="while unpacking" [mounting]="while mounting"
    [command]="while the command runs")
for stage in debootstrap unpacking mounting command; do
    for signal in INT TERM HUP; do
        if [[ "$stage" == command ]]; then start "" "${held_command[@]}"; else start "$stage" true; fi
        wait_for "the $stage stage" held "$stage"
        kill "-$signal" -- "-$pid"
        finish "$pid"
        ((status != 0)) || fail "SIG$signal ${stage_name[$stage]}: fresh-root.sh ended with status 0"
        check "SIG$signal to the run's process group ${stage_name[$stage]}"
    done
done

# An outer run's clean-up signals the script alone; the command, in a nested root, must end too.
start "" "${held_command[@]}"
wait_for "the command stage" held command
kill -TERM "$pid"
finish "$pid"
check "SIGTERM to the script alone while the command runs"

# So must debootstrap and its helpers, which work outside the root's folder or with / as their root.
start debootstrap true
wait_for "the debootstrap stage" held debootstrap
kill -TERM "$pid"
finish "$pid"
check "SIGTERM to the script alone while debootstrap runs"

# SIGKILL skips every trap: the next run must find what is left, end it, unmount it and remove it.
start mounting true
wait_for "the mounting stage" held mounting
kill -KILL -- "-$pid"
finish "$pid"
start "" true
finish "$pid"
((status == 0)) || fail "the run after a SIGKILL while mounting: status $status: $(tail -n 5 "$scratch/log")"
check "SIGKILL to the run's process group while mounting, then a new run"

start "" "${held_command[@]}"
wait_for "the command stage" held command
kill -KILL "$pid"
finish "$pid"
start "" true
finish "$pid"
((status == 0)) || fail "the run after a SIGKILL while the command ran: status $status: $(tail -n 5 "$scratch/log")"
check "SIGKILL to the script alone while its command runs, then a new run"

# A root kept with --keep stays, also when its run is killed (its mounts and processes are taken
# down); so does the root of a run still going, beside a new run.
start debootstrap true
wait_for "the debootstrap stage" held debootstrap
kill -KILL "$pid"
finish "$pid"
start "" true
finish "$pid"
((status == 0)) || fail "the run after a SIGKILL while debootstrap ran: status $status: $(tail -n 5 "$scratch/log")"
check "SIGKILL to the script alone while debootstrap runs, then a new run"

start --keep "" "${held_command[@]}"
wait_for "the command stage" held command
kill -KILL "$pid"
finish "$pid"
kept=$(compgen -G "$store/$release-run.*/") || fail "--keep left no root"
kept=${kept%/}
rm "$kept/nested/held"
start "" "${held_command[@]}"
going=$pid
wait_for "the command stage" held command
# Someone then looks into the kept root, with a mount and a process in it: both stay.
mount -t tmpfs tmpfs "$kept/tmp" || fail "cannot mount a tmpfs in the kept root"
chroot "$kept" /usr/bin/sleep infinity &
looking=$!
wait_for "a process in the kept root" is_sleep "$looking"
start "" true
finish "$pid"
((status == 0)) || fail "a run beside another: status $status: $(tail -n 5 "$scratch/log")"
[[ -d "$kept" ]] || fail "a new run removed the kept root $kept"
is_sleep "$looking" || fail "a new run ended a process in the kept root $kept"
findmnt "$kept/tmp" >/dev/null || fail "a new run unmounted $kept/tmp in the kept root"
held command || fail "a new run took down the root of a run still going"
kill -0 "$going" 2>/dev/null || fail "a new run ended a run still going"
pid=$going
kill -INT -- "-$pid"
finish "$pid"
[[ -d "$kept" ]] || fail "a run's clean-up removed the kept root $kept"
kill -KILL "$looking"
wait "$looking" 2>/dev/null
{ umount "$kept/tmp" && rm -rf --one-file-system "$kept"; } || fail "cannot remove the kept root $kept"
check "a kept root and a run still going, beside a new run"

# An older fresh-root.sh wrote no pid file. What it left when killed (a root with its binds and a
# process in it; a debootstrap's build with a process unpacking into it) the next run takes down; a
# folder without a pid file that has neither mounts nor processes stays (it may be a kept root).
old_root=$(mktemp -d "$store/$release-run.XXXXXX")
{ tar -C "$old_root" -xf "$store/$release.tar" && mkdir -p "$old_root/sys"; } || fail "cannot make an older run's root"
mount --rbind --make-rslave /sys "$old_root/sys" || fail "cannot bind /sys in an older run's root"
mount -t tmpfs tmpfs "$old_root/tmp" || fail "cannot mount a tmpfs in an older run's root"
chroot "$old_root" /usr/bin/sleep infinity &
echo $! >>"$marks/pids"
wait_for "the older run's process in its root" is_sleep $!
old_build=$store/build-$release.$$
mkdir "$old_build" || fail "cannot make an older run's build"
(cd "$old_build" && exec sleep infinity) &
echo $! >>"$marks/pids"
wait_for "the older run's process in its build" is_sleep $!
quiet=$(mktemp -d "$store/$release-run.XXXXXX")
start "" true
finish "$pid"
((status == 0)) || fail "a run after an older run's leftovers: status $status: $(tail -n 5 "$scratch/log")"
[[ -d "$quiet" ]] || fail "a new run removed $quiet, which had neither mounts nor processes"
rmdir "$quiet"
check "an older run's root and build, with no pid file, mounts and processes, then a new run"
echo "PASS: fresh-root.sh interrupted at every stage, or killed, leaves the mounts as they were, no process and no root"
