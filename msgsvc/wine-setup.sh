# wine-setup.sh - sourced by scripts/run.sh after wine/wine-env.sh: puts the message service beside Tolvik in
# the prefix ($WINEPREFIX) and starts it, so that a message sent to one's own name arrives in Tolvik.
#   msgsvc_install_and_start BUILD_DIR
# Writes C:\tolvik\msgsvc.ini and C:\tolvik\lmhosts only when they do not exist yet (edit them to reach other
# computers; see the README). The service listens on 127.0.0.1: port 139 as root, else 1139 (then the name
# service, which needs port 137, stays off); the names are the Wine user's and the computer's.

msgsvc_install_and_start() {
    local build=$1 app=$WINEPREFIX/drive_c/tolvik
    mkdir -p "$app"
    cp "$build/msgsvc/msgsvc.exe" "$build/msgsvc/netapi32.dll" "$app/"
    # tolvik.exe takes our netapi32.dll (beside it) instead of Wine's stub.
    "$WINE64" reg add 'HKCU\Software\Wine\AppDefaults\tolvik.exe\DllOverrides' /v netapi32 /d native,builtin \
        /f >/dev/null
    local port=139 nameport=137
    if [ "$(id -u)" -ne 0 ]; then port=1139 nameport=1137; fi
    if [ ! -f "$app/msgsvc.ini" ]; then
        cat >"$app/msgsvc.ini" <<EOF
; Message service configuration (read by msgsvc.exe and netapi32.dll); see the README.
[service]
address=127.0.0.1
port=$port
nameport=$nameport
[resolve]
lmhosts=lmhosts
broadcast=no
dns=no
EOF
    fi
    if [ ! -f "$app/lmhosts" ]; then
        local user host
        user=$(id -un)
        host=$(hostname -s 2>/dev/null || hostname)
        printf '127.0.0.1 %s\n127.0.0.1 %s\n' "${user:0:15}" "${host:0:15}" >"$app/lmhosts"
    fi
    "$WINE64" 'C:\tolvik\msgsvc.exe' --quiet >/dev/null 2>&1 &
    local i
    for i in $(seq 1 100); do
        grep -q 'listening on\|cannot start' "$app/msgsvc.log" 2>/dev/null && break
        sleep 0.1
    done
    if grep -q 'cannot start' "$app/msgsvc.log" 2>/dev/null; then
        echo "msgsvc: $(grep 'cannot start' "$app/msgsvc.log" | tail -n 1)" >&2
    else
        echo "Message service started; send a message to $(id -un) to see it arrive."
    fi
}
