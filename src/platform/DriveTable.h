#pragma once
// The process-wide table that maps drive letters to mount folders, and the translation of the
// program's drive-letter paths into Linux paths. Whoever enumerates the mounts (the file
// browser's drive source) fills it; tests fill it with temporary folders. C: is "/" unless the
// table given says otherwise.

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace mWinAPI {

// Letter (upper case 'A'..'Z') -> absolute mount folder (UTF-8, e.g. "/mnt/data").
using DriveFolders = std::map<char, std::string>;

// Replaces the whole table. Letters are taken case-insensitively; entries whose key is not a
// letter or whose folder is empty are ignored. When the table has no C:, C: is "/".
// Thread-safe (the table is guarded; readers see either the old or the new table).
void SetDriveFolders(const DriveFolders& folders);

// The current table, C: included.
[[nodiscard]] DriveFolders GetDriveFolders();

// The mount folder of a letter (either case), or nothing when the letter has no drive.
[[nodiscard]] std::optional<std::string> DriveFolder(char letter);

// Translates a program path into a Linux path, without touching the disk:
//   "D:\Music\Rock\"  -> <D's folder>/Music/Rock/   (e.g. "/mnt/x/Music/Rock/")
//   "D:" or "D:\"     -> <D's folder> or <D's folder>/
//   "Music\a.mp3"     -> "Music/a.mp3" (relative to the current folder)
//   "\Music"          -> "/Music"      (rooted, no letter: the root of C:)
//   ""                -> ""            (the current folder)
// Backslashes and slashes both separate parts; a drive-relative "D:Music" reads as "D:\Music".
// Returns nothing when the path names a letter that has no drive.
[[nodiscard]] std::optional<std::string> ToLocalPath(std::string_view programPath);

// Installs a table for the lifetime of the guard and puts the previous table back afterwards.
// For tests and for anyone who needs a temporary table.
class ScopedDriveFolders {
public:
    explicit ScopedDriveFolders(const DriveFolders& folders) : previous_(GetDriveFolders()) {
        SetDriveFolders(folders);
    }
    ScopedDriveFolders(const ScopedDriveFolders&) = delete;
    ScopedDriveFolders& operator=(const ScopedDriveFolders&) = delete;
    ~ScopedDriveFolders() { SetDriveFolders(previous_); }

private:
    DriveFolders previous_;
};

} // namespace mWinAPI
