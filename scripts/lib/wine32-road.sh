# shellcheck shell=bash
# Whether a failed install is the one the 64-bit Windows road is for: apt cannot resolve the 32-bit
# packages because the mirror serves them at other versions than their 64-bit siblings (its indexes
# of the two architectures caught at different updates, mid-sync). Any other failure (a lock, the
# network, an index that cannot be read, a conflict of the 64-bit packages) is the install's own.
# Both read apt's English output (LC_ALL=C) on standard input.

unmet_package_names() {   # the packages (without architecture) that apt-get's unmet-dependency report names
    local line reading=0 seen=" "
    local pattern='^ ([a-z0-9][a-z0-9+.-]*)(:[a-z0-9]+)? : ' target='(Depends|Breaks|Conflicts): ([a-z0-9][a-z0-9+.-]*)'
    while IFS= read -r line; do
        if [[ "$line" == "The following packages have unmet dependencies:" ]]; then
            reading=1
            continue
        fi
        ((reading)) || continue
        [[ "$line" == " "* ]] || break
        # " wine32:i386 : Depends: libc6:i386 (>= 2.34) but it is not going to be installed", and the
        # lines under it that give the same package's other dependencies
        if [[ "$line" =~ $pattern && "$seen" != *" ${BASH_REMATCH[1]} "* ]]; then
            seen+="${BASH_REMATCH[1]} "
        fi
        if [[ "$line" =~ $target && "$seen" != *" ${BASH_REMATCH[2]} "* ]]; then
            seen+="${BASH_REMATCH[2]} "
        fi
    done
    for line in $seen; do echo "$line"; done
}

i386_version_mismatches() {   # i386_version_mismatches NAME...: from `apt-cache policy NAME:i386 NAME...`,
    # the names whose 32-bit candidate is another version than the native one, each with both; fails
    # when there is none. A package with no 32-bit candidate (one of all architectures, or 64-bit only)
    # is no mismatch.
    local line name="" found=1
    declare -A candidate=()
    while IFS= read -r line; do
        if [[ "$line" =~ ^([^[:space:]]+):$ ]]; then
            name=${BASH_REMATCH[1]}
        elif [[ -n "$name" && "$line" =~ ^\ +Candidate:\ (.+)$ ]]; then
            candidate[$name]=${BASH_REMATCH[1]}
        fi
    done
    for name in "$@"; do
        local bits32=${candidate[$name:i386]:-} native=${candidate[$name]:-}
        [[ -n "$bits32" && "$bits32" != "(none)" && -n "$native" && "$native" != "(none)" ]] || continue
        [[ "$bits32" == "$native" ]] && continue
        echo "$name (32-bit $bits32, 64-bit $native)"
        found=0
    done
    return "$found"
}
