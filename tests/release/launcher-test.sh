#!/bin/bash
# launcher-test.sh BUILD_DIR RELEASE_PROBE_EXE - the Debian package of BUILD_DIR and the Linux
# launcher in it: the package's metadata and contents read back (lintian finds no error), then the
# launcher of an unpacked copy run on a throw-away HOME, on its own Xvfb display: the first run
# creates the prefix under ~/.local/share/tolvik and sets it up, and a message sent to oneself
# through Tolvik arrives; the second reuses the prefix with the user's data and edits; both start
# the message service and Tolvik (in Wine's desktop window: the display has no tray) and stop the
# service once Tolvik has exited. tolvik send goes to oneself, to a private smbd and to an unknown
# name while Tolvik runs. Then openbox and trayer give the display a tray: Tolvik's icon docks
# there, drawn, and a double-click on it opens the main window (screenshots of both are left in
# BUILD_DIR/release-artifacts/). The service gets a loopback address and ports that nothing else
# holds, so a user's own Tolvik may run meanwhile.
set -u
BUILD=$(cd "$1" && pwd)
PROBE=$2
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
. "$HERE/checks.sh"
. "$HERE/../samba.sh"

WORK=$(mktemp -d /tmp/tolvik-release-launcher.XXXXXX)
export HOME=$WORK/home
unset XDG_DATA_HOME WINEPREFIX DISPLAY
mkdir -p "$HOME"
PREFIX=$HOME/.local/share/tolvik/prefix
APP=$PREFIX/drive_c/tolvik
LAUNCHER_PID=
DESKTOP_PIDS=()
cleanup() {
    [ -z "$LAUNCHER_PID" ] || kill "$LAUNCHER_PID" 2>/dev/null
    smbd_stop
    [ ${#DESKTOP_PIDS[@]} -eq 0 ] || kill "${DESKTOP_PIDS[@]}" 2>/dev/null
    export WINEPREFIX=$PREFIX
    tolvik_wine_stop
    rm -rf "$WORK"
}
trap cleanup EXIT

echo "== the Debian package"
VERSION=$(sed -n 's/^project(Tolvik VERSION \([0-9.]*\).*/\1/p' "$ROOT/CMakeLists.txt")
DEB=$WORK/out/tolvik_${VERSION}_amd64.deb
if ! bash "$ROOT/scripts/package.sh" --no-build --out "$WORK/out" "deb=$BUILD" >"$WORK/package.log" 2>&1; then
    cat "$WORK/package.log"
    echo "FAIL: scripts/package.sh deb"
    exit 1
fi
field() { dpkg-deb -f "$DEB" "$1"; }
check_eq "Package" "$(field Package)" tolvik
check_eq "Version" "$(field Version)" "$VERSION"
check_eq "Architecture" "$(field Architecture)" amd64
check_eq "Depends" "$(field Depends)" "wine64 | wine, fonts-wine"
check_eq "Recommends" "$(field Recommends)" "python3"
LINTIAN=$(lintian --tag-display-limit 0 "$DEB" 2>&1)
check "lintian finds no error" test -z "$(grep '^E:' <<<"$LINTIAN")"
grep '^[EW]:' <<<"$LINTIAN"
dpkg-deb -x "$DEB" "$WORK/root" || { echo "FAIL: dpkg-deb -x"; exit 1; }
R=$WORK/root
check "the launcher is /usr/bin/tolvik" cmp -s "$R/usr/bin/tolvik" "$ROOT/tolvik"
check "and may be run" test -x "$R/usr/bin/tolvik"
for f in tolvik.exe tolvik-send.exe tolviknp.dll msgsvc/msgsvc.exe msgsvc/netapi32.dll; do
    check "/usr/lib/tolvik/${f#msgsvc/} is the built one" cmp -s "$R/usr/lib/tolvik/${f#msgsvc/}" "$BUILD/$f"
done
check "the desktop entry starts tolvik" grep -qx 'Exec=tolvik' "$R/usr/share/applications/tolvik.desktop"
for s in 16 32 48 64 128; do
    check_eq "the ${s}x$s icon" "$(identify -format '%m %wx%h' "$R/usr/share/icons/hicolor/${s}x$s/apps/tolvik.png")" \
        "PNG ${s}x$s"
done
check "the manual page tolvik(1) names the version" zgrep -q "Tolvik $VERSION" "$R/usr/share/man/man1/tolvik.1.gz"
check "the copyright file" grep -q '^Copyright: ' "$R/usr/share/doc/tolvik/copyright"
check_eq "the changelog's first entry" "$(zcat "$R/usr/share/doc/tolvik/changelog.gz" | head -n 1)" \
    "tolvik ($VERSION) unstable; urgency=medium"
LAUNCHER=$R/usr/bin/tolvik

echo "== autostart"
AUTOSTART=$HOME/.config/autostart/tolvik.desktop
"$LAUNCHER" --autostart on >/dev/null
check "--autostart on writes the entry, which starts this launcher" grep -qx "Exec=\"$LAUNCHER\"" "$AUTOSTART"
"$LAUNCHER" --autostart off >/dev/null
check "--autostart off removes it" test ! -e "$AUTOSTART"

# The run command sources wine-env.sh under set -e, and Xvfb may not have written its lock file yet
# when it is first looked at.
check "Xvfb starts for a caller under set -e" \
    bash -ec ". '$ROOT/wine/wine-env.sh'; unset DISPLAY; tolvik_display_start; tolvik_wine_stop"
tolvik_display_start || { echo "FAIL: no Xvfb"; exit 1; }
# The service listens on a loopback address of its own, on ports nothing else holds; the private
# smbd on the next address, on the same port.
NET=127.$((RANDOM % 200 + 20)).$((RANDOM % 250 + 1))
HOST=$((RANDOM % 250 + 1))
export TOLVIK_ADDRESS=$NET.$HOST
SMB_ADDRESS=$NET.$((HOST + 1))
export TOLVIK_PORT TOLVIK_NAMEPORT
TOLVIK_PORT=$(python3 "$HERE/../free_port.py" tcp "$TOLVIK_ADDRESS,$SMB_ADDRESS" 0 139 1139 10139-10999) &&
    TOLVIK_NAMEPORT=$(python3 "$HERE/../free_port.py" udp 0.0.0.0 0 137 1137 11137-11999) ||
    { echo "FAIL: no free port for the service"; exit 1; }

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
listens_since() { [ "$(log_count "listening on $TOLVIK_ADDRESS:$TOLVIK_PORT")" -gt "$1" ]; }
launcher_done() { ! kill -0 "$LAUNCHER_PID" 2>/dev/null; }
# Nothing of the prefix runs: no process has it in its environment (the wineserver included).
prefix_idle() { ! grep -lsqzx "WINEPREFIX=$PREFIX" /proc/[0-9]*/environ; }
# start_launcher LOG - starts the launcher and waits until its service listens.
start_launcher() {
    local listening
    listening=$(log_count "listening on $TOLVIK_ADDRESS:$TOLVIK_PORT")
    "$LAUNCHER" >"$1" 2>&1 &
    LAUNCHER_PID=$!
    # Tolvik starts after the set-up and after the service listens.
    check "the service listens on $TOLVIK_ADDRESS:$TOLVIK_PORT" wait_for 120 listens_since "$listening"
}
# launcher_ended - waits for the launcher's end; sets LAUNCHER_RC.
launcher_ended() {
    check "the launcher returns" wait_for 60 launcher_done
    wait "$LAUNCHER_PID"
    LAUNCHER_RC=$?
    LAUNCHER_PID=
    check "nothing of Tolvik's prefix is left running" prefix_idle
}

# run_launcher LOG [ACTION...] - one run of the launcher, ended the way a user ends Tolvik (its
# Exit command) after ACTION, if given, was checked. Sets LAUNCHER_RC.
run_launcher() {
    local log=$1 before
    shift
    before=$(stopped_count)
    start_launcher "$log"
    [ $# -eq 0 ] || check "$@"
    check "Tolvik's main window appears and takes Exit" \
        env WINEPREFIX="$PREFIX" "$WINE64" "$PROBE" exit-tolvik 60000
    launcher_ended
    check_eq "the service was stopped with Tolvik" "$(stopped_count)" "$((before + 1))"
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
ME=$(id -un | cut -c1-15)
# A script's tolvik send at the moment of the first start: whichever launcher sets the prefix up,
# the other waits for it.
"$LAUNCHER" send "$ME" -m 'during the set-up' >"$WORK/early-send.log" 2>&1 &
EARLY_PID=$!
run_launcher "$WORK/run1.log" "a message to $ME (oneself) arrives in Tolvik" \
    env WINEPREFIX="$PREFIX" "$WINE64" "$PROBE" send "$ME" 'Hello me' 60000
check_eq "the launcher's exit status is Tolvik's" "$LAUNCHER_RC" 0
wait "$EARLY_PID"
check "a tolvik send started with it answers for $ME" grep -q "^${ME^^} - " "$WORK/early-send.log"
check "it says it sets up" grep -q 'first run' "$WORK/run1.log" "$WORK/early-send.log"
check "the prefix exists" test -f "$PREFIX/system.reg"
check "the network provider is registered" grep -q '"ProviderOrder"="TolvikNP"' "$PREFIX/system.reg"
check "the network provider is in place" cmp -s "$APP/tolviknp.dll" "$BUILD/tolviknp.dll"
check "Tolvik's program file is in place" cmp -s "$APP/tolvik.exe" "$BUILD/tolvik.exe"
check "Tolvik saved its settings at exit" grep -q 'Software\\\\Morvane\\\\Tolvik\]' "$PREFIX/user.reg"
check "the service is in place" cmp -s "$APP/msgsvc.exe" "$BUILD/msgsvc/msgsvc.exe"
check "the sender DLL is in place" cmp -s "$APP/netapi32.dll" "$BUILD/msgsvc/netapi32.dll"
check "tolvik.exe takes the sender DLL" \
    grep -A3 -F 'AppDefaults\\tolvik.exe\\DllOverrides' "$PREFIX/user.reg" | grep -q '"netapi32"="native,builtin"'
check_eq "msgsvc.ini names the address and ports" "$(grep -E '^(address|port|nameport)=' "$APP/msgsvc.ini" | xargs)" \
    "address=$TOLVIK_ADDRESS port=$TOLVIK_PORT nameport=$TOLVIK_NAMEPORT"
check "lmhosts maps our user to it" grep -qx "$TOLVIK_ADDRESS $ME" "$APP/lmhosts"

# probe ARGS... - the release probe in Tolvik's prefix; its output without CRs, its exit status.
probe() {
    local out rc
    out=$(env WINEPREFIX="$PREFIX" "$WINE64" "$PROBE" "$@")
    rc=$?
    [ -z "$out" ] || printf '%s\n' "${out//$'\r'/}"
    return $rc
}
wine_desktop() { xwininfo -root -tree | grep -q '"Default - Wine desktop"'; }
no_wine_desktop() { ! wine_desktop; }

echo "== second run"
touch "$PREFIX/drive_c/marker"
echo '; edited by the user' >>"$APP/msgsvc.ini"
run_launcher "$WORK/run2.log" "without a tray on the display Tolvik runs in Wine's desktop window" \
    wait_for 60 wine_desktop
check_eq "the launcher's exit status is Tolvik's" "$LAUNCHER_RC" 0
check "no set-up this time" test -z "$(grep 'first run' "$WORK/run2.log")"
check "the prefix was kept" test -f "$PREFIX/drive_c/marker"
check "the user's edit of msgsvc.ini was kept" grep -q 'edited by the user' "$APP/msgsvc.ini"
check "Tolvik's settings are still there" grep -q 'Software\\\\Morvane\\\\Tolvik\]' "$PREFIX/user.reg"

echo "== tolvik send, while Tolvik runs"
start_launcher "$WORK/run-send.log"
# send NAME... - tolvik send with its arguments and standard input; sets OUT (its lines) and RC.
send() { OUT=$("$LAUNCHER" send "$@" 2>"$WORK/send.err"); RC=$?; }
send "$ME" -m 'Hello from a script'
check_eq "to oneself: the send log's line" "$OUT" "${ME^^} - Done"
check_eq "... exit status" "$RC" 0
check "... filed by the running Tolvik" probe filed 'Hello from a script' 30000
send nobody-here -m 'Hello?'
check_eq "to an unknown name: the line" "$OUT" "NOBODY-HERE - Failed: The user name could not be found."
check_eq "... exit status" "$RC" 1
send -m 'to no one'
check_eq "no name is a usage error: exit status" "$RC" 2
check "... which says so" grep -q 'no name to send to' "$WORK/send.err"
echo "$SMB_ADDRESS SMBPEER" >>"$APP/lmhosts"
if check "a private smbd listens on $SMB_ADDRESS:$TOLVIK_PORT" smbd_start "$WORK/smbd" "$SMB_ADDRESS" "$TOLVIK_PORT"
then
    send smbpeer <<<$'From standard input\nsecond line'
    check_eq "from standard input to smbd: the line" "$OUT" "SMBPEER - Done"
    check_eq "... exit status" "$RC" 0
    check "smbd's message command gets the text" file_becomes "$WORK/smbd/box/inbox" $'From standard input\nsecond line'
    smbd_stop
fi
check "Tolvik still runs and takes Exit" probe exit-tolvik 60000
launcher_ended

echo "== a TERM signal ends Tolvik and the service"
start_launcher "$WORK/run3.log"
kill -TERM "$LAUNCHER_PID"
launcher_ended
check_eq "the launcher's exit status" "$LAUNCHER_RC" 143
check "the service's port is free again" \
    bash -c "python3 '$HERE/../free_port.py' tcp $TOLVIK_ADDRESS 0 $TOLVIK_PORT >/dev/null"

echo "== a display with a system tray (openbox, trayer)"
ART=$BUILD/release-artifacts
mkdir -p "$ART"
openbox >"$WORK/openbox.log" 2>&1 &
DESKTOP_PIDS+=($!)
# A tray of fixed width: Wine 8 loses a tray window that grows to take an icon (see the launcher).
trayer --edge bottom --align right --widthtype pixel --width 64 --height 32 --transparent false \
    >"$WORK/trayer.log" 2>&1 &
DESKTOP_PIDS+=($!)
trayer_shown() { xwininfo -root -tree | grep -q '"panel": ("panel" "trayer")'; }
check "trayer shows its panel" wait_for 30 trayer_shown
# A window of Wine's explorer inside trayer's panel: the docked icon (sets ICON).
docked() {
    local panel
    panel=$(xwininfo -root -tree | awk '/"panel": \("panel" "trayer"\)/ { print $1; exit }')
    ICON=$([ -z "$panel" ] || xwininfo -id "$panel" -tree | awk '/\("explorer\.exe" "explorer\.exe"\)/ { print $1; exit }')
    [ -n "$ICON" ]
}
drawn() { [ "$(import -window "$ICON" png:- | identify -format %k -)" -gt 2 ]; }
# geometry WINDOW - "X=.. Y=.. W=.. H=.." of WINDOW on the screen.
geometry() {
    xwininfo -id "$1" | awk '/Absolute upper-left X/ { print "X=" $4 } /Absolute upper-left Y/ { print "Y=" $4 }
                             /Width:/ { print "W=" $2 } /Height:/ { print "H=" $2 }'
}
# The envelope in the tray is icon 134's own 16x16 frame, pixel for pixel (Wine centres it).
small_frame() {
    eval "$(geometry "$ICON")"
    import -window "$ICON" "$WORK/icon.png" &&
        convert "$WORK/icon.png" -crop "16x10+$(((W - 16) / 2))+$(((H - 16) / 2 + 3))" +repage "$WORK/shown.png" &&
        convert "$ROOT/res/images/icon134.ico[1]" -crop 16x10+0+3 +repage "$WORK/frame.png" &&
        [ "$(compare -metric AE "$WORK/shown.png" "$WORK/frame.png" null: 2>&1)" = 0 ]
}
main_shown() { xwininfo -root -tree | grep '"Tolvik": ("tolvik.exe" "tolvik.exe")' | grep -qv ' 1x1+'; }
start_launcher "$WORK/run-tray.log"
if check "Tolvik's icon docks in trayer" wait_for 60 docked; then
    check "... and shows the envelope" wait_for 10 drawn
    check "... drawn from its 16x16 frame" small_frame
    import -window root "$ART/tray-icon.png"
    eval "$(geometry "$ICON")"
    xdotool mousemove $((X + W / 2)) $((Y + H / 2)) sleep 0.3 click --repeat 2 --delay 80 1
    check "a double-click on it shows the main window" wait_for 20 main_shown
    import -window root "$ART/tray-window.png"
fi
check "no Wine desktop window" no_wine_desktop
check "Tolvik takes Exit" probe exit-tolvik 60000
launcher_ended
finish
