#include "AnyLengthOpen.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

namespace zr::fs {

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) {
            close(fd_);
        }
        fd_ = other.release();
    }
    return *this;
}

UniqueFd::~UniqueFd() {
    if (fd_ >= 0) {
        close(fd_);
    }
}

UniqueFd OpenAtAnyLength(const std::string& path, int flags) {
    flags |= O_CLOEXEC;
    if (path.size() < PATH_MAX) {
        return UniqueFd(open(path.c_str(), flags));
    }
    // Leading pieces, each shorter than PATH_MAX and ending at a separator, are opened as
    // folders relative to the one before; the last piece gets the caller's flags.
    UniqueFd folder;
    std::size_t start = 0;
    if (path.front() == '/') {
        folder = UniqueFd(open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (!folder.valid()) {
            return {};
        }
        start = 1;
    }
    while (path.size() - start >= PATH_MAX) {
        const std::size_t cut = path.rfind('/', start + PATH_MAX - 2);
        if (cut == std::string::npos || cut < start) {
            errno = ENAMETOOLONG; // one name longer than any file system allows
            return {};
        }
        const std::string piece = path.substr(start, cut - start + 1);
        UniqueFd next(openat(folder.valid() ? folder.get() : AT_FDCWD, piece.c_str(),
                             O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (!next.valid()) {
            return {};
        }
        folder = std::move(next);
        start = cut + 1;
    }
    const std::string rest = start < path.size() ? path.substr(start) : std::string(".");
    return UniqueFd(openat(folder.valid() ? folder.get() : AT_FDCWD, rest.c_str(), flags));
}

} // namespace zr::fs
