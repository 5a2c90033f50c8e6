#!/usr/bin/env python3
"""Draws Mavris' artwork and writes it as Windows BMP and ICO files.

The resource script takes the picture strips of the dialogs, the one-pixel rule
lines and the two icons from the files written here:

    main.bmp        154 x 256, main dialog strip          (bitmap 104)
    about.bmp       100 x 166, About box strip            (bitmap 105)
    scan.bmp        219 x 256, scan dialog strip          (bitmap 156)
    rule_short.bmp    1 x 166, short vertical rule        (bitmap 163)
    rule_tall.bmp     1 x 256, tall vertical rule         (bitmap 165)
    extra.bmp       100 x 168, Extra options strip        (bitmap 171)
    info.bmp        154 x 256, info dialog strip          (bitmap 175)
    app.ico         16/24/32/48 px, 256 colours           (icon 122)
    tray.ico        16/24/32/48 px, 16 colours            (icon 140)

Every bitmap is a 256-colour (8 bits per pixel) DIB with its own palette made
by median cut. The pixel sizes matter: a picture control in a dialog takes the
size of its image, and these sizes fill the strips laid out in dialog units of
"MS Sans Serif" 8 at 96 dpi.

Only the standard library is used; the files are written byte by byte so the
output is the same on every run.

Usage: make_images.py OUTPUT_DIR [--png-preview]
"""

import argparse
import math
import os
import struct
import sys

# ---------------------------------------------------------------------------
# Drawing: an RGBA float canvas, shapes given by signed distance functions and
# anti-aliased by their distance to the pixel centre.
# ---------------------------------------------------------------------------


def clamp01(v):
    return 0.0 if v < 0.0 else (1.0 if v > 1.0 else v)


def lerp(a, b, t):
    return a + (b - a) * t


def mix(c0, c1, t):
    return (lerp(c0[0], c1[0], t), lerp(c0[1], c1[1], t), lerp(c0[2], c1[2], t))


class Canvas:
    def __init__(self, width, height, colour=(0, 0, 0), alpha=1.0):
        self.w = width
        self.h = height
        n = width * height
        self.r = [float(colour[0])] * n
        self.g = [float(colour[1])] * n
        self.b = [float(colour[2])] * n
        self.a = [float(alpha)] * n

    def blend(self, x, y, colour, cover):
        if cover <= 0.0 or x < 0 or y < 0 or x >= self.w or y >= self.h:
            return
        i = y * self.w + x
        da = self.a[i]
        out_a = cover + da * (1.0 - cover)
        if out_a <= 0.0:
            return
        k = cover / out_a
        self.r[i] += (colour[0] - self.r[i]) * k
        self.g[i] += (colour[1] - self.g[i]) * k
        self.b[i] += (colour[2] - self.b[i]) * k
        self.a[i] = out_a

    def vgradient(self, stops, y0=0, y1=None):
        """Fills the canvas with a vertical gradient; stops are (t, colour)."""
        y1 = self.h if y1 is None else y1
        span = max(1, y1 - y0 - 1)
        for y in range(self.h):
            t = clamp01((y - y0) / span)
            c = gradient_at(stops, t)
            for x in range(self.w):
                i = y * self.w + x
                self.r[i], self.g[i], self.b[i] = c
                self.a[i] = 1.0

    def shape(self, sdf, bbox, paint, opacity=1.0, soft=1.0):
        """Paints the area where sdf < 0; paint is a colour or f(x, y)."""
        x0, y0, x1, y1 = bbox
        x0 = max(0, int(math.floor(x0)) - 1)
        y0 = max(0, int(math.floor(y0)) - 1)
        x1 = min(self.w, int(math.ceil(x1)) + 2)
        y1 = min(self.h, int(math.ceil(y1)) + 2)
        fixed = not callable(paint)
        for y in range(y0, y1):
            py = y + 0.5
            for x in range(x0, x1):
                px = x + 0.5
                cover = clamp01(0.5 - sdf(px, py) / soft) * opacity
                if cover > 0.0:
                    self.blend(x, y, paint if fixed else paint(px, py), cover)

    def pixel(self, x, y):
        i = y * self.w + x
        return (self.r[i], self.g[i], self.b[i], self.a[i])


def gradient_at(stops, t):
    if t <= stops[0][0]:
        return tuple(float(v) for v in stops[0][1])
    for (t0, c0), (t1, c1) in zip(stops, stops[1:]):
        if t <= t1:
            return mix(c0, c1, (t - t0) / (t1 - t0) if t1 > t0 else 0.0)
    return tuple(float(v) for v in stops[-1][1])


# Signed distance functions (negative inside), in pixel coordinates.


def sd_circle(cx, cy, r):
    return lambda x, y: math.hypot(x - cx, y - cy) - r


def sd_ellipse(cx, cy, rx, ry):
    # Not exact, but close enough near the edge for anti-aliasing.
    def f(x, y):
        dx = (x - cx) / rx
        dy = (y - cy) / ry
        d = math.hypot(dx, dy)
        return (d - 1.0) * min(rx, ry)

    return f


def sd_rbox(cx, cy, hw, hh, r):
    def f(x, y):
        qx = abs(x - cx) - hw + r
        qy = abs(y - cy) - hh + r
        return math.hypot(max(qx, 0.0), max(qy, 0.0)) + min(max(qx, qy), 0.0) - r

    return f


def sd_capsule(ax, ay, bx, by, r):
    vx, vy = bx - ax, by - ay
    ll = vx * vx + vy * vy

    def f(x, y):
        t = 0.0 if ll == 0 else clamp01(((x - ax) * vx + (y - ay) * vy) / ll)
        return math.hypot(x - ax - vx * t, y - ay - vy * t) - r

    return f


def sd_arc(cx, cy, radius, thick, a0, a1):
    """A ring segment with round caps from angle a0 to a1 (degrees, screen y down)."""
    r0, r1 = math.radians(a0), math.radians(a1)
    e0 = (cx + radius * math.cos(r0), cy + radius * math.sin(r0))
    e1 = (cx + radius * math.cos(r1), cy + radius * math.sin(r1))
    half = thick / 2.0

    def f(x, y):
        ang = math.atan2(y - cy, x - cx)
        # Bring the angle into the arc's turn.
        while ang < r0:
            ang += 2 * math.pi
        if ang <= r1:
            return abs(math.hypot(x - cx, y - cy) - radius) - half
        return min(math.hypot(x - e0[0], y - e0[1]), math.hypot(x - e1[0], y - e1[1])) - half

    return f


def sd_union(*fs):
    return lambda x, y: min(f(x, y) for f in fs)


def sd_subtract(a, b):
    return lambda x, y: max(a(x, y), -b(x, y))


# ---------------------------------------------------------------------------
# Motifs
# ---------------------------------------------------------------------------

WHITE = (255, 255, 255)
NAVY = (12, 36, 84)
DEEP = (18, 58, 120)
BLUE = (46, 104, 176)
SKY = (120, 170, 222)
SILVER = (214, 222, 232)
STEEL = (150, 164, 182)
SHADOW = (6, 20, 48)
GREEN = (70, 214, 96)
AMBER = (255, 176, 40)
ORANGE = (236, 136, 38)

# 5 x 7 capitals for the product name.
GLYPHS = {
    "M": ["10001", "11011", "10101", "10101", "10001", "10001", "10001"],
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "V": ["10001", "10001", "10001", "10001", "10001", "01010", "00100"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    "I": ["11111", "00100", "00100", "00100", "00100", "00100", "11111"],
    "S": ["01111", "10000", "10000", "01110", "00001", "00001", "11110"],
}


def draw_text(cv, text, cx, top, scale, colour, shadow=None):
    width = len(text) * 6 * scale - scale
    left = int(round(cx - width / 2.0))
    for dx, dy, col in ((1, 1, shadow), (0, 0, colour)):
        if col is None:
            continue
        for n, ch in enumerate(text):
            rows = GLYPHS[ch]
            for gy, row in enumerate(rows):
                for gx, bit in enumerate(row):
                    if bit != "1":
                        continue
                    for sy in range(scale):
                        for sx in range(scale):
                            cv.blend(left + (n * 6 + gx) * scale + sx + dx,
                                     top + gy * scale + sy + dy, col, 1.0)


def backdrop(cv, glow_y):
    """The strip background: deep blue falling to a lighter blue, with a soft glow."""
    cv.vgradient([(0.0, NAVY), (0.55, DEEP), (1.0, BLUE)])
    w, h = cv.w, cv.h
    # A wide soft light behind the motif.
    glow = sd_ellipse(w / 2.0, glow_y, w * 0.62, h * 0.22)
    cv.shape(glow, (0, glow_y - h * 0.3, w, glow_y + h * 0.3), SKY, opacity=0.22,
             soft=h * 0.12)
    # Two thin diagonal sheen bands, the house style of the strips.
    for off, op in ((0.18, 0.07), (0.30, 0.05)):
        band = sd_capsule(-w * 0.2, h * (off + 0.5), w * 1.2, h * off, 2.0)
        cv.shape(band, (0, 0, w, h), WHITE, opacity=op, soft=4.0)


def draw_modem(cv, cx, cy, width, dim=False):
    """A flat desktop modem: a rounded case with a top face and a row of lights."""
    hw = width / 2.0
    hh = width * 0.17
    body = (SILVER if not dim else STEEL)
    # Ground shadow.
    cv.shape(sd_ellipse(cx, cy + hh * 1.15, hw * 1.05, hh * 0.35),
             (cx - hw * 1.2, cy, cx + hw * 1.2, cy + hh * 1.8), SHADOW, opacity=0.45,
             soft=3.0)
    # Case with a vertical shade.
    top = cy - hh

    def shade(x, y):
        t = clamp01((y - top) / (2 * hh))
        return mix(WHITE if not dim else SILVER, body, t) if t < 0.45 else mix(body, STEEL,
                                                                               (t - 0.45) / 0.55)

    cv.shape(sd_rbox(cx, cy, hw, hh, hh * 0.55), (cx - hw, cy - hh, cx + hw, cy + hh), shade)
    # Front panel line.
    cv.shape(sd_capsule(cx - hw * 0.82, cy + hh * 0.25, cx + hw * 0.82, cy + hh * 0.25,
                        max(0.5, width * 0.008)),
             (cx - hw, cy, cx + hw, cy + hh), STEEL, opacity=0.9)
    # Lights.
    lights = [GREEN, GREEN, AMBER, GREEN, GREEN] if not dim else [STEEL] * 5
    r = max(1.2, width * 0.028)
    for k, col in enumerate(lights):
        lx = cx - hw * 0.55 + k * hw * 0.22
        ly = cy + hh * 0.62
        cv.shape(sd_circle(lx, ly, r * 2.2), (lx - 3 * r, ly - 3 * r, lx + 3 * r, ly + 3 * r),
                 col, opacity=0.25 if not dim else 0.0, soft=r)
        cv.shape(sd_circle(lx, ly, r), (lx - r, ly - r, lx + r, ly + r), col)


def draw_handset(cv, cx, cy, size, colour=WHITE, opacity=1.0):
    """A classic telephone receiver: an arched grip with ear and mouth pieces."""
    radius = size * 0.42
    thick = size * 0.16
    grip = sd_arc(cx, cy + radius * 0.55, radius, thick, -160.0, -20.0)
    pieces = []
    for ang, side in ((-160.0, -1.0), (-20.0, 1.0)):
        a = math.radians(ang)
        ex = cx + radius * math.cos(a)
        ey = cy + radius * 0.55 + radius * math.sin(a)
        # Each piece is a flat pad lying under the arc's end, reaching outward.
        py = ey + size * 0.1
        pieces.append(sd_capsule(ex - side * size * 0.04, py, ex + side * size * 0.12, py,
                                 thick * 0.72))
        pieces.append(sd_capsule(ex, ey, ex + side * size * 0.02, py, thick * 0.5))
    shape = sd_union(grip, *pieces)
    box = (cx - size * 0.7, cy - size * 0.4, cx + size * 0.7, cy + size * 0.7)
    cv.shape(lambda x, y: shape(x - 1.5, y - 1.5), box, SHADOW, opacity=0.35 * opacity, soft=2.0)
    cv.shape(shape, box, colour, opacity=opacity)


def draw_waves(cv, cx, cy, radius, count, colour, start=-125.0, end=-55.0, thick=1.6):
    for k in range(count):
        r = radius * (1.0 + 0.55 * k)
        cv.shape(sd_arc(cx, cy, r, thick, start, end),
                 (cx - r - 2, cy - r - 2, cx + r + 2, cy + 2), colour, opacity=0.85 - 0.2 * k)


def draw_magnifier(cv, cx, cy, r):
    lens = sd_circle(cx, cy, r)
    cv.shape(lens, (cx - r, cy - r, cx + r, cy + r), SKY, opacity=0.25)
    cv.shape(sd_arc(cx, cy, r, r * 0.22, -180.0, 180.0), (cx - r * 1.2, cy - r * 1.2,
                                                         cx + r * 1.2, cy + r * 1.2), WHITE)
    hx, hy = cx + r * 0.75, cy + r * 0.75
    cv.shape(sd_capsule(hx, hy, hx + r * 0.75, hy + r * 0.75, r * 0.17),
             (hx - r, hy - r, hx + r * 1.6, hy + r * 1.6), SILVER)
    # Highlight on the glass.
    cv.shape(sd_arc(cx, cy, r * 0.62, r * 0.1, -160.0, -110.0),
             (cx - r, cy - r, cx + r, cy + r), WHITE, opacity=0.7)


def draw_info_badge(cv, cx, cy, r):
    cv.shape(sd_circle(cx + 1.5, cy + 1.5, r), (cx - r, cy - r, cx + r + 3, cy + r + 3), SHADOW,
             opacity=0.35, soft=2.0)
    cv.shape(sd_circle(cx, cy, r), (cx - r, cy - r, cx + r, cy + r), ORANGE)
    cv.shape(sd_circle(cx, cy, r * 0.86), (cx - r, cy - r, cx + r, cy + r), WHITE, opacity=0.12)
    # The letter i.
    cv.shape(sd_circle(cx, cy - r * 0.45, r * 0.13), (cx - r, cy - r, cx + r, cy), WHITE)
    cv.shape(sd_rbox(cx, cy + r * 0.18, r * 0.11, r * 0.38, r * 0.05),
             (cx - r, cy - r * 0.3, cx + r, cy + r), WHITE)


def draw_keypad(cv, cx, cy, key, gap):
    labels_lit = {9, 11}  # the * and # keys of the service codes stand out
    for row in range(4):
        for col in range(3):
            n = row * 3 + col
            kx = cx + (col - 1) * (key + gap)
            ky = cy + (row - 1.5) * (key * 0.78 + gap)
            hw, hh = key / 2.0, key * 0.39
            colour = ORANGE if n in labels_lit else SILVER
            cv.shape(sd_rbox(kx + 1, ky + 1.5, hw, hh, hh * 0.5), (kx - hw, ky - hh, kx + hw + 2,
                                                                  ky + hh + 3), SHADOW,
                     opacity=0.4, soft=1.5)

            def shade(x, y, ky=ky, hh=hh, colour=colour):
                return mix(WHITE, colour, clamp01((y - ky + hh) / (2 * hh)) * 0.8 + 0.2)

            cv.shape(sd_rbox(kx, ky, hw, hh, hh * 0.5), (kx - hw, ky - hh, kx + hw, ky + hh),
                     shade)


def strip_main(w, h, with_name=True, info=False):
    cv = Canvas(w, h)
    backdrop(cv, h * 0.55)
    if with_name:
        scale = 2 if w >= 140 else 1
        draw_text(cv, "MAVRIS", w / 2.0, int(h * 0.07), scale, WHITE, SHADOW)
        cv.shape(sd_capsule(w * 0.25, h * 0.07 + 9 * scale + 4, w * 0.75, h * 0.07 + 9 * scale + 4,
                            0.5), (0, 0, w, h * 0.3), SKY, opacity=0.8)
    if info:
        draw_modem(cv, w / 2.0, h * 0.66, w * 0.7, dim=True)
        draw_info_badge(cv, w / 2.0, h * 0.43, w * 0.15)
    else:
        draw_handset(cv, w / 2.0, h * 0.36, w * 0.5)
        draw_waves(cv, w / 2.0, h * 0.64, w * 0.09, 3, SKY)
        draw_modem(cv, w / 2.0, h * 0.72, w * 0.7)
    return cv


def strip_scan(w, h):
    cv = Canvas(w, h)
    backdrop(cv, h * 0.58)
    draw_text(cv, "MAVRIS", w / 2.0, int(h * 0.07), 2, WHITE, SHADOW)
    draw_modem(cv, w * 0.45, h * 0.68, w * 0.55)
    draw_waves(cv, w * 0.45, h * 0.6, w * 0.06, 3, SKY)
    draw_magnifier(cv, w * 0.64, h * 0.43, w * 0.13)
    return cv


def strip_extra(w, h):
    cv = Canvas(w, h)
    backdrop(cv, h * 0.55)
    draw_text(cv, "MAVRIS", w / 2.0, int(h * 0.07), 1, WHITE, SHADOW)
    draw_keypad(cv, w / 2.0, h * 0.56, w * 0.2, w * 0.05)
    return cv


def rule(h):
    """The one-pixel rule beside a strip: grey, darkest in the middle, fading at the ends."""
    cv = Canvas(1, h)
    for y in range(h):
        t = y / (h - 1)
        fade = min(1.0, t / 0.08, (1.0 - t) / 0.08)
        c = mix((212, 208, 200), (96, 104, 120), fade)
        cv.r[y], cv.g[y], cv.b[y] = c
    return cv


def icon_app(size):
    cv = Canvas(size, size, alpha=0.0)
    s = float(size)
    # A rounded blue tile with the receiver over a modem.
    def tile(x, y):
        return mix((70, 130, 204), NAVY, clamp01(y / s))

    cv.shape(sd_rbox(s / 2, s / 2, s / 2 - 0.5, s / 2 - 0.5, s * 0.2), (0, 0, s, s), tile)
    draw_handset(cv, s / 2, s * 0.3, s * 0.62)
    body = sd_rbox(s / 2, s * 0.74, s * 0.36, s * 0.11, s * 0.08)
    cv.shape(body, (0, s * 0.55, s, s), SILVER)
    r = max(0.7, s * 0.035)
    for k, col in enumerate((GREEN, AMBER, GREEN)):
        lx = s * (0.36 + 0.14 * k)
        cv.shape(sd_circle(lx, s * 0.76, r), (lx - 2, s * 0.7, lx + 2, s * 0.82), col)
    return cv


def icon_tray(size):
    # Drawn for sixteen colours: flat areas, no soft shadows.
    cv = Canvas(size, size, alpha=0.0)
    s = float(size)
    draw_handset(cv, s / 2, s * 0.28, s * 0.7, colour=(0, 0, 128), opacity=1.0)
    # Replace the soft shadow the handset draws with nothing: clear faint pixels.
    for i in range(size * size):
        if cv.a[i] < 0.5:
            cv.a[i] = 0.0
    cv.shape(sd_rbox(s / 2, s * 0.76, s * 0.42, s * 0.15, s * 0.1), (0, s * 0.55, s, s),
             (192, 192, 192))
    cv.shape(sd_capsule(s * 0.14, s * 0.62, s * 0.86, s * 0.62, max(0.5, s * 0.03)),
             (0, s * 0.55, s, s * 0.7), (0, 0, 128))
    r = max(0.8, s * 0.05)
    for k in range(3):
        lx = s * (0.32 + 0.18 * k)
        cv.shape(sd_circle(lx, s * 0.8, r), (lx - 3, s * 0.7, lx + 3, s * 0.9),
                 (0, 255, 0) if k != 1 else (255, 255, 0))
    return cv


# ---------------------------------------------------------------------------
# Colour reduction
# ---------------------------------------------------------------------------


def to_bytes(c):
    return tuple(int(round(max(0.0, min(255.0, v)))) for v in c)


def median_cut(hist, count):
    """hist: dict colour -> pixel count. Returns (palette, colour -> palette index)."""
    boxes = [sorted(hist.items())]
    while len(boxes) < count:
        best = None
        best_score = -1
        for n, box in enumerate(boxes):
            if len(box) < 2:
                continue
            ranges = [max(c[k] for c, _ in box) - min(c[k] for c, _ in box) for k in range(3)]
            weight = sum(w for _, w in box)
            score = max(ranges) * math.sqrt(weight)
            if score > best_score:
                best, best_score = n, score
        if best is None:
            break
        box = boxes.pop(best)
        ranges = [max(c[k] for c, _ in box) - min(c[k] for c, _ in box) for k in range(3)]
        axis = ranges.index(max(ranges))
        box.sort(key=lambda e: (e[0][axis], e[0]))
        total = sum(w for _, w in box)
        acc = 0
        cut = 1
        for i, (_, w) in enumerate(box):
            acc += w
            if acc * 2 >= total:
                cut = max(1, min(len(box) - 1, i + 1))
                break
        boxes.insert(best, box[cut:])
        boxes.insert(best, box[:cut])
    palette = []
    lookup = {}
    for box in boxes:
        weight = sum(w for _, w in box)
        avg = tuple(int(round(sum(c[k] * w for c, w in box) / weight)) for k in range(3))
        for c, _ in box:
            lookup[c] = len(palette)
        palette.append(avg)
    return palette, lookup


def quantise(cv, reserve_black=False):
    """Reduces the canvas to at most 256 colours; transparent pixels use index 0."""
    colours = []
    hist = {}
    for i in range(cv.w * cv.h):
        if cv.a[i] < 0.5:
            colours.append(None)
            continue
        c = to_bytes((cv.r[i], cv.g[i], cv.b[i]))
        colours.append(c)
        hist[c] = hist.get(c, 0) + 1
    limit = 255 if reserve_black else 256
    if not hist:
        hist[(0, 0, 0)] = 1
    palette, lookup = median_cut(hist, limit)
    offset = 0
    if reserve_black:
        palette = [(0, 0, 0)] + palette
        offset = 1
    palette += [(0, 0, 0)] * (256 - len(palette))
    indices = bytearray(0 if c is None else lookup[c] + offset for c in colours)
    return palette, indices


VGA16 = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
         (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0),
         (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]


def quantise_vga(cv):
    indices = bytearray()
    for i in range(cv.w * cv.h):
        if cv.a[i] < 0.5:
            indices.append(0)
            continue
        c = to_bytes((cv.r[i], cv.g[i], cv.b[i]))
        best = min(range(16), key=lambda k: sum((c[j] - VGA16[k][j]) ** 2 for j in range(3)))
        indices.append(best)
    return VGA16, indices


# ---------------------------------------------------------------------------
# File formats
# ---------------------------------------------------------------------------


def dib_rows(width, height, indices, bits):
    """Packs palette indices into bottom-up DIB rows padded to 4 bytes."""
    stride = ((width * bits + 31) // 32) * 4
    out = bytearray()
    for y in range(height - 1, -1, -1):
        row = bytearray(stride)
        for x in range(width):
            v = indices[y * width + x]
            if bits == 8:
                row[x] = v
            elif bits == 4:
                row[x // 2] |= (v & 0x0F) << (4 if x % 2 == 0 else 0)
            elif bits == 1:
                if v:
                    row[x // 8] |= 0x80 >> (x % 8)
        out += row
    return bytes(out)


def palette_bytes(palette):
    return b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)


def info_header(width, height, bits, image_size, colours_used):
    # BITMAPINFOHEADER: 40 bytes, BI_RGB, 96 dpi (3780 pixels per metre).
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, image_size, 3780, 3780,
                       colours_used, 0)


def bmp_file(cv):
    palette, indices = quantise(cv)
    pixels = dib_rows(cv.w, cv.h, indices, 8)
    header = info_header(cv.w, cv.h, 8, len(pixels), 256)
    pal = palette_bytes(palette)
    offset = 14 + len(header) + len(pal)
    size = offset + len(pixels)
    return struct.pack("<2sIHHI", b"BM", size, 0, 0, offset) + header + pal + pixels


def ico_file(canvases, bits):
    images = []
    for cv in canvases:
        if bits == 8:
            palette, indices = quantise(cv, reserve_black=True)
        else:
            palette, indices = quantise_vga(cv)
        mask = bytearray(1 if cv.a[i] < 0.5 else 0 for i in range(cv.w * cv.h))
        xor = dib_rows(cv.w, cv.h, indices, bits)
        andm = dib_rows(cv.w, cv.h, mask, 1)
        header = info_header(cv.w, cv.h * 2, bits, len(xor) + len(andm), 0)
        images.append((cv.w, cv.h, len(palette), header + palette_bytes(palette) + xor + andm))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for w, h, ncol, data in images:
        out += struct.pack("<BBBBHHII", w % 256, h % 256, 0 if ncol >= 256 else ncol, 0, 1, bits,
                           len(data), offset)
        offset += len(data)
    for _, _, _, data in images:
        out += data
    return out


# ---------------------------------------------------------------------------
# Optional PNG preview (for looking at the artwork while drawing it)
# ---------------------------------------------------------------------------


def png_file(cv):
    import zlib

    raw = bytearray()
    for y in range(cv.h):
        raw.append(0)
        for x in range(cv.w):
            r, g, b, a = cv.pixel(x, y)
            raw += bytes(to_bytes((r, g, b))) + bytes([int(round(a * 255))])

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data +
                struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", cv.w, cv.h, 8, 6, 0, 0,
                                                              0)) +
            chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))


BITMAPS = {
    "main.bmp": (154, 256, lambda w, h: strip_main(w, h)),
    "about.bmp": (100, 166, lambda w, h: strip_main(w, h)),
    "scan.bmp": (219, 256, strip_scan),
    "rule_short.bmp": (1, 166, lambda w, h: rule(h)),
    "rule_tall.bmp": (1, 256, lambda w, h: rule(h)),
    "extra.bmp": (100, 168, strip_extra),
    "info.bmp": (154, 256, lambda w, h: strip_main(w, h, info=True)),
}

ICONS = {
    "app.ico": (8, icon_app),
    "tray.ico": (4, icon_tray),
}

ICON_SIZES = (16, 24, 32, 48)


def write_file(path, data):
    # Written aside and renamed, so an interrupted run leaves no half file behind.
    tmp = path + ".tmp"
    with open(tmp, "wb") as f:
        f.write(data)
    os.replace(tmp, path)


def main(argv):
    parser = argparse.ArgumentParser(description="Draws Mavris' bitmaps and icons.")
    parser.add_argument("outdir")
    parser.add_argument("--png-preview", action="store_true",
                        help="also write a PNG of every image for viewing")
    args = parser.parse_args(argv)
    os.makedirs(args.outdir, exist_ok=True)
    for name, (w, h, draw) in BITMAPS.items():
        cv = draw(w, h)
        assert (cv.w, cv.h) == (w, h), name
        write_file(os.path.join(args.outdir, name), bmp_file(cv))
        if args.png_preview:
            write_file(os.path.join(args.outdir, name[:-4] + ".png"), png_file(cv))
    for name, (bits, draw) in ICONS.items():
        canvases = [draw(s) for s in ICON_SIZES]
        write_file(os.path.join(args.outdir, name), ico_file(canvases, bits))
        if args.png_preview:
            for cv in canvases:
                write_file(os.path.join(args.outdir, "%s-%d.png" % (name[:-4], cv.w)),
                                 png_file(cv))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
