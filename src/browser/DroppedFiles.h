#pragma once
// Files and folders dropped on the playlist from a file manager become playlist rows exactly
// as the browser's "Open Files" makes them: the folder in the drive-letter form the browser's
// tree gives it, the file names as the browser's file list shows them, appended one by one.

#include "Drives.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace zr::ui {

class Form;
class ListView;

// The folder path ("D:\Music\Rock\", "C:\" for "/") under which the browser reaches a local
// folder: the ready drive whose mount folder holds it most closely. Nothing when the path is
// not absolute, no drive covers it, or one of its names holds a backslash (which the
// drive-letter form cannot express).
[[nodiscard]] std::optional<QString>
ProgramFolderPath(const QString& localFolder, const std::vector<mWinAPI::DriveInfo>& drives);

// Appends the dropped local paths to the playlist, in the order given. A path holds the file
// system's bytes as zr::FromOsText gives them, so names that are not UTF-8 are found too.
//  - a folder adds its own .mp3 files (not those of its subfolders) in the browser's order;
//  - a file is added when the browser lists it in its folder (an .mp3 file);
//  - anything else, and any path no drive covers, is skipped.
// The folders are listed with the browser's own file listing; `window` shows the hourglass
// meanwhile. The drive table must map the drives' letters (as a cDrives source does).
// Returns the number of rows appended.
int AppendDroppedPaths(ListView& playlist, Form& window, const QStringList& localPaths,
                       const std::vector<mWinAPI::DriveInfo>& drives);

} // namespace zr::ui
