"""Where a steady tone starts and ends in a recording, the silent gaps inside it, and its pitch.

A gap is a run of samples (every channel) at or below the threshold. A sine crosses zero for a
sample or two each half period, far shorter than any gap that counts, so a run of 10 ms or more
inside the tone is a dropout: the output ran dry and the server played silence.
"""

import argparse
import array
import operator
from dataclasses import dataclass, field


@dataclass
class ToneExtent:
    rate: int
    start: int = -1  # first frame louder than the threshold; -1 when nothing sounded
    end: int = -1  # one past the last such frame
    gaps: list = field(default_factory=list)  # (first frame, frames) of silent runs inside
    hz: float = 0.0  # rising zero crossings a second, on the first channel, in the middle half

    @property
    def seconds(self):
        return (self.end - self.start) / self.rate if self.start >= 0 else 0.0

    def dropouts(self, min_ms=10.0):
        """The gaps of at least min_ms."""
        least = min_ms * self.rate / 1000.0
        return [g for g in self.gaps if g[1] >= least]

    def silent_ms(self):
        return sum(g[1] for g in self.gaps) * 1000.0 / self.rate


def analyse(samples, rate, channels, threshold=1000, min_gap_ms=1.0):
    """samples: interleaved integers (s16) or floats, with threshold in the same unit.

    Gaps shorter than min_gap_ms are not listed (zero crossings, quiet edges of the tone)."""
    frames = len(samples) // channels
    result = ToneExtent(rate)
    # Loud frames, worked out by map() rather than a loop: recordings run to millions of samples.
    louder = threshold.__lt__
    loud = list(map(louder, map(abs, samples[0:frames * channels:channels])))
    for c in range(1, channels):
        loud = list(map(operator.or_, loud,
                        map(louder, map(abs, samples[c:frames * channels:channels]))))
    if True not in loud:
        return result
    start = loud.index(True)
    end = frames - loud[::-1].index(True)
    result.start, result.end = start, end
    least = min_gap_ms * rate / 1000.0

    def next_quiet(frame):
        try:
            return loud.index(False, frame, end)
        except ValueError:
            return end

    run = next_quiet(start)
    while run < end:
        back = loud.index(True, run, end)  # the tone's last frame is loud
        if back - run >= least:
            result.gaps.append((run, back - run))
        run = next_quiet(back)
    quarter = (end - start) // 4
    middle = samples[(start + quarter) * channels:(end - quarter) * channels:channels]
    if len(middle) > 1:
        rising = sum(map(lambda a, b: a < 0 <= b, middle, middle[1:]))
        result.hz = rising * rate / (len(middle) - 1)
    return result


def main():
    """For tests in another language: analyses a file of raw interleaved samples and prints the
    first and one-past-last loud frame ("-1 -1" when nothing sounded) and the pitch, then one
    line per gap: its first frame and its length in frames."""
    parser = argparse.ArgumentParser()
    parser.add_argument("file")
    parser.add_argument("--format", choices=["s16", "f32"], default="s16")
    parser.add_argument("--rate", type=int, default=44100)
    parser.add_argument("--channels", type=int, default=2)
    parser.add_argument("--threshold", type=float, default=1000)
    parser.add_argument("--min-gap-ms", type=float, default=1.0)
    args = parser.parse_args()
    samples = array.array("h" if args.format == "s16" else "f")
    with open(args.file, "rb") as f:
        data = f.read()
    samples.frombytes(data[:len(data) - len(data) % samples.itemsize])
    threshold = int(args.threshold) if args.format == "s16" else args.threshold
    found = analyse(samples, args.rate, args.channels, threshold, args.min_gap_ms)
    print(found.start, found.end, found.hz)
    for first, length in found.gaps:
        print(first, length)


if __name__ == "__main__":
    main()
