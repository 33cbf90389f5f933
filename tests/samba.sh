# samba.sh - sourced by the interop and release tests: a private smbd named SMBPEER on a loopback
# address, whose message command files what arrives, and a bounded wait for a file's content.
SMBD_PID=

# samba_private DIR - the smb.conf lines that keep a private Samba daemon's files under DIR (its
# folders are made here), away from the system's own.
samba_private() {
    mkdir -p "$1"/{run,lock,state,cache,private,ncalrpc}
    printf '  %s = %s\n' "pid directory" "$1/run" "lock directory" "$1/lock" "state directory" "$1/state" \
        "cache directory" "$1/cache" "private dir" "$1/private" "ncalrpc dir" "$1/ncalrpc" "load printers" no
}

# smbd_start DIR ADDRESS PORT: the smbd on ADDRESS:PORT; its message command appends the text to
# DIR/box/inbox and the sender's name to DIR/box/meta. DIR's parent must be ours (it is opened to
# the guest account, which runs the message command).
smbd_start() {
    local d=$1 address=$2 port=$3
    [ -n "$d" ] || return 1
    mkdir -p "$d/box"
    # The message command runs as the guest account: it must reach and write the box.
    chmod 711 "$(dirname "$d")" "$d"
    chmod 1777 "$d/box"
    cat >"$d/smb.conf" <<SMBCONF
[global]
  netbios name = SMBPEER
  server role = standalone server
  interfaces = $address/8
  bind interfaces only = yes
  smb ports = $port
  server min protocol = NT1
  message command = /bin/sh -c 'cat %s >> $d/box/inbox; echo "%f" >> $d/box/meta; rm %s' &
$(samba_private "$d")
  log file = $d/log.smbd
  printcap name = /dev/null
  disable spoolss = yes
SMBCONF
    # Its own session: smbd ends its whole process group when it stops.
    setsid smbd -F --no-process-group --debug-stdout -d 3 -s "$d/smb.conf" </dev/null >"$d/out.log" 2>&1 &
    SMBD_PID=$!
    local i
    for i in $(seq 1 150); do
        grep -q 'waiting for connections' "$d/out.log" && return 0
        kill -0 "$SMBD_PID" 2>/dev/null || break
        sleep 0.1
    done
    tail -n 20 "$d/out.log" >&2
    return 1
}

smbd_stop() {
    [ -n "$SMBD_PID" ] || return 0
    kill "$SMBD_PID" 2>/dev/null
    wait "$SMBD_PID" 2>/dev/null
    SMBD_PID=
}

# file_becomes FILE CONTENT: waits (bounded) until FILE holds exactly CONTENT.
file_becomes() {
    local i
    for i in $(seq 1 150); do
        [ -f "$1" ] && [ "$(cat "$1")" = "$2" ] && return 0
        sleep 0.1
    done
    echo "$1 holds: $(od -c "$1" 2>/dev/null | head -5)" >&2
    return 1
}
