"""One change of behaviour (mavris-scan --apply) under 32-bit Wine against simulated modems.

Every case puts one supported modem at subkey 0 of the modem class key, attached to a COM
port of its own with a fresh simulator behind it, runs the scan with --apply, and checks
three things: what the tool printed, the exact command lines the modem received, and the
"UserInit" value as Wine's own regedit exports it afterwards (not as the tool reads it).

All cases share one Wine prefix; each imports its registry afresh, so they do not depend on
one another's order.
"""

import re
import subprocess
import time
import unittest

from harness import (FULL_PROBE, MODEL, MODEM_CLASS_KEY, ExclusiveHold, Machine, mavris_exe,
                     modem_key, modem_reg_text, parse_export, program, reg_key_text, wine)

PROGRAMS = [program("mavris-scan.exe"), program("mavris-serial-hold.exe"), mavris_exe()]
SCREEN = False
LOCATIONS_KEY = r"Software\Microsoft\Windows\CurrentVersion\Telephony\Locations"
MODEM_KEY = modem_key(0)

# The dial commands as the simulator logs them (the final CR escaped).
CUT_THE_LINE_LOUD = "atm2l3x4d*43#,,;h\\r"


def machine_reg_text(port, user_init, location=None):
    """The registry of one case: the old modem subkey and telephony locations removed, then
    a supported modem at subkey 0 on COM<port> and, when given, the locations.

    location: (current id, {location number: OutsideAccess value}).
    """
    text = modem_reg_text([{"index": 0, "AttachedTo": f"COM{port}", "Model": MODEL,
                            "UserInit": user_init}], remove=[MODEM_KEY, LOCATIONS_KEY])
    if location is None:
        return text
    current_id, prefixes = location
    lines = reg_key_text(f"HKEY_LOCAL_MACHINE\\{LOCATIONS_KEY}", {"CurrentID": current_id})
    for number, prefix in prefixes.items():
        lines += reg_key_text(f"HKEY_LOCAL_MACHINE\\{LOCATIONS_KEY}\\Location{number}",
                              {"OutsideAccess": prefix})
    return text + "\r\n".join(lines) + "\r\n"


def output_fields(stdout):
    """The tool's lines as {first field: rest}, the modem lines left out."""
    fields = {}
    for line in stdout.splitlines():
        key, _, rest = line.partition("\t")
        if key != "modem":
            fields[key] = rest
    return fields


class ApplyTest(unittest.TestCase):
    """mavris-scan --apply MODE on the first supported modem, one simulator per case."""

    @classmethod
    def setUpClass(cls):
        cls.machine = Machine("apply", ordinary_user=True)
        cls.addClassCleanup(cls.machine.close)
        cls.machine.boot()
        cls.next_port = 3

    def add_modem(self, **profile):
        port = ApplyTest.next_port
        ApplyTest.next_port += 1
        return self.machine.add_modem(port, **profile)

    def setup_case(self, user_init, location=None, **profile):
        sim = self.add_modem(**profile)
        self.machine.import_reg(machine_reg_text(sim.port, user_init, location))
        return sim

    def apply(self, sim, *args):
        return self.machine.run(program("mavris-scan.exe"), "--apply", *args, timeout=200)

    def export_key(self, key):
        export = self.machine.workdir / "export.reg"
        export.unlink(missing_ok=True)
        self.machine.run("regedit", "/E", self.machine.windows_path(export),
                         f"HKEY_LOCAL_MACHINE\\{key}", check=True, timeout=120)
        return export.read_bytes().decode("utf-16")

    def stored_value(self, key, name):
        # The export's first key is the one asked for.
        return next(iter(parse_export(self.export_key(key)).values()))[name]

    def stored_user_init(self):
        """UserInit as exported. Wine's regedit writes a REG_SZ in quotes and drops its last
        stored character as the terminating zero: the whole value in quotes shows the zero."""
        export = self.export_key(MODEM_KEY)
        self.assertNotRegex(export, r'\n"UserInit"=[^"]', "UserInit is not a plain REG_SZ")
        return next(iter(parse_export(export).values())).get("UserInit")

    def assert_outcome(self, result, sim, apply, user_init, commands):
        fields = output_fields(result.stdout)
        self.assertEqual("1", fields.get("count"), result.stdout + result.stderr)
        self.assertEqual(apply, fields.get("apply"), result.stdout + result.stderr)
        self.assertEqual(user_init, fields.get("userinit"), result.stdout)
        self.assertEqual(0 if apply == "0" else 1, result.returncode)
        self.assertEqual(FULL_PROBE + commands, sim.commands())
        self.assertEqual(user_init, self.stored_user_init())

    # --- the provider is called and answers ------------------------------------------------

    def test_cut_the_line_dials_the_activation_code_and_rewrites_user_init(self):
        cases = [
            # old UserInit, new UserInit
            ("at s7=60 l2", "+PCW=1;S7=60L2"),
            # An old setting in the middle goes together with its ';'.
            ("at s7=60 +pcw=2; &k3", "+PCW=1;S7=60&K3"),
            # No value at all: the setting alone.
            (None, "+PCW=1;"),
        ]
        for old, new in cases:
            with self.subTest(old=old):
                sim = self.setup_case(old)
                result = self.apply(sim, "1", "--sound", "1", "--callout", "1")
                self.assert_outcome(result, sim, "0", new, [CUT_THE_LINE_LOUD])

    def test_stay_connected_quiet_with_prefix_dials_the_deactivation_code(self):
        sim = self.setup_case("+PCW=1;S7=60")
        result = self.apply(sim, "2", "--sound", "0", "--callout", "1", "--prefix", "0")
        self.assert_outcome(result, sim, "0", "+PCW=2;S7=60", ["atm0x3d0#43#,,;h\\r"])

    def test_an_ok_after_the_echo_in_a_second_burst_is_read_by_the_second_read(self):
        # The dial answer comes 800 ms after the echo: the first read ends with the echo
        # alone, and only the extra read can bring the OK.
        sim = self.setup_case("S7=60", dial_delay=800)
        result = self.apply(sim, "1")
        self.assert_outcome(result, sim, "0", "+PCW=1;S7=60", [CUT_THE_LINE_LOUD])

    def test_a_read_under_wine_ends_with_the_first_of_two_bursts(self):
        # The counterpart of the case above: the same gap in a probe's answer does cut the
        # read, so the OK there cannot have come with the echo in one read. The query sees
        # only the echo, the modem is dropped and nothing is applied.
        sim = self.setup_case("S7=60", split=600)
        result = self.apply(sim, "1")
        self.assertEqual("count\t0\n", result.stdout, result.stderr)
        self.assertEqual(1, result.returncode)
        self.assertEqual(["at&f\\r", "at+gmi?\\r"], sim.commands())
        self.assertEqual("S7=60", self.stored_user_init())

    def test_a_failed_call_gives_minus_2_with_user_init_already_changed(self):
        for dial in ("no_dialtone", "busy", "error"):
            with self.subTest(dial=dial):
                sim = self.setup_case("S7=60", dial=dial)
                result = self.apply(sim, "1")
                self.assert_outcome(result, sim, "-2", "+PCW=1;S7=60", [CUT_THE_LINE_LOUD])

    # --- no call ---------------------------------------------------------------------------

    def test_without_callout_nothing_is_dialled(self):
        sim = self.setup_case("+PCW=2;S7=60")
        result = self.apply(sim, "1", "--callout", "0")
        self.assert_outcome(result, sim, "0", "+PCW=1;S7=60", [])

    def test_a_port_held_by_another_program_gives_minus_2_and_nothing_is_dialled(self):
        sim = self.setup_case("S7=60")
        # The port can be held at all: while the lock is on, the tool's own channel cannot
        # open it under this prefix.
        hold = ExclusiveHold(sim.pty)
        try:
            check = self.machine.run(program("mavris-serial-hold.exe"), sim.port, timeout=60,
                                     quiet=True)
        finally:
            hold.release()
        if check.stdout.strip() != "open failed":
            self.skipTest(f"the port cannot be held exclusively here: {check.stdout!r}")

        # The scan needs the port, so the hold starts once the scan has opened it (its first
        # probe has arrived) and lasts until the tool has ended; the probes leave more than a
        # second for it before the provider call opens the port again.
        proc = self.machine.popen(program("mavris-scan.exe"), "--apply", "1")
        hold = None
        try:
            deadline = time.monotonic() + 60
            while not sim.commands() and time.monotonic() < deadline:
                time.sleep(0.01)
            self.assertEqual(["at&f\\r"], sim.commands()[:1], "the scan never probed the port")
            hold = ExclusiveHold(sim.pty)
            stdout, stderr = proc.communicate(timeout=200)
        finally:
            if hold is not None:
                hold.release()
            if proc.poll() is None:
                proc.kill()
                proc.communicate()
        result = subprocess.CompletedProcess(proc.args, proc.returncode, stdout, stderr)
        self.assert_outcome(result, sim, "-2", "+PCW=1;S7=60", [])

    # --- the outside-line prefix of the telephony location ---------------------------------

    def test_a_location_prefix_reaches_the_modem_only_with_its_dialling_characters(self):
        cases = [
            # OutsideAccess, dial command
            ("0\ratz", "atm2l3x3d0*43#,,;h\\r"),
            ("0;atz", "atm2l3x3d0*43#,,;h\\r"),
            ("0w\n9,", "atm2l3x3d0w9,*43#,,;h\\r"),
        ]
        for outside_access, command in cases:
            with self.subTest(outside_access=outside_access):
                # Location 1 is not the current one: its prefix must not be used.
                sim = self.setup_case("S7=60", location=(2, {1: "9", 2: outside_access}))
                self.assertEqual(outside_access,
                                 self.stored_value(LOCATIONS_KEY + r"\Location2",
                                                   "OutsideAccess"))
                result = self.apply(sim, "1", "--location")
                self.assert_outcome(result, sim, "0", "+PCW=1;S7=60", [command])

    # --- UserInit values that cannot be kept whole ------------------------------------------

    def test_a_user_init_too_long_to_keep_is_left_alone(self):
        filler = "S7=60&K3" * 40
        cases = [
            # old length, result, value afterwards (None: unchanged)
            (255, "-1", None),  # 256 bytes with its NUL: too long to be read
            # readable, but "+PCW=1;" in front makes 255 characters: with the terminating
            # zero too long to be read back
            (248, "-1", None),
            (247, "0", "+PCW=1;" + filler[:247]),  # 254 characters and the zero: written
        ]
        for length, apply, new in cases:
            with self.subTest(length=length):
                old = filler[:length]
                sim = self.setup_case(old)
                result = self.apply(sim, "1")
                commands = [CUT_THE_LINE_LOUD] if apply == "0" else []
                self.assert_outcome(result, sim, apply, new or old, commands)

    # --- the write-only command line of Mavris.exe ------------------------------------------

    def test_the_write_only_command_line_rewrites_user_init_and_nothing_else(self):
        """Mavris.exe --write-userinit SUBKEY MODE, run directly: Wine starts the "runas" verb
        without a prompt. Without a display Wine reports every window a program creates, each
        report led by the creating thread's id. Wine's own desktop process, which the first
        program with user32 may start, is kept from starting: it is not the tool, and it
        inherits the output pipes and held each run open for 7 to 21 s of its own start."""
        env = dict(self.machine.env, WINEDEBUG="-all,err+winediag,+loaddll",
                   WINEDLLOVERRIDES="explorer.exe=d")

        def run(*args):
            result = subprocess.run([wine(), str(mavris_exe()), *args], env=env,
                                    capture_output=True, text=True, timeout=120)
            loaded = re.search(r"^([0-9a-f]+):trace:loaddll:\S+ Loaded L\"[^\"]*Mavris\.exe\"",
                               result.stderr, re.MULTILINE)
            self.assertIsNotNone(loaded, result.stderr[-2000:])
            windows = re.findall(rf"^{loaded.group(1)}:err:winediag:nodrv_CreateWindow",
                                 result.stderr, re.MULTILINE)
            return result.returncode, bool(windows)

        self.machine.import_reg(machine_reg_text(3, "at s7=60 +pcw=1; &k3"))
        self.assertEqual((0, False), run("--write-userinit", "0", "2"))
        self.assertEqual("+PCW=2;S7=60&K3", self.stored_user_init())
        self.assertEqual((1, False), run("--write-userinit", "7", "1"))  # no such subkey
        before = self.export_key(MODEM_CLASS_KEY)
        for args in ([], ["0"], ["0", "1", "2"], ["0", "3"], ["255", "1"], ["0", "+PCW=1;ATZ"],
                     ["0", "1", "+PCW=1;ATZ"], [f"HKEY_LOCAL_MACHINE\\{MODEM_KEY}", "1"]):
            with self.subTest(args=args):
                self.assertEqual((2, False), run("--write-userinit", *args))
        self.assertEqual(before, self.export_key(MODEM_CLASS_KEY), "the registry was touched")
        self.assertTrue(run()[1], "a normal start creates its window")


if __name__ == "__main__":
    unittest.main()
