#include "DriveTable.h"
#include "mWinAPI.h"

#include <QList>
#include <QString>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
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

// Wildcard match of UCS-4 text: "*" any run, "?" one character. Linear-time greedy matching
// with one backtrack point, so hostile patterns cannot blow up.
[[nodiscard]] bool WildcardMatch(const std::u32string& name, const std::u32string& pattern) {
    std::size_t n = 0;
    std::size_t p = 0;
    std::size_t starP = std::u32string::npos;
    std::size_t starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == U'?' || pattern[p] == name[n])) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == U'*') {
            starP = p++;
            starN = n;
        } else if (starP != std::u32string::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == U'*') {
        ++p;
    }
    return p == pattern.size();
}

[[nodiscard]] std::u32string Folded(const QString& text) {
    const QList<uint> ucs4 = text.toCaseFolded().toUcs4();
    return std::u32string(ucs4.begin(), ucs4.end());
}

// Tells whether we may write an entry, from its mode bits, so that a large folder costs one
// stat per entry. Entries on another file system than the folder (mount points, link targets
// elsewhere) ask the kernel instead; ACLs are not consulted.
class WriteCheck {
public:
    explicit WriteCheck(int dirFd) : uid_(geteuid()), gid_(getegid()) {
        struct stat folder {};
        if (fstat(dirFd, &folder) == 0) {
            dev_ = folder.st_dev;
        }
        struct statvfs fs {};
        readOnlyMount_ = fstatvfs(dirFd, &fs) == 0 && (fs.f_flag & ST_RDONLY) != 0;
        const int count = getgroups(0, nullptr);
        if (count > 0) {
            groups_.resize(static_cast<std::size_t>(count));
            groups_.resize(static_cast<std::size_t>(std::max(0, getgroups(count, groups_.data()))));
        }
    }

    [[nodiscard]] bool Writable(int dirFd, const char* name, const struct stat& info) const {
        if (info.st_dev != dev_) {
            return faccessat(dirFd, name, W_OK, AT_EACCESS) == 0;
        }
        if (readOnlyMount_) {
            return false;
        }
        if (uid_ == 0) {
            return true;
        }
        if (info.st_uid == uid_) {
            return (info.st_mode & S_IWUSR) != 0;
        }
        if (info.st_gid == gid_ ||
            std::find(groups_.begin(), groups_.end(), info.st_gid) != groups_.end()) {
            return (info.st_mode & S_IWGRP) != 0;
        }
        return (info.st_mode & S_IWOTH) != 0;
    }

private:
    uid_t uid_;
    gid_t gid_;
    dev_t dev_ = 0;
    bool readOnlyMount_ = false;
    std::vector<gid_t> groups_;
};

// Fills one record from the entry `name` of the open folder `dirFd`.
[[nodiscard]] WIN32_FIND_DATA Describe(int dirFd, const std::string& name,
                                       const WriteCheck& writeCheck) {
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
                info = {}; // a dangling link: no kind, no size, nothing to write to
            }
        }
        if (S_ISDIR(info.st_mode)) {
            attributes |= FILE_ATTRIBUTE_DIRECTORY;
        } else if (info.st_mode != 0) {
            size = static_cast<std::uint64_t>(info.st_size);
        }
        if (info.st_mode != 0 && !writeCheck.Writable(dirFd, name.c_str(), info)) {
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

    const std::unique_ptr<DIR, DirCloser> dir(opendir(folder.c_str()));
    if (!dir) {
        return INVALID_HANDLE_VALUE;
    }
    const int dirFd = dirfd(dir.get());
    const WriteCheck writeCheck(dirFd);

    const bool matchAll = pattern == "*" || pattern == "*.*";
    const std::u32string foldedPattern = Folded(QString::fromUtf8(pattern));
    const auto matches = [&](const QString& name) {
        return matchAll || WildcardMatch(Folded(name), foldedPattern);
    };

    Search search;
    for (const char* dot : {".", ".."}) {
        if (matches(QString::fromLatin1(dot))) {
            search.entries.push_back(Describe(dirFd, dot, writeCheck));
        }
    }
    struct Name {
        std::string bytes;
        QString text; // decoded once, for the case-insensitive order
    };
    std::vector<Name> names;
    while (const dirent* entry = readdir(dir.get())) {
        std::string name = entry->d_name;
        if (name == "." || name == ".." || name.size() >= MAX_PATH ||
            name.find('\\') != std::string::npos) {
            continue;
        }
        QString text = QString::fromUtf8(name);
        if (matches(text)) {
            names.push_back({std::move(name), std::move(text)});
        }
    }
    std::sort(names.begin(), names.end(), [](const Name& a, const Name& b) {
        const int order = a.text.compare(b.text, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : a.bytes < b.bytes;
    });
    search.entries.reserve(search.entries.size() + names.size());
    for (const Name& name : names) {
        search.entries.push_back(Describe(dirFd, name.bytes, writeCheck));
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
