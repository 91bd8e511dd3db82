#!/usr/bin/env python3
"""Draws Mervane's program icon: the 16 x 16 picture the program carries, and the same picture
as a scalable SVG and as PNG files of the usual sizes for the hicolor icon theme.

The icon is our own: a teal rounded tile with two stacked pages (a batch of files) and an
orange arrow (they are processed). The 16 x 16 picture is drawn pixel by pixel; the larger
sizes come from a drawing on the same 16-unit grid, in the same colours, with outlines thinner
than one pixel of the small picture. The SVG holds exactly the polygons the PNG files are
rendered from. Run it after changing the drawing and commit what it writes:

    python3 tools/draw_icon.py resources

It writes resources/images/icon16.png and resources/icons/hicolor/*/apps/APP_ID.{png,svg}.
Nothing but the Python standard library is needed, and the output is the same on every run.
"""

import math
import os
import struct
import sys
import zlib

APP_ID = "org.example.mervane"
SIZE = 16
SIZES = (22, 24, 32, 48, 64, 128, 256, 512)

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
    """The 16 x 16 picture, pixel by pixel."""
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


# ---- The drawing for the larger sizes: polygons on the 16-unit grid, painted in order ----

def rounded_rect(x0, y0, x1, y1, radius, steps=12):
    """A rectangle whose corners are quarter circles, as a polygon (clockwise on screen)."""
    points = []
    corners = ((x1 - radius, y0 + radius, -90), (x1 - radius, y1 - radius, 0),
               (x0 + radius, y1 - radius, 90), (x0 + radius, y0 + radius, 180))
    for cx, cy, start in corners:
        for i in range(steps + 1):
            angle = math.radians(start + 90 * i / steps)
            points.append((cx + radius * math.cos(angle), cy + radius * math.sin(angle)))
    return points


def rect(x0, y0, x1, y1):
    return [(x0, y0), (x1, y0), (x1, y1), (x0, y1)]


def grown(points, distance):
    """The polygon moved outwards by `distance` along each edge (mitred corners)."""
    count = len(points)
    if signed_area(points) < 0:
        distance = -distance
    result = []
    for i in range(count):
        px, py = points[i - 1]
        cx, cy = points[i]
        nx, ny = points[(i + 1) % count]
        # Outward normals of the two edges at this corner.
        n1 = normal(px, py, cx, cy)
        n2 = normal(cx, cy, nx, ny)
        bx, by = n1[0] + n2[0], n1[1] + n2[1]
        length = math.hypot(bx, by)
        bx, by = bx / length, by / length
        scale = distance / (bx * n1[0] + by * n1[1])
        result.append((cx + bx * scale, cy + by * scale))
    return result


def normal(x0, y0, x1, y1):
    """The normal to the left of the edge as seen on screen (y down): outwards for points
    that run clockwise there."""
    dx, dy = x1 - x0, y1 - y0
    length = math.hypot(dx, dy)
    return (dy / length, -dx / length)


def signed_area(points):
    """Positive for points that run clockwise on screen."""
    return sum(points[i - 1][0] * points[i][1] - points[i][0] * points[i - 1][1]
               for i in range(len(points))) / 2.0


def shapes():
    """(colour, polygon) in painting order."""
    front = [(3.5, 4.5), (9.2, 4.5), (10.5, 5.8), (10.5, 13.5), (3.5, 13.5)]
    fold = [(9.2, 4.5), (10.5, 5.8), (9.2, 5.8)]
    arrow = [(8.8, 11.1), (11.5, 11.1), (11.5, 9.3), (14.2, 12.0), (11.5, 14.7), (11.5, 12.9),
             (8.8, 12.9)]
    arrow_edge = grown(arrow, 0.55)
    result = [
        (TILE_EDGE, rounded_rect(0, 0, 16, 16, 2.5)),
        (TILE, rounded_rect(0.8, 0.8, 15.2, 15.2, 1.8)),
        (PAGE_EDGE, rect(5, 2, 13, 11)),
        (PAGE_BACK, rect(5.5, 2.5, 12.5, 10.5)),
        (PAGE_EDGE, grown(front, 0.5)),
        (PAGE, front),
        (PAGE_EDGE, grown(fold, 0.25)),
        (PAGE_BACK, fold),
    ]
    for y in (7, 9, 11):
        result.append((LINE, rect(5, y, 9, y + 1)))
    result.append((ARROW_EDGE, arrow_edge))
    result.append((ARROW, arrow))
    return result


def svg():
    lines = ['<?xml version="1.0" encoding="UTF-8"?>',
             '<svg xmlns="http://www.w3.org/2000/svg" width="16" height="16" '
             'viewBox="0 0 16 16" version="1.1">',
             '  <title>Mervane</title>']
    for colour, points in shapes():
        path = " ".join("%s%s,%s" % ("M" if i == 0 else "L", number(x), number(y))
                        for i, (x, y) in enumerate(points))
        lines.append('  <path fill="#%02x%02x%02x" d="%s Z"/>' % (colour[0], colour[1],
                                                                  colour[2], path))
    lines.append("</svg>")
    return "\n".join(lines) + "\n"


def number(value):
    text = "%.3f" % value
    text = text.rstrip("0").rstrip(".")
    return "0" if text in ("-0", "") else text


def coverage(points, size):
    """How much of each pixel the polygon covers (0..1), as rows, with its box: exact areas by
    the signed-area accumulation that font rasterisers use."""
    scale = size / 16.0
    pts = [(x * scale, y * scale) for x, y in points]
    left = max(0, int(math.floor(min(p[0] for p in pts))))
    right = min(size, int(math.ceil(max(p[0] for p in pts))))
    top = max(0, int(math.floor(min(p[1] for p in pts))))
    bottom = min(size, int(math.ceil(max(p[1] for p in pts))))
    width = right - left + 2
    acc = [[0.0] * width for _ in range(bottom - top)]
    for i in range(len(pts)):
        x0, y0 = pts[i - 1]
        x1, y1 = pts[i]
        add_line(acc, x0 - left, y0 - top, x1 - left, y1 - top, width)
    rows = []
    for row in acc:
        total = 0.0
        out = []
        for value in row[:width - 1]:
            total += value
            out.append(min(1.0, abs(total)))
        rows.append(out)
    return left, top, rows


def add_line(acc, x0, y0, x1, y1, width):
    if y0 == y1:
        return
    direction = 1.0
    if y0 > y1:
        direction = -1.0
        x0, y0, x1, y1 = x1, y1, x0, y0
    dxdy = (x1 - x0) / (y1 - y0)
    x = x0
    height = len(acc)
    if y0 < 0:
        x -= y0 * dxdy
    for y in range(max(0, int(math.floor(y0))), min(height, int(math.ceil(y1)))):
        row = acc[y]
        dy = min(y + 1.0, y1) - max(float(y), y0)
        xnext = x + dxdy * dy
        d = dy * direction
        a, b = (x, xnext) if x < xnext else (xnext, x)
        a = max(0.0, a)
        b = min(width - 2.0, b)
        afloor = math.floor(a)
        ai = int(afloor)
        bi = int(math.ceil(b))
        if bi <= ai + 1:
            middle = 0.5 * (x + xnext) - afloor
            row[ai] += d - d * middle
            row[ai + 1] += d * middle
        else:
            s = 1.0 / (b - a)
            af = a - afloor
            a0 = 0.5 * s * (1.0 - af) ** 2
            bf = b - bi + 1.0
            am = 0.5 * s * bf * bf
            row[ai] += d * a0
            if bi == ai + 2:
                row[ai + 1] += d * (1.0 - a0 - am)
            else:
                a1 = s * (1.5 - af)
                row[ai + 1] += d * (a1 - a0)
                for xi in range(ai + 2, bi - 1):
                    row[xi] += d * s
                a2 = a1 + (bi - ai - 3) * s
                row[bi - 1] += d * (1.0 - a2 - am)
            row[bi] += d * am
        x = xnext


def render(size):
    """The drawing at `size` x `size` pixels, straight (not premultiplied) RGBA."""
    # Premultiplied floats while painting, one value per channel.
    canvas = [[[0.0, 0.0, 0.0, 0.0] for _ in range(size)] for _ in range(size)]
    for colour, points in shapes():
        left, top, rows = coverage(points, size)
        r, g, b = (c / 255.0 for c in colour[:3])
        for dy, row in enumerate(rows):
            line = canvas[top + dy]
            for dx, alpha in enumerate(row):
                if alpha <= 0.0 or left + dx >= size:
                    continue
                pixel = line[left + dx]
                keep = 1.0 - alpha
                pixel[0] = r * alpha + pixel[0] * keep
                pixel[1] = g * alpha + pixel[1] * keep
                pixel[2] = b * alpha + pixel[2] * keep
                pixel[3] = alpha + pixel[3] * keep
    result = []
    for line in canvas:
        row = []
        for r, g, b, a in line:
            if a <= 0.0:
                row.append(CLEAR)
                continue
            row.append((byte(r / a), byte(g / a), byte(b / a), byte(a)))
        result.append(row)
    return result


def byte(value):
    return max(0, min(255, int(round(value * 255.0))))


def png(pixels):
    height = len(pixels)
    width = len(pixels[0])
    raw = b"".join(b"\x00" + b"".join(bytes(p) for p in row) for row in pixels)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
            chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as out:
        out.write(data)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: draw_icon.py RESOURCES_FOLDER")
    root = sys.argv[1]
    write(os.path.join(root, "images", "icon16.png"), png(draw()))
    theme = os.path.join(root, "icons", "hicolor")
    write(os.path.join(theme, "scalable", "apps", APP_ID + ".svg"), svg().encode("utf-8"))
    for size in SIZES:
        folder = "%dx%d" % (size, size)
        write(os.path.join(theme, folder, "apps", APP_ID + ".png"), png(render(size)))


if __name__ == "__main__":
    main()
