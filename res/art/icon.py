#!/usr/bin/env python3
"""Draw the VORMEL launcher icon (32 x 32, 16 colours) and write it as a
classic Windows ICO: ICONDIR + one ICONDIRENTRY + BITMAPINFOHEADER
(height doubled), 16-entry palette, 4-bpp XOR bitmap and 1-bpp AND mask.

Usage: icon.py OUT.ico [PREVIEW.ppm]
Pure standard library, fully deterministic.
"""
import math
import struct
import sys

N = 32

PALETTE = [
    (0, 0, 0),          # 0  black (also behind transparent pixels)
    (26, 52, 40),       # 1  tile outline
    (40, 90, 50),       # 2  dark green (shadow side)
    (70, 134, 62),      # 3  green
    (118, 176, 78),     # 4  light green
    (178, 212, 116),    # 5  pale green (sunlit top)
    (206, 164, 80),     # 6  ochre field
    (236, 212, 138),    # 7  wheat field
    (112, 78, 44),      # 8  contour brown
    (24, 66, 136),      # 9  deep blue
    (52, 118, 200),     # 10 blue
    (150, 204, 240),    # 11 light blue (river glint)
    (250, 248, 236),    # 12 off-white
    (96, 108, 96),      # 13 grey-green
    (186, 76, 56),      # 14 roof red
    (156, 196, 96),     # 15 meadow
]


def rrect_sd(x, y, x0, y0, x1, y1, rad):
    cx, cy = (x0 + x1) / 2.0, (y0 + y1) / 2.0
    hx, hy = (x1 - x0) / 2.0 - rad, (y1 - y0) / 2.0 - rad
    qx = abs(x - cx) - hx
    qy = abs(y - cy) - hy
    ox, oy = max(qx, 0.0), max(qy, 0.0)
    return math.hypot(ox, oy) + min(max(qx, qy), 0.0) - rad


def bezier(p0, p1, p2, n=200):
    pts = []
    for i in range(n + 1):
        t = i / n
        a, b, c = (1 - t) ** 2, 2 * (1 - t) * t, t * t
        pts.append((a * p0[0] + b * p1[0] + c * p2[0],
                    a * p0[1] + b * p1[1] + c * p2[1]))
    return pts


RIVER = bezier((-1.0, 17.0), (15.0, 17.5), (17.0, 33.0))


def river_dist(x, y):
    return min(math.hypot(x - px, y - py) for px, py in RIVER)


def height(x, y):
    # one big hill to the upper right, a smaller shoulder to the left
    h1 = math.exp(-(((x - 19.5) / 9.0) ** 2 + ((y - 12.0) / 7.5) ** 2))
    h2 = 0.45 * math.exp(-(((x - 8.0) / 5.0) ** 2 + ((y - 8.0) / 4.5) ** 2))
    return h1 + h2


def draw():
    idx = [[0] * N for _ in range(N)]
    opaque = [[False] * N for _ in range(N)]
    for y in range(N):
        for x in range(N):
            px, py = x + 0.5, y + 0.5
            sd = rrect_sd(px, py, 0.5, 0.5, 31.5, 31.5, 6.0)
            if sd > 0.35:
                continue                      # transparent corner
            opaque[y][x] = True
            if sd > -1.0:
                idx[y][x] = 1                 # outline
                continue
            h = height(px, py)
            lvl = int(h / 0.25)
            # level boundaries become contour lines
            nb = [height(px + 1, py), height(px, py + 1)]
            contour = any(int(v / 0.25) != lvl for v in nb)
            # light from the upper left
            gx = height(px + 0.5, py) - height(px - 0.5, py)
            gy = height(px, py + 0.5) - height(px, py - 0.5)
            lit = -(gx + gy)
            if lvl >= 3:
                c = 5 if lit > -0.02 else 4
            elif lvl >= 2:
                c = 4 if lit > 0.02 else (3 if lit > -0.05 else 2)
            elif lvl >= 1:
                c = 3 if lit > 0.0 else 2
            else:
                # lowland patchwork fields
                fx, fy = int((px + py * 0.3) // 6), int(py // 5)
                c = [15, 7, 4, 6, 15, 7][(fx * 3 + fy * 5) % 6]
            if contour and h > 0.12:
                c = 8
            d = river_dist(px, py)
            if d < 2.3:
                c = 10
                if d < 0.75:
                    c = 11
            elif d < 3.1:
                c = 9
            # a tiny village with red roofs by the river
            for (hx, hy) in ((22, 22), (26, 21), (25, 25)):
                if hx <= x <= hx + 1 and hy <= y <= hy + 1:
                    c = 14 if (x, y) != (hx + 1, hy + 1) else 8
            idx[y][x] = c
    return idx, opaque


def write_ico(path, idx, opaque):
    xor_rows = []
    and_rows = []
    for y in range(N - 1, -1, -1):            # bottom-up
        row = bytearray()
        for x in range(0, N, 2):
            a = idx[y][x] if opaque[y][x] else 0
            b = idx[y][x + 1] if opaque[y][x + 1] else 0
            row.append((a << 4) | b)
        xor_rows.append(bytes(row))           # 16 bytes, already 4-aligned
        mrow = bytearray(4)
        for x in range(N):
            if not opaque[y][x]:
                mrow[x // 8] |= 0x80 >> (x % 8)
        and_rows.append(bytes(mrow))
    xor = b"".join(xor_rows)
    andm = b"".join(and_rows)
    pal = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    bih = struct.pack("<IiiHHIIiiII", 40, N, 2 * N, 1, 4, 0,
                      len(xor) + len(andm), 0, 0, 16, 0)
    image = bih + pal + xor + andm
    icondir = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", N, N, 16, 0, 1, 4, len(image), 6 + 16)
    with open(path, "wb") as f:
        f.write(icondir + entry + image)


def write_preview(path, idx, opaque):
    # transparent pixels shown as a light checkerboard
    buf = bytearray()
    for y in range(N):
        for x in range(N):
            if opaque[y][x]:
                buf += bytes(PALETTE[idx[y][x]])
            else:
                buf += bytes((220, 220, 220) if (x // 4 + y // 4) % 2 else (255, 255, 255))
    with open(path, "wb") as f:
        f.write(b"P6\n%d %d\n255\n" % (N, N) + bytes(buf))


if __name__ == "__main__":
    idx, opaque = draw()
    write_ico(sys.argv[1], idx, opaque)
    if len(sys.argv) > 2:
        write_preview(sys.argv[2], idx, opaque)
