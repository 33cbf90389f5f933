#!/bin/bash
# run-interop.sh BUILD_DIR - messenger interop on loopback with real peers. Two "computers" (Wine prefixes
# ALICE on 127.0.0.2 and BOB on 127.0.0.3, each with tolvik.exe, msgsvc.exe and our netapi32.dll) message
# each other; Samba's smbclient sends to BOB and a private smbd on 127.0.0.4 receives from ALICE; a hostile
# client attacks BOB's service; source filtering and the rate limit are checked. Broadcast and DNS
# resolution are off: no packet leaves 127.0.0.0/8. Prints "N passed, N failed"; exit status 1 on a failure.
# INTEROP_KEEP=1 keeps the prefixes and logs for a look afterwards.
# Ports 139/137 when they are free and may be bound (root, or CAP_NET_BIND_SERVICE), else 1139/1137 or others
# that are free (smbclient sends no session requests then).
set -u
BUILD=$(cd "$1" && pwd)
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
. "$ROOT/wine/wine-env.sh"
. "$HERE/../samba.sh"

WORK=$(mktemp -d /tmp/tolvik-interop.XXXXXX)
PREFIXES=()
NMBD_PID=
PASSED=0
FAILED=0
# Wine binds a UDP socket for a local address to 0.0.0.0 (to let broadcasts in), so two services on one
# machine cannot share the name port: BOB answers name queries on NAMEPORT + 1000, IVAN on + 2000.
# Every port is checked free before use (on the addresses below; name ports on 0.0.0.0), so that the test
# runs beside a user's own Tolvik and service (./tolvik listens on 127.0.0.1:1139 and 1137, as root on 139
# and 137).
PORT=$(python3 "$HERE/../free_port.py" tcp 127.0.0.2,127.0.0.3,127.0.0.4,127.0.0.5 0 139 1139 10139-10999) &&
    NAMEPORT=$(python3 "$HERE/../free_port.py" udp 0.0.0.0 0,1000,2000 137 1137 11137-11999) ||
    { echo "not ok - no free session or name port on 127.0.0.2 to 127.0.0.5"; exit 1; }
BOB_NAMEPORT=$((NAMEPORT + 1000))

# The private nmbd of the WINS cases: its own process group, so that its helper process ends with it.
nmbd_stop() {
    [ -n "$NMBD_PID" ] || return 0
    kill -- -"$NMBD_PID" 2>/dev/null || kill "$NMBD_PID" 2>/dev/null
    wait "$NMBD_PID" 2>/dev/null
    NMBD_PID=
}

cleanup() {
    local p
    for p in "${PREFIXES[@]}"; do WINEPREFIX=$p "$WINESERVER64" -k >/dev/null 2>&1 || true; done
    smbd_stop
    nmbd_stop
    if [ -n "${PEER_PID:-}" ]; then kill "$PEER_PID" 2>/dev/null; wait "$PEER_PID" 2>/dev/null; fi
    WINEPREFIX= tolvik_wine_stop
    if [ -n "${INTEROP_KEEP:-}" ]; then echo "kept $WORK"; else rm -rf "$WORK"; fi
}
trap cleanup EXIT

ok() { PASSED=$((PASSED + 1)); echo "ok - $*"; }
not_ok() { FAILED=$((FAILED + 1)); echo "not ok - $*"; }
check() { local what=$1; shift; if "$@"; then ok "$what"; else not_ok "$what"; fi; }
winpath() { echo "Z:${1//\//\\}"; }
prefix_of() { echo "$WORK/$1"; }

# make_computer NAME IP COMPUTERNAME: a prefix with Tolvik, the service and its configuration.
make_computer() {
    local name=$1 ip=$2 computer=$3 p
    p=$(prefix_of "$name")
    PREFIXES+=("$p")
    tolvik_prefix_create "$p" "$BUILD/tolviknp.dll"
    cp "$BUILD/tolvik.exe" "$BUILD/msgsvc/msgsvc.exe" "$BUILD/msgsvc/netapi32.dll" "$BUILD/msgsvc/msgsvc_peer.exe" \
        "$BUILD/msgsvc/msgsvc_bench.exe" "$p/drive_c/tolvik/"
    # Our netapi32.dll, not Wine's stub, for the programs that send.
    local exe
    for exe in tolvik.exe msgsvc_bench.exe; do
        "$WINE64" reg add "HKCU\\Software\\Wine\\AppDefaults\\$exe\\DllOverrides" /v netapi32 /d native,builtin /f \
            >/dev/null
    done
    write_ini "$name" "$ip" "$computer" ""
    "$WINESERVER64" -w
    # The cases start one program after another in this prefix; a server that ends between
    # them can race the next start, so it stays up until the clean-up ends it.
    WINEPREFIX=$p "$WINESERVER64" -p
}

# write_ini NAME IP COMPUTERNAME EXTRA_SERVICE_LINES
write_ini() {
    local name=$1 ip=$2 computer=$3 extra=$4 p
    p=$(prefix_of "$name")
    cat >"$p/drive_c/tolvik/msgsvc.ini" <<EOF
[service]
address=$ip
port=$PORT
nameport=${NAMEPORT_OF:-$NAMEPORT}
user=$name
computer=$computer
idle=3
$extra
[resolve]
lmhosts=lmhosts
nameservers=$NAMESERVERS
broadcast=no
dns=no
timeout=2000
EOF
}

# service_start NAME: starts msgsvc.exe in the prefix and waits until it listens.
service_start() {
    local p log
    p=$(prefix_of "$1")
    log=$p/drive_c/tolvik/msgsvc.log
    # Start lines, counted over the log and its predecessor (the service may rename a full log as it starts).
    starts() { cat "$log.1" "$log" 2>/dev/null | grep 'listening on\|cannot start'; }
    local before
    before=$(starts | wc -l)
    WINEPREFIX=$p "$WINE64" 'C:\tolvik\msgsvc.exe' --quiet >/dev/null 2>&1 &
    local i
    for i in $(seq 1 300); do
        if [ "$(starts | wc -l)" -gt "$before" ]; then
            starts | tail -n 1 | grep -q 'listening on' && return 0
            cat "$log" >&2
            return 1
        fi
        sleep 0.1
    done
    echo "msgsvc.exe of $1 did not start" >&2
    return 1
}

service_stop() {
    local p
    p=$(prefix_of "$1")
    WINEPREFIX=$p "$WINE64" 'C:\tolvik\msgsvc.exe' --stop >/dev/null 2>&1
    local i
    for i in $(seq 1 100); do
        tail -n 1 "$p/drive_c/tolvik/msgsvc.log" 2>/dev/null | grep -q 'stopped' && return 0
        sleep 0.1
    done
    return 1
}

# peer_case NAME CASE [VAR=VALUE...]: runs one case of the interop driver in NAME's prefix.
peer_case() {
    local name=$1 case=$2 p out file
    shift 2
    p=$(prefix_of "$name")
    # Output goes through a file: a program the driver started and could not end would keep
    # a pipe open, and a command substitution would wait for it for ever.
    file=$WORK/peer-out-$RANDOM.txt
    timeout 120 env "$@" WINEPREFIX="$p" "$WINE64" 'C:\tolvik\msgsvc_peer.exe' --exe 'C:\tolvik\tolvik.exe' \
        --suite peer --case "$case" >"$file" 2>&1 </dev/null
    out=$(cat "$file")
    if echo "$out" | grep -q '^1 passed, 0 failed'; then return 0; fi
    echo "$out" | grep -v '^\[ RUN' >&2
    return 1
}

# expect_messages NAME [FROM<TAB>TO<TAB>TEXT ...]: NAME's Tolvik files exactly these messages.
expect_messages() {
    local name=$1 file
    shift
    file=$WORK/expect-$name-$RANDOM.txt
    : >"$file"
    local line
    for line in "$@"; do printf '%s\n' "$line" >>"$file"; done
    peer_case "$name" receive PEER_EXPECT_FILE="$(winpath "$file")" PEER_WAIT=30
}

send_from() { peer_case "$1" send PEER_TO="$2" PEER_TEXT="$3" PEER_EXPECT="$4"; }
logged() { grep -q "$2" "$(prefix_of "$1")/drive_c/tolvik/msgsvc.log"; }

tolvik_display_start || exit 1
TAB=$'\t'
NOTFOUND="Failed: The user name could not be found."

# ---- Two computers -----------------------------------------------------------------------------------------
# A sender believes only answers from the address and port it asked. Wine's UDP socket for BOB's name service is
# bound to 0.0.0.0, so its answers come from 127.0.0.1: ALICE asks BOB there.
NAMESERVERS=127.0.0.1:$BOB_NAMEPORT make_computer ALICE 127.0.0.2 ALICEPC
NAMESERVERS=127.0.0.2:$NAMEPORT NAMEPORT_OF=$BOB_NAMEPORT make_computer BOB 127.0.0.3 BOBPC
printf '127.0.0.3 BOB\n127.0.0.4 SMBPEER\n127.0.0.3 GHOST #PRE\n127.0.0.5 IVAN\n' >"$(prefix_of ALICE)/drive_c/tolvik/lmhosts"
printf '127.0.0.2 ALICE\r\n' >"$(prefix_of BOB)/drive_c/tolvik/lmhosts"
check "ALICE's service listens on 127.0.0.2:$PORT" service_start ALICE
check "BOB's service listens on 127.0.0.3:$PORT" service_start BOB

check "ALICE sends to BOB (LMHOSTS entry)" send_from ALICE BOB 'Hello Bob\nsecond line' Done
check "ALICE sends to BOBPC (name query to BOB's name service)" send_from ALICE BOBPC 'To the computer' Done
check "BOB's Tolvik files both messages from ALICE" \
    expect_messages BOB "ALICE${TAB}BOB${TAB}Hello Bob\nsecond line" "ALICE${TAB}BOBPC${TAB}To the computer"
check "BOB replies to ALICE" send_from BOB ALICE 'Hi Alice' Done
check "ALICE's Tolvik files the reply from BOB" expect_messages ALICE "BOB${TAB}ALICE${TAB}Hi Alice"
check "a name no one owns is not found" send_from ALICE NOBODY 'anyone?' "$NOTFOUND"
check "a computer without that messenger name answers 'not present'" send_from ALICE GHOST 'boo' "$NOTFOUND"
check "BOB's service logged the refused session for GHOST" logged BOB 'called name GHOST<03> not present'
check "nothing arrived for the names no one owns" expect_messages BOB

# ---- Samba as a peer ---------------------------------------------------------------------------------------
# smbclient_send NAME IP TEXT: smbclient -M as user carol from computer SAMBAPC (text in SMB_DOS_CHARSET when
# set, else CP850); its SMB-level failures go to stderr with exit code 0, so any output but the prompt is a failure.
smbclient_send() {
    local out rc
    out=$(printf '%s' "$3" | timeout 30 smbclient -s /dev/null ${SMB_DOS_CHARSET:+--option="dos charset=$SMB_DOS_CHARSET"} \
        -M "$1" -I "$2" -p "$PORT" -U carol -N -n SAMBAPC 2>&1)
    rc=$?
    out=$(echo "$out" | grep -v '^Type your message')
    [ $rc -eq 0 ] && [ -z "$out" ] && return 0
    echo "smbclient: rc $rc: $out" >&2
    return 1
}

LONG="Samba sends this in blocks of at most 127 bytes. $(printf 'x%.0s' $(seq 1 150))
second line: the line break arrives as CR LF.
$(printf 'y%.0s' $(seq 1 120)) the end"
LONG_ESCAPED=${LONG//$'\n'/\\n}
if command -v smbd >/dev/null && command -v smbclient >/dev/null; then
    check "smbclient -M sends a short message to BOB" smbclient_send BOB 127.0.0.3 'Short one'
    check "smbclient -M sends a ${#LONG}-byte message to BOB" smbclient_send BOB 127.0.0.3 "$LONG"
    check "BOB's Tolvik files both from carol" \
        expect_messages BOB "carol${TAB}BOB${TAB}Short one" "carol${TAB}BOB${TAB}$LONG_ESCAPED"
    SMBDIR=$WORK/smbd
    if check "a private smbd listens on 127.0.0.4:$PORT" smbd_start "$SMBDIR" 127.0.0.4 "$PORT"; then
        check "ALICE sends to SMBPEER" send_from ALICE SMBPEER 'Hello Samba\nfrom Tolvik' Done
        # smbd drops the CRs of the CR LF line breaks before it hands the text over.
        check "smbd's message command gets the text" file_becomes "$SMBDIR/box/inbox" $'Hello Samba\nfrom Tolvik'
        check "... from ALICE" file_becomes "$SMBDIR/box/meta" ALICE
        smbd_stop
    fi
else
    not_ok "Samba peers: smbd and smbclient are not installed (scripts/deps.sh installs them)"
fi

# ---- A Russian system ---------------------------------------------------------------------------------------
# IVAN's programs run under the Windows-1251 code page: Russian popup title and header, which Tolvik parses.
ru() { LC_ALL=ru_RU.CP1251 PEER_RUSSIAN=1 "$@"; }
if locale -a 2>/dev/null | grep -qix 'ru_RU.cp1251'; then
    NAMESERVERS= NAMEPORT_OF=$((NAMEPORT + 2000)) ru make_computer IVAN 127.0.0.5 IVANPC
    check "IVAN's service listens on 127.0.0.5:$PORT" ru service_start IVAN
    check "ALICE sends to IVAN" send_from ALICE IVAN 'Hello Ivan' Done
    if command -v smbclient >/dev/null; then
        check "smbclient -M sends to IVAN" smbclient_send IVAN 127.0.0.5 'Privet'
        # Cyrillic goes out in the OEM code page (866) and comes back in the ANSI one (1251).
        RU_TEXT=$(printf '\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82, \xd0\x98\xd0\xb2\xd0\xb0\xd0\xbd')
        cp866_send() { SMB_DOS_CHARSET=CP866 smbclient_send "$@"; }
        check "smbclient -M sends Cyrillic to IVAN in code page 866" cp866_send IVAN 127.0.0.5 "$RU_TEXT"
        check "IVAN's Tolvik files all three under the Russian header" \
            ru expect_messages IVAN "ALICE${TAB}IVAN${TAB}Hello Ivan" "carol${TAB}IVAN${TAB}Privet" \
            "carol${TAB}IVAN${TAB}$(printf '%s' "$RU_TEXT" | iconv -f UTF-8 -t CP1251)"
    fi
else
    not_ok "Russian system: the ru_RU.CP1251 locale is missing (scripts/deps.sh generates it)"
fi

# ---- Hostile peers -----------------------------------------------------------------------------------------
hostile_out=$(python3 "$HERE/msgpeer.py" hostile 127.0.0.3 "$PORT" BOB --log "$(prefix_of BOB)/drive_c/tolvik/msgsvc.log" 2>&1)
while IFS= read -r line; do
    case $line in
        "ok - "*) ok "hostile: ${line#ok - }" ;;
        "not ok - "*) not_ok "hostile: ${line#not ok - }" ;;
        *) [ -n "$line" ] && not_ok "hostile: $line" ;;
    esac
done <<<"$hostile_out"
check "BOB's Tolvik files only the one proper message" expect_messages BOB "hostile${TAB}BOB${TAB}still up"

# ---- Hostile servers --------------------------------------------------------------------------------------
# ALICE's sender against a forged name answer, a peer that only sends keepalives and one that dribbles its
# replies (ALICE's time-out is 2 s a wait, 5 s a send).
FORGER_IP=127.0.0.6 NAMESERVER_IP=127.0.0.7 STALL_IP=127.0.0.8 FORGED_PORT=$((NAMEPORT + 3000))
NETFAIL="Failed: A general failure occurred in the network hardware."
printf '%s KEEPER\n%s DRIBBLER\n' "$STALL_IP" "$STALL_IP" >>"$(prefix_of ALICE)/drive_c/tolvik/lmhosts"

# server_case SERVER_ARGS... -- SEND_FROM_ARGS...: with `msgpeer.py SERVER_ARGS` listening, ALICE's send ends as
# send_from expects and the server exits 0.
server_case() {
    local out=$WORK/server-$RANDOM.txt args=() i sent rc
    while [ $# -gt 0 ] && [ "$1" != -- ]; do args+=("$1"); shift; done
    shift
    python3 "$HERE/msgpeer.py" "${args[@]}" >"$out" 2>&1 &
    PEER_PID=$!
    for i in $(seq 1 100); do
        grep -q '^listening' "$out" && break
        kill -0 "$PEER_PID" 2>/dev/null || break
        sleep 0.1
    done
    send_from ALICE "$@"
    sent=$?
    wait "$PEER_PID"
    rc=$?
    PEER_PID=
    [ $rc -eq 0 ] || cat "$out" >&2
    [ $sent -eq 0 ] && [ $rc -eq 0 ]
}

ALICE_INI=$(prefix_of ALICE)/drive_c/tolvik/msgsvc.ini
cp "$ALICE_INI" "$WORK/alice.ini"
sed -i "s/^nameservers=.*/nameservers=$NAMESERVER_IP:$FORGED_PORT/" "$ALICE_INI"
check "a name answer forged from another address is not believed" \
    server_case nameserver "$NAMESERVER_IP" "$FORGED_PORT" 127.0.0.3 "$FORGER_IP" -- BOBPC 'past the forger' Done
cp "$WORK/alice.ini" "$ALICE_INI"
check "BOB's Tolvik files the message" expect_messages BOB "ALICE${TAB}BOBPC${TAB}past the forger"
check "a peer that only sends keepalives does not hold a send" \
    server_case stall "$STALL_IP" "$PORT" keepalive -- KEEPER 'never delivered' "$NETFAIL"
check "a peer that dribbles its replies does not hold a send past its deadline" \
    server_case stall "$STALL_IP" "$PORT" dribble -- DRIBBLER "$(printf 'x%.0s' $(seq 1 700))" "$NETFAIL"

# ---- Source filtering and rate limit -----------------------------------------------------------------------
check "BOB's service stops on request" service_stop BOB
NAMESERVERS=127.0.0.2:$NAMEPORT NAMEPORT_OF=$BOB_NAMEPORT write_ini BOB 127.0.0.3 BOBPC $'allow=127.0.0.2\nrate=2'
check "BOB's service restarts allowing 127.0.0.2 only, 2 messages a minute" service_start BOB
check "a session from 127.0.0.3 is refused" python3 "$HERE/msgpeer.py" refused 127.0.0.3 "$PORT" --bind 127.0.0.3
check "... and logged" logged BOB 'refused 127.0.0.3:[0-9]*: source not allowed'
check "ALICE (127.0.0.2) sends a first message" send_from ALICE BOB 'rate one' Done
check "ALICE sends a second message" send_from ALICE BOB 'rate two' Done
check "a third message within the minute is refused" \
    send_from ALICE BOB 'rate three' 'Failed: A general failure occurred in the network hardware.'
check "... and logged" logged BOB 'refused 127.0.0.2:[0-9]*: over its message rate'
check "BOB's Tolvik files the two messages within the rate only" \
    expect_messages BOB "ALICE${TAB}BOB${TAB}rate one" "ALICE${TAB}BOB${TAB}rate two"

# ---- Configuration and popup room --------------------------------------------------------------------------
# peer_says RESULT ARGS...: msgpeer sends one message to BOB from 127.0.0.1 and reports RESULT.
peer_says() {
    local want=$1 out
    shift
    out=$(python3 "$HERE/msgpeer.py" send 127.0.0.3 "$PORT" BOB --from hostile "$@" 2>&1)
    [ "$out" = "$want" ] && return 0
    echo "msgpeer: $out" >&2
    return 1
}
# service_fails_start NAME PATTERN: the service does not start, and its log says why.
service_fails_start() {
    service_start "$1" 2>/dev/null && return 1
    logged "$1" "$2"
}
NOROOM="smb error 00530002"
# 2037 bytes of addresses and blanks, then a /32: read into 2048 bytes it would end in 96.0.0.1/3, which holds 127.x.
LONG_ALLOW="$(printf '127.0.0.2,%.0s' $(seq 1 203))       96.0.0.1/32"
service_stop BOB
NAMESERVERS=127.0.0.2:$NAMEPORT NAMEPORT_OF=$BOB_NAMEPORT write_ini BOB 127.0.0.3 BOBPC "allow=$LONG_ALLOW"
check "BOB's service restarts with a ${#LONG_ALLOW}-byte allow list" service_start BOB
check "the whole list is read: a session from 127.0.0.3 is refused" \
    python3 "$HERE/msgpeer.py" refused 127.0.0.3 "$PORT" --bind 127.0.0.3
check "... and one from 127.0.0.2 is taken" peer_says ok --bind 127.0.0.2 --text 'allowed'
service_stop BOB
NAMESERVERS=127.0.0.2:$NAMEPORT NAMEPORT_OF=$BOB_NAMEPORT write_ini BOB 127.0.0.3 BOBPC 'rate=ten'
check "a value that does not parse stops the service, and the log says which" \
    service_fails_start BOB 'line [0-9]*: rate=ten: not a number from 0 to 100000'
NAMESERVERS=127.0.0.2:$NAMEPORT NAMEPORT_OF=$BOB_NAMEPORT write_ini BOB 127.0.0.3 BOBPC $'popups=1\nlogsize=16'
BOBLOG=$(prefix_of BOB)/drive_c/tolvik/msgsvc.log
printf 'filler %.0s' $(seq 1 2500) >>"$BOBLOG"
check "BOB's service restarts with room for one popup" service_start BOB
rotated() { [ -f "$BOBLOG.1" ] && grep -q filler "$BOBLOG.1" && [ "$(stat -c %s "$BOBLOG")" -lt 16384 ]; }
check "its log, past logsize, was renamed to msgsvc.log.1 and started afresh" rotated
check "a text the popup cannot hold whole is refused" peer_says "$NOROOM" --text "$(printf 'x%.0s' $(seq 1 1000))"
check "a second service on the same port says plainly that the port is in use" \
    service_fails_start BOB 'cannot listen on TCP 127.0.0.3:[0-9]*: the port is in use by another program'
check "... and the first one goes on" peer_says ok --text 'the one popup'
check "while it is open, the next is refused" peer_says "$NOROOM" --text 'never shown: no room'
check "BOB's Tolvik files the one message" expect_messages BOB "hostile${TAB}BOB${TAB}the one popup"

# ---- WINS ------------------------------------------------------------------------------------------------
# A private nmbd is the WINS server on 127.0.0.10 (127.0.0.0/8 is lo's network, so no address is added). It
# binds 0.0.0.0:137 too: ALICE's service moves its name service to another port first. ALICE registers an
# alias that only the WINS server knows; BOB, who knows only that server, sends to it.
WINSDIR=$WORK/nmbd
nmbd_start() {
    local d=$WINSDIR i
    mkdir -p "$d"
    cat >"$d/smb.conf" <<NMBCONF
[global]
  netbios name = WINSHOST
  workgroup = TOLVIKWG
  wins support = yes
  interfaces = 127.0.0.10/8
  bind interfaces only = yes
$(samba_private "$d")
  log file = $d/log.nmbd
NMBCONF
    # Its own session and process group: the clean-up ends nmbd and its helper together.
    setsid nmbd -F --no-process-group --debug-stdout -d 2 -s "$d/smb.conf" </dev/null >"$d/out.log" 2>&1 &
    NMBD_PID=$!
    for i in $(seq 1 150); do
        wins_lookup WINSHOST 00 >/dev/null && return 0
        kill -0 "$NMBD_PID" 2>/dev/null || break
        sleep 0.1
    done
    tail -n 20 "$d/out.log" >&2
    return 1
}
# wins_lookup NAME SUFFIX: asks the WINS server; prints "IP NAME<SUFFIX>" lines, status 1 when not found.
wins_lookup() { nmblookup -s /dev/null -U 127.0.0.10 --recursion "$1#$2" 2>/dev/null | grep " $1<$2>"; }
wins_has() { local i; for i in $(seq 1 100); do wins_lookup "$1" "$2" | grep -q "^$3 " && return 0; sleep 0.1; done; return 1; }
wins_lacks() { ! wins_lookup "$1" "$2"; }
if [ "$(id -u)" -ne 0 ]; then
    echo "skip - WINS registration: nmbd and nmblookup need UDP port 137 (run as root)"
elif ! command -v nmbd >/dev/null || ! command -v nmblookup >/dev/null; then
    not_ok "WINS registration: nmbd and nmblookup are not installed (scripts/deps.sh installs them)"
elif ! python3 "$HERE/../free_port.py" udp 0.0.0.0 0 137 >/dev/null 2>&1; then
    # nmbd always binds 0.0.0.0:137, which any name service on this machine (a user's own
    # Tolvik started as root, Samba) keeps from it.
    echo "skip - WINS registration: UDP port 137 is in use on this machine, so nmbd cannot run here"
else
    check "ALICE's service stops on request" service_stop ALICE
    if check "a private nmbd serves WINS on 127.0.0.10" nmbd_start; then
        NAMESERVERS=127.0.0.10:137 NAMEPORT_OF=$((NAMEPORT + 3000)) write_ini ALICE 127.0.0.2 ALICEPC 'names=WINSMATE'
        check "ALICE's service restarts with the WINS server" service_start ALICE
        check "the WINS server hands out ALICE's alias WINSMATE<03>" wins_has WINSMATE 03 127.0.0.2
        NAMESERVERS=127.0.0.10:137 NAMEPORT_OF=$BOB_NAMEPORT write_ini BOB 127.0.0.3 BOBPC 'popups=1'
        check "BOB, knowing only the WINS server, sends to WINSMATE" send_from BOB WINSMATE 'found through WINS' Done
        check "ALICE's Tolvik files it" expect_messages ALICE "BOB${TAB}WINSMATE${TAB}found through WINS"
        check "ALICE's service stops" service_stop ALICE
        check "... and WINSMATE<03> is released" wins_lacks WINSMATE 03
        nmbd_stop
    fi
fi

echo "$PASSED passed, $FAILED failed"
[ "$FAILED" -eq 0 ]
