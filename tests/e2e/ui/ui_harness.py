"""Runs the Windows programs of the win64 build on a virtual screen, in one language.

A Desktop is what a user of one language sits in front of: its own X server (Xvfb), a fresh
Wine prefix created under that language's locale, and Wine's virtual desktop with a taskbar
(so windows get their captions drawn by Wine and tray icons sit in a notification area that
a mouse can click). The checks look at the windows from outside with ui-inspect.exe, click
and type with xdotool, and take screenshots with ImageMagick's import.

Locales that the machine has not generated are built once with localedef into a private
directory (LOCPATH); Wine takes its language from the Unix locale.
"""

import fcntl
import functools
import json
import os
import re
import shutil
import subprocess
import tempfile
import threading
import time
import unittest
from pathlib import Path

import expected

REPO = Path(__file__).resolve().parents[3]
SCREEN = (1024, 768)


def win64_dir():
    return Path(os.environ.get("MAVRIS_WIN64_DIR", REPO / "build" / "win64"))


def inspect_exe():
    return win64_dir() / "tools" / "ui-inspect" / "ui-inspect.exe"


def preview_exe():
    return win64_dir() / "tools" / "ui-inspect" / "ui-preview.exe"


def uitest_exe():
    return win64_dir() / "tools" / "ui-test" / "mavris-uitest.exe"


def once(test):
    """Marks a check whose outcome does not depend on the language: it runs in the German
    run only, the other languages check texts and looks."""
    @functools.wraps(test)
    def run_in_german(self):
        if self.LANG != "de":
            self.skipTest("language-independent; checked in the German run")
        return test(self)
    return run_in_german


def shots_dir():
    path = Path(os.environ.get("MAVRIS_UI_SHOTS", win64_dir() / "ui-screenshots"))
    path.mkdir(parents=True, exist_ok=True)
    return path


def _tool(env_name, candidates, name):
    if os.environ.get(env_name):
        return os.environ[env_name]
    for candidate in candidates:
        if os.path.exists(candidate):
            return candidate
    return shutil.which(name)


def wine64():
    # Debian's plain "wine" wrapper looks for a 32-bit loader first; call the 64-bit one.
    return _tool("MAVRIS_WINE64", ["/usr/lib/wine/wine64"], "wine64")


def wineserver():
    return _tool("MAVRIS_WINESERVER", ["/usr/lib/wine/wineserver64"], "wineserver")


def missing_prerequisites(programs):
    """Readable lines naming what is missing (empty: all there)."""
    missing = []
    for what, path in [("wine64", wine64()), ("wineserver", wineserver()),
                       ("Xvfb", shutil.which("Xvfb")), ("xdotool", shutil.which("xdotool")),
                       ("import (ImageMagick)", shutil.which("import")),
                       ("localedef", shutil.which("localedef"))]:
        if not path:
            missing.append(f"{what} not found")
    if not Path("/usr/share/i18n/locales/de_DE").exists():
        missing.append("locale sources for localedef (Debian package locales)")
    for path in programs:
        if not Path(path).exists():
            missing.append(f"not built: {path}")
    return missing


# ---------------------------------------------------------------------------
# Locales


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


# ---------------------------------------------------------------------------
# The X server


class Display:
    """A private Xvfb, so that mouse, keyboard focus and screenshots are ours alone."""

    def __init__(self):
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
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()


class SharedDisplay:
    """An X display that is somebody else's: used, never stopped."""

    def __init__(self, name):
        self.name = name

    def close(self):
        pass


# ---------------------------------------------------------------------------
# Programs under Wine


class Program:
    """A Windows program started on the desktop; its result lines are read from a file."""

    def __init__(self, desktop, exe, args, out_file=None):
        self.out_file = out_file
        self.proc = subprocess.Popen([wine64(), str(exe), *map(str, args)], env=desktop.env,
                                     stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL)

    def lines(self):
        if not self.out_file or not self.out_file.exists():
            return []
        # The program prints its texts in the ANSI code page, which is 1252 for German and
        # English.
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

    def wait(self, timeout=30):
        return self.proc.wait(timeout=timeout)

    def kill(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()


# ui-inspect commands that only look at windows and menus.
LOOK_ONLY = ("list", "dump", "menu")


class Desktop:
    """One language's screen: X server, Wine prefix and virtual desktop with a taskbar."""

    def __init__(self, lang, locale_name, display=None):
        """display: an X display to use (a user's screen) instead of a private Xvfb."""
        self.lang = lang
        self.workdir = Path(tempfile.mkdtemp(prefix=f"mavris-ui-{lang}-"))
        self.display = SharedDisplay(display) if display else Display()
        self.env = dict(os.environ)
        self.env.update(locale_env(locale_name))
        self.env.update({
            "WINEPREFIX": str(self.workdir / "wineprefix"),
            "WINEDEBUG": "-all",
            "WINEDLLOVERRIDES": "mscoree,mshtml=",
            "DISPLAY": self.display.name,
        })
        self.env.pop("WAYLAND_DISPLAY", None)
        self._server = False
        self._programs = []
        self._counter = 0

    # -- life cycle

    def _server_cmd(self, *args):
        subprocess.run([wineserver(), *args], env=self.env, timeout=60,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def boot(self):
        # The server is kept running between programs; it ends by itself a minute after the
        # last one should the test be killed.
        self._server_cmd("-p60")
        self._server = True
        subprocess.run([wine64(), "wineboot", "-i"], env=self.env, check=True, timeout=300,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        # Wine's virtual desktop named "shell" comes with a taskbar and its notification
        # area. Explorer reads this when it starts, so the prefix is restarted.
        for key, name, value in [(r"HKCU\Software\Wine\Explorer", "Desktop", "shell"),
                                 (r"HKCU\Software\Wine\Explorer\Desktops", "shell",
                                  f"{SCREEN[0]}x{SCREEN[1]}")]:
            subprocess.run([wine64(), "reg", "add", key, "/v", name, "/d", value, "/f"],
                           env=self.env, check=True, timeout=120, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
        self._server_cmd("-k")
        self._server_cmd("-w")
        self._server_cmd("-p60")
        # The first program brings up the desktop and its taskbar, which takes a while in a
        # new prefix; wait for it here rather than in the first check.
        self.inspect("wait", "--class", "Shell_TrayWnd", "--timeout", "120000", timeout=240)

    def close(self):
        for program in self._programs:
            program.kill()
        if self._server:
            self._server_cmd("-k")
            self._server_cmd("-w")
            self._server = False
        self.display.close()
        if os.environ.get("MAVRIS_E2E_KEEP"):
            print(f"kept {self.workdir}")
        else:
            shutil.rmtree(self.workdir, ignore_errors=True)

    # -- programs

    def windows_path(self, unix_path):
        return "Z:" + str(unix_path).replace("/", "\\")

    def start(self, exe, *args, with_out=False):
        out_file = None
        if with_out:
            self._counter += 1
            out_file = self.workdir / f"out-{self._counter}.txt"
            args = (*args, "--out", self.windows_path(out_file))
        program = Program(self, exe, args, out_file)
        self._programs.append(program)
        return program

    def run(self, exe, *args, timeout=120, quiet=False):
        """Runs a Windows program to its end; returns (exit code, standard output bytes).

        The output goes through a file, not a pipe: a program that is the first of the
        prefix starts Wine's own background processes, which inherit its standard handles
        and would keep a pipe open long after the program has ended.
        """
        with tempfile.TemporaryFile(dir=self.workdir) as out, \
                tempfile.TemporaryFile(dir=self.workdir) as err:
            proc = subprocess.run([wine64(), str(exe), *map(str, args)], env=self.env,
                                  stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                                  timeout=timeout)
            if proc.returncode != 0 and not quiet:
                # Whatever Wine or the program said goes into the test's log, so that a
                # failure that happens only now and then can still be told apart.
                err.seek(0)
                tail = err.read()[-2000:].decode("utf-8", "replace")
                print(f"{Path(str(exe)).name} {' '.join(map(str, args))}: exit code "
                      f"{proc.returncode}\n{tail}", flush=True)
            out.seek(0)
            return proc.returncode, out.read()

    def inspect(self, *args, timeout=120):
        """Runs ui-inspect.exe; returns its JSON answer (raises on an error answer)."""
        code, output = self.run(inspect_exe(), *args, timeout=timeout)
        if code != 0 and not output.strip() and args[0] in LOOK_ONLY:
            # Now and then a loaded Wine fails to start a program at all; a look changes
            # nothing and is simply taken again.
            code, output = self.run(inspect_exe(), *args, timeout=timeout)
        text = output.decode("utf-8", "replace").strip()
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

    # -- the user's hands and eyes

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


class DesktopCase(unittest.TestCase):
    """Base of a class of checks in one language (LANG): its tests share one Desktop, booted
    before the first and closed after the last, as a fresh prefix takes a while to come up."""
    LANG = None

    @classmethod
    def setUpClass(cls):
        cls.desktop = Desktop(cls.LANG, expected.LANGUAGES[cls.LANG][0])
        cls.addClassCleanup(cls.desktop.close)
        cls.desktop.boot()


def language_classes(base, namespace):
    """Puts one class per language into namespace (a module's globals()), named after base
    without its "Base" (DialogsBase -> DialogsDe, DialogsEn, DialogsFr), and takes base out:
    only the language classes are tests, and CTest runs each of them by that name."""
    stem = base.__name__.removesuffix("Base")
    for lang in expected.LANGUAGES:
        name = stem + lang.capitalize()
        namespace[name] = type(name, (base,), {"LANG": lang, "__module__": base.__module__})
    del namespace[base.__name__]
