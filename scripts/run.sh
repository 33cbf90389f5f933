#!/bin/bash
# run.sh - installs what is missing, builds, prepares a Wine prefix (virtual desktop, network
# provider, the message service msgsvc.exe) under ~/.local/share/tolvik and starts Tolvik. Without a display it starts Xvfb,
# waits a moment and saves a screenshot to build/tolvik-screenshot.png.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
bash "$ROOT/scripts/deps.sh"
bash "$ROOT/scripts/build.sh"
. "$ROOT/wine/wine-env.sh"
headless=0
[ -n "${DISPLAY:-}" ] || headless=1
tolvik_display_start
PREFIX=${TOLVIK_PREFIX:-${XDG_DATA_HOME:-$HOME/.local/share}/tolvik/prefix}
tolvik_prefix_create "$PREFIX" "$ROOT/build/win64/tolviknp.dll"
cp "$ROOT/build/win64/tolvik.exe" "$WINEPREFIX/drive_c/tolvik/"
. "$ROOT/msgsvc/wine-setup.sh"
msgsvc_install_and_start "$ROOT/build/win64"
if [ $headless = 0 ]; then
  echo "Starting Tolvik (its icon is in the tray of Wine's desktop)."
  exec "$WINE64" 'C:\tolvik\tolvik.exe'
fi
trap tolvik_wine_stop EXIT
"$WINE64" 'C:\tolvik\tolvik.exe' &
sleep 5
import -display "$DISPLAY" -window root "$ROOT/build/tolvik-screenshot.png"
echo "No display: Tolvik ran on Xvfb $DISPLAY; screenshot saved to build/tolvik-screenshot.png"
