#!/usr/bin/env python3
"""A steady tone played through a private sound server while busy loops load every core.

    dropouts_under_load.py --shell MCI_SHELL --tone TONE.mp3 [--plays 10] [--server pulseaudio]
                           [--busy 3] [-- extra mci-shell arguments]

Each play goes through tools/mci-shell (the real media service, its own PulseAudio stream) into
the server's null sink, recorded from its monitor. Every play must sound without a silent gap of
10 ms or more and last the tone's length within 30 ms. Exit 0 when all plays pass, 1 otherwise,
77 when the sound server is not installed.
"""

import argparse
import os
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "support"))

from mcishell import MciShell  # noqa: E402
from pulseserver import BusyLoops, PulseServer, available  # noqa: E402
from toneanalysis import analyse  # noqa: E402

TOLERANCE_S = 0.030




def play_once(server, shell_argv, tone, seconds):
    """Plays the tone once; returns the analysis of what the server played."""
    env = server.env(SDL_AUDIODRIVER="pulseaudio")
    with server.tap() as tap, MciShell(shell_argv[0], env, shell_argv[1:]) as shell:
        shell.ok(f'open "{tone}" type MPEGVideo alias mp3')
        shell.ok("play mp3")
        if not shell.wait_mode("stopped", seconds * 2 + 10):
            raise RuntimeError("the track did not end")
        time.sleep(0.3)  # the last block through the server
        shell.ok("close mp3")
    return analyse(tap.samples(), tap.rate, tap.channels)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--shell", required=True)
    parser.add_argument("--tone", required=True)
    parser.add_argument("--seconds", type=float, default=10.0)
    parser.add_argument("--plays", type=int, default=10)
    parser.add_argument("--busy", type=int, default=3)
    parser.add_argument("--server", default="pulseaudio")
    parser.add_argument("shell_args", nargs="*")
    args = parser.parse_args()
    if not available(args.server):
        print(f"skipped: {args.server} is not installed", file=sys.stderr)
        return 77
    failures = 0
    with PulseServer(args.server) as server, BusyLoops(args.busy):
        for play in range(1, args.plays + 1):
            found = play_once(server, [args.shell, *args.shell_args], args.tone, args.seconds)
            drops = found.dropouts(10.0)
            bad = bool(drops) or abs(found.seconds - args.seconds) > TOLERANCE_S
            failures += bad
            print(f"play {play}: {'FAIL' if bad else 'ok'} length {found.seconds:.4f} s, "
                  f"{len(drops)} gaps >= 10 ms, {len(found.gaps)} gaps >= 1 ms, "
                  f"{found.silent_ms():.1f} ms silent"
                  + "".join(f"; {n * 1000 / found.rate:.0f} ms gap at {(f - found.start) / found.rate:.3f} s"
                            for f, n in drops), flush=True)
    print(f"{args.plays - failures} of {args.plays} plays without dropouts at the right length")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
