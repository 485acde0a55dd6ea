"""A recording of interleaved samples read from a file descriptor, each block with its arrival time.

The readers of what the player sends (a pipe from SDL's disk driver here, parec on a private
sound server's monitor in pulseserver.py) differ only in where the bytes come from and their
sample format; the questions asked of a recording (how long it sounded, how loud, at what pitch,
between which moments) are the same, and are answered here once.

    recording.py --disk FIFO FILE   for a test in another language: records what SDL's disk
                                    driver writes to FIFO into FILE, prints "ready", and stops at
                                    the end of its input
"""

import array
import os
import sys
import threading
import time


class Recording:
    """Reads `fd` on its own thread until end of file or close(); keeps every byte.

    typecode: the array type of one sample ("f" 32-bit float, "h" signed 16-bit); scale: what a
    sample is multiplied by to lie in -1..1; out: a file that also gets every byte as it arrives
    (for a reader in another process: its size is the recording's timeline).
    """

    def __init__(self, rate, channels, typecode, scale=1.0, out=None):
        self.rate = rate
        self.channels = channels
        self._typecode = typecode
        self._scale = scale
        self._frame = array.array(typecode).itemsize * channels
        self.blocks = []  # (monotonic time, end of the block in raw)
        self.raw = bytearray()
        self._lock = threading.Lock()
        self._stop = threading.Event()
        self._thread = None
        self._out = open(out, "wb", buffering=0) if out else None

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def _start_reading(self, fd):
        self._thread = threading.Thread(target=self._read, args=(fd,), daemon=True)
        self._thread.start()

    def _read(self, fd):
        while not self._stop.is_set():
            data = os.read(fd, 65536)
            if not data:
                break
            now = time.monotonic()
            with self._lock:
                self.raw += data
                self.blocks.append((now, len(self.raw)))
            if self._out:
                self._out.write(data)

    def _stop_reading(self, timeout=5):
        # A reader whose writer has gone reads on to the end of the file: what the pipe still
        # holds was recorded too.
        if self._thread is not None:
            self._thread.join(timeout)
        self._stop.set()
        if self._out:
            self._out.close()
            self._out = None

    def frames(self):
        """Frames recorded so far: a mark on the recording's timeline."""
        with self._lock:
            return len(self.raw) // self._frame

    def samples(self):
        """The whole recording so far, interleaved, in its own sample format."""
        with self._lock:
            raw = bytes(self.raw)
        values = array.array(self._typecode)
        values.frombytes(raw[:len(raw) - len(raw) % self._frame])
        return values

    def _blocks(self, start, end):
        """Arrays of float samples (-1..1) that arrived between start and end (monotonic).

        A frame split across two reads belongs to the block that completes it."""
        with self._lock:
            blocks = list(self.blocks)
            raw = bytes(self.raw)
        begin = 0
        for when, stop in blocks:
            first, begin = begin - begin % self._frame, stop
            if (start is not None and when < start) or (end is not None and when > end):
                continue
            values = array.array(self._typecode)
            values.frombytes(raw[first:stop - stop % self._frame])
            if self._scale != 1.0:
                values = array.array("f", (v * self._scale for v in values))
            yield values

    def _windows(self, start, end, threshold):
        """The 10 ms windows of the first channel that sound louder than threshold."""
        size = self.rate // 100
        for samples in self._blocks(start, end):
            first = samples[0::self.channels]
            for i in range(0, len(first), size):
                chunk = first[i:i + size]
                if chunk and max(max(chunk), -min(chunk)) > threshold:
                    yield chunk

    def sounding_seconds(self, start=None, end=None, threshold=0.005):
        """Seconds of sound louder than threshold that arrived between start and end (monotonic)."""
        return sum(len(chunk) for chunk in self._windows(start, end, threshold)) / self.rate

    def peak(self, start=None, end=None):
        """The loudest sample (first channel) that arrived between start and end."""
        loudest = 0.0
        for samples in self._blocks(start, end):
            first = samples[0::self.channels]
            if first:
                loudest = max(loudest, max(first), -min(first))
        return loudest

    def tone_frequency(self, threshold=0.005):
        """Frequency of what sounded, from the rising zero crossings inside sounding windows."""
        crossings = frames = 0
        for chunk in self._windows(None, None, threshold):
            frames += len(chunk)
            crossings += sum(1 for a, b in zip(chunk, chunk[1:]) if a < 0.0 <= b)
        return crossings * self.rate / frames if frames else 0.0


class DiskTap(Recording):
    """What the player sends to SDL's disk driver, heard through a named pipe.

    SDL's disk driver opens SDL_DISKAUDIOFILE anew for every device it opens, which would truncate
    a plain file at each track. A pipe with a reader that never lets go collects every track in
    order, and the arrival time of each block says when it was heard: the disk driver writes at
    the pace of playback (unless SDL_DISKAUDIODELAY=0). Samples are 32-bit floats, as the media
    service asks SDL for.
    """

    def __init__(self, path, channels=2, rate=44100, out=None):
        super().__init__(rate, channels, "f", out=out)
        self.path = path
        os.mkfifo(path)
        # Opening the reader without blocking, then a writer of our own, keeps the pipe open
        # between the player's devices (a reader would otherwise see end of file).
        self._rfd = os.open(path, os.O_RDONLY | os.O_NONBLOCK)
        self._wfd = os.open(path, os.O_WRONLY)
        os.set_blocking(self._rfd, True)
        self._start_reading(self._rfd)

    def close(self):
        self._stop.set()
        os.write(self._wfd, b"\0" * 4)  # wakes the reader
        self._stop_reading(5)
        os.close(self._wfd)
        os.close(self._rfd)
        os.unlink(self.path)


if __name__ == "__main__":
    if len(sys.argv) != 4 or sys.argv[1] != "--disk":
        sys.exit("usage: recording.py --disk FIFO FILE")
    tap = DiskTap(sys.argv[2], out=sys.argv[3])
    print("ready", flush=True)
    sys.stdin.read()
    tap.close()
