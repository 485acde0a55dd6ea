// The output table (OutputTable.cpp) through SDL's disk driver, heard through a pipe that
// tests/support/recording.py records: unpaced (SDL_DISKAUDIODELAY=0) it takes whole tracks in
// milliseconds, sample for sample; paced, at the pace of playback.
#include "OutputTable.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

namespace zr::media::test {
namespace {

class DiskOutput : public Output {
public:
    std::string start(bool realTime) override {
        paced_ = realTime;
        const std::string fifo = (dir_.path() / "disk.fifo").string();
        // SDL reads these when it starts and when it opens a device; the service starts SDL
        // only with its first device.
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", fifo.c_str(), 1);
        if (realTime)
            unsetenv("SDL_DISKAUDIODELAY");
        else
            setenv("SDL_DISKAUDIODELAY", "0", 1);
        tap_.emplace("recording.py", std::vector<std::string>{"--disk", fifo, file()});
        return tap_->readLine() == "ready" ? "" : "recording.py did not start";
    }
    DeviceOptions options() const override {
        // Ring and start buffer longer than any fixture: the whole track is decoded before the
        // unpaced device starts, so what it takes has no gaps from the decoder falling behind.
        return paced_ ? DeviceOptions{} : DeviceOptions{20000, 20000};
    }
    long mark() const override {
        std::error_code ec;
        const auto size = std::filesystem::file_size(file(), ec);
        return ec ? 0 : static_cast<long>(size / sizeof(float));
    }
    std::vector<float> heard(long from) const override {
        std::ifstream in(file(), std::ios::binary | std::ios::ate);
        const long end = static_cast<long>(in.tellg()) / static_cast<long>(sizeof(float));
        std::vector<float> samples(static_cast<std::size_t>(std::max(end - from, 0L)));
        in.seekg(from * static_cast<long>(sizeof(float)));
        in.read(reinterpret_cast<char*>(samples.data()),
                static_cast<std::streamsize>(samples.size() * sizeof(float)));
        return samples;
    }
    long rate(const Pcm& track) const override { return track.rate; }
    int channels(const Pcm& track) const override { return track.channels; }
    bool paced() const override { return paced_; }
    double slackSeconds() const override { return 0.02; }
    long startCutFrames() const override { return 0; }
    double heldSeconds() const override { return paced_ ? 2.0 * 2048 / 44100 : 0.0; }

private:
    std::string file() const { return (dir_.path() / "heard.raw").string(); }

    zr::test::TempDir dir_;
    std::optional<zr::test::PythonHelper> tap_;
    bool paced_ = false;
};

std::unique_ptr<Output> makeDisk() {
    return std::make_unique<DiskOutput>();
}

constexpr char kDisk[] = "disk";
INSTANTIATE_TEST_SUITE_P(Output, OutputTable, ::testing::Values(&makeDisk), nameOutput<kDisk>);
INSTANTIATE_TEST_SUITE_P(Output, RealTimeOutputTable, ::testing::Values(&makeDisk),
                         nameOutput<kDisk>);

} // namespace
} // namespace zr::media::test
