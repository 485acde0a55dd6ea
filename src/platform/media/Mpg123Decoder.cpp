#include "Mpg123Decoder.h"

#include "MciErrors.h"

#include <mpg123.h>

#include <sys/stat.h>

namespace zr::media {

void Mpg123Decoder::HandleDeleter::operator()(mpg123_handle_struct* h) const {
    mpg123_close(h);
    mpg123_delete(h);
}

Mpg123Decoder::Mpg123Decoder() = default;
Mpg123Decoder::~Mpg123Decoder() = default;

int Mpg123Decoder::open(const std::string& path) {
    struct stat st {};
    // Only regular files: a FIFO or a device could block or never end.
    if (path.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return kMciFileNotFound;
    int err = MPG123_OK;
    mpg123_handle* h = mpg123_new(nullptr, &err);
    if (!h)
        return kMciCannotDecode;
    handle_.reset(h);
    // Setting the flags replaces libmpg123's defaults: gapless must be named again.
    mpg123_param(h, MPG123_FLAGS, MPG123_GAPLESS | MPG123_FORCE_FLOAT | MPG123_QUIET, 0.0);
    // Past a damaged stretch of a few KiB the decoder should find the next frame, not give up.
    mpg123_param(h, MPG123_RESYNC_LIMIT, 65536, 0.0);
    mpg123_format_none(h);
    const long* rates = nullptr;
    std::size_t count = 0;
    mpg123_rates(&rates, &count);
    for (std::size_t i = 0; i < count; ++i)
        mpg123_format(h, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32);
    if (mpg123_open(h, path.c_str()) != MPG123_OK)
        return kMciFileNotFound;
    int encoding = 0;
    if (mpg123_getformat(h, &rate_, &channels_, &encoding) != MPG123_OK || rate_ <= 0 ||
        channels_ < 1 || channels_ > 2)
        return kMciCannotDecode;
    // Fix the output format so that it cannot change under the reader.
    mpg123_format_none(h);
    mpg123_format(h, rate_, channels_, MPG123_ENC_FLOAT_32);
    // Only an encoder's LAME/Info tag makes mpg123_length exact at once; otherwise it is
    // estimated from the file size and the first frame. (MPG123_ACCURATE is about positions and
    // reads 1 for headerless VBR files too, so it cannot tell.)
    long encoderDelay = -1;
    if (mpg123_getstate(h, MPG123_ENC_DELAY, &encoderDelay, nullptr) == MPG123_OK &&
        encoderDelay >= 0) {
        const off_t len = mpg123_length(h);
        if (len >= 0)
            length_ = len;
    }
    return kMciOk;
}

std::int64_t Mpg123Decoder::lengthFrames() {
    if (length_ >= 0 || !handle_)
        return length_;
    // No encoder header: the length is an estimate until every frame has been counted.
    mpg123_scan(handle_.get());
    const off_t len = mpg123_length(handle_.get());
    if (len >= 0)
        length_ = len;
    return length_;
}

bool Mpg123Decoder::seek(std::int64_t frame) {
    if (!handle_)
        return false;
    ended_ = false;
    return mpg123_seek(handle_.get(), static_cast<off_t>(frame), SEEK_SET) >= 0;
}

std::size_t Mpg123Decoder::read(float* out, std::size_t maxFrames) {
    if (!handle_ || ended_)
        return 0;
    const std::size_t frameBytes = sizeof(float) * static_cast<std::size_t>(channels_);
    auto* bytes = reinterpret_cast<unsigned char*>(out);
    std::size_t total = 0;
    // A bounded number of attempts: a damaged stream may yield nothing for a while.
    for (int attempt = 0; attempt < 64 && total < maxFrames; ++attempt) {
        std::size_t done = 0;
        const int rc = mpg123_read(handle_.get(), bytes + total * frameBytes,
                                   (maxFrames - total) * frameBytes, &done);
        total += done / frameBytes;
        if (rc == MPG123_OK)
            continue;
        if (rc == MPG123_NEW_FORMAT) {
            long r = 0;
            int c = 0;
            int e = 0;
            if (mpg123_getformat(handle_.get(), &r, &c, &e) == MPG123_OK && r == rate_ &&
                c == channels_)
                continue;
        }
        // MPG123_DONE, a hard error, or a format we cannot switch to: the decodable audio ends.
        ended_ = true;
        break;
    }
    return total;
}

} // namespace zr::media
