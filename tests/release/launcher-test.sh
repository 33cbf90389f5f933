#!/bin/bash
# launcher-test.sh BUILD_DIR RELEASE_PROBE_EXE - runs the Linux launcher ./tolvik twice on a
# throw-away HOME, on its own Xvfb display: the first run creates the prefix under
# ~/.local/share/tolvik and sets it up, the second reuses it with the user's data and edits; both
# start the message service and Tolvik and stop the service once Tolvik has exited.
set -u
BUILD=$(cd "$1" && pwd)
PROBE=$2
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
. "$HERE/checks.sh"
LAUNCHER=$ROOT/tolvik

WORK=$(mktemp -d /tmp/tolvik-release-launcher.XXXXXX)
export HOME=$WORK/home
unset XDG_DATA_HOME WINEPREFIX DISPLAY
mkdir -p "$HOME"
PREFIX=$HOME/.local/share/tolvik/prefix
APP=$PREFIX/drive_c/tolvik
LAUNCHER_PID=
cleanup() {
    [ -z "$LAUNCHER_PID" ] || kill "$LAUNCHER_PID" 2>/dev/null
    export WINEPREFIX=$PREFIX
    tolvik_wine_stop
    rm -rf "$WORK"
}
trap cleanup EXIT
tolvik_display_start || { echo "FAIL: no Xvfb"; exit 1; }
# The service listens on a loopback address of its own, away from other running services.
export TOLVIK_ADDRESS=127.$((RANDOM % 200 + 20)).$((RANDOM % 250 + 1)).$((RANDOM % 250 + 1))
HAVE_SERVICE=0
[ -f "$BUILD/msgsvc/msgsvc.exe" ] && [ -f "$BUILD/msgsvc/netapi32.dll" ] && HAVE_SERVICE=1

# wait_for SECONDS COMMAND... - polls COMMAND every 0.2 s.
wait_for() {
    local deadline=$((SECONDS + $1)); shift
    until "$@"; do
        [ $SECONDS -lt $deadline ] || return 1
        sleep 0.2
    done
}
log_count() { local n; n=$(grep -c "$1" "$APP/msgsvc.log" 2>/dev/null); echo "${n:-0}"; }
stopped_count() { log_count stopped; }
listens_since() { [ "$(log_count "listening on $TOLVIK_ADDRESS")" -gt "$1" ]; }
launcher_done() { ! kill -0 "$LAUNCHER_PID" 2>/dev/null; }

# run_launcher LOG - one run of the launcher, ended the way a user ends Tolvik (its Exit command).
# Sets LAUNCHER_RC.
run_launcher() {
    local log=$1 before listening
    before=$(stopped_count)
    listening=$(log_count "listening on $TOLVIK_ADDRESS")
    TOLVIK_DIR=$BUILD "$LAUNCHER" >"$log" 2>&1 &
    LAUNCHER_PID=$!
    # Tolvik starts after the set-up and, when there is one, after the service listens.
    if [ $HAVE_SERVICE = 1 ]; then
        check "the service listens on $TOLVIK_ADDRESS" \
            wait_for 120 listens_since "$listening"
    else
        wait_for 120 test -f "$APP/tolvik.exe"
        sleep 2
    fi
    check "Tolvik's main window appears and takes Exit" \
        env WINEPREFIX="$PREFIX" "$WINE64" "$PROBE" exit-tolvik 60000
    check "the launcher returns when Tolvik exits" wait_for 60 launcher_done
    wait "$LAUNCHER_PID"
    LAUNCHER_RC=$?
    LAUNCHER_PID=
    if [ $HAVE_SERVICE = 1 ]; then
        check_eq "the service was stopped with Tolvik" "$(stopped_count)" "$((before + 1))"
    fi
    # The registry reaches the prefix's files when its server ends.
    WINEPREFIX=$PREFIX "$WINESERVER64" -w
}

echo "== where the prefix lives"
check_eq "under ~/.local/share by default" "$("$LAUNCHER" --prefix)" "$PREFIX"
check_eq "under XDG_DATA_HOME when set" "$(XDG_DATA_HOME=$WORK/xdg "$LAUNCHER" --prefix)" "$WORK/xdg/tolvik/prefix"
mkdir -p "$WORK/empty"
TOLVIK_DIR=$WORK/empty "$LAUNCHER" >"$WORK/bad.log" 2>&1
check "a folder without tolvik.exe is refused" test $? -ne 0
check "with a message naming the problem" grep -q 'no tolvik.exe' "$WORK/bad.log"
check "and no prefix is made" test ! -e "$PREFIX"

echo "== first run"
run_launcher "$WORK/run1.log"
check_eq "the launcher's exit status is Tolvik's" "$LAUNCHER_RC" 0
check "it says it sets up" grep -q 'first run' "$WORK/run1.log"
check "the prefix exists" test -f "$PREFIX/system.reg"
check "the network provider is registered" grep -q '"ProviderOrder"="TolvikNP"' "$PREFIX/system.reg"
check "the network provider is in place" cmp -s "$APP/tolviknp.dll" "$BUILD/tolviknp.dll"
check "Tolvik's program file is in place" cmp -s "$APP/tolvik.exe" "$BUILD/tolvik.exe"
check "Tolvik saved its settings at exit" grep -q 'Software\\\\Morvane\\\\Tolvik\]' "$PREFIX/user.reg"
if [ $HAVE_SERVICE = 1 ]; then
    check "the service is in place" cmp -s "$APP/msgsvc.exe" "$BUILD/msgsvc/msgsvc.exe"
    check "the sender DLL is in place" cmp -s "$APP/netapi32.dll" "$BUILD/msgsvc/netapi32.dll"
    check "tolvik.exe takes the sender DLL" \
        grep -A3 -F 'AppDefaults\\tolvik.exe\\DllOverrides' "$PREFIX/user.reg" | grep -q '"netapi32"="native,builtin"'
    check "msgsvc.ini names the address" grep -qx "address=$TOLVIK_ADDRESS" "$APP/msgsvc.ini"
    check "lmhosts maps our user to it" grep -qx "$TOLVIK_ADDRESS $(id -un | cut -c1-15)" "$APP/lmhosts"
fi

echo "== second run"
touch "$PREFIX/drive_c/marker"
echo '; edited by the user' >>"$APP/msgsvc.ini"
run_launcher "$WORK/run2.log"
check_eq "the launcher's exit status is Tolvik's" "$LAUNCHER_RC" 0
check "no set-up this time" test -z "$(grep 'first run' "$WORK/run2.log")"
check "the prefix was kept" test -f "$PREFIX/drive_c/marker"
check "the user's edit of msgsvc.ini was kept" grep -q 'edited by the user' "$APP/msgsvc.ini"
check "Tolvik's settings are still there" grep -q 'Software\\\\Morvane\\\\Tolvik\]' "$PREFIX/user.reg"
finish
