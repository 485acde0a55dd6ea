#pragma once
// One MPEG audio file decoded by libmpg123 to interleaved 16-bit frames, gapless (encoder
// delay and padding removed when the file's LAME/Xing header gives them). Owns the mpg123 handle
// and the file descriptor it reads. Not thread-safe: one thread at a time; only cancel() may be
// called from another thread.
//
// The file is opened at any path length (fs/AnyLengthOpen.h). A format change inside the
// stream (another sample rate or channel count, as in files joined from different sources) is
// resampled by libmpg123 to the format of the first frame, so what follows plays at the same
// rate and speed.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

struct mpg123_handle_struct;

namespace zr::media {

// Opens a file for reading at any path length. Refuses anything but a
// regular file without blocking on it (a FIFO or a device is not opened for real). Returns the
// descriptor, or -1 with errno set.
[[nodiscard]] int openRegularFile(const std::string& path);

class Mpg123Decoder {
public:
    Mpg123Decoder();
    ~Mpg123Decoder();
    Mpg123Decoder(const Mpg123Decoder&) = delete;
    Mpg123Decoder& operator=(const Mpg123Decoder&) = delete;

    // Opens a regular file and reads its format (which may block on a stalled file: call it
    // where blocking is harmless). Returns kMciOk, kMciFileNotFound or kMciCannotDecode.
    [[nodiscard]] int open(const std::string& path);
    // The same for a descriptor of a regular file, which the decoder takes over.
    [[nodiscard]] int openFd(int fd);
    // The descriptor being read (-1 before open), e.g. to open the file a second time.
    [[nodiscard]] int fd() const { return io_->fd; }
    // Bytes of MPEG audio: the file without its tags at either end and without holes.
    [[nodiscard]] std::int64_t audioBytes() const { return audioBytes_; }

    [[nodiscard]] long rate() const { return rate_; }
    [[nodiscard]] int channels() const { return channels_; }

    // The length from the encoder's LAME/Xing/VBRI header, in frames, when that header agrees
    // with the audio (MpegProbe.h: headerAgrees); -1 otherwise.
    [[nodiscard]] std::int64_t headerLengthFrames() const { return headerLength_; }
    // The best quick guess: the header's length when trusted, else the audio bytes over the mean
    // frame seen. Always > 0 after a successful open, never more than the audio bytes can hold.
    [[nodiscard]] std::int64_t estimatedLengthFrames() const { return estimate_; }
    // Counts every frame of the file (slow on a large or slowly read file): the length that a
    // decoder opened on the same file and never scanned plays. -1 on failure or after cancel().
    // Turns this handle's gapless trimming off when a header over-counts, so scan a handle of
    // its own, not the one that plays.
    [[nodiscard]] std::int64_t scanLengthFrames();

    // Places the next read at the given frame (sample-accurate). False when it could not: the
    // next read is then anywhere.
    [[nodiscard]] bool seek(std::int64_t frame);

    // Decodes up to maxFrames frames into out (maxFrames x channels samples). Returns the number
    // of frames written; 0 means the end of the decodable audio (end of file, a read error).
    [[nodiscard]] std::size_t read(std::int16_t* out, std::size_t maxFrames);

    // Makes every later read of the file fail at once, so a scan or decode ends soon. Any thread.
    void cancel() { io_->cancelled.store(true, std::memory_order_relaxed); }

    // A read() or seek() that has run this long makes its next read of the file fail: a file
    // whose reads stall, or that gives bytes without audio (a huge sparse file), ends instead
    // of holding the caller for good. Zero (the default): no limit. Call between reads.
    void setStallLimit(std::chrono::milliseconds limit) { io_->stallLimit = limit; }
    // Any thread: how long the read() or seek() in progress has run; zero when none is.
    [[nodiscard]] std::chrono::steady_clock::duration busyFor() const;

    // Shared with libmpg123's reader callbacks. Reads go through a buffer of our own:
    // libmpg123 reads byte by byte while it looks for a frame in damaged or foreign data.
    struct Io {
        int fd = -1;
        std::atomic<bool> cancelled{false};
        // When the read() or seek() in progress began (steady clock ticks); 0 when none is.
        std::atomic<std::chrono::steady_clock::rep> busySince{0};
        std::chrono::steady_clock::duration stallLimit{0};
        bool failed = false; // a read or move of the file failed in the read() or seek()
        std::unique_ptr<unsigned char[]> buffer;
        std::size_t begin = 0; // unread bytes of buffer: [begin, end)
        std::size_t end = 0;
        std::int64_t filePos = 0; // the descriptor's offset: just past the buffered bytes
    };

private:
    struct HandleDeleter {
        void operator()(mpg123_handle_struct* h) const;
    };
    // Marks a read() or seek() in progress, for busyFor() and the stall limit.
    class Busy;

    std::unique_ptr<Io> io_;
    std::unique_ptr<mpg123_handle_struct, HandleDeleter> handle_;
    long rate_ = 0;
    int channels_ = 0;
    std::int64_t headerLength_ = -1;
    std::int64_t estimate_ = 0;
    std::int64_t audioBytes_ = 0;
    std::int64_t xingFrames_ = -1; // the Xing/Info frame count libmpg123 took, if any
    bool ended_ = false;
};

} // namespace zr::media
