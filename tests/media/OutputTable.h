#pragma once
// What the service plays, checked once (media_output_test.cpp) and run against each way its sound
// leaves it: SDL's disk driver (media_output_disk_test.cpp) and our own stream into a private
// PulseAudio (media_output_pulse_test.cpp). Each test binary instantiates the table with its
// output: SDL reads its driver once per process.

#include "MediaService.h"
#include "MediaTestSupport.h"
#include "PythonHelpers.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zr::media::test {

// One way the sound leaves the service, and what a listener heard there: a recording on one
// timeline, in interleaved samples (marks count samples, whatever the format meanwhile).
class Output {
public:
    virtual ~Output() = default;
    // Before the service's first device. realTime: the output plays at the pace of playback (the
    // server always does; SDL's disk driver otherwise takes the sound as fast as it is given).
    // Returns why the output cannot run here, or nothing.
    virtual std::string start(bool realTime) = 0;
    // The service's options for it: the unpaced disk driver takes the whole track at once.
    [[nodiscard]] virtual DeviceOptions options() const { return {}; }
    [[nodiscard]] virtual long mark() const = 0;
    // What was heard from a mark on, scaled to -1..1.
    [[nodiscard]] virtual std::vector<float> heard(long from) const = 0;
    // The timeline's format while a track of this format plays: SDL's device takes the track's,
    // the server mixes every stream into its sink's.
    [[nodiscard]] virtual long rate(const Pcm& track) const = 0;
    [[nodiscard]] virtual int channels(const Pcm& track) const = 0;
    // Whether it plays at the pace of playback, and how far a heard length may then be off (the
    // server's recording comes in blocks).
    [[nodiscard]] virtual bool paced() const = 0;
    [[nodiscard]] virtual double slackSeconds() const = 0;
    // How much of the start of a play it may not sound (the server: a few ms, not yet mended).
    [[nodiscard]] virtual long startCutFrames() const = 0;
    // What it holds that a seek or a speed change cannot take back (SDL's device buffer, played
    // out before the new sound; the server drops what it holds).
    [[nodiscard]] virtual double heldSeconds() const = 0;
};

using MakeOutput = std::unique_ptr<Output> (*)();

// The output's name in the tests' names: Output/OutputTable.<check>/<name>.
template <const char* name> std::string nameOutput(const ::testing::TestParamInfo<MakeOutput>&) {
    return name;
}

// The checks that need no real time (the disk driver runs unpaced for them).
class OutputTable : public ::testing::TestWithParam<MakeOutput> {
protected:
    void SetUp() override;
    [[nodiscard]] virtual bool realTime() const { return false; }

    Output& output() { return *output_; }
    MediaService& service() { return *service_; }
    // Opens a fixture as "mp3" and keeps its reference decode.
    void open(const std::string& name, MediaService* other = nullptr);
    [[nodiscard]] bool waitStopped(MediaService* other = nullptr);
    [[nodiscard]] long position(MediaService* other = nullptr);
    // What was heard from a mark on, once the last of it has come through.
    [[nodiscard]] std::vector<float> heardSince(long mark);
    [[nodiscard]] int channels() const { return output_->channels(reference_); }
    [[nodiscard]] long rate() const { return output_->rate(reference_); }
    // The tone in what was heard (in the output's format) or in the reference.
    [[nodiscard]] zr::test::ToneExtent tone(const std::vector<float>& heard) const;
    [[nodiscard]] zr::test::ToneExtent referenceTone() const;
    // Whether what was heard from a tone on is the reference's tone from `from` on, sample for
    // sample (within one 16-bit step of libmpg123's float decoding), all of it but what the output
    // may cut at the start.
    void expectSameSound(const std::vector<float>& heard, const zr::test::ToneExtent& got,
                         const std::vector<float>& reference, const zr::test::ToneExtent& want);
    // The loudest sample of the first channel between two frames of what was heard.
    [[nodiscard]] float peak(const std::vector<float>& heard, long from, long to) const;

    Pcm reference_;

private:
    std::unique_ptr<Output> output_;
    std::optional<MediaService> service_;
};

// The checks that send commands while the sound plays, or compare positions with what was
// heard when: both outputs at the pace of playback.
class RealTimeOutputTable : public OutputTable {
protected:
    [[nodiscard]] bool realTime() const override { return true; }
};

} // namespace zr::media::test
