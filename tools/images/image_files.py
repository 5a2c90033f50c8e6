"""Colour reduction and the file formats of Mavris' artwork: 256- and 16-colour
palettes by median cut, and BMP, ICO and (for viewing) PNG files, written byte by
byte so the output is the same on every run."""

import math
import struct

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


def info_header(width, height, bits, image_size, colours_used, compression=0):
    # BITMAPINFOHEADER: 40 bytes, BI_RGB unless told, 96 dpi (3780 pixels per metre).
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, compression, image_size,
                       3780, 3780, colours_used, 0)


def rle8_rows(width, height, indices):
    """Run-length encodes palette indices as BI_RLE8, bottom row first: a run of equal pixels
    is (count, index); a stretch of at least three unlike pixels is (0, count) and the
    indices, padded to a whole word; each row ends with (0, 0), the last with (0, 1)."""
    out = bytearray()
    for y in range(height - 1, -1, -1):
        row = indices[y * width:(y + 1) * width]
        x = 0
        while x < width:
            run = 1
            while x + run < width and run < 255 and row[x + run] == row[x]:
                run += 1
            if run >= 2:
                out += bytes((run, row[x]))
                x += run
                continue
            # Unlike pixels up to the next run of two or more (or 255 of them).
            end = x + 1
            while end < width and end - x < 255 and not (end + 1 < width and
                                                         row[end + 1] == row[end]):
                end += 1
            if end - x < 3:
                for v in row[x:end]:
                    out += bytes((1, v))
            else:
                out += bytes((0, end - x)) + bytes(row[x:end])
                if (end - x) % 2:
                    out.append(0)
            x = end
        out += b"\0\1" if y == 0 else b"\0\0"
    return bytes(out)


def bmp_file(cv):
    palette, indices = quantise(cv)
    pixels = rle8_rows(cv.w, cv.h, indices)
    header = info_header(cv.w, cv.h, 8, len(pixels), 256, compression=1)  # BI_RLE8
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
