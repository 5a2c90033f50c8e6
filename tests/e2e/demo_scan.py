#!/usr/bin/env python3
"""The demo's Windows part: one simulated ORVA 56k modem set up for Germany on COM3, a fresh
Wine prefix whose registry describes it, and mavris-scan.exe finding it. Cleans up after
itself."""

import sys

from harness import MODEL, Machine, missing, modem_reg_text, program


def main():
    scan_exe = program("mavris-scan.exe")
    lacking = missing([scan_exe], display=False)
    if lacking:
        print("demo: missing:\n  " + "\n  ".join(lacking))
        return 1
    machine = Machine("demo")
    try:
        print(f"demo: fresh 32-bit Wine prefix in {machine.prefix_path}")
        machine.boot()
        sim = machine.add_modem(3)
        print(f"demo: simulated ORVA 56k V.92 (Germany) on {sim.pty}, seen by Wine as COM3")
        reg = modem_reg_text([{"index": 0, "AttachedTo": "COM3", "Model": MODEL,
                               "UserInit": "at s7=60"}])
        print("demo: registry entries:\n  " + "\n  ".join(reg.strip().splitlines()))
        machine.import_reg(reg)
        print(f"demo: wine {scan_exe}")
        result = machine.run(scan_exe)
        print("---- mavris-scan output ----")
        sys.stdout.write(result.stdout)
        sys.stdout.write(result.stderr)
        print(f"---- exit code {result.returncode}, {result.seconds:.1f} s ----")
        print("---- commands the simulated modem received ----")
        print("\n".join(sim.commands()))
        return result.returncode
    finally:
        machine.close()
        print("demo: simulator stopped, wineserver ended, prefix removed")


if __name__ == "__main__":
    sys.exit(main())
