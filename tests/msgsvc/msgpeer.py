#!/usr/bin/env python3
"""msgpeer.py - a scripted messenger peer for the interop test (Python 3 standard library only).

  send    HOST PORT TO [--from F] [--text T] [--bind SRC] [--no-session]
          sends one message (session request, then 0xD5/0xD7.../0xD6); exit 0 when every reply is a success
  refused HOST PORT [--bind SRC]
          exit 0 when the service closes a new connection without answering a session request (a service
          that neither answers nor closes is not refusing: exit 1)
  hostile HOST PORT NAME [--log FILE] [--per-source N]
          malformed, lying, forging, silent, slow, flooding and non-reading clients; during the flood one proper
          message from "hostile" with the text "still up" from another source address; prints "ok"/"not ok"
          lines, exit status = number of failures. FILE is the service's log (its growth under a flood is
          checked), N its connection limit per source address (default 4).
  nameserver HOST PORT ANSWER FORGER
          answers one name query on HOST:PORT: first a forged answer (address FORGER) from FORGER:PORT, then
          0.3 s later the true one (address ANSWER); exit 0 when a query came
  query   HOST PORT NAME
          asks the name server HOST:PORT for NAME<03>; prints its addresses, exit 0 when it has the name
  wins    HOST PORT SECONDS
          a WINS server that has its own ideas, for SECONDS: it grants BIGTTL for 0xFFFFFFFF seconds, tells
          WACKER to wait 2 s at every request, answers MISNAMED about the name SOMEONE, and grants any other
          name for 600 s; exit 0
  stall   HOST PORT keepalive|dribble
          a messenger server for one connection: it accepts the session, then sends a keepalive every second and
          never replies (keepalive), or sends every reply one byte every 40 ms (dribble); exit 0 when the sender
          hangs up before its message is complete, within 20 s
The servers print "listening" once they are bound.

Every wait is bounded; traffic goes only to the HOST given (the tests use 127.0.0.0/8 only).
"""
import os
import socket
import struct
import sys
import threading
import time

WAIT = 15.0  # generous bound for anything the service should do "at once" or after its time-outs
TIMEOUT = object()  # what read_frame returns when nothing came within the bound: neither a frame nor a close


def encode_name(name, suffix):
    raw = name.upper().encode("ascii")[:15].ljust(15, b" ") + bytes([suffix])
    letters = bytes(b for c in raw for b in (0x41 + (c >> 4), 0x41 + (c & 15)))
    return b"\x20" + letters + b"\x00"


def session_request(called, calling="MSGPEER"):
    return struct.pack(">BBH", 0x81, 0, 68) + encode_name(called, 3) + encode_name(calling, 0)


def decode_name(encoded):
    """The name and suffix of a 32-letter first-level encoded name."""
    raw = bytes(((encoded[i] - 0x41) << 4) | (encoded[i + 1] - 0x41) for i in range(0, 32, 2))
    return raw[:15].rstrip(b" \0").decode("ascii", "replace"), raw[15]


def frame(payload):
    return struct.pack(">BBH", 0, (len(payload) >> 16) & 1, len(payload) & 0xFFFF) + payload


def smb(cmd, words=b"", data=b""):
    header = b"\xffSMB" + bytes([cmd]) + b"\0" * 27
    return header + bytes([len(words) // 2]) + words + struct.pack("<H", len(data)) + data


def start(sender, to):
    return frame(smb(0xD5, b"", b"\x04" + sender + b"\0\x04" + to + b"\0"))


def text_block(data, group=1):
    return frame(smb(0xD7, struct.pack("<H", group), b"\x01" + struct.pack("<H", len(data)) + data))


def end(group=1):
    return frame(smb(0xD6, struct.pack("<H", group)))


def connect(host, port, bind=None):
    s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    s.settimeout(WAIT)
    if bind:
        s.bind((bind, 0))
    s.connect((host, port))
    return s


def read_frame(s):
    """One session frame as (type, payload); None when the peer closed or reset; TIMEOUT when it did neither."""
    try:
        head = b""
        while len(head) < 4:
            chunk = s.recv(4 - len(head))
            if not chunk:
                return None
            head += chunk
        length = ((head[1] & 1) << 16) | struct.unpack(">H", head[2:])[0]
        body = b""
        while len(body) < length:
            chunk = s.recv(length - len(body))
            if not chunk:
                return None
            body += chunk
        return head[0], body
    except socket.timeout:
        return TIMEOUT
    except OSError:
        return None


def closed_by_peer(s, within=WAIT):
    """True when the peer closes (or resets) the connection within the bound, without sending anything."""
    s.settimeout(within)
    try:
        return s.recv(1) == b""
    except ConnectionError:
        return True
    except (socket.timeout, OSError):
        return False


def smb_status(payload):
    return struct.unpack("<I", payload[5:9])[0] if payload and len(payload) >= 9 else None


def send_message(host, port, to, sender="msgpeer", text="hello", bind=None, session=True):
    """'ok', or what went wrong."""
    try:
        s = connect(host, port, bind)
    except OSError as e:
        return "connect: %s" % e
    try:
        if session:
            s.sendall(session_request(to))
            r = read_frame(s)
            if r is None or r is TIMEOUT:
                return "no session answer"
            if r[0] != 0x82:
                return "session refused %s" % r[1].hex()
        steps = [start(sender.encode(), to.encode())]
        data = text.encode("cp850")
        steps += [text_block(data[i:i + 127]) for i in range(0, max(len(data), 1), 127)]
        steps.append(end())
        for step in steps:
            s.sendall(step)
            r = read_frame(s)
            if r is None or r is TIMEOUT:
                return "no reply"
            if smb_status(r[1]) != 0:
                return "smb error %08x" % smb_status(r[1])
        return "ok"
    except OSError as e:
        return "error: %s" % e
    finally:
        s.close()


class Checks:
    def __init__(self):
        self.failed = 0

    def check(self, what, cond):
        print(("ok - " if cond else "not ok - ") + what, flush=True)
        if not cond:
            self.failed += 1


def hostile(host, port, name, log=None, per_source=4):
    c = Checks()
    to = name.encode()

    def dropped_after(data, session=True):
        s = connect(host, port)
        try:
            if session:
                s.sendall(session_request(name))
                if read_frame(s) != (0x82, b""):
                    return False
            s.sendall(data)
            while True:  # replies the service still sends are fine; it must end the connection
                r = read_frame(s)
                if r is None or r is TIMEOUT:
                    return r is None
        finally:
            s.close()

    def replies_error(data, started=True):
        s = connect(host, port)
        try:
            s.sendall(session_request(name))
            read_frame(s)
            if started:
                s.sendall(start(b"hostile", to))
                read_frame(s)
            s.sendall(data)
            r = read_frame(s)
            return isinstance(r, tuple) and r[0] == 0 and smb_status(r[1]) not in (None, 0)
        finally:
            s.close()

    # Connections that only send keepalives, first, while the log has room for the minute's lines.
    s = connect(host, port)
    s.sendall(session_request(name))
    read_frame(s)
    began, gone = time.monotonic(), False
    while not gone and time.monotonic() - began < WAIT:
        try:
            s.sendall(struct.pack(">BBH", 0x85, 0, 0))
            gone = closed_by_peer(s, 0.5)
        except OSError:
            gone = True
    c.check("a connection that only sends keepalives is closed after the idle time-out", gone)
    s.close()
    delivered, replaced = crowd(host, port, name, log)
    c.check("crowd: 32 keepalive-only connections from 8 addresses leave room: %d of 3 messages from a ninth "
            "address delivered" % delivered, delivered == 3)
    if log:
        c.check("crowd: ... each in the place of a connection that had done nothing (the log says so)", replaced)

    # Truncated packets: the connection ends, the service stays.
    for label, data in [("a 2-byte session header", b"\x81\x00"),
                        ("half a session request", session_request(name)[:30])]:
        s = connect(host, port)
        s.sendall(data)
        s.shutdown(socket.SHUT_WR)
        c.check("truncated: %s then EOF is dropped" % label, closed_by_peer(s))
        s.close()
    c.check("truncated: an SMB frame shorter than an SMB header is dropped", dropped_after(frame(b"\xffSMB\xd5")))
    c.check("lying: a frame that announces 128 KiB is dropped",
            dropped_after(struct.pack(">BBH", 0, 1, 0xFFFF) + b"x" * 100))
    c.check("lying: a session request whose length says 0x45 is dropped",
            dropped_after(struct.pack(">BBH", 0x81, 0, 0x45) + b"A" * 0x45, session=False))
    lying_bytes = b"\xffSMB\xd5" + b"\0" * 27 + b"\x00" + struct.pack("<H", 500) + b"\x04hostile\0"
    c.check("lying: a ByteCount beyond the packet is dropped", dropped_after(frame(lying_bytes)))
    lying_words = b"\xffSMB\xd7" + b"\0" * 27 + b"\x40"
    c.check("lying: a WordCount beyond the packet is dropped", dropped_after(frame(lying_words)))
    c.check("lying: a text block longer than its packet gets an error reply",
            replies_error(frame(smb(0xD7, b"\1\0", b"\x01" + struct.pack("<H", 900) + b"short"))))
    c.check("lying: a start without the To terminator gets an error reply",
            replies_error(frame(smb(0xD5, b"", b"\x04hostile\0\x04" + to))))
    c.check("a text block outside a message gets an error reply",
            replies_error(text_block(b"never shown: orphan"), started=False))
    c.check("an end outside a message gets an error reply", replies_error(end(), started=False))

    # A message cut off before its end is never shown.
    s = connect(host, port)
    s.sendall(session_request(name))
    read_frame(s)
    for step in (start(b"hostile", to), text_block(b"never shown: unfinished")):
        s.sendall(step)
        read_frame(s)
    s.close()
    # An oversized message is refused when it passes the limit.
    s = connect(host, port)
    s.sendall(session_request(name))
    read_frame(s)
    s.sendall(start(b"hostile", to))
    read_frame(s)
    refused = False
    for _ in range(60):
        s.sendall(text_block(b"never shown: too long " * 5))
        r = read_frame(s)
        if r is None or (isinstance(r, tuple) and smb_status(r[1]) != 0):
            refused = True
            break
    c.check("a message of more than 3200 bytes is refused", refused)
    s.close()
    # A well-formed message for another name on a plain connection is not shown.
    c.check("a message for a name not ours is refused",
            send_message(host, port, "NOTBOB", text="never shown: not ours", session=False) != "ok")
    c.check("a session request for a name not ours is answered 'called name not present'",
            send_message(host, port, "NOTBOB", text="never shown") == "session refused 82")

    # Silent, slow and flooding clients.
    s = connect(host, port)
    began = time.monotonic()
    c.check("a connection that never sends is closed", closed_by_peer(s, WAIT))
    c.check("... after the idle time-out, not at once", time.monotonic() - began >= 1.0)
    s.close()
    s = connect(host, port)
    s.sendall(session_request(name))
    read_frame(s)
    began, gone = time.monotonic(), False
    dribble = struct.pack(">BBH", 0, 0, 4000) + b"x" * 4000  # a frame that would take an hour
    for b in dribble:
        try:
            s.sendall(bytes([b]))
            s.settimeout(1.0)
            if s.recv(64) == b"":
                gone = True
                break
        except socket.timeout:
            pass
        except OSError:
            gone = True
            break
        if time.monotonic() - began > 60:
            break
    c.check("a sender that dribbles one byte a second is cut off by the session limit", gone)
    s.close()

    # Faults of a service that trusts its peers too much, one case each.
    c.check("forged headers: a From with CR LF and a To padded past 15 characters are refused",
            send_message(host, port, name, sender="BOSS to %s on 01.01.2030 09:00\r\n\r\n" % name,
                         text="never shown: forged From") != "ok"
            and send_message(host, port, name + " " * 12 + "\r\nX", sender="hostile",
                             text="never shown: forged To") != "ok")
    s = connect(host, port)
    s.sendall(struct.pack(">BBH", 0x85, 0, 0) + session_request("NOT" + name))
    c.check("gate: after a keepalive, a session request for a name not ours is refused",
            read_frame(s) == (0x83, b"\x82"))
    s.close()
    if log:
        before = os.path.getsize(log)
        for i in range(500):
            s = connect(host, port)
            s.sendall(session_request("GHOST\r\nFORGED" if i == 0 else "GHOST%d" % i))
            read_frame(s)
            s.close()
        grown = os.path.getsize(log) - before
        with open(log, "rb") as f:
            forged = [line for line in f if line.startswith(b"FORGED")]
        c.check("log: 500 refused sessions add at most 16 KB (%d bytes) and split no line" % grown,
                grown <= 16384 and not forged)
    worst = stalled_reply_wait(host, port, name)
    c.check("slow readers: 12 connections that never read their replies leave another client's replies "
            "prompt (worst wait %.2f s)" % worst, worst < 2.0)

    # A flood from one source keeps its share of the slots and no more; another source is still served.
    flood = []
    for _ in range(100):
        try:
            flood.append(connect(host, port))
        except OSError:
            pass
    deadline = time.monotonic() + WAIT
    kept = open_count(flood)
    while kept > per_source and time.monotonic() < deadline:
        time.sleep(0.05)
        kept = open_count(flood)
    c.check("flood: of 100 connections from one source exactly %d are kept (%d kept)" % (per_source, kept),
            kept == per_source)
    c.check("flood: meanwhile a proper message from another source is delivered",
            send_message(host, port, name, sender="hostile", text="still up", bind="127.0.0.9") == "ok")
    for s in flood:
        s.close()
    return c.failed


def crowd(host, port, name, log=None, seconds=20.0):
    """Eight addresses hold 4 connections each (the default table of 32), which only send keepalives and connect
    again whenever the service drops them; meanwhile a ninth address tries, for at most `seconds`, to deliver 3
    messages. Returns how many got through and whether the log says a crowd connection made room for one."""
    slots = {("127.0.0.%d" % (40 + a), i): None for a in range(8) for i in range(4)}
    stop = threading.Event()

    def keep():
        while not stop.is_set():
            for key, s in list(slots.items()):
                if s is not None:
                    try:
                        s.sendall(struct.pack(">BBH", 0x85, 0, 0))
                        continue
                    except OSError:
                        s.close()
                try:
                    s = connect(host, port, key[0])
                    s.sendall(session_request(name))
                    s.settimeout(0.2)
                    slots[key] = s
                except OSError:
                    slots[key] = None
            stop.wait(0.3)

    before = os.path.getsize(log) if log else 0
    keeper = threading.Thread(target=keep)
    keeper.start()
    delivered = 0
    try:
        time.sleep(1.0)  # the crowd has taken the table
        end_at = time.monotonic() + seconds
        while delivered < 3 and time.monotonic() < end_at:
            if send_message(host, port, name, sender="ninth", text="through the crowd %d" % (delivered + 1),
                            bind="127.0.0.48") == "ok":
                delivered += 1
            else:
                time.sleep(0.2)
    finally:
        stop.set()
        keeper.join()
        for s in slots.values():
            if s is not None:
                s.close()
    replaced = False
    if log:
        with open(log, "rb") as f:
            f.seek(before)
            replaced = any(b"made room for 127.0.0.48" in line for line in f)
    return delivered, replaced


def open_count(socks):
    """How many of the connections the service has not closed."""
    n = 0
    for s in socks:
        s.setblocking(False)
        try:
            n += s.recv(1) != b""
        except BlockingIOError:
            n += 1
        except OSError:
            pass
    return n


def stalled_reply_wait(host, port, name, seconds=6.0):
    """Worst reply wait of a client, probing for `seconds`, while 12 others (each from its own address) keep
    sending requests and never read the replies."""
    stuffers = []
    for i in range(12):
        s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        s.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
        s.bind(("127.0.0.%d" % (20 + i), 0))
        s.settimeout(WAIT)
        s.connect((host, port))
        s.sendall(session_request(name))
        s.setblocking(False)
        stuffers.append(s)
    stop = threading.Event()

    def stuff():
        burst = frame(smb(0x2E)) * 1024  # an unknown command: one error reply each
        while not stop.is_set():
            sent = 0
            for s in stuffers:
                try:
                    sent += s.send(burst)
                except OSError:  # full, or closed by the service
                    pass
            if not sent:
                stop.wait(0.01)

    pusher = threading.Thread(target=stuff)
    pusher.start()
    worst = 0.0
    try:
        end_at = time.monotonic() + seconds
        while time.monotonic() < end_at:
            s = connect(host, port, "127.0.0.10")
            try:
                for step in (session_request(name), start(b"hostile", name.encode()),
                             text_block(b"never shown: probe")):
                    began = time.monotonic()
                    s.sendall(step)
                    r = read_frame(s)
                    worst = max(worst, time.monotonic() - began if isinstance(r, tuple) else WAIT)
            finally:
                s.close()
    finally:
        stop.set()
        pusher.join()
        for s in stuffers:
            s.close()
    return worst


def listening(sock):
    sock.settimeout(60)
    print("listening", flush=True)
    return sock


def nameserver(host, port, answer, forger):
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.bind((host, port))
    f = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    f.bind((forger, port))
    q, client = listening(s).recvfrom(1024)

    def positive(ip):  # the question's id and name, one unique address
        return (q[:2] + b"\x85\x00\x00\x00\x00\x01\x00\x00\x00\x00" + q[12:46] +
                struct.pack(">HHIHH", 0x20, 1, 0, 6, 0) + socket.inet_aton(ip))
    f.sendto(positive(forger), client)
    time.sleep(0.3)
    s.sendto(positive(answer), client)
    return 0


def query(host, port, name):
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.settimeout(3.0)
    s.sendto(b"\x12\x34\x01\x00\x00\x01\x00\x00\x00\x00\x00\x00" + encode_name(name, 3) + b"\x00\x20\x00\x01",
             (host, port))
    try:
        a = s.recv(1024)
    except socket.timeout:
        print("no answer")
        return 1
    if a[:2] != b"\x12\x34" or a[3] & 0x0F or len(a) < 56:
        print("not found")
        return 1
    rdlength = struct.unpack(">H", a[54:56])[0]
    print(" ".join(socket.inet_ntoa(a[58 + i:62 + i]) for i in range(0, rdlength, 6)))
    return 0


def wins(host, port, seconds):
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.bind((host, port))
    listening(s).settimeout(0.5)
    end_at = time.monotonic() + seconds
    while time.monotonic() < end_at:
        try:
            q, client = s.recvfrom(1024)
        except socket.timeout:
            continue
        if len(q) < 62 or q[2] & 0x80:
            continue
        opcode = (q[2] >> 3) & 15
        name, _ = decode_name(q[13:45])
        record = q[-6:]  # NB_FLAGS and the address asked for

        def answer(op, named, ttl, data):
            flags = 0x8000 | op << 11 | 0x0580
            return (q[:2] + struct.pack(">HHHHH", flags, 0, 1, 0, 0) + encode_name(named, 3) +
                    struct.pack(">HHIH", 0x20, 1, ttl, len(data)) + data)
        if opcode == 6:
            reply = answer(6, name, 0, record)
        elif name == "WACKER":
            reply = answer(7, name, 2, q[2:4])
        elif name == "MISNAMED":
            reply = answer(opcode, "SOMEONE", 600, record)
        else:
            reply = answer(opcode, name, 0xFFFFFFFF if name == "BIGTTL" else 600, record)
        print("%s opcode %d id %s" % (name, opcode, q[:2].hex()), flush=True)
        s.sendto(reply, client)
    return 0


def stall(host, port, mode):
    ls = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    ls.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    ls.bind((host, port))
    ls.listen(1)
    c, _ = listening(ls).accept()
    began = time.monotonic()

    def gone(data, wait):
        """Sends data, then gives the sender `wait` s to hang up; what it sends meanwhile stays unread."""
        try:
            c.sendall(data)
            c.settimeout(wait)
            return c.recv(1, socket.MSG_PEEK) == b""
        except socket.timeout:
            return False
        except OSError:
            return True

    def outcome(hung_up, what):
        print("the sender %s after %.1f s" % ("hung up" if hung_up else what, time.monotonic() - began))
        return 0 if hung_up else 1

    c.settimeout(WAIT)
    read_frame(c)  # the session request
    c.sendall(b"\x82\0\0\0")
    while time.monotonic() - began < 20:
        c.settimeout(WAIT)
        r = read_frame(c)
        if not isinstance(r, tuple):  # closed (hung up), or silent for WAIT seconds
            return outcome(r is None, "sent nothing")
        while mode == "keepalive" and time.monotonic() - began < 20:
            if gone(b"\x85\0\0\0", 1.0):
                return outcome(True, "")
        if mode == "keepalive":
            break
        reply = frame(smb(r[1][4]))
        reply = reply[:13] + b"\x80" + reply[14:]  # the reply flag
        if mode == "dribble" and any(gone(bytes([b]), 0.04) for b in reply[:-1]):
            return outcome(True, "")
        c.sendall(reply[-1:])
        if r[1][4] == 0xD6:
            return outcome(False, "completed its message")
    return outcome(False, "waited on")


def main(argv):
    if len(argv) < 3:
        print(__doc__)
        return 2
    cmd, host, port = argv[0], argv[1], int(argv[2])
    opts = {"--from": "msgpeer", "--text": "hello", "--bind": None, "--log": None, "--per-source": "4"}
    session = "--no-session" not in argv
    rest = [a for a in argv[3:] if a != "--no-session"]
    positional = []
    i = 0
    while i < len(rest):
        if rest[i] in opts and i + 1 < len(rest):
            opts[rest[i]] = rest[i + 1]
            i += 2
        else:
            positional.append(rest[i])
            i += 1
    if cmd == "send":
        result = send_message(host, port, positional[0], opts["--from"], opts["--text"], opts["--bind"], session)
        print(result)
        return 0 if result == "ok" else 1
    if cmd == "refused":
        s = connect(host, port, opts["--bind"])
        s.sendall(session_request("ANY"))
        return 0 if read_frame(s) is None else 1  # a frame, or a time-out: not refused
    if cmd == "hostile":
        return hostile(host, port, positional[0], opts["--log"], int(opts["--per-source"]))
    if cmd == "nameserver":
        return nameserver(host, port, positional[0], positional[1])
    if cmd == "stall":
        return stall(host, port, positional[0])
    if cmd == "query":
        return query(host, port, positional[0])
    if cmd == "wins":
        return wins(host, port, float(positional[0]))
    print(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
