#!/bin/bash
# run-suite.sh BUILD_DIR SUITE - runs one suite of the Windows test driver under wine64 in a
# fresh prefix, on its own Xvfb display, and cleans everything up afterwards.
set -u
BUILD=$(cd "$1" && pwd)
SUITE=$2
HERE=$(cd "$(dirname "$0")" && pwd)
. "$HERE/../../wine/wine-env.sh"

WORK=$(mktemp -d /tmp/tolvik-e2e-$SUITE.XXXXXX)
ARTIFACTS=$BUILD/e2e-artifacts/$SUITE
rm -rf "$ARTIFACTS"; mkdir -p "$ARTIFACTS"
unset DISPLAY
cleanup() {
    tolvik_wine_stop
    rm -rf "$WORK"
}
trap cleanup EXIT

# Suites named *_ru run as on a Russian system: Wine takes its ANSI code page (1251) from
# the locale it starts in.
case $SUITE in *_ru) export LC_ALL=ru_RU.CP1251 ;; esac

tolvik_display_start || exit 1
tolvik_prefix_create "$WORK/prefix" "$BUILD/tolviknp.dll"
winpath() { echo "Z:${1//\//\\}"; }

# The programs under test live in the prefix like an installed program.
APPDIR=$WINEPREFIX/drive_c/tolvik
cp "$BUILD/tolvik.exe" "$BUILD/e2e_driver.exe" "$BUILD/e2e_probe.dll" "$APPDIR/"
for extra in "$BUILD"/tests-bin/* "$BUILD"/msgsvc/msgsvc.exe; do [ -e "$extra" ] && cp "$extra" "$APPDIR/"; done

"$WINE64" 'C:\tolvik\e2e_driver.exe' --exe 'C:\tolvik\tolvik.exe' --suite "$SUITE" \
    --artifacts "$(winpath "$ARTIFACTS")" ${E2E_CASE:+--case "$E2E_CASE"}
rc=$?
for bmp in "$ARTIFACTS"/*.bmp; do
    [ -e "$bmp" ] && convert "$bmp" "${bmp%.bmp}.png" 2>/dev/null && rm -f "$bmp"
done
exit $rc
