#!/bin/bash
# test.sh - builds everything and runs every test: native unit tests, bounded fuzz runs,
# the import-table check of every shipped binary, the release checks (label "release": packages, installer,
# launcher) and the Wine end-to-end suites (label "wine").
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
B=$ROOT/build
FUZZ=1 bash "$ROOT/scripts/build.sh" || exit 1
status=0
ctest --test-dir "$B/native" --output-on-failure || status=1
ctest --test-dir "$B/fuzz" --output-on-failure || status=1
ctest --test-dir "$B/win32" --output-on-failure || status=1
# The Wine suites drive real input and timers: one at a time keeps a loaded machine from
# changing what they see.
ctest --test-dir "$B/win64" --output-on-failure -j"${WINE_JOBS:-1}" || status=1
if [ $status -ne 0 ]; then echo "test.sh: FAILED"; else echo "test.sh: all tests passed"; fi
exit $status
