#!/usr/bin/env python3
"""CPU a running process uses in a window of time, to the nanosecond.

    bench/cpuwindow.py SETTLE SECONDS COMMAND...

Starts COMMAND (its standard output passes through), waits SETTLE seconds so that its start-up
is over, then prints 'cpu_s X': the CPU seconds its threads used in the next SECONDS. Waits for
COMMAND to end and exits with its status. pulse_bench.py uses the same readings.
"""

import os
import subprocess
import sys
import time

CLK_TCK = os.sysconf("SC_CLK_TCK")


def cpu_ticks(pid):
    """User + system CPU seconds of the whole process, in whole clock ticks (10 ms)."""
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / CLK_TCK


def thread_cpu(pid):
    """{tid: (name, CPU seconds)} of the live threads, to the nanosecond (schedstat), where the
    process total in /proc/PID/stat counts whole clock ticks (too coarse for 0.1 s)."""
    found = {}
    for tid in os.listdir(f"/proc/{pid}/task"):
        try:
            with open(f"/proc/{pid}/task/{tid}/schedstat") as f:
                ns = int(f.read().split()[0])
            with open(f"/proc/{pid}/task/{tid}/comm") as f:
                name = f.read().strip()
        except (OSError, ValueError, IndexError):
            continue  # a thread that ended meanwhile
        found[int(tid)] = (name, ns / 1e9)
    return found


def thread_cpu_delta(before, after):
    """Per thread (tid, name, seconds) between two thread_cpu samples, busiest first; a thread
    that ended in between is missing from both ends (a thread started since counts from 0)."""
    rows = [(tid, name, sec - before.get(tid, (name, 0.0))[1])
            for tid, (name, sec) in after.items()]
    return sorted(rows, key=lambda r: -r[2])


class CpuWindow:
    """CPU of one process from construction to seconds(): the threads' sum, or the clock ticks
    when threads that ended meanwhile used more than the ticks' resolution."""

    def __init__(self, pid):
        self.pid = pid
        self.threads = thread_cpu(pid)
        self.ticks = cpu_ticks(pid)

    def seconds(self):
        """(CPU seconds, per-thread split as in thread_cpu_delta)."""
        split = thread_cpu_delta(self.threads, thread_cpu(self.pid))
        fine = sum(r[2] for r in split)
        ticks = cpu_ticks(self.pid) - self.ticks
        return (ticks if ticks > fine + 0.02 else fine), split


def main():
    if len(sys.argv) < 4:
        print(__doc__, file=sys.stderr)
        return 2
    settle, seconds = float(sys.argv[1]), float(sys.argv[2])
    proc = subprocess.Popen(sys.argv[3:])
    try:
        time.sleep(settle)
        if proc.poll() is not None:
            print(f"cpuwindow: {sys.argv[3]} ended during the settle period", file=sys.stderr)
            return 1
        window = CpuWindow(proc.pid)
        time.sleep(seconds)
        if proc.poll() is not None:
            print(f"cpuwindow: {sys.argv[3]} ended before the window did", file=sys.stderr)
            return 1
        cpu, _ = window.seconds()
        print(f"cpu_s {cpu:.4f}", flush=True)
        return proc.wait()
    finally:
        if proc.poll() is None:
            proc.kill()
            proc.wait()


if __name__ == "__main__":
    sys.exit(main())
