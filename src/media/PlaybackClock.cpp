#include "PlaybackClock.h"

#include <algorithm>

namespace zr::media {

std::int64_t msToFrame(std::uint32_t ms, long rate) {
    return static_cast<std::int64_t>(ms) * rate / 1000;
}

std::uint32_t frameToMs(std::int64_t frame, long rate) {
    if (frame <= 0 || rate <= 0)
        return 0;
    // Rounded up, so that a position given in ms comes back unchanged after its frame.
    const std::int64_t ms = (frame * 1000 + rate - 1) / rate;
    return static_cast<std::uint32_t>(std::min<std::int64_t>(ms, 0x7fffffff));
}

std::int64_t soundingFrame(std::int64_t consumedEnd, std::int64_t queued, std::int64_t startFrame) {
    return std::max(startFrame, consumedEnd - queued);
}

} // namespace zr::media

namespace zr::media {

void TrackClock::setExactFrames(std::int64_t frames) {
    if (frames >= 0)
        exact_ = frames;
}

std::uint32_t TrackClock::lengthReply() {
    const std::uint32_t ms = frameToMs(std::max<std::int64_t>(0, bestFrames()), rate_);
    lastReply_ = ms;
    return ms;
}

std::uint32_t TrackClock::positionReply(std::int64_t frame) const {
    const std::int64_t promised =
        lastReply_ >= 0 ? lastReply_ : frameToMs(std::max<std::int64_t>(0, bestFrames()), rate_);
    if (ended_)
        return static_cast<std::uint32_t>(promised);
    // Not ended: stay short of the length the caller holds, whatever the frames say (an
    // estimate may be short of the real end, and a rounded-up last frame would reach it).
    const std::uint32_t ms = frameToMs(frame, rate_);
    return promised > 0 ? std::min<std::uint32_t>(ms, static_cast<std::uint32_t>(promised - 1)) : 0;
}

} // namespace zr::media
