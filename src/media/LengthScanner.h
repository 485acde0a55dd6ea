#pragma once
// Counts a track's frames on a thread of its own with its own decoder handle, so that neither a
// command nor playback waits for a long or slowly read file. The thread owns its state through
// shared ownership and nobody ever waits for it: the destructor only tells it to stop reading
// (its next read fails), and a thread stuck in the kernel is simply left behind.

#include <atomic>
#include <cstdint>
#include <memory>

namespace zr::media {

class LengthScanner {
public:
    // Takes over fd, a descriptor of the file of its own (not sharing a file offset).
    explicit LengthScanner(int fd);
    ~LengthScanner();
    LengthScanner(const LengthScanner&) = delete;
    LengthScanner& operator=(const LengthScanner&) = delete;

    // True once the scan has ended; frames() is then the exact length, or -1 when it failed.
    [[nodiscard]] bool done() const;
    [[nodiscard]] std::int64_t frames() const;

private:
    struct State;
    std::shared_ptr<State> state_;
};

} // namespace zr::media
