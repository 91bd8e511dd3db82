#!/usr/bin/env python3
"""Builds pictures 3 to 30 of Mervane's image store from the Tango icon theme.

The Tango icons are in the public domain (resources/images/TANGO-COPYRIGHT). Debian packages
them as tango-icon-theme; install it, run this script and commit the PNG files:

    apt-get install tango-icon-theme
    python3 tools/make_images.py /usr/share/icons/Tango resources/images

Most pictures are one Tango icon as it stands; the sort-order page icon and the download-mark
illustration are composed from two or three. The window prefers the desktop's own theme icon
where one exists; these are what it shows otherwise.
"""

import struct
import sys
import zlib

# number -> (size, Tango icon) for the pictures taken as they are.
PLAIN = {
    3: (32, "actions/document-open"),
    4: (32, "actions/folder-new"),
    5: (32, "actions/go-next"),
    6: (32, "apps/system-file-manager"),
    7: (32, "actions/edit-find"),
    8: (32, "mimetypes/x-office-calendar"),
    9: (32, "actions/appointment-new"),
    10: (32, "actions/document-properties"),
    11: (32, "actions/edit-cut"),
    12: (32, "actions/edit-find-replace"),
    13: (32, "mimetypes/text-x-generic-template"),
    15: (32, "apps/internet-web-browser"),
    16: (32, "apps/accessories-text-editor"),
    17: (32, "status/folder-drag-accept"),
    18: (32, "actions/list-add"),
    19: (32, "mimetypes/x-office-calendar"),
    20: (32, "actions/go-last"),
    21: (32, "actions/go-first"),
    22: (32, "mimetypes/text-x-generic"),
    23: (32, "devices/drive-harddisk"),
    24: (32, "actions/view-refresh"),
    25: (32, "actions/list-remove"),
    26: (32, "actions/edit-undo"),
    28: (32, "actions/go-next"),
    29: (32, "actions/go-up"),
    30: (32, "actions/go-down"),
}


def read_png(path):
    with open(path, "rb") as f:
        data = f.read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", path
    pos = 8
    idat = b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
            assert depth == 8 and colour == 6 and interlace == 0, (path, depth, colour)
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    raw = zlib.decompress(idat)
    stride = width * 4
    rows = []
    previous = bytearray(stride)
    i = 0
    for _ in range(height):
        kind = raw[i]
        line = bytearray(raw[i + 1:i + 1 + stride])
        i += 1 + stride
        for x in range(stride):
            a = line[x - 4] if x >= 4 else 0
            b = previous[x]
            c = previous[x - 4] if x >= 4 else 0
            if kind == 1:
                line[x] = (line[x] + a) & 255
            elif kind == 2:
                line[x] = (line[x] + b) & 255
            elif kind == 3:
                line[x] = (line[x] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                pred = a if pa <= pb and pa <= pc else (b if pb <= pc else c)
                line[x] = (line[x] + pred) & 255
        rows.append(line)
        previous = line
    return width, height, rows


def blank(width, height):
    return width, height, [bytearray(width * 4) for _ in range(height)]


def paste(canvas, icon, left, top):
    """Draws icon over canvas (straight alpha, 'over' operator)."""
    cw, ch, crows = canvas
    iw, ih, irows = icon
    for y in range(ih):
        for x in range(iw):
            cx, cy = left + x, top + y
            if not (0 <= cx < cw and 0 <= cy < ch):
                continue
            s = irows[y][x * 4:x * 4 + 4]
            d = crows[cy][cx * 4:cx * 4 + 4]
            sa, da = s[3] / 255, d[3] / 255
            oa = sa + da * (1 - sa)
            if oa == 0:
                continue
            out = [round((s[k] * sa + d[k] * da * (1 - sa)) / oa) for k in range(3)]
            crows[cy][cx * 4:cx * 4 + 4] = bytes(out + [round(oa * 255)])


def write_png(path, image):
    width, height, rows = image
    raw = b"".join(b"\x00" + bytes(row) for row in rows)

    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(
            ">I", zlib.crc32(kind + body) & 0xFFFFFFFF)

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)))
        f.write(chunk(b"IDAT", zlib.compress(raw, 9)))
        f.write(chunk(b"IEND", b""))


def main(theme, out):
    def icon(size, name):
        return read_png(f"{theme}/{size}x{size}/{name}.png")

    for number, (size, name) in PLAIN.items():
        write_png(f"{out}/image{number:02d}.png", icon(size, name))

    # 14, sort order: lines of a list with a downward arrow over their lower right corner.
    sort = blank(32, 32)
    paste(sort, icon(32, "actions/format-justify-left"), 0, 0)
    paste(sort, icon(16, "actions/go-down"), 16, 16)
    write_png(f"{out}/image14.png", sort)

    # 27, download mark: a page that came from the web, marked with the warning sign.
    mark = blank(68, 50)
    paste(mark, icon(32, "apps/internet-web-browser"), 0, 2)
    paste(mark, icon(16, "actions/go-next"), 28, 18)
    paste(mark, icon(32, "mimetypes/text-x-generic"), 36, 14)
    paste(mark, icon(16, "status/dialog-warning"), 52, 34)
    write_png(f"{out}/image27.png", mark)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
