#pragma once
// The decisions behind the playlist, as plain functions of numbers and texts so they can be
// checked in tables: how a row is numbered, how the title of a playing row reads, which row a
// random pick lands on and where Previous, Next and the end of a track move the selection.
// Row positions are 1-based; 0 means "no row".

#include <QString>
#include <QStringView>

#include <cstdint>
#include <vector>

namespace zr {

// TrackNumber of the row that makes the list n rows long: "01." .. "09.", "10.", "100.".
[[nodiscard]] QString TrackNumberText(std::int32_t n);

// Caption of lblArtistA for a playing row: "(" + the track number without its "." + ") " +
// file name, e.g. "(01) song.mp3", "(100) song.mp3". A number without "." is used whole.
[[nodiscard]] QString TrackTitle(QStringView trackNumber, QStringView fileName);

// The random pick over the rows' played flags (played[i] is row i + 1). draw is uniform in
// [0, 1). Returns an unplayed row, each unplayed row equally likely over draws; 0 when there is
// none (empty list, or every row played). Values of draw outside [0, 1) are clamped.
[[nodiscard]] std::int32_t PickUnplayedRow(const std::vector<bool>& played, double draw);

// Row that Previous selects: the one above the selected row, or 0 (do nothing) at the first
// row, with fewer than two rows, or with no row selected.
[[nodiscard]] std::int32_t PreviousRow(std::int32_t selected, std::int32_t rowCount);

// Row that Next selects: the one below the selected row, or 0 (do nothing) at the last row or
// with no row selected.
[[nodiscard]] std::int32_t NextRow(std::int32_t selected, std::int32_t rowCount);

// Row that the end of a track moves to in list order, or 0 for a plain stop: the row below the
// selected one, unless random mode is on, no row is selected, the selected row is the last, or
// the list has a single row.
[[nodiscard]] std::int32_t RowAfterTrackEnd(bool randomMode, std::int32_t selected,
                                            std::int32_t rowCount);

} // namespace zr
