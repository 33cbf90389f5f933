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

# The private nmbd of the WINS cases: its own process group, so that its helper process ends with it. Now and
# then nmbd sits in a read and takes no notice of TERM: KILL after 5 s.
nmbd_stop() {
    [ -n "$NMBD_PID" ] || return 0
    kill -- -"$NMBD_PID" 2>/dev/null || kill "$NMBD_PID" 2>/dev/null
    local i
    for i in $(seq 1 50); do kill -0 "$NMBD_PID" 2>/dev/null || break; sleep 0.1; done
    kill -KILL -- -"$NMBD_PID" 2>/dev/null
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
check() { local what=$1; shift; if "$@"; then ok "$what"; else not_ok "$what"; return 1; fi; }
winpath() { echo "Z:${1//\//\\}"; }
prefix_of() { echo "$WORK/$1"; }

# make_computer NAME IP COMPUTERNAME [EXTRA_SERVICE_LINES]: a prefix with Tolvik, the service and its configuration.
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
    write_ini "$name" "$ip" "$computer" "${4:-}"
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
    starts() { cat "$log.1" "$log" 2>/dev/null | grep -a 'listening on\|cannot start'; }
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
    echo "$out" | grep -av '^\[ RUN' >&2
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
not_logged() { ! logged "$@"; }
# peer_says RESULT ARGS...: msgpeer sends one message to BOB (from 127.0.0.1 unless --bind) and reports RESULT.
peer_says() {
    local want=$1 out
    shift
    out=$(python3 "$HERE/msgpeer.py" send 127.0.0.3 "$PORT" BOB --from hostile "$@" 2>&1)
    [ "$out" = "$want" ] && return 0
    echo "msgpeer: $out" >&2
    return 1
}

tolvik_display_start || exit 1
TAB=$'\t'
NOTFOUND="Failed: The user name could not be found."

# ---- Two computers -----------------------------------------------------------------------------------------
# A sender believes only answers from the address and port it asked. Wine's UDP socket for BOB's name service is
# bound to 0.0.0.0, so its answers come from 127.0.0.1: ALICE asks BOB there.
NAMESERVERS=127.0.0.1:$BOB_NAMEPORT make_computer ALICE 127.0.0.2 ALICEPC
NAMESERVERS=127.0.0.2:$NAMEPORT NAMEPORT_OF=$BOB_NAMEPORT make_computer BOB 127.0.0.3 BOBPC $'names=J\xf6rg'
printf '127.0.0.3 BOB\n127.0.0.4 SMBPEER\n127.0.0.3 GHOST #PRE\n127.0.0.5 IVAN\n' >"$(prefix_of ALICE)/drive_c/tolvik/lmhosts"
printf '127.0.0.2 ALICE\r\n' >"$(prefix_of BOB)/drive_c/tolvik/lmhosts"
check "ALICE's service listens on 127.0.0.2:$PORT" service_start ALICE
check "BOB's service listens on 127.0.0.3:$PORT" service_start BOB

check "ALICE sends to BOB (LMHOSTS entry)" send_from ALICE BOB 'Hello Bob\nsecond line' Done
check "ALICE sends to BOBPC (name query to BOB's name service)" send_from ALICE BOBPC 'To the computer' Done
# BOB's alias Jörg: its service upper-cases it as Windows does, as ALICE's sender does (JÖRG in code page 437).
check "ALICE sends to Jörg, BOB's alias with an umlaut (name query to BOB's name service)" \
    send_from ALICE 'JÖRG' 'Hallo Jörg' Done
check "BOB's Tolvik files the three messages from ALICE" \
    expect_messages BOB "ALICE${TAB}BOB${TAB}Hello Bob\nsecond line" "ALICE${TAB}BOBPC${TAB}To the computer" \
    "ALICE${TAB}"$'J\xd6RG'"${TAB}Hallo J"$'\xf6'"rg"
check "BOB replies to ALICE" send_from BOB ALICE 'Hi Alice' Done
check "ALICE's Tolvik files the reply from BOB" expect_messages ALICE "BOB${TAB}ALICE${TAB}Hi Alice"
check "a name no one owns is not found" send_from ALICE NOBODY 'anyone?' "$NOTFOUND"
check "a computer without that messenger name answers 'not present'" send_from ALICE GHOST 'boo' "$NOTFOUND"
check "BOB's service logged the refused session for GHOST" logged BOB 'called name GHOST<03> not present'
check "nothing arrived for the names no one owns" expect_messages BOB

# ---- Samba as a peer ---------------------------------------------------------------------------------------
# smbclient_send NAME IP TEXT [USER]: smbclient -M as USER (default carol) from computer SAMBAPC (text in
# SMB_DOS_CHARSET when set, else CP850); its SMB-level failures go to stderr with exit code 0, so any output but
# the prompt is a failure.
smbclient_send() {
    local out rc
    out=$(printf '%s' "$3" | timeout 30 smbclient -s /dev/null ${SMB_DOS_CHARSET:+--option="dos charset=$SMB_DOS_CHARSET"} \
        -M "$1" -I "$2" -p "$PORT" -U "${4:-carol}" -N -n SAMBAPC 2>&1)
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
    # Linux logins are lowercase, and many hold the header's words.
    for user in tony anton simon victor; do
        check "smbclient -M sends to BOB as $user" smbclient_send BOB 127.0.0.3 "from $user" "$user"
    done
    check "a sender named 'X to BOSS on 1' sends to BOB" peer_says ok --from 'X to BOSS on 1' --text 'imitates a header'
    check "BOB's Tolvik files them all, each with its sender's name whole, To BOB and the time" \
        expect_messages BOB "CAROL${TAB}BOB${TAB}Short one" "CAROL${TAB}BOB${TAB}$LONG_ESCAPED" \
        "TONY${TAB}BOB${TAB}from tony" "ANTON${TAB}BOB${TAB}from anton" "SIMON${TAB}BOB${TAB}from simon" \
        "VICTOR${TAB}BOB${TAB}from victor" "X TO BOSS ON 1${TAB}BOB${TAB}imitates a header"
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
cp1251() { printf '%s' "$1" | iconv -f UTF-8 -t CP1251; }
if locale -a 2>/dev/null | grep -qix 'ru_RU.cp1251'; then
    # IVAN also answers to Дмитрий (Windows-1251 in its msgsvc.ini), and finds its names through its own name
    # service.
    NAMESERVERS=127.0.0.1:$((NAMEPORT + 2000)) NAMEPORT_OF=$((NAMEPORT + 2000)) \
        ru make_computer IVAN 127.0.0.5 IVANPC "names=$(cp1251 Дмитрий)"
    check "IVAN's service listens on 127.0.0.5:$PORT" ru service_start IVAN
    check "ALICE sends to IVAN" send_from ALICE IVAN 'Hello Ivan' Done
    RU_FILED=("ALICE${TAB}IVAN${TAB}Hello Ivan")
    if command -v smbclient >/dev/null; then
        check "smbclient -M sends to IVAN" smbclient_send IVAN 127.0.0.5 'Privet'
        # Cyrillic goes out in the OEM code page (866) and comes back in the ANSI one (1251).
        cp866_send() { SMB_DOS_CHARSET=CP866 smbclient_send "$@"; }
        check "smbclient -M sends Cyrillic to IVAN in code page 866" cp866_send IVAN 127.0.0.5 'Привет, Иван'
        check "... also from светлана, whose name holds the Russian header's word 'на'" \
            cp866_send IVAN 127.0.0.5 Privet светлана
        check "... and to ДМИТРИЙ, IVAN's alias Дмитрий in capitals" cp866_send ДМИТРИЙ 127.0.0.5 'to Dmitry'
        RU_FILED+=("CAROL${TAB}IVAN${TAB}Privet" "CAROL${TAB}IVAN${TAB}$(cp1251 'Привет, Иван')"
            "$(cp1251 СВЕТЛАНА)${TAB}IVAN${TAB}Privet" "CAROL${TAB}$(cp1251 ДМИТРИЙ)${TAB}to Dmitry")
    fi
    check "IVAN's Tolvik files them all under the Russian header, each sender's name whole" \
        ru expect_messages IVAN "${RU_FILED[@]}"
    # The last case in IVAN's prefix: the Tolvik that sends files the message it sends to itself.
    check "IVAN sends to Дмитрий, one of its own names (name query to its name service)" \
        ru send_from IVAN "$(cp1251 ДМИТРИЙ)" "$(cp1251 'Привет, Дмитрий')" Done
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
check "BOB's Tolvik files only the proper messages" expect_messages BOB "HOSTILE${TAB}BOB${TAB}still up" \
    "NINTH${TAB}BOB${TAB}through the crowd 1" "NINTH${TAB}BOB${TAB}through the crowd 2" \
    "NINTH${TAB}BOB${TAB}through the crowd 3"

# ---- Other programs on BOB's desktop ----------------------------------------------------------------------
check "a word of 900 letters reaches BOB" peer_says ok --bind 127.0.0.12 --text "$(printf 'w%.0s' $(seq 1 900))"
check "... its popup lies within the work area, OK button included" peer_case BOB popup PEER_WAIT=20
printf '127.0.0.3 BOB\r\n' >>"$(prefix_of BOB)/drive_c/tolvik/lmhosts" # BOB writes to itself
check "with a Tolvik that does not monitor, a popup it was told of is shown all the same" \
    peer_case BOB popup PEER_WAIT=20 PEER_TO=BOB PEER_UNTAKEN='shown all the same'
check "a program posts junk to the message service's window" peer_case BOB poke
check "... and the service goes on" peer_says ok --bind 127.0.0.12 --text 'after the junk'

# ---- Hostile servers --------------------------------------------------------------------------------------
# ALICE's sender against a forged name answer, a peer that only sends keepalives, one that dribbles its
# replies (ALICE's time-out is 2 s a wait, 5 s a send) and an address where nothing listens.
FORGER_IP=127.0.0.6 NAMESERVER_IP=127.0.0.7 STALL_IP=127.0.0.8 FORGED_PORT=$((NAMEPORT + 3000))
NETFAIL="Failed: A general failure occurred in the network hardware."
printf '%s KEEPER\n%s DRIBBLER\n127.0.0.11 NOLISTEN\n' "$STALL_IP" "$STALL_IP" >>"$(prefix_of ALICE)/drive_c/tolvik/lmhosts"

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
check "BOB's Tolvik files the messages" \
    expect_messages BOB "ALICE${TAB}BOBPC${TAB}past the forger" "HOSTILE${TAB}BOB${TAB}after the junk"
check "a peer that only sends keepalives does not hold a send" \
    server_case stall "$STALL_IP" "$PORT" keepalive -- KEEPER 'never delivered' "$NETFAIL"
check "a peer that dribbles its replies does not hold a send past its deadline" \
    server_case stall "$STALL_IP" "$PORT" dribble -- DRIBBLER "$(printf 'x%.0s' $(seq 1 700))" "$NETFAIL"
check "a send to an address where nothing listens fails" send_from ALICE NOLISTEN 'nobody there' "$NETFAIL"
check "... and ALICE's log says that the connection was refused" logged ALICE 'to NOLISTEN .*connection refused'

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
NAMESERVERS=127.0.0.2:$NAMEPORT NAMEPORT_OF=$BOB_NAMEPORT write_ini BOB 127.0.0.3 BOBPC $'popups=4\nrate=6\nlogsize=16'
BOBLOG=$(prefix_of BOB)/drive_c/tolvik/msgsvc.log
printf 'filler %.0s' $(seq 1 2500) >>"$BOBLOG"
check "BOB's service restarts with room for four popups, one of them for each address" service_start BOB
rotated() { [ -f "$BOBLOG.1" ] && grep -q filler "$BOBLOG.1" && [ "$(stat -c %s "$BOBLOG")" -lt 16384 ]; }
check "its log, past logsize, was renamed to msgsvc.log.1 and started afresh" rotated
check "a text the popup cannot hold whole is refused" peer_says "$NOROOM" --text "$(printf 'x%.0s' $(seq 1 1000))"
check "a second service on the same port says plainly that the port is in use" \
    service_fails_start BOB 'cannot listen on TCP 127.0.0.3:[0-9]*: the port is in use by another program'
check "... and the first one goes on" peer_says ok --text 'the one popup'
check "while it is open, the next from the same address is refused" peer_says "$NOROOM" --text 'never shown: share'
check "... and logged" logged BOB 'its share of the popups is open (1 of the 4)'
# Four more tries from the same address: a room without shares would fill up with them.
for i in 1 2 3 4; do peer_says "$NOROOM" --text "never shown: try $i" 2>/dev/null; done
check "another address still finds room" peer_says ok --bind 127.0.0.12 --text 'from another address'
check "BOB's Tolvik files the two" \
    expect_messages BOB "HOSTILE${TAB}BOB${TAB}the one popup" "HOSTILE${TAB}BOB${TAB}from another address"
check "the refused messages did not count against the rate of 6: the first address has room for more" \
    peer_says ok --text 'within the rate'
check "BOB's Tolvik files it" expect_messages BOB "HOSTILE${TAB}BOB${TAB}within the rate"

# ---- WINS ------------------------------------------------------------------------------------------------
# Our names are registered only where this computer can defend them, that is where its name service answers on
# UDP 137: there a WINS server checks that a name is still held. So ALICE's name service takes port 137 here
# (Wine binds it on 0.0.0.0: nothing else on this machine may hold it), and the WINS server, a private nmbd on
# 127.0.0.10, listens on another port. ALICE registers an alias that only the WINS server knows; BOB, who knows
# only that server, sends to it. Then a WINS server of msgpeer's with odd answers.
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
    setsid nmbd -F --no-process-group --debug-stdout -d 2 -p "$WINSPORT" -s "$d/smb.conf" </dev/null \
        >"$d/out.log" 2>&1 &
    NMBD_PID=$!
    for i in $(seq 1 150); do
        [ "$(wins_lookup WINSHOST)" != "no answer" ] && return 0
        kill -0 "$NMBD_PID" 2>/dev/null || break
        sleep 0.1
    done
    tail -n 20 "$d/out.log" >&2
    return 1
}
# wins_lookup NAME: asks the WINS server for NAME<03>; prints its addresses ("not found", "no answer"), status 1
# when it has none.
wins_lookup() { python3 "$HERE/msgpeer.py" query 127.0.0.10 "$WINSPORT" "$1"; }
wins_has() { local i; for i in $(seq 1 100); do wins_lookup "$1" | grep -qx "$2" && return 0; sleep 0.1; done; return 1; }
wins_lacks() { ! wins_lookup "$1" >/dev/null; }
# logged_soon NAME PATTERN: NAME's log holds PATTERN within 20 s.
logged_soon() { local i; for i in $(seq 1 200); do logged "$1" "$2" && return 0; sleep 0.1; done; return 1; }
check "ALICE's service stops on request" service_stop ALICE
if [ "$(id -u)" -ne 0 ]; then
    echo "skip - WINS registration: a name service on UDP port 137 needs root"
elif ! command -v nmbd >/dev/null; then
    not_ok "WINS registration: nmbd is not installed (scripts/deps.sh installs it)"
elif ! python3 "$HERE/../free_port.py" udp 0.0.0.0 0 137 >/dev/null 2>&1; then
    # Any other name service on this machine (a user's own Tolvik started as root, Samba) keeps it.
    echo "skip - WINS registration: UDP port 137 is in use on this machine"
else
    WINSPORT=$(python3 "$HERE/../free_port.py" udp 0.0.0.0 0 23137 23138-23999)
    # ALICE's sender, while her service is stopped: a name server given without a port is asked on 137.
    NAMESERVERS=127.0.0.7 NAMEPORT_OF=$((NAMEPORT + 3000)) write_ini ALICE 127.0.0.2 ALICEPC ''
    check "a name server given without a port is asked on port 137, not on our own name port" \
        server_case nameserver 127.0.0.7 137 127.0.0.3 127.0.0.6 -- BOBPC 'asked on port 137' Done
    check "BOB's Tolvik files it" expect_messages BOB "ALICE${TAB}BOBPC${TAB}asked on port 137"
    if check "a private nmbd serves WINS on 127.0.0.10:$WINSPORT" nmbd_start; then
        NAMESERVERS=127.0.0.10:$WINSPORT NAMEPORT_OF=$((NAMEPORT + 3000)) write_ini ALICE 127.0.0.2 ALICEPC 'names=WINSMATE'
        check "ALICE's service starts with its name service on port $((NAMEPORT + 3000))" service_start ALICE
        check "... registers nothing, and its log says why" \
            logged ALICE 'not registering .*WINSMATE.*: the name service answers on UDP port [0-9]* (nameport)'
        check "ALICE's service stops" service_stop ALICE
        check "... without having registered WINSMATE<03>" wins_lacks WINSMATE
        NAMESERVERS=127.0.0.10:$WINSPORT NAMEPORT_OF=137 write_ini ALICE 127.0.0.2 ALICEPC 'names=WINSMATE'
        check "ALICE's service restarts with its name service on port 137" service_start ALICE
        check "the WINS server hands out ALICE's alias WINSMATE<03>" wins_has WINSMATE 127.0.0.2
        check "... and ALICE's log says for how long" \
            logged_soon ALICE "registered WINSMATE<03> as 127.0.0.2 with the WINS server 127.0.0.10:$WINSPORT for [0-9]* s"
        NAMESERVERS=127.0.0.10:$WINSPORT NAMEPORT_OF=$BOB_NAMEPORT write_ini BOB 127.0.0.3 BOBPC 'popups=1'
        check "BOB, knowing only the WINS server, sends to WINSMATE" send_from BOB WINSMATE 'found through WINS' Done
        check "ALICE's Tolvik files it" expect_messages ALICE "BOB${TAB}WINSMATE${TAB}found through WINS"
        check "ALICE's service stops" service_stop ALICE
        check "... and WINSMATE<03> is released" wins_lacks WINSMATE
        nmbd_stop
    fi
    WINSOUT=$WORK/wins-server.txt
    python3 "$HERE/msgpeer.py" wins 127.0.0.11 "$WINSPORT" 120 >"$WINSOUT" 2>&1 &
    PEER_PID=$!
    NAMESERVERS=127.0.0.11:$WINSPORT NAMEPORT_OF=137 write_ini ALICE 127.0.0.2 ALICEPC 'names=BIGTTL,WACKER,MISNAMED'
    check "ALICE's service starts with a WINS server that has its own ideas" service_start ALICE
    check "a grant of 0xFFFFFFFF seconds is acted on as three days" \
        logged_soon ALICE 'registered BIGTTL<03> .* for 259200 s (it granted 4294967295 s)'
    check "a server that says 'wait' at every request is waited for once, then the log says it did not answer" \
        logged_soon ALICE "no answer from the WINS server 127.0.0.11:$WINSPORT for WACKER<03>"
    check "an answer about another name is not taken for ours" \
        logged_soon ALICE "no answer from the WINS server 127.0.0.11:$WINSPORT for MISNAMED<03>"
    check "... nor logged as a registration" not_logged ALICE 'registered MISNAMED'
    check "ALICE's service stops" service_stop ALICE
    kill "$PEER_PID" 2>/dev/null
    wait "$PEER_PID" 2>/dev/null
    PEER_PID=
fi

echo "$PASSED passed, $FAILED failed"
[ "$FAILED" -eq 0 ]
