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
import sys

# The helper modules sit beside this script; no byte code is left in the source tree.
sys.dont_write_bytecode = True

from canvas import (Canvas, clamp01, mix, sd_arc, sd_capsule, sd_circle,  # noqa: E402
                    sd_ellipse, sd_rbox, sd_union)
from image_files import bmp_file, ico_file, png_file  # noqa: E402



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
