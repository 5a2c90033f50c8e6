"""The About, Extra options, scan, info and wait dialogs as a user of each language meets them.

mavris-uitest.exe opens one dialog of the program on its own and reports what happens inside
(result lines); everything a user would see or do is done from outside: ui-inspect reads the
windows, xdotool clicks and types, ImageMagick takes the screenshots.
"""

import re
import time
import unittest

import checks
import expected
import harness

PROGRAMS = [harness.program("ui-inspect.exe"), harness.program("mavris-uitest.exe")]

WM_CLOSE = 0x10
WM_SYSCOMMAND = 0x112
SC_CLOSE = 0xF060


class DialogsBase(harness.MachineCase):
    # -- helpers

    def open(self, mode, *options, key=None):
        """Starts the test program in mode; returns (program, dialog window handle)."""
        program = self.m.start(harness.program("mavris-uitest.exe"), mode, *options, with_out=True)
        self.addCleanup(program.kill)
        key = key or f"{mode}.hwnd"
        found = program.wait_line(rf"^{re.escape(key)}=(0x[0-9a-fA-F]+)", timeout=90)
        hwnd = int(found.group(1), 16)
        self.m.wait_window("--hwnd", hex(hwnd))
        return program, hwnd

    def control(self, dump, cid):
        return next(c for c in dump["controls"] if c["id"] == cid)

    def centre(self, dump, cid):
        """Screen position of the middle of a control."""
        x, y, w, h = self.control(dump, cid)["px"]
        ox, oy = dump["client_origin_px"]
        return ox + x + w // 2, oy + y + h // 2

    def click(self, dump, cid, button=1):
        x, y = self.centre(dump, cid)
        self.m.xdotool("mousemove", x, y, "click", button)

    def shot(self, dump, name):
        # The pointer away from the controls, so that no tip covers them.
        self.m.xdotool("mousemove", 5, harness.SCREEN[1] // 2)
        time.sleep(1.0)
        self.m.screenshot(f"{self.LANG}-{name}", checks.window_rect(dump))

    def finished(self, program, timeout=30):
        self.assertEqual(program.wait(timeout=timeout), 0, program.lines())

    def text(self, text_id):
        return expected.text(text_id, self.LANG)

    # -- About box

    def test_about_box(self):
        program, hwnd = self.open("about", "--link-print")
        dump = self.m.dump(hwnd)
        checks.check_layout(self, dump, 100)
        checks.check_texts(self, dump, 100, self.LANG, skip=(1015,))
        link = self.control(dump, 1015)
        self.assertEqual(link["text"], self.text(119))
        self.assertEqual(self.nth(program, "about.link.target", 1), self.text(119))
        # The link is fitted to its underlined text: same left edge and top, the height of
        # the text plus borders, and at least its measured width. Where the font paints wider
        # than it measures (Wine's stand-in for "MS Sans Serif" does), the control takes the
        # painted width, so that no letter is cut off; never more than a few pixels.
        needed = [int(v) for v in self.nth(program, "about.link.needed", 1).split(",")]
        self.assertEqual(tuple(link["dlu"][:2]), (90, 85))
        width, height = link["px"][2:]
        self.assertEqual(height, needed[1])
        self.assertGreaterEqual(width, needed[0])
        self.assertLessEqual(width, needed[0] + 12)
        self.shot(dump, "about")
        # From the keyboard: Tab goes from OK to the link; Enter and Space open it there.
        self.m.xdotool("key", "--delay", "100", "Tab", "Return", "space")
        self.nth(program, "about.link.open", 2)
        self.assertEqual(program.values("about.link.open"), [f"{self.text(119)} show=5"] * 2)
        self.assertFalse(program.values("about.result"), "Enter pressed OK instead")
        self.click(dump, 1)
        program.wait_line(r"^about\.result=1$")
        self.finished(program)

    # -- Extra options

    def test_extra_layout_texts_and_tips(self):
        program, hwnd = self.open("extra", "--location-prefix", "0 9", "--callout", "1")
        dump = self.m.dump(hwnd)
        checks.check_layout(self, dump, 150)
        checks.check_texts(self, dump, 150, self.LANG)
        checks.check_tips(self, dump, 150, self.LANG)
        # The telephony location's prefix is shown filtered; the box shows CallOut.
        self.assertEqual(self.control(dump, 1028)["text"], "09")
        self.assertEqual(self.control(dump, 1040)["check"], 1)
        self.shot(dump, "extra")
        self.m.inspect("click", "--hwnd", hex(hwnd), "2")
        program.wait_line(r"^extra\.result=cancel$")
        self.finished(program)

    @harness.once
    def test_extra_filter_keeps_only_dial_characters(self):
        program, hwnd = self.open("extra", "--no-location", "--callout", "1")
        dump = self.m.dump(hwnd)
        target = ("--hwnd", hex(hwnd))
        # Typed with the keyboard: click into the edit, then type.
        self.click(dump, 1028)
        self.m.xdotool("type", "--delay", "60", "0 -,*W#p9")
        time.sleep(0.5)
        self.assertEqual(self.control(self.m.dump(hwnd), 1028)["text"], "0,W9")
        # Typed as characters sent to the edit: every rejected one disappears at once.
        cases = [("w", "0,W9w"), (" ", "0,W9w"), ("-", "0,W9w"), ("*", "0,W9w"),
                 ("#", "0,W9w"), ("p", "0,W9w"), ("a", "0,W9w"), ("\u00e4", "0,W9w"),
                 ("5", "0,W9w5")]
        for char, after in cases:
            with self.subTest(typed=char):
                self.assertEqual(self.m.inspect("chars", *target, "1028", char)["text"],
                                 after)
        # Pasted: only the digits of "0 - 9" stay.
        self.m.inspect("settext", *target, "1028", "")
        self.assertEqual(self.m.inspect("paste", *target, "1028", "0 - 9")["text"], "09")
        # The service codes cannot be changed.
        for cid, code in ((1033, "*43#"), (1034, "#43#")):
            self.click(dump, cid)
            self.m.xdotool("type", "1")
            self.m.inspect("chars", *target, str(cid), "2")
            self.assertEqual(self.control(self.m.dump(hwnd), cid)["text"], code)
        self.m.inspect("click", *target, "1")
        program.wait_line(r"^extra\.result=ok$")
        self.assertEqual(self.nth(program, "extra.outside_access", 1), "09")
        self.finished(program)

    def nth(self, program, key, n, timeout=30):
        """The n-th value (from 1) of key, waiting for it to be printed."""
        deadline = time.monotonic() + timeout
        while len(program.values(key)) < n:
            if time.monotonic() > deadline:
                raise AssertionError(f"no {n}. {key}: {program.lines()}")
            time.sleep(0.2)
        return program.values(key)[n - 1]

    def nth_dialog(self, program, n):
        hwnd = int(self.nth(program, "extra.hwnd", n), 16)
        self.m.wait_window("--hwnd", hex(hwnd))
        return hwnd, ("--hwnd", hex(hwnd))

    @harness.once
    def test_extra_ok_stores_and_cancel_stores_nothing(self):
        program, _ = self.open("extra", "--location-prefix", "9", "--stored-prefix", "5",
                               "--callout", "0", "--repeat", "3")
        # Run 1: edit and toggle, then Cancel: nothing changes.
        hwnd, target = self.nth_dialog(program, 1)
        dump = self.m.dump(hwnd)
        self.assertEqual(self.control(dump, 1028)["text"], "5", "the stored prefix wins")
        self.assertEqual(self.control(dump, 1040)["check"], 0)
        self.m.inspect("settext", *target, "1028", "123")
        self.click(dump, 1040)
        self.assertEqual(self.control(self.m.dump(hwnd), 1040)["check"], 1)
        self.m.inspect("click", *target, "2")
        self.assertEqual(self.nth(program, "extra.result", 1), "cancel")
        self.assertEqual(self.nth(program, "extra.outside_access", 1), "5")
        self.assertEqual(self.nth(program, "extra.callout", 1), "0")
        # Run 2: "0W" and the box on, then OK: both are kept.
        hwnd, target = self.nth_dialog(program, 2)
        self.assertEqual(self.control(self.m.dump(hwnd), 1028)["text"], "5")
        self.m.inspect("settext", *target, "1028", "")
        self.m.inspect("chars", *target, "1028", "0W")
        self.m.inspect("click", *target, "1040")
        time.sleep(0.5)
        self.m.inspect("click", *target, "1")
        self.assertEqual(self.nth(program, "extra.result", 2), "ok")
        self.assertEqual(self.nth(program, "extra.outside_access", 2), "0W")
        self.assertEqual(self.nth(program, "extra.callout", 2), "1")
        # Run 3: the stored "0W" is shown again, and the box is on.
        hwnd, target = self.nth_dialog(program, 3)
        dump = self.m.dump(hwnd)
        self.assertEqual(self.control(dump, 1028)["text"], "0W")
        self.assertEqual(self.control(dump, 1040)["check"], 1)
        self.m.inspect("click", *target, "2")
        self.finished(program)

    @harness.once
    def test_extra_without_callout_setting_opens_checked(self):
        program, hwnd = self.open("extra", "--no-location", "--callout", "none")
        dump = self.m.dump(hwnd)
        self.assertEqual(self.control(dump, 1040)["check"], 1)
        self.assertEqual(self.control(dump, 1028)["text"], "")
        self.m.inspect("click", "--hwnd", hex(hwnd), "2")
        program.wait_line(r"^extra\.result=cancel$")
        self.assertEqual(self.nth(program, "extra.callout", 1), "1", "the default was written")
        self.finished(program)

    # -- scan and info

    def test_scan_dialog(self):
        program, hwnd = self.open("scan")
        dump = self.m.dump(hwnd)
        checks.check_layout(self, dump, 103)
        checks.check_texts(self, dump, 103, self.LANG)
        self.assertEqual(self.nth(program, "scan.title", 1), self.text(120))
        # Centred on the screen's work area (within a pixel of rounding).
        left, top, right, bottom = (int(v) for v in self.nth(program, "scan.workarea", 1).split(","))
        x, y, w, h = dump["window_px"]
        self.assertLessEqual(abs((x + w / 2) - (left + right) / 2), 1)
        self.assertLessEqual(abs((y + h / 2) - (top + bottom) / 2), 1)
        self.shot(dump, "scan")
        # The user closes it with the close box: the main window is told to shut down.
        self.m.inspect("post", "--hwnd", hex(hwnd), hex(WM_SYSCOMMAND), hex(SC_CLOSE),
                             "0")
        program.wait_line(r"^main\.shutdown=1$")
        program.wait_line(r"^scan\.deleted=1$")

    def test_info_dialog(self):
        program, hwnd = self.open("info")
        dump = self.m.dump(hwnd)
        checks.check_layout(self, dump, 176)
        checks.check_texts(self, dump, 176, self.LANG)
        face, height, weight = self.nth(program, "info.font", 1).split(",")
        self.assertEqual((face, abs(int(height)), int(weight)), ("MS Sans Serif", 12, 700))
        self.shot(dump, "info")
        self.click(dump, 1044)
        program.wait_line(r"^info\.result=")
        program.wait_line(r"^info\.font_released=1$")
        self.finished(program)

    # -- wait dialog

    def positions(self, program):
        out = []
        for value in program.values("wait.pos"):
            found = re.match(r"^(\d+) t=(\d+)$", value)
            if found:
                out.append((int(found.group(1)), int(found.group(2))))
        return out

    def test_wait_dialog_bar_steps_and_wraps(self):
        program, hwnd = self.open("wait", "--close-after", "6500", "--escape-filter")
        dump = self.m.dump(hwnd)
        checks.check_layout(self, dump, 172)
        checks.check_texts(self, dump, 172, self.LANG)
        bar = self.control(dump, 1041)
        self.assertEqual(bar["range"], [0, 9])
        self.shot(dump, "wait")
        # Seen from outside: the bar moves while the window is open. Looked at for two of its
        # 500 ms steps, not a number of times: a look under 32-bit Wine can take far less than
        # a step.
        seen, deadline = set(), time.monotonic() + 1.5
        while len(seen) < 2 and time.monotonic() < deadline:
            seen.add(self.m.inspect("progress", "--hwnd", hex(hwnd), "1041")["pos"])
        self.assertGreaterEqual(len(seen), 2, seen)
        # Escape does not close it (the application's key filter takes it).
        self.m.xdotool("key", "Escape")
        program.wait_line(r"^wait\.ended=1", timeout=30)
        self.assertTrue(program.values("main.close"), "Escape reached the filter")
        ended = int(re.search(r"elapsed=(\d+)", program.values("wait.ended")[-1]).group(1))
        self.assertGreaterEqual(ended, 6000, "Escape did not end the dialog early")
        steps = self.positions(program)
        values = [p for p, _ in steps]
        # One step every 500 ms from 0 up to 9, then back to the low end. The step past
        # the end is the progress control's own wrap: Windows' starts again at 0, Wine's
        # wraps modulo the range's width and shows 1.
        self.assertEqual(values[:1], [0])
        self.assertIn(9, values)
        self.assertIn(values[values.index(9) + 1], (0, 1), values)
        for (p0, t0), (p1, t1) in zip(steps, steps[1:]):
            self.assertIn(p1, (p0 + 1, 0, 1), steps)
            if p1 == p0 + 1 and p0 > 0:
                self.assertTrue(350 <= t1 - t0 <= 750, f"step {p0}->{p1}: {t1 - t0} ms")
        self.assertEqual(self.nth(program, "wait.timer_left", 1), "0")
        self.finished(program)

    @harness.once
    def test_wait_dialog_closed_before_its_window_exists(self):
        program = self.m.start(harness.program("mavris-uitest.exe"), "wait", "--close-after", "0",
                                     with_out=True)
        self.addCleanup(program.kill)
        found = program.wait_line(r"^wait\.ended=1 elapsed=(\d+)", timeout=90)
        self.assertLess(int(found.group(1)), 3000, "the dialog closed at once")
        self.assertEqual(self.nth(program, "wait.timer_left", 1), "0")
        self.finished(program)

    @harness.once
    def test_wait_dialog_second_run_starts_empty(self):
        program = self.m.start(harness.program("mavris-uitest.exe"), "wait", "--close-after", "1600",
                                     "--runs", "2", with_out=True)
        self.addCleanup(program.kill)
        self.finished(program, timeout=90)
        lines = program.lines()
        runs = [i for i, line in enumerate(lines) if line.startswith("run=")]
        self.assertEqual(len(runs), 2, lines)
        for start, end in zip(runs, runs[1:] + [len(lines)]):
            positions = [int(line.split("=")[1].split()[0]) for line in lines[start:end]
                         if line.startswith("wait.pos=")]
            self.assertEqual(positions[:1], [0], lines[start:end])
            self.assertGreaterEqual(len(positions), 3, lines[start:end])
        self.assertEqual(program.values("wait.timer_left"), ["0", "0"])


harness.language_classes(DialogsBase, globals(), expected.LOCALES)

if __name__ == "__main__":
    unittest.main()
