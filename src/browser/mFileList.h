#pragma once
// The browser's file list: the .mp3 files of one folder with their sizes.

#include <QString>

#include <cstdint>

namespace zr::ui {

class Form;
class ListView;

namespace mFileList {

// A size in bytes as the list shows it: whole number, the user's locale's group separator
// between groups of three digits (1,000,000 in English), at least one digit. The full 64-bit
// size, so files of 2 GiB and more show their true size.
[[nodiscard]] QString FileSizeText(std::uint64_t bytes);

// Refills FileList with the .mp3 files directly in folderPath ("D:\Music\" or "" for the
// current folder), in search order, with their sizes; folders are skipped. The list is hidden
// while it fills and `window` shows the hourglass meanwhile.
void subFillFileList(ListView& FileList, Form& window, const QString& folderPath);

} // namespace mFileList
} // namespace zr::ui
