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

struct ClockState {
    DeviceMode mode = DeviceMode::Stopped;
    std::int64_t heldFrame = 0;     // position while stopped or paused
    std::int64_t soundingFrame = 0; // published by the output while playing
    std::int64_t lengthFrames = -1; // -1 while not known yet
    long rate = 44100;
};

// The position reply, in milliseconds; never beyond the length.
[[nodiscard]] std::uint32_t positionMs(const ClockState& state);

} // namespace zr::media
