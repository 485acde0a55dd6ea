#include "DriveTable.h"
#include "FolderRead.h"
#include "mWinAPI.h"

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
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

// The Linux folder and the pattern of a search text ("D:\Music\*.mp3"), or nothing when it
// names no folder that could be read.
std::optional<std::pair<std::string, std::string>> FolderAndPattern(const std::string& path) {
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
        return std::nullopt;
    }
    auto local = ToLocalPath(folderPart);
    if (!local) {
        return std::nullopt;
    }
    return std::pair{std::move(*local), std::move(pattern)};
}

thread_local ScopedReadAhead::Searches* readAhead = nullptr;

} // namespace

struct ScopedReadAhead::Searches {
    std::map<std::string, FolderRead> byText;
};

ScopedReadAhead::ScopedReadAhead(const std::vector<std::string>& fileNames)
    : searches_(std::make_unique<Searches>()), previous_(readAhead) {
    std::vector<std::string> texts;
    std::vector<std::pair<std::string, std::string>> reads;
    for (const std::string& text : fileNames) {
        if (auto read = FolderAndPattern(text)) {
            texts.push_back(text);
            reads.push_back(std::move(*read));
        }
    }
    std::vector<FolderRead> started = FolderRead::StartInTurn(reads);
    for (std::size_t i = 0; i < started.size(); ++i) {
        searches_->byText.emplace(texts[i], std::move(started[i]));
    }
    readAhead = searches_.get();
}

ScopedReadAhead::~ScopedReadAhead() {
    readAhead = previous_;
}

HANDLE FindFirstFileA(const char* fileName, WIN32_FIND_DATA* findData) {
    if (findData != nullptr) {
        *findData = WIN32_FIND_DATA{};
    }
    if (fileName == nullptr || findData == nullptr) {
        return INVALID_HANDLE_VALUE;
    }
    std::optional<FolderRead> started;
    if (readAhead != nullptr) {
        if (auto it = readAhead->byText.find(fileName); it != readAhead->byText.end()) {
            started.emplace(std::move(it->second));
            readAhead->byText.erase(it);
        }
    }
    if (!started) {
        const auto read = FolderAndPattern(fileName);
        if (!read) {
            return INVALID_HANDLE_VALUE;
        }
        started.emplace(FolderRead::Start(read->first, read->second));
    }
    FolderRead::Result read = started->Wait();
    if (read.outcome != FolderRead::Outcome::Listed || read.entries.empty()) {
        return INVALID_HANDLE_VALUE;
    }
    Search search{std::move(read.entries), 1};
    *findData = search.entries.front();
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
