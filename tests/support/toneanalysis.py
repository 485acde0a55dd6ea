"""Where a steady tone starts and ends in a recording, and the silent gaps inside it.

A gap is a run of samples (every channel) at or below the threshold. A sine crosses zero for a
sample or two each half period, far shorter than any gap that counts, so a run of 10 ms or more
inside the tone is a dropout: the output ran dry and the server played silence.
"""

from dataclasses import dataclass, field


@dataclass
class ToneExtent:
    rate: int
    start: int = -1  # first frame louder than the threshold; -1 when nothing sounded
    end: int = -1  # one past the last such frame
    gaps: list = field(default_factory=list)  # (first frame, frames) of silent runs inside

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

    def loud(f):
        base = f * channels
        for c in range(channels):
            v = samples[base + c]
            if v > threshold or -v > threshold:
                return True
        return False

    start = next((f for f in range(frames) if loud(f)), None)
    if start is None:
        return result
    end = next(f for f in range(frames - 1, start - 1, -1) if loud(f)) + 1
    result.start, result.end = start, end
    least = min_gap_ms * rate / 1000.0
    run = None
    for f in range(start, end):
        if loud(f):
            if run is not None and f - run >= least:
                result.gaps.append((run, f - run))
            run = None
        elif run is None:
            run = f
    return result
