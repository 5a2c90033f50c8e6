#!/usr/bin/env python3
"""Shutdown and race stress of Mavris.exe under Wine, outside the normal test run.

Each run starts the tool on a fresh virtual screen's Wine prefix (one per invocation) and
hits it at a random moment: the scan window closed during the scan, a change of behaviour
whose worker is done before the wait dialog exists, Exit during a change, the taskbar
re-created during a change. A hang is a tool that does not end (or show what it must) within
the limit after it was asked; a crash is a tool that dies, ends with an error or brings up
Wine's crash handler. Prints one line per run and the counts and timings per race.

    stress_app.py [--count N] [--seed S] [--race NAME ...]

Runs one machine; start two at once (nice -n 10) with different races to go faster.
"""

import argparse
import random
import signal
import statistics
import sys
import time

import fault_harness
import harness

# Each race: the harness's run of it and how a run draws its moment.
RACES = {
    "close_scan": ("race_close_scan",
                   lambda rng: (round(rng.uniform(0, 4.5), 2), rng.random() < 0.5,
                                rng.random() < 0.5)),
    "fast_change": ("race_fast_change", lambda rng: (rng.choice([32774, 32775]),)),
    "exit_during_change": ("race_exit_during_change",
                           lambda rng: (round(rng.uniform(0, 3.5), 2),)),
    "taskbar_during_change": ("race_taskbar_during_change",
                              lambda rng: (round(rng.uniform(0, 2.5), 2),)),
}


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--count", type=int, default=300, help="runs of each race (300)")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--race", action="append", choices=sorted(RACES))
    args = parser.parse_args()
    missing = harness.missing([harness.mavris_exe(), harness.modem_sim_exe()])
    if missing:
        print("\n".join(missing))
        return 2
    # Stopped from outside, the machine still goes: no server, screen or simulator is left.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    rng = random.Random(args.seed)
    races = args.race or list(RACES)
    results = {race: {"ok": 0, "hang": 0, "crash": 0, "failure": 0, "seconds": []}
               for race in races}
    machine = fault_harness.FaultMachine()
    try:
        machine.boot()
        for race in races:
            for run in range(args.count):
                method, draw = RACES[race]
                moment = draw(rng)
                began = time.monotonic()
                try:
                    seconds = getattr(machine, method)(*moment)
                    outcome = "ok"
                    results[race]["seconds"].append(seconds)
                except fault_harness.RunFault as fault:
                    outcome, seconds = fault.kind, None
                    print(f"  {fault}", flush=True)
                except AssertionError as error:
                    outcome, seconds = "failure", None
                    print(f"  {error}", flush=True)
                if outcome != "ok":
                    machine.clean_up()
                results[race][outcome] += 1
                print(f"{race} {run + 1}/{args.count} {moment}: {outcome}"
                      + (f", answered in {seconds:.2f} s" if seconds is not None else "")
                      + f" (run {time.monotonic() - began:.1f} s)", flush=True)
    finally:
        machine.close()
    print(f"\nseed {args.seed}, {args.count} runs per race")
    failed = False
    for race, result in results.items():
        times = sorted(result["seconds"]) or [0.0]
        print(f"{race}: runs {sum(result[k] for k in ('ok', 'hang', 'crash', 'failure'))}, "
              f"ok {result['ok']}, hangs {result['hang']}, crashes {result['crash']}, "
              f"other failures {result['failure']}; answer s min {times[0]:.2f} "
              f"median {statistics.median(times):.2f} max {times[-1]:.2f}")
        failed = failed or result["ok"] != args.count
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
