#!/bin/bash
# check-imports.sh OBJDUMP FILE - fails unless the exe or DLL imports system DLLs only (static runtime).
set -euo pipefail
allowed='^(kernel32|user32|gdi32|advapi32|shell32|comctl32|netapi32|mpr|ws2_32|msvcrt|api-ms-win-crt-[a-z0-9-]+|ucrtbase)\.dll$'
dlls=$("$1" -p "$2" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z')
[ -n "$dlls" ] || { echo "no imports found in $2"; exit 1; }
bad=0
for d in $dlls; do
  if [[ $d =~ $allowed ]]; then echo "ok: $d"; else echo "NOT ALLOWED: $d"; bad=1; fi
done
exit $bad
