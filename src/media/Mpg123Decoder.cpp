#include "Mpg123Decoder.h"

#include "AnyLengthOpen.h"
#include "MciErrors.h"
#include "MpegProbe.h"

#include <mpg123.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace zr::media {
namespace {

ssize_t readRetrying(int fd, void* buf, std::size_t n, off_t at) {
    for (;;) {
        const ssize_t got = at < 0 ? ::read(fd, buf, n) : ::pread(fd, buf, n, at);
        if (got >= 0 || errno != EINTR)
            return got;
    }
}

constexpr std::size_t kIoBuffer = 32 * 1024;

// Whether the descriptor may be read or moved: not once cancelled, nor once the read() or
// seek() in progress has run past the stall limit.
bool mayUseFile(const Mpg123Decoder::Io& io) {
    if (io.cancelled.load(std::memory_order_relaxed))
        return false;
    const auto since = io.busySince.load(std::memory_order_relaxed);
    if (io.stallLimit.count() == 0 || since == 0)
        return true;
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    return std::chrono::steady_clock::duration(now - since) < io.stallLimit;
}

// libmpg123's reader callbacks over our descriptor; a cancelled decoder reads nothing more.
// A failure is noted: libmpg123 reports a seek as done even when its reads failed on the way.
mpg123_ssize_t readIo(Mpg123Decoder::Io* io, void* buf, std::size_t n) {
    if (io->cancelled.load(std::memory_order_relaxed))
        return -1;
    if (io->begin == io->end) {
        if (!mayUseFile(*io))
            return -1;
        if (n >= kIoBuffer) {
            const ssize_t got = readRetrying(io->fd, buf, n, -1);
            if (got > 0)
                io->filePos += got;
            return got;
        }
        const ssize_t got = readRetrying(io->fd, io->buffer.get(), kIoBuffer, -1);
        if (got <= 0)
            return got;
        io->filePos += got;
        io->begin = 0;
        io->end = static_cast<std::size_t>(got);
    }
    const std::size_t take = std::min(n, io->end - io->begin);
    std::memcpy(buf, io->buffer.get() + io->begin, take);
    io->begin += take;
    return static_cast<mpg123_ssize_t>(take);
}

mpg123_ssize_t ioRead(void* handle, void* buf, std::size_t n) {
    auto* io = static_cast<Mpg123Decoder::Io*>(handle);
    const mpg123_ssize_t got = readIo(io, buf, n);
    io->failed = io->failed || got < 0;
    return got;
}

off_t seekIo(Mpg123Decoder::Io* io, off_t offset, int whence) {
    if (io->cancelled.load(std::memory_order_relaxed))
        return -1;
    const std::int64_t logical = io->filePos - static_cast<std::int64_t>(io->end - io->begin);
    std::int64_t target = -1;
    if (whence == SEEK_SET)
        target = offset;
    else if (whence == SEEK_CUR)
        target = logical + offset;
    // Within what is buffered: no system call.
    const std::int64_t bufferStart = io->filePos - static_cast<std::int64_t>(io->end);
    if (target >= bufferStart && target <= io->filePos) {
        io->begin = static_cast<std::size_t>(target - bufferStart);
        return static_cast<off_t>(target);
    }
    if (!mayUseFile(*io))
        return -1;
    const off_t moved = whence == SEEK_END ? ::lseek(io->fd, offset, SEEK_END)
                                           : ::lseek(io->fd, static_cast<off_t>(target), SEEK_SET);
    if (moved >= 0) {
        io->filePos = moved;
        io->begin = io->end = 0;
    }
    return moved;
}

off_t ioSeek(void* handle, off_t offset, int whence) {
    auto* io = static_cast<Mpg123Decoder::Io*>(handle);
    const off_t moved = seekIo(io, offset, whence);
    io->failed = io->failed || moved < 0;
    return moved;
}

// What gapless decoding drops at the start of a stream with a Xing header: the encoder's delay
// (when a LAME tag gives it) and the decoder's own.
std::int64_t startTrim(mpg123_handle* h) {
    long encoderDelay = -1;
    long decoderDelay = -1;
    mpg123_getstate(h, MPG123_ENC_DELAY, &encoderDelay, nullptr);
    mpg123_getstate(h, MPG123_DEC_DELAY, &decoderDelay, nullptr);
    return std::max(0L, encoderDelay) + std::max(0L, decoderDelay);
}

} // namespace

int openRegularFile(const std::string& path) {
    if (path.empty() || path.find('\0') != std::string::npos) {
        errno = ENOENT;
        return -1;
    }
    if (path.back() == '/') { // names a folder, never a file
        errno = EISDIR;
        return -1;
    }
    // Non-blocking, so that a FIFO is not waited on; regular files ignore the flag.
    fs::UniqueFd fd = fs::OpenAtAnyLength(path, O_RDONLY | O_NONBLOCK | O_NOCTTY);
    if (!fd.valid())
        return -1;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        return -1;
    if (!S_ISREG(st.st_mode)) {
        errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        return -1;
    }
    const int flags = ::fcntl(fd.get(), F_GETFL);
    if (flags < 0 || ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) < 0)
        return -1;
    return fd.release();
}

void Mpg123Decoder::HandleDeleter::operator()(mpg123_handle_struct* h) const {
    mpg123_close(h);
    mpg123_delete(h);
}

Mpg123Decoder::Mpg123Decoder() : io_(std::make_unique<Io>()) {}

Mpg123Decoder::~Mpg123Decoder() {
    handle_.reset();
    if (io_->fd >= 0)
        ::close(io_->fd);
}

int Mpg123Decoder::open(const std::string& path) {
    const int fd = openRegularFile(path);
    if (fd < 0)
        return kMciFileNotFound;
    return openFd(fd);
}

int Mpg123Decoder::openFd(int descriptor) {
    fs::UniqueFd fd(descriptor);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        return kMciFileNotFound;
    // Where the audio lies and what its header claims, from a few reads at either end.
    const AudioProbe probe = probeAudio(fd.get(), st.st_size);
    audioBytes_ = probe.found ? probe.dataBytes : st.st_size;

    int err = MPG123_OK;
    mpg123_handle* h = mpg123_new(nullptr, &err);
    if (!h)
        return kMciCannotDecode;
    handle_.reset(h);
    // Setting the flags replaces libmpg123's defaults: gapless must be named again, and so must
    // the resampler, without which a rate change inside the file ends the decoding. A leading
    // ID3v2 tag is skipped by its size (a cover picture is never read) and its TLEN ignored.
    mpg123_param(h, MPG123_FLAGS,
                 MPG123_GAPLESS | MPG123_QUIET | MPG123_AUTO_RESAMPLE | MPG123_SKIP_ID3V2, 0.0);
    // Past a damaged stretch of a few KiB the decoder should find the next frame, not give up.
    mpg123_param(h, MPG123_RESYNC_LIMIT, 65536, 0.0);
    mpg123_format_none(h);
    const long* rates = nullptr;
    std::size_t count = 0;
    mpg123_rates(&rates, &count);
    for (std::size_t i = 0; i < count; ++i)
        mpg123_format(h, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
    io_->buffer = std::make_unique<unsigned char[]>(kIoBuffer);
    io_->begin = io_->end = 0;
    io_->filePos = ::lseek(fd.get(), 0, SEEK_SET);
    io_->fd = fd.release();
    if (mpg123_replace_reader_handle(h, &ioRead, &ioSeek, nullptr) != MPG123_OK ||
        mpg123_open_handle(h, io_.get()) != MPG123_OK)
        return kMciCannotDecode;
    int encoding = 0;
    if (mpg123_getformat(h, &rate_, &channels_, &encoding) != MPG123_OK || rate_ <= 0 ||
        channels_ < 1 || channels_ > 2)
        return kMciCannotDecode;
    // Fix the output format: later frames of another rate or channel count are converted to it.
    mpg123_format_none(h);
    mpg123_format(h, rate_, channels_ == 1 ? MPG123_MONO : MPG123_STEREO, MPG123_ENC_SIGNED_16);

    // A Xing count that libmpg123 took: a scan that counts fewer frames drops its gapless end.
    const EncoderHeader& header = probe.header;
    const bool xing =
        header.kind == EncoderHeader::Kind::Xing || header.kind == EncoderHeader::Kind::Info;
    if (xing && header.frames > 0 && mpg123_framelength(h) == header.frames)
        xingFrames_ = header.frames;
    const std::int64_t most = maxSamples(probe);
    if (headerAgrees(probe)) {
        if (xingFrames_ > 0) {
            // libmpg123 counts from the header, gapless when a LAME tag gives delay and padding.
            const off_t len = mpg123_length(h);
            headerLength_ = len > 0 ? len : -1;
        } else if (header.kind == EncoderHeader::Kind::Vbri) {
            // libmpg123 does not know this header: its frame is decoded too, as silence.
            headerLength_ = (header.frames + 1) * probe.first.samples;
        }
        if (headerLength_ > most)
            headerLength_ = -1;
    }
    if (headerLength_ >= 0) {
        estimate_ = headerLength_;
    } else {
        // From the audio bytes and the frames seen, less what libmpg123 trims at the start when
        // it took a Xing header (the count replaces it soon).
        estimate_ = estimateSamples(probe) - (xingFrames_ > 0 ? startTrim(h) : 0);
        if (estimate_ <= 0) {
            const off_t len = mpg123_length(h);
            estimate_ = len > 0 ? len : 1;
        }
        if (most > 0)
            estimate_ = std::clamp<std::int64_t>(estimate_, 1, most);
    }
    return kMciOk;
}

std::int64_t Mpg123Decoder::scanLengthFrames() {
    if (!handle_)
        return -1;
    mpg123_handle* h = handle_.get();
    const off_t claimed = mpg123_framelength(h);
    if (mpg123_scan(h) != MPG123_OK || io_->cancelled.load(std::memory_order_relaxed))
        return -1;
    off_t len = mpg123_length(h);
    // Fewer frames than a Xing header claimed: the scan turned gapless off on this handle, but a
    // handle that plays without scanning still drops the delays at the start (and cannot reach
    // the claimed end to drop the padding there).
    if (xingFrames_ > 0 && mpg123_framelength(h) < claimed) {
        len -= startTrim(h);
    }
    return len >= 0 ? len : -1;
}

class Mpg123Decoder::Busy {
public:
    explicit Busy(Io& io) : io_(io) {
        io_.failed = false;
        io_.busySince.store(std::chrono::steady_clock::now().time_since_epoch().count(),
                            std::memory_order_relaxed);
    }
    ~Busy() { io_.busySince.store(0, std::memory_order_relaxed); }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

private:
    Io& io_;
};

std::chrono::steady_clock::duration Mpg123Decoder::busyFor() const {
    const auto since = io_->busySince.load(std::memory_order_relaxed);
    if (since == 0)
        return {};
    return std::chrono::steady_clock::now().time_since_epoch() -
           std::chrono::steady_clock::duration(since);
}

bool Mpg123Decoder::seek(std::int64_t frame) {
    if (!handle_)
        return false;
    const Busy busy(*io_);
    ended_ = false;
    return mpg123_seek(handle_.get(), static_cast<off_t>(frame), SEEK_SET) >= 0 && !io_->failed;
}

std::size_t Mpg123Decoder::read(std::int16_t* out, std::size_t maxFrames) {
    if (!handle_ || ended_)
        return 0;
    const Busy busy(*io_);
    const std::size_t frameBytes = sizeof(std::int16_t) * static_cast<std::size_t>(channels_);
    auto* bytes = reinterpret_cast<unsigned char*>(out);
    std::size_t total = 0;
    // A bounded number of attempts: a damaged stream may yield nothing for a while.
    for (int attempt = 0; attempt < 64 && total < maxFrames; ++attempt) {
        std::size_t done = 0;
        const int rc = mpg123_read(handle_.get(), bytes + total * frameBytes,
                                   (maxFrames - total) * frameBytes, &done);
        total += done / frameBytes;
        // A new format is converted to ours (the output format is fixed): read on.
        if (rc == MPG123_OK || rc == MPG123_NEW_FORMAT)
            continue;
        // MPG123_DONE, or a hard error: the decodable audio ends.
        ended_ = true;
        break;
    }
    return total;
}

} // namespace zr::media
