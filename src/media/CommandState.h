#pragma once
// The command half of a device: what the transport commands read and write. Every member runs
// under the device's mutex (MpegDevice holds it); nothing here decodes, reads the file, or opens
// or closes the output, so a command returns at once. It tells the worker what to play by
// numbering starts (generation) and waking it, and reaches the playback half only through
// Playback's "any thread" members (where the sound is, the volume, wake-ups).
//
// Positions and lengths are in track time (frames at the track's rate, before any tempo
// change). The length: exact at once from a header that agrees with the file, else the
// estimate until a LengthScanner (own thread, own decoder) has counted every frame; TrackClock
// keeps the promises about length and position meanwhile.
//
// Commands are answered from the moment "open" is sent, while the file is still opening: until
// trackOpened() the frames are milliseconds and the length is unknown (TrackClock), so a play,
// a seek or a volume sent meanwhile is kept and takes effect once the file is open (positions
// then within the track).

#include "LengthScanner.h"
#include "MciParser.h"
#include "Playback.h"
#include "PlaybackClock.h"

#include <cstdint>
#include <memory>
#include <optional>

namespace zr::media {

class CommandState {
public:
    CommandState() = default;

    // The file has opened: the track's rate and length, the scan counting its frames (if any),
    // and the playback half, which takes up the volume and any start asked for meanwhile.
    void trackOpened(Playback& playback, long rate, std::int64_t estimateFrames,
                     std::int64_t exactFrames, std::unique_ptr<LengthScanner> scanner);
    // The file will not open: the device stands stopped at its end, so that a position read
    // after a length reply equals that reply.
    void fail();

    // The commands. Milliseconds of track time; from/to must lie within the track
    // (kMciBadNumber otherwise).
    [[nodiscard]] int play(std::optional<std::uint32_t> from, std::optional<std::uint32_t> to);
    [[nodiscard]] int pause();
    [[nodiscard]] int resume();
    [[nodiscard]] int stop();
    [[nodiscard]] int seek(SeekTarget target, std::uint32_t ms);
    [[nodiscard]] int setSpeed(std::uint32_t speed);
    void setVolume(std::uint32_t volume);
    void setMuted(bool muted);
    [[nodiscard]] std::uint32_t lengthMs();
    [[nodiscard]] std::uint32_t positionMs();
    [[nodiscard]] DeviceMode mode() const { return mode_; }
    [[nodiscard]] std::uint32_t volume() const { return volume_; }
    [[nodiscard]] std::uint32_t speed() const { return speed_; }
    // Whether a length reply was given: a failed device keeps its promise.
    [[nodiscard]] bool lengthReplied() const { return clock_.lengthReplied(); }

    // For the worker: the start it should be playing while the mode is Playing.
    [[nodiscard]] PlayStart start() const;
    [[nodiscard]] std::uint32_t generation() const { return generation_; }
    // Playing, and the callback has heard the last block of the current start.
    [[nodiscard]] bool ended() const;
    // The current start has been heard to its end (the worker has closed the output): the
    // device stops there.
    void finish();
    // The file has given nothing for the stall limit while playing: the track ends where its
    // sound stopped, as a damaged file's does (the position reads as the length).
    void endStalled();
    // The device is closing: nothing more is heard, nothing more is read.
    void close();
    // The track frame being heard now (while playing: where the sound is).
    [[nodiscard]] std::int64_t heardFrame() const;
    // The output was lost with what it held unheard: a new start from that frame, to the same
    // end, on the next output.
    void goOnFrom(std::int64_t frame) { restart(frame, endFrame_, endIsTo_); }

private:
    void restart(std::int64_t from, std::int64_t end, bool endIsTo);
    void hold(DeviceMode mode);
    void takeScanResult();
    void updateGain();
    void wake();

    Playback* playback_ = nullptr; // set once the file is open
    long rate_ = 1000;
    DeviceMode mode_ = DeviceMode::Stopped;
    std::int64_t heldFrame_ = 0;  // position while stopped or paused
    std::int64_t startFrame_ = 0; // where the current play started
    std::int64_t endFrame_ = 0;   // where it ends: its "to", else past any track
    bool endIsTo_ = false;
    std::uint32_t volume_ = 1000;
    bool muted_ = false;
    std::uint32_t speed_ = 1000;
    std::uint32_t generation_ = 0; // counts starts; the worker follows it
    TrackClock clock_;
    std::unique_ptr<LengthScanner> scanner_;
};

} // namespace zr::media
