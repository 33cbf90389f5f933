#!/bin/bash
# bench-msgsvc.sh [BUILD_DIR [COUNT [THREADS]]] - send latency and receiver throughput of the message service
# on loopback: msgsvc.exe on 127.0.0.2 and msgsvc_bench.exe (NetMessageBufferSend through our netapi32.dll,
# without Tolvik's 200 ms stagger) in one throw-away Wine prefix. Prints figures; asserts nothing about time.
set -uo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build/win64}
COUNT=${2:-200}
THREADS=${3:-4}
if [ $# -eq 0 ]; then bash "$ROOT/scripts/build.sh" >/dev/null || exit 1; fi
BUILD=$(cd "$BUILD" && pwd)
. "$ROOT/wine/wine-env.sh"
WORK=$(mktemp -d /tmp/tolvik-bench-msgsvc.XXXXXX)
unset DISPLAY
cleanup() { tolvik_wine_stop; rm -rf "$WORK"; }
trap cleanup EXIT
if [ "$(id -u)" -eq 0 ]; then PORT=139; else PORT=1139; fi

tolvik_display_start || exit 1
tolvik_prefix_create "$WORK/prefix" ""
APP=$WINEPREFIX/drive_c/tolvik
mkdir -p "$APP"
cp "$BUILD/msgsvc/msgsvc.exe" "$BUILD/msgsvc/netapi32.dll" "$BUILD/msgsvc/msgsvc_bench.exe" "$APP/"
"$WINE64" reg add 'HKCU\Software\Wine\AppDefaults\msgsvc_bench.exe\DllOverrides' /v netapi32 /d native,builtin \
    /f >/dev/null
cat >"$APP/msgsvc.ini" <<EOF
[service]
address=127.0.0.2
port=$PORT
nameservice=no
user=BENCH
rate=100000
connections=64
persource=64
popups=1000
log=-
[resolve]
lmhosts=lmhosts
broadcast=no
dns=no
EOF
printf '127.0.0.2 BENCH\n' >"$APP/lmhosts"
"$WINE64" 'C:\tolvik\msgsvc.exe' --quiet >/dev/null 2>&1 &
# Without a log the service is ready when its port answers.
for i in $(seq 1 100); do
    (exec 3<>/dev/tcp/127.0.0.2/$PORT) 2>/dev/null && break
    sleep 0.1
done
"$WINE64" 'C:\tolvik\msgsvc_bench.exe' BENCH "$COUNT" "$THREADS"
