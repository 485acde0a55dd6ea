"""What the player sends to SDL's disk driver, heard through a named pipe, with arrival times.

SDL's disk driver opens SDL_DISKAUDIOFILE anew for every device it opens, which would truncate
a plain file at each track. A pipe with a reader that never lets go collects every track in
order, and the arrival time of each block says when it was heard: the disk driver writes at
the pace of playback. Samples are 32-bit floats, as the media service asks SDL for.
"""

import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from recording import Recording  # noqa: E402


class AudioTap(Recording):
    def __init__(self, path, channels=2, rate=44100):
        super().__init__(rate, channels, "f")
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
