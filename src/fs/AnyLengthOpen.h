#pragma once
// Opening a file or folder whatever the length of its path. The kernel refuses a path of
// PATH_MAX bytes or more in one call (ENAMETOOLONG) although folders may nest deeper than
// that; such a path is walked in pieces, each opened relative to the folder before it.
// Both the platform layer and the media service open files this way; this library depends on
// nothing but the C library.

#include <string>

namespace zr::fs {

// Owns one file descriptor.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    ~UniqueFd();

    [[nodiscard]] int get() const { return fd_; }
    [[nodiscard]] bool valid() const { return fd_ >= 0; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_ = -1;
};

// open(2) of a Linux path (absolute, or relative to the current folder) of any length; flags
// as for open (O_CLOEXEC is always added). Returns an invalid descriptor, with errno set, when
// the path cannot be opened.
[[nodiscard]] UniqueFd OpenAtAnyLength(const std::string& path, int flags);

} // namespace zr::fs
