#include "DriveTable.h"

#include <algorithm>
#include <mutex>

namespace mWinAPI {

namespace {

std::mutex tableMutex;
DriveFolders table{{'C', "/"}};

[[nodiscard]] bool IsAsciiLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

[[nodiscard]] char Upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

[[nodiscard]] bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

// Joins a mount folder and the part after the drive; `rest` has slashes only.
[[nodiscard]] std::string Join(const std::string& folder, std::string_view rest, bool rooted) {
    std::string base = folder;
    while (base.size() > 1 && base.back() == '/') {
        base.pop_back();
    }
    if (rest.empty() && !rooted) {
        return base;
    }
    if (base == "/") {
        base.clear();
    }
    return base + "/" + std::string(rest);
}

} // namespace

void SetDriveFolders(const DriveFolders& folders) {
    DriveFolders next;
    for (const auto& [letter, folder] : folders) {
        if (IsAsciiLetter(letter) && !folder.empty()) {
            next[Upper(letter)] = folder;
        }
    }
    next.try_emplace('C', "/");
    const std::lock_guard lock(tableMutex);
    table = std::move(next);
}

DriveFolders GetDriveFolders() {
    const std::lock_guard lock(tableMutex);
    return table;
}

std::optional<std::string> DriveFolder(char letter) {
    const std::lock_guard lock(tableMutex);
    const auto it = table.find(Upper(letter));
    if (it == table.end()) {
        return std::nullopt;
    }
    return it->second;
}

std::optional<std::string> ToLocalPath(std::string_view programPath) {
    std::string path(programPath);
    std::replace(path.begin(), path.end(), '\\', '/');

    if (path.size() >= 2 && IsAsciiLetter(path[0]) && path[1] == ':') {
        const auto folder = DriveFolder(path[0]);
        if (!folder) {
            return std::nullopt;
        }
        std::string_view rest(path);
        rest.remove_prefix(2);
        const bool rooted = !rest.empty() && IsSeparator(rest.front());
        while (!rest.empty() && IsSeparator(rest.front())) {
            rest.remove_prefix(1);
        }
        return Join(*folder, rest, rooted);
    }
    if (!path.empty() && path.front() == '/') {
        // Rooted without a letter: the root of the current drive, which for us is C:.
        const auto folder = DriveFolder('C');
        std::string_view rest(path);
        while (!rest.empty() && rest.front() == '/') {
            rest.remove_prefix(1);
        }
        return Join(folder.value_or("/"), rest, true);
    }
    return path;
}

} // namespace mWinAPI
