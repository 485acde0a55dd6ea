#include "DriveTable.h"
#include "FolderRead.h"
#include "mWinAPI.h"

#include <map>
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

    FolderRead::Result read = FolderRead::Start(*local, pattern).Wait();
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
