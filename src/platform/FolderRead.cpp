#include "FolderRead.h"

#include "Drives.h"
#include "LongPath.h"

#include <QList>
#include <QString>

#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fstream>
#include <iterator>
#include <mutex>
#include <set>
#include <system_error>
#include <thread>
#include <utility>

namespace mWinAPI {

namespace {

using Clock = std::chrono::steady_clock;

// --- Names: matching and order -------------------------------------------------------------

// Wildcard match: "*" any run, "?" one character. Linear-time greedy matching with one
// backtrack point, so hostile patterns cannot blow up.
template <typename Text> [[nodiscard]] bool WildcardMatch(const Text& name, const Text& pattern) {
    using Char = typename Text::value_type;
    std::size_t n = 0;
    std::size_t p = 0;
    std::size_t starP = Text::npos;
    std::size_t starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == Char('?') || pattern[p] == name[n])) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == Char('*')) {
            starP = p++;
            starN = n;
        } else if (starP != Text::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == Char('*')) {
        ++p;
    }
    return p == pattern.size();
}

[[nodiscard]] bool IsAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Lower-case ASCII: the whole of Unicode case folding for a text of ASCII characters only.
void AsciiFolded(const std::string& text, std::string& out) {
    out.resize(text.size());
    std::transform(text.begin(), text.end(), out.begin(), [](char c) {
        return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    });
}

[[nodiscard]] std::u32string Folded(const QString& text) {
    const QList<uint> ucs4 = text.toCaseFolded().toUcs4();
    return std::u32string(ucs4.begin(), ucs4.end());
}

// Decides which names a pattern matches. Most names and patterns are ASCII, and are compared
// byte by byte after lower-casing; only other names pay for Unicode case folding.
class NameMatcher {
public:
    explicit NameMatcher(const std::string& pattern)
        : matchAll_(pattern == "*" || pattern == "*.*"), asciiPattern_(IsAscii(pattern)) {
        if (asciiPattern_) {
            AsciiFolded(pattern, asciiFolded_);
        }
        folded_ = Folded(QString::fromUtf8(pattern));
    }

    [[nodiscard]] bool Matches(const std::string& name) {
        if (matchAll_) {
            return true;
        }
        if (asciiPattern_ && IsAscii(name)) {
            AsciiFolded(name, scratch_);
            return WildcardMatch(scratch_, asciiFolded_);
        }
        return WildcardMatch(Folded(QString::fromUtf8(name)), folded_);
    }

private:
    bool matchAll_;
    bool asciiPattern_;
    std::string asciiFolded_;
    std::u32string folded_;
    std::string scratch_;
};

// The key names are ordered by, computed once per name: the case-folded UTF-8 bytes, whose
// byte order is the order of the folded characters.
[[nodiscard]] std::string SortKey(const std::string& name) {
    std::string key;
    if (IsAscii(name)) {
        AsciiFolded(name, key);
        return key;
    }
    const QByteArray folded = QString::fromUtf8(name).toCaseFolded().toUtf8();
    return std::string(folded.constData(), static_cast<std::size_t>(folded.size()));
}

// Fills one record from the entry `name` of the open folder `dirFd`. Read-only belongs to the
// file, not to who asks: an entry nobody may write to (no write bit in its mode).
[[nodiscard]] WIN32_FIND_DATA Describe(int dirFd, const std::string& name) {
    WIN32_FIND_DATA data;
    std::memcpy(data.cFileName, name.c_str(), name.size() + 1);

    std::uint32_t attributes = 0;
    std::uint64_t size = 0;
    struct stat info {};
    if (fstatat(dirFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
        if (S_ISLNK(info.st_mode)) {
            attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
            struct stat target {};
            if (fstatat(dirFd, name.c_str(), &target, 0) == 0) {
                info = target;
            } else {
                info = {}; // a dangling link: no kind, no size, no mode
            }
        }
        if (S_ISDIR(info.st_mode)) {
            attributes |= FILE_ATTRIBUTE_DIRECTORY;
        } else if (info.st_mode != 0) {
            size = static_cast<std::uint64_t>(info.st_size);
        }
        if (info.st_mode != 0 && (info.st_mode & 0222) == 0) {
            attributes |= FILE_ATTRIBUTE_READONLY;
        }
    }
    if (name.front() == '.') {
        attributes |= FILE_ATTRIBUTE_HIDDEN;
    }
    if (attributes == 0) {
        attributes = FILE_ATTRIBUTE_NORMAL;
    }
    data.dwFileAttributes = attributes;
    data.nFileSizeHigh = static_cast<std::uint32_t>(size >> 32);
    data.nFileSizeLow = static_cast<std::uint32_t>(size & 0xFFFFFFFFu);
    return data;
}

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

// --- Places ---------------------------------------------------------------------------------

// An absolute path without "//", "." parts or a trailing "/"; relative paths are taken from
// the current folder. Purely textual: nothing is asked of the file system.
[[nodiscard]] std::string AbsolutePlace(const std::string& path) {
    std::string full = path;
    if (full.empty() || full.front() != '/') {
        char cwd[4096];
        const std::string base = getcwd(cwd, sizeof cwd) != nullptr ? cwd : "/";
        full = base + "/" + full;
    }
    std::string out;
    std::size_t i = 0;
    while (i < full.size()) {
        const std::size_t end = std::min(full.find('/', i), full.size());
        const std::string_view part(full.data() + i, end - i);
        if (!part.empty() && part != ".") {
            out += '/';
            out += part;
        }
        i = end + 1;
    }
    return out.empty() ? std::string("/") : out;
}

[[nodiscard]] bool IsAtOrUnder(const std::string& path, const std::string& place) {
    return place == "/" || path == place ||
           (path.size() > place.size() && path.compare(0, place.size(), place) == 0 &&
            path[place.size()] == '/');
}

[[nodiscard]] std::string Join(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

// The place to mark when `path` does not answer: the innermost mount that holds it. A path
// held by nothing but the root file system came there through a link, or the root itself is
// stuck; only the path itself is marked then, so one bad link cannot take every drive along.
[[nodiscard]] std::string PlaceOf(const std::string& path) {
    std::string best = "/";
    for (const MountLine& mount : MountTable()) {
        if (mount.mountPoint.size() > best.size() && IsAtOrUnder(path, mount.mountPoint)) {
            best = mount.mountPoint;
        }
    }
    return best == "/" ? path : best;
}

// The places that did not answer, each held as long as a worker left behind there is stuck.
// Never destroyed: workers left behind may come back while the program exits.
class StalledPlaces {
public:
    static StalledPlaces& Get() {
        static auto* places = new StalledPlaces;
        return *places;
    }

    StalledPlaces() {
        // Not locked by a thread a child process would not have.
        pthread_atfork([] { Get().mutex_.lock(); }, [] { Get().mutex_.unlock(); },
                       [] { Get().mutex_.unlock(); });
    }

    void Mark(const std::string& place) {
        const std::lock_guard lock(mutex_);
        places_.insert(place);
        any_ = true;
    }

    void Release(const std::string& place) {
        const std::lock_guard lock(mutex_);
        if (const auto it = places_.find(place); it != places_.end()) {
            places_.erase(it);
        }
        any_ = !places_.empty();
    }

    // Whether any place is marked: most of the time none is, and asking costs nothing then.
    [[nodiscard]] bool Any() const { return any_; }

    [[nodiscard]] bool Covers(const std::string& path) {
        if (!any_) {
            return false;
        }
        const std::lock_guard lock(mutex_);
        return std::any_of(places_.begin(), places_.end(),
                           [&](const std::string& place) { return IsAtOrUnder(path, place); });
    }

private:
    std::mutex mutex_;
    std::multiset<std::string> places_;
    std::atomic<bool> any_{false};
};

// --- Workers --------------------------------------------------------------------------------

// Detached threads that run readings. A few idle ones are kept, because handing a reading to a
// waiting thread costs a fraction of starting one and the browser reads many small folders in
// a row. Never destroyed, and nobody ever waits for a worker, so none can hold up the exit.
class Workers {
public:
    static Workers& Get() {
        static auto* workers = new Workers;
        return *workers;
    }

    Workers() {
        // A child process has none of the threads, and starting threads in the child of a
        // process with threads is asking for trouble: it reads on its own thread, unguarded.
        pthread_atfork([] { Get().mutex_.lock(); }, [] { Get().mutex_.unlock(); },
                       [] {
                           Workers& w = Get();
                           w.jobs_.clear();
                           w.idle_ = 0;
                           w.finishing_ = 0;
                           w.forked_ = true;
                           w.mutex_.unlock();
                       });
    }

    void Run(std::function<void()> job) {
        bool here = false;
        {
            const std::lock_guard lock(mutex_);
            if (idle_ + finishing_ > jobs_.size()) {
                jobs_.push_back(std::move(job));
                wake_.notify_one();
                return;
            }
            here = forked_;
        }
        if (!here) {
            try {
                std::thread([this, first = job]() mutable { Serve(std::move(first)); }).detach();
                return;
            } catch (const std::system_error&) {
                // No thread to be had: read here, as an unguarded call would.
            }
        }
        if (RunJob(job)) {
            const std::lock_guard lock(mutex_);
            --finishing_;
        }
    }

    // Called by a job just before it hands over its result: the caller may post its next job
    // at once, and this worker, about to be free, takes it instead of a new thread.
    void Finishing() {
        if (!finishing) {
            finishing = true;
            const std::lock_guard lock(mutex_);
            ++finishing_;
        }
    }

private:
    static constexpr std::size_t kIdleKept = 4;
    static thread_local bool finishing;

    // Runs a job; true when it said it was finishing (and so counts in finishing_).
    static bool RunJob(std::function<void()>& job) {
        finishing = false;
        job();
        job = nullptr;
        return finishing;
    }

    void Serve(std::function<void()> job) {
        for (;;) {
            const bool announced = RunJob(job);
            std::unique_lock lock(mutex_);
            if (announced) {
                --finishing_;
            }
            if (jobs_.empty()) {
                if (idle_ >= kIdleKept) {
                    return;
                }
                ++idle_;
                wake_.wait(lock, [this] { return !jobs_.empty(); });
                --idle_;
            }
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> jobs_;
    std::size_t idle_ = 0;
    std::size_t finishing_ = 0;
    bool forked_ = false; // this is a child process
};

thread_local bool Workers::finishing = false;

// Whether the thread `tid` of this process is running or waiting for a processor, rather than
// asleep in a call. A busy machine may leave a worker unscheduled for a while; that is no
// reason to give up on a file system.
[[nodiscard]] bool Runnable(pid_t tid) {
    char path[64];
    std::snprintf(path, sizeof path, "/proc/self/task/%d/stat", static_cast<int>(tid));
    std::ifstream stat(path);
    const std::string line((std::istreambuf_iterator<char>(stat)),
                           std::istreambuf_iterator<char>());
    // "tid (name) S ...": the name may hold anything, so the state follows the last ')'.
    const std::size_t close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() && line[close + 2] == 'R';
}

} // namespace

struct FolderRead::State {
    enum class Phase { Opening, Describing, Done };

    // Set before the first worker starts, read-only afterwards.
    std::string folder; // as given, for opening
    std::string place;  // absolute, for marking and for the entries' places
    std::string pattern;
    std::function<bool()> look;

    std::mutex mutex;
    std::condition_variable ended;
    // Under mutex.
    Phase phase = Phase::Opening;
    Outcome outcome = Outcome::Unreadable;
    int generation = 0;        // the worker that carries the reading; older ones were left behind
    pid_t worker = 0;          // its thread, 0 until it runs
    zr::fs::UniqueFd folderFd; // kept while any worker may still describe entries with it
    std::vector<std::string> names; // to describe, in order
    std::size_t next = 0;
    std::vector<WIN32_FIND_DATA> entries;
    std::vector<std::pair<int, std::string>> marks; // places marked on behalf of a generation

    bool waited = false; // the result was settled by the waiting thread

    std::atomic<Clock::rep> lastAnswer{0};
    std::weak_ptr<Batch> batch; // the readings this one is carried out in turn with, if any
    std::size_t index = 0;      // its place among them

    void Answered() { lastAnswer.store(Clock::now().time_since_epoch().count()); }

    // Before handing over the result of a reading that ends the worker's job.
    void Finishing() const {
        if (batch.expired()) {
            Workers::Get().Finishing();
        }
    }

    // Under mutex: whether `generation` still carries the reading. A worker left behind that
    // comes back lifts the marks made when it stalled and stops.
    bool Current(int gen) {
        if (gen == generation) {
            return true;
        }
        for (auto it = marks.begin(); it != marks.end();) {
            if (it->first == gen) {
                StalledPlaces::Get().Release(it->second);
                it = marks.erase(it);
            } else {
                ++it;
            }
        }
        return false;
    }

    void Finish(int gen, Outcome result) {
        Finishing();
        const std::lock_guard lock(mutex);
        if (Current(gen)) {
            phase = Phase::Done;
            outcome = result;
            ended.notify_all();
        }
    }

    // On a worker thread.
    static void Work(const std::shared_ptr<State>& self, int gen) {
        self->Answered();
        if (gen == 0 && StalledPlaces::Get().Covers(self->place)) {
            self->Finish(gen, Outcome::NoAnswer);
            return;
        }
        bool opening = false;
        {
            const std::lock_guard lock(self->mutex);
            if (!self->Current(gen)) {
                return;
            }
            self->worker = gettid();
            opening = self->phase == Phase::Opening;
        }
        if (opening && !self->Open(gen)) {
            return;
        }
        self->DescribeEntries(gen);
    }

    // Looks, opens the folder and reads its names; false when the reading ended here.
    bool Open(int gen) {
        if (look && !look()) {
            Finish(gen, Outcome::Unreadable);
            return false;
        }
        Answered();
        if (pattern.empty()) {
            Finish(gen, Outcome::Listed);
            return false;
        }
        zr::fs::UniqueFd fd =
            OpenAtAnyLength(folder.empty() ? "." : folder, O_RDONLY | O_DIRECTORY);
        Answered();
        const int listFd = fd.valid() ? fcntl(fd.get(), F_DUPFD_CLOEXEC, 0) : -1;
        const std::unique_ptr<DIR, DirCloser> dir(listFd >= 0 ? fdopendir(listFd) : nullptr);
        if (!dir) {
            if (listFd >= 0) {
                close(listFd);
            }
            Finish(gen, Outcome::Unreadable);
            return false;
        }

        NameMatcher matcher(pattern);
        std::vector<std::string> found;
        for (const char* dot : {".", ".."}) {
            if (matcher.Matches(dot)) {
                found.emplace_back(dot);
            }
        }
        struct Name {
            std::string key; // folded once, for the case-insensitive order
            std::string bytes;
        };
        std::vector<Name> sorted;
        while (const dirent* entry = readdir(dir.get())) {
            Answered();
            std::string name = entry->d_name;
            if (name == "." || name == ".." || name.size() >= MAX_PATH ||
                name.find('\\') != std::string::npos) {
                continue;
            }
            if (matcher.Matches(name)) {
                sorted.push_back({SortKey(name), std::move(name)});
            }
        }
        std::sort(sorted.begin(), sorted.end(), [](const Name& a, const Name& b) {
            const int order = a.key.compare(b.key);
            return order != 0 ? order < 0 : a.bytes < b.bytes;
        });
        found.reserve(found.size() + sorted.size());
        for (Name& name : sorted) {
            found.push_back(std::move(name.bytes));
        }

        const std::lock_guard lock(mutex);
        if (!Current(gen)) {
            return false;
        }
        folderFd = std::move(fd);
        names = std::move(found);
        entries.reserve(names.size());
        phase = Phase::Describing;
        return true;
    }

    void DescribeEntries(int gen) {
        int dirFd = -1;
        for (;;) {
            std::string name;
            {
                const std::lock_guard lock(mutex);
                if (!Current(gen)) {
                    return;
                }
                if (next >= names.size()) {
                    Finishing();
                    phase = Phase::Done;
                    outcome = Outcome::Listed;
                    ended.notify_all();
                    return;
                }
                name = names[next];
                dirFd = folderFd.get();
            }
            // An entry on a place that did not answer is left out without asking again.
            const bool stalled =
                StalledPlaces::Get().Any() && StalledPlaces::Get().Covers(Join(place, name));
            WIN32_FIND_DATA data;
            if (!stalled) {
                data = Describe(dirFd, name);
                Answered();
            }
            const std::lock_guard lock(mutex);
            if (!Current(gen)) {
                return;
            }
            if (!stalled) {
                entries.push_back(data);
            }
            ++next;
        }
    }

    // On the waiting thread, under mutex, once the worker has been asleep in a call for the
    // stall limit. Returns true when the reading is over.
    bool GiveUp() {
        const bool inFolder = phase == Phase::Opening || next >= names.size();
        const std::string stuck = PlaceOf(inFolder ? place : Join(place, names[next]));
        StalledPlaces::Get().Mark(stuck);
        marks.emplace_back(generation, stuck);
        ++generation;
        worker = 0;
        if (inFolder || IsAtOrUnder(place, stuck)) {
            phase = Phase::Done;
            outcome = Outcome::NoAnswer;
            entries.clear();
            return true;
        }
        // One entry of a folder that answers: go on without it, on another worker.
        ++next;
        Answered();
        return false;
    }
};

// Readings one worker carries out in turn. A worker that takes over from one left behind goes
// on with the readings not yet taken.
struct FolderRead::Batch {
    std::vector<std::shared_ptr<State>> states;
    std::atomic<std::size_t> next{0}; // the next reading a worker takes
    std::size_t settled = 0;          // the waiting thread's: readings before it are settled

    static void Run(const std::shared_ptr<Batch>& self) {
        for (std::size_t i = self->next++; i < self->states.size(); i = self->next++) {
            State::Work(self->states[i], 0);
        }
    }
};

FolderRead::FolderRead(std::shared_ptr<State> state) : state_(std::move(state)) {}

FolderRead::~FolderRead() = default;

namespace {

std::shared_ptr<FolderRead::State> NewState(const std::string& folder, const std::string& pattern,
                                            std::function<bool()> look) {
    auto state = std::make_shared<FolderRead::State>();
    state->folder = folder;
    state->place = AbsolutePlace(folder);
    state->pattern = pattern;
    state->look = std::move(look);
    state->Answered();
    return state;
}

} // namespace

FolderRead FolderRead::Start(const std::string& folder, const std::string& pattern,
                             std::function<bool()> look) {
    auto state = NewState(folder, pattern, std::move(look));
    Workers::Get().Run([state] { State::Work(state, 0); });
    return FolderRead(std::move(state));
}

std::vector<FolderRead>
FolderRead::StartInTurn(const std::vector<std::pair<std::string, std::string>>& reads) {
    auto batch = std::make_shared<Batch>();
    std::vector<FolderRead> handles;
    for (const auto& [folder, pattern] : reads) {
        auto state = NewState(folder, pattern, {});
        state->batch = batch;
        state->index = batch->states.size();
        batch->states.push_back(state);
        handles.push_back(FolderRead(std::move(state)));
    }
    if (!handles.empty()) {
        Workers::Get().Run([batch] { Batch::Run(batch); });
    }
    return handles;
}

FolderRead::Result FolderRead::Wait() {
    // A reading carried out in turn waits for those before it: one of them may hold up the
    // worker, and nobody else may be watching it.
    if (const std::shared_ptr<Batch> batch = state_->batch.lock()) {
        for (; batch->settled < state_->index; ++batch->settled) {
            Settle(batch->states[batch->settled]);
        }
    }
    Settle(state_);
    const std::lock_guard lock(state_->mutex);
    return Result{state_->outcome, std::move(state_->entries)};
}

void FolderRead::Settle(const std::shared_ptr<State>& state) {
    State& s = *state;
    std::unique_lock lock(s.mutex);
    while (!s.waited) {
        if (s.phase == State::Phase::Done) {
            s.waited = true;
            break;
        }
        const Clock::time_point due =
            Clock::time_point(Clock::duration(s.lastAnswer.load())) + kStallLimit;
        if (Clock::now() < due) {
            s.ended.wait_until(lock, due);
            continue;
        }
        if (s.worker == 0 || Runnable(s.worker)) {
            // Not started yet, or busy: a slow machine, not a hung file system.
            s.ended.wait_for(lock, kStallLimit / 10);
            continue;
        }
        const bool over = s.GiveUp();
        std::shared_ptr<Batch> batch = s.batch.lock();
        if (over && !batch) {
            continue;
        }
        // Another worker goes on with this reading (unless it is over) and with those after it.
        Workers::Get().Run([state, gen = s.generation, over, batch = std::move(batch)] {
            if (!over) {
                State::Work(state, gen);
            }
            if (batch) {
                Batch::Run(batch);
            }
        });
    }
}

} // namespace mWinAPI
