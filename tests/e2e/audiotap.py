"""What the player sends to SDL's disk driver, heard through a named pipe, with arrival times.

SDL's disk driver opens SDL_DISKAUDIOFILE anew for every device it opens, which would truncate
a plain file at each track. A pipe with a reader that never lets go collects every track in
order, and the arrival time of each block says when it was heard: the disk driver writes at
the pace of playback. Samples are 32-bit floats, as the media service asks SDL for.
"""

import array
import os
import threading
import time


class AudioTap:
    def __init__(self, path, channels=2, rate=44100):
        self.path = path
        self.channels = channels
        self.rate = rate
        self.blocks = []  # (monotonic time, array of float samples)
        self._stop = threading.Event()
        os.mkfifo(path)
        # Opening the reader without blocking, then a writer of our own, keeps the pipe open
        # between the player's devices (a reader would otherwise see end of file).
        self._rfd = os.open(path, os.O_RDONLY | os.O_NONBLOCK)
        self._wfd = os.open(path, os.O_WRONLY)
        os.set_blocking(self._rfd, True)
        self._thread = threading.Thread(target=self._read, daemon=True)
        self._thread.start()

    def _read(self):
        pending = b""
        while not self._stop.is_set():
            data = os.read(self._rfd, 65536)
            if not data:
                break
            now = time.monotonic()
            data = pending + data
            usable = len(data) - len(data) % 4
            pending = data[usable:]
            samples = array.array("f")
            samples.frombytes(data[:usable])
            self.blocks.append((now, samples))

    def close(self):
        self._stop.set()
        os.write(self._wfd, b"\0" * 4)  # wakes the reader
        self._thread.join(5)
        os.close(self._wfd)
        os.close(self._rfd)
        os.unlink(self.path)

    def _windows(self, start, end, threshold):
        """The 10 ms windows of the first channel that sound louder than threshold."""
        size = self.rate // 100
        for when, samples in self.blocks:
            if (start is not None and when < start) or (end is not None and when > end):
                continue
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
        for when, samples in self.blocks:
            if (start is not None and when < start) or (end is not None and when > end):
                continue
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
