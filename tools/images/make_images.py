#!/usr/bin/env python3
"""Draws Mavris' artwork and writes it as Windows BMP and ICO files.

The picture strips fill frames that the dialogs lay out in dialog units, whose size in pixels
follows the dialog font and so the display's dpi (and, within a few per cent, the font itself:
Wine's stand-in for "MS Sans Serif" is wider than Windows' own). The program therefore ships
each strip once, large, and reduces it at run time to its frame's size in pixels
(src/ui/dialog_pictures.cpp):

    file            bitmap  dialog           frame (dialog units)  100 % size (pixels)
    main.bmp        104     main             103 x 158             155 x 257
    about.bmp       105     About box         67 x 103             101 x 167
    scan.bmp        156     scan             144 x 158             216 x 257
    extra.bmp       171     Extra options     67 x 103             101 x 167
    info.bmp        175     info             103 x 158             155 x 257
    rule_short.bmp  163     the one-pixel rules beside the short strips (About, Extra)
    rule_tall.bmp   165     the rules beside the tall strips (main, scan, info)
    app.ico         122     16/20/24/32/40/48 px, 256 colours
    tray.ico        140     16/20/24/32/40/48 px, 16 colours

A strip's 100 % size is its frame at 96 dpi with Windows' "MS Sans Serif" 8 (base units
6 x 13), width and height each mapped from dialog units as the dialog manager maps them. A strip is drawn SHIPPED_SCALE times that height, so that up to 200 % it is only ever
reduced, and wider than its motif: its backdrop runs on beside the motif far enough for frames
whose font is up to WIDEST_FONT times as wide (average character) as it is high (Wine's at
192 dpi: 13 x 24). The program scales a strip uniformly to its frame's height and cuts the
frame's width out of its middle, so nothing is ever squeezed. A rule is as tall as the strips
it stands beside.

Every bitmap is a 256-colour (8 bits per pixel) DIB with its own palette made by median cut,
run-length encoded (BI_RLE8): the strips' rows are long runs of one colour, which keeps the
five large strips at about a sixth of their plain size.

Only the standard library is used; the files are written byte by byte so the output is the
same on every run.

Usage: make_images.py OUTPUT_DIR [--scale K] [--png-preview]
    --scale K   draws the strips at K times their 100 % size instead (any K > 0), e.g. to
                look at them as a display of some dpi would show them
"""

import argparse
import math
import os
import sys

# The helper modules sit beside this script; no byte code is left in the source tree.
sys.dont_write_bytecode = True

from canvas import Canvas, clamp01, mix, sd_capsule, sd_circle, sd_rbox  # noqa: E402
from image_files import bmp_file, ico_file, png_file  # noqa: E402
from motifs import (AMBER, GREEN, NAVY, SHADOW, SILVER, SKY, WHITE, backdrop,  # noqa: E402
                    draw_handset, draw_info_badge, draw_keypad, draw_magnifier, draw_modem,
                    draw_text, draw_waves)

SHIPPED_SCALE = 2.0
WIDEST_FONT = 0.56


# ---------------------------------------------------------------------------
# The strips: drawn on a canvas of any width; the motif is laid out in the middle sw pixels
# (the 100 % width times k), k pixels per pixel of the 100 % design.


def strip_main(w, h, sw, k, info=False):
    cv = Canvas(w, h)
    cx = w / 2.0
    backdrop(cv, h * 0.55, sw, k)
    glyph = max(1, int(round((2 if sw / k >= 140 else 1) * k)))
    draw_text(cv, "MAVRIS", cx, int(h * 0.07), glyph, WHITE, SHADOW)
    line_y = h * 0.07 + 9 * glyph + 4 * k
    cv.shape(sd_capsule(cx - sw * 0.25, line_y, cx + sw * 0.25, line_y, 0.5 * k),
             (0, 0, w, h * 0.3), SKY, opacity=0.8)
    if info:
        draw_modem(cv, cx, h * 0.66, sw * 0.7, k, dim=True)
        draw_info_badge(cv, cx, h * 0.43, sw * 0.15, k)
    else:
        draw_handset(cv, cx, h * 0.36, sw * 0.5, k=k)
        draw_waves(cv, cx, h * 0.64, sw * 0.09, 3, SKY, k)
        draw_modem(cv, cx, h * 0.72, sw * 0.7, k)
    return cv


def strip_scan(w, h, sw, k):
    cv = Canvas(w, h)
    cx = w / 2.0
    backdrop(cv, h * 0.58, sw, k)
    draw_text(cv, "MAVRIS", cx, int(h * 0.07), max(1, int(round(2 * k))), WHITE, SHADOW)
    draw_modem(cv, cx - sw * 0.05, h * 0.68, sw * 0.55, k)
    draw_waves(cv, cx - sw * 0.05, h * 0.6, sw * 0.06, 3, SKY, k)
    draw_magnifier(cv, cx + sw * 0.14, h * 0.43, sw * 0.13)
    return cv


def strip_extra(w, h, sw, k):
    cv = Canvas(w, h)
    cx = w / 2.0
    backdrop(cv, h * 0.55, sw, k)
    draw_text(cv, "MAVRIS", cx, int(h * 0.07), max(1, int(round(k))), WHITE, SHADOW)
    draw_keypad(cv, cx, h * 0.56, sw * 0.2, sw * 0.05, k)
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


# ---------------------------------------------------------------------------
# The icons, drawn for each size on its own.


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


# name: (frame in dialog units, 100 % size in pixels, drawing)
STRIPS = {
    "main.bmp": ((103, 158), (155, 257), strip_main),
    "about.bmp": ((67, 103), (101, 167), strip_main),
    "scan.bmp": ((144, 158), (216, 257), strip_scan),
    "extra.bmp": ((67, 103), (101, 167), strip_extra),
    "info.bmp": ((103, 158), (155, 257), lambda w, h, sw, k: strip_main(w, h, sw, k, info=True)),
}

# name: the strip whose height the rule takes
RULES = {
    "rule_short.bmp": "about.bmp",
    "rule_tall.bmp": "main.bmp",
}

ICONS = {
    "app.ico": (8, icon_app),
    "tray.ico": (4, icon_tray),
}

ICON_SIZES = (16, 20, 24, 32, 40, 48)


def strip_size(name, scale):
    """(width, height, motif width) of a strip drawn at scale times its 100 % size."""
    (dlu_w, dlu_h), (w100, h100), _ = STRIPS[name]
    height = int(round(h100 * scale))
    motif = int(round(w100 * scale))
    # A frame's width over its height is (dlu_w * x / 4) / (dlu_h * y / 8) for a font of x by
    # y base units: widest where x / y is.
    width = max(motif, math.ceil(height * dlu_w * 2 * WIDEST_FONT / dlu_h - 1e-9))
    return width, height, motif


def write_file(path, data):
    # Written aside and renamed, so an interrupted run leaves no half file behind.
    tmp = path + ".tmp"
    with open(tmp, "wb") as f:
        f.write(data)
    os.replace(tmp, path)


def main(argv):
    parser = argparse.ArgumentParser(description="Draws Mavris' bitmaps and icons.")
    parser.add_argument("outdir")
    parser.add_argument("--scale", type=float, default=SHIPPED_SCALE,
                        help="size of the strips relative to 96 dpi (default %(default)s)")
    parser.add_argument("--png-preview", action="store_true",
                        help="also write a PNG of every image for viewing")
    args = parser.parse_args(argv)
    if not args.scale > 0:
        parser.error("--scale must be positive")
    os.makedirs(args.outdir, exist_ok=True)
    images = {}
    for name, (_, _, draw) in STRIPS.items():
        w, h, motif = strip_size(name, args.scale)
        images[name] = draw(w, h, motif, args.scale)
        assert (images[name].w, images[name].h) == (w, h), name
    for name, strip in RULES.items():
        images[name] = rule(images[strip].h)
    for name, cv in images.items():
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
