#!/usr/bin/env python3
"""free_port.py tcp|udp ADDR[,ADDR...] OFFSET[,OFFSET...] CANDIDATE... - prints the first candidate
port P such that P + OFFSET can be bound on every ADDR for every OFFSET right now (without
SO_REUSEADDR, as the message service binds), so that tests run beside a user's own Tolvik and
service. A CANDIDATE is a port or a range FIRST-LAST. Exit status 1 when none is free."""

import socket
import sys


def bindable(kind, addr, port):
    s = socket.socket(socket.AF_INET, kind)
    try:
        s.bind((addr, port))
        return True
    except OSError:
        return False
    finally:
        s.close()


def main():
    if len(sys.argv) < 5 or sys.argv[1] not in ("tcp", "udp"):
        sys.exit(__doc__)
    kind = socket.SOCK_STREAM if sys.argv[1] == "tcp" else socket.SOCK_DGRAM
    addrs = sys.argv[2].split(",")
    offsets = [int(o) for o in sys.argv[3].split(",")]
    for cand in sys.argv[4:]:
        first, _, last = cand.partition("-")
        for port in range(int(first), int(last or first) + 1):
            if all(0 < port + o < 65536 and bindable(kind, a, port + o) for a in addrs for o in offsets):
                print(port)
                return
    sys.exit(f"free_port.py: no free {sys.argv[1]} port among {' '.join(sys.argv[4:])}")


main()
