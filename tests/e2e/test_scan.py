"""mavris-scan.exe under 32-bit Wine on machines with simulated modems.

Each class builds its machine once (a fresh Wine prefix, the modem subkeys in its registry,
one simulator per COM port), runs one scan and checks its output, exit code, timing and the
commands that every simulated modem received.
"""

import unittest

from harness import FULL_PROBE, MODEL, CommandClock, Machine, modem_reg_text, program

PROGRAMS = [program("mavris-scan.exe")]
SCREEN = False


def scan_exe():
    return program("mavris-scan.exe")


class ScanTest(unittest.TestCase):
    """Several modems: a supported German one, a supported one set up for another country, a
    silent port, a modem of another maker, a subkey without a port, a second subkey on a
    port already taken, a subkey that exists only in the legacy layout, then a gap in the
    subkey numbers (a modem uninstalled) with a supported modem behind it."""

    @classmethod
    def setUpClass(cls):
        machine = Machine("scan")
        cls.addClassCleanup(machine.close)
        machine.boot()
        cls.sims = {
            3: machine.add_modem(3),                           # German, supported
            4: machine.add_modem(4, country="3D"),             # supported, another country
            6: machine.add_modem(6, silent=1),                 # never answers
            5: machine.add_modem(5, maker="HAYES", model="Accura 56k"),
            8: machine.add_modem(8),                           # legacy layout, German
            7: machine.add_modem(7),                           # behind the gap
        }
        machine.import_reg(modem_reg_text([
            {"index": 0, "AttachedTo": "COM3", "Model": MODEL, "UserInit": "at s7=60 l2"},
            {"index": 1, "AttachedTo": "COM4", "Model": MODEL},
            {"index": 2, "AttachedTo": "COM6", "Model": MODEL},
            {"index": 3, "AttachedTo": "COM5", "Model": "Hayes Accura 56k"},
            {"index": 4, "Model": MODEL},
            {"index": 5, "AttachedTo": "COM3", "Model": "ORVA second subkey"},
            {"index": 6, "legacy": True, "AttachedTo": "COM8", "Model": MODEL,
             "UserInit": "&k3"},
            {"index": 8, "AttachedTo": "COM7", "Model": MODEL},
        ]))
        with CommandClock(cls.sims.values()) as clock:
            cls.exit_code, cls.lines, cls.stderr, _ = machine.run_timed(scan_exe())
        cls.clock = clock

    def test_lists_the_supported_german_modems_after_the_warning_for_the_other_country(self):
        self.assertEqual(
            ["warning\t1\tORVA 56k V.92 (COM4)",
             "modem\t0\tORVA 56k V.92 (COM3)\t0\tATS7=60L2",
             "modem\t1\tORVA 56k V.92 (COM8)\t6\t&K3",
             "modem\t2\tORVA 56k V.92 (COM7)\t8\t",
             "count\t3"],
            [line for _, line in self.lines], self.stderr)

    def test_the_warning_is_printed_while_the_scan_goes_on(self):
        # The warning for COM4 is out before the modem after it is asked anything, not
        # only when the program ends some seconds later.
        warned = next(when for when, line in self.lines if line.startswith("warning"))
        next_asked = self.clock.first(6, "at&f\\r")
        self.assertIsNotNone(next_asked)
        self.assertLess(warned, next_asked + 0.5)

    def test_exit_code_says_supported_modems_were_found(self):
        self.assertEqual(0, self.exit_code, self.stderr)

    def test_each_modem_received_exactly_its_probes(self):
        expected = {
            3: FULL_PROBE,
            4: FULL_PROBE,
            # No answer to the reset: the port is given up, nothing more is sent.
            6: ["at&f\\r"],
            # The maker check fails: the port is closed before the model is asked for.
            5: ["at&f\\r", "at+gmi?\\r"],
            8: FULL_PROBE,
            7: FULL_PROBE,
        }
        for port, commands in expected.items():
            with self.subTest(port=port):
                self.assertEqual(commands, self.sims[port].commands())

    def test_modems_are_probed_in_subkey_order(self):
        order = []
        for _, port, _ in sorted(self.clock.events):
            if port not in order:
                order.append(port)
        self.assertEqual([3, 4, 6, 5, 8, 7], order)

    def test_the_silent_modem_is_given_up_after_about_two_seconds(self):
        # 200 ms pause after the reset, then a read of 8 bytes with its total time-out of
        # 100 ms per byte plus 1000 ms; the next modem is asked as soon as it is over.
        asked = self.clock.first(6, "at&f\\r")
        next_asked = self.clock.first(5, "at&f\\r")
        self.assertIsNotNone(asked)
        self.assertIsNotNone(next_asked)
        given_up_after = next_asked - asked
        print(f"\nsilent modem given up after {given_up_after:.2f} s")
        self.assertGreaterEqual(given_up_after, 1.8)
        self.assertLess(given_up_after, 4.0)


class NoSupportedModemTest(unittest.TestCase):
    """Only modems that the tool cannot drive: no list, no warning, exit code 1."""

    @classmethod
    def setUpClass(cls):
        machine = Machine("nosupported")
        cls.addClassCleanup(machine.close)
        machine.boot()
        cls.sims = {
            # Knows no +PCW and is set up for another country: refused without a warning.
            3: machine.add_modem(3, pcw=0, country="3D"),
            # The maker's, but not the supported model, and set up for another country.
            4: machine.add_modem(4, model="ORVA 33.6k", country="3D"),
        }
        machine.import_reg(modem_reg_text([
            {"index": 0, "AttachedTo": "COM3", "Model": MODEL},
            {"index": 1, "AttachedTo": "COM4", "Model": "ORVA 33.6k"},
        ]))
        cls.result = machine.run(scan_exe())

    def test_prints_only_the_count_and_fails(self):
        self.assertEqual("count\t0\n", self.result.stdout, self.result.stderr)
        self.assertEqual(1, self.result.returncode)

    def test_both_modems_were_probed_completely(self):
        for port in (3, 4):
            with self.subTest(port=port):
                self.assertEqual(FULL_PROBE, self.sims[port].commands())


class EmptyMachineTest(unittest.TestCase):
    """No modem class key at all."""

    @classmethod
    def setUpClass(cls):
        machine = Machine("empty")
        cls.addClassCleanup(machine.close)
        machine.boot()
        cls.result = machine.run(scan_exe())

    def test_prints_a_count_of_zero_and_fails(self):
        self.assertEqual("count\t0\n", self.result.stdout, self.result.stderr)
        self.assertEqual(1, self.result.returncode)


if __name__ == "__main__":
    unittest.main()
