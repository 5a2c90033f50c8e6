#!/usr/bin/env python3
"""Benchmark: how long the i686 mavris-scan.exe takes under 32-bit Wine for N supported
modems, next to the waits that the command protocol itself requires.

Per command the channel pauses 200 ms before its read; a read that is not filled by the
reply ends only after 200 ms without a further byte. For a supported modem that answers at
once that is:
    at&f      200 ms pause; its 8-byte read is filled by echo and OK, no silence wait
    at+gmi?   200 ms pause + 200 ms silence
    at+gmm?   200 ms pause + 200 ms silence
    at+pcw?   200 ms pause + 200 ms silence
    at+gci?   200 ms pause + 200 ms silence
              = 1800 ms per modem.
The scan time is the program's wall time less the start-up and exit of a Wine program, which
is measured with the same program run with --help.

usage: bench_scan.py [--modems N] [--runs R]
"""

import argparse
import statistics
import sys

from harness import MODEL, Machine, missing, modem_reg_text, program

# (command, pause ms, silence ms) for one supported modem that answers at once.
PROTOCOL_WAITS = [("at&f", 200, 0), ("at+gmi?", 200, 200), ("at+gmm?", 200, 200),
                  ("at+pcw?", 200, 200), ("at+gci?", 200, 200)]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--modems", type=int, default=4)
    parser.add_argument("--runs", type=int, default=3)
    args = parser.parse_args()
    scan_exe = program("mavris-scan.exe")
    lacking = missing([scan_exe], display=False)
    if lacking:
        print("cannot run the benchmark:\n  " + "\n  ".join(lacking))
        return 1

    machine = Machine("bench")
    try:
        machine.boot()
        ports = list(range(3, 3 + args.modems))
        for port in ports:
            machine.add_modem(port)
        machine.import_reg(modem_reg_text(
            [{"index": i, "AttachedTo": f"COM{port}", "Model": MODEL}
             for i, port in enumerate(ports)]))

        startup = []
        for _ in range(args.runs):
            startup.append(machine.run(scan_exe, "--help").seconds)
        scans = []
        for _ in range(args.runs):
            result = machine.run(scan_exe)
            if result.returncode != 0 or f"count\t{args.modems}\n" not in result.stdout:
                print(f"scan failed (exit {result.returncode}):\n{result.stdout}{result.stderr}")
                return 1
            scans.append(result.seconds)
    finally:
        machine.close()

    per_modem_ms = sum(pause + silence for _, pause, silence in PROTOCOL_WAITS)
    required = args.modems * per_modem_ms / 1000
    start_s = min(startup)
    wall_s = statistics.median(scans)
    scan_s = wall_s - start_s
    print(f"modems                       {args.modems}")
    print(f"runs                         {args.runs}")
    print(f"program start-up under Wine  {start_s:7.3f} s  (min of {', '.join(f'{s:.3f}' for s in startup)})")
    print(f"scan wall time               {wall_s:7.3f} s  (median of {', '.join(f'{s:.3f}' for s in scans)})")
    print(f"scan time (wall - start-up)  {scan_s:7.3f} s  ({scan_s / args.modems:.3f} s per modem)")
    print(f"waits the protocol requires  {required:7.3f} s  ({per_modem_ms} ms per modem)")
    print(f"ratio scan / required        {scan_s / required:7.3f}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
