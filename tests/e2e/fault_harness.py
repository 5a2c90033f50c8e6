"""Mavris.exe under faults: a modem that answers badly or drops the line, a port that another
program holds, registry values that no installer should have written, keys the tool may not
open. Used by the fault matrix (test_faults.py) and the race stress (stress_app.py).

A FaultMachine is an AppMachine whose Wine server runs as an ordinary user's does (without
CAP_SYS_ADMIN), so that a port held with the kernel's exclusive-use lock stays closed to the
tool, and which can set a registry key's access list (mavris-reg-access.exe): Wine checks it
when a key is opened, as Windows does.
"""

import os
import subprocess
import time

import app_harness
import expected
import harness
from harness import MODEM_CLASS_KEY, reg_key_text

LOCATIONS_KEY = r"Software\Microsoft\Windows\CurrentVersion\Telephony\Locations"
SETTINGS_PATH = r"Software\ORVA\Mavris"
# A later run of a user whose speaker and provider call are on: no first-run window, no help.
SETTINGS = {"Run": "0", "Sound": 1, "CallOut": 1}
# Access lists: writing values (KEY_SET_VALUE | KEY_CREATE_SUB_KEY) or reading them
# (KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS | KEY_NOTIFY) denied to everybody, and all allowed.
DENY_WRITE = "D:P(D;;0x6;;;WD)(A;;KA;;;WD)"
DENY_READ = "D:P(D;;0x19;;;WD)(A;;KA;;;WD)"
ALLOW_ALL = "D:P(A;;KA;;;WD)"
WM_COMMAND = app_harness.WM_COMMAND
EXIT, OPEN, CUT = 32772, 32771, 32775
TRAY_ID = app_harness.TRAY_ID
# The races: a change of behaviour whose provider call takes this long, so that a request can
# come before, during and after it.
RACE_DIAL_DELAY_MS = 2000


def reg_access_exe():
    return harness.program("mavris-reg-access.exe")


class FaultMachine(app_harness.AppMachine):
    """An AppMachine for faults: ordinary user's Wine server, key access lists, port holds."""

    def __init__(self, lang="de"):
        super().__init__(lang, tag="faults", ordinary_user=True)
        self.holds = {}
        self.denied = []
        self.ptys = {}

    # -- one case's machine

    def set_up(self, modems, user_inits, settings=SETTINGS, location=None):
        """Modem subkeys 0.. with these "UserInit" values (None: no value), one simulator
        per modem, the settings key with exactly these values (None: no key) and the
        telephony location (current id, {number: OutsideAccess}) or none."""
        lines = ["REGEDIT4", ""]
        for index in range(4):
            lines += [f"[-HKEY_LOCAL_MACHINE\\{MODEM_CLASS_KEY}\\{index:04d}]", ""]
        lines += [f"[-HKEY_LOCAL_MACHINE\\{LOCATIONS_KEY}]", "",
                  f"[-HKEY_CURRENT_USER\\{SETTINGS_PATH}]", ""]
        for index, (modem, user_init) in enumerate(zip(modems, user_inits)):
            lines += reg_key_text(
                f"HKEY_LOCAL_MACHINE\\{MODEM_CLASS_KEY}\\{index:04d}",
                {"AttachedTo": f"COM{modem['port']}", "Model": "ORVA 56k V.92",
                 "UserInit": user_init})
        if settings is not None:
            lines += reg_key_text(f"HKEY_CURRENT_USER\\{SETTINGS_PATH}", settings)
        if location is not None:
            current, prefixes = location
            lines += reg_key_text(f"HKEY_LOCAL_MACHINE\\{LOCATIONS_KEY}", {"CurrentID": current})
            for number, prefix in prefixes.items():
                lines += reg_key_text(f"HKEY_LOCAL_MACHINE\\{LOCATIONS_KEY}\\Location{number}",
                                      {"OutsideAccess": prefix})
        self.stop_sims()
        self.ptys = {}
        self._prepared = None
        self.import_reg("\r\n".join(lines) + "\r\n")
        for modem in modems:
            sim = self.add_modem(modem["port"], **modem["profile"])
            self.ptys[modem["port"]] = os.path.realpath(sim.pty)

    def deny(self, root, key, sddl):
        """Gives the key this access list until the case ends (undo)."""
        result = self.run(reg_access_exe(), root, key, sddl)
        if result.returncode != 0:
            raise AssertionError(f"access list of {root}\\{key}: {result.stdout!r}")
        self.denied.append((root, key))

    def hold(self, port):
        """Holds the port as another program would, until release or the end of the case."""
        self.holds[port] = harness.ExclusiveHold(self.sims[port].pty)

    def release(self):
        for hold in self.holds.values():
            hold.release()
        self.holds = {}

    def undo(self):
        """Ends the case: the tool killed if it still runs, holds and access lists undone."""
        if self.program is not None:
            self.program.kill()
        self.release()
        for root, key in self.denied:
            self.run(reg_access_exe(), root, key, ALLOW_ALL)
        self.denied = []

    def port_holders(self):
        """{port: processes of this machine's Wine prefix that hold its pty}."""
        processes = self.processes()
        return {port: harness.pty_holders(path, processes) for port, path in self.ptys.items()}

    def user_inits(self, count):
        """ "UserInit" of modem subkeys 0 to count - 1, exactly as stored (None: no value)."""
        keys = self.exported(f"HKEY_LOCAL_MACHINE\\{MODEM_CLASS_KEY}")
        return [keys.get(f"HKEY_LOCAL_MACHINE\\{MODEM_CLASS_KEY}\\{i:04d}", {})
                .get("UserInit") for i in range(count)]

    def settings(self):
        return self.exported(f"HKEY_CURRENT_USER\\{SETTINGS_PATH}").get(
            f"HKEY_CURRENT_USER\\{SETTINGS_PATH}")

    def tool_processes(self):
        """Processes that run Mavris.exe (an elevated child included)."""
        return self.processes("mavris.exe")

    # -- the tool

    def scan_done(self, timeout=60):
        """Waits until the scan has handed over (the tray icon is there); the main dialog."""
        main = self.main_hwnd()
        deadline = time.monotonic() + timeout
        while not self.has_tray_icon():
            if time.monotonic() > deadline or self.program.proc.poll() is not None:
                raise AssertionError("the scan did not end with a tray icon")
            time.sleep(0.2)
        return main

    def answer_box(self, text_id, timeout=60):
        """Waits for the box with this text and presses its OK; returns its title."""
        box = self.wait_box(text_id, timeout)
        self.press(int(box["hwnd"], 16), 1)
        return box["title"]

    def text(self, text_id):
        return expected.text(text_id, self.lang)

    # -- hangs and crashes

    def start_tool(self):
        """Starts the tool as the user does; what Wine says about it goes to a file, so that
        a run that fails can tell a start that Wine refused from a crash of the tool."""
        return super().start_tool(
            err_path=self.workdir / "tool.err",
            winedebug="-all,err+module,err+process,err+seh,err+server,err+winediag")

    def crashed(self):
        """Wine's crash handler runs: winedbg with its "Program Error" window."""
        return bool(self.processes("winedbg"))

    def fault(self, what):
        """The run's fault when the tool did not do what it must in time: a crash when it
        has died or Wine's crash handler came up, else a hang."""
        code = self.program.proc.poll()
        said = self.program.said()
        if self.crashed() or code not in (None, 0):
            return RunFault("crash", f"{what} (exit code {code}; Wine said {said!r})")
        return RunFault("hang", what)

    def within(self, what, action):
        """Runs a wait of the harness; its time-out becomes the run's hang or crash."""
        try:
            return action()
        except AssertionError as error:
            if isinstance(error, RunFault):
                raise
            raise self.fault(f"{what}: {error}") from None

    def finish(self, limit, since=None):
        """Waits until limit seconds after since (now when None) for the tool to end; returns
        the seconds from since. Afterwards no process of the tool and no held port is left."""
        since = time.monotonic() if since is None else since
        try:
            self.program.wait(timeout=max(0.1, since + limit - time.monotonic()))
        except subprocess.TimeoutExpired:
            pass
        if self.program.proc.poll() != 0 or self.crashed():
            raise self.fault(f"not ended {limit} s after it was asked to")
        seconds = time.monotonic() - since
        if self.tool_processes() or any(self.port_holders().values()):
            raise AssertionError(f"left behind: {self.tool_processes()}, {self.port_holders()}")
        return seconds

    def clean_up(self):
        """After a failed run: the tool, an elevated child and the crash handler ended."""
        self.undo()
        for pid in self.tool_processes() + self.processes("winedbg"):
            try:
                os.kill(pid, 9)
            except OSError:
                pass

    # -- the races, each returning the time the tool took to answer

    def prepare(self, name, modems, settings=SETTINGS):
        """The machine of one race, set up again only when the race changes."""
        if getattr(self, "_prepared", None) != name:
            self.set_up(modems, ["at s7=60"] * len(modems), settings)
            self._prepared = name

    def race_close_scan(self, delay, first_run, warning):
        """The scan window closed delay s after it appeared, during the scan of two modems
        (about 3.6 s) or after it. With warning the second modem is set up for another
        country: its warning comes in the middle of the scan and stays until the close. The
        program must end once the scan thread is done."""
        modems = [app_harness.modem(3), app_harness.modem(4, country="3D" if warning else "04")]
        self.prepare(f"scan {warning}", modems)
        if first_run:
            self.forget_user()
        else:
            self.write_settings(SETTINGS)
        self.start_tool()
        scan = self.within("scan window", lambda: self.wait_tool_window(self.text(120)))
        time.sleep(delay)
        self.post(scan, app_harness.WM_SYSCOMMAND, app_harness.SC_CLOSE)
        return self.finish(30)

    def race_fast_change(self, command):
        """A change without the provider call: the worker is done at once, mostly before the
        wait dialog exists. Box 135 must come, and the program must go on running."""
        self.prepare("fast", [app_harness.modem(3)], dict(SETTINGS, CallOut=0))
        self.start_tool()
        main = self.within("scan", self.scan_done)
        begin = time.monotonic()
        self.post(main, WM_COMMAND, command)
        self.within("box 135", lambda: self.answer_box(135, timeout=30))
        seconds = time.monotonic() - begin
        if self.program.proc.poll() is not None:
            raise self.fault("ended after the change")
        self.post(main, WM_COMMAND, EXIT)
        self.finish(10)
        return seconds

    def race_exit_during_change(self, exit_after):
        """Exit exit_after s after "Cut the Line": the program ends once the change is done
        (a box that came before the Exit is answered, as the user would)."""
        self.prepare("slow", [app_harness.modem(3, dial_delay=RACE_DIAL_DELAY_MS)])
        self.start_tool()
        main = self.within("scan", self.scan_done)
        self.post(main, WM_COMMAND, CUT)
        time.sleep(exit_after)
        self.post(main, WM_COMMAND, EXIT)
        begin = time.monotonic()
        try:
            self.program.wait(timeout=RACE_DIAL_DELAY_MS / 1000 + 3)
        except subprocess.TimeoutExpired:
            # The change was over before the Exit came: its box waits for the user.
            self.within("box 135", lambda: self.answer_box(135, timeout=10))
        return self.finish(20, since=begin)

    def race_taskbar_during_change(self, recreate_after):
        """The shell's taskbar re-created recreate_after s after "Cut the Line": the change
        ends with box 135 and the icon is back in the notification area."""
        self.prepare("slow", [app_harness.modem(3, dial_delay=RACE_DIAL_DELAY_MS)])
        self.start_tool()
        main = self.within("scan", self.scan_done)
        begin = time.monotonic()
        self.post(main, WM_COMMAND, CUT)
        time.sleep(recreate_after)
        self.inspect("tray-delete", "--hwnd", hex(main), str(TRAY_ID))
        self.inspect("taskbar-created")
        self.within("box 135", lambda: self.answer_box(135, timeout=30))
        seconds = time.monotonic() - begin
        if not self.within("tray icon", self.has_tray_icon):
            raise AssertionError("no tray icon after the taskbar came back")
        self.post(main, WM_COMMAND, EXIT)
        self.finish(10)
        return seconds

    def write_settings(self, settings):
        lines = ["REGEDIT4", "", f"[-HKEY_CURRENT_USER\\{SETTINGS_PATH}]", ""]
        lines += reg_key_text(f"HKEY_CURRENT_USER\\{SETTINGS_PATH}", settings)
        self.import_reg("\r\n".join(lines) + "\r\n")


class RunFault(AssertionError):
    """A run in which the tool hung (did not end, or did not show what it must, in time) or
    crashed (died, ended with an error or brought up Wine's crash handler)."""

    def __init__(self, kind, detail):
        super().__init__(f"{kind}: {detail}")
        self.kind = kind
