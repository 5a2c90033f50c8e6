"""The fault matrix: Mavris.exe against modems that answer badly, ports held by others, and
registry values and keys no installer should leave behind. One table of cases, one driver;
each case checks that the program keeps running (or ends with the info dialog when no modem
is left), that the user sees the boxes that belong to the outcome, that "UserInit" is exactly
the rewritten value or untouched (read byte for byte from regedit's export), that the
settings are as they were, that no port stays held and that nothing of the tool is left once
it has ended. Two classes, one booted machine each.
"""

import unittest
from collections import namedtuple

import fault_harness
from app_harness import modem
from fault_harness import DENY_READ, DENY_WRITE, SETTINGS, SETTINGS_PATH, WM_COMMAND
import harness
from harness import FULL_PROBE, MODEM_CLASS_KEY, mavris_exe, modem_sim_exe

PROGRAMS = [mavris_exe(), modem_sim_exe(), fault_harness.reg_access_exe()]
CUT, STAY = 32775, 32774
LOUD_CUT = "atm2l3x4d*43#,,;h\\r"
INFO = "info"  # no modem left: the info dialog, then the program ends

Case = namedtuple("Case", "name modems user_init command boxes after dialled settings location "
                          "deny hold extra first_run",
                  defaults=(["at s7=60"], CUT, (135,), "+PCW=1;S7=60", [LOUD_CUT], SETTINGS,
                            None, (), None, None, False))
GOOD = [modem(3)]

LINE_CASES = [
    Case("silent", [modem(3, silent="on")], boxes=INFO),
    Case("garbage", [modem(3, garbage="on")], boxes=INFO),
    # An answer cut in the middle of its line: whole within the read's 200 ms gap, else lost.
    Case("split_mid_line_read_whole", [modem(3, split=60, split_at=9)]),
    Case("split_mid_line_too_late", [modem(3, split=600, split_at=9)], boxes=INFO),
    # The line drops while a read waits for the answer (under Wine a read that starts on a
    # line already gone waits for its whole time-out, about 104 s).
    Case("line_dropped_in_scan", [modem(3), modem(4, hangup_after=1)],
         user_init=["at s7=60", "at s7=60"]),
    Case("line_dropped_in_call", [modem(3, hangup_after=6)],
         boxes=(148, 135)),
    Case("port_held_at_scan", GOOD, boxes=INFO, dialled=None, hold="scan"),
    Case("port_held_at_change", GOOD, boxes=(148, 135), dialled=[], hold="change"),
]

REGISTRY_CASES = [
    Case("user_init_missing", GOOD, user_init=[None], after="+PCW=1;"),
    Case("user_init_empty", GOOD, user_init=[""], after="+PCW=1;"),
    Case("user_init_255", GOOD, user_init=[("S7=60&K3" * 32)[:255]], boxes=(147, 135),
         after=None, dialled=[]),
    Case("user_init_two_settings", GOOD, user_init=["at+pcw=1;s7=60;+pcw=0"], command=STAY,
         after="+PCW=2;S7=60;+PCW=0", dialled=["atm2l3x4d#43#,,;h\\r"]),
    Case("user_init_non_ascii", GOOD, user_init=["at s7=60 \xe4\xdf\u20ac"],
         after="+PCW=1;S7=60\xe4\xdf\u20ac"),
    Case("modem_key_not_writable", GOOD, boxes=(147, 135), after=None, dialled=[],
         deny=[("HKLM", MODEM_CLASS_KEY + r"\0000", DENY_WRITE)]),
    # The prefix of the current location (2) through Extra: only dialling characters reach the
    # modem; one longer than the dial command allows is refused, not cut.
    Case("prefix_control_characters", GOOD, location=(2, {1: "9", 2: "0\x01;\tw\r9atz"}),
         dialled=["atm2l3x3d0w9*43#,,;h\\r"], extra=1),
    Case("prefix_too_long", GOOD, location=(1, {1: "0" * 250}), boxes=(148, 135), dialled=[],
         extra=2),
    # Extra never opened in this run: the call still takes the current location's prefix.
    Case("prefix_without_extra", GOOD, location=(2, {1: "9", 2: "0w"}),
         dialled=["atm2l3x3d0w*43#,,;h\\r"]),
    # Unreadable settings: every start is a first run; writes fail, the defaults hold.
    Case("settings_unreadable", GOOD, deny=[("HKCU", SETTINGS_PATH, DENY_READ)], first_run=True),
    # The type is not looked at: the string "1" is the bytes 31 00, not 1: speaker off.
    Case("sound_a_string", GOOD, settings=dict(SETTINGS, Sound="1"),
         dialled=["atm0x4d*43#,,;h\\r"]),
    Case("callout_binary", GOOD, settings=dict(SETTINGS, CallOut=b"\0\0\0\0"), dialled=[]),
]


def as_exported(settings):
    return {name: "hex:" + ",".join(f"{b:02x}" for b in value) if isinstance(value, bytes)
            else value for name, value in settings.items()}


class FaultsBase(harness.MachineCase):
    CASES = []

    @classmethod
    def make_machine(cls):
        return fault_harness.FaultMachine()

    def test_fault_matrix(self):
        for case in self.CASES:
            with self.subTest(case.name):
                try:
                    self.run_case(case)
                finally:
                    self.m.undo()

    def run_case(self, c):
        if c.boxes == INFO:  # nothing to change, nothing written, nothing dialled
            c = c._replace(after=None, dialled=None if c.dialled is None else [])
        m = self.m
        m.set_up(c.modems, c.user_init, c.settings, c.location)
        for root, key, sddl in c.deny:
            m.deny(root, key, sddl)
        if c.hold == "scan":
            m.hold(3)
        program = m.start_tool()
        if c.boxes == INFO:
            info = m.wait_tool_window(m.text(139))
            self.assertEqual(m.port_holders(), {p: [] for p in m.ptys}, "held after the scan")
            # A port in use is named, as the modem may well be one; else "no supported modem".
            lines = {c["id"]: c for c in m.dump(info)["controls"]}
            self.assertEqual(lines[1043]["text"], m.text(170 if c.hold == "scan" else 108))
            self.assertEqual(lines[1045]["visible"], c.hold == "scan")
            self.assertEqual("COM3" in lines[1045]["text"], c.hold == "scan")
            m.press(info, 1044)
        else:
            main = m.scan_done()
            self.assertEqual(m.port_holders(), {p: [] for p in m.ptys}, "held after the scan")
            if c.first_run:
                m.wait_tool_window(m.text(132))  # the main dialog shows itself
            if c.hold == "change":
                m.hold(3)
            if c.extra is not None:
                m.post(main, WM_COMMAND, fault_harness.OPEN)
                m.press(main, 1038)
                m.press(m.wait_tool_window(m.text(159)), c.extra)
            m.post(main, WM_COMMAND, c.command)
            for box in c.boxes:
                m.answer_box(box)
            self.assertIsNone(program.proc.poll(), "the program ended after the change")
            m.post(main, WM_COMMAND, fault_harness.EXIT)
        self.assertEqual(program.wait(timeout=30), 0)
        m.release()
        self.assertEqual((m.tool_processes(), m.tool_windows()), ([], []), "left behind")
        self.assertEqual(m.port_holders(), {p: [] for p in m.ptys}, "held after the end")
        after = c.user_init[:1] if c.after is None else [c.after]
        self.assertEqual(m.user_inits(len(c.modems)), after + c.user_init[1:])
        commands = m.sims[3].commands()
        if c.dialled is None:
            self.assertEqual(commands, [], "the held port was used")
        else:
            self.assertEqual([x for x in commands if x not in FULL_PROBE], c.dialled)
        m.undo()
        self.assertEqual(m.settings(), as_exported(c.settings), "the settings changed")


class FaultsLine(FaultsBase):
    CASES = LINE_CASES

    def test_races_at_fixed_moments(self):
        """A few fixed moments of the races that stress_app.py draws at random."""
        for race, moment in [("fast_change", (CUT,)), ("fast_change", (STAY,)),
                             ("exit_during_change", (0.0,)), ("exit_during_change", (1.0,)),
                             ("exit_during_change", (3.0,)), ("taskbar_during_change", (0.2,)),
                             ("taskbar_during_change", (1.5,))]:
            with self.subTest(race, moment=moment):
                try:
                    getattr(self.m, "race_" + race)(*moment)
                finally:
                    self.m.clean_up()


class FaultsRegistry(FaultsBase):
    CASES = REGISTRY_CASES


if __name__ == "__main__":
    unittest.main()
