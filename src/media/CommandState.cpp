#include "CommandState.h"

#include "MciErrors.h"
#include "VolumeCurve.h"

#include <algorithm>
#include <limits>

namespace zr::media {
namespace {

constexpr std::int64_t kNoEnd = std::numeric_limits<std::int64_t>::max();

} // namespace

void CommandState::trackOpened(Playback& playback, long rate, std::int64_t estimateFrames,
                               std::int64_t exactFrames, std::unique_ptr<LengthScanner> scanner) {
    const std::int64_t length = exactFrames >= 0 ? exactFrames : estimateFrames;
    // Milliseconds so far: now frames, within the track.
    const auto toFrame = [&](std::int64_t ms) {
        return std::min(msToFrame(static_cast<std::uint32_t>(ms), rate), length);
    };
    heldFrame_ = toFrame(heldFrame_);
    startFrame_ = toFrame(startFrame_);
    if (endFrame_ != kNoEnd)
        endFrame_ = toFrame(endFrame_);
    rate_ = rate;
    clock_.setTrack(rate, estimateFrames, exactFrames);
    scanner_ = std::move(scanner);
    playback_ = &playback;
    updateGain();
    if (mode_ == DeviceMode::Playing)
        playback_->play(generation_); // sent meanwhile: the worker takes it up now
}

void CommandState::fail() {
    mode_ = DeviceMode::Stopped;
    clock_.markEnded();
}

void CommandState::wake() {
    if (playback_)
        playback_->wake();
}

PlayStart CommandState::start() const {
    return {generation_, startFrame_, endFrame_, speed_};
}

void CommandState::restart(std::int64_t from, std::int64_t end, bool endIsTo) {
    startFrame_ = from;
    endFrame_ = end;
    endIsTo_ = endIsTo;
    ++generation_;
    mode_ = DeviceMode::Playing;
    clock_.clearEnded();
    if (playback_)
        playback_->play(generation_);
    wake();
}

void CommandState::hold(DeviceMode mode) {
    if (mode_ == DeviceMode::Playing)
        heldFrame_ = heardFrame();
    mode_ = mode;
    if (playback_)
        playback_->silence(); // at once, whatever the worker is doing
    wake();                   // to close the output
}

void CommandState::endStalled() {
    // As a damaged file ends: stopped where the sound stopped, the position at the length.
    hold(DeviceMode::Stopped);
    takeScanResult();
    clock_.markEnded();
}

void CommandState::close() {
    scanner_.reset(); // its reads fail from now on
    if (playback_) {
        playback_->silence();
        playback_->cancelReads();
    }
}

std::int64_t CommandState::heardFrame() const {
    // Until the worker has taken up the latest start, what is heard is where it starts.
    if (!playback_ || playback_->startedGeneration() != generation_)
        return startFrame_;
    return playback_->heardFrame();
}

bool CommandState::ended() const {
    return mode_ == DeviceMode::Playing && playback_ &&
           playback_->startedGeneration() == generation_ && playback_->ended();
}

void CommandState::finish() {
    mode_ = DeviceMode::Stopped;
    if (endIsTo_) {
        heldFrame_ = endFrame_;
        if (endFrame_ >= clock_.bestFrames())
            clock_.markEnded();
        return;
    }
    // The decoder's real end is the length, unless a scan counted more (a damaged file may end
    // its decodable audio early; the end then still reads as the length). A scan counts less
    // than was played where the sample rate changes inside the file: what was played wins. A
    // start that played nothing (a seek that failed, a start past the real end) tells nothing.
    heldFrame_ = playback_->endedFrame();
    takeScanResult();
    if (heldFrame_ > startFrame_ && heldFrame_ > clock_.exactFrames())
        clock_.setExactFrames(heldFrame_);
    clock_.markEnded();
}

void CommandState::takeScanResult() {
    if (scanner_ && scanner_->done()) {
        if (clock_.exactFrames() < 0)
            clock_.setExactFrames(scanner_->frames());
        scanner_.reset();
    }
}

int CommandState::play(std::optional<std::uint32_t> from, std::optional<std::uint32_t> to) {
    takeScanResult();
    if (!from && !to && mode_ == DeviceMode::Playing)
        return kMciOk;
    const std::int64_t length = clock_.bestFrames();
    std::int64_t start = 0;
    if (from) {
        if (*from > frameToMs(length, rate_))
            return kMciBadNumber;
        start = std::min(msToFrame(*from, rate_), length);
    } else {
        start = clock_.ended() ? 0 : (mode_ == DeviceMode::Playing ? heardFrame() : heldFrame_);
    }
    std::int64_t end = kNoEnd;
    if (to) {
        if (*to > frameToMs(length, rate_))
            return kMciBadNumber;
        end = std::min(msToFrame(*to, rate_), length);
        if (end < start)
            return kMciBadNumber;
    }
    restart(start, end, to.has_value());
    return kMciOk;
}

int CommandState::pause() {
    if (mode_ == DeviceMode::Playing)
        hold(DeviceMode::Paused);
    return kMciOk;
}

int CommandState::resume() {
    if (mode_ == DeviceMode::Paused)
        restart(heldFrame_, endFrame_, endIsTo_);
    return kMciOk;
}

int CommandState::stop() {
    hold(DeviceMode::Stopped);
    return kMciOk;
}

int CommandState::seek(SeekTarget target, std::uint32_t ms) {
    takeScanResult();
    const std::int64_t length = clock_.bestFrames();
    std::int64_t frame = 0;
    if (target == SeekTarget::End) {
        frame = length;
    } else if (target == SeekTarget::Position) {
        if (ms > frameToMs(length, rate_))
            return kMciBadNumber;
        frame = std::min(msToFrame(ms, rate_), length);
    }
    hold(DeviceMode::Stopped);
    heldFrame_ = frame;
    if (frame >= length)
        clock_.markEnded();
    else
        clock_.clearEnded();
    return kMciOk;
}

int CommandState::setSpeed(std::uint32_t speed) {
    if (speed == speed_)
        return kMciOk;
    speed_ = speed;
    // Decoded audio ahead of the device is at the old tempo: go on from what is heard now.
    if (mode_ == DeviceMode::Playing)
        restart(heardFrame(), endFrame_, endIsTo_);
    return kMciOk;
}

void CommandState::updateGain() {
    if (playback_)
        playback_->setVolume(gainForVolume(volume_), muted_);
}

void CommandState::setVolume(std::uint32_t volume) {
    volume_ = std::min(volume, kMaxVolume);
    updateGain();
}

void CommandState::setMuted(bool muted) {
    muted_ = muted;
    updateGain();
}

std::uint32_t CommandState::lengthMs() {
    takeScanResult();
    return clock_.lengthReply();
}

std::uint32_t CommandState::positionMs() {
    return clock_.positionReply(mode_ == DeviceMode::Playing ? heardFrame() : heldFrame_);
}

} // namespace zr::media
