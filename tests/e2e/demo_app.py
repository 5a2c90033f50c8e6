#!/usr/bin/env python3
"""The main job: the shipped i686 Mavris.exe under 32-bit Wine against two simulated ORVA
modems, one set up for Germany on COM3 and one set up for another country on COM4.

With a display (DISPLAY set) the tool runs on the user's screen inside Wine's desktop window
and the user drives it; the demo ends when the tool ends. Without one it runs on a private
virtual screen and walks through the first run by itself: scan, country warning, the main
dialog, "Cut the Line" from the tray menu, the wait dialog, the result box and Exit, printing
each step and taking a screenshot of it. Either way it prints what the modems received and
"UserInit" before and after, and leaves no Wine process or pty behind.
"""

import os
import sys
import time
import zipfile

import app_harness
import expected
import harness

LANG = os.environ.get("MAVRIS_DEMO_LANG", "en")
START = time.monotonic()


def say(text):
    print(f"[{time.monotonic() - START:5.1f} s] {text}", flush=True)


def shot(machine, name):
    path = machine.screenshot(f"demo-{name}")
    say(f"  screenshot {path.name}")


def walk_through(machine):
    """The first run of a user, driven from outside as the user would."""
    program = machine.start_tool()
    text = lambda n: expected.text(n, LANG)  # noqa: E731
    machine.wait_tool_window(text(120))
    say(f"scan window: \"{text(120)}\"")
    shot(machine, "1-scan")

    box = machine.wait_box(146)
    lines = [c["text"] for c in box["controls"] if c["class"] == "Static" and c["text"]]
    say("country warning: " + " / ".join(line.replace("\r\n", " ") for line in lines))
    shot(machine, "2-country-warning")
    machine.press(int(box["hwnd"], 16), 1)

    main = machine.wait_tool_window(text(132))
    dump = machine.dump(main)
    controls = {c["id"]: c for c in dump["controls"]}
    say(f"main dialog (first run): \"{controls[1004]['text']}\", modem "
        f"\"{controls[1005]['text']}\", autorun {controls[1014]['check']}, "
        f"speaker {controls[1027]['check']}")
    machine.wait_tool_window("Mavris", cls="HH Parent", timeout=30)
    say("help viewer opened (blank under Wine: no HTML engine here)")
    shot(machine, "3-first-run")

    say("tray menu: \"Cut the Line\"")
    machine.choose_from_tray(32775)
    machine.wait_tool_window(None, timeout=30)
    wait = [w for w in machine.visible_tool_windows() if w["title"] == "" and
            w["class"] == "#32770"]
    if wait:
        say(f"wait dialog: \"{text(165)}\"")
        shot(machine, "4-wait")
    box = machine.wait_box(135, timeout=60)
    say("result: " + text(135).replace("\r\n", " ").replace("  ", ""))
    shot(machine, "5-result")
    machine.press(int(box["hwnd"], 16), 1)

    say("tray menu: Exit")
    exit_at = time.monotonic()
    machine.choose_from_tray(32772)
    code = program.wait(timeout=30)
    say(f"Mavris.exe ended with exit code {code} after {time.monotonic() - exit_at:.1f} s")


def shipped_as():
    """Which release zip holds exactly this Mavris.exe."""
    exe = harness.mavris_exe().read_bytes()
    for path in sorted((harness.build_dir() / "packages").glob("Mavris-*-win32.zip")):
        with zipfile.ZipFile(path) as package:
            if package.read("Mavris.exe") == exe:
                return f"byte for byte the Mavris.exe of {path.name}"
    return "no release zip holds this build"


def main():
    missing = harness.missing([harness.mavris_exe(), harness.modem_sim_exe(),
                               harness.program("ui-inspect.exe")], display=True)
    if missing:
        print("demo: missing:\n  " + "\n  ".join(missing))
        return 1
    display = os.environ.get("DISPLAY")
    machine = app_harness.AppMachine(LANG, screen=display or True, tag="demo")
    try:
        say(f"program: {harness.mavris_exe()} (i686, {shipped_as()})")
        say(f"fresh 32-bit Wine prefix in {machine.prefix_path} ({LANG}), "
            f"display {machine.display.name}" + (" (yours)" if display else " (virtual)"))
        machine.boot()
        sims = machine.add_modems([app_harness.modem(3, dial_delay=2500),
                                   app_harness.modem(4, country="3D")])
        say(f"COM3: simulated ORVA 56k V.92 set up for Germany on {sims[3].pty}")
        say(f"COM4: simulated ORVA 56k V.92 set up for country 3D on {sims[4].pty}")
        before = machine.user_init(0)
        say(f"UserInit of COM3's modem before: {before!r}")
        if display:
            say("Mavris.exe runs in Wine's desktop window on your screen; end it with Exit "
                "in its tray menu (or the Exit button)")
            machine.start_tool().wait(timeout=None)
        else:
            walk_through(machine)
        for port, sim in sorted(machine.sims.items()):
            say(f"commands COM{port} received: {' '.join(sim.commands()) or '(none)'}")
        say(f"UserInit of COM3's modem before: {before!r}, after: {machine.user_init(0)!r}")
        say(f"screenshots in {harness.shots_dir()}")
        return 0
    finally:
        prefix = machine.prefix_path
        machine.close()
        left = harness.wine_processes_of(prefix)
        say(f"simulators stopped, wineserver ended, prefix removed; Wine processes left: "
            f"{len(left)}")


if __name__ == "__main__":
    sys.exit(main())
