"""The resources as a user of each language meets them, without the program's dialog code.

ui-preview.exe shows each dialog layout bare (as the resource compiler made it) and filled
with the texts of the thread's language, and writes the text catalogue and the tray menu as
the platform's resource lookup returns them. The checks compare this with the expected
tables: every text in German, English, and English again for French; the layouts in dialog
units; the images' sizes. Screenshots of every filled dialog go to the screenshot folder.
"""

import re
import unittest

import checks
import expected
import harness

PROGRAMS = [harness.program("ui-inspect.exe"), harness.program("ui-preview.exe")]


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
                    checks.check_layout(self, dump, dialog_id)
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
