#!/usr/bin/env python3
"""Draws Tolvik's 16-colour icons and toolbar bitmaps from source and writes res/images/*.

Regenerate:   python3 res/draw_images.py          (writes every file in res/images/)
Verify:       python3 res/draw_images.py --check  (re-reads every file and checks its headers)

Everything is drawn from the ASCII grids and drawing helpers below, using only the
standard library; output is byte-for-byte deterministic.  Icons are classic
BITMAPINFOHEADER ICO entries (4 bpp, XOR bitmap + AND mask, height doubled),
bitmaps are 4 bpp BMPs on a light-grey button-face background.
"""

import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
OUT_DIR = os.path.join(HERE, "images")

# Standard Windows 16-colour (VGA) palette, in index order.
PALETTE = [
    (0, 0, 0),        # 0  black
    (128, 0, 0),      # 1  dark red
    (0, 128, 0),      # 2  dark green
    (128, 128, 0),    # 3  dark yellow
    (0, 0, 128),      # 4  dark blue
    (128, 0, 128),    # 5  dark magenta
    (0, 128, 128),    # 6  dark cyan
    (192, 192, 192),  # 7  light grey
    (128, 128, 128),  # 8  dark grey
    (255, 0, 0),      # 9  red
    (0, 255, 0),      # 10 green
    (255, 255, 0),    # 11 yellow
    (0, 0, 255),      # 12 blue
    (255, 0, 255),    # 13 magenta
    (0, 255, 255),    # 14 cyan
    (255, 255, 255),  # 15 white
]

# Legend for the ASCII grids.  '.' is transparent in icons and button face
# (light grey) in bitmaps.
LEGEND = {
    "K": 0,   # black
    "r": 1,   # dark red
    "g": 2,   # dark green
    "y": 3,   # dark yellow
    "b": 4,   # dark blue
    "m": 5,   # dark magenta
    "c": 6,   # dark cyan
    "L": 7,   # light grey
    "D": 8,   # dark grey
    "R": 9,   # red
    "G": 10,  # green
    "Y": 11,  # yellow
    "B": 12,  # blue
    "M": 13,  # magenta
    "C": 14,  # cyan
    "W": 15,  # white
}
CLEAR = None          # transparent pixel in a canvas
BUTTON_FACE = 7       # what '.' becomes in a bitmap


# --------------------------------------------------------------------------
# Canvas and drawing helpers
# --------------------------------------------------------------------------

class Canvas:
    def __init__(self, w, h):
        self.w, self.h = w, h
        self.px = [[CLEAR] * w for _ in range(h)]

    def set(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = c

    def get(self, x, y):
        return self.px[y][x]

    def stamp(self, art, ox=0, oy=0):
        """Paint an ASCII grid at (ox, oy); '.' leaves the pixel untouched."""
        rows = grid(art)
        for y, row in enumerate(rows):
            for x, ch in enumerate(row):
                if ch != ".":
                    self.set(ox + x, oy + y, LEGEND[ch])

    def fill_rect(self, x0, y0, x1, y1, c):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.set(x, y, c)

    def rect(self, x0, y0, x1, y1, c):
        for x in range(x0, x1 + 1):
            self.set(x, y0, c)
            self.set(x, y1, c)
        for y in range(y0, y1 + 1):
            self.set(x0, y, c)
            self.set(x1, y, c)

    def line(self, x0, y0, x1, y1, c):
        """Bresenham line, both ends inclusive."""
        dx, dy = abs(x1 - x0), -abs(y1 - y0)
        sx = 1 if x0 < x1 else -1
        sy = 1 if y0 < y1 else -1
        err = dx + dy
        while True:
            self.set(x0, y0, c)
            if x0 == x1 and y0 == y1:
                break
            e2 = 2 * err
            if e2 >= dy:
                err += dy
                x0 += sx
            if e2 <= dx:
                err += dx
                y0 += sy


def grid(art):
    """Split a triple-quoted ASCII grid into rows (blank edge lines dropped,
    trailing '|' markers used to keep right-hand columns visible)."""
    rows = [r.strip().rstrip("|") for r in art.strip("\n").split("\n")]
    width = len(rows[0])
    for r in rows:
        assert len(r) == width, "ragged grid row: %r" % r
    return rows


def from_art(art):
    rows = grid(art)
    cv = Canvas(len(rows[0]), len(rows))
    cv.stamp(art)
    return cv


# --------------------------------------------------------------------------
# 32x32 application icon (envelope) and its "new message" blink frame
# --------------------------------------------------------------------------

def envelope32(fill, shade):
    """Back of an envelope with its flap closed; `shade` is used for the
    folds and the inner edge shading."""
    cv = Canvas(32, 32)
    x0, y0, x1, y1 = 1, 7, 30, 26
    cv.fill_rect(x0, y0, x1, y1, fill)
    # lower folds, drawn faintly from the bottom corners towards the middle
    # at the same 2:1 slope as the flap
    for i in range(7):
        y = y1 - 1 - i
        for x in (x0 + 1 + 2 * i, x0 + 2 + 2 * i):
            cv.set(x, y, shade)
            cv.set(x0 + x1 - x, y, shade)
    # the flap: fill the triangle, then outline it
    for y in range(y0 + 1, y0 + 9):
        # 2:1 slope -> two pixels per row on each side
        half = 2 * (y - (y0 + 1))
        for x in range(x0 + 1 + half, x1 - half):
            cv.set(x, y, fill)
    for y in range(y0 + 1, y0 + 9):
        step = 2 * (y - (y0 + 1))
        lx = x0 + 1 + step
        rx = x1 - 1 - step
        if lx > rx:
            break
        for x in (lx, lx + 1, rx - 1, rx):
            cv.set(x, y, LEGEND["K"])
        # a soft shadow just under the flap edge
        for x in (lx, lx + 1, rx - 1, rx):
            if cv.get(x, y + 1) == fill:
                cv.set(x, y + 1, shade)
    # shading on the right and bottom inside edge
    for y in range(y0 + 1, y1):
        if cv.get(x1 - 1, y) == fill:
            cv.set(x1 - 1, y, shade)
    for x in range(x0 + 1, x1):
        if cv.get(x, y1 - 1) == fill:
            cv.set(x, y1 - 1, shade)
    cv.rect(x0, y0, x1, y1, LEGEND["K"])
    return cv


FLASH = """
......R......
......R......
..R..RYR..R..
...RRYYYRR...
...RYYWYYR...
..RYYWWWYYR..
RRYYWWWWWYYRR
..RYYWWWYYR..
...RYYWYYR...
...RRYYYRR...
..R..RYR..R..
......R......
......R......
"""


def envelope16(fill, shade):
    """The envelope at the notification area's size, drawn for it: shrunk from
    32x32 its flap lines and folds fall apart into dots."""
    cv = Canvas(16, 16)
    x0, y0, x1, y1 = 0, 3, 15, 12
    cv.fill_rect(x0, y0, x1, y1, fill)
    for i in range(3):
        for x in (x0 + 1 + 2 * i, x0 + 2 + 2 * i):
            cv.set(x, y1 - 1 - i, shade)
            cv.set(x0 + x1 - x, y1 - 1 - i, shade)
    for y in range(y0 + 1, y0 + 5):
        step = 2 * (y - (y0 + 1))
        for x in (x0 + 1 + step, x0 + 2 + step):
            cv.set(x, y, LEGEND["K"])
            cv.set(x0 + x1 - x, y, LEGEND["K"])
    cv.rect(x0, y0, x1, y1, LEGEND["K"])
    return cv


FLASH16 = """
..R..
.RYR.
RYWYR
.RYR.
..R..
"""


def icon134():
    return [envelope32(LEGEND["W"], LEGEND["L"]), envelope16(LEGEND["W"], LEGEND["L"])]


def icon156():
    big = envelope32(LEGEND["Y"], LEGEND["y"])
    big.stamp(FLASH, 19, 0)
    small = envelope16(LEGEND["Y"], LEGEND["y"])
    small.stamp(FLASH16, 11, 0)
    return [big, small]


# --------------------------------------------------------------------------
# 16x16 status icons
# --------------------------------------------------------------------------

ICON142 = """
................
................
................
............KK..
...........KGGK.
..........KGGgK.
.........KGGgK..
..KK....KGGgK...
.KGGK..KGGgK....
.KGGgKKGGgK.....
..KGGgGGgK......
...KGGGgK.......
....KGgK........
.....KK.........
................
................
"""

ICON141 = """
................
..KK........KK..
.KRRK......KRRK.
.KRRRK....KRRrK.
..KRRRK..KRRrK..
...KRRRKKRRrK...
....KRRRRRrK....
.....KRRRrK.....
.....KRRRrK.....
....KRRRrRRK....
...KRRrKKRRRK...
..KRRrK..KRRRK..
.KRRrK....KRRrK.
.KRrK......KRrK.
..KK........KK..
................
"""

ICON143 = """
..KKKKKKKKKKKK..
..KyYYYYYYYYyK..
..KKKKKKKKKKKK..
...KWWWWWWWLK...
...KWYYYYYYLK...
....KWYYYYLK....
.....KWYYLK.....
......KYyK......
......KWYK......
.....KWWYLK.....
....KWWWYWLK....
...KWWWYYYWLK...
...KYYYYYYYyK...
..KKKKKKKKKKKK..
..KyYYYYYYYYyK..
..KKKKKKKKKKKK..
"""

# A page with text lines, used by several icons.
PAGE = """
KKKKKKKK....
KWWWWWWKK...
KWWWWWWKWK..
KWDDDDWKKKK.
KWWWWWWWWWK.
KWDDDDDDDWK.
KWWWWWWWWWK.
KWDDDDDDDWK.
KWWWWWWWWWK.
KWDDDDDDDWK.
KWWWWWWWWWK.
KWDDDDDWWWK.
KWWWWWWWWWK.
KKKKKKKKKKK.
"""

RED_X = """
RR...RR
RRR.RRR
.RRRRR.
..RRR..
.RRRRR.
RRR.RRR
RR...RR
"""

BIG_RED_X = """
RR.....RR
RRR...RRR
.RRR.RRR.
..RRRRR..
...RRR...
..RRRRR..
.RRR.RRR.
RRR...RRR
RR.....RR
"""

LENS = """
..KKKK.....
.KWWCCK....
KWWCCCCK...
KWCCCCCK...
KCCCCCCK...
KCCCCCcK...
.KCCCccKK..
..KKKKKyyK.
......KyyyK
.......KyyK
........KK.
"""

ICON153 = """
................
....K...........
...KBK..........
..KBBKKKKKK.....
.KBBBBBBBBBKK...
.KBBBBBBBBBBBK..
..KBBKKKKKKBBBK.
...KBK.....KBBK.
....K......KBBK.
KKKKKKKKKKKKKKKK
KWKWWWWWWWWWWKWK
KWWKKWWWWWWKKWWK
KWWWWKKWWKKWWWWK
KWWWWWWKKWWWWWWK
KWWWWWWWWWWWWWLK
KKKKKKKKKKKKKKKK
"""


def icon150():
    cv = Canvas(16, 16)
    cv.stamp(PAGE, 1, 0)
    cv.stamp(LENS, 5, 4)
    return cv


def icon151():
    cv = Canvas(16, 16)
    cv.stamp(PAGE, 2, 1)
    cv.stamp(RED_X, 9, 9)
    return cv


def icon152():
    cv = Canvas(16, 16)
    cv.stamp(PAGE, 4, 0)
    cv.stamp(PAGE, 1, 2)
    cv.stamp(RED_X, 9, 9)
    return cv


# --------------------------------------------------------------------------
# Button bitmaps (light-grey background)
# --------------------------------------------------------------------------

def bmp161():
    cv = Canvas(16, 16)
    cv.stamp(PAGE, 1, 1)
    cv.stamp(RED_X, 9, 9)
    return cv


def bmp162():
    cv = Canvas(17, 17)
    lines = """
KKKKKKKKKKKKKKK..
KWWWWWWWWWWWWWK..
KWDDDDDDWDDDDWK..
KWWWWWWWWWWWWWK..
KWDDDDWDDDDDDWK..
KWWWWWWWWWWWWWK..
KWDDDDDDDDWDDWK..
KWWWWWWWWWWWWWK..
KWDDDWDDDDDDDWK..
KWWWWWWWWWWWWWK..
KWDDDDDDDWDDDWK..
KWWWWWWWWWWWWWK..
KKKKKKKKKKKKKKK..
"""
    cv.stamp(lines, 0, 0)
    cv.stamp(BIG_RED_X, 8, 8)
    return cv


# --------------------------------------------------------------------------
# File writers
# --------------------------------------------------------------------------

def palette_bytes():
    return b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)


def xor_rows(cv, clear_index):
    """4-bpp pixel rows, bottom-up, each padded to a 4-byte boundary."""
    stride = ((cv.w * 4 + 31) // 32) * 4
    out = bytearray()
    for y in range(cv.h - 1, -1, -1):
        row = bytearray(stride)
        for x in range(cv.w):
            c = cv.get(x, y)
            c = clear_index if c is None else c
            if x % 2 == 0:
                row[x // 2] |= c << 4
            else:
                row[x // 2] |= c
        out += row
    return bytes(out)


def and_rows(cv):
    """1-bpp transparency mask (1 = transparent), bottom-up, 4-byte padded."""
    stride = ((cv.w + 31) // 32) * 4
    out = bytearray()
    for y in range(cv.h - 1, -1, -1):
        row = bytearray(stride)
        for x in range(cv.w):
            if cv.get(x, y) is None:
                row[x // 8] |= 0x80 >> (x % 8)
        out += row
    return bytes(out)


def ico_bytes(frames):
    """An ICO file of one entry per canvas, in the order given."""
    images = []
    for cv in frames:
        xor = xor_rows(cv, 0)
        msk = and_rows(cv)
        header = struct.pack("<IiiHHIIiiII", 40, cv.w, cv.h * 2, 1, 4, 0,
                             len(xor) + len(msk), 0, 0, 16, 0)
        images.append(header + palette_bytes() + xor + msk)
    out = struct.pack("<HHH", 0, 1, len(frames))
    offset = 6 + 16 * len(frames)
    for cv, image in zip(frames, images):
        out += struct.pack("<BBBBHHII", cv.w, cv.h, 16, 0, 1, 4, len(image), offset)
        offset += len(image)
    return out + b"".join(images)


def bmp_bytes(cv):
    bits = xor_rows(cv, BUTTON_FACE)
    off = 14 + 40 + 64
    header = struct.pack("<IiiHHIIiiII", 40, cv.w, cv.h, 1, 4, 0,
                         len(bits), 2835, 2835, 16, 0)
    filehdr = struct.pack("<2sIHHI", b"BM", off + len(bits), 0, 0, off)
    return filehdr + header + palette_bytes() + bits


# name, drawing function (one canvas, or a list of them for an icon of several sizes), sizes
IMAGES = [
    ("icon134.ico", icon134, (32, 16)),
    ("icon156.ico", icon156, (32, 16)),
    ("icon142.ico", lambda: from_art(ICON142), 16),
    ("icon141.ico", lambda: from_art(ICON141), 16),
    ("icon143.ico", lambda: from_art(ICON143), 16),
    ("icon150.ico", icon150, 16),
    ("icon151.ico", icon151, 16),
    ("icon152.ico", icon152, 16),
    ("icon153.ico", lambda: from_art(ICON153), 16),
    ("bmp161.bmp", bmp161, 16),
    ("bmp162.bmp", bmp162, 17),
]


def write_all():
    os.makedirs(OUT_DIR, exist_ok=True)
    for name, make, sizes in IMAGES:
        frames = make()
        frames = frames if isinstance(frames, list) else [frames]
        assert [(cv.w, cv.h) for cv in frames] == [(s, s) for s in sizes_of(sizes)], name
        data = ico_bytes(frames) if name.endswith(".ico") else bmp_bytes(frames[0])
        with open(os.path.join(OUT_DIR, name), "wb") as f:
            f.write(data)
        print("wrote", os.path.relpath(os.path.join(OUT_DIR, name)))


# --------------------------------------------------------------------------
# --check: re-read every file and verify its structure
# --------------------------------------------------------------------------

def check_bih(data, off, w, h_expected, name):
    (size, bw, bh, planes, bpp, comp, size_image,
     _xp, _yp, used, _imp) = struct.unpack_from("<IiiHHIIiiII", data, off)
    assert size == 40, "%s: header size %d" % (name, size)
    assert (bw, bh) == (w, h_expected), "%s: %dx%d" % (name, bw, bh)
    assert planes == 1 and bpp == 4 and comp == 0, "%s: planes/bpp/comp" % name
    assert used in (0, 16), "%s: colours used %d" % (name, used)
    pal = data[off + 40:off + 40 + 64]
    assert pal == palette_bytes(), "%s: palette differs" % name
    return size_image


def sizes_of(sizes):
    return sizes if isinstance(sizes, tuple) else (sizes,)


def check_all():
    for name, _make, sizes in IMAGES:
        path = os.path.join(OUT_DIR, name)
        with open(path, "rb") as f:
            data = f.read()
        size = sizes_of(sizes)[0]
        xor_len = ((size * 4 + 31) // 32) * 4 * size
        if name.endswith(".ico"):
            reserved, typ, count = struct.unpack_from("<HHH", data, 0)
            assert (reserved, typ, count) == (0, 1, len(sizes_of(sizes))), "%s: ICONDIR" % name
            end = 6 + 16 * count
            for n, size in enumerate(sizes_of(sizes)):
                xor_len = ((size * 4 + 31) // 32) * 4 * size
                w, h, ncol, res, planes, bpp, nbytes, off = struct.unpack_from(
                    "<BBBBHHII", data, 6 + 16 * n)
                assert (w, h, ncol, res, planes, bpp) == (size, size, 16, 0, 1, 4), \
                    "%s: ICONDIRENTRY" % name
                assert off == end, "%s: entry offset" % name
                end = off + nbytes
                and_len = ((size + 31) // 32) * 4 * size
                size_image = check_bih(data, off, size, size * 2, name)
                assert size_image == xor_len + and_len, "%s: sizeImage" % name
                assert nbytes == 40 + 64 + xor_len + and_len, "%s: mask size" % name
                mask = data[off + 40 + 64 + xor_len:end]
                assert len(mask) == and_len, "%s: mask length" % name
                # transparent pixels must be black in the XOR bitmap
                xor = data[off + 40 + 64:off + 40 + 64 + xor_len]
                xs, ms = xor_len // size, and_len // size
                for y in range(size):
                    for x in range(size):
                        if mask[y * ms + x // 8] & (0x80 >> (x % 8)):
                            b = xor[y * xs + x // 2]
                            nib = (b >> 4) if x % 2 == 0 else (b & 15)
                            assert nib == 0, "%s: transparent pixel not black" % name
            assert end == len(data), "%s: entry size" % name
        else:
            magic, fsize, _r1, _r2, off = struct.unpack_from("<2sIHHI", data, 0)
            assert magic == b"BM" and fsize == len(data), "%s: file header" % name
            assert off == 14 + 40 + 64, "%s: bits offset" % name
            size_image = check_bih(data, 14, size, size, name)
            assert size_image == xor_len and len(data) == off + xor_len, \
                "%s: bits size" % name
        print("ok   %s  %s 4bpp" % (name, ", ".join("%dx%d" % (z, z) for z in sizes_of(sizes))))


if __name__ == "__main__":
    if "--check" in sys.argv[1:]:
        check_all()
    else:
        write_all()
