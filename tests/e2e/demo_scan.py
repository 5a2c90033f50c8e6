#!/usr/bin/env python3
"""The demo's Windows part: one simulated ORVA 56k modem set up for Germany on COM3, a fresh
Wine prefix whose registry describes it, and mavris-scan.exe finding it. Cleans up after
itself."""

import sys

from wine_harness import Machine, missing_prerequisites, modem_reg_text, scan_exe


def main():
    missing = missing_prerequisites(with_serial_hold=False)
    if missing:
        print("demo: missing:\n  " + "\n  ".join(missing))
        return 1
    machine = Machine("demo")
    try:
        print(f"demo: fresh Wine prefix in {machine.prefix.path}")
        machine.boot()
        sim = machine.add_modem(3)
        print(f"demo: simulated ORVA 56k V.92 (Germany) on {sim.pty}, seen by Wine as COM3")
        reg = modem_reg_text([{"index": 0, "AttachedTo": "COM3", "Model": "ORVA 56k V.92",
                               "UserInit": "at s7=60"}])
        print("demo: registry entries:\n  " + "\n  ".join(reg.strip().splitlines()))
        machine.prefix.import_reg(reg)
        print("demo: wine64 mavris-scan.exe")
        result, seconds = machine.prefix.run(scan_exe())
        print("---- mavris-scan output ----")
        sys.stdout.write(result.stdout)
        sys.stdout.write(result.stderr)
        print(f"---- exit code {result.returncode}, {seconds:.1f} s ----")
        print("---- commands the simulated modem received ----")
        print("\n".join(sim.commands()))
        return result.returncode
    finally:
        machine.close()
        print("demo: simulator stopped, wineserver ended, prefix removed")


if __name__ == "__main__":
    sys.exit(main())
