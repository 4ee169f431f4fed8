# shellcheck shell=bash
# The folders a run of scripts/fresh-root.sh owns in its store (a root, a debootstrap's build): each
# FOLDER has FOLDER.pid beside it, written before the folder is made and naming the run's process, so
# that a later run can tell a folder whose run was killed from one whose run still goes (and whether
# the folder is to be kept). A root kept after its run has no pid file but a mark inside, and is never
# touched. A folder with neither (an older version wrote no pid file) is taken down only while
# something is mounted or runs in it. Taking a folder down ends the processes whose root or working
# folder is in it or whose environment names it (those a run starts to work there), unmounts what is
# mounted in it and only then removes it.

# The mark a root kept after its run holds at its top: someone may chroot into it, with mounts.
kept_mark=.kept-by-fresh-root
# The environment variable that names the folder a run's child works in.
run_folder_variable=VORDA_FRESH_ROOT_FOLDER

process_start_time() {   # process_start_time PID: the kernel's start time of PID, which a new process of the same PID does not share
    local stat fields
    { read -r stat <"/proc/$1/stat"; } 2>/dev/null || return 1
    read -ra fields <<<"${stat##*) }"
    echo "${fields[19]}"
}

mark_run_folder() {   # mark_run_folder FOLDER [keep]: FOLDER belongs to this shell's run
    printf '%s %s %s\n' "$$" "$(process_start_time "$$")" "${2:-}" >"$1.pid"
}

make_run_folder() {   # make_run_folder PREFIX [keep]: a new folder PREFIX.XXXXXX of this shell's run, named on stdout
    local pid_file
    while pid_file=$(mktemp "$1.XXXXXX.pid"); do
        mark_run_folder "${pid_file%.pid}" "${2:-}" || break
        mkdir -m 700 "${pid_file%.pid}" 2>/dev/null && { echo "${pid_file%.pid}"; return 0; }
        rm -f "$pid_file"
        # The name is taken by a folder without a pid file (a kept root): another name.
        [[ -e "${pid_file%.pid}" ]] || return 1
    done
    return 1
}

run_folder_kept() {   # run_folder_kept FOLDER: its run was to keep it
    local pid start keep
    { read -r pid start keep <"$1.pid"; } 2>/dev/null && [[ "$keep" == keep ]]
}

run_folder_alive() {   # run_folder_alive FOLDER: its run still goes (or its pid file cannot be read)
    local pid start
    { read -r pid start _ <"$1.pid"; } 2>/dev/null || return 0
    [[ "$pid" =~ ^[0-9]+$ && -n "$start" ]] || return 0
    [[ "$(process_start_time "$pid")" == "$start" ]]
}

processes_under() {   # processes_under FOLDER: the processes whose root or working folder is FOLDER or a folder in it, or that work for it
    local listing
    listing=$({
        find /proc -mindepth 2 -maxdepth 2 \( -name root -o -name cwd \) \( -lname "$1" -o -lname "$1/*" \) \
            -printf '%h\n'
        grep -lzxF "$run_folder_variable=$1" /proc/[0-9]*/environ | sed 's|/environ$||'
    } 2>/dev/null | sort -u) || true
    listing=${listing//\/proc\//}
    [[ -z "$listing" ]] || echo "$listing"
}

wait_processes_gone() {   # wait_processes_gone SECONDS FOLDER
    local deadline=$((SECONDS + $1))
    while [[ -n "$(processes_under "$2")" ]]; do
        ((SECONDS < deadline)) || return 1
        sleep 0.1
    done
}

end_processes_under() {   # end_processes_under FOLDER [SAY]: ended, and named when SAY is given; fails when there were any
    local pid found=1
    for pid in $(processes_under "$1"); do
        [[ -z "${2:-}" ]] ||
            echo "fresh-root: still running in the root, ended: $(tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | cut -c1-120)" >&2
        kill -KILL "$pid" 2>/dev/null || true
        found=0
    done
    ((found)) || wait_processes_gone 30 "$1" ||
        echo "fresh-root: processes in $1 did not end within 30 s: $(processes_under "$1" | tr '\n' ' ')" >&2
    return "$found"
}

mounts_under() {   # mounts_under FOLDER: the mount points at or in FOLDER, in mount order; fails when the table cannot be read
    local table line
    table=$(findmnt -rn -o TARGET) || return 1
    [[ -n "$table" ]] || return 1
    while IFS= read -r line; do
        [[ "$line" == "$1" || "$line" == "$1/"* ]] && printf '%s\n' "$line"
    done <<<"$table"
    return 0
}

unmount_under() {   # unmount_under FOLDER: fails unless nothing is left mounted in it
    local listing target tops=() i
    listing=$(mounts_under "$1") || return 1
    [[ -n "$listing" ]] || return 0
    # The mounts that are not inside another one; each is taken down with what is mounted in it.
    while IFS= read -r target; do
        for ((i = 0; i < ${#tops[@]}; i++)); do
            [[ "$target" == "${tops[i]}" || "$target" == "${tops[i]}/"* ]] && continue 2
        done
        tops+=("$target")
    done <<<"$listing"
    # A bind copied from a shared mount would hand its unmounts on to the host's own mounts: each is
    # made a slave first, which also mends a bind whose own propagation step never ran.
    for ((i = 0; i < ${#tops[@]}; i++)); do
        mount --make-rslave "${tops[i]}" 2>/dev/null || true
    done
    for ((i = ${#tops[@]} - 1; i >= 0; i--)); do
        umount -R "${tops[i]}" 2>/dev/null || umount -R -l "${tops[i]}" 2>/dev/null || true
    done
    listing=$(mounts_under "$1") || return 1
    [[ -z "$listing" ]]
}

take_down_run_folder() {   # take_down_run_folder FOLDER [keep]: fails, leaving it, while anything stays mounted in it
    end_processes_under "$1" || true
    if ! unmount_under "$1"; then
        echo "fresh-root: $1 still has mounts (or the mount table could not be read); left in place, not deleted" >&2
        return 1
    fi
    if [[ "${2:-}" == keep ]]; then
        : >"$1/$kept_mark" && rm -f "$1.pid"
    else
        rm -rf --one-file-system "$1" "$1.tar" && rm -f "$1.pid"
    fi
}
