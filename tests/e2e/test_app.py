"""Mavris.exe as a user meets it: started under 32-bit Wine against simulated modems and driven
from outside (windows found and read with ui-inspect, buttons pressed, keys typed and the
tray icon clicked with xdotool), in a German and an English run; the cases that do not depend
on the language run in German only.
"""

import subprocess
import time
import unittest

import app_harness
import checks
import expected
import harness
from app_harness import (SC_CLOSE, VK_ESCAPE, WM_CLOSE, WM_COMMAND, WM_ENDSESSION, WM_KEYDOWN,
                         WM_QUERYENDSESSION, WM_SYSCOMMAND, modem)

PROGRAMS = [harness.mavris_exe(), harness.modem_sim_exe()]
PROBES = ["at&f\\r", "at+gmi?\\r", "at+gmm?\\r", "at+pcw?\\r", "at+gci?\\r"]
FOREIGN = {"country": "3D"}
SETTINGS = app_harness.SETTINGS_KEY


class AppBase(harness.MachineCase):
    @classmethod
    def make_machine(cls):
        return app_harness.AppMachine(cls.LANG)

    def setUp(self):
        self.m.forget_user()

    def tearDown(self):
        if self.m.program is not None:
            self.m.program.kill()
        self.m.stop_sims()

    # -- helpers

    def text(self, text_id):
        return expected.text(text_id, self.LANG)

    def start(self, modems, warnings=0):
        """Starts the tool on these modems; answers the expected country warnings."""
        self.m.add_modems(modems)
        program = self.m.start_tool()
        for _ in range(warnings):
            box = self.m.wait_box(146)
            self.m.press(int(box["hwnd"], 16), 1)
        self.assertIsNotNone(self.m.tray_icon_position(timeout=60), "tray icon after the scan")
        return program

    def controls(self, hwnd):
        return {c["id"]: c for c in self.m.dump(hwnd)["controls"]}

    def visible(self, hwnd):
        return self.m.dump(hwnd)["visible"]

    def wait_hidden(self, hwnd, timeout=10):
        deadline = time.monotonic() + timeout
        while self.visible(hwnd):
            self.assertLess(time.monotonic(), deadline, "the window stays visible")
            time.sleep(0.2)

    def key(self, *keys):
        self.m.xdotool("key", *keys)

    def ended_within(self, program, action, limit):
        begin = time.monotonic()
        action()
        self.assertEqual(program.wait(timeout=30), 0)
        seconds = time.monotonic() - begin
        print(f"ended {seconds:.2f} s after the command", flush=True)
        self.assertLess(seconds, limit)

    def foreground(self):
        return int(self.m.inspect("foreground")["hwnd"], 16)

    def start_again(self):
        """A second start of the tool, which must end at once with 0."""
        second = subprocess.run([harness.wine(), str(harness.mavris_exe())],
                                env=self.m.env, timeout=30, stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.assertEqual(second.returncode, 0)

    def dialled(self, port):
        return [c for c in self.m.sims[port].commands() if c not in PROBES]

    def mode_change(self, command, error_box=None):
        """Chooses the command in the tray menu; waits for the wait dialog to end and
        answers the result boxes (error_box first when given, then text 135), each of which
        must be the active window."""
        self.m.choose_from_tray(command)
        for text_id, title_id in ([(error_box, 107)] if error_box else []) + [(135, 138)]:
            box = self.m.wait_box(text_id)
            self.assertEqual(box["title"], self.text(title_id))
            self.assertEqual(self.foreground(), int(box["hwnd"], 16), f"box {text_id} behind")
            self.m.press(int(box["hwnd"], 16), 1)


class FirstRunBase(AppBase):
    def test_first_run_then_a_later_run(self):
        # Subkeys 0 and 2 are gone (modems uninstalled): the two behind them are found.
        self.m.add_modems([modem(3, dial_delay=2500), modem(4, **FOREIGN)], indexes=[1, 3])
        program = self.m.start_tool()
        # The scan window comes first; one stop box names the modem of the other country.
        self.m.wait_tool_window(self.text(120))
        box = self.m.wait_box(146)
        statics = " ".join(c["text"] for c in box["controls"] if c["class"] == "Static")
        self.assertIn("ORVA 56k V.92 (COM4)", statics)
        self.assertEqual(box["title"], self.text(138))
        self.m.press(int(box["hwnd"], 16), 1)

        main = self.m.wait_tool_window(self.text(132))
        dump = self.m.dump(main)
        checks.check_layout(self, dump, 102, template_visibility=False)
        checks.check_texts(self, dump, 102, self.LANG, skip=(1004, 1005, 1038, 1039))
        checks.check_tips(self, dump, 102, self.LANG)
        got = {c["id"]: c for c in dump["controls"]}
        self.assertEqual(got[1004]["text"], self.text(109))
        self.assertEqual(got[1005]["text"], "ORVA 56k V.92 (COM3)")
        self.assertEqual(got[1003]["items"], ["ORVA 56k V.92 (COM3)"])
        self.assertEqual((got[1014]["check"], got[1027]["check"]), (1, 1))
        self.assertIsNotNone(self.m.tray_icon_position(), "tray icon with tip 140")
        self.m.wait_tool_window("Mavris", cls="HH Parent", timeout=30)
        for name in ("Sound", "CallOut"):
            self.assertEqual(self.m.reg_value(SETTINGS, name), "0x1", name)
        self.assertIn("Mavris.exe", self.m.reg_value(app_harness.RUN_KEY, "ORVA_ModemOnHold"))
        # The scan gave back every port: another program can use the modems now.
        self.assertEqual((self.m.pty_holders(3), self.m.pty_holders(4)), ([], []))
        self.m.screenshot(f"{self.LANG}-app-first-run")

        # "Cut the Line" with the provider call and the speaker on; the tray menu marks the
        # behaviour the modem has now.
        self.assertEqual(self.m.modem_menu_marks(), {32774: False, 32775: False})
        self.mode_change(32775)
        self.assertEqual(self.dialled(3), ["atm2l3x4d*43#,,;h\\r"])
        self.assertEqual(self.dialled(4), [])
        self.assertEqual(self.m.user_init(1), "+PCW=1;S7=60")
        self.assertEqual(self.m.modem_menu_marks(), {32774: False, 32775: True})
        # Changed elsewhere (the modem's control panel): the menu marks what the modem has.
        self.m.reg("add", f"HKLM\\{harness.modem_key(1)}", "/v", "UserInit", "/d",
                   "+PCW=2;S7=60", "/f")
        self.assertEqual(self.m.modem_menu_marks(), {32774: True, 32775: False})

        # Escape, the close box and Alt+F4 hide the dialog; the tray's "Open" shows it.
        for hide in (lambda: self.key("Escape"),
                     lambda: self.m.post(main, WM_SYSCOMMAND, SC_CLOSE),
                     lambda: self.key("alt+F4")):
            self.m.choose_from_tray(32771)
            self.m.wait_tool_window(self.text(132))
            hide()
            self.wait_hidden(main)
        self.assertIsNone(program.proc.poll(), "hiding keeps the program running")
        self.ended_within(program, lambda: self.m.choose_from_tray(32772), 2.0)

        # A later run: nothing shows after the scan. A second start ends at once and makes
        # no window: during the scan (the country warning is up) it does nothing, afterwards
        # the running tool shows its main dialog in front.
        self.m.add_modems([modem(3), modem(4, **FOREIGN)])
        program = self.m.start_tool()
        warning = int(self.m.wait_box(146)["hwnd"], 16)
        self.start_again()
        self.m.press(warning, 1)
        self.assertIsNotNone(self.m.tray_icon_position(timeout=60), "tray icon after the scan")
        self.assertFalse(self.visible(main := self.m.main_hwnd()))
        before = len(self.m.tool_windows())
        self.start_again()
        self.assertEqual(len(self.m.tool_windows()), before, "the second start made windows")
        self.assertEqual(self.m.wait_tool_window(self.text(132), timeout=10), main)
        self.assertEqual(self.foreground(), main)
        self.ended_within(program, lambda: self.m.press(main, 1019), 2.0)


class BehaviourDe(AppBase):
    LANG = "de"

    def test_two_modems_the_chosen_one_gets_the_commands(self):
        self.m.add_modems([modem(3), modem(5, dial="no_dialtone")])
        # Unpacked below a user's folder whose name the ANSI code page (1252 here) cannot
        # write: the first run's help still opens, and autorun names the program as it is.
        exe = self.m.unpacked_copy("Users/\u0141ukasz/Mavris")
        self.m.start_tool(exe=exe)
        main = self.m.wait_tool_window(self.text(132))
        run_key = "HKEY_CURRENT_USER\\" + app_harness.RUN_KEY.split("\\", 1)[1]
        self.assertEqual(self.m.exported(run_key)[run_key]["ORVA_ModemOnHold"],
                         self.m.windows_path(exe))
        got = self.controls(main)
        self.assertEqual(got[1004]["text"], "2" + self.text(118))
        self.assertEqual(got[1003]["items"], ["ORVA 56k V.92 (COM3)", "ORVA 56k V.92 (COM5)"])
        # The second modem is chosen in the list: it becomes the current one.
        self.m.close_help()
        self.m.choose_from_tray(32771)
        self.m.choose_in_list(main, 1003, 1)
        time.sleep(0.5)
        self.assertEqual(self.controls(main)[1005]["text"], "ORVA 56k V.92 (COM5)")

        # "Cut the Line": dialled on COM5 alone, which answers NO DIALTONE: 148, then 135.
        self.mode_change(32775, error_box=148)
        self.assertEqual(self.dialled(5), ["atm2l3x4d*43#,,;h\\r"])
        self.assertEqual(self.dialled(3), [])
        self.assertEqual(self.m.user_init(1), "+PCW=1;S7=60")

        # Speaker off, then "Stay Connected": the dial command switches the speaker off.
        self.m.choose_from_tray(32771)
        self.m.wait_tool_window(self.text(132))
        self.m.press(main, 1027)
        time.sleep(0.5)
        self.assertEqual(self.m.reg_value(SETTINGS, "Sound"), "0x0")
        self.mode_change(32774, error_box=148)
        self.assertEqual(self.dialled(5)[-1], "atm0x4d#43#,,;h\\r")

        # Without the provider call nothing is dialled; only "UserInit" changes.
        self.m.reg("add", SETTINGS, "/v", "CallOut", "/t", "REG_DWORD", "/d", "0", "/f")
        self.mode_change(32775)
        self.assertEqual(len(self.dialled(5)), 2)
        self.assertEqual(self.m.user_init(1), "+PCW=1;S7=60")

    def test_while_a_command_runs_the_tray_starts_nothing(self):
        program = self.start([modem(3, dial_delay=4000)])
        main = self.m.main_hwnd()
        self.m.close_help()  # of the first run
        # Extra is open: a click on the icon opens no menu; Escape leaves Extra open.
        self.m.choose_from_tray(32771)
        self.m.wait_tool_window(self.text(132))
        self.m.press(main, 1038)
        extra = self.m.wait_tool_window(self.text(159))
        self.m.xdotool("mousemove", *self.m.tray_icon_position(), "click", "3")
        time.sleep(1.0)
        self.assertEqual(self.m.menus(), [])
        self.key("Escape")
        self.wait_hidden(main)
        self.assertTrue(self.visible(extra), "Escape closed the Extra dialog")
        self.m.press(extra, 2)
        # About through the system menu, help through Info, autorun off through its box.
        self.m.choose_from_tray(32771)
        self.m.wait_tool_window(self.text(132))
        self.m.post(main, WM_SYSCOMMAND, 16)
        self.m.press(self.m.wait_tool_window(self.text(106)), 1)
        self.m.press(main, 1039)
        self.m.close_help()
        self.m.press(main, 1014)
        time.sleep(0.5)
        self.assertIsNone(self.m.reg_value(app_harness.RUN_KEY, "ORVA_ModemOnHold"))
        self.m.press(main, 1008)
        self.wait_hidden(main)

        # The wait dialog: no menu from the icon, Alt+F4 does not end it.
        self.m.choose_from_tray(32775)
        wait = self.m.wait_tool_window("", timeout=20)
        self.m.xdotool("mousemove", *self.m.tray_icon_position(), "click", "3")
        self.m.post(wait, WM_SYSCOMMAND, SC_CLOSE)
        self.m.post(wait, WM_CLOSE)
        self.m.post(wait, WM_KEYDOWN, VK_ESCAPE)
        time.sleep(1.0)
        self.assertTrue(self.visible(wait), "the wait dialog ended before the modem answered")
        self.assertEqual(self.m.menus(), [])
        box = self.m.wait_box(135)
        self.assertEqual(len(self.dialled(3)), 1)
        self.m.press(int(box["hwnd"], 16), 1)

        # Exit during a change ends the program once the change is done.
        self.m.choose_from_tray(32774)
        self.m.wait_tool_window("", timeout=20)
        self.m.post(main, WM_COMMAND, 32772)
        self.assertEqual(program.wait(timeout=30), 0)
        self.assertEqual(self.dialled(3)[-1], "atm2l3x4d#43#,,;h\\r")
        self.assertEqual(self.m.user_init(0), "+PCW=2;S7=60")

    def test_the_session_ends_inside_the_tray_menu(self):
        program = self.start([modem(3)])
        main = self.m.main_hwnd()
        self.m.open_tray_menu()
        self.m.send(main, WM_QUERYENDSESSION)
        self.m.send(main, WM_ENDSESSION, 1)
        self.m.xdotool("mousemove", 500, 200, "click", "1")  # the menu closes unchosen
        self.assertEqual(program.wait(timeout=30), 0)
        self.assertIsNone(self.m.tray_icon_position(timeout=2))

    def test_no_supported_modem_shows_the_info_dialog_then_ends(self):
        self.m.add_modems([modem(3, pcw="off")])
        program = self.m.start_tool()
        info = self.m.wait_tool_window(self.text(139))
        self.assertFalse(self.visible(self.m.wait_tool_window("Mavris", visible=False)))
        self.assertEqual(self.foreground(), info, "the info dialog is behind")
        self.m.press(info, 1044)
        self.assertEqual(program.wait(timeout=30), 0)

    def test_closing_the_scan_window_ends_the_program_at_any_moment(self):
        # A good modem (about 1.8 s to probe), two silent ones (2 s each, most of it one read)
        # and one of another country (its warning comes at about 7.6 s); the window is closed
        # at moments through the scan, in the silent reads, during the warning and at its end.
        # The scan stops at once: no port it had not reached yet is opened.
        for delay in (0.2, 1.0, 2.6, 3.5, 4.6, 6.5, 8.6, 9.5):
            with self.subTest(close_after=delay):
                self.m.forget_user()
                self.m.add_modems([modem(3), modem(4, silent="on"), modem(5, silent="on"),
                                   modem(6, **FOREIGN)])
                program = self.m.start_tool()
                try:
                    scan = self.m.wait_tool_window(self.text(120))
                    time.sleep(delay)
                    shown = {w["hwnd"] for w in self.m.visible_tool_windows()}
                    reached = {port for port, sim in self.m.sims.items() if sim.commands()}
                    closed = time.monotonic()
                    self.m.post(scan, WM_SYSCOMMAND, SC_CLOSE)
                    late = []
                    while program.proc.poll() is None and time.monotonic() - closed < 30:
                        late += [w for w in self.m.visible_tool_windows()
                                 if w["hwnd"] not in shown and w["class"] == "#32770"]
                    self.assertEqual(program.wait(timeout=5), 0)
                    ended = time.monotonic() - closed
                    after = {port for port, sim in self.m.sims.items() if sim.commands()}
                    print(f"closed after {delay} s: ended {ended:.2f} s later, ports reached "
                          f"{sorted(reached)}, after the close {sorted(after - reached)}",
                          flush=True)
                    self.assertEqual(late, [], "a window (warning, main dialog) after the close")
                    self.assertLessEqual(after - reached, {min(set(self.m.sims) - reached)}
                                         if reached != set(self.m.sims) else set(),
                                         "the scan went on to further ports")
                    self.assertLess(ended, 2.0, "the program ended late")
                finally:
                    # A check that failed half-way must not leave this run's tool holding the
                    # single-instance mutex: the next start would end at once.
                    program.kill()
                    self.m.stop_sims()


FirstRunDe = type("FirstRunDe", (FirstRunBase,), {"LANG": "de"})
FirstRunEn = type("FirstRunEn", (FirstRunBase,), {"LANG": "en"})
del FirstRunBase

if __name__ == "__main__":
    unittest.main()
