"""The resources as a user of each language meets them, without the program's dialog code.

ui-preview.exe shows each dialog layout bare (as the resource compiler made it) and filled
with the texts of the thread's language (the pictures fitted and the bold font made by the
program's own functions), and writes the text catalogue and the tray menu as the platform's
resource lookup returns them. The checks compare this with the expected tables: every text in
German, English, and English again for French; the layouts in dialog units; the images'
sizes; and, on displays of 96, 120, 144 and 192 dpi, pictures, texts, fonts and icons as the
dpi makes them. Screenshots of every filled dialog go to the screenshot folder.
"""

import re
import unittest

import checks
import expected
import harness

PROGRAMS = [harness.program("ui-inspect.exe"), harness.program("ui-preview.exe"),
            harness.program("mavris-uitest.exe")]

# The displays of the dpi table (LogPixels; 96 is 100 %). 96 comes last: the class's other
# checks run on the machine as the table leaves it.
DPIS = (120, 144, 192, 96)
BOLD_LINES = (1005, 1043)
# The link sizes itself to its text (test_dialogs); the combo box and the edits show data.
TEXT_KINDS = {"static", "static-noprefix", "static-nowrap", "button", "default-button", "check"}


def unescape(text):
    out, i = [], 0
    while i < len(text):
        if text[i] == "\\" and i + 1 < len(text):
            out.append({"r": "\r", "n": "\n", "\\": "\\"}[text[i + 1]])
            i += 2
        else:
            out.append(text[i])
            i += 1
    return "".join(out)


class ResourcesBase(harness.MachineCase):
    WINDOW = ("--class", "#32770", "--process", "ui-preview.exe")

    def show(self, dialog_id, *options):
        program = self.m.start(harness.program("ui-preview.exe"), dialog_id, *options)
        try:
            return program, self.m.wait_window(*self.WINDOW)
        except Exception:
            program.kill()
            raise

    def close(self, program, hwnd):
        try:
            self.m.inspect("post", "--hwnd", hex(hwnd), "0x10", "0", "0")  # WM_CLOSE
            self.assertEqual(program.wait(timeout=30), 0)
        finally:
            program.kill()
            # The next dialog must not be confused with this one.
            self.m.wait_gone(*self.WINDOW)

    def measure(self, dialog_id):
        """A filled layout as ui-inspect sees it from outside and as ui-preview measures it
        inside: (dump, display line, {control index: measured fields})."""
        path = self.m.workdir / f"measure-{dialog_id}.txt"
        program, hwnd = self.show(dialog_id, "--fill", "--measure", self.m.windows_path(path))
        try:
            dump = self.m.dump(hwnd)
            lines = [line.split("\t") for line in path.read_text(encoding="cp1252").splitlines()]
            name = expected.DIALOGS[dialog_id]["name"]
            self.m.screenshot(f"{self.LANG}-dpi{lines[0][1]}-{name}", checks.window_rect(dump))
        finally:
            self.close(program, hwnd)
        pairs = lambda text: tuple(int(v) for v in text.split(","))  # noqa: E731
        controls = {int(f[1]): {"id": int(f[2]), "client": pairs(f[4]), "font": f[5],
                                "height": int(f[6]), "weight": int(f[7]),
                                "needed": pairs(f[8]), "image": pairs(f[9])}
                    for f in lines[1:]}
        return dump, lines[0], controls

    def check_at_dpi(self, dpi, dialog_id, dump, display, controls, fonts, figures):
        layout = expected.DIALOGS[dialog_id]
        self.assertEqual(int(display[1]), dpi, "the display's dpi")
        # Pictures fill their frames, rules and etched frame level with the strip.
        checks.check_layout(self, dump, dialog_id, template_visibility=False, dpi=dpi)
        frames, _ = checks.picture_frames(layout, dump["base_units"], dpi)
        for index, frame in frames.items():
            row, got = layout["controls"][index], controls[index]
            label = checks.control_label(dialog_id, row, index)
            # Shown at the frame's size from a bitmap made for it, never a larger one cut
            # down by the control or a smaller one stretched.
            self.assertEqual(got["image"], frame[2:], f"{label}: bitmap size")
            # Up to 200 % the art is only ever reduced: scaled to the frame's height, the
            # frame's width cut from the art's.
            art_w, art_h = expected.IMAGES[row["image"]]
            self.assertLessEqual(frame[3], art_h, f"{label}: reduced, not enlarged")
            if row["dlu"][2] > 1:
                self.assertLessEqual(frame[2] * art_h / frame[3], art_w, f"{label}: width")
                figures.append(f"{dpi}\t{layout['name']}\tframe {frame[2]}x{frame[3]}"
                               f"\tscale {frame[3] / art_h:.3f}")
        # No text is cut: what each text needs in its font fits its control.
        for index, row in enumerate(layout["controls"]):
            got = controls[index]
            label = checks.control_label(dialog_id, row, index)
            if row["kind"] in TEXT_KINDS and row["id"] != 1015 and got["needed"] != (0, 0):
                self.assertGreater(got["needed"][0], 0, f"{label}: measured")
                self.assertLessEqual(got["needed"][0], got["client"][0], f"{label}: text width")
                self.assertLessEqual(got["needed"][1], got["client"][1], f"{label}: text height")
            if row["id"] in BOLD_LINES:
                self.assertEqual(got["weight"], 700, f"{label}: bold")
                fonts.setdefault(row["id"], {})[dpi] = got["height"]
            if row["kind"] == "icon":
                # The wait dialog's icon at the display's large icon size.
                self.assertEqual(got["image"], (int(display[4]),) * 2, f"{label}: icon size")
        fonts.setdefault("dialog", {})[dpi] = int(display[3])

    def tray_icon_width(self):
        program = self.m.start(harness.program("mavris-uitest.exe"), "tray", "--timeout",
                               "120000", with_out=True)
        try:
            found = program.wait_line(r"^tray\.shell=add ok=1 icon=(\d+)", timeout=90)
            hwnd = program.wait_line(r"^tray\.hwnd=(0x[0-9a-fA-F]+)").group(1)
            self.m.inspect("post", "--hwnd", hwnd, "0x111", "32772", "0")  # Exit
            program.wait_line(r"^tray\.end=1$")
            self.assertEqual(program.wait(timeout=30), 0)
        finally:
            program.kill()
        return int(found.group(1))

    def test_every_dialog_at_every_dpi(self):
        """One table over the display's dpi, every dialog filled by the program's functions:
        the pictures fill their frames with bitmaps of the frames' size, never enlarged up to
        200 %; the rules and etched frames are level with the strips; no text is cut; the
        dialog font and the bold lines grow together; icons come at the display's sizes."""
        if self.LANG == "fr":
            self.skipTest("the English texts; measured in the English run")
        fonts, figures, icons = {}, [], {}
        dpi = None
        try:
            for dpi in DPIS:
                self.m.set_dpi(dpi)
                display = None
                for dialog_id in expected.DIALOGS:
                    with self.subTest(dpi=dpi, dialog=dialog_id):
                        dump, display, controls = self.measure(dialog_id)
                        self.check_at_dpi(dpi, dialog_id, dump, display, controls, fonts,
                                          figures)
                with self.subTest(dpi=dpi, icon="tray"):
                    icons[dpi] = (self.tray_icon_width(), int(display[4]))
                    self.assertEqual(icons[dpi][0], int(display[5]), "the small icon size")
                    self.assertIn(icons[dpi][0], (16, 20, 24, 32))
        finally:
            if dpi != 96:
                self.m.set_dpi(96)
        print(f"\n{self.LANG}: font heights (pixels) by dpi: {fonts}; tray icon and large "
              f"icon: {icons}")
        print("\n".join(figures))
        # The fonts grow with the dpi, the bold lines as the dialog font does: their share of
        # the dialog font's height stays within a fifth of what it is at 96 dpi.
        order = sorted(fonts["dialog"])
        for name, heights in fonts.items():
            with self.subTest(font=name):
                self.assertEqual(sorted(heights), order)
                grows = [heights[a] < heights[b] for a, b in zip(order, order[1:])]
                self.assertTrue(all(grows), f"{name}: {heights}")
                share = {d: heights[d] / fonts["dialog"][d] for d in order}
                for d in order:
                    self.assertLess(abs(share[d] / share[96] - 1), 0.2, f"{name}: {share}")

    def test_catalogue_menu_templates_version_and_manifest(self):
        path = self.m.workdir / "catalogue.txt"
        result = self.m.run(harness.program("ui-preview.exe"), "--catalogue",
                            self.m.windows_path(path))
        self.assertEqual(result.returncode, 0)
        texts, menu, headers, items, version, manifest = {}, [], {}, {}, {}, ""
        for line in path.read_text(encoding="utf-8").split("\n"):
            fields = line.split("\t")
            if fields[0] == "text":
                texts[int(fields[1])] = (fields[2] == "1", unescape(fields[3]))
            elif fields[0] == "menu":
                menu.append((int(fields[1]), fields[2], int(fields[3]), unescape(fields[4])))
            elif fields[0] == "dialog":
                box = tuple(int(v) for v in fields[4].split(","))
                headers[int(fields[1])] = (int(fields[2], 16), int(fields[3], 16), box,
                                           int(fields[5]), unescape(fields[6]))
            elif fields[0] == "manifest":
                manifest = fields[1]
            elif fields[0] == "version":
                version[fields[1]] = fields[2]
            elif fields[0] == "item":
                box = tuple(int(v) for v in fields[6].split(","))
                items.setdefault(int(fields[1]), []).append(
                    (int(fields[2]), fields[3], int(fields[4], 16), int(fields[5], 16), box,
                     unescape(fields[7])))
        self.assertEqual(version, {"fixed": "1.0.0.0", "CompanyName": "ORVA",
                                   "ProductName": "Mavris", "FileVersion": "1.0.0.0",
                                   "ProductVersion": "1.0.0.0"})
        # The manifest asks for version 6 of the common controls.
        self.assertRegex(manifest, r'name="Microsoft\.Windows\.Common-Controls"\s+'
                                   r'version="6\.0\.0\.0"')
        # Laid out at the system's dpi, so that Windows does not stretch it as a picture:
        # dpiAware from Vista on, dpiAwareness from Windows 10 on; not per monitor.
        self.assertIn('<dpiAware xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings">'
                      'true</dpiAware>', manifest)
        self.assertIn('<dpiAwareness xmlns="http://schemas.microsoft.com/SMI/2016/'
                      'WindowsSettings">system</dpiAwareness>', manifest)
        # Own rights, and the Windows versions it was written for: Vista, 7, 8, 8.1, 10/11.
        self.assertIn('level="asInvoker"', manifest)
        self.assertEqual(re.findall(r'supportedOS Id="\{([^}]*)', manifest), [
            "e2011457-1546-43c5-a5fe-008deee3d3f0", "35138b9a-5d96-4fbd-8e2d-a2440225f93a",
            "4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38", "1f676c76-80e1-4239-95bb-83d0f6d0da78",
            "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"])
        self.assertEqual(sorted(headers), sorted(expected.DIALOGS))
        for dialog_id in expected.DIALOGS:
            with self.subTest(template=dialog_id):
                checks.check_template(self, dialog_id, headers[dialog_id], items[dialog_id])
        for text_id in expected.TEXTS:
            with self.subTest(text=text_id):
                self.assertEqual(texts[text_id], (True, expected.text(text_id, self.LANG)))
        for text_id in expected.MISSING_TEXTS:
            with self.subTest(missing=text_id):
                self.assertEqual(texts[text_id], (False, ""))
        german = expected.LANGUAGES[self.LANG][1] == 1
        want = [(0, "popup", 0, "Tray")] + [(depth, kind, cid, de if german else en)
                                            for depth, kind, cid, en, de in expected.TRAY_MENU]
        self.assertEqual(menu, want)

    def test_bare_layouts(self):
        """Every template: controls in tab order, kinds, positions, sizes, image sizes.

        The preview puts one tip (text 136) on the first control, which checks the
        inspector's reading of tips against a known tool.
        """
        for dialog_id in expected.DIALOGS:
            with self.subTest(dialog=dialog_id):
                program, hwnd = self.show(dialog_id)
                try:
                    dump = self.m.dump(hwnd)
                    checks.check_layout(self, dump, dialog_id, fitted=False)
                    first = expected.DIALOGS[dialog_id]["controls"][0]["id"]
                    self.assertEqual(
                        [(t["control_id"], t["text_id"], t["text"]) for t in dump["tooltips"]],
                        [(first, 136, expected.text(136, self.LANG))])
                finally:
                    self.close(program, hwnd)

    def test_filled_dialogs(self):
        """Every dialog with its texts: language, tips, and a screenshot to look at."""
        for dialog_id, layout in expected.DIALOGS.items():
            with self.subTest(dialog=dialog_id):
                program, hwnd = self.show(dialog_id, "--fill")
                try:
                    dump = self.m.dump(hwnd)
                    checks.check_layout(self, dump, dialog_id, template_visibility=False)
                    checks.check_texts(self, dump, dialog_id, self.LANG)
                    checks.check_tips(self, dump, dialog_id, self.LANG)
                    if dialog_id == 102:
                        count = next(c for c in dump["controls"] if c["id"] == 1004)
                        self.assertEqual(count["text"], "2" + expected.text(118, self.LANG))
                        for group in (1018, 1026):
                            self.assertEqual(
                                next(c for c in dump["controls"] if c["id"] == group)["text"],
                                "", f"group box {group} has no caption")
                    self.m.screenshot(f"{self.LANG}-preview-{layout['name']}",
                                            checks.window_rect(dump))
                finally:
                    self.close(program, hwnd)


harness.language_classes(ResourcesBase, globals(), expected.LOCALES)

if __name__ == "__main__":
    unittest.main()
