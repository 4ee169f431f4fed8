#!/usr/bin/env bash
# .ci/run's verdict from what each release's test command ended with: it passes only where the
# shipped 32-bit Dictionary.exe passed under 32-bit Wine in at least one release. scripts/fresh-root.sh
# is a stand-in that prints, for each release, the last line a test command would.
set -uo pipefail
ci_run=$(realpath "$(dirname "$0")/../../.ci/run")
fail() { echo "FAIL: $*" >&2; exit 1; }
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
mkdir -p "$tree/.ci" "$tree/scripts"
cp "$ci_run" "$tree/.ci/run"
cat >"$tree/scripts/fresh-root.sh" <<'STANDIN'
#!/bin/bash
release=$1
line=FAKE_$release status=FAKE_${release}_status
echo "== [42 s] every test passed; Windows: ${!line}"
exit "${!status}"
STANDIN
shipped="build/win32/Dictionary.exe (32-bit) and its setup under 32-bit Wine"
other="build/win64/Dictionary.exe (64-bit) and its setup under 64-bit Wine, not the shipped program: this machine cannot run 32-bit Wine"
no_32bit="build/win64/Dictionary.exe (64-bit) and its setup under 64-bit Wine, not the shipped program: this machine's kernel runs no 32-bit program (Exec format error)"

try() {   # try WANTED BOOKWORM-LINE BOOKWORM-STATUS TRIXIE-LINE TRIXIE-STATUS
    local output status
    output=$(FAKE_bookworm=$2 FAKE_bookworm_status=$3 FAKE_trixie=$4 FAKE_trixie_status=$5 bash "$tree/.ci/run" 2>&1)
    status=$?
    if [[ "$1" == passes ]]; then
        ((status == 0)) || fail "bookworm '$2' ($3), trixie '$4' ($5): .ci/run failed: $output"
    else
        ((status != 0)) || fail "bookworm '$2' ($3), trixie '$4' ($5): .ci/run passed: $output"
    fi
    echo "ok: $1: bookworm ${2%% under*} ($3), trixie ${4%% under*} ($5)"
}
try passes "$shipped" 0 "$shipped" 0
try passes "$other" 0 "$shipped" 0
try fails "$other" 0 "$other" 0
try fails "$shipped" 1 "$other" 0
try fails "$shipped" 0 "$shipped" 1
try passes "$no_32bit" 0 "$no_32bit" 0
try fails "$no_32bit" 0 "$other" 0
try fails "$no_32bit" 1 "$no_32bit" 0
echo "PASS: .ci/run passes only where the shipped Dictionary.exe passed under 32-bit Wine"
