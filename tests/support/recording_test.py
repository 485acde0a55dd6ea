#!/usr/bin/env python3
"""The shared recorder on a pipe fed with known samples, in both sample formats it reads."""

import array
import math
import os
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from recording import Recording  # noqa: E402

RATE = 44100


def tone(seconds, amplitude, channels=2, hz=441):
    """Interleaved frames of a sine on every channel."""
    out = []
    for t in range(round(seconds * RATE)):
        out.extend([amplitude * math.sin(2 * math.pi * hz * t / RATE)] * channels)
    return out


class PipeRecording(Recording):
    def __init__(self, typecode, scale=1.0):
        super().__init__(RATE, 2, typecode, scale)
        self._rfd, self.wfd = os.pipe()
        self._start_reading(self._rfd)

    def send(self, data):
        os.write(self.wfd, data)

    def finish(self):
        os.close(self.wfd)  # end of file ends the reader
        self._stop_reading(5)
        os.close(self._rfd)

    def settle(self, frames):
        deadline = time.monotonic() + 5
        while self.frames() < frames and time.monotonic() < deadline:
            time.sleep(0.01)


class Questions(unittest.TestCase):
    def test_float_samples_sound_for_their_length_at_their_pitch_and_peak(self):
        rec = PipeRecording("f")
        rec.send(array.array("f", tone(0.5, 0.5)).tobytes())
        rec.send(array.array("f", [0.0] * (2 * RATE // 2)).tobytes())  # half a second of silence
        rec.finish()
        self.assertEqual(rec.frames(), RATE)
        self.assertAlmostEqual(rec.sounding_seconds(), 0.5, delta=0.011)
        self.assertAlmostEqual(rec.peak(), 0.5, delta=0.001)
        self.assertAlmostEqual(rec.tone_frequency(), 441, delta=5)

    def test_s16_samples_are_scaled_to_one_and_kept_as_recorded(self):
        rec = PipeRecording("h", 1.0 / 32768)
        ints = [int(v) for v in tone(0.2, 16384)]
        rec.send(array.array("h", ints).tobytes())
        rec.finish()
        self.assertEqual(list(rec.samples()), ints)
        self.assertAlmostEqual(rec.peak(), 0.5, delta=0.001)
        self.assertAlmostEqual(rec.sounding_seconds(), 0.2, delta=0.011)

    def test_a_frame_split_between_reads_is_whole_in_the_block_that_ends_it(self):
        rec = PipeRecording("h", 1.0 / 32768)
        # One frame: left loud, right silent. Its first byte arrives alone.
        data = array.array("h", [0, 0, 32767, 0]).tobytes()
        rec.send(data[:5])
        rec.settle(1)
        rec.send(data[5:])
        rec.finish()
        self.assertEqual(rec.frames(), 2)
        self.assertAlmostEqual(rec.peak(), 32767 / 32768, places=4)  # left channel, not right

    def test_start_and_end_pick_the_blocks_that_arrived_between_them(self):
        rec = PipeRecording("f")
        rec.send(array.array("f", tone(0.1, 0.9)).tobytes())
        rec.settle(round(0.1 * RATE))
        middle = time.monotonic()
        rec.send(array.array("f", tone(0.1, 0.2)).tobytes())
        rec.finish()
        self.assertAlmostEqual(rec.peak(end=middle), 0.9, delta=0.001)
        self.assertAlmostEqual(rec.peak(start=middle), 0.2, delta=0.001)
        self.assertAlmostEqual(rec.sounding_seconds(start=middle), 0.1, delta=0.011)


if __name__ == "__main__":
    unittest.main()
