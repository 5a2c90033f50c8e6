"""The machines that the end-to-end tests, the demo, the benchmarks and the stress script run
the shipped i686 programs on: a fresh 32-bit Wine prefix, simulated modems on its COM ports,
and, for the programs with windows, a private X screen with Wine's desktop and taskbar.

A Machine is one such computer. Everything it starts (wineserver, simulators, X server,
programs) is stopped again by close(), which the tests register as a clean-up, so that a
failing test leaves nothing behind. Windows are looked at from outside with ui-inspect.exe,
clicked and typed into with xdotool, and photographed with ImageMagick's import.

Locales that the machine has not generated are built once with localedef into a private
directory (LOCPATH); Wine takes its language from the Unix locale.
"""

import fcntl
import functools
import json
import os
import re
import select
import shutil
import subprocess
import tempfile
import termios
import threading
import time
import unittest
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
SCREEN = (1024, 768)

MODEM_CLASS_KEY = (r"SYSTEM\CurrentControlSet\Control\Class"
                   r"\{4D36E96D-E325-11CE-BFC1-08002BE10318}")
MODEM_LEGACY_KEY = r"System\CurrentControlSet\Services\Class\Modem"
MODEL = "ORVA 56k V.92"

# The commands a modem receives when the scan probes it completely.
FULL_PROBE = ["at&f\\r", "at+gmi?\\r", "at+gmm?\\r", "at+pcw?\\r", "at+gci?\\r"]

# ---------------------------------------------------------------------------
# Programs


def build_dir():
    """The i686 build whose programs run: what users get."""
    return Path(os.environ.get("MAVRIS_WIN32_DIR", REPO / "build" / "win32"))


# Where each Windows program lies in the build directory.
_PROGRAMS = {
    "Mavris.exe": "src/app",
    "mavris-scan.exe": "tools/scan",
    "ui-inspect.exe": "tools/ui-inspect",
    "ui-preview.exe": "tools/ui-inspect",
    "mavris-uitest.exe": "tools/ui-test",
    "mavris-bench-dialog.exe": "tools/bench",
    "mavris-bench-watch.exe": "tools/bench",
    "mavris-serial-hold.exe": "tests/e2e",
    "mavris-reg-access.exe": "tests/e2e",
}


def program(name):
    return build_dir() / _PROGRAMS[name] / name


def mavris_exe():
    return program("Mavris.exe")


def modem_sim_exe():
    return Path(os.environ.get("MAVRIS_MODEM_SIM",
                               REPO / "build" / "native" / "tools" / "modem-sim" /
                               "mavris-modem-sim"))


def _tool(env_name, candidates, name_on_path):
    if os.environ.get(env_name):
        return os.environ[env_name]
    for candidate in candidates:
        if os.path.exists(candidate):
            return candidate
    return shutil.which(name_on_path)


def wine():
    # Debian's 32-bit loader (package wine32:i386); the plain "wine" wrapper is not needed.
    return _tool("MAVRIS_WINE", ["/usr/lib/wine/wine"], "wine")


def wineserver():
    return _tool("MAVRIS_WINESERVER", ["/usr/lib/wine/wineserver64",
                                       "/usr/lib/wine/wineserver32"], "wineserver")


def missing(programs, display=True):
    """What is missing to run these programs (on a screen), as readable lines."""
    found = [("32-bit Wine (wine32:i386)", wine()), ("wineserver", wineserver())]
    if display:
        found += [("Xvfb", shutil.which("Xvfb")), ("xdotool", shutil.which("xdotool")),
                  ("import (ImageMagick)", shutil.which("import")),
                  ("localedef", shutil.which("localedef"))]
    lines = [f"{what} not found" for what, path in found if not path]
    if display and not Path("/usr/share/i18n/locales/de_DE").exists():
        lines.append("locale sources for localedef (Debian package locales)")
    lines += [f"not built: {path}" for path in programs if not Path(path).exists()]
    return lines


# ---------------------------------------------------------------------------
# Registry files (REGEDIT4) and exports


def reg_value_text(value):
    """A value of a REGEDIT4 file: int -> dword, bytes -> REG_BINARY, str -> REG_SZ. A string
    with anything but printable ASCII goes in as hex(1) bytes of code page 1252, which Wine's
    regedit reads in the ANSI code page of the German and English runs."""
    if isinstance(value, int):
        return f"dword:{value:08x}"
    if isinstance(value, bytes):
        return "hex:" + ",".join(f"{b:02x}" for b in value)
    if all(0x20 <= ord(c) < 0x7F for c in value):
        return '"' + value.replace("\\", "\\\\").replace('"', '\\"') + '"'
    return "hex(1):" + ",".join(f"{b:02x}" for b in value.encode("cp1252") + b"\0")


def reg_key_text(key, values):
    """A key's lines; a value that is None is not written."""
    return [f"[{key}]"] + [f'"{name}"={reg_value_text(value)}'
                           for name, value in values.items() if value is not None] + [""]


def modem_key(index, legacy=False):
    return f"{MODEM_LEGACY_KEY if legacy else MODEM_CLASS_KEY}\\{index:04d}"


def modem_reg_text(modems, remove=()):
    """A REGEDIT4 file with modem class subkeys under HKEY_LOCAL_MACHINE.

    modems: dicts with "index" (subkey number), optional "legacy" (True: the Windows 95
    layout) and the values to write ("AttachedTo", "Model", "UserInit"; missing or None: not
    written). remove: keys (below HKEY_LOCAL_MACHINE) deleted first."""
    lines = ["REGEDIT4", ""]
    for key in remove:
        lines += [f"[-HKEY_LOCAL_MACHINE\\{key}]", ""]
    for modem in modems:
        lines += reg_key_text(f"HKEY_LOCAL_MACHINE\\{modem_key(modem['index'], modem.get('legacy'))}",
                              {name: modem.get(name) for name in ("AttachedTo", "Model", "UserInit")})
    return "\r\n".join(lines) + "\r\n"


def _unescape_exported(text):
    """A string as Wine's regedit exports it between its quotes."""
    escapes = {"\\": "\\", '"': '"', "r": "\r", "n": "\n", "0": "\0"}
    out, i = [], 0
    while i < len(text):
        if text[i] == "\\" and i + 1 < len(text) and text[i + 1] in escapes:
            out.append(escapes[text[i + 1]])
            i += 2
        else:
            out.append(text[i])
            i += 1
    return "".join(out)


def _exported_values(lines):
    values = {}
    for line in lines:
        if not line.startswith('"'):
            continue
        name, data = line.split('"=', 1)
        name = _unescape_exported(name[1:])
        if data.startswith('"') and data.endswith('"'):
            values[name] = _unescape_exported(data[1:-1])
        elif data.startswith("dword:"):
            values[name] = int(data[6:], 16)
        elif data.startswith("hex(1):"):
            raw = bytes(int(b, 16) for b in data[7:].split(",") if b)
            values[name] = raw.decode("utf-16-le").rstrip("\0")
        else:
            values[name] = data
    return values


def parse_export(text):
    """A regedit export (version 5.00) as {key path: {name: str or int}}."""
    logical = []
    for line in text.splitlines():
        # Long hex data continues on the next line after a trailing backslash.
        if logical and logical[-1].endswith("\\") and "=hex" in logical[-1]:
            logical[-1] = logical[-1][:-1] + line.strip()
        else:
            logical.append(line)
    keys, current = {}, None
    for line in logical:
        if line.startswith("["):
            current = keys.setdefault(line[1:line.index("]")], [])
        elif current is not None:
            current.append(line)
    return {key: _exported_values(lines) for key, lines in keys.items()}


# ---------------------------------------------------------------------------
# Locales and X screens


def _generated_locales():
    out = subprocess.run(["locale", "-a"], capture_output=True, text=True).stdout
    return {line.strip().lower().replace("utf-8", "utf8") for line in out.splitlines()}


def locale_env(name):
    """Environment entries that make name (e.g. "de_DE.UTF-8") the process locale."""
    env = {"LANG": name, "LC_ALL": name}
    if name.lower().replace("utf-8", "utf8") in _generated_locales():
        return env
    base = Path(os.environ.get("MAVRIS_UI_LOCALES",
                               Path(tempfile.gettempdir()) / f"mavris-ui-locales-{os.getuid()}"))
    base.mkdir(parents=True, exist_ok=True)
    # Parallel test runs build the same locales: one at a time, each only once.
    with open(base / ".lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        target = base / name
        if not (target / "LC_CTYPE").exists():
            source, charmap = name.split(".")
            subprocess.run(["localedef", "-i", source, "-f", charmap, str(target)],
                           check=True, capture_output=True, timeout=120)
    env["LOCPATH"] = str(base)
    return env


class Display:
    """A private Xvfb, so that mouse, keyboard focus and screenshots are ours alone; or, with
    a name, somebody else's display, used and never stopped."""

    def __init__(self, name=None):
        self.proc = None
        self.name = name
        if name:
            return
        read_fd, write_fd = os.pipe()
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0",
             f"{SCREEN[0]}x{SCREEN[1]}x24", "-nolisten", "tcp"],
            pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_fd)
        with os.fdopen(read_fd) as pipe:
            number = pipe.readline().strip()
        if not number:
            self.proc.kill()
            raise RuntimeError("Xvfb did not start")
        self.name = f":{number}"

    def close(self):
        if self.proc is not None and self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()


def shots_dir():
    path = Path(os.environ.get("MAVRIS_UI_SHOTS", build_dir() / "ui-screenshots"))
    path.mkdir(parents=True, exist_ok=True)
    return path


# ---------------------------------------------------------------------------
# Simulated modems and the ptys behind the COM ports


class ModemSim:
    """One mavris-modem-sim on a new pty, linked into a prefix as COMn."""

    def __init__(self, workdir, port, link, **profile):
        self.port = port
        self.log_path = Path(workdir) / f"sim-com{port}.log"
        self.stderr_path = Path(workdir) / f"sim-com{port}.err"
        args = [str(modem_sim_exe()), "--link", str(link), "--log", str(self.log_path),
                "--idle-exit", "300"]
        args += [f"--{key}={value}" for key, value in profile.items()]
        self._stderr = open(self.stderr_path, "w")
        self.proc = subprocess.Popen(args, stdout=subprocess.PIPE, stderr=self._stderr,
                                     text=True)
        ready, _, _ = select.select([self.proc.stdout], [], [], 10)
        first = self.proc.stdout.readline() if ready else ""
        if not first.startswith("pty "):
            self.stop()
            raise RuntimeError(f"simulator on COM{port} did not start: {first!r}, "
                               f"{self.stderr_path.read_text()}")
        self.pty = first.split(" ", 1)[1].strip()

    def commands(self):
        """The command lines received, escaped as the simulator logs them ("at&f\\r")."""
        if not self.log_path.exists():
            return []
        return [line for line in self.log_path.read_text().splitlines()
                if not line.startswith("termios ")]

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
        "ispeed": speeds.get(ispeed, ispeed), "ospeed": speeds.get(ospeed, ospeed),
        "csize": size, "parity": bool(cflag & termios.PARENB),
        "stop": 2 if cflag & termios.CSTOPB else 1, "crtscts": bool(cflag & termios.CRTSCTS),
        "ixon": bool(iflag & termios.IXON), "ixoff": bool(iflag & termios.IXOFF),
    }


class ExclusiveHold:
    """Holds a pty as another program holding the COM port would: open, with TIOCEXCL."""

    def __init__(self, path):
        self._fd = os.open(path, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
        fcntl.ioctl(self._fd, termios.TIOCEXCL)

    def release(self):
        if self._fd is not None:
            fcntl.ioctl(self._fd, termios.TIOCNXCL)
            os.close(self._fd)
            self._fd = None


def pty_holders(path, among):
    """Those of the processes among that have the pty open. A pty whose modem has dropped the
    line shows as deleted in a holder's descriptor links; its number may meanwhile belong to
    another test's simulator, which is why only the machine's own processes are looked at."""
    holders = set()
    for pid in map(str, among):
        try:
            links = [os.readlink(f"/proc/{pid}/fd/{fd}") for fd in os.listdir(f"/proc/{pid}/fd")]
        except OSError:
            continue
        if any(link.removesuffix(" (deleted)") == path for link in links):
            holders.add(int(pid))
    return sorted(holders)


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


def has_admin_capability():
    with open("/proc/self/status") as status:
        for line in status:
            if line.startswith("CapEff:"):
                return bool(int(line.split()[1], 16) & (1 << 21))  # CAP_SYS_ADMIN
    return False


def wine_processes_of(prefix):
    """Processes of the Wine prefix still running (found by their WINEPREFIX)."""
    found = []
    marker = f"WINEPREFIX={prefix}".encode()
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open(f"/proc/{pid}/environ", "rb") as env:
                if marker in env.read().split(b"\0"):
                    found.append(int(pid))
        except OSError:
            pass
    return found


# ---------------------------------------------------------------------------
# Programs under Wine


class Program:
    """A Windows program started on the machine. Its result lines ("key=value", from
    mavris-uitest's --out) are read from a file; with err_path, what it and Wine say on
    standard error goes there, so that a failed start can be told from a crash."""

    def __init__(self, machine, exe, args, out_file=None, err_path=None, winedebug=None):
        self.out_file = out_file
        self.err_path = err_path
        env = dict(machine.env, WINEDEBUG=winedebug) if winedebug else machine.env
        err = open(err_path, "wb") if err_path else subprocess.DEVNULL
        try:
            self.proc = subprocess.Popen([wine(), str(exe), *map(str, args)], env=env,
                                         stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                         stderr=err)
        finally:
            if err_path:
                err.close()

    def lines(self):
        if not self.out_file or not self.out_file.exists():
            return []
        # The program prints its texts in the ANSI code page, 1252 for German and English.
        return self.out_file.read_bytes().decode("cp1252", "replace").splitlines()

    def values(self, key):
        """The values of every "key=value" line (value: the rest of the line)."""
        prefix = key + "="
        return [line[len(prefix):] for line in self.lines() if line.startswith(prefix)]

    def wait_line(self, pattern, timeout=20.0, start=0):
        """Waits for a line matching the regular expression; returns its match."""
        regex = re.compile(pattern)
        deadline = time.monotonic() + timeout
        while True:
            for line in self.lines()[start:]:
                found = regex.search(line)
                if found:
                    return found
            if time.monotonic() > deadline:
                raise AssertionError(f"no line matching {pattern!r} within {timeout} s; "
                                     f"got: {self.lines()}")
            time.sleep(0.1)

    def said(self, tail=400):
        if not self.err_path or not self.err_path.exists():
            return ""
        return self.err_path.read_bytes()[-tail:].decode("utf-8", "replace").strip()

    def wait(self, timeout=30):
        return self.proc.wait(timeout=timeout)

    def kill(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()


# ui-inspect commands that only look at windows and menus.
LOOK_ONLY = ("list", "dump", "menu")


class Machine:
    """A fresh 32-bit Wine prefix with its own wineserver, simulated modems on its COM ports
    and, with a screen, an X server and Wine's desktop with a taskbar.

    screen: None (console programs only), True (a private Xvfb) or the name of an X display
    to use (a user's screen). locale: the Unix locale Wine takes its language from.
    ordinary_user: the wineserver runs without CAP_SYS_ADMIN, as it does for any ordinary
    user. Wine's server opens a COM port's device itself and ignores the share mode of
    CreateFileA for devices; what keeps a program off a terminal is the kernel's
    exclusive-use lock (TIOCEXCL), which a process with CAP_SYS_ADMIN passes through, so
    tests of held ports need this when they run as root.
    """

    def __init__(self, tag, screen=None, locale=None, ordinary_user=False):
        self.workdir = Path(tempfile.mkdtemp(prefix=f"mavris-e2e-{tag}-"))
        self.prefix_path = self.workdir / "wineprefix"
        self.display = Display(None if screen is True else screen) if screen else None
        self.ordinary_user = ordinary_user
        self.env = dict(os.environ)
        if locale:
            self.env.update(locale_env(locale))
        self.env.update({
            "WINEPREFIX": str(self.prefix_path),
            "WINEARCH": "win32",
            "WINEDEBUG": "-all",
            # No Mono or Gecko installer in a test prefix.
            "WINEDLLOVERRIDES": "mscoree,mshtml=",
        })
        self.env.pop("WAYLAND_DISPLAY", None)
        if self.display:
            self.env["DISPLAY"] = self.display.name
        else:
            self.env.pop("DISPLAY", None)
        self.sims = {}
        self._server = False
        self._programs = []
        self._counter = 0

    # -- life cycle

    def _server_cmd(self, *args):
        command = [wineserver(), *args]
        if args == ("-p60",) and self.ordinary_user and has_admin_capability() \
                and shutil.which("setpriv"):
            command = ["setpriv", "--bounding-set=-sys_admin", "--inh-caps=-sys_admin"] + command
        subprocess.run(command, env=self.env, timeout=60, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)

    def boot(self):
        self.prefix_path.mkdir(parents=True)
        # The server outlives each program, so that the COM links stay as the test made them;
        # it ends by itself a minute after the last program should the test be killed.
        self._server_cmd("-p60")
        self._server = True
        subprocess.run([wine(), "wineboot", "-i"], env=self.env, check=True, timeout=300,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if not self.display:
            return
        # Wine's virtual desktop named "shell" comes with a taskbar and its notification
        # area. Explorer reads this when it starts, so the server is restarted.
        for key, name, value in [(r"HKCU\Software\Wine\Explorer", "Desktop", "shell"),
                                 (r"HKCU\Software\Wine\Explorer\Desktops", "shell",
                                  f"{SCREEN[0]}x{SCREEN[1]}")]:
            self.run("reg", "add", key, "/v", name, "/d", value, "/f", check=True)
        self._restart_desktop()

    def set_dpi(self, dpi):
        """Makes the display dpi (the prefix's LogPixels: 96 is 100 %, 144 is 150 %) for the
        programs started from now on; Wine reads it at start, so the desktop starts anew."""
        self.run("reg", "add", r"HKCU\Control Panel\Desktop", "/v", "LogPixels", "/t",
                 "REG_DWORD", "/d", str(dpi), "/f", check=True)
        self._restart_desktop()

    def _restart_desktop(self):
        for args in (("-k",), ("-w",), ("-p60",)):
            self._server_cmd(*args)
        # The first program brings up the desktop and its taskbar, which takes a while in a
        # new prefix; wait for it here rather than in the first check.
        self.inspect("wait", "--class", "Shell_TrayWnd", "--timeout", "120000", timeout=240)

    def close(self):
        errors = []
        for program in self._programs:
            program.kill()
        for sim in self.sims.values():
            try:
                sim.stop()
            except Exception as error:  # keep cleaning up
                errors.append(error)
        self.sims = {}
        if self._server:
            # -k returns before the server is gone; -w waits for it.
            self._server_cmd("-k")
            self._server_cmd("-w")
            self._server = False
        if self.display:
            self.display.close()
        if os.environ.get("MAVRIS_E2E_KEEP"):
            print(f"kept {self.workdir}")
        else:
            shutil.rmtree(self.workdir, ignore_errors=True)
        if errors:
            raise errors[0]

    # -- modems

    def com_link(self, port):
        return self.prefix_path / "dosdevices" / f"com{port}"

    def add_modem(self, port, **profile):
        """A simulated modem (mavris-modem-sim's profile keys) on COM<port>."""
        if port in self.sims:
            self.sims[port].stop()
        self.sims[port] = ModemSim(self.workdir, port, self.com_link(port), **profile)
        return self.sims[port]

    def stop_sims(self):
        for sim in self.sims.values():
            sim.stop()
        self.sims = {}

    # -- programs

    def windows_path(self, unix_path):
        # Drive Z: is the Unix root in every Wine prefix.
        return "Z:" + str(unix_path).replace("/", "\\")

    def run(self, exe, *args, timeout=300, check=False, quiet=False, env=None,
            encoding="utf-8"):
        """Runs a Windows program to its end; returns a CompletedProcess with its output as
        text (line ends as "\\n") and the seconds it took as .seconds.

        The output goes through files, not pipes: a program that is the first of the prefix
        starts Wine's own background processes, which inherit its standard handles and
        would keep a pipe open long after the program has ended.
        """
        start = time.monotonic()
        with tempfile.TemporaryFile(dir=self.workdir) as out, \
                tempfile.TemporaryFile(dir=self.workdir) as err:
            proc = subprocess.run([wine(), str(exe), *map(str, args)], env=env or self.env,
                                  stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                                  timeout=timeout)
            out.seek(0)
            err.seek(0)
            result = subprocess.CompletedProcess(
                proc.args, proc.returncode,
                out.read().decode(encoding, "replace").replace("\r\n", "\n"),
                err.read().decode("utf-8", "replace").replace("\r\n", "\n"))
        result.seconds = time.monotonic() - start
        if result.returncode != 0 and not quiet:
            # Whatever Wine or the program said goes into the test's log, so that a failure
            # that happens only now and then can still be told apart.
            print(f"{Path(str(exe)).name} {' '.join(map(str, args))}: exit code "
                  f"{result.returncode}\n{result.stderr[-2000:]}", flush=True)
        if check and result.returncode != 0:
            raise AssertionError(f"{exe} {args}: exit code {result.returncode}")
        return result

    def run_timed(self, exe, *args, timeout=300):
        """Runs a console program to its end, noting when each line of its output arrived.

        Returns (exit code, [(monotonic seconds, line without its end)], stderr, seconds).
        """
        start = time.monotonic()
        proc = self.popen(exe, *args)
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
            for stream in (proc.stdin, proc.stdout, proc.stderr):
                stream.close()
        return proc.returncode, lines, "".join(stderr), time.monotonic() - start

    def popen(self, exe, *args):
        """A console program with pipes for a conversation (the prefix is up already)."""
        return subprocess.Popen([wine(), str(exe), *map(str, args)], env=self.env,
                                stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, text=True, bufsize=1)

    def start(self, exe, *args, with_out=False, err_path=None, winedebug=None):
        """Starts a program and leaves it running; close() kills it if it still runs."""
        out_file = None
        if with_out:
            self._counter += 1
            out_file = self.workdir / f"out-{self._counter}.txt"
            args = (*args, "--out", self.windows_path(out_file))
        started = Program(self, exe, args, out_file, err_path, winedebug)
        self._programs.append(started)
        return started

    def processes(self, name=None):
        """Processes of this prefix, only those whose command line names the program."""
        found = wine_processes_of(self.prefix_path)
        if name is None:
            return found
        named = []
        for pid in found:
            try:
                if name.lower().encode() in Path(f"/proc/{pid}/cmdline").read_bytes().lower():
                    named.append(pid)
            except OSError:
                pass
        return named

    # -- the registry

    def import_reg(self, text):
        reg_file = self.workdir / "import.reg"
        reg_file.write_bytes(text.encode("cp1252"))
        self.run("regedit", "/S", self.windows_path(reg_file), check=True, timeout=120)

    def exported(self, key):
        """A key and its subkeys as regedit exports them: {key path: {name: value}}."""
        export = self.workdir / "export.reg"
        export.unlink(missing_ok=True)
        self.run("regedit", "/E", self.windows_path(export), key, quiet=True, timeout=120)
        return parse_export(export.read_bytes().decode("utf-16")) if export.exists() else {}

    def reg(self, *args):
        """Runs Wine's reg.exe; returns its output as text. A query that printed nothing at
        all is run again: Wine now and then fails to start a program on a loaded machine."""
        for _ in range(3):
            result = self.run("reg", *args, quiet=True, encoding="latin-1")
            if args[0] != "query" or result.stdout.strip() or result.returncode == 1:
                break
            time.sleep(0.5)
        return result.stdout

    def reg_value(self, key, name):
        """A registry value as reg.exe shows it, or None when it does not exist."""
        for line in self.reg("query", key, "/v", name).splitlines():
            fields = line.strip().split(None, 2)
            if len(fields) >= 2 and fields[0] == name and fields[1].startswith("REG_"):
                return fields[2] if len(fields) == 3 else ""
        return None

    # -- windows: looked at with ui-inspect, the user's hands and eyes

    def inspect(self, *args, timeout=120):
        """Runs ui-inspect.exe; returns its JSON answer (raises on an error answer)."""
        result = self.run(program("ui-inspect.exe"), *args, timeout=timeout)
        if result.returncode != 0 and not result.stdout.strip() and args[0] in LOOK_ONLY:
            # Now and then a loaded Wine fails to start a program at all; a look changes
            # nothing and is simply taken again.
            result = self.run(program("ui-inspect.exe"), *args, timeout=timeout)
        text = result.stdout.strip()
        try:
            answer = json.loads(text)
        except ValueError:
            raise AssertionError(f"ui-inspect {args}: unreadable answer {text!r}")
        if isinstance(answer, dict) and "error" in answer:
            raise AssertionError(f"ui-inspect {args}: {answer['error']}")
        return answer

    def wait_window(self, *query, timeout_ms=60000):
        answer = self.inspect("wait", *query, "--timeout", str(timeout_ms),
                              timeout=timeout_ms / 1000 + 60)
        return int(answer["hwnd"], 16)

    def wait_gone(self, *query, timeout_ms=30000):
        self.inspect("wait", *query, "--gone", "--timeout", str(timeout_ms),
                     timeout=timeout_ms / 1000 + 60)

    def dump(self, hwnd):
        return self.inspect("dump", "--hwnd", hex(hwnd))

    def xdotool(self, *args):
        subprocess.run(["xdotool", *map(str, args)], env=self.env, check=True, timeout=30)

    def screenshot(self, name, rect=None):
        """Writes the screen (or rect = x, y, w, h of it) to the screenshot folder."""
        path = shots_dir() / f"{name}.png"
        args = ["import", "-display", self.display.name, "-window", "root"]
        if rect:
            x, y, w, h = rect
            args += ["-crop", f"{w}x{h}+{x}+{y}", "+repage"]
        subprocess.run(args + [str(path)], env=self.env, check=True, timeout=60,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        return path


# ---------------------------------------------------------------------------
# Test classes


class MachineCase(unittest.TestCase):
    """A class of checks whose tests share one machine, booted before the first and closed
    after the last (a fresh prefix takes a while to come up): by default a screen in the
    class's language (LANG, LOCALE)."""
    LANG = None
    LOCALE = None

    @classmethod
    def make_machine(cls):
        return Machine(cls.LANG, screen=True, locale=cls.LOCALE)

    @classmethod
    def setUpClass(cls):
        cls.m = cls.make_machine()
        cls.addClassCleanup(cls.m.close)
        cls.m.boot()


def once(test):
    """Marks a check whose outcome does not depend on the language: it runs in the German
    run only, the other languages check texts and looks."""
    @functools.wraps(test)
    def run_in_german(self):
        if self.LANG != "de":
            self.skipTest("language-independent; checked in the German run")
        return test(self)
    return run_in_german


def language_classes(base, namespace, locales):
    """Puts one class per language of locales ({language: Unix locale}) into namespace (a
    module's globals()), named after base without its "Base" (DialogsBase -> DialogsDe,
    DialogsEn, DialogsFr), and takes base out: only the language classes are tests, and CTest
    runs each of them by that name."""
    stem = base.__name__.removesuffix("Base")
    for lang, locale in locales.items():
        name = stem + lang.capitalize()
        namespace[name] = type(name, (base,), {"LANG": lang, "LOCALE": locale,
                                               "__module__": base.__module__})
    del namespace[base.__name__]
