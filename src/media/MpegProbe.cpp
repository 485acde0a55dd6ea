#include "MpegProbe.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

namespace zr::media {
namespace {

// One read at each end of the file usually holds everything the probe looks at.
constexpr std::size_t kWindow = 64 * 1024;
// How far past the leading tags the first frame may lie (junk, padding beyond a tag's size).
constexpr std::int64_t kSyncSearch = 256 * 1024;
// Frames in a row that make a run real rather than a chance pattern in other data.
constexpr int kRunToTrust = 4;
constexpr int kMaxTags = 16;
constexpr int kMaxExtents = 64;

// Bitrates in kbit/s by [MPEG-1 or not][layer - 1][index], sample rates by [version - 1][index].
constexpr int kKbps[2][3][15] = {
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};
constexpr long kRates[3][3] = {{44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};

std::uint32_t be32(const unsigned char* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           p[3];
}
std::uint32_t be16(const unsigned char* p) {
    return (std::uint32_t{p[0]} << 8) | p[1];
}
std::uint32_t le32(const unsigned char* p) {
    return (std::uint32_t{p[3]} << 24) | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) |
           p[0];
}
bool startsWith(const unsigned char* p, const char* text) {
    return std::memcmp(p, text, std::strlen(text)) == 0;
}
std::int64_t syncsafe(const unsigned char* p) {
    return (std::int64_t{p[0]} << 21) | (std::int64_t{p[1]} << 14) | (std::int64_t{p[2]} << 7) |
           p[3];
}

// CRC-16 (polynomial 0x8005, bits reflected, start 0): the one a LAME tag carries.
std::uint32_t crc16(const unsigned char* p, std::size_t n) {
    std::uint32_t crc = 0;
    for (std::size_t i = 0; i < n; ++i) {
        crc ^= p[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
    }
    return crc;
}

// A stretch of the file held in memory, so that the looks at one end share one read.
class Window {
public:
    explicit Window(int fd) : fd_(fd) {}
    // n bytes at `at`, or nullptr past the end of the file or on a read error. When they are not
    // held, reads a new stretch: starting at `at`, or ending with them when reading backwards.
    const unsigned char* get(std::int64_t at, std::size_t n, bool backwards = false) {
        if (at < 0)
            return nullptr;
        const auto want = static_cast<std::int64_t>(n);
        if (at < start_ || at + want > start_ + static_cast<std::int64_t>(bytes_.size())) {
            const std::size_t size = std::max(n, kWindow);
            start_ = backwards
                         ? std::max<std::int64_t>(0, at + want - static_cast<std::int64_t>(size))
                         : at;
            bytes_.resize(size);
            bytes_.resize(readAt(bytes_.data(), size, start_));
            if (at + want > start_ + static_cast<std::int64_t>(bytes_.size()))
                return nullptr;
        }
        return bytes_.data() + (at - start_);
    }

    // Where the stretch held ends.
    [[nodiscard]] std::int64_t end() const {
        return start_ + static_cast<std::int64_t>(bytes_.size());
    }

private:
    std::size_t readAt(unsigned char* out, std::size_t n, std::int64_t at) const {
        std::size_t done = 0;
        while (done < n) {
            const ssize_t got = ::pread(fd_, out + done, n - done, static_cast<off_t>(at) + done);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                break;
            done += static_cast<std::size_t>(got);
        }
        return done;
    }

    int fd_;
    std::vector<unsigned char> bytes_;
    std::int64_t start_ = 0;
};

// The stretches of the file that hold data, as SEEK_DATA/SEEK_HOLE tell (no reading). A file
// system that does not know holes reports one stretch; past kMaxExtents the rest counts as data.
std::vector<std::pair<std::int64_t, std::int64_t>> dataExtents(int fd, std::int64_t size) {
    std::vector<std::pair<std::int64_t, std::int64_t>> extents;
    const off_t saved = ::lseek(fd, 0, SEEK_CUR);
    std::int64_t at = 0;
    while (at < size) {
        if (extents.size() == kMaxExtents) {
            extents.emplace_back(at, size);
            break;
        }
        const off_t data = ::lseek(fd, static_cast<off_t>(at), SEEK_DATA);
        if (data < 0) {
            if (errno != ENXIO) // ENXIO: only a hole from here on
                extents.emplace_back(at, size);
            break;
        }
        off_t hole = ::lseek(fd, data, SEEK_HOLE);
        if (hole <= data || hole > size)
            hole = static_cast<off_t>(size);
        extents.emplace_back(data, hole);
        at = hole;
    }
    if (saved >= 0)
        ::lseek(fd, saved, SEEK_SET);
    return extents;
}

// Where the trailing tags begin: ID3v1 (and its enhanced block), APEv1/v2, Lyrics3 v1/v2 and an
// appended ID3v2.4 tag, in any order and number.
std::int64_t endBeforeTrailingTags(Window& w, std::int64_t begin, std::int64_t end) {
    for (int i = 0; i < kMaxTags; ++i) {
        const std::int64_t room = end - begin;
        const unsigned char* p = nullptr;
        if (room >= 128 && (p = w.get(end - 128, 128, true)) && startsWith(p, "TAG")) {
            end -= 128;
            if (end - begin >= 227 && (p = w.get(end - 227, 4, true)) && startsWith(p, "TAG+"))
                end -= 227;
            continue;
        }
        if (room >= 32 && (p = w.get(end - 32, 32, true)) && startsWith(p, "APETAGEX")) {
            const std::int64_t size = le32(p + 12) + ((p[23] & 0x80) ? 32 : 0);
            if (size >= 32 && size <= room) {
                end -= size;
                continue;
            }
        }
        if (room >= 15 && (p = w.get(end - 15, 15, true)) && startsWith(p + 6, "LYRICS200")) {
            std::int64_t size = 0;
            for (int d = 0; d < 6 && p[d] >= '0' && p[d] <= '9'; ++d)
                size = size * 10 + (p[d] - '0');
            const unsigned char* b = nullptr;
            if (size >= 11 && size + 15 <= room && (b = w.get(end - 15 - size, 11, true)) &&
                startsWith(b, "LYRICSBEGIN")) {
                end -= size + 15;
                continue;
            }
        }
        if (room >= 9 && (p = w.get(end - 9, 9, true)) && startsWith(p, "LYRICSEND")) {
            // Version 1 has no size: its lyrics are at most 5100 bytes.
            const std::int64_t span = std::min<std::int64_t>(room, 5100 + 20);
            const unsigned char* b = w.get(end - span, static_cast<std::size_t>(span), true);
            const unsigned char* found = nullptr;
            for (std::int64_t k = span - 20; b && k >= 0 && !found; --k)
                if (startsWith(b + k, "LYRICSBEGIN"))
                    found = b + k;
            if (found) {
                end -= span - (found - b);
                continue;
            }
        }
        if (room >= 10 && (p = w.get(end - 10, 10, true)) && startsWith(p, "3DI")) {
            const std::int64_t size = syncsafe(p + 6) + 20;
            if (size <= room) {
                end -= size;
                continue;
            }
        }
        break;
    }
    return end;
}

// Frames that follow one another from `at` (each next header where the last frame ends, the
// same stream), up to `end` or maxFrames. Counts them into run; returns where the last one ends.
std::int64_t walkFrames(Window& w, std::int64_t at, std::int64_t end, const FrameHeader& stream,
                        int maxFrames, FrameRun& run) {
    for (int i = 0; i < maxFrames && at + 4 <= end; ++i) {
        const unsigned char* p = w.get(at, 4);
        const std::optional<FrameHeader> h = p ? parseFrameHeader(p) : std::nullopt;
        if (!h || !h->sameStream(stream) || at + h->bytes > end)
            break;
        run.minKbps = run.frames == 0 ? h->kbps : std::min(run.minKbps, h->kbps);
        run.maxKbps = std::max(run.maxKbps, h->kbps);
        ++run.frames;
        run.bytes += h->bytes;
        at += h->bytes;
    }
    return at;
}

// A run of frames starting at `at`: kRunToTrust in a row, or fewer that reach the end exactly.
bool runStartsAt(Window& w, std::int64_t at, std::int64_t end, const FrameHeader& first) {
    FrameRun run;
    const std::int64_t reached = walkFrames(w, at, end, first, kRunToTrust, run);
    return run.frames == kRunToTrust || (run.frames > 0 && reached == end);
}

// LAME writes a tag with a CRC from version 3.90 on; older versions wrote only text there.
bool lameTagWithCrc(const unsigned char* p) {
    if (!startsWith(p, "LAME3."))
        return false;
    int minor = 0;
    for (int i = 6; i < 9 && p[i] >= '0' && p[i] <= '9'; ++i)
        minor = minor * 10 + (p[i] - '0');
    return minor >= 90;
}

EncoderHeader readEncoderHeader(const unsigned char* f, const FrameHeader& h) {
    EncoderHeader e;
    const auto size = static_cast<std::size_t>(h.bytes);
    if (h.layer != 3)
        return e;
    const std::size_t x = 4 + (h.crc ? 2 : 0) + static_cast<std::size_t>(h.sideInfo);
    if (x + 8 <= size && (startsWith(f + x, "Xing") || startsWith(f + x, "Info"))) {
        e.kind = startsWith(f + x, "Xing") ? EncoderHeader::Kind::Xing : EncoderHeader::Kind::Info;
        const std::uint32_t flags = be32(f + x + 4);
        std::size_t field = x + 8;
        if ((flags & 1) && field + 4 <= size) {
            e.frames = be32(f + field);
            field += 4;
        }
        if ((flags & 2) && field + 4 <= size) {
            e.bytes = be32(f + field);
            field += 4;
        }
        if ((flags & 4) && field + 100 <= size) {
            for (std::size_t i = 1; i < 100; ++i)
                e.tocOrdered = e.tocOrdered && f[field + i] >= f[field + i - 1];
            field += 100;
        }
        if (flags & 8)
            field += 4;
        // LAME's tag ends with a CRC of the frame up to it, the counts above included.
        if (field + 36 <= size && lameTagWithCrc(f + field)) {
            e.crcChecked = true;
            e.crcGood = crc16(f, field + 34) == be16(f + field + 34);
        }
        return e;
    }
    if (36 + 26 <= size && startsWith(f + 36, "VBRI") && be16(f + 40) == 1) {
        e.kind = EncoderHeader::Kind::Vbri;
        e.bytes = be32(f + 46);
        e.frames = be32(f + 50);
        const std::size_t entries = be16(f + 54);
        const std::uint32_t scale = be16(f + 56);
        const std::size_t entryBytes = be16(f + 58);
        const std::uint32_t framesPerEntry = be16(f + 60);
        if (entryBytes >= 1 && entryBytes <= 4 && 62 + entries * entryBytes <= size) {
            std::int64_t sum = 0;
            for (std::size_t i = 0; i < entries; ++i) {
                std::int64_t v = 0;
                for (std::size_t b = 0; b < entryBytes; ++b)
                    v = (v << 8) | f[62 + i * entryBytes + b];
                sum += v;
            }
            e.vbriTocBytes = sum * scale;
            e.vbriTocFrames = static_cast<std::int64_t>(entries) * framesPerEntry;
            e.vbriFramesPerEntry = framesPerEntry;
        }
    }
    return e;
}

// The frame's mean size at its bitrate: padding slots add a byte now and then to keep it exact.
double meanFrameBytes(const FrameHeader& h) {
    return static_cast<double>(h.samples) / 8.0 * h.kbps * 1000.0 / static_cast<double>(h.rate);
}

// The smallest and largest frames the stream's format allows: its lowest bitrate, and its
// highest with a padding slot.
std::pair<double, double> frameBytesRange(const FrameHeader& h) {
    const int* kbps = kKbps[h.version == 1 ? 0 : 1][h.layer - 1];
    const double perKbps = meanFrameBytes(h) / h.kbps;
    return {std::floor(perKbps * kbps[1]), std::floor(perKbps * kbps[14]) + (h.layer == 1 ? 4 : 1)};
}

} // namespace

std::optional<FrameHeader> parseFrameHeader(const unsigned char* p) {
    if (p[0] != 0xff || (p[1] & 0xe0) != 0xe0)
        return std::nullopt;
    const int versionBits = (p[1] >> 3) & 3;
    const int layerBits = (p[1] >> 1) & 3;
    const int bitrateIndex = p[2] >> 4;
    const int rateIndex = (p[2] >> 2) & 3;
    if (versionBits == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 ||
        rateIndex == 3)
        return std::nullopt;
    FrameHeader h;
    h.version = versionBits == 3 ? 1 : (versionBits == 2 ? 2 : 3);
    h.layer = 4 - layerBits;
    h.rate = kRates[h.version - 1][rateIndex];
    h.kbps = kKbps[h.version == 1 ? 0 : 1][h.layer - 1][bitrateIndex];
    h.crc = (p[1] & 1) == 0;
    h.mono = (p[3] >> 6) == 3;
    const int padding = (p[2] >> 1) & 1;
    const bool lsf = h.version != 1;
    if (h.layer == 1) {
        h.samples = 384;
        h.bytes = (12 * h.kbps * 1000 / static_cast<int>(h.rate) + padding) * 4;
    } else {
        h.samples = h.layer == 3 && lsf ? 576 : 1152;
        h.bytes = (h.samples / 8) * h.kbps * 1000 / static_cast<int>(h.rate) + padding;
        if (h.layer == 3)
            h.sideInfo = lsf ? (h.mono ? 9 : 17) : (h.mono ? 17 : 32);
    }
    return h;
}

AudioProbe probeAudio(int fd, std::int64_t fileSize) {
    AudioProbe probe;
    const auto extents = dataExtents(fd, fileSize);
    if (extents.empty())
        return probe;
    Window head(fd);

    // Leading ID3v2 tags, skipped by their sizes without reading them.
    std::int64_t at = 0;
    for (int i = 0; i < kMaxTags; ++i) {
        const unsigned char* p = head.get(at, 10);
        if (!p || !startsWith(p, "ID3") || p[3] < 2 || p[3] > 4 ||
            ((p[6] | p[7] | p[8] | p[9]) & 0x80))
            break;
        at += 10 + syncsafe(p + 6) + ((p[3] == 4 && (p[5] & 0x10)) ? 10 : 0);
    }

    // The audio ends before the trailing tags, which end with the last data (a sparse file's
    // trailing hole holds no tags and no audio).
    Window tail(fd);
    std::int64_t dataEnd = extents.back().second;
    if (dataEnd < fileSize) {
        // Data that ends in a hole ends with a block filled up with zeros.
        const auto span = static_cast<std::size_t>(std::min<std::int64_t>(dataEnd, kWindow));
        if (const unsigned char* p =
                tail.get(dataEnd - static_cast<std::int64_t>(span), span, true))
            for (std::size_t i = span; i > 0 && p[i - 1] == 0; --i)
                --dataEnd;
    }
    probe.end = endBeforeTrailingTags(tail, at, dataEnd);

    // The first frame after the tags: the first that a run of frames follows.
    const std::int64_t searchEnd = std::min(probe.end, at + kSyncSearch);
    for (; at + 4 <= searchEnd; ++at) {
        const unsigned char* p = head.get(at, 4);
        if (!p)
            return probe;
        if (p[0] != 0xff)
            continue;
        const auto h = parseFrameHeader(p);
        if (h && runStartsAt(head, at, probe.end, *h)) {
            probe.found = true;
            probe.first = *h;
            break;
        }
    }
    if (!probe.found)
        return probe;
    probe.begin = at;
    for (const auto& [from, to] : extents)
        probe.dataBytes += std::max<std::int64_t>(0, std::min(to, probe.end) - std::max(from, at));

    if (const unsigned char* f = head.get(at, static_cast<std::size_t>(probe.first.bytes))) {
        probe.header = readEncoderHeader(f, probe.first);
        if (probe.header.kind != EncoderHeader::Kind::None)
            probe.headerFrameBytes = probe.first.bytes;
    }
    // The frames that the read at the start already holds, and those that end the audio.
    const std::int64_t audioStart = at + probe.headerFrameBytes;
    walkFrames(head, audioStart, std::min(probe.end, head.end()), probe.first, 1 << 20, probe.head);
    const std::int64_t tailStart =
        std::max(audioStart, probe.end - static_cast<std::int64_t>(kWindow) / 2);
    if (!tail.get(tailStart, static_cast<std::size_t>(probe.end - tailStart), true))
        return probe;
    const double largest = frameBytesRange(probe.first).second;
    for (std::int64_t t = tailStart; t + 4 <= probe.end; ++t) {
        const unsigned char* p = tail.get(t, 4);
        const auto h = p[0] == 0xff ? parseFrameHeader(p) : std::nullopt;
        if (!h || !h->sameStream(probe.first))
            continue;
        // The run that ends the audio (its last frame may be cut short).
        FrameRun run;
        const std::int64_t reached = walkFrames(tail, t, probe.end, probe.first, 1 << 20, run);
        if (run.frames >= kRunToTrust && static_cast<double>(probe.end - reached) < largest) {
            probe.tail = run;
            break;
        }
    }
    return probe;
}

bool headerAgrees(const AudioProbe& p) {
    const EncoderHeader& e = p.header;
    if (!p.found || e.kind == EncoderHeader::Kind::None || e.frames <= 0 || e.bytes <= 0)
        return false;
    // Encoders count from the header's frame to the end of the audio. Some count a leading tag
    // too; a few KiB of slack cover trailing junk, far below one joined file or a lost chapter.
    constexpr std::int64_t kSlack = 4096;
    const std::int64_t audio = p.dataBytes;
    if (std::llabs(e.bytes - audio) > kSlack && std::llabs(e.bytes - (audio + p.begin)) > kSlack)
        return false;
    if (e.crcChecked && !e.crcGood)
        return false;
    // The frames must fit the bytes at bitrates the format has.
    const double frameBytes = static_cast<double>(audio - p.headerFrameBytes) / e.frames;
    const auto [smallest, largest] = frameBytesRange(p.first);
    if (frameBytes < smallest - 1 || frameBytes > largest + 1)
        return false;
    switch (e.kind) {
    case EncoderHeader::Kind::Info: {
        // Constant bitrate: the count follows from the bytes at the frames' own bitrate.
        if (p.head.frames == 0 || p.head.minKbps != p.head.maxKbps)
            return p.head.frames == 0;
        FrameHeader audioFrame = p.first;
        audioFrame.kbps = p.head.minKbps;
        const double expected = (audio - p.headerFrameBytes) / meanFrameBytes(audioFrame);
        return std::abs(expected - static_cast<double>(e.frames)) <= 2 + expected / 1000;
    }
    case EncoderHeader::Kind::Vbri:
        // Its table must add up to the same frames and bytes.
        return std::llabs(e.vbriTocFrames - e.frames) <= e.vbriFramesPerEntry + e.frames / 100 &&
               std::llabs(e.vbriTocBytes - audio) <=
                   std::max<std::int64_t>(2 * p.headerFrameBytes, audio / 100);
    default:
        break;
    }
    // Variable bitrate: only a LAME tag's CRC (checked above) or a count vouches for it; frames
    // seen at the ends say too little about the middle of a song.
    return e.tocOrdered;
}

std::int64_t estimateSamples(const AudioProbe& p) {
    if (!p.found)
        return 0;
    const std::int64_t frames = p.head.frames + p.tail.frames;
    const double mean =
        frames > 0 ? static_cast<double>(p.head.bytes + p.tail.bytes) / static_cast<double>(frames)
                   : p.first.bytes;
    const double audio = static_cast<double>(p.dataBytes - p.headerFrameBytes);
    const auto samples = static_cast<std::int64_t>(audio / mean * p.first.samples);
    return std::clamp<std::int64_t>(samples, 1, maxSamples(p));
}

std::int64_t maxSamples(const AudioProbe& p) {
    if (!p.found)
        return 0;
    const double smallest = frameBytesRange(p.first).first;
    const auto frames = static_cast<std::int64_t>(static_cast<double>(p.dataBytes) / smallest) + 1;
    return frames * p.first.samples;
}

} // namespace zr::media
