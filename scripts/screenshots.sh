#!/bin/bash
# screenshots.sh BUILD_DIR [OUT_DIR] - takes the documentation's screenshots of Tolvik from an
# x86_64 build (it builds nothing): the main window in Sender and in Receiver mode, the
# Message View and the configuration dialog, each cropped to its window, as PNG files in
# OUT_DIR (default docs/screenshots). Runs in a throw-away Wine prefix with a virtual
# desktop on its own Xvfb display; tests-bin/screenshots_prog.exe poses the windows and
# tells this script where each one is.
set -euo pipefail
if [ $# -lt 1 ]; then
    echo "usage: $0 BUILD_DIR [OUT_DIR]" >&2
    exit 2
fi
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$(cd "$1" && pwd)
OUT=${2:-$ROOT/docs/screenshots}
for f in tolvik.exe tolviknp.dll tests-bin/screenshots_prog.exe; do
    [ -e "$BUILD/$f" ] || { echo "screenshots: $BUILD/$f is missing (build the x86_64 tree first)" >&2; exit 1; }
done
mkdir -p "$OUT"
OUT=$(cd "$OUT" && pwd)
. "$ROOT/wine/wine-env.sh"

WORK=$(mktemp -d /tmp/tolvik-screens.XXXXXX)
unset DISPLAY
cleanup() {
    tolvik_wine_stop
    rm -rf "$WORK"
}
trap cleanup EXIT

tolvik_display_start
tolvik_prefix_create "$WORK/prefix" "$BUILD/tolviknp.dll"
APPDIR=$WINEPREFIX/drive_c/tolvik
cp "$BUILD/tolvik.exe" "$APPDIR/"
for extra in "$BUILD"/tests-bin/*; do [ -e "$extra" ] && cp "$extra" "$APPDIR/"; done
SHOTS=$WORK/shots
mkdir -p "$SHOTS"

taken=0
result=FAIL
# Tolvik may inherit the program's output, so the loop ends on DONE or FAIL, not at its end.
while IFS= read -r line; do
    read -r kind name left top right bottom <<<"${line%$'\r'}"
    case $kind in
    SHOT)
        import -display "$DISPLAY" -window root "$WORK/root.png"
        convert "$WORK/root.png" -crop "$((right - left))x$((bottom - top))+$left+$top" +repage "$OUT/$name.png"
        echo "screenshots: $OUT/$name.png ($((right - left))x$((bottom - top)))"
        taken=$((taken + 1))
        touch "$SHOTS/$name.done"
        ;;
    DONE) result=DONE; break ;;
    FAIL) echo "screenshots: the posing program failed: $name $left $top $right $bottom" >&2; break ;;
    esac
done < <(timeout 300 "$WINE64" 'C:\tolvik\screenshots_prog.exe' --exe 'C:\tolvik\tolvik.exe' \
             --handshake "Z:${SHOTS//\//\\}")

if [ "$result" != DONE ] || [ "$taken" -ne 4 ]; then
    echo "screenshots: incomplete ($taken of 4 pictures)" >&2
    exit 1
fi
