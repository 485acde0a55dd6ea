"""tools/mci-shell driven line by line from Python: one command in, its reply out."""

import subprocess
import time

from pulseserver import _spawn, _stop


class MciShell:
    def __init__(self, program, env, args=()):
        self.proc = _spawn([program, *args], env, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                           stderr=subprocess.DEVNULL)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def send(self, command):
        """Sends one command; returns (code, reply) as the shell prints them."""
        self.proc.stdin.write(command.encode() + b"\n")
        self.proc.stdin.flush()
        line = self.proc.stdout.readline().decode().rstrip("\n")
        if not line:
            raise RuntimeError(f"mci-shell gave no reply to {command!r}")
        code, _, reply = line.partition("\t")
        return int(code), reply

    def ok(self, command):
        code, reply = self.send(command)
        if code != 0:
            raise RuntimeError(f"{command!r} failed with {code}")
        return reply

    def wait_mode(self, mode, timeout):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.ok("status mp3 mode") == mode:
                return True
            time.sleep(0.05)
        return False

    def close(self):
        try:
            self.proc.stdin.close()
            self.proc.wait(10)
        except (OSError, subprocess.TimeoutExpired):
            pass
        _stop(self.proc)
