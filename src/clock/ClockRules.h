#pragma once
// The arithmetic of the playback clock and the seek bar, as plain functions: the elapsed-time
// counter, where the filled part of the progress bar ends, when a track has ended and which
// position a press on the bar seeks to. Widths and coordinates are in twips; positions and
// lengths in the media service's unit (milliseconds).

#include <cstdint>
#include <optional>

namespace zr {

// The elapsed-time display A B : C D, as numbers: tens of minutes, minutes, tens of seconds,
// seconds.
struct ElapsedTime {
    std::int32_t a = 0;
    std::int32_t b = 0;
    std::int32_t c = 0;
    std::int32_t d = 0;
    friend bool operator==(const ElapsedTime&, const ElapsedTime&) = default;
};

// One second later: D carries into C after 9, C into B after 5, B into A after 9, so 09:59 is
// followed by 10:00. A has no upper limit (it stops growing at the 32-bit maximum).
[[nodiscard]] ElapsedTime AdvanceElapsed(ElapsedTime t);

// Right edge of the filled part of the progress bar: round(width * position) / length + 200,
// the product rounded half to even and held in 64 bits (so any length and position the media
// service reports fit), the division truncating. Empty (draw nothing) when length is 0 or the
// edge itself leaves the 32-bit range (a position far beyond the length).
[[nodiscard]] std::optional<std::int32_t> ProgressRightEdge(float width, std::int32_t length,
                                                            float position);

// True when the track has ended: the position reply is not below the length reply.
[[nodiscard]] inline bool TrackHasEnded(double length, double position) {
    return length <= position;
}

// Position that a press at x on a bar of the given width seeks to: (length / width) * x in
// double precision, rounded half to even. Empty (send nothing) when the width is 0 or the
// result does not fit 32 bits.
[[nodiscard]] std::optional<std::int32_t> SeekPosition(float width, double length, float x);

} // namespace zr
