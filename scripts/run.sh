#!/bin/bash
# run.sh - the one command to try Tolvik on Linux: installs the Debian packages that are missing,
# builds only what running takes (target tolvik_linux of build/win64: the x86_64 tolvik.exe and
# tolvik-send.exe, the message service and the network provider) and starts Tolvik through the launcher ./tolvik, the
# same one the Debian package installs. Without a display it starts Xvfb, runs Tolvik, saves a
# screenshot to build/tolvik-screenshot.png and stops everything it started.
# Whatever fails is said in one line starting with "run.sh:" (or "tolvik:", from the launcher).
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
B=$ROOT/build/win64
fail() { echo "run.sh: $*" >&2; exit 1; }

bash "$ROOT/scripts/deps.sh" || fail "installing the packages failed (scripts/deps.sh, see above)"
echo "run.sh: building tolvik.exe, tolvik-send.exe, the message service and the network provider in build/win64"
cmake -S "$ROOT" -B "$B" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/toolchain-x86_64-w64-mingw32.cmake" >/dev/null \
  || fail "configuring build/win64 failed (see above)"
cmake --build "$B" -j"${JOBS:-$(nproc)}" --target tolvik_linux >"$B/run-build.log" 2>&1 \
  || { tail -n 25 "$B/run-build.log" >&2; fail "building failed (build/win64/run-build.log)"; }

export TOLVIK_DIR=$B
if [ -n "${DISPLAY:-}" ]; then
  echo "run.sh: starting Tolvik (its icon is in the tray of Wine's desktop)"
  exec "$ROOT/tolvik"
fi

# No display: Tolvik on an Xvfb of our own, for a screenshot.
. "$ROOT/wine/wine-env.sh"
unset WINEPREFIX  # tolvik_wine_stop must end only our Xvfb; the launcher ends its own prefix
LAUNCHER_PID=
stop_all() {
  if [ -n "$LAUNCHER_PID" ]; then
    kill -TERM "$LAUNCHER_PID" 2>/dev/null
    wait "$LAUNCHER_PID" 2>/dev/null
  fi
  tolvik_wine_stop
}
trap stop_all EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
tolvik_display_start || fail "no display, and Xvfb could not be started"
SHOT=$ROOT/build/tolvik-screenshot.png
LOG=$("$ROOT/tolvik" --prefix)/drive_c/tolvik/msgsvc.log
seen=$(stat -c %s "$LOG" 2>/dev/null || echo 0)
"$ROOT/tolvik" &
LAUNCHER_PID=$!
# Tolvik starts once the message service listens (the first run sets up the prefix before).
deadline=$((SECONDS + 180))
until tail -c +$((seen + 1)) "$LOG" 2>/dev/null | grep -q 'listening on\|cannot start'; do
  kill -0 "$LAUNCHER_PID" 2>/dev/null || { LAUNCHER_PID=; fail "the launcher ended early (see above)"; }
  [ $SECONDS -lt $deadline ] || fail "the message service did not start within 180 s"
  sleep 0.5
done
sleep 5  # Tolvik's start-up, until its icon is in the tray
import -display "$DISPLAY" -window root "$SHOT" || fail "the screenshot could not be taken"
echo "run.sh: no display: Tolvik ran on Xvfb $DISPLAY; screenshot saved to build/tolvik-screenshot.png"
