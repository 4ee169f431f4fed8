#!/usr/bin/env bash
# scripts/install-deps.sh when the install of the test packages fails: only where apt says that the
# 32-bit packages are at other versions than their 64-bit siblings does it install the rest (the
# 64-bit Windows road); a lock, a network error, an index without the 32-bit packages or a conflict
# at matching versions fail the command. apt-get, apt-cache, dpkg and dpkg-query are stand-ins that
# answer as apt does (the texts as apt 2.6 prints them), so nothing is installed.
set -uo pipefail
script=$(realpath "$(dirname "$0")/../../scripts/install-deps.sh")
fail() { echo "FAIL: $*" >&2; exit 1; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
bin=$scratch/bin
mkdir -p "$bin"

cat >"$bin/apt-get" <<'EOF'
#!/bin/bash
case " $* " in
    *" update "*) exit 0 ;;
    *" -s "*) cat "$APT_CASE/simulate"; exit "$(cat "$APT_CASE/simulate.rc")" ;;
    *":i386 "*) cat "$APT_CASE/install"; exit 100 ;;
    *) echo "$*" >>"$APT_CASE/installed-without-32-bit"; exit 0 ;;
esac
EOF
cat >"$bin/apt-cache" <<'EOF'
#!/bin/bash
[[ "$1" == policy ]] && cat "$APT_CASE/policy"
EOF
cat >"$bin/dpkg" <<'EOF'
#!/bin/bash
case "$1" in
    --print-foreign-architectures) echo i386 ;;
    --print-architecture) echo amd64 ;;
esac
EOF
printf '#!/bin/bash\nexit 1\n' >"$bin/dpkg-query"
chmod +x "$bin"/*

# What apt prints where the mirror's 32-bit index is an update behind: libc6:i386 at the release's
# version, libc6 at the security update's.
unmet_versions=" wine32:i386 : Depends: libc6:i386 (>= 2.34) but it is not going to be installed
               Depends: libwine:i386 (= 8.0~repack-4) but it is not going to be installed
 libwine:i386 : Depends: libc6:i386 (>= 2.36) but it is not going to be installed"
policy_behind="libc6:i386:
  Installed: (none)
  Candidate: 2.36-9+deb12u4
  Version table:
     2.36-9+deb12u4 500
        500 http://deb.debian.org/debian bookworm/main i386 Packages
libc6:
  Installed: 2.36-9+deb12u7
  Candidate: 2.36-9+deb12u7
  Version table:
 *** 2.36-9+deb12u7 500
        500 http://deb.debian.org/debian-security bookworm-security/main amd64 Packages
        100 /var/lib/dpkg/status
libwine:i386:
  Installed: (none)
  Candidate: 8.0~repack-4
  Version table:
     8.0~repack-4 500
        500 http://deb.debian.org/debian bookworm/main i386 Packages
libwine:
  Installed: (none)
  Candidate: 8.0~repack-4
  Version table:
     8.0~repack-4 500
        500 http://deb.debian.org/debian bookworm/main amd64 Packages
wine32:i386:
  Installed: (none)
  Candidate: 8.0~repack-4
  Version table:
     8.0~repack-4 500
        500 http://deb.debian.org/debian bookworm/main i386 Packages
wine32:
  Installed: (none)
  Candidate: (none)
  Version table:"
policy_matching=${policy_behind//2.36-9+deb12u4/2.36-9+deb12u7}
impossible="Reading package lists...
Building dependency tree...
Some packages could not be installed. This may mean that you have
requested an impossible situation or if you are using the unstable
distribution that some required packages have not yet been created
or been moved out of Incoming.
The following information may help to resolve the situation:

The following packages have unmet dependencies:
$unmet_versions
E: Unable to correct problems, you have held broken packages."
fine="Reading package lists...
Building dependency tree...
Inst libc6:i386 (2.36-9+deb12u7 Debian-Security:12/stable-security [i386])"
lock="E: Could not get lock /var/lib/dpkg/lock-frontend. It is held by process 4242 (apt-get)
E: Unable to acquire the dpkg frontend lock (/var/lib/dpkg/lock-frontend), is another process using it?"
network="E: Failed to fetch http://deb.debian.org/debian/pool/main/w/wine/wine32_8.0~repack-4_i386.deb  Connection timed out [IP: 151.101.2.132 80]
E: Unable to fetch some archives, maybe run apt-get update or try with --fix-missing?"
no_index="Reading package lists...
E: Unable to locate package wine32:i386"

# try NAME WANTED INSTALL SIMULATE SIMULATE-STATUS POLICY: WANTED is "64-bit road" or "fails".
try() {
    local case=$scratch/$1 output status
    mkdir -p "$case"
    printf '%s\n' "$3" >"$case/install"
    printf '%s\n' "$4" >"$case/simulate"
    echo "$5" >"$case/simulate.rc"
    printf '%s\n' "$6" >"$case/policy"
    output=$(PATH="$bin:$PATH" APT_CASE=$case bash "$script" --test 2>&1)
    status=$?
    if [[ "$2" == "64-bit road" ]]; then
        ((status == 0)) || fail "$1: the command failed (status $status): $output"
        [[ -s "$case/installed-without-32-bit" ]] || fail "$1: the other packages were not installed: $output"
        [[ "$output" == *"libc6 (32-bit 2.36-9+deb12u4, 64-bit 2.36-9+deb12u7)"* ]] ||
            fail "$1: the command does not say which versions differ: $output"
    else
        ((status != 0)) || fail "$1: the command passed and would take the 64-bit road: $output"
        [[ ! -e "$case/installed-without-32-bit" ]] || fail "$1: the packages were installed without the 32-bit ones"
    fi
    echo "ok: $1: $2"
}
try "the 32-bit packages an update behind" "64-bit road" "$impossible" "$impossible" 100 "$policy_behind"
try "a lock held by another apt" fails "$lock" "$fine" 0 "$policy_matching"
try "a network error" fails "$network" "$fine" 0 "$policy_matching"
try "no 32-bit index" fails "$no_index" "$no_index" 100 ""
try "unmet dependencies at matching versions" fails "$impossible" "$impossible" 100 "$policy_matching"
echo "PASS: only 32-bit packages at other versions than the 64-bit ones lead to the 64-bit road"
