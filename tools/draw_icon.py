#!/usr/bin/env python3
"""Draws Mervane's 16 x 16 program icon and writes it as an RGBA PNG.

The icon is our own: a teal rounded tile with two stacked pages (a batch of files) and an
orange arrow (they are processed). Run it after changing the drawing and commit the PNG:

    python3 tools/draw_icon.py resources/images/icon16.png
"""

import struct
import sys
import zlib

SIZE = 16
CLEAR = (0, 0, 0, 0)
TILE_EDGE = (17, 78, 96, 255)
TILE = (31, 118, 140, 255)
PAGE_BACK = (196, 214, 220, 255)
PAGE = (255, 255, 255, 255)
PAGE_EDGE = (120, 150, 160, 255)
LINE = (90, 150, 170, 255)
ARROW = (245, 140, 30, 255)
ARROW_EDGE = (170, 80, 10, 255)


def draw():
    px = [[CLEAR] * SIZE for _ in range(SIZE)]

    def put(x, y, colour):
        if 0 <= x < SIZE and 0 <= y < SIZE:
            px[y][x] = colour

    def rect(x0, y0, x1, y1, fill, edge=None):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                border = x in (x0, x1) or y in (y0, y1)
                put(x, y, edge if (edge and border) else fill)

    # Tile with rounded corners (one pixel cut at each corner, edge drawn inside).
    rect(0, 0, 15, 15, TILE, TILE_EDGE)
    for x, y in ((0, 0), (15, 0), (0, 15), (15, 15)):
        put(x, y, CLEAR)
    for x, y in ((1, 1), (14, 1), (1, 14), (14, 14)):
        put(x, y, TILE_EDGE)

    # The back page, then the front page with a folded corner and three text lines.
    rect(5, 2, 12, 10, PAGE_BACK, PAGE_EDGE)
    rect(3, 4, 10, 13, PAGE, PAGE_EDGE)
    put(10, 4, TILE)
    put(9, 4, PAGE_EDGE)
    put(10, 5, PAGE_EDGE)
    put(9, 5, PAGE_BACK)
    for y in (7, 9, 11):
        for x in range(5, 9):
            put(x, y, LINE)

    # Arrow pointing right in the lower right corner.
    for x in range(9, 13):
        put(x, 11, ARROW)
        put(x, 12, ARROW)
    for x, y in ((12, 9), (12, 10), (13, 10), (13, 11), (14, 11), (14, 12),
                 (13, 12), (13, 13), (12, 13), (12, 14)):
        put(x, y, ARROW)
    for x, y in ((11, 9), (11, 14), (9, 10), (9, 13), (10, 10), (10, 13), (8, 11), (8, 12)):
        put(x, y, ARROW_EDGE)
    return px


def png(pixels):
    raw = b"".join(b"\x00" + b"".join(bytes(p) for p in row) for row in pixels)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: draw_icon.py OUTPUT.png")
    with open(sys.argv[1], "wb") as out:
        out.write(png(draw()))


if __name__ == "__main__":
    main()
