#!/usr/bin/env python3
"""Benchmarks of the shipped i686 Mavris.exe under 32-bit Wine against one simulated modem,
each figure next to its baseline from the same run and printed as a ratio:

  start-up     from the process start to the scan window visible, against the same for
               mavris-bench-dialog.exe, a minimal Win32 program that shows one dialog and
               starts as the tool does: its manifest, its system DLLs (checked before the
               run) (goal: at most 1.1 times);
  mode change  "Cut the Line" with the provider call, from the tray command to the result
               box, against the waits the protocol requires: the 200 ms pause after the dial
               command, the modem's answer DIAL_DELAY ms after its echo, 200 ms of silence
               after that answer (goal: at most 1.05 times);
  idle         60 s of the tool in the tray after the scan, next to the baseline program
               idling as long: CPU time and wake-ups (context switches of every thread)
               (goal: no wake-up, under 10 ms of CPU);
  footprint    the i686 Mavris.exe with and without its resources, private memory and
               threads after the scan, next to the baseline program.

Times are taken on the Windows side by mavris-bench-watch.exe (QueryPerformanceCounter),
CPU time, wake-ups, memory and threads from /proc of the programs' Wine processes.

With --against EXE, another build's Mavris.exe (its build directory a runnable installation)
starts in turn with this one under the same load, so that a change's effect on start-up shows
apart from the machine's other work.

usage: bench_app.py [--runs N] [--changes N] [--idle SECONDS] [--dial-delay MS] [--against EXE]
"""

import argparse
import os
import statistics
import struct
import sys
import time
from pathlib import Path

import app_harness
import expected
import harness
from app_harness import WM_CLOSE, WM_COMMAND, modem

LANG = "en"
BASELINE_TITLE = "Mavris bench dialog"
PAUSE_MS, SILENCE_MS = 200, 200  # after the dial command; after the modem's last byte


def pe_sizes(path):
    """(file size, size without the resource section) of a PE file."""
    data = Path(path).read_bytes()
    header = struct.unpack_from("<I", data, 0x3C)[0]
    sections, optional_size = struct.unpack_from("<H12xH", data, header + 6)
    table = header + 24 + optional_size
    resources = 0
    for index in range(sections):
        name, raw_size = struct.unpack_from("<8s8xI", data, table + 40 * index)
        if name.rstrip(b"\0") == b".rsrc":
            resources = raw_size
    return len(data), len(data) - resources


def imported_dlls(path):
    """The DLLs a PE file binds at start (its import directory), in lower case."""
    data = Path(path).read_bytes()
    header = struct.unpack_from("<I", data, 0x3C)[0]
    sections, optional_size = struct.unpack_from("<H12xH", data, header + 6)
    optional = header + 24
    pe32 = struct.unpack_from("<H", data, optional)[0] == 0x10B
    import_rva = struct.unpack_from("<I", data, optional + (96 if pe32 else 112) + 8)[0]
    table = optional + optional_size

    def offset(rva):
        for index in range(sections):
            size, address, raw_size, raw = struct.unpack_from("<IIII", data,
                                                              table + 40 * index + 8)
            if address <= rva < address + max(size, raw_size):
                return rva - address + raw
        raise ValueError(f"{path}: address {rva:#x} in no section")

    names, entry = set(), offset(import_rva)
    while name := struct.unpack_from("<I", data, entry + 12)[0]:
        start = offset(name)
        names.add(data[start:data.index(b"\0", start)].decode("ascii").lower())
        entry += 20
    return names


class Process:
    """A Windows program's Wine process, read from /proc."""

    def __init__(self, machine, exe_name, exclude=(), timeout=30):
        deadline = time.monotonic() + timeout
        while True:
            for pid in set(machine.processes()) - set(exclude):
                try:
                    argv0 = Path(f"/proc/{pid}/cmdline").read_bytes().split(b"\0")[0]
                except OSError:
                    continue
                if argv0.lower().endswith(exe_name.lower().encode()):
                    self.pid = pid
                    return
            if time.monotonic() > deadline:
                raise RuntimeError(f"no Wine process of {exe_name}")
            time.sleep(0.1)

    def _task_files(self, name):
        base = Path(f"/proc/{self.pid}/task")
        return {tid: (base / tid / name).read_text() for tid in os.listdir(base)}

    def threads(self):
        """{thread id: name}"""
        return {tid: text.strip() for tid, text in self._task_files("comm").items()}

    def counters(self):
        """{thread id: (ns on a CPU, context switches)}"""
        cpu = self._task_files("schedstat")
        status = self._task_files("status")
        result = {}
        for tid in cpu.keys() & status.keys():
            switches = sum(int(line.split()[1]) for line in status[tid].splitlines()
                           if "ctxt_switches:" in line)
            result[tid] = (int(cpu[tid].split()[0]), switches)
        return result

    def ui_thread_cpu_ms(self):
        """CPU time of the process's first thread, the user-interface thread, so far."""
        return int(Path(f"/proc/{self.pid}/task/{self.pid}/schedstat").read_text().split()[0]) / 1e6

    def private_kib(self):
        rollup = Path(f"/proc/{self.pid}/smaps_rollup").read_text().splitlines()
        return sum(int(line.split()[1]) for line in rollup if line.startswith("Private_"))

    def alive(self):
        return Path(f"/proc/{self.pid}").exists()


def idle_use(before, after):
    """(CPU ms, wake-ups, {thread: wake-ups}) between two counters() readings."""
    cpu_ns, wakeups, per_thread = 0, 0, {}
    for tid in after:
        start = before.get(tid, (0, 0))
        cpu_ns += after[tid][0] - start[0]
        woke = after[tid][1] - start[1]
        wakeups += woke
        if woke:
            per_thread[tid] = woke
    return cpu_ns / 1e6, wakeups, per_thread


class Bench:
    def __init__(self, machine, args):
        self.m, self.args = machine, args
        self.watch = harness.program("mavris-bench-watch.exe")
        self.keeper = None

    def watch_run(self, *args):
        result = self.m.run(self.watch, *args, timeout=120)
        if result.returncode != 0:
            raise RuntimeError(f"mavris-bench-watch {args}: exit code {result.returncode}")
        return result.stdout.split()

    def start(self, title, exe):
        """Starts exe through the stopwatch; returns (ms to the window, its handle)."""
        ms, hwnd = self.watch_run("start", title, self.m.windows_path(exe))
        return float(ms), int(hwnd, 16)

    def start_tool(self, exe=None):
        """Starts the tool (or another build's, exe): (ms to the scan window, CPU ms of its
        user-interface thread by then, Process) once the scan is done."""
        ms, _ = self.start(expected.text(120, LANG), exe or harness.mavris_exe())
        process = Process(self.m, "Mavris.exe")
        cpu_ms = process.ui_thread_cpu_ms()
        if self.m.tray_icon_position(timeout=60) is None:
            raise RuntimeError("no tray icon after the scan")
        return ms, cpu_ms, process

    def end_tool(self, process):
        self.m.post(self.m.main_hwnd(), WM_COMMAND, 32772)
        self.wait_gone(process)

    def start_baseline(self):
        ms, hwnd = self.start(BASELINE_TITLE, harness.program("mavris-bench-dialog.exe"))
        keeper = [self.keeper.pid] if self.keeper else []
        process = Process(self.m, "mavris-bench-dialog.exe", exclude=keeper)
        return ms, process.ui_thread_cpu_ms(), hwnd, process

    def keep_desktop(self):
        """Wine's desktop process (explorer) ends a while after the last program on it, and
        the next program to start waits for a new one: a baseline dialog stays open through
        the benchmark so that no start pays for that."""
        self.keeper = self.start_baseline()[3]

    def end_baseline(self, hwnd, process):
        self.m.post(hwnd, WM_CLOSE)
        self.wait_gone(process)

    @staticmethod
    def wait_gone(process):
        deadline = time.monotonic() + 30
        while process.alive():
            if time.monotonic() > deadline:
                raise RuntimeError("a program did not end")
            time.sleep(0.1)

    def run(self):
        sims = self.m.add_modems([modem(3, dial_delay=self.args.dial_delay)])
        self.keep_desktop()
        # First starts (Wine's caches, the tool's first run with its help window): not timed.
        tool = self.start_tool()[2]
        self.m.close_help()
        time.sleep(2)
        first_run_threads = tool.threads()
        self.end_tool(tool)
        self.end_baseline(*self.start_baseline()[2:])
        if self.args.against:
            self.end_tool(self.start_tool(self.args.against)[2])

        starts = {"tool": [], "baseline": []}
        cpu = {"tool": [], "baseline": []}
        if self.args.against:
            starts["other build"], cpu["other build"] = [], []
        for run in range(self.args.runs):
            if self.args.against:
                # Another build's tool in turn with this one, under the same load.
                ms, cpu_ms, other = self.start_tool(self.args.against)
                starts["other build"].append(ms)
                cpu["other build"].append(cpu_ms)
                self.end_tool(other)
            ms, cpu_ms, hwnd, base = self.start_baseline()
            starts["baseline"].append(ms)
            cpu["baseline"].append(cpu_ms)
            self.end_baseline(hwnd, base)
            ms, cpu_ms, tool = self.start_tool()
            starts["tool"].append(ms)
            cpu["tool"].append(cpu_ms)
            if run < self.args.runs - 1:
                self.end_tool(tool)

        # The last tool run sits in the tray; the baseline idles beside it.
        _, _, hwnd, base = self.start_baseline()
        time.sleep(2)
        threads = {"tool": tool.threads(), "baseline": base.threads()}
        memory = {"tool": tool.private_kib(), "baseline": base.private_kib()}
        before = {"tool": tool.counters(), "baseline": base.counters()}
        time.sleep(self.args.idle)
        idle = {"tool": idle_use(before["tool"], tool.counters()),
                "baseline": idle_use(before["baseline"], base.counters())}
        self.end_baseline(hwnd, base)

        changes = []
        for _ in range(self.args.changes):
            (ms,) = self.watch_run("command", expected.text(132, LANG), "32775",
                                   expected.text(138, LANG), "The new settings")
            changes.append(float(ms))
        dialled = [c for c in sims[3].commands() if "d*43#" in c]
        if len(dialled) != self.args.changes:
            raise RuntimeError(f"the modem was dialled {len(dialled)} times")
        # After the changes (their thread and wait dialog are gone): idle as long again.
        time.sleep(2)
        before = tool.counters()
        time.sleep(self.args.idle)
        idle["tool after changes"] = idle_use(before, tool.counters())
        threads["tool after changes"] = tool.threads()
        threads["tool after first run"] = first_run_threads
        self.end_tool(tool)
        self.report(starts, cpu, threads, memory, idle, changes)

    def report(self, starts, cpu, threads, memory, idle, changes):
        listed = lambda values: ", ".join(f"{v:.0f}" for v in sorted(values))  # noqa: E731
        for who in starts:
            print(f"start-up, {who:<11}         {statistics.median(starts[who]):8.0f} ms  "
                  f"median, {min(starts[who]):.0f} ms min  ({listed(starts[who])})")
        for name, pick in (("median", statistics.median), ("min", min)):
            print(f"ratio start-up ({name:<6})      "
                  f"{pick(starts['tool']) / pick(starts['baseline']):8.3f}   (goal <= 1.1)")
        # Less at the mercy of other load on the machine: what the user-interface thread
        # itself spent until its window was up.
        for who in cpu:
            print(f"start-up CPU, {who:<11}     {statistics.median(cpu[who]):8.1f} ms  median "
                  f"of the user-interface thread until the window is up")
        print(f"ratio start-up CPU            "
              f"{statistics.median(cpu['tool']) / statistics.median(cpu['baseline']):8.3f}")
        if "other build" in cpu:
            for name, pick in (("median", statistics.median), ("min", min)):
                print(f"ratio to the other build ({name:<6}) start-up "
                      f"{pick(starts['tool']) / pick(starts['other build']):6.3f}, CPU "
                      f"{pick(cpu['tool']) / pick(cpu['other build']):6.3f}")

        # The echo comes at once, the answer dial_delay ms after it; the last read ends once
        # the line has been silent for 200 ms, and not before the pause is over.
        required = max(self.args.dial_delay, PAUSE_MS) + SILENCE_MS
        change_ms = statistics.median(changes)
        print(f"mode change, tool             {change_ms:8.0f} ms  median  ({listed(changes)})")
        print(f"mode change, protocol waits   {required:8.0f} ms  (dial delay "
              f"{self.args.dial_delay} ms + {SILENCE_MS} ms silence)")
        print(f"ratio mode change             {change_ms / required:8.3f}   (goal <= 1.05)")

        for who in ("tool", "baseline", "tool after changes"):
            cpu_ms, wakeups, per_thread = idle[who]
            names = ", ".join(f"thread {t}: {n}" for t, n in sorted(per_thread.items()))
            print(f"idle {self.args.idle:.0f} s, {who:<18} {cpu_ms:8.2f} ms CPU, "
                  f"{wakeups} wake-ups" + (f" [{names}]" if names else ""))
        tool_cpu, base_cpu = idle["tool"][0], idle["baseline"][0]
        ratio = f"{tool_cpu / base_cpu:8.3f}" if base_cpu else "       - (the baseline used none)"
        print(f"ratio idle CPU                {ratio}   (goal: 0 wake-ups, < 10 ms CPU)")

        (total, code) = pe_sizes(harness.mavris_exe())
        (base_total, base_code) = pe_sizes(harness.program("mavris-bench-dialog.exe"))
        print(f"i686 Mavris.exe               {total:8d} bytes, {code} without resources")
        print(f"i686 baseline dialog          {base_total:8d} bytes, {base_code} without "
              f"resources")
        print(f"ratio size without resources  {code / base_code:8.3f}")
        print(f"private memory, tool          {memory['tool'] / 1024:8.1f} MiB")
        print(f"private memory, baseline      {memory['baseline'] / 1024:8.1f} MiB")
        print(f"ratio private memory          {memory['tool'] / memory['baseline']:8.3f}")
        for who in ("tool", "baseline", "tool after first run", "tool after changes"):
            print(f"threads, {who:<20} {len(threads[who]):4d}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--runs", type=int, default=10, help="starts of each program")
    parser.add_argument("--changes", type=int, default=5, help="mode changes")
    parser.add_argument("--idle", type=float, default=60.0)
    parser.add_argument("--dial-delay", type=int, default=2500)
    parser.add_argument("--against", type=Path, metavar="EXE",
                        help="another build's Mavris.exe, started in turn with this one's")
    args = parser.parse_args()
    missing = harness.missing([harness.mavris_exe(), harness.modem_sim_exe(),
                               harness.program("mavris-bench-watch.exe"),
                               harness.program("mavris-bench-dialog.exe")])
    if missing:
        print("cannot run the benchmark:\n  " + "\n  ".join(missing))
        return 1
    # The start-up ratio is only fair while the baseline starts as the tool does: the same
    # manifest (one file, both resource scripts) and the same system DLLs bound at start.
    tool_dlls = imported_dlls(harness.mavris_exe())
    base_dlls = imported_dlls(harness.program("mavris-bench-dialog.exe"))
    print(f"system DLLs bound at start     {', '.join(sorted(tool_dlls))}")
    if tool_dlls != base_dlls:
        print(f"the baseline binds {', '.join(sorted(base_dlls))}: not a fair baseline")
        return 1
    machine = app_harness.AppMachine(LANG, tag="bench")
    try:
        machine.boot()
        Bench(machine, args).run()
    finally:
        machine.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
