#pragma once
// Track time for a device: the one place where frames become milliseconds and where the position
// of the sound being heard now is worked out. All frame counts are in the track's own time (its
// sample rate, before any tempo change), so speed changes do not alter positions or the length.

#include <cstdint>

namespace zr::media {

enum class DeviceMode { Stopped, Paused, Playing };

// First frame of the sound at position ms: ms x rate / 1000, rounded down.
[[nodiscard]] std::int64_t msToFrame(std::uint32_t ms, long rate);
// Milliseconds of a frame count, rounded up: frameToMs(msToFrame(ms)) == ms, and
// frameToMs(length) is the length reply exactly.
[[nodiscard]] std::uint32_t frameToMs(std::int64_t frame, long rate);

// The frame being heard now: what the device has taken from us minus what still waits in its own
// queue, never before the frame playback started from.
[[nodiscard]] std::int64_t soundingFrame(std::int64_t consumedEnd, std::int64_t queued,
                                         std::int64_t startFrame);

} // namespace zr::media

namespace zr::media {

// The promise the player's end-of-track test (position >= length, polled about once a second)
// relies on, while the length may still be an estimate: a position reply never reaches the last
// length reply before the audio has really ended, and equals it exactly once it has. Length
// replies are exact when known, else the best estimate. Not thread-safe (the device's mutex).
//
// While the file is still opening, the clock counts in milliseconds (rate 1000) and the length
// is unknown: kUnknownLengthMs, as long as a reply can be, so that a player which reads the
// length once never ends the track before its audio has ended. setTrack() brings the track's
// own rate and length; what was promised stays promised.
inline constexpr std::int64_t kUnknownLengthMs = 0x7fffffff;

class TrackClock {
public:
    TrackClock() : TrackClock(1000, kUnknownLengthMs, -1) {}
    TrackClock(long rate, std::int64_t estimateFrames, std::int64_t exactFrames)
        : rate_(rate), estimate_(estimateFrames), exact_(exactFrames) {}
    void setTrack(long rate, std::int64_t estimateFrames, std::int64_t exactFrames) {
        rate_ = rate;
        estimate_ = estimateFrames;
        exact_ = exactFrames;
    }

    [[nodiscard]] long rate() const { return rate_; }
    // The exact length in frames, or -1 while only estimated.
    [[nodiscard]] std::int64_t exactFrames() const { return exact_; }
    // Exact when known, else the estimate: what "from"/"to" and "seek" are checked against.
    [[nodiscard]] std::int64_t bestFrames() const { return exact_ >= 0 ? exact_ : estimate_; }
    void setExactFrames(std::int64_t frames);

    // The "status length" reply; remembered, because positions are kept below it.
    [[nodiscard]] std::uint32_t lengthReply();
    [[nodiscard]] bool lengthReplied() const { return lastReply_ >= 0; }
    // The "status position" reply for the frame heard now (or held), before or after the end.
    [[nodiscard]] std::uint32_t positionReply(std::int64_t frame) const;

    // The audio has really ended (or was sent to its end). A later play or seek clears it.
    void markEnded() { ended_ = true; }
    void clearEnded() { ended_ = false; }
    [[nodiscard]] bool ended() const { return ended_; }

private:
    long rate_;
    std::int64_t estimate_;
    std::int64_t exact_;
    std::int64_t lastReply_ = -1;
    bool ended_ = false;
};

} // namespace zr::media
