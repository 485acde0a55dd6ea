#pragma once
// What a file's bytes say about its MPEG audio before anything is decoded: where the audio lies
// between the tags at either end (and the holes of a sparse file), its first frames and its
// last, and what an encoder's Xing/Info/VBRI header claims. Read with a handful of small preads
// at the two ends, whatever the size of the tags: cheap on a slow disk. The decisions made from
// it (trust the header or not, the estimate, the most the audio can hold) are plain functions.

#include <cstdint>
#include <optional>

namespace zr::media {

// One MPEG audio frame header (layers I-III, MPEG-1, 2 and 2.5; free format is not handled).
struct FrameHeader {
    int version = 1; // 1: MPEG-1, 2: MPEG-2, 3: MPEG-2.5
    int layer = 3;
    long rate = 0;
    int kbps = 0;
    int bytes = 0;   // the whole frame, header included
    int samples = 0; // per channel
    int sideInfo = 0;
    bool crc = false;
    bool mono = false;
    // Same stream: what must not change from one frame to the next.
    [[nodiscard]] bool sameStream(const FrameHeader& o) const {
        return version == o.version && layer == o.layer && rate == o.rate;
    }
};
[[nodiscard]] std::optional<FrameHeader> parseFrameHeader(const unsigned char* p);

// What an encoder's header in the first frame claims about the whole stream.
struct EncoderHeader {
    enum class Kind { None, Xing, Info, Vbri };
    Kind kind = Kind::None;
    std::int64_t frames = -1; // audio frames after the header's own frame; -1: not given
    std::int64_t bytes = -1;  // from the header's frame to the end of the audio; -1: not given
    bool tocOrdered = true;   // Xing: its table of contents never goes backwards
    bool crcChecked = false;  // a LAME (or libavformat) tag's own CRC covers the counts...
    bool crcGood = false;     // ...and matches them
    std::int64_t vbriTocFrames = -1; // VBRI: entries x frames per entry
    std::int64_t vbriTocBytes = -1;  // VBRI: the sum of its table
    std::int64_t vbriFramesPerEntry = 0;
};

// Frames seen in a stretch of the audio: their count, bytes and bitrates.
struct FrameRun {
    std::int64_t frames = 0;
    std::int64_t bytes = 0;
    int minKbps = 0;
    int maxKbps = 0;
};

struct AudioProbe {
    bool found = false;         // a run of frames was found after the leading tags
    std::int64_t begin = 0;     // the first frame (the encoder header's frame when there is one)
    std::int64_t end = 0;       // where the audio ends: before trailing tags and a trailing hole
    std::int64_t dataBytes = 0; // bytes of [begin, end) that are not holes
    FrameHeader first;
    EncoderHeader header;
    std::int64_t headerFrameBytes = 0; // the encoder header's frame (0 without one)
    FrameRun head;                     // audio frames at the start, after the header's frame
    FrameRun tail;                     // audio frames that end the audio
};

// Reads what it needs of a regular file of fileSize bytes with pread (the descriptor's offset
// is left alone). A read error or a file without MPEG frames near its start gives found=false.
[[nodiscard]] AudioProbe probeAudio(int fd, std::int64_t fileSize);

// Whether the header's count of frames may be believed: it counts frames and bytes, its bytes are
// the audio's, the frames fit those bytes at the stream's bitrates, its LAME tag's CRC (which
// covers the counts) holds, a CBR header's count is what the frames' bitrate gives, and a VBRI
// table adds up.
[[nodiscard]] bool headerAgrees(const AudioProbe& probe);

// Samples per channel the audio bytes are estimated to hold (tags and holes excluded), from the
// mean size of the frames seen; 0 when nothing was found.
[[nodiscard]] std::int64_t estimateSamples(const AudioProbe& probe);

// The most samples per channel the audio bytes can hold (every frame at the lowest bitrate of the
// stream's format); 0 when nothing was found.
[[nodiscard]] std::int64_t maxSamples(const AudioProbe& probe);

} // namespace zr::media
