#!/usr/bin/env python3
"""Paint the VORMEL launcher background: a stylised top-down terrain and
land-use map (relief shading, contour lines, rivers, field patchwork,
forest, a small town).  Pure standard library; writes a binary PPM.

Usage: terrain.py OUT.ppm [SCALE]
SCALE (a whole number, default 1) paints the same map SCALE times as large:
every place and size below is in pixels of the 500 x 363 design, and each
design pixel becomes SCALE x SCALE pixels painted for that size.
Deterministic: every random choice comes from fixed seeds.
"""
import math
import random
import sys
import bisect

S = int(sys.argv[2]) if len(sys.argv) > 2 else 1
W, H = 500 * S, 363 * S
SEED = 48151623


def clamp(v, lo=0.0, hi=1.0):
    return lo if v < lo else hi if v > hi else v


def smooth(t):
    return t * t * (3.0 - 2.0 * t)


def mix(a, b, t):
    return (a[0] + (b[0] - a[0]) * t,
            a[1] + (b[1] - a[1]) * t,
            a[2] + (b[2] - a[2]) * t)


def scale(c, f):
    return (c[0] * f, c[1] * f, c[2] * f)


# ----------------------------------------------------------------- noise
def value_noise(cell, seed):
    r = random.Random(seed)
    gw = int(W / cell) + 3
    gh = int(H / cell) + 3
    grid = [[r.random() for _ in range(gw)] for _ in range(gh)]
    xs = []
    for x in range(W):
        fx = x / cell
        ix = int(fx)
        xs.append((ix, smooth(fx - ix)))
    out = [0.0] * (W * H)
    for y in range(H):
        fy = y / cell
        iy = int(fy)
        ty = smooth(fy - iy)
        r0 = grid[iy]
        r1 = grid[iy + 1]
        base = y * W
        for x in range(W):
            ix, tx = xs[x]
            a = r0[ix] + (r0[ix + 1] - r0[ix]) * tx
            b = r1[ix] + (r1[ix + 1] - r1[ix]) * tx
            out[base + x] = a + (b - a) * ty
    return out


def fbm(cells, amps, seed):
    total = [0.0] * (W * H)
    norm = 0.0
    for i, (c, a) in enumerate(zip(cells, amps)):
        n = value_noise(c, seed + 101 * i)
        for k in range(W * H):
            total[k] += a * n[k]
        norm += a
    return [v / norm for v in total]


# ----------------------------------------------------------------- curves
def catmull(points, step=0.5):
    """Dense samples along a Catmull-Rom spline through points."""
    pts = [points[0]] + list(points) + [points[-1]]
    out = []
    for i in range(1, len(pts) - 2):
        p0, p1, p2, p3 = pts[i - 1], pts[i], pts[i + 1], pts[i + 2]
        seg = math.hypot(p2[0] - p1[0], p2[1] - p1[1])
        n = max(2, int(seg / step))
        for j in range(n):
            t = j / n
            t2, t3 = t * t, t * t * t
            x = 0.5 * ((2 * p1[0]) + (-p0[0] + p2[0]) * t +
                       (2 * p0[0] - 5 * p1[0] + 4 * p2[0] - p3[0]) * t2 +
                       (-p0[0] + 3 * p1[0] - 3 * p2[0] + p3[0]) * t3)
            y = 0.5 * ((2 * p1[1]) + (-p0[1] + p2[1]) * t +
                       (2 * p0[1] - 5 * p1[1] + 4 * p2[1] - p3[1]) * t2 +
                       (-p0[1] + 3 * p1[1] - 3 * p2[1] + p3[1]) * t3)
            out.append((x, y))
    out.append(points[-1])
    return out


def stamp(field, path, radius_fn, value=1.0):
    """Paint discs along a path into a W*H coverage field (max blend,
    anti-aliased edge)."""
    n = len(path)
    for i, (px, py) in enumerate(path):
        r = radius_fn(i / max(1, n - 1))
        x0 = max(0, int(px - r - 2))
        x1 = min(W - 1, int(px + r + 2))
        y0 = max(0, int(py - r - 2))
        y1 = min(H - 1, int(py + r + 2))
        for y in range(y0, y1 + 1):
            dy = y + 0.5 - py
            base = y * W
            for x in range(x0, x1 + 1):
                d = math.hypot(x + 0.5 - px, dy)
                cov = clamp(r + 0.5 - d) * value
                if cov > field[base + x]:
                    field[base + x] = cov


def distance_field(mask):
    """Two-pass chamfer distance (pixels) to the nearest mask>0.5 pixel."""
    INF = 1e9
    D = 1.0
    D2 = 1.41421356
    d = [0.0 if m > 0.5 else INF for m in mask]
    for y in range(H):
        base = y * W
        for x in range(W):
            k = base + x
            v = d[k]
            if v == 0.0:
                continue
            if x > 0 and d[k - 1] + D < v:
                v = d[k - 1] + D
            if y > 0:
                u = k - W
                if d[u] + D < v:
                    v = d[u] + D
                if x > 0 and d[u - 1] + D2 < v:
                    v = d[u - 1] + D2
                if x < W - 1 and d[u + 1] + D2 < v:
                    v = d[u + 1] + D2
            d[k] = v
    for y in range(H - 1, -1, -1):
        base = y * W
        for x in range(W - 1, -1, -1):
            k = base + x
            v = d[k]
            if v == 0.0:
                continue
            if x < W - 1 and d[k + 1] + D < v:
                v = d[k + 1] + D
            if y < H - 1:
                u = k + W
                if d[u] + D < v:
                    v = d[u] + D
                if x < W - 1 and d[u + 1] + D2 < v:
                    v = d[u + 1] + D2
                if x > 0 and d[u - 1] + D2 < v:
                    v = d[u - 1] + D2
            d[k] = v
    return d


def wiggle(points, amp, seed, step=0.5):
    """Meander a spline: sideways sine perturbation of dense samples."""
    r = random.Random(seed)
    dense = catmull(points, step / S)
    ph1, ph2 = r.random() * 6.28, r.random() * 6.28
    out = []
    s = 0.0
    for i, (x, y) in enumerate(dense):
        if i:
            s += math.hypot(x - dense[i - 1][0], y - dense[i - 1][1])
        j0 = max(0, i - 2)
        j1 = min(len(dense) - 1, i + 2)
        tx = dense[j1][0] - dense[j0][0]
        ty = dense[j1][1] - dense[j0][1]
        tl = math.hypot(tx, ty) or 1.0
        nx, ny = -ty / tl, tx / tl
        off = amp * (math.sin(s / 23.0 + ph1) * 0.7 + math.sin(s / 9.0 + ph2) * 0.3)
        out.append(((x + nx * off) * S, (y + ny * off) * S))
    return out


def scaled(points):
    return [(x * S, y * S) for (x, y) in points]


# ----------------------------------------------------------------- main
def main(out_path):
    rng = random.Random(SEED)

    # --- rivers ---------------------------------------------------------
    main_river = wiggle([(530, 112), (468, 132), (412, 176), (380, 226),
                         (318, 256), (238, 252), (168, 236), (104, 262),
                         (52, 304), (-30, 330)], 5.0, SEED + 1)
    tributary = wiggle([(18, -20), (40, 60), (74, 118), (120, 168),
                        (150, 212), (172, 240)], 3.5, SEED + 2)
    water = [0.0] * (W * H)
    stamp(water, main_river, lambda t: (4.2 + 2.6 * t) * S)
    stamp(water, tributary, lambda t: (1.6 + 1.2 * t) * S)
    # small lake fed by the tributary
    lake = [0.0] * (W * H)
    lcx, lcy = 72, 122
    for y in range(90 * S, 160 * S):
        for x in range(35 * S, 115 * S):
            dx = ((x + 0.5) / S - lcx) / 24.0
            dy = ((y + 0.5) / S - lcy) / 13.0
            ang = math.atan2(dy, dx)
            rr = 1.0 + 0.12 * math.sin(3 * ang + 1.0) + 0.07 * math.sin(5 * ang)
            d = math.hypot(dx, dy)
            cov = clamp((rr - d) * 14.0 * S)
            k = y * W + x
            if cov > water[k]:
                water[k] = cov
            lake[k] = cov
    dist = [d / S for d in distance_field(water)]

    # --- elevation --------------------------------------------------------
    base = fbm([150 * S, 75 * S, 38 * S, 19 * S, 9 * S], [1.0, 0.55, 0.28, 0.13, 0.05], SEED + 10)
    hills = [(92, 70, 120, 0.42), (455, 60, 110, 0.50), (250, 335, 90, 0.22),
             (300, 150, 70, 0.18), (20, 210, 80, 0.20)]
    h = [0.0] * (W * H)
    for y in range(H):
        for x in range(W):
            k = y * W + x
            b = 0.0
            for (hx, hy, hr, ha) in hills:
                q = ((x / S - hx) ** 2 + (y / S - hy) ** 2) / (hr * hr)
                b += ha * math.exp(-q)
            v = 0.55 * base[k] + b
            valley = math.exp(-dist[k] / 38.0)
            h[k] = v * (1.0 - 0.55 * valley) + 0.02
    lo, hi = min(h), max(h)
    h = [(v - lo) / (hi - lo) for v in h]

    # hillshade (light from the north-west)
    az = math.radians(315.0)
    alt = math.radians(42.0)
    lx = math.cos(alt) * math.sin(az)
    ly = -math.cos(alt) * math.cos(az)
    lz = math.sin(alt)
    Z = 95.0
    shade = [0.0] * (W * H)
    for y in range(H):
        ym = max(0, y - 1)
        yp = min(H - 1, y + 1)
        for x in range(W):
            xm = max(0, x - 1)
            xp = min(W - 1, x + 1)
            dzdx = (h[y * W + xp] - h[y * W + xm]) * Z * S / (xp - xm)
            dzdy = (h[yp * W + x] - h[ym * W + x]) * Z * S / (yp - ym)
            nx, ny, nz = -dzdx, -dzdy, 1.0
            nl = math.sqrt(nx * nx + ny * ny + nz * nz)
            shade[y * W + x] = clamp((nx * lx + ny * ly + nz * lz) / nl)
    flat = lz

    # --- land-use helpers -------------------------------------------------
    fine = value_noise(3 * S, SEED + 30)
    med = value_noise(14 * S, SEED + 31)
    forest_n = fbm([60 * S, 25 * S], [1.0, 0.5], SEED + 32)

    # field parcels: several zones with their own furrow direction
    zones = [(140, 310, 0.30), (300, 300, -0.18), (230, 190, 0.62),
             (420, 300, 0.10), (60, 230, -0.40), (390, 200, 0.85),
             (200, 120, 0.05)]
    zone_grids = []
    for zi, (zx, zy, ang) in enumerate(zones):
        zr = random.Random(SEED + 200 + zi)
        ca, sa = math.cos(ang), math.sin(ang)
        rows = [-700.0]
        v = -700.0
        while v < 700:
            v += zr.uniform(18, 34)
            rows.append(v)
        cells = []
        for _ in rows:
            cs = [-700.0]
            u = -700.0 + zr.uniform(0, 30)
            while u < 700:
                u += zr.uniform(22, 62)
                cs.append(u)
            cells.append(cs)
        zone_grids.append((zx, zy, ca, sa, rows, cells, zi))

    crop = [
        (128, 168, 78),   # young green crop
        (150, 184, 90),   # pasture
        (104, 146, 66),   # lush green
        (176, 194, 104),  # pale green
        (218, 192, 116),  # ripe wheat
        (204, 166, 92),   # ochre
        (230, 210, 142),  # stubble
        (170, 130, 86),   # ploughed soil
        (190, 176, 98),   # olive
        (120, 156, 92),   # grey-green
    ]
    crop_w = [3, 3, 2, 2, 3, 2, 2, 2, 2, 1]
    crop_pick = []
    for i, wgt in enumerate(crop_w):
        crop_pick += [i] * wgt

    def parcel(x, y):
        best = None
        bd = 1e18
        for g in zone_grids:
            zx, zy = g[0], g[1]
            d = (x - zx) ** 2 + (y - zy) ** 2
            if d < bd:
                bd = d
                best = g
        zx, zy, ca, sa, rows, cells, zi = best
        u = (x - zx) * ca + (y - zy) * sa
        v = -(x - zx) * sa + (y - zy) * ca
        ri = bisect.bisect_right(rows, v) - 1
        cs = cells[ri]
        ci = bisect.bisect_right(cs, u) - 1
        dv = min(v - rows[ri], rows[ri + 1] - v)
        du = min(u - cs[ci], cs[ci + 1] - u)
        return zi, ri, ci, u, v, du, dv

    # --- town -------------------------------------------------------------
    tcx, tcy = 372.0, 236.0
    t_ang = math.radians(24.0)
    tca, tsa = math.cos(t_ang), math.sin(t_ang)
    roof_cols = [(176, 86, 64), (196, 112, 80), (160, 72, 58), (150, 146, 140),
                 (186, 98, 70), (132, 128, 126)]

    TBU, TBV, TST = 17.0, 14.0, 2.4

    def town_shape(x, y):
        dx, dy = x - tcx, y - tcy
        ang = math.atan2(dy, dx)
        r = 52.0 + 8.0 * math.sin(3 * ang + 0.7) + 5.0 * math.sin(5 * ang + 2.0)
        return math.hypot(dx * 0.95, dy * 1.2) < r

    def town_at(x, y):
        # whole blocks only, so houses are never cut by the town edge
        dx, dy = x - tcx, y - tcy
        u = dx * tca + dy * tsa + 400.0
        v = -dx * tsa + dy * tca + 400.0
        cu = (u // TBU + 0.5) * TBU - 400.0
        cv = (v // TBV + 0.5) * TBV - 400.0
        bx = tcx + cu * tca - cv * tsa
        by = tcy + cu * tsa + cv * tca
        return town_shape(bx, by)

    # --- roads ------------------------------------------------------------
    roads = [scaled(catmull(p, 0.5 / S)) for p in [
        [(372, 236), (330, 206), (280, 188), (226, 170), (160, 150),
         (110, 150), (60, 170), (-10, 190)],
        [(372, 236), (400, 280), (420, 320), (448, 372)],
        [(372, 236), (420, 220), (470, 228), (520, 240)],
        [(372, 236), (352, 290), (300, 322), (250, 372)],
    ]]
    road = [0.0] * (W * H)
    road_edge = [0.0] * (W * H)
    for rp in roads:
        stamp(road_edge, rp, lambda t: 2.4 * S)
        stamp(road, rp, lambda t: 1.3 * S)

    # --- paint ------------------------------------------------------------
    img = [None] * (W * H)
    NL = 26.0
    for y in range(H):
        for x in range(W):
            xd, yd = x / S, y / S
            k = y * W + x
            e = h[k]
            s = shade[k]
            rel = s - flat      # -flat..(1-flat)
            fn = fine[k]
            mn = med[k]
            in_town = town_at(xd, yd)
            forest_lvl = 0.60 + 0.12 * (forest_n[k] - 0.5)
            is_forest = e > forest_lvl or (forest_n[k] > 0.66 and e > 0.40)
            riparian = 2.0 < dist[k] < 5.0 + 4.0 * mn and not in_town

            if in_town:
                dx, dy = xd - tcx, yd - tcy
                u = dx * tca + dy * tsa + 400.0
                v = -dx * tsa + dy * tca + 400.0
                bu, bv = u % TBU, v % TBV
                bi, bj = int(u // TBU), int(v // TBV)
                br = random.Random(bi * 7919 + bj * 104729 + SEED)
                kind = br.random()
                if bu < TST or bv < TST:
                    c = (206, 200, 186)                       # street
                elif kind < 0.07:
                    c = (214, 206, 190)                       # market square
                    a, b = bu - TST, bv - TST
                    if 4.0 < a < 10.0 and 3.5 < b < 8.5:
                        c = (120, 110, 108) if a < 7.0 else (90, 82, 82)  # church
                elif kind < 0.16:
                    c = mix((96, 140, 72), (126, 164, 88), fn)  # park
                else:
                    a, b = bu - TST, bv - TST
                    Au, Av = TBU - TST, TBV - TST
                    ring = min(a, Au - a, b, Av - b)
                    if ring < 4.3:
                        if min(a, Au - a) < min(b, Av - b):
                            side = 0 if a < Au - a else 1
                            pos = b
                        else:
                            side = 2 if b < Av - b else 3
                            pos = a
                        hidx = int(pos // 3.7)
                        hr_ = random.Random(bi * 7919 + bj * 104729 + side * 31 + hidx * 7 + SEED)
                        c = roof_cols[hr_.randrange(len(roof_cols))]
                        lit_side = side in (0, 2)
                        near_street = ring < 2.15
                        c = scale(c, 1.10 if near_street == lit_side else 0.80)
                        if (pos % 3.7) < 0.6:
                            c = scale(c, 0.85)               # gap between houses
                    else:
                        c = mix((120, 156, 86), (148, 176, 100), fn)  # yards
                c = scale(c, 0.92 + 0.16 * s)
            elif is_forest or riparian:
                g = 0.45 + 0.55 * fn
                dark = (40, 84, 46)
                light = (86, 132, 66)
                c = mix(dark, light, g)
                # tree crowns: bright dots with shadow
                if fn > 0.78:
                    c = mix(c, (112, 156, 82), 0.5)
                elif fn < 0.22:
                    c = scale(c, 0.78)
                c = scale(c, 0.62 + 0.78 * s)
            elif e > 0.50:
                # upland meadow / heath
                c = mix((150, 172, 98), (176, 186, 118), mn)
                c = mix(c, (196, 184, 140), clamp((e - 0.55) * 4.0) * 0.5)
                c = scale(c, 0.94 + 0.06 * fn)
                c = scale(c, 0.66 + 0.70 * s)
            else:
                zi, ri, ci, u, v, du, dv = parcel(xd + 0.5 / S, yd + 0.5 / S)
                pr = random.Random(zi * 100003 + ri * 1009 + ci * 13 + SEED)
                ci_ = crop_pick[pr.randrange(len(crop_pick))]
                c = crop[ci_]
                c = scale(c, 0.96 + 0.08 * pr.random())
                if ci_ in (4, 5, 6, 7, 8):
                    # furrow stripes
                    if int(u / 2.0) % 2 == 0:
                        c = scale(c, 0.93)
                else:
                    c = scale(c, 0.95 + 0.08 * mn)
                if dv < 1.1 and ri % 3 == 0:
                    c = (214, 204, 170)                       # farm track
                elif du < 0.9 or dv < 0.9:
                    c = mix(c, mix((70, 104, 56), (92, 128, 66), fn), 0.75)  # hedgerow
                c = scale(c, 0.78 + 0.42 * s)

            # contour lines (skip inside water and town)
            if x < W - 1 and y < H - 1 and not in_town:
                l0 = int(e * NL)
                l1 = int(h[k + 1] * NL)
                l2 = int(h[k + W] * NL)
                if l0 != l1 or l0 != l2:
                    lvl = max(l0, l1, l2)
                    strength = 0.55 if lvl % 5 == 0 else 0.30
                    c = mix(c, (112, 78, 44), strength)

            # roads over land
            re = road_edge[k]
            if re > 0.0:
                c = mix(c, (92, 80, 64), re * 0.8)
            rc = road[k]
            if rc > 0.0:
                c = mix(c, (246, 236, 200), rc)

            # water on top
            wv = water[k]
            if wv > 0.0 and rc < 0.5:
                deep = clamp(dist_inside(water, x, y) / 4.0)
                wc = mix((96, 152, 196), (52, 108, 170), deep)
                if lake[k] > 0.5:
                    ddx = (xd - lcx) / 24.0
                    ddy = (yd - lcy) / 13.0
                    wc = mix((92, 150, 196), (40, 96, 160),
                             clamp(1.0 - math.hypot(ddx, ddy)) * 1.2)
                c = mix(c, wc, wv)
            elif dist[k] < 1.6 and wv == 0.0 and rc < 0.5:
                c = mix(c, (58, 92, 110), 0.55)               # bank line
            img[k] = c

    # faint map graticule
    for y in range(H):
        for x in range(W):
            if (x // S - 10) % 70 == 0 or (y // S - 20) % 70 == 0:
                k = y * W + x
                img[k] = mix(img[k], (255, 255, 255), 0.16)

    decorate(img)
    write_ppm(out_path, img)


def box_blur(img, r):
    """Separable box blur, radius r, edge-clamped."""
    n = 2 * r + 1
    tmp = [None] * (W * H)
    for y in range(H):
        base = y * W
        for x in range(W):
            sr = sg = sb = 0.0
            for i in range(-r, r + 1):
                c = img[base + min(W - 1, max(0, x + i))]
                sr += c[0]
                sg += c[1]
                sb += c[2]
            tmp[base + x] = (sr / n, sg / n, sb / n)
    out = [None] * (W * H)
    for y in range(H):
        for x in range(W):
            sr = sg = sb = 0.0
            for i in range(-r, r + 1):
                c = tmp[min(H - 1, max(0, y + i)) * W + x]
                sr += c[0]
                sg += c[1]
                sb += c[2]
            out[y * W + x] = (sr / n, sg / n, sb / n)
    return out


def rrect_sd(x, y, x0, y0, x1, y1, rad):
    """Signed distance to a rounded rectangle (negative inside)."""
    cx, cy = (x0 + x1) / 2.0, (y0 + y1) / 2.0
    hx, hy = (x1 - x0) / 2.0 - rad, (y1 - y0) / 2.0 - rad
    qx = abs(x - cx) - hx
    qy = abs(y - cy) - hy
    ox, oy = max(qx, 0.0), max(qy, 0.0)
    return math.hypot(ox, oy) + min(max(qx, qy), 0.0) - rad


# Button panels. The launcher puts its buttons where its dialog template does with the
# Japanese system's dialog base units, 7 x 12, whatever the dialog font: x 142..359,
# y 151..186 and 270..304.
PANELS = [(130, 141, 371, 213), (130, 260, 371, 342)]
TITLE_BAND = 92


def fill(x0, y0, x1, y1, img, col):
    """Paint the design rectangle [x0, x1) x [y0, y1) in one colour."""
    for y in range(y0 * S, y1 * S):
        for x in range(x0 * S, x1 * S):
            img[y * W + x] = col


def decorate(img):
    # title band: deep blue-green fading into the map
    band = (14, 44, 56)
    for y in range(0, 132 * S):
        yd = y / S
        if yd < TITLE_BAND - 30:
            t = 0.90
        else:
            t = 0.90 * (1.0 - smooth(clamp((yd - (TITLE_BAND - 30)) / 70.0)))
        for x in range(W):
            k = y * W + x
            img[k] = mix(img[k], band, t)
    # thin accent rule under the title area
    for y in range((TITLE_BAND - 4) * S, (TITLE_BAND - 3) * S):
        for x in range(W):
            a = clamp(1.0 - abs(x / S - 250) / 250.0) ** 0.6 * 0.55
            k = y * W + x
            img[k] = mix(img[k], (196, 220, 150), a)

    # Outlines are one design pixel wide: the coverage of a pixel by a band of S pixels
    # along the inside of the edge (sd in design pixels).
    def edge_cover(sd):
        return clamp(0.5 * S + 0.5 - abs(sd * S + 0.5 * S))

    # calm panels behind the buttons
    soft = box_blur(box_blur(img, 3 * S), 3 * S)
    paper = (244, 241, 230)
    for (x0, y0, x1, y1) in PANELS:
        for y in range((y0 - 8) * S, (y1 + 10) * S):
            for x in range((x0 - 8) * S, (x1 + 10) * S):
                if not (0 <= x < W and 0 <= y < H):
                    continue
                k = y * W + x
                px, py = (x + 0.5) / S, (y + 0.5) / S
                sd = rrect_sd(px, py, x0, y0, x1, y1, 8.0)
                # soft drop shadow to the lower right
                sds = rrect_sd(px - 2.0, py - 3.0, x0, y0, x1, y1, 8.0)
                if sd > 0.0 and sds < 5.0:
                    img[k] = scale(img[k], 1.0 - 0.22 * clamp(1.0 - (sds + 1.0) / 6.0))
                cov = clamp(0.5 - sd * S)
                if cov > 0.0:
                    inner = mix(soft[k], paper, 0.78)
                    # very gentle vertical sheen
                    inner = mix(inner, (255, 255, 255), 0.10 * (1.0 - (py - y0) / (y1 - y0)))
                    img[k] = mix(img[k], inner, cov)
                edge = edge_cover(sd)
                if edge > 0.0:
                    img[k] = mix(img[k], (70, 92, 72), 0.55 * edge)

    # small legend plates for the scale bar and the north arrow
    for (x0, y0, x1, y1) in ((8, 328, 112, 356), (395, 314, 425, 355)):
        for y in range((y0 - 2) * S, min(H, (y1 + 2) * S)):
            for x in range((x0 - 2) * S, (x1 + 2) * S):
                k = y * W + x
                sd = rrect_sd((x + 0.5) / S, (y + 0.5) / S, x0, y0, x1, y1, 5.0)
                cov = clamp(0.5 - sd * S)
                if cov > 0.0:
                    img[k] = mix(img[k], mix(soft[k], paper, 0.80), cov)
                edge = edge_cover(sd)
                if edge > 0.0:
                    img[k] = mix(img[k], (70, 92, 72), 0.45 * edge)

    # scale bar, lower left
    sx0, sy0 = 16, 344
    ink = (40, 40, 36)
    for i in range(4):
        fill(sx0 + i * 20, sy0, sx0 + (i + 1) * 20, sy0 + 5, img,
             ink if i % 2 == 0 else (250, 248, 240))
    fill(sx0 - 1, sy0 - 1, sx0, sy0 + 6, img, ink)
    fill(sx0 + 80, sy0 - 1, sx0 + 81, sy0 + 6, img, ink)
    fill(sx0 - 1, sy0 - 1, sx0 + 81, sy0, img, ink)
    fill(sx0 - 1, sy0 + 5, sx0 + 81, sy0 + 6, img, ink)


_inside_cache = {}


def dist_inside(water, x, y):
    """Rough depth: distance to the nearest dry pixel (<= 5), in design pixels."""
    key = (x, y)
    if key in _inside_cache:
        return _inside_cache[key]
    best = 5.0 * S
    for dy in range(-5 * S, 5 * S + 1):
        yy = y + dy
        if yy < 0 or yy >= H:
            continue
        for dx in range(-5 * S, 5 * S + 1):
            xx = x + dx
            if xx < 0 or xx >= W:
                continue
            if water[yy * W + xx] < 0.5:
                d = math.hypot(dx, dy)
                if d < best:
                    best = d
    _inside_cache[key] = best / S
    return best / S


def write_ppm(path, img):
    buf = bytearray()
    for c in img:
        for ch in c:
            buf.append(max(0, min(255, int(ch + 0.5))))
    with open(path, "wb") as f:
        f.write(b"P6\n%d %d\n255\n" % (W, H))
        f.write(bytes(buf))


if __name__ == "__main__":
    main(sys.argv[1])
