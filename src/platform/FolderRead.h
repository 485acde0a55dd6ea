#pragma once
// Reading a folder on a file system that may stop answering: a network share whose server went
// away, a stuck FUSE file system. A call into such a file system blocks in the kernel for as
// long as it hangs, so the reading runs on a worker thread while the caller waits, and the
// caller gives up once the reading has been blocked for kStallLimit without an answer. A worker
// the kernel never lets go is left behind: it holds only its own reading (never a lock or a
// table of the program), and as a plain detached thread it never holds up the program's exit.
//
// Giving up marks the place that did not answer: the mount the folder is on, or, when only one
// entry of the folder does not answer (a hung share mounted inside a healthy folder), that
// entry's mount; the entry is then left out and the reading goes on without it. Readings at or
// under a marked place give up at once, and entries there are left out without being asked,
// until the worker left behind there comes back. So a hung share costs the caller one wait,
// not one per folder.

#include "mWinAPI.h"

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace mWinAPI {

// How long a reading may stay blocked in the file system before the caller gives up on it.
// Progress resets it: a big folder on a slow disk is read to its end.
inline constexpr std::chrono::milliseconds kStallLimit{1000};

class FolderRead {
public:
    enum class Outcome {
        Listed,     // read to its end (entries that did not answer are left out)
        Unreadable, // the folder does not exist or cannot be opened, or `look` said no
        NoAnswer,   // the folder (or `look`) did not answer within the stall limit
    };
    struct Result {
        Outcome outcome = Outcome::Unreadable;
        std::vector<WIN32_FIND_DATA> entries;
    };

    // Starts reading `folder`, a Linux path (absolute, or relative to the current folder, ""
    // being the current folder) on a worker thread. First `look` runs there, when given (a
    // look at the folder's file system that may block as well); when it returns false the
    // reading ends as Unreadable. Then, when `pattern` is not empty, the entries whose names
    // match it are read and described as FindFirstFileA describes them: "." and ".." first,
    // then the others by case-folded name. Never blocks; thread-safe.
    [[nodiscard]] static FolderRead Start(const std::string& folder, const std::string& pattern,
                                          std::function<bool()> look = {});

    // Starts readings that one worker carries out in turn, in the order given (folder and
    // pattern each, as Start): for a caller that reads many small folders in a row, one
    // hand-over to a worker instead of one per folder. Waiting for one waits for those before it.
    [[nodiscard]] static std::vector<FolderRead>
    StartInTurn(const std::vector<std::pair<std::string, std::string>>& reads);

    // Waits until the reading ends or gives up on it (see above). Call once, from the thread
    // that started it.
    [[nodiscard]] Result Wait();

    FolderRead(FolderRead&&) noexcept = default;
    FolderRead& operator=(FolderRead&&) noexcept = default;
    ~FolderRead();

    struct State; // shared with the workers
    struct Batch;

private:
    explicit FolderRead(std::shared_ptr<State> state);
    static void Settle(const std::shared_ptr<State>& state);
    std::shared_ptr<State> state_;
};

} // namespace mWinAPI
