#pragma once
// One MPEG audio file decoded by libmpg123 to interleaved 32-bit float frames, gapless (encoder
// delay and padding removed when the file's LAME/Xing header gives them). Owns the mpg123 handle.
// Not thread-safe: one thread at a time.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

struct mpg123_handle_struct;

namespace zr::media {

class Mpg123Decoder {
public:
    Mpg123Decoder();
    ~Mpg123Decoder();
    Mpg123Decoder(const Mpg123Decoder&) = delete;
    Mpg123Decoder& operator=(const Mpg123Decoder&) = delete;

    // Opens a regular file and reads its format. Returns kMciOk, kMciFileNotFound or
    // kMciCannotDecode (no MPEG audio frame decodes).
    [[nodiscard]] int open(const std::string& path);

    [[nodiscard]] long rate() const { return rate_; }
    [[nodiscard]] int channels() const { return channels_; }

    // Exact length in frames: from the encoder's header when it has one, else after a scan of
    // the whole file (done once, on the first call). -1 when it cannot be told.
    [[nodiscard]] std::int64_t lengthFrames();
    // True once the length is exact without further work.
    [[nodiscard]] bool lengthKnown() const { return length_ >= 0; }

    // Places the next read at the given frame (sample-accurate).
    [[nodiscard]] bool seek(std::int64_t frame);

    // Decodes up to maxFrames frames into out (maxFrames x channels floats). Returns the number
    // of frames written; 0 means the end of the decodable audio (end of file, a read error, a
    // format change mid-stream).
    [[nodiscard]] std::size_t read(float* out, std::size_t maxFrames);

private:
    struct HandleDeleter {
        void operator()(mpg123_handle_struct* h) const;
    };
    std::unique_ptr<mpg123_handle_struct, HandleDeleter> handle_;
    long rate_ = 0;
    int channels_ = 0;
    std::int64_t length_ = -1;
    bool ended_ = false;
};

} // namespace zr::media
