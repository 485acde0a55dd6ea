// Feeds arbitrary files to the probe that reads tags, holes and encoder headers before anything
// is decoded, and checks its promises: what it reports lies within the file, and the estimate
// never exceeds what the audio can hold.
#include "MpegProbe.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const int fd = ::memfd_create("probe", 0);
    if (fd < 0 || ::ftruncate(fd, 0) != 0 ||
        ::pwrite(fd, data, size, 0) != static_cast<ssize_t>(size))
        return 0;
    const auto fileSize = static_cast<std::int64_t>(size);
    const zr::media::AudioProbe p = zr::media::probeAudio(fd, fileSize);
    (void)zr::media::headerAgrees(p);
    if (p.found) {
        if (p.begin < 0 || p.begin >= p.end || p.end > fileSize || p.dataBytes > p.end - p.begin)
            std::abort();
        if (zr::media::estimateSamples(p) > zr::media::maxSamples(p))
            std::abort();
    }
    return 0;
}
