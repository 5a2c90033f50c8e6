"""The motifs of Mavris' artwork: colours, the capitals of the product name, and the things
the picture strips and icons show (receiver, modem, waves, magnifier, badge, keypad).

Sizes are given by the caller; k is the number of pixels per pixel of the 96-dpi design, so
that soft edges, shadows and strokes keep their look at every scale."""

import math

from canvas import clamp01, mix, sd_arc, sd_capsule, sd_circle, sd_ellipse, sd_rbox, sd_union


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
    """The capitals in blocks of scale x scale pixels, with a shadow scale/2 pixels off."""
    width = len(text) * 6 * scale - scale
    left = int(round(cx - width / 2.0))
    off = max(1, scale // 2)
    for dx, dy, col in ((off, off, shadow), (0, 0, colour)):
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


def backdrop(cv, glow_y, sw, k):
    """The strip background: deep blue falling to a lighter blue, with a soft glow behind the
    motif (sw: the width the motif is laid out in)."""
    cv.vgradient([(0.0, NAVY), (0.55, DEEP), (1.0, BLUE)])
    w, h = cv.w, cv.h
    # A wide soft light behind the motif.
    glow = sd_ellipse(w / 2.0, glow_y, sw * 0.62, h * 0.22)
    cv.shape(glow, (0, glow_y - h * 0.3, w, glow_y + h * 0.3), SKY, opacity=0.22,
             soft=h * 0.12)
    # Two thin diagonal sheen bands, the house style of the strips: their slope follows the
    # motif's width, and they run on across whatever lies beside it.
    slope = -0.5 * h / (1.4 * sw)
    for off, op in ((0.18, 0.07), (0.30, 0.05)):
        def band_y(x, off=off):
            return h * (off + 0.25) + slope * (x - w / 2.0)

        band = sd_capsule(-0.1 * w, band_y(-0.1 * w), 1.1 * w, band_y(1.1 * w), 2.0 * k)
        cv.shape(band, (0, 0, w, h), WHITE, opacity=op, soft=4.0 * k)


def draw_modem(cv, cx, cy, width, k, dim=False):
    """A flat desktop modem: a rounded case with a top face and a row of lights."""
    hw = width / 2.0
    hh = width * 0.17
    body = (SILVER if not dim else STEEL)
    # Ground shadow.
    cv.shape(sd_ellipse(cx, cy + hh * 1.15, hw * 1.05, hh * 0.35),
             (cx - hw * 1.2, cy, cx + hw * 1.2, cy + hh * 1.8), SHADOW, opacity=0.45,
             soft=3.0 * k)
    # Case with a vertical shade.
    top = cy - hh

    def shade(x, y):
        t = clamp01((y - top) / (2 * hh))
        return mix(WHITE if not dim else SILVER, body, t) if t < 0.45 else mix(body, STEEL,
                                                                               (t - 0.45) / 0.55)

    cv.shape(sd_rbox(cx, cy, hw, hh, hh * 0.55), (cx - hw, cy - hh, cx + hw, cy + hh), shade)
    # Front panel line.
    cv.shape(sd_capsule(cx - hw * 0.82, cy + hh * 0.25, cx + hw * 0.82, cy + hh * 0.25,
                        max(0.5 * k, width * 0.008)),
             (cx - hw, cy, cx + hw, cy + hh), STEEL, opacity=0.9)
    # Lights.
    lights = [GREEN, GREEN, AMBER, GREEN, GREEN] if not dim else [STEEL] * 5
    r = max(1.2 * k, width * 0.028)
    for n, col in enumerate(lights):
        lx = cx - hw * 0.55 + n * hw * 0.22
        ly = cy + hh * 0.62
        cv.shape(sd_circle(lx, ly, r * 2.2), (lx - 3 * r, ly - 3 * r, lx + 3 * r, ly + 3 * r),
                 col, opacity=0.25 if not dim else 0.0, soft=r)
        cv.shape(sd_circle(lx, ly, r), (lx - r, ly - r, lx + r, ly + r), col)


def draw_handset(cv, cx, cy, size, colour=WHITE, opacity=1.0, k=1.0):
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
    cv.shape(lambda x, y: shape(x - 1.5 * k, y - 1.5 * k), box, SHADOW, opacity=0.35 * opacity,
             soft=2.0 * k)
    cv.shape(shape, box, colour, opacity=opacity)


def draw_waves(cv, cx, cy, radius, count, colour, k, start=-125.0, end=-55.0):
    thick = 1.6 * k
    for n in range(count):
        r = radius * (1.0 + 0.55 * n)
        cv.shape(sd_arc(cx, cy, r, thick, start, end),
                 (cx - r - 2 * k, cy - r - 2 * k, cx + r + 2 * k, cy + 2 * k), colour,
                 opacity=0.85 - 0.2 * n)


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


def draw_info_badge(cv, cx, cy, r, k):
    cv.shape(sd_circle(cx + 1.5 * k, cy + 1.5 * k, r),
             (cx - r, cy - r, cx + r + 3 * k, cy + r + 3 * k), SHADOW, opacity=0.35, soft=2.0 * k)
    cv.shape(sd_circle(cx, cy, r), (cx - r, cy - r, cx + r, cy + r), ORANGE)
    cv.shape(sd_circle(cx, cy, r * 0.86), (cx - r, cy - r, cx + r, cy + r), WHITE, opacity=0.12)
    # The letter i.
    cv.shape(sd_circle(cx, cy - r * 0.45, r * 0.13), (cx - r, cy - r, cx + r, cy), WHITE)
    cv.shape(sd_rbox(cx, cy + r * 0.18, r * 0.11, r * 0.38, r * 0.05),
             (cx - r, cy - r * 0.3, cx + r, cy + r), WHITE)


def draw_keypad(cv, cx, cy, key, gap, k):
    labels_lit = {9, 11}  # the * and # keys of the service codes stand out
    for row in range(4):
        for col in range(3):
            n = row * 3 + col
            kx = cx + (col - 1) * (key + gap)
            ky = cy + (row - 1.5) * (key * 0.78 + gap)
            hw, hh = key / 2.0, key * 0.39
            colour = ORANGE if n in labels_lit else SILVER
            cv.shape(sd_rbox(kx + k, ky + 1.5 * k, hw, hh, hh * 0.5),
                     (kx - hw, ky - hh, kx + hw + 2 * k, ky + hh + 3 * k), SHADOW, opacity=0.4,
                     soft=1.5 * k)

            def shade(x, y, ky=ky, hh=hh, colour=colour):
                return mix(WHITE, colour, clamp01((y - ky + hh) / (2 * hh)) * 0.8 + 0.2)

            cv.shape(sd_rbox(kx, ky, hw, hh, hh * 0.5), (kx - hw, ky - hh, kx + hw, ky + hh),
                     shade)
