#pragma once
// The operating-system calls the player makes, with their usual roles and argument meanings,
// implemented for Linux. Text crosses this layer as UTF-8.
//
// Paths keep their drive-letter form ("D:\Music\Rock\track.mp3"); the drive table
// (DriveTable.h) maps the letter to a mount folder and backslashes become slashes. A path
// without a drive letter is relative to the process's current folder.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace mWinAPI {

// Sends one command of the media command language ("open ... alias mp3", "play mp3",
// "status mp3 position", ...). Writes a reply of at most returnLength bytes (NUL included) into
// returnString when the command has one. Returns 0 on success, a nonzero error code otherwise.
// hwndCallback is accepted for the usual signature and ignored. Thread-safe. Implemented by the
// media control service (src/media), which knows nothing of this layer.
int mciSendStringA(const char* command, char* returnString, unsigned returnLength,
                   void* hwndCallback);

// --- Short path -----------------------------------------------------------------------------

// Linux has no short names. The "short path" is one word that names the same existing file:
// a file:// URI of its absolute, symlink-free path, percent-encoded so that it holds no blanks,
// quotes or other characters a command parser could split on (only A-Z a-z 0-9 - . _ ~ and /
// stay as they are), e.g. "file:///home/ann/My%20Music/a.mp3". Every byte of the path is kept
// as it is on disk (names need not be valid UTF-8). A path too long to resolve in one call
// (PATH_MAX and more) is given as the absolute path the caller named, links not resolved.
//
// longPath: NUL-terminated UTF-8, drive-letter or relative form. On success writes the URI and
// a NUL into shortPath and returns its length without the NUL. When the buffer is too small
// (length <= URI length), returns the length needed including the NUL and writes an empty text
// (when length > 0), so a caller can retry with a bigger buffer. When the file does not exist
// (or longPath is null, or names an unknown drive), returns 0 and writes an empty text (when
// length > 0). Never writes past length bytes. Thread-safe.
[[nodiscard]] unsigned GetShortPathNameA(const char* longPath, char* shortPath, unsigned length);

// --- File search ----------------------------------------------------------------------------

using HANDLE = std::intptr_t;
inline constexpr HANDLE INVALID_HANDLE_VALUE = -1;

inline constexpr std::uint32_t FILE_ATTRIBUTE_READONLY = 0x01;       // no write bit for anyone
inline constexpr std::uint32_t FILE_ATTRIBUTE_HIDDEN = 0x02;         // name starts with "."
inline constexpr std::uint32_t FILE_ATTRIBUTE_DIRECTORY = 0x10;      // a folder (also via a link)
inline constexpr std::uint32_t FILE_ATTRIBUTE_NORMAL = 0x80;         // a file with no other bit
inline constexpr std::uint32_t FILE_ATTRIBUTE_REPARSE_POINT = 0x400; // a symbolic link

inline constexpr unsigned MAX_PATH = 260;

// One entry found by a search. A plain folder has dwFileAttributes exactly 0x10; a plain
// regular file has FILE_ATTRIBUTE_NORMAL (0x80) alone. "." and ".." are folders (0x10, with
// the hidden bit as dot names: 0x12). Sizes are those of the entry itself (a symbolic link
// reports its target's size and kind, plus 0x400); folders report size 0.
struct WIN32_FIND_DATA {
    std::uint32_t dwFileAttributes = 0;
    std::uint32_t nFileSizeHigh = 0;
    std::uint32_t nFileSizeLow = 0;
    char cFileName[MAX_PATH] = {}; // UTF-8, NUL-terminated, always at least one NUL

    [[nodiscard]] std::uint64_t FileSize() const {
        return (std::uint64_t{nFileSizeHigh} << 32) | nFileSizeLow;
    }
};

// Starts a search of one folder. fileName is a folder path plus a pattern in its last part
// ("D:\Music\*.mp3", "C:\*.*", "sub\*"): "*" matches any run of characters, "?" one
// character, case-insensitively (Unicode case folding); "*.*" and "*" match every name, with
// or without a dot. "." and ".." come first when the pattern matches them, then the other
// entries in name order. The folder's path may be of any length. Names that contain a backslash, or
// that do not fit cFileName (259 bytes or more), are left out. Fills *findData with the first entry
// and returns a search handle, or returns INVALID_HANDLE_VALUE (and zeroes *findData) when the
// folder does not exist, cannot be read, nothing matches, or an argument is null. The folder is
// read once, at this call, on a worker thread: a folder whose file system does not answer for
// about a second (a hung network share) counts as one that cannot be read, and an entry that
// does not answer (a hung share mounted in the folder) is left out (FolderRead.h). Thread-safe.
[[nodiscard]] HANDLE FindFirstFileA(const char* fileName, WIN32_FIND_DATA* findData);

// Fills *findData with the next entry and returns true; returns false (and zeroes *findData)
// when the search has no more entries or the handle is not an open search.
[[nodiscard]] bool FindNextFileA(HANDLE findFile, WIN32_FIND_DATA* findData);

// Ends a search and frees what it holds. Returns false for INVALID_HANDLE_VALUE or a handle
// that is not open (already closed, never opened); that is harmless.
bool FindClose(HANDLE findFile);

// Reads ahead the searches this thread is about to make, one after another on one worker
// thread. While it lives, FindFirstFileA called on this thread with exactly one of these texts
// takes that search's result (the folder as the worker found it) instead of reading the folder
// then, each once. For a caller that searches many folders in a row: one hand-over to a worker
// instead of one per search.
class ScopedReadAhead {
public:
    explicit ScopedReadAhead(const std::vector<std::string>& fileNames);
    ScopedReadAhead(const ScopedReadAhead&) = delete;
    ScopedReadAhead& operator=(const ScopedReadAhead&) = delete;
    ~ScopedReadAhead();

    struct Searches;

private:
    std::unique_ptr<Searches> searches_;
    Searches* previous_;
};

// Owns one search handle and closes it when it goes out of scope.
class ScopedFindHandle {
public:
    ScopedFindHandle() = default;
    explicit ScopedFindHandle(HANDLE handle) : handle_(handle) {}
    ScopedFindHandle(const ScopedFindHandle&) = delete;
    ScopedFindHandle& operator=(const ScopedFindHandle&) = delete;
    ScopedFindHandle(ScopedFindHandle&& other) noexcept : handle_(other.release()) {}
    ScopedFindHandle& operator=(ScopedFindHandle&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    ~ScopedFindHandle() { reset(); }

    [[nodiscard]] HANDLE get() const { return handle_; }
    [[nodiscard]] bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE release() {
        HANDLE h = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        return h;
    }
    void reset(HANDLE handle = INVALID_HANDLE_VALUE) {
        if (handle_ != INVALID_HANDLE_VALUE) {
            FindClose(handle_);
        }
        handle_ = handle;
    }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// --- Machine name ---------------------------------------------------------------------------

// Writes the machine's name (gethostname) and a NUL into buffer. *size: in, the buffer's size
// in bytes; out, the length written without the NUL. When gethostname fails or gives an empty
// name, the name is "localhost", so the caller never gets an empty name. When the name does
// not fit, it is cut (at a UTF-8 character boundary) to size - 1 bytes. Returns false only
// when buffer or size is null or *size is 0 (nothing written then).
bool GetComputerNameA(char* buffer, std::uint32_t* size);

} // namespace mWinAPI
