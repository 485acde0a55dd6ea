#!/usr/bin/env python3
"""Play to first sound for a file whose open takes 1 s, on a private PulseAudio.

    slow_open_bench.py BUILD_DIR [--runs N]

The file lies on a disk that has spun down (slowdisk.py, FUSE): its first access, the open,
waits 1 s for the disk to spin up. The clock starts when "open" is sent, "play" going straight
after it as the window sends them when the user presses Play, and stops at the first sound in
the recording (the method of pulse_bench.py's first-sound rows). Reference: the same file on the
same disk spun up, plus the 1000 ms of the spin-up, so that the ratio shows what the slow open
costs beyond the disk's own wait. Also counts the plays not heard at all (a play refused or
forgotten while the file was opening). Median of --runs (5) each, the two kinds alternating.
Needs root, /dev/fuse and python3-fusepy (installed with apt-get when missing).
Prints rows for bench/run (the format of bench/rows.sh); progress on standard error.
"""

import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

from pulse_bench import LOUD, RATE, Ours, first_change, log, row  # noqa: E402
from pulseserver import PulseServer, _spawn, _stop  # noqa: E402

SPIN_UP_S = 1.0
HEARD_WITHIN_S = 3.0  # after the spin-up; the service gives a first frame up to 10 s


class SlowDisk:
    """slowdisk.py mounted on a temporary folder, serving `source`."""

    PYTHON = "/usr/bin/python3"  # Debian's: python3-fusepy is installed for it

    def __init__(self, source):
        self.mountpoint = tempfile.mkdtemp(prefix="zr-slowdisk-")
        self.proc = _spawn([self.PYTHON, os.path.join(HERE, "slowdisk.py"), source,
                            self.mountpoint, "--spin-up", str(SPIN_UP_S)], dict(os.environ),
                           stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        if self.proc.stdout.readline().strip() != "ready":
            self.close()
            raise RuntimeError("slowdisk.py did not mount (needs root, /dev/fuse, python3-fusepy)")

    def spin_down(self):
        self.proc.stdin.write("down\n")
        self.proc.stdin.flush()
        if self.proc.stdout.readline().strip() != "down":
            raise RuntimeError("slowdisk.py did not spin down")

    def close(self):
        _stop(self.proc)  # SIGTERM: it unmounts
        if os.path.ismount(self.mountpoint):
            subprocess.run(["umount", "-l", self.mountpoint], check=False)
        os.rmdir(self.mountpoint)


def first_sound_ms(server, ours, path):
    """ms from sending "open" (then "play" at once) to the first sound; None if none was heard."""
    with server.tap() as tap:
        time.sleep(0.3)
        with ours.shell(server) as sh:
            mark = tap.frames()
            code, _ = sh.send(f'open "{path}" type MPEGVideo alias mp3')
            if code == 0:
                code, _ = sh.send("play mp3")
            if code != 0:
                log(f"open or play answered {code}")
            time.sleep(SPIN_UP_S + HEARD_WITHIN_S)
        samples = tap.samples()
    start = first_change(samples, mark, lambda p: p > LOUD)
    return None if start is None else (start - mark) * 1000 / RATE


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("--runs", type=int, default=5)
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    tone = os.path.join(build, "fixtures", "tone_10s_cbr_44100_stereo.mp3")
    if not os.path.exists(tone):
        log(f"slow_open_bench: missing {tone}: build target zr_fixtures")
        return 1
    if subprocess.run([SlowDisk.PYTHON, "-c", "import fusepy"], capture_output=True).returncode:
        log("installing python3-fusepy ...")
        sudo = [] if os.geteuid() == 0 else ["sudo"]
        subprocess.run(sudo + ["apt-get", "install", "-y", "-qq", "--no-install-recommends",
                               "python3-fusepy"], env=dict(os.environ, DEBIAN_FRONTEND="noninteractive"),
                       stdout=subprocess.DEVNULL, check=False)
    work = tempfile.mkdtemp(prefix="zr-bench-slowopen-")
    disk = None
    try:
        shutil.copy(tone, os.path.join(work, "tone10.mp3"))
        disk = SlowDisk(work)
        path = os.path.join(disk.mountpoint, "tone10.mp3")
        ours = Ours(build, [])
        slow, fast, silent = [], [], 0
        with PulseServer() as server:
            for run in range(args.runs):
                disk.spin_down()
                slow_ms = first_sound_ms(server, ours, path)
                fast_ms = first_sound_ms(server, ours, path)  # the disk is still spinning
                log(f"run {run + 1}: disk spun down {slow_ms and round(slow_ms)} ms, "
                    f"spun up {fast_ms and round(fast_ms)} ms")
                if fast_ms is None:
                    raise RuntimeError("no sound from the file on a disk spinning: nothing to "
                                       "compare with")
                fast.append(fast_ms)
                if slow_ms is None:
                    silent += 1
                else:
                    slow.append(slow_ms)
        if not slow:
            raise RuntimeError(f"no sound in {args.runs} plays of a file whose open takes 1 s")
        ref = statistics.median(fast) + SPIN_UP_S * 1000
        row(f"open + Play to first sound, open taking 1 s, median of {args.runs} (ms)",
            round(statistics.median(slow), 1), "same file, disk spinning, + 1000 ms",
            round(ref, 1))
        row(f"plays not heard, open taking 1 s, of {args.runs}", silent, "goal", 0)
    except (RuntimeError, OSError, subprocess.SubprocessError) as failure:
        log(f"slow_open_bench: {failure}")
        return 1
    finally:
        if disk:
            disk.close()
        shutil.rmtree(work, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
