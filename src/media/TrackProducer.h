#pragma once
// The decode-and-tempo half of a device: decodes the track from a start frame with libmpg123,
// passes it through SoundTouch when the speed is not 1000 (tempo changes, pitch stays), and fills
// blocks of the device's ring. Owns the decoder. Used by the device's worker thread only, outside
// the device mutex (a read may block on a slow or stalled file).

#include "Mpg123Decoder.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace zr::media {

struct TempoLibrary;

// Frames per ring block.
inline constexpr std::uint32_t kBlockFrames = 1024;

// One ring slot: up to kBlockFrames frames of output and the track frames they stand for (at a
// speed other than 1000 a block covers more or fewer track frames than it holds).
struct AudioBlock {
    std::int64_t trackStart = 0;
    std::int64_t trackEnd = 0;
    std::uint32_t frames = 0;
    bool last = false; // nothing follows: the end of the decodable audio, or of the play's "to"
    std::vector<std::int16_t> samples;
};

class TrackProducer {
public:
    explicit TrackProducer(std::unique_ptr<Mpg123Decoder> decoder);
    ~TrackProducer();
    TrackProducer(const TrackProducer&) = delete;
    TrackProducer& operator=(const TrackProducer&) = delete;

    [[nodiscard]] long rate() const { return rate_; }
    [[nodiscard]] int channels() const { return channels_; }

    // Starts over at track frame `from`, ending at `end` (or at the decoder's real end, if
    // sooner), at the given speed (1000 = normal). When the decoder cannot be placed at `from`,
    // the start ends there: the next block is the last, empty.
    void restart(std::int64_t from, std::int64_t end, std::uint32_t speed);
    // Fills one block (its samples hold kBlockFrames frames). After the block marked last, the
    // producer is finished until the next restart.
    void fill(AudioBlock& block);
    [[nodiscard]] bool finished() const { return finished_; }

private:
    void fillAtTempo(AudioBlock& block);

    std::unique_ptr<Mpg123Decoder> decoder_;
    const long rate_;
    const int channels_;
    // Made at the first speed other than 1000, with its float buffers: most tracks never need it.
    // Without the library, every speed plays at 1000.
    const TempoLibrary* library_ = nullptr;
    void* tempo_ = nullptr;
    std::vector<std::int16_t> decoded_;
    std::vector<float> floats_;
    std::uint32_t speed_ = 1000;
    std::int64_t startFrame_ = 0;
    std::int64_t endFrame_ = 0;
    std::int64_t fedEnd_ = 0;      // next track frame to decode
    std::int64_t outProduced_ = 0; // output frames since the start, at a speed other than 1000
    bool inputDone_ = false;
    bool finished_ = true;
};

} // namespace zr::media
