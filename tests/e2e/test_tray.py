"""The tray icon as a user of each language meets it in the taskbar's notification area.

mavris-uitest.exe in its tray mode shows the icon on a stand-in main window and reports the
shell calls, the menus it opens and the commands that arrive. The mouse clicks go to the
icon where Wine's taskbar draws it; the icon's tip and position are read from the taskbar's
tip window, the open popup menu is photographed.
"""

import re
import time
import unittest

import expected
import harness

PROGRAMS = [harness.program("ui-inspect.exe"), harness.program("mavris-uitest.exe")]

TRAY_ID = 125
NIN_KEYSELECT = 0x401
WM_CONTEXTMENU = 0x7B
VK_RETURN, VK_ESCAPE, VK_DOWN = 0x0D, 0x1B, 0x28


class TrayBase(harness.MachineCase):
    def setUp(self):
        self.program = self.m.start(harness.program("mavris-uitest.exe"), "tray", "--timeout",
                                          "300000", with_out=True)
        self.addCleanup(self.program.kill)
        found = self.program.wait_line(r"^tray\.hwnd=(0x[0-9a-fA-F]+)", timeout=90)
        self.hwnd = int(found.group(1), 16)
        self.program.wait_line(r"^tray\.shell=add ok=1")
        self.tip = self.text(140)

    def text(self, text_id):
        return expected.text(text_id, self.LANG)

    def icon_tools(self):
        """The taskbar's tip tools of icons with our tip: (tool, centre on the screen)."""
        taskbar = self.m.dump(self.m.wait_window("--class", "Shell_TrayWnd"))
        ox, oy = taskbar["client_origin_px"]
        found = []
        for tool in taskbar["tooltips"]:
            x, y, w, h = tool["rect_px"]
            # A removed icon leaves its tool behind with an empty rectangle.
            if tool["text"] == self.tip and w > 0 and h > 0:
                found.append((tool, (ox + x + w // 2, oy + y + h // 2)))
        return found

    def icon_tool(self):
        found = self.icon_tools()
        self.assertEqual(len(found), 1, f"one icon with the tip {self.tip!r}")
        return found[0]

    def click_menu(self, menu, fraction):
        """Clicks the menu item at this fraction of the popup's height."""
        x, y, w, h = menu["px"]
        self.m.xdotool("mousemove", x + w // 2, y + int(h * fraction), "click", "1")

    def dismiss_menu(self):
        # A click outside closes a popup menu without a choice.
        self.m.xdotool("mousemove", harness.SCREEN[0] // 2, harness.SCREEN[1] // 3,
                             "click", "1")

    def popup_menus(self):
        return [m for m in self.m.inspect("menu") if m["process"] == "mavris-uitest.exe"]

    def wait_menus(self, count, timeout=15):
        deadline = time.monotonic() + timeout
        while True:
            menus = self.popup_menus()
            if len(menus) == count:
                return menus
            if time.monotonic() > deadline:
                raise AssertionError(f"{len(menus)} popup menus open, expected {count}")
            time.sleep(0.3)

    def key_to_menu(self, menu, *keys):
        for key in keys:
            self.m.inspect("post", "--hwnd", menu["hwnd"], hex(0x100), str(key), "0")
            time.sleep(0.15)

    def commands(self):
        return self.program.values("tray.command")

    def exists(self):
        return self.m.inspect("tray", "--hwnd", hex(self.hwnd), str(TRAY_ID))["exists"]

    def end(self):
        self.m.inspect("post", "--hwnd", hex(self.hwnd), "0x111", "32772", "0")
        self.program.wait_line(r"^tray\.end=1$")
        self.assertEqual(self.program.wait(timeout=30), 0)

    # -- the checks

    def test_icon_shows_the_tip_of_the_language(self):
        shell = re.match(r"^add ok=1 icon=(\d+) tip=(.*)$", self.program.values("tray.shell")[0])
        self.assertEqual(shell.group(2), self.tip)
        # The icon's own 16-pixel image, the small icon size at 96 dpi (other sizes: the
        # resources' dpi table).
        self.assertEqual(int(shell.group(1)), 16)
        self.icon_tool()  # the taskbar shows the icon with that tip
        self.assertTrue(self.exists())
        self.end()
        self.assertEqual(self.icon_tools(), [], "the icon is removed at the end")

    def test_right_button_release_opens_the_menu(self):
        _, (x, y) = self.icon_tool()
        self.m.xdotool("mousemove", x, y, "click", "3")
        menus = self.wait_menus(1)
        self.program.wait_line(r"^tray\.menu=")
        items = re.findall(r"p|\d+", self.program.values("tray.menu")[-1].split(" default=")[0])
        self.assertEqual(items, ["32771", "0", "p", "0", "32772"])
        self.assertEqual(self.program.values("tray.menu")[-1].split(" default=")[1], "32771")
        mx, my, mw, mh = menus[0]["px"]
        # "Open", separator, the modem's sub-menu, separator, "Exit": the sub-menu's item is
        # in the middle. A click on it opens the sub-menu; both levels are photographed.
        self.click_menu(menus[0], 0.5)
        sub = self.wait_menus(2)
        left = min(m["px"][0] for m in sub)
        top = min(m["px"][1] for m in sub)
        right = max(m["px"][0] + m["px"][2] for m in sub)
        bottom = max(m["px"][1] + m["px"][3] for m in sub)
        self.m.screenshot(f"{self.LANG}-tray-menu",
                                (left - 4, top - 4, right - left + 8, bottom - top + 8))
        self.assertGreater(mw, 40)
        self.assertGreater(mh, 40)
        # "Stay Connected" above, "Cut the Line" below: choose the lower one.
        second = next(m for m in sub if m["hwnd"] != menus[0]["hwnd"])
        self.click_menu(second, 0.75)
        self.program.wait_line(r"^tray\.command=32775$")
        self.wait_menus(0)
        self.end()

    @harness.once
    def test_other_mouse_actions_open_nothing(self):
        _, (x, y) = self.icon_tool()
        before = len(self.program.lines())
        self.m.xdotool("mousemove", x, y, "click", "1")
        self.m.xdotool("mousemove", x + 1, y)
        self.m.xdotool("mousedown", "3")
        time.sleep(1.5)
        self.assertEqual(self.popup_menus(), [], "no menu on a press, a click or a move")
        self.assertEqual(self.commands(), [])
        self.assertFalse([line for line in self.program.lines()[before:]
                          if line.startswith("tray.menu=")])
        # The release of the right button opens it; a click outside closes it unchosen.
        self.m.xdotool("mouseup", "3")
        self.wait_menus(1)
        self.dismiss_menu()
        self.wait_menus(0)
        self.assertEqual(self.commands(), [])
        self.end()

    @harness.once
    def test_double_click_opens(self):
        _, (x, y) = self.icon_tool()
        self.m.xdotool("mousemove", x, y, "click", "--repeat", "2", "--delay", "80", "1")
        self.program.wait_line(r"^tray\.command=32771$")
        self.assertEqual(self.commands(), ["32771"])
        self.assertEqual(self.popup_menus(), [])
        self.end()

    @harness.once
    def test_the_keyboard_opens_the_menu_at_the_icon(self):
        # Win+B, the arrows, then Enter or the menu key: Windows tells an icon of version 4 so
        # with NIN_KEYSELECT or WM_CONTEXTMENU and the icon's place. Wine's taskbar has no
        # keyboard navigation, so they are posted here as Windows sends them.
        self.assertTrue([v for v in self.program.values("tray.shell")
                         if v.startswith("setversion ok=1")], "the shell took version 4")
        tool, _ = self.icon_tool()
        ox, oy = self.m.dump(self.m.wait_window("--class", "Shell_TrayWnd"))["client_origin_px"]
        x, y = ox + tool["rect_px"][0], oy + tool["rect_px"][1]

        def notify(event):
            self.m.inspect("post", "--hwnd", hex(self.hwnd), hex(0x8064),
                           str((y << 16) | x), str((TRAY_ID << 16) | event))

        menus_before = len(self.program.values("tray.menu"))
        notify(NIN_KEYSELECT)
        notify(NIN_KEYSELECT)  # one Enter brings two
        menu = self.wait_menus(1)[0]
        time.sleep(1.0)
        self.assertEqual(len(self.program.values("tray.menu")), menus_before + 1)
        # The keys are posted to the open menu: xdotool's key presses did not reach a menu
        # whose owner window is hidden (as the icon's owner is) on Wine's desktop here.
        self.key_to_menu(menu, VK_DOWN, VK_RETURN)
        self.program.wait_line(r"^tray\.command=32771$")
        self.wait_menus(0)

        # The menu key; Escape leaves it unchosen and hands the keyboard back to the icons.
        time.sleep(1.0)
        notify(WM_CONTEXTMENU)
        self.key_to_menu(self.wait_menus(1)[0], VK_ESCAPE)
        self.wait_menus(0)
        self.program.wait_line(r"^tray\.shell=setfocus ok=")
        self.assertEqual(self.commands(), ["32771"])
        self.end()

    @harness.once
    def test_icon_comes_back_after_the_taskbar_is_recreated(self):
        # A restarted shell has forgotten the icon and broadcasts "TaskbarCreated".
        self.m.inspect("tray-delete", "--hwnd", hex(self.hwnd), str(TRAY_ID))
        self.assertFalse(self.exists())
        adds = len([v for v in self.program.values("tray.shell") if v.startswith("add ")])
        self.m.inspect("taskbar-created")
        deadline = time.monotonic() + 15
        while len([v for v in self.program.values("tray.shell") if v.startswith("add ")]) \
                == adds:
            self.assertLess(time.monotonic(), deadline, self.program.lines())
            time.sleep(0.2)
        last = [v for v in self.program.values("tray.shell") if v.startswith("add ")][-1]
        self.assertEqual(last, f"add ok=1 icon=16 tip={self.tip}")
        self.assertTrue(self.exists())
        self.icon_tool()
        self.end()


harness.language_classes(TrayBase, globals(), expected.LOCALES)

if __name__ == "__main__":
    unittest.main()
