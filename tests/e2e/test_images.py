"""The drawn images: the formats Windows loads, the sizes the dialog strips need, at any scale.

Runs tools/images/make_images.py into a temporary directory and reads the files back with
a reader written from the BMP and ICO formats, independent of the writer.
"""

import struct
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

import expected

REPO = Path(__file__).resolve().parents[2]
SCRIPT = REPO / "tools" / "images" / "make_images.py"

BITMAP_FILES = {104: "main.bmp", 105: "about.bmp", 156: "scan.bmp", 163: "rule_short.bmp",
                165: "rule_tall.bmp", 171: "extra.bmp", 175: "info.bmp"}


def read_dib_header(data, offset):
    (size, width, height, planes, bits, compression, image_size, _, _, used,
     _) = struct.unpack_from("<IiiHHIIiiII", data, offset)
    return {"size": size, "width": width, "height": height, "planes": planes, "bits": bits,
            "compression": compression, "image_size": image_size, "used": used}


def stride(width, bits):
    return ((width * bits + 31) // 32) * 4


def decode_rle8(data, width, height):
    """The rows of a BI_RLE8 picture, bottom row first, as lists of indices (None for a pixel
    the codes never set); the number of bytes the codes took, through the end-of-picture."""
    rows = [[None] * width for _ in range(height)]
    x = y = pos = 0
    while True:
        count, code = data[pos], data[pos + 1]
        pos += 2
        if count:
            if x + count > width:
                raise ValueError(f"run past the row's end in row {y}")
            rows[y][x:x + count] = [code] * count
            x += count
        elif code == 0:
            x, y = 0, y + 1
        elif code == 1:
            return rows, pos
        elif code == 2:
            raise ValueError("the pictures have no gaps to skip")
        else:
            rows[y][x:x + code] = list(data[pos:pos + code])
            x += code
            pos += code + code % 2


class ImagesTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory(prefix="mavris-images-")
        cls.out = Path(cls.tmp.name)
        subprocess.run([sys.executable, str(SCRIPT), str(cls.out / "a")], check=True,
                       timeout=300)

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def test_bitmaps_are_run_length_encoded_256_colour_dibs_of_the_shipped_sizes(self):
        for image_id, name in BITMAP_FILES.items():
            with self.subTest(image=image_id):
                data = (self.out / "a" / name).read_bytes()
                magic, file_size, r1, r2, offset = struct.unpack_from("<2sIHHI", data, 0)
                self.assertEqual((magic, file_size, r1, r2), (b"BM", len(data), 0, 0))
                h = read_dib_header(data, 14)
                self.assertEqual(h["size"], 40)
                self.assertEqual((h["width"], h["height"]), expected.IMAGES[image_id])
                self.assertEqual((h["planes"], h["bits"], h["compression"]), (1, 8, 1))  # RLE8
                self.assertIn(h["used"], (0, 256))
                self.assertEqual(offset, 14 + 40 + 256 * 4, "palette of 256 entries")
                self.assertEqual(h["image_size"], len(data) - offset, "size of the codes")
                rows, used = decode_rle8(data[offset:], h["width"], h["height"])
                self.assertEqual(used, h["image_size"], "the codes end with the picture")
                self.assertEqual(sum(row.count(None) for row in rows), 0, "every pixel set")
                # Picture controls would show a flat area if drawing had failed.
                colours = {v for row in rows for v in row}
                self.assertGreater(len(colours), 4 if h["width"] > 1 else 2)
                # The codes are worth their while: a quarter of the plain rows or less, but for
                # the rules, whose rows are one pixel each.
                if h["width"] > 1:
                    self.assertLess(used, stride(h["width"], 8) * h["height"] / 4)

    def test_strips_are_drawn_at_any_scale(self):
        """A strip drawn at k times its 96-dpi size is k times as high, at least that much
        wider, and its rule as tall as it; the shipped scale is 2."""
        for scale, main, about in ((1, (188, 257), (122, 167)), (1.5, (282, 386), (183, 250)),
                                   (2, expected.IMAGES[104], expected.IMAGES[105])):
            with self.subTest(scale=scale):
                out = self.out / f"scale-{scale}"
                subprocess.run([sys.executable, str(SCRIPT), str(out), "--scale", str(scale)],
                               check=True, timeout=300)
                sizes = {name: read_dib_header((out / name).read_bytes(), 14)
                         for name in ("main.bmp", "about.bmp", "rule_tall.bmp", "rule_short.bmp")}
                self.assertEqual((sizes["main.bmp"]["width"], sizes["main.bmp"]["height"]), main)
                self.assertEqual((sizes["about.bmp"]["width"], sizes["about.bmp"]["height"]),
                                 about)
                self.assertEqual(sizes["rule_tall.bmp"]["height"], main[1])
                self.assertEqual(sizes["rule_short.bmp"]["height"], about[1])

    def check_icon(self, name, bits, colours):
        data = (self.out / "a" / name).read_bytes()
        reserved, kind, count = struct.unpack_from("<HHH", data, 0)
        self.assertEqual((reserved, kind), (0, 1))
        sizes = []
        for k in range(count):
            (w, h, ncol, res, planes, bitcount, length,
             offset) = struct.unpack_from("<BBBBHHII", data, 6 + 16 * k)
            sizes.append(w)
            self.assertEqual(h, w)
            self.assertEqual((ncol, res, planes, bitcount), (colours % 256, 0, 1, bits))
            self.assertLessEqual(offset + length, len(data))
            dib = read_dib_header(data, offset)
            self.assertEqual((dib["width"], dib["height"], dib["bits"], dib["compression"]),
                             (w, 2 * w, bits, 0), "XOR and AND masks stacked")
            palette = 4 * (dib["used"] or colours)
            xor_size = stride(w, bits) * w
            and_size = stride(w, 1) * w
            self.assertEqual(length, 40 + palette + xor_size + and_size)
            mask = data[offset + 40 + palette + xor_size:offset + length]
            # A shape on a transparent ground: the top-left corner shows the desktop, and a
            # good part of the square is drawn.
            row_bytes = stride(w, 1)
            top_row = mask[(w - 1) * row_bytes:w * row_bytes]   # rows are stored bottom-up
            self.assertTrue(top_row[0] & 0x80, f"{name} {w}px: top-left pixel transparent")
            opaque = sum(1 for y in range(w) for x in range(w)
                         if not mask[y * row_bytes + x // 8] & (0x80 >> (x % 8)))
            self.assertTrue(0.25 * w * w < opaque < 0.95 * w * w, f"{name} {w}px: {opaque}")
        # The small icon sizes of 100 to 200 % (16 to 32) and the large ones to 150 % (32 to 48).
        self.assertEqual(sorted(sizes), [16, 20, 24, 32, 40, 48])

    def test_application_icon_has_six_256_colour_images(self):
        self.check_icon("app.ico", 8, 256)

    def test_tray_icon_has_six_16_colour_images(self):
        self.check_icon("tray.ico", 4, 16)

    def test_drawing_is_repeatable(self):
        # The build may redraw the images at any time; the files must not change.
        subprocess.run([sys.executable, str(SCRIPT), str(self.out / "b")], check=True,
                       timeout=300)
        for name in list(BITMAP_FILES.values()) + ["app.ico", "tray.ico"]:
            self.assertEqual((self.out / "a" / name).read_bytes(),
                             (self.out / "b" / name).read_bytes(), name)


if __name__ == "__main__":
    unittest.main()
