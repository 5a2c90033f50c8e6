"""Mavris.exe under faults: a modem that answers badly or drops the line, a port that another
program holds, registry values that no installer should have written, keys the tool may not
open. Used by the fault matrix (test_faults.py) and the race stress (stress_app.py).

A FaultMachine is an AppMachine whose Wine server runs as an ordinary user's does (without
CAP_SYS_ADMIN), so that a port held with the kernel's exclusive-use lock stays closed to the
tool, and which can set a registry key's access list (mavris-reg-access.exe): Wine checks it
when a key is opened, as Windows does.
"""

import os
import re
import shutil
import subprocess
import sys
import time
from pathlib import Path

import app_harness
import expected
import ui_harness

sys.path.insert(0, str(Path(__file__).resolve().parents[1]))
import test_apply  # noqa: E402  (the parent directory's port hold and export reader)
import wine_harness  # noqa: E402

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
EXIT, OPEN = 32772, 32771


def reg_access_exe():
    return ui_harness.win64_dir() / "tests" / "e2e" / "mavris-reg-access.exe"


def reg_value_text(value):
    """A value of a REGEDIT4 file: int -> dword, bytes -> REG_BINARY, str -> REG_SZ (given
    as the ANSI text; anything but printable ASCII goes in as hex(1) bytes of code page
    1252, which Wine's regedit reads in the ANSI code page of the German and English runs)."""
    if isinstance(value, int):
        return f"dword:{value:08x}"
    if isinstance(value, bytes):
        return "hex:" + ",".join(f"{b:02x}" for b in value)
    if all(0x20 <= ord(c) < 0x7F for c in value):
        return '"' + value.replace("\\", "\\\\").replace('"', '\\"') + '"'
    return "hex(1):" + ",".join(f"{b:02x}" for b in value.encode("cp1252") + b"\0")


def reg_key_text(root_key, values):
    lines = [f"[{root_key}]"]
    lines += [f'"{name}"={reg_value_text(value)}' for name, value in values.items()
              if value is not None]
    return lines + [""]


def exported_keys(text):
    """A regedit export as {key path: {name: value}} (values as test_apply reads them)."""
    return {chunk[1:chunk.index("]")]: test_apply.parse_exported_values(chunk)
            for chunk in re.split(r"\r?\n(?=\[)", text) if chunk.startswith("[")}


def pty_holders(path, exclude=()):
    """Processes with the pty open, the simulator and the given ones left out. A pty whose
    modem has dropped the line shows as deleted in a holder's descriptor links."""
    holders = set()
    for pid in filter(str.isdigit, os.listdir("/proc")):
        if int(pid) in exclude:
            continue
        try:
            links = [os.readlink(f"/proc/{pid}/fd/{fd}") for fd in os.listdir(f"/proc/{pid}/fd")]
        except OSError:
            continue
        if any(link.removesuffix(" (deleted)") == path for link in links):
            holders.add(int(pid))
    return sorted(holders)


class FaultMachine(app_harness.AppMachine):
    """An AppMachine for faults: ordinary user's Wine server, key access lists, port holds."""

    def __init__(self, lang="de"):
        super().__init__(lang)
        self.holds = {}
        self.denied = []
        self.ptys = {}

    def _server_cmd(self, *args):
        if args == ("-p60",) and test_apply._has_admin_capability() and shutil.which("setpriv"):
            args = ("--bounding-set=-sys_admin", "--inh-caps=-sys_admin", ui_harness.wineserver(),
                    *args)
            subprocess.run(["setpriv", *args], env=self.env, timeout=60,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            return
        super()._server_cmd(*args)

    # -- one case's machine

    def set_up(self, modems, user_inits, settings=SETTINGS, location=None):
        """Modem subkeys 0.. with these "UserInit" values (None: no value), one simulator
        per modem, the settings key with exactly these values (None: no key) and the
        telephony location (current id, {number: OutsideAccess}) or none."""
        lines = ["REGEDIT4", ""]
        for index in range(4):
            lines += [f"[-HKEY_LOCAL_MACHINE\\{wine_harness.MODEM_CLASS_KEY}\\{index:04d}]", ""]
        lines += [f"[-HKEY_LOCAL_MACHINE\\{LOCATIONS_KEY}]", "",
                  f"[-HKEY_CURRENT_USER\\{SETTINGS_PATH}]", ""]
        for index, (modem, user_init) in enumerate(zip(modems, user_inits)):
            lines += reg_key_text(
                f"HKEY_LOCAL_MACHINE\\{wine_harness.MODEM_CLASS_KEY}\\{index:04d}",
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
        reg_file = self.workdir / "case.reg"
        reg_file.write_bytes("\r\n".join(lines).encode("cp1252") + b"\r\n")
        self.run("regedit", "/S", self.windows_path(reg_file))
        for modem in modems:
            link = self.prefix_path / "dosdevices" / f"com{modem['port']}"
            sim = wine_harness.ModemSim(self.workdir, modem["port"], link, **modem["profile"])
            self.sims[modem["port"]] = sim
            self.ptys[modem["port"]] = os.path.realpath(sim.pty)

    def deny(self, root, key, sddl):
        """Gives the key this access list until the case ends (undo)."""
        code, out = self.run(reg_access_exe(), root, key, sddl)
        if code != 0:
            raise AssertionError(f"access list of {root}\\{key}: {out!r}")
        self.denied.append((root, key))

    def hold(self, port):
        """Holds the port as another program would, until release or the end of the case."""
        self.holds[port] = test_apply.ExclusiveHold(self.sims[port].pty)

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
        """{port: processes that hold its pty}, this process's own holds left out."""
        mine = {os.getpid()} | {sim.proc.pid for sim in self.sims.values()}
        return {port: pty_holders(path, mine) for port, path in self.ptys.items()}

    def exported(self, root_key):
        export = self.workdir / "export.reg"
        export.unlink(missing_ok=True)
        self.run("regedit", "/E", self.windows_path(export), root_key)
        return exported_keys(export.read_bytes().decode("utf-16")) if export.exists() else {}

    def user_inits(self, count):
        """ "UserInit" of modem subkeys 0 to count - 1, exactly as stored (None: no value)."""
        keys = self.exported(f"HKEY_LOCAL_MACHINE\\{wine_harness.MODEM_CLASS_KEY}")
        return [keys.get(f"HKEY_LOCAL_MACHINE\\{wine_harness.MODEM_CLASS_KEY}\\{i:04d}", {})
                .get("UserInit") for i in range(count)]

    def settings(self):
        return self.exported(f"HKEY_CURRENT_USER\\{SETTINGS_PATH}").get(
            f"HKEY_CURRENT_USER\\{SETTINGS_PATH}")

    def tool_processes(self):
        """Processes of this prefix that run Mavris.exe (an elevated child included)."""
        found = []
        for pid in self.wine_processes():
            try:
                with open(f"/proc/{pid}/cmdline", "rb") as cmdline:
                    if b"mavris.exe" in cmdline.read().lower():
                        found.append(pid)
            except OSError:
                pass
        return found

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
