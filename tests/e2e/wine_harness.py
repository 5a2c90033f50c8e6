"""Runs the Windows programs of the win64 build under wine64 against simulated modems.

A test builds a small machine: a fresh Wine prefix in a temporary directory, the modem class
subkeys in its registry, and one mavris-modem-sim per COM port, each on its own pty that the
prefix sees as COMn (dosdevices/comN -> /dev/pts/X). Everything started here is stopped again
by close()/stop(), which the tests register as clean-ups, so that a failing test leaves no
simulator and no wineserver behind.
"""

import os
import select
import shutil
import subprocess
import tempfile
import termios
import threading
import time
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]

MODEM_CLASS_KEY = (r"SYSTEM\CurrentControlSet\Control\Class"
                   r"\{4D36E96D-E325-11CE-BFC1-08002BE10318}")
MODEM_LEGACY_KEY = r"System\CurrentControlSet\Services\Class\Modem"

# The commands a modem receives when the scan probes it completely.
FULL_PROBE = ["at&f\\r", "at+gmi?\\r", "at+gmm?\\r", "at+pcw?\\r", "at+gci?\\r"]


def win64_dir():
    return Path(os.environ.get("MAVRIS_WIN64_DIR", REPO / "build" / "win64"))


def scan_exe():
    return win64_dir() / "tools" / "scan" / "mavris-scan.exe"


def serial_hold_exe():
    return win64_dir() / "tests" / "e2e" / "mavris-serial-hold.exe"


def modem_sim_exe():
    return Path(os.environ.get("MAVRIS_MODEM_SIM",
                               REPO / "build" / "native" / "tools" / "modem-sim" /
                               "mavris-modem-sim"))


def _first_existing(env_name, candidates, name_on_path):
    if os.environ.get(env_name):
        return os.environ[env_name]
    for candidate in candidates:
        if os.path.exists(candidate):
            return candidate
    return shutil.which(name_on_path)


def wine64():
    # Debian's plain "wine" wrapper looks for a 32-bit loader first; call the 64-bit one.
    return _first_existing("MAVRIS_WINE64", ["/usr/lib/wine/wine64"], "wine64")


def wineserver():
    return _first_existing("MAVRIS_WINESERVER", ["/usr/lib/wine/wineserver64"], "wineserver")


def missing_prerequisites(with_serial_hold=True):
    """What is missing to run the end-to-end tests, as readable lines (empty: all there).

    The demo and the benchmark only need the scan program and the simulator."""
    missing = []
    for what, path in [("wine64", wine64()), ("wineserver", wineserver())]:
        if not path:
            missing.append(f"{what} not found (Debian package wine64)")
    programs = [("mavris-scan.exe (win64 preset)", scan_exe()),
                ("mavris-modem-sim (native preset)", modem_sim_exe())]
    if with_serial_hold:
        programs.append(("mavris-serial-hold.exe (win64 preset)", serial_hold_exe()))
    for what, path in programs:
        if not path.exists():
            missing.append(f"{what} not built: {path}")
    return missing


def _reg_string(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def modem_reg_text(modems):
    """A REGEDIT4 file with modem class subkeys under HKEY_LOCAL_MACHINE.

    modems: dicts with "index" (subkey number), optional "legacy" (True: the Windows 95
    layout) and the string values to write ("AttachedTo", "Model", "UserInit"; a value that
    is missing or None is not written).
    """
    lines = ["REGEDIT4", ""]
    for modem in modems:
        base = MODEM_LEGACY_KEY if modem.get("legacy") else MODEM_CLASS_KEY
        lines.append(f"[HKEY_LOCAL_MACHINE\\{base}\\{modem['index']:04d}]")
        for name in ("AttachedTo", "Model", "UserInit"):
            if modem.get(name) is not None:
                lines.append(f"{_reg_string(name)}={_reg_string(modem[name])}")
        lines.append("")
    return "\r\n".join(lines) + "\r\n"


class WinePrefix:
    """A fresh Wine prefix under root, with a wineserver that lives until close()."""

    def __init__(self, root):
        self.path = Path(root) / "wineprefix"
        self.env = dict(os.environ)
        self.env.update({
            "WINEPREFIX": str(self.path),
            "WINEDEBUG": "-all",
            # No Mono or Gecko installer in a test prefix.
            "WINEDLLOVERRIDES": "mscoree,mshtml=",
        })
        # Console programs only: no X server needed, and none is touched.
        self.env.pop("DISPLAY", None)
        self.env.pop("WAYLAND_DISPLAY", None)
        self._server_started = False

    def boot(self):
        self.path.mkdir(parents=True)
        # The server outlives each program, so that the COM links stay as the test made
        # them; it ends by itself a minute after the last program if the test is killed.
        subprocess.run([wineserver(), "-p60"], env=self.env, check=True, timeout=60,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self._server_started = True
        subprocess.run([wine64(), "wineboot", "-i"], env=self.env, check=True, timeout=300,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def com_link(self, port):
        return self.path / "dosdevices" / f"com{port}"

    def windows_path(self, unix_path):
        # Drive Z: is the Unix root in every Wine prefix.
        return "Z:" + str(unix_path).replace("/", "\\")

    def import_reg(self, text):
        reg_file = self.path.parent / "setup.reg"
        reg_file.write_bytes(text.encode("latin-1"))
        subprocess.run([wine64(), "regedit", "/S", self.windows_path(reg_file)],
                       env=self.env, check=True, timeout=120,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def run(self, exe, *args, timeout=300):
        """Runs a Windows program to its end; returns (CompletedProcess, seconds taken)."""
        start = time.monotonic()
        result = subprocess.run([wine64(), str(exe), *map(str, args)], env=self.env,
                                capture_output=True, text=True, timeout=timeout)
        return result, time.monotonic() - start

    def run_timed(self, exe, *args, timeout=300):
        """Runs a Windows program to its end, noting when each line of its output arrived.

        Returns (exit code, [(monotonic seconds, line without its end)], stderr, seconds).
        """
        start = time.monotonic()
        proc = subprocess.Popen([wine64(), str(exe), *map(str, args)], env=self.env,
                                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, text=True)
        stderr = []
        reader = threading.Thread(target=lambda: stderr.append(proc.stderr.read()), daemon=True)
        reader.start()
        lines = []
        try:
            for line in proc.stdout:
                lines.append((time.monotonic(), line.rstrip("\n")))
            proc.wait(timeout=timeout)
        finally:
            if proc.poll() is None:
                proc.kill()
                proc.wait()
            reader.join(timeout=10)
            proc.stdout.close()
            proc.stderr.close()
        return proc.returncode, lines, "".join(stderr), time.monotonic() - start

    def popen(self, exe, *args):
        return subprocess.Popen([wine64(), str(exe), *map(str, args)], env=self.env,
                                stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, text=True, bufsize=1)

    def close(self):
        if self._server_started:
            subprocess.run([wineserver(), "-k"], env=self.env, timeout=60,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            # -k returns before the server is gone; -w waits for it.
            subprocess.run([wineserver(), "-w"], env=self.env, timeout=60,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            self._server_started = False


class ModemSim:
    """One mavris-modem-sim on a new pty, linked into a prefix as COMn."""

    def __init__(self, workdir, port, link, **profile):
        self.port = port
        self.log_path = Path(workdir) / f"sim-com{port}.log"
        self.stderr_path = Path(workdir) / f"sim-com{port}.err"
        args = [str(modem_sim_exe()), "--link", str(link), "--log", str(self.log_path),
                "--idle-exit", "300"]
        for key, value in profile.items():
            args.append(f"--{key}={value}")
        self._stderr = open(self.stderr_path, "w")
        self.proc = subprocess.Popen(args, stdout=subprocess.PIPE, stderr=self._stderr,
                                     text=True)
        first = self._read_first_line(10)
        if not first.startswith("pty "):
            self.stop()
            raise RuntimeError(f"simulator on COM{port} did not start: {first!r}, "
                               f"{self.stderr_path.read_text()}")
        self.pty = first.split(" ", 1)[1].strip()

    def _read_first_line(self, timeout):
        ready, _, _ = select.select([self.proc.stdout], [], [], timeout)
        return self.proc.stdout.readline() if ready else ""

    def log_lines(self):
        if not self.log_path.exists():
            return []
        return self.log_path.read_text().splitlines()

    def commands(self):
        """The command lines received, escaped as the simulator logs them ("at&f\\r")."""
        return [line for line in self.log_lines() if not line.startswith("termios ")]

    def line_settings(self):
        """The pty's termios as the computer's side sees it."""
        fd = os.open(self.pty, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
        try:
            return termios.tcgetattr(fd)
        finally:
            os.close(fd)

    def set_line_settings(self, attrs):
        fd = os.open(self.pty, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
        try:
            termios.tcsetattr(fd, termios.TCSANOW, attrs)
        finally:
            os.close(fd)

    def stop(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(timeout=5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        self.proc.stdout.close()
        self._stderr.close()


def describe_line_settings(attrs):
    """The parts of a termios that the serial channel sets, as a comparable dict."""
    iflag, _, cflag, _, ispeed, ospeed, _ = attrs
    speeds = {getattr(termios, name): int(name[1:]) for name in dir(termios)
              if name.startswith("B") and name[1:].isdigit()}
    size = {termios.CS5: 5, termios.CS6: 6, termios.CS7: 7, termios.CS8: 8}[cflag & termios.CSIZE]
    return {
        "ispeed": speeds.get(ispeed, ispeed),
        "ospeed": speeds.get(ospeed, ospeed),
        "csize": size,
        "parity": bool(cflag & termios.PARENB),
        "stop": 2 if cflag & termios.CSTOPB else 1,
        "crtscts": bool(cflag & termios.CRTSCTS),
        "ixon": bool(iflag & termios.IXON),
        "ixoff": bool(iflag & termios.IXOFF),
    }


class CommandClock:
    """Notes when each simulator's log shows each new command line, polling every 10 ms.

    The simulators flush their log after every command, so the time a line appears is the
    time the command arrived, give or take the polling interval.
    """

    def __init__(self, sims):
        self._sims = list(sims)
        self._seen = {sim.port: 0 for sim in self._sims}
        self.events = []  # (monotonic seconds, port, command)
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._run, daemon=True)

    def __enter__(self):
        self._thread.start()
        return self

    def __exit__(self, *exc):
        self._stop.set()
        self._thread.join()
        self._poll()

    def _poll(self):
        now = time.monotonic()
        for sim in self._sims:
            commands = sim.commands()
            for command in commands[self._seen[sim.port]:]:
                self.events.append((now, sim.port, command))
            self._seen[sim.port] = len(commands)

    def _run(self):
        while not self._stop.wait(0.01):
            self._poll()

    def first(self, port, command):
        for when, event_port, event_command in self.events:
            if event_port == port and event_command == command:
                return when
        return None


class Machine:
    """A prefix with simulated modems; collects its clean-ups in the order they must run."""

    def __init__(self, tag):
        self.workdir = Path(tempfile.mkdtemp(prefix=f"mavris-e2e-{tag}-"))
        self.prefix = WinePrefix(self.workdir)
        self.sims = {}

    def boot(self):
        self.prefix.boot()

    def add_modem(self, port, **profile):
        sim = ModemSim(self.workdir, port, self.prefix.com_link(port), **profile)
        self.sims[port] = sim
        return sim

    def close(self):
        errors = []
        for sim in self.sims.values():
            try:
                sim.stop()
            except Exception as error:  # keep cleaning up
                errors.append(error)
        try:
            self.prefix.close()
        except Exception as error:
            errors.append(error)
        if os.environ.get("MAVRIS_E2E_KEEP"):
            print(f"kept {self.workdir}")
        else:
            shutil.rmtree(self.workdir, ignore_errors=True)
        if errors:
            raise errors[0]
