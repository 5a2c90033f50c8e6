"""Mavris.exe on a virtual screen with simulated modems, driven from outside as a user would.

An AppMachine is one language's machine with a screen (harness.Machine) whose registry has
modem class keys for the simulated modems on its COM ports. The tool is started as a user
starts it; its windows are found and read with ui-inspect, its tray icon is clicked with the
mouse where Wine's taskbar draws it, and menu items are clicked where the menu shows them.
"""

import os
import shutil
import subprocess
import time

import expected
import harness
from harness import mavris_exe

EXE_NAME = "Mavris.exe"
TRAY_ID = 125
WM_CLOSE = 0x10
WM_COMMAND = 0x111
WM_KEYDOWN = 0x100
WM_SYSCOMMAND = 0x112
WM_QUERYENDSESSION = 0x11
WM_ENDSESSION = 0x16
WM_TRAY_NOTIFY = 0x8064
WM_RBUTTONUP = 0x205
SC_CLOSE = 0xF060
VK_ESCAPE = 0x1B
RUN_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run"
SETTINGS_KEY = r"HKCU\Software\ORVA\Mavris"


def modem(port, **profile):
    """A simulated modem on COMport: a supported one set up for Germany unless the profile
    (mavris-modem-sim's keys) says otherwise."""
    return {"port": port, "profile": profile}


class AppMachine(harness.Machine):
    """A machine with a screen in one language, modem class keys and simulated modems; the
    tool runs on it."""

    def __init__(self, lang, screen=True, tag="app", ordinary_user=False):
        super().__init__(f"{tag}-{lang}", screen=screen, locale=expected.LANGUAGES[lang][0],
                         ordinary_user=ordinary_user)
        self.lang = lang
        self.program = None

    # -- machine set-up

    def add_modems(self, modems, user_init="at s7=60", indexes=None):
        """Registry entries and a simulator per modem; returns {port: ModemSim}. The modems
        take subkeys 0, 1, ... unless indexes names theirs."""
        entries = []
        for index, modem in zip(indexes or range(len(modems)), modems):
            self.add_modem(modem["port"], **modem["profile"])
            entries.append({"index": index, "AttachedTo": f"COM{modem['port']}",
                            "Model": harness.MODEL, "UserInit": user_init})
        self.import_reg(harness.modem_reg_text(entries))
        return self.sims

    def user_init(self, index):
        return self.reg_value(f"HKLM\\{harness.modem_key(index)}", "UserInit")

    def forget_user(self):
        """The settings and autorun value of a user who never ran the tool."""
        self.reg("delete", SETTINGS_KEY, "/f")
        self.reg("delete", RUN_KEY, "/v", "ORVA_ModemOnHold", "/f")

    # -- the tool

    def start_tool(self, err_path=None, winedebug=None, exe=None):
        self.program = self.start(exe or mavris_exe(), err_path=err_path, winedebug=winedebug)
        return self.program

    def unpacked_copy(self, folder):
        """The program with its help file, as unpacked from the zip into folder (a path below
        the machine's work directory); returns the copy's Mavris.exe."""
        target = self.workdir / folder
        (target / "help").mkdir(parents=True, exist_ok=True)
        shutil.copyfile(mavris_exe(), target / EXE_NAME)
        shutil.copyfile(mavris_exe().parent / "help" / "Mavris.chm", target / "help" / "Mavris.chm")
        return target / EXE_NAME

    def tool_windows(self):
        """The tool's top-level windows: dicts of ui-inspect list."""
        return [w for w in self.inspect("list") if w["process"].lower() == EXE_NAME.lower()]

    def visible_tool_windows(self):
        return [w for w in self.tool_windows() if w["visible"]]

    def wait_tool_window(self, title=None, cls="#32770", timeout=60, visible=True):
        """The tool's window with this title (any when None); waits for it."""
        deadline = time.monotonic() + timeout
        while True:
            for window in self.tool_windows():
                if (title is None or window["title"] == title) and window["class"] == cls \
                        and (window["visible"] or not visible):
                    return int(window["hwnd"], 16)
            if time.monotonic() > deadline:
                raise AssertionError(f"no window {title!r} of {EXE_NAME} within {timeout} s: "
                                     f"{self.tool_windows()}")
            time.sleep(0.2)

    def main_hwnd(self):
        """The main dialog, visible or not (its title is set once the scan is done)."""
        return self.wait_tool_window(expected.text(132, self.lang), visible=False)

    def wait_box(self, text_id, timeout=60):
        """A message box of the tool whose text contains text text_id; returns its dump."""
        wanted = expected.text(text_id, self.lang).replace("\r\n", "\n").split("\n")[0].strip()
        deadline = time.monotonic() + timeout
        while True:
            for window in self.visible_tool_windows():
                if window["class"] != "#32770":
                    continue
                try:
                    dump = self.dump(int(window["hwnd"], 16))
                except AssertionError:
                    continue  # gone since it was listed (the wait dialog ends, say)
                texts = [c["text"] for c in dump["controls"] if c["class"] == "Static"]
                if any(wanted in t.replace("\r\n", "\n") for t in texts):
                    return dump
            if time.monotonic() > deadline:
                raise AssertionError(f"no box with text {text_id} within {timeout} s: "
                                     f"{self.visible_tool_windows()}")
            time.sleep(0.2)

    def press(self, hwnd, control_id):
        self.inspect("click", "--hwnd", hex(hwnd), str(control_id))

    def post(self, hwnd, message, wparam=0, lparam=0):
        self.inspect("post", "--hwnd", hex(hwnd), hex(message), str(wparam), str(lparam))

    def send(self, hwnd, message, wparam=0, lparam=0):
        return self.inspect("send", "--hwnd", hex(hwnd), hex(message), str(wparam),
                            str(lparam))["result"]

    def close_help(self):
        """Closes the help viewer that a first run opens (it covers the main dialog)."""
        self.post(self.wait_tool_window("Mavris", cls="HH Parent", timeout=30), WM_CLOSE)
        deadline = time.monotonic() + 10
        while any(w["class"] == "HH Parent" for w in self.visible_tool_windows()):
            if time.monotonic() > deadline:
                raise AssertionError("the help viewer stays open")
            time.sleep(0.2)

    def choose_in_list(self, dialog, control_id, index):
        """Opens a drop-down list with the mouse and clicks its entry at index."""
        dump = self.dump(dialog)
        x, y, w, h = next(c for c in dump["controls"] if c["id"] == control_id)["px"]
        ox, oy = dump["client_origin_px"]
        self.xdotool("mousemove", ox + x + w // 2, oy + y + h // 2, "click", "1")
        lists = []
        deadline = time.monotonic() + 10
        while not lists and time.monotonic() < deadline:
            lists = [w for w in self.visible_tool_windows() if w["class"] == "ComboLBox"]
        if not lists:
            raise AssertionError("the list did not open")
        lx, ly, lw, _ = lists[0]["px"]
        item = self.send(int(lists[0]["hwnd"], 16), 0x1A1)  # LB_GETITEMHEIGHT
        self.xdotool("mousemove", lx + lw // 2, ly + 2 + item * index + item // 2, "click", "1")

    def tray_icon_position(self, timeout=30):
        """Where the taskbar shows the tool's icon (found by its tip), or None."""
        tip = expected.text(140, self.lang)
        deadline = time.monotonic() + timeout
        while True:
            taskbar = self.dump(self.wait_window("--class", "Shell_TrayWnd"))
            ox, oy = taskbar["client_origin_px"]
            for tool in taskbar["tooltips"]:
                x, y, w, h = tool["rect_px"]
                if tool["text"] == tip and w > 0 and h > 0:
                    return ox + x + w // 2, oy + y + h // 2
            if time.monotonic() > deadline:
                return None
            time.sleep(0.3)

    def has_tray_icon(self):
        return self.inspect("tray", "--hwnd", hex(self.main_hwnd()), str(TRAY_ID))["exists"]

    def menus(self):
        return [m for m in self.inspect("menu") if m["process"].lower() == EXE_NAME.lower()]

    def wait_menus(self, count, timeout=15):
        deadline = time.monotonic() + timeout
        while True:
            menus = self.menus()
            if len(menus) == count:
                return menus
            if time.monotonic() > deadline:
                raise AssertionError(f"{len(menus)} menus of the tool open, expected {count}")
            time.sleep(0.2)

    def open_tray_menu(self):
        """Right click on the tool's icon; returns the open menu."""
        position = self.tray_icon_position()
        if position is None:
            raise AssertionError("the tool's icon is not in the notification area")
        # A click that comes right after another menu closed can be taken by Wine's menu
        # tracking still winding down; a user would simply click again.
        for attempt in range(3):
            self.xdotool("mousemove", *position, "click", "3")
            try:
                return self.wait_menus(1, timeout=4 if attempt < 2 else 15)[0]
            except AssertionError:
                if attempt == 2:
                    raise
        return None

    def click_at(self, menu, fraction):
        """Clicks the menu where this fraction of its height is (Wine keeps a menu's items
        in its own process, so they are found by where they are drawn)."""
        x, y, w, h = menu["px"]
        self.xdotool("mousemove", x + w // 2, y + int(h * fraction), "click", "1")

    # Where the items are, as fractions of the menu's height: "Open", a separator, the
    # modem's sub-menu, a separator, "Exit"; in the sub-menu "Stay Connected", "Cut the Line".
    TRAY_ITEMS = {32771: (0.12, None), 32772: (0.88, None), 32774: (0.5, 0.25),
                  32775: (0.5, 0.75)}

    def choose_from_tray(self, command):
        """Chooses a tray menu command (32771 Open, 32772 Exit, 32774, 32775) by mouse."""
        menu = self.open_tray_menu()
        first, second = self.TRAY_ITEMS[command]
        self.click_at(menu, first)
        if second is not None:
            sub = next(m for m in self.wait_menus(2) if m["hwnd"] != menu["hwnd"])
            self.click_at(sub, second)
        self.wait_menus(0)

    def modem_menu_marks(self):
        """Opens the tray menu and its modem sub-menu and tells, from the screen, which of
        "Stay Connected" and "Cut the Line" has its check mark (a dark dot left of the text).
        Closes the menus again."""
        menu = self.open_tray_menu()
        self.click_at(menu, 0.5)
        sub = next(m for m in self.wait_menus(2) if m["hwnd"] != menu["hwnd"])
        time.sleep(0.5)
        x, y, _, h = sub["px"]
        path = self.screenshot("menu-marks", (x + 2, y + 2, 12, h - 4))
        marks = []
        for half in (0, 1):
            crop = f"12x{(h - 4) // 2}+0+{half * ((h - 4) // 2)}"
            out = subprocess.run(["convert", str(path), "-crop", crop, "-colorspace", "Gray",
                                  "-format", "%[fx:minima]", "info:"], capture_output=True,
                                 text=True, check=True, timeout=30).stdout
            marks.append(float(out) < 0.4)
        # Closes the menus unchosen by a click on the bare desktop: a click that lands on a
        # window's frame (the first run's help viewer reaches up there) can leave Wine's
        # tray deaf to the next clicks.
        self.xdotool("mousemove", 40, 400, "click", "1")
        self.wait_menus(0)
        return {32774: marks[0], 32775: marks[1]}

    def pty_holders(self, port):
        """Processes of the machine that have the simulated modem's pty open (it is held)."""
        return harness.pty_holders(os.path.realpath(self.sims[port].pty), self.processes())
