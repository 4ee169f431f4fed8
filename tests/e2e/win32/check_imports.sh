#!/usr/bin/env bash
# Dictionary.exe needs no DLL beyond those that ship with Windows:  check_imports.sh EXE OBJDUMP
set -euo pipefail
exe=$1
objdump=$2
allowed=(KERNEL32.dll USER32.dll GDI32.dll ADVAPI32.dll SHELL32.dll OLE32.dll MSVCRT.dll)

[[ -f "$exe" ]] || { echo "FAIL: no $exe"; exit 1; }
headers=$("$objdump" -p "$exe")
mapfile -t imports < <(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$headers")
((${#imports[@]} > 0)) || { echo "FAIL: objdump found no imported DLL in $exe"; exit 1; }

status=0
for dll in "${imports[@]}"; do
    ok=no
    for name in "${allowed[@]}"; do
        [[ "${dll^^}" == "${name^^}" ]] && ok=yes
    done
    echo "$dll: $ok"
    [[ $ok == yes ]] || { echo "FAIL: $dll is not a DLL that ships with Windows"; status=1; }
done
grep -q 'file format pei-i386' <<<"$headers" || { echo "FAIL: $exe is not a 32-bit Windows program"; status=1; }
grep -Eq '^Subsystem[[:space:]]+0*2[[:space:]]' <<<"$headers" || { echo "FAIL: $exe is not a GUI program"; status=1; }
size=$(stat -c %s "$exe")
echo "size: $size bytes"
((status == 0)) && echo "PASS: ${#imports[@]} imported DLLs, all shipped with Windows"
exit "$status"
