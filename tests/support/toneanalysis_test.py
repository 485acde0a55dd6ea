#!/usr/bin/env python3
"""The dropout finder on made-up recordings whose gaps are known."""

import math
import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from pulseserver import parse_sink_inputs  # noqa: E402
from toneanalysis import analyse  # noqa: E402

RATE = 44100


def recording(parts, channels=2, amplitude=16384):
    """parts: (seconds, sounding) pairs, a 440 Hz tone where sounding, zeros elsewhere."""
    out = []
    t = 0
    for seconds, sounding in parts:
        for _ in range(round(seconds * RATE)):
            v = int(amplitude * math.sin(2 * math.pi * 440 * t / RATE)) if sounding else 0
            out.extend([v] * channels)
            t += 1
    return out


class ToneExtentAndGaps(unittest.TestCase):
    def test_steady_tone_between_silences_has_its_length_and_no_gaps(self):
        found = analyse(recording([(0.2, False), (1.0, True), (0.3, False)]), RATE, 2)
        self.assertEqual(found.start, round(0.2 * RATE) + 1)  # sin(0) is silent
        self.assertAlmostEqual(found.seconds, 1.0, delta=2 / RATE)
        self.assertEqual(found.dropouts(), [])
        self.assertEqual(found.gaps, [])  # zero crossings are far below 1 ms
        self.assertAlmostEqual(found.hz, 440, delta=2)

    def test_gaps_inside_are_found_with_their_place_and_length(self):
        parts = [(0.1, False), (0.5, True), (0.012, False), (0.5, True), (0.004, False),
                 (0.3, True), (0.5, False)]
        found = analyse(recording(parts), RATE, 2)
        self.assertEqual(len(found.gaps), 2)
        self.assertEqual(len(found.dropouts(10.0)), 1)
        first, frames = found.dropouts(10.0)[0]
        self.assertAlmostEqual(first / RATE, 0.6, delta=0.001)
        self.assertAlmostEqual(frames / RATE, 0.012, delta=0.0002)
        self.assertAlmostEqual(found.silent_ms(), 16.0, delta=0.2)
        # The gaps count in the tone's length: it runs from the first to the last sound.
        self.assertAlmostEqual(found.seconds, 1.316, delta=0.001)

    def test_a_gap_just_under_ten_ms_is_not_a_dropout(self):
        found = analyse(recording([(0.3, True), (0.0095, False), (0.3, True)]), RATE, 2)
        self.assertEqual(len(found.gaps), 1)
        self.assertEqual(found.dropouts(10.0), [])

    def test_sound_on_one_channel_only_is_not_a_gap(self):
        samples = recording([(0.5, True)])
        for i in range(RATE // 10 * 2, RATE // 5 * 2, 2):
            samples[i] = 0  # left channel silent for 100 ms, right goes on
        self.assertEqual(analyse(samples, RATE, 2).gaps, [])

    def test_silence_and_quiet_noise_are_no_tone(self):
        self.assertEqual(analyse([0] * 8820, RATE, 2).seconds, 0.0)
        self.assertEqual(analyse([300, -300] * 4410, RATE, 2).start, -1)

    def test_float_samples_with_a_float_threshold(self):
        floats = [v / 32768 for v in recording([(0.2, True), (0.05, False), (0.2, True)])]
        found = analyse(floats, RATE, 2, threshold=0.03)
        self.assertEqual(len(found.dropouts(10.0)), 1)


class SinkInputList(unittest.TestCase):
    def test_properties_of_each_stream(self):
        text = """Sink Input #7
\tDriver: protocol-native.c
\tProperties:
\t\tapplication.name = "ZR - Mp3 Player"
\t\tmedia.role = "music"
\t\tmedia.name = "a b.mp3"
Sink Input #9
\tProperties:
\t\tapplication.name = "paplay"
"""
        streams = parse_sink_inputs(text)
        self.assertEqual([s["Sink Input"] for s in streams], ["7", "9"])
        self.assertEqual(streams[0]["application.name"], "ZR - Mp3 Player")
        self.assertEqual(streams[0]["media.name"], "a b.mp3")
        self.assertNotIn("media.role", streams[1])


if __name__ == "__main__":
    unittest.main()
