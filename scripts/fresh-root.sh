#!/usr/bin/env bash
# Runs a command as a new contributor's machine would: in a clean clone of the committed checkout,
# inside a minimal Debian root of the given release, as root, with CI=true and no display.
#
#     bash scripts/fresh-root.sh bookworm -- bash scripts/test.sh      # Debian 12
#     bash scripts/fresh-root.sh trixie -- bash scripts/run.sh --screenshot-only
#     bash scripts/fresh-root.sh --keep trixie -- true                 # keeps the root to look in
#     bash scripts/fresh-root.sh --bind "$PWD" bookworm -- bash tests/...  # this tree as it is
#
# --bind DIR (repeatable) shows the folder DIR, read-only, at the same path inside the root; the bound
# folders then stand in for the clone, and the command runs in the first of them. A test uses it to
# try what it built on a machine that has nothing else.
# The root is made once per release with debootstrap (--variant=minbase, from the mirror apt uses
# here) and kept as a pristine tarball in $VORDA_FRESH_ROOT_STORE (default /var/tmp/vorda-fresh-root);
# every run unpacks a new copy, so nothing one run installs reaches the next, and nothing installed on
# this machine reaches the command. Downloaded .deb files are kept between runs (apt's archive folder
# is shared), which saves the downloads but installs every package anew. Exit status: the command's;
# 2 when the root could not be made; 3 when the command passed but left processes running in the root
# (a test that does not end what it starts), which are named and ended.
# An interrupt (INT, TERM, HUP) ends the command and takes the root down: its processes ended, its
# mounts unmounted, then the folder removed. The command and debootstrap each run in a session of
# their own (so without a controlling terminal), which an interrupt ends whole. What a run killed outright (SIGKILL) left, the next run
# takes down; it tells such a root from a kept one or one whose run still goes by the pid file beside it
# (an older version wrote none: a folder of its name without one goes while it has mounts or processes).
set -euo pipefail

usage() { echo "usage: bash scripts/fresh-root.sh [--keep] [--bind DIR]... RELEASE -- COMMAND..." >&2; exit 2; }
keep=0
binds=()
while [[ "${1:-}" == --* && "${1:-}" != -- ]]; do
    case $1 in
        --keep) keep=1; shift ;;
        --bind) [[ "${2:-}" == /* && -d "${2:-}" ]] || usage; binds+=("$(realpath "$2")"); shift 2 ;;
        *) usage ;;
    esac
done
release=${1:-}
[[ "$release" =~ ^[a-z]+$ ]] || usage
shift
[[ "${1:-}" == -- ]] && shift
(($#)) || usage
((EUID == 0)) || { echo "fresh-root: needs root (debootstrap, mounts, chroot)" >&2; exit 2; }

store=${VORDA_FRESH_ROOT_STORE:-/var/tmp/vorda-fresh-root}
mkdir -p "$store"
store=$(realpath "$store")
# The mount table (findmnt) escapes blanks, and the search for processes reads the path as a pattern.
[[ "$store" =~ ^/[-_./[:alnum:]]+$ ]] ||
    { echo "fresh-root: the store's path may hold only letters, digits and - _ . /: $store" >&2; exit 2; }
pristine=$store/$release.tar
# Downloaded .deb files, for debootstrap and for apt in every root of the release.
archives=${VORDA_FRESH_ROOT_ARCHIVES:-$store/$release-archives}
mkdir -p "$archives/partial"
# shellcheck source-path=SCRIPTDIR source=lib/run-folders.sh
source "$(dirname "$0")/lib/run-folders.sh"

# This run's folders in the store (the root; debootstrap's build while it is made), taken down at the
# end whatever ends the run but SIGKILL; what a killed run left, the next run takes down.
owned=()
root=
child=
clean_up() {
    local folder
    set +e
    trap '' INT TERM HUP
    if [[ -n "$child" ]]; then
        kill -KILL -- "-$child" 2>/dev/null
        kill -KILL "$child" 2>/dev/null
        wait "$child" 2>/dev/null
    fi
    for folder in "${owned[@]}"; do
        if [[ "$folder" == "$root" ]] && ((keep)); then
            take_down_run_folder "$folder" keep &&
                echo "fresh-root: kept $root (chroot into it after mounting proc, sys and dev again)"
        else
            take_down_run_folder "$folder"
        fi
    done
}
trap clean_up EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM
# in_background FOLDER COMMAND...: the command, working in FOLDER, as a child that the clean-up ends,
# so that a signal is acted on at once (the shell runs a trap only after a command in the foreground
# has ended). It leads a process group of its own, which the clean-up ends whole (debootstrap's
# helpers ignore SIGINT, as background jobs do); each process of it is marked with the folder, by
# which a later run finds what a killed run left working there from outside it.
in_background() {
    local status=0
    env "$run_folder_variable=$1" setsid --wait "${@:2}" &
    child=$!
    wait "$child" || status=$?
    child=
    return "$status"
}

for pid_file in "$store"/*.pid; do
    [[ -e "$pid_file" ]] || continue
    run_folder_alive "${pid_file%.pid}" && continue
    if run_folder_kept "${pid_file%.pid}"; then
        echo "fresh-root: ${pid_file%.pid} was left by a --keep run that was killed: its processes are ended and its mounts unmounted" >&2
        take_down_run_folder "${pid_file%.pid}" keep || true
    else
        echo "fresh-root: ${pid_file%.pid} was left by a run that was killed: its processes are ended, its mounts unmounted, and it is removed" >&2
        take_down_run_folder "${pid_file%.pid}" || true
    fi
done
# An older version wrote no pid file: what its killed runs left, mounts or processes tell.
for folder in "$store"/*-run.* "$store"/build-*; do
    [[ -d "$folder" && ! -L "$folder" && ! -e "$folder.pid" && ! -e "$folder/$kept_mark" ]] || continue
    mounts=$(mounts_under "$folder") || continue
    [[ -n "$mounts" || -n "$(processes_under "$folder")" ]] || continue
    echo "fresh-root: $folder, with no pid file, still has mounts or processes (a killed run of an older version left it): they are taken down, and it is removed" >&2
    take_down_run_folder "$folder" || true
done

apt_mirror() {
    sed -n 's/^URIs: *//p; s/^deb  *\(\[[^]]*\] *\)\{0,1\}\(http[^ ]*\) .*/\2/p' \
        /etc/apt/sources.list.d/*.sources /etc/apt/sources.list 2>/dev/null | grep -v -- -security | head -n 1
}

make_pristine() {
    local mirror build
    mirror=$(apt_mirror)
    [[ -n "$mirror" ]] || { echo "fresh-root: apt's sources name no Debian mirror" >&2; return 1; }
    if ! command -v debootstrap >/dev/null; then
        DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=900 install -y -q --no-install-recommends \
            debootstrap >/dev/null || return 1
    fi
    build=$(make_run_folder "$store/build-$release") || return 1
    owned+=("$build")
    echo "fresh-root: making a minimal Debian $release with debootstrap from $mirror (kept for later runs)"
    if ! in_background "$build" debootstrap --variant=minbase --include=ca-certificates --cache-dir="$archives" \
        "$release" "$build" "$mirror" >"$store/debootstrap-$release.log" 2>&1; then
        echo "fresh-root: debootstrap failed; see $store/debootstrap-$release.log" >&2
        return 1
    fi
    # An installed machine also has the release's updates and security fixes.
    cat >"$build/etc/apt/sources.list" <<EOF || return 1
deb $mirror $release main
deb $mirror $release-updates main
deb ${mirror%/debian}/debian-security $release-security main
EOF
    # The run folder is private while it is made; the root's own "/" must be open to every user.
    chmod 755 "$build" || return 1
    in_background "$build" tar -C "$build" -cf "$build.tar" . && mv "$build.tar" "$pristine" || return 1
    take_down_run_folder "$build" && owned=()
}
[[ -s "$pristine" ]] || make_pristine || exit 2

if ((keep)); then root=$(make_run_folder "$store/$release-run" keep); else root=$(make_run_folder "$store/$release-run"); fi
owned+=("$root")
mount_in() {   # mount_in TARGET MOUNT-ARGUMENTS...
    local target=$root/$1
    shift
    mkdir -p "$target"
    mount "$@" "$target"
}

in_background "$root" tar -C "$root" -xf "$pristine"
# A root's "/" that only root may enter (a tarball an earlier version made of its private folder)
# would refuse every other user of the root its libraries.
chmod 755 "$root"
cp /etc/resolv.conf "$root/etc/resolv.conf"
mount_in proc -t proc proc
# Each bind is made a slave by the call that makes it: a bind left shared, even for a moment, would
# hand the clean-up's unmounts on to the host's own mounts (/dev/pts, the cgroups).
mount_in sys --rbind --make-rslave /sys
mount_in dev --rbind --make-rslave /dev
mount_in tmp -t tmpfs -o mode=1777 tmpfs
mount_in run -t tmpfs -o mode=755 tmpfs
mount_in var/cache/apt/archives --bind --make-slave "$archives"

if ((${#binds[@]})); then
    for folder in "${binds[@]}"; do
        mount_in "${folder#/}" --bind --make-slave "$folder"
        mount -o remount,bind,ro "$root$folder"
    done
    workdir=${binds[0]}
    echo "fresh-root: Debian $release, with ${binds[*]} as they are: $*"
else
    checkout=$(git -C "$(dirname "$0")/.." rev-parse --show-toplevel)
    project=$(basename "$checkout")
    git clone -q --no-hardlinks "$checkout" "$root/work/$project"
    [[ -d "$checkout/../shared" ]] && cp -a "$checkout/../shared" "$root/work/shared"
    workdir=/work/$project
    echo "fresh-root: Debian $release, a clean clone of $(git -C "$checkout" rev-parse --short HEAD): $*"
fi
status=0
in_background "$root" chroot "$root" /usr/bin/env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root \
    LANG=C.UTF-8 TERM=dumb CI=true /bin/bash -c 'cd "$0" && exec "$@"' "$workdir" "$@" </dev/null || status=$?
# What was ending anyway (a bus's last clients) is given time to end before anything counts as left behind.
wait_processes_gone 10 "$root" || true
if end_processes_under "$root" say && ((status == 0)); then
    status=3
fi
echo "fresh-root: Debian $release: exit status $status"
exit "$status"
