#!/usr/bin/python3
"""A folder served read-only through FUSE as a disk that spins down: after "down" on standard
input, the next request of any kind (lookup, open, read) waits SECONDS while the disk spins up,
and so do the requests that queue behind it; then all go at the disk's own speed until the next
"down". Each "down" is answered "down" on standard output once it holds, so that the caller
knows the next access will wait. Nothing is cached by the kernel (direct I/O, no attribute or
entry cache), so every access reaches this disk.

    /usr/bin/python3 slowdisk.py SOURCE MOUNTPOINT [--spin-up SECONDS]

Needs root, /dev/fuse and Debian's python3-fusepy (hence Debian's own interpreter). Prints
"ready" once mounted; SIGTERM unmounts and ends it.
"""

import argparse
import errno
import os
import sys
import threading
import time

try:
    import fusepy as fuse  # Debian's name for it
except ImportError:
    import fuse


def log(message):
    print(f"slowdisk: {message}", file=sys.stderr, flush=True)


class SlowDisk(fuse.Operations):
    def __init__(self, source, spin_up):
        self.source = source
        self.spin_up = spin_up
        self._lock = threading.Lock()  # held through a spin-up: later requests queue behind it
        self._down = False

    def _disk(self, path):
        with self._lock:
            if self._down:
                started = time.monotonic()
                time.sleep(self.spin_up)
                self._down = False
                log(f"spun up for {path} in {time.monotonic() - started:.3f} s")
        return os.path.join(self.source, path.lstrip("/"))

    def spin_down(self):
        with self._lock:
            self._down = True

    def init(self, path):
        print("ready", flush=True)

    def getattr(self, path, fh=None):
        try:
            st = os.lstat(self._disk(path))
        except OSError as e:
            raise fuse.FuseOSError(e.errno) from e
        return {k: getattr(st, k) for k in ("st_mode", "st_size", "st_nlink", "st_uid", "st_gid",
                                            "st_atime", "st_mtime", "st_ctime")}

    def readdir(self, path, fh):
        return [".", ".."] + os.listdir(self._disk(path))

    def open(self, path, flags):
        if flags & (os.O_WRONLY | os.O_RDWR):
            raise fuse.FuseOSError(errno.EROFS)
        return os.open(self._disk(path), os.O_RDONLY)

    def read(self, path, size, offset, fh):
        self._disk(path)
        return os.pread(fh, size, offset)

    def release(self, path, fh):
        os.close(fh)
        return 0


def control(disk):
    for line in sys.stdin:
        if line.strip() == "down":
            disk.spin_down()
            print("down", flush=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("source")
    parser.add_argument("mountpoint")
    parser.add_argument("--spin-up", type=float, default=1.0)
    args = parser.parse_args()
    disk = SlowDisk(os.path.abspath(args.source), args.spin_up)
    threading.Thread(target=control, args=(disk,), daemon=True).start()
    fuse.FUSE(disk, args.mountpoint, foreground=True, ro=True, direct_io=True, entry_timeout=0,
              attr_timeout=0, negative_timeout=0, fsname="zr-slowdisk")


if __name__ == "__main__":
    main()
