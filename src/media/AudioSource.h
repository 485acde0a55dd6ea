#pragma once
// What an audio output plays from: the device side of the output callback. Every call comes
// from the output's own thread (or from a thread holding the output's callback lock), never two
// at a time; none may block, allocate or take a lock.

#include <cstddef>
#include <cstdint>

namespace zr::media {

class AudioSource {
public:
    // Writes up to frames interleaved float frames and returns how many it had (fewer when its
    // queue ran dry). applyGain: the volume goes into the samples (an output that cannot set the
    // stream's own volume); otherwise the output applies it.
    virtual std::size_t pull(float* out, std::size_t frames, bool applyGain) = 0;
    // As pull() without the gain, in the source's own 16-bit samples: each run of frames goes to
    // writer.put where it lies, for an output that copies them into its own buffer.
    struct FrameWriter {
        // frames frames from `from` become output frames at, at + 1, ...
        void (*put)(void* context, const std::int16_t* from, std::size_t at, std::size_t frames);
        void* context;
    };
    virtual std::size_t pullInto(const FrameWriter& writer, std::size_t frames) = 0;
    // The last frame of the current start has been pulled: nothing more will come.
    [[nodiscard]] virtual bool exhausted() const = 0;
    // Everything pulled has been heard.
    virtual void playedOut() = 0;
    // The output stopped working (its sound server or sink went away), or its silent stand-in
    // found the server offering a sink again. Whatever it held was not heard; the owner closes
    // it, goes on from what was heard, and reopens it.
    virtual void outputLost() = 0;

protected:
    ~AudioSource() = default;
};

} // namespace zr::media
