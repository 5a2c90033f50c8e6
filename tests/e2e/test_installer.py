"""The setup program under 32-bit Wine: the very Mavris-<version>-setup.exe of the release
(the x86 NSIS stub with the i686 program) installed silently into a fresh prefix, the installed Mavris.exe run against a
simulated modem, then setup and uninstaller run while the tool runs (both must refuse) and
the uninstaller again after Exit: the files, the Start-menu link, the entry in the list of
installed programs and the autorun values are gone, the user's settings stay.
"""

import re
import time
import unittest
from pathlib import Path

import app_harness
import harness
from app_harness import RUN_KEY, SETTINGS_KEY, modem


def project_version():
    cmake = (harness.REPO / "CMakeLists.txt").read_text()
    return re.search(r"project\(Mavris VERSION ([0-9.]+)", cmake).group(1)


def setup_exe():
    return harness.build_dir() / "packages" / f"Mavris-{project_version()}-setup.exe"


PROGRAMS = [setup_exe(), harness.program("ui-inspect.exe"), harness.modem_sim_exe()]
INSTALL_DIR = r"C:\Program Files\ORVA\Mavris"
FILES = ["LICENSE.txt", "LIESMICH.txt", "Mavris.exe", "README.txt", "help/Mavris.chm",
         "uninstall.exe"]
UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Mavris"
MACHINE_RUN_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Run"
LINK = "ProgramData/Microsoft/Windows/Start Menu/Programs/Mavris.lnk"


def command_line(pid):
    try:
        return Path(f"/proc/{pid}/cmdline").read_bytes()
    except OSError:
        return b""  # ended since it was listed


class InstallerEn(harness.MachineCase):
    @classmethod
    def make_machine(cls):
        return app_harness.AppMachine("en", tag="installer")

    def unix(self, windows_path):
        return self.m.prefix_path / "drive_c" / windows_path[3:].replace("\\", "/")

    def installed_files(self):
        root = self.unix(INSTALL_DIR)
        return sorted(p.relative_to(root).as_posix() for p in root.rglob("*") if p.is_file())

    def traces(self):
        """What an installation leaves: files, link, uninstall entry, autorun values."""
        return {"files": self.installed_files() if self.unix(INSTALL_DIR).exists() else None,
                "link": (self.m.prefix_path / "drive_c" / LINK).exists(),
                "entry": self.m.reg_value(UNINSTALL_KEY, "DisplayName"),
                "user autorun": self.m.reg_value(RUN_KEY, "ORVA_ModemOnHold"),
                "machine autorun": self.m.reg_value(MACHINE_RUN_KEY, "ORVA_ModemOnHold")}

    def uninstall(self):
        """Runs the uninstaller silently to its end. It works from a copy of itself in a
        folder "~nsu<n>.tmp" of the temporary folder, so that it can delete its own file: the
        started process ends at once, the copy exists by then and is waited for."""
        self.assertEqual(self.m.run(INSTALL_DIR + r"\uninstall.exe", "/S", timeout=60).returncode,
                         0)
        deadline = time.monotonic() + 60
        while any(b"\\~nsu" in command_line(pid) for pid in self.m.processes()):
            self.assertLess(time.monotonic(), deadline, "the uninstaller does not end")
            time.sleep(0.2)

    def test_install_run_uninstall(self):
        m, exe = self.m, INSTALL_DIR + r"\Mavris.exe"
        self.assertEqual(m.run(setup_exe(), "/S", timeout=120).returncode, 0)
        self.assertEqual(self.installed_files(), FILES)
        link = (m.prefix_path / "drive_c" / LINK).read_bytes()
        self.assertTrue(b"Mavris.exe" in link or "Mavris.exe".encode("utf-16-le") in link)
        for name, value in [("DisplayName", "Mavris"), ("DisplayVersion", project_version()),
                            ("Publisher", "ORVA GmbH"),
                            ("UninstallString", f'"{INSTALL_DIR}\\uninstall.exe"')]:
            self.assertEqual(m.reg_value(UNINSTALL_KEY, name), value, name)

        # The installed tool's first run registers it to start with Windows, its path quoted
        # for the blank in "Program Files". An entry of the legacy modem layout's place is set
        # by hand, unquoted as earlier versions wrote it: the uninstaller clears both.
        m.add_modems([modem(3)])
        m.program = m.start(exe)
        self.assertIsNotNone(m.tray_icon_position(timeout=60), "tray icon after the scan")
        self.assertEqual(m.reg_value(RUN_KEY, "ORVA_ModemOnHold"), f'"{exe}"')
        m.reg("add", MACHINE_RUN_KEY, "/v", "ORVA_ModemOnHold", "/d", exe, "/f")

        # While the tool runs, setup and uninstaller refuse (silently: they cannot ask).
        installed_at = self.unix(exe).stat().st_mtime_ns
        self.assertNotEqual(m.run(setup_exe(), "/S", timeout=60, quiet=True).returncode, 0)
        self.uninstall()
        self.assertEqual(self.installed_files(), FILES)
        self.assertEqual(self.unix(exe).stat().st_mtime_ns, installed_at)

        m.choose_from_tray(32772)
        self.assertEqual(m.program.wait(timeout=30), 0)
        # Another copy of the tool, in a folder with a blank, keeps its quoted entry.
        other = r"C:\Other Tools\Mavris.exe"
        self.unix(other).parent.mkdir(parents=True, exist_ok=True)
        self.unix(other).write_bytes(b"MZ")
        m.import_reg("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\"
                     "CurrentVersion\\Run]\n"
                     '"ORVA_ModemOnHold"="\\"C:\\\\Other Tools\\\\Mavris.exe\\""\n')
        self.uninstall()
        self.assertEqual(self.traces(), {"files": None, "link": False, "entry": None,
                                         "user autorun": None, "machine autorun": f'"{other}"'})
        self.assertEqual(m.reg_value(SETTINGS_KEY, "Run"), "0", "the settings stay")


if __name__ == "__main__":
    unittest.main()
