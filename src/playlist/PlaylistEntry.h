#pragma once
// One row of the playlist (lstFiles), field by field, and the rules that read it: how a row
// is numbered when appended, how its title reads while it plays, and where Previous and Next
// move the selection. The rows themselves belong to the list; this only reads and writes them.
// Row positions are 1-based; 0 means "no row".

#include "ListView.h"

#include <QString>
#include <QStringView>

#include <cstdint>

namespace zr {

// Sub-item indexes of the fields after the row's own text (FolderPath).
inline constexpr int kTrackNumberSubItem = 1;
inline constexpr int kFileNameSubItem = 2;
inline constexpr int kPlayMarkSubItem = 3;

inline constexpr QStringView kUnplayedMark = u"U";
inline constexpr QStringView kPlayedMark = u"P";

struct PlaylistEntry {
    QString FolderPath;  // ends in "\" unless empty
    QString TrackNumber; // "01.", "10.", "100."
    QString FileName;
    QString PlayMark; // "U" until the row first plays, then "P"

    // The file the row stands for: folder and name with nothing between them.
    [[nodiscard]] QString FullPath() const { return FolderPath + FileName; }
    // The same file as a path to open. A row without a folder names a file of the current
    // folder, also when its name reads like a drive ("C:drive.mp3" is not C: + "drive.mp3").
    [[nodiscard]] QString OpenPath() const {
        return FolderPath.isEmpty() ? QStringLiteral(".\\") + FileName : FullPath();
    }
};

[[nodiscard]] PlaylistEntry ReadEntry(const ui::ListItem& row);

// TrackNumber of the row that makes the list n rows long: "01." .. "09.", "10.", "100.".
[[nodiscard]] QString TrackNumberText(std::int32_t n);

// Caption of lblArtistA for a playing row: "(" + the track number without its "." + ") " +
// file name, e.g. "(01) song.mp3", "(100) song.mp3". A number without "." is used whole.
[[nodiscard]] QString TrackTitle(QStringView trackNumber, QStringView fileName);

// Row that Previous selects: the one above the selected row, or 0 (do nothing) at the first
// row, with fewer than two rows, or with no row selected.
[[nodiscard]] std::int32_t PreviousRow(std::int32_t selected, std::int32_t rowCount);

// Row that Next selects: the one below the selected row, or 0 (do nothing) at the last row or
// with no row selected.
[[nodiscard]] std::int32_t NextRow(std::int32_t selected, std::int32_t rowCount);

// Position of the selected row, 0 when none is selected.
[[nodiscard]] std::int32_t SelectedRow(ui::ListView& list);

} // namespace zr
