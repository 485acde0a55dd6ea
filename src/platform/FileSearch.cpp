#include "DriveTable.h"
#include "LongPath.h"
#include "mWinAPI.h"

#include <QList>
#include <QString>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace mWinAPI {

namespace {

struct Search {
    std::vector<WIN32_FIND_DATA> entries;
    std::size_t next = 0;
};

std::mutex searchesMutex;
std::map<HANDLE, Search> searches;
HANDLE lastHandle = 0;

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

} // namespace

HANDLE FindFirstFileA(const char* fileName, WIN32_FIND_DATA* findData) {
    if (findData != nullptr) {
        *findData = WIN32_FIND_DATA{};
    }
    if (fileName == nullptr || findData == nullptr) {
        return INVALID_HANDLE_VALUE;
    }
    const std::string path(fileName);
    const std::size_t cut = path.find_last_of("\\/");
    std::string folderPart;
    std::string pattern;
    if (cut != std::string::npos) {
        folderPart = path.substr(0, cut + 1);
        pattern = path.substr(cut + 1);
    } else if (path.size() >= 2 && path[1] == ':') {
        folderPart = path.substr(0, 2); // "D:*.mp3"
        pattern = path.substr(2);
    } else {
        pattern = path;
    }
    if (pattern.empty()) {
        return INVALID_HANDLE_VALUE;
    }
    const auto local = ToLocalPath(folderPart);
    if (!local) {
        return INVALID_HANDLE_VALUE;
    }
    const std::string folder = local->empty() ? std::string(".") : *local;

    UniqueFd folderFd = OpenAtAnyLength(folder, O_RDONLY | O_DIRECTORY);
    if (!folderFd.valid()) {
        return INVALID_HANDLE_VALUE;
    }
    const std::unique_ptr<DIR, DirCloser> dir(fdopendir(folderFd.get()));
    if (!dir) {
        return INVALID_HANDLE_VALUE;
    }
    const int dirFd = folderFd.release(); // closed with dir

    NameMatcher matcher(pattern);
    Search search;
    for (const char* dot : {".", ".."}) {
        if (matcher.Matches(dot)) {
            search.entries.push_back(Describe(dirFd, dot));
        }
    }
    struct Name {
        std::string key; // folded once, for the case-insensitive order
        std::string bytes;
    };
    std::vector<Name> names;
    while (const dirent* entry = readdir(dir.get())) {
        std::string name = entry->d_name;
        if (name == "." || name == ".." || name.size() >= MAX_PATH ||
            name.find('\\') != std::string::npos) {
            continue;
        }
        if (matcher.Matches(name)) {
            names.push_back({SortKey(name), std::move(name)});
        }
    }
    std::sort(names.begin(), names.end(), [](const Name& a, const Name& b) {
        const int order = a.key.compare(b.key);
        return order != 0 ? order < 0 : a.bytes < b.bytes;
    });
    search.entries.reserve(search.entries.size() + names.size());
    for (const Name& name : names) {
        search.entries.push_back(Describe(dirFd, name.bytes));
    }
    if (search.entries.empty()) {
        return INVALID_HANDLE_VALUE;
    }

    *findData = search.entries.front();
    search.next = 1;
    const std::lock_guard lock(searchesMutex);
    const HANDLE handle = ++lastHandle;
    searches.emplace(handle, std::move(search));
    return handle;
}

bool FindNextFileA(HANDLE findFile, WIN32_FIND_DATA* findData) {
    if (findData == nullptr) {
        return false;
    }
    *findData = WIN32_FIND_DATA{};
    const std::lock_guard lock(searchesMutex);
    const auto it = searches.find(findFile);
    if (it == searches.end() || it->second.next >= it->second.entries.size()) {
        return false;
    }
    *findData = it->second.entries[it->second.next++];
    return true;
}

bool FindClose(HANDLE findFile) {
    const std::lock_guard lock(searchesMutex);
    return searches.erase(findFile) > 0;
}

} // namespace mWinAPI
