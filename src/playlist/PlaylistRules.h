#pragma once
// The decisions behind the random pick and the move at the end of a track, as plain functions
// so they can be checked in tables. Row positions are 1-based; 0 means "no row".

#include <cstdint>
#include <vector>

namespace zr {

// The random pick over the rows' played flags (played[i] is row i + 1). draw is uniform in
// [0, 1). Returns an unplayed row, each unplayed row equally likely over draws; 0 when there is
// none (empty list, or every row played). Values of draw outside [0, 1) are clamped.
[[nodiscard]] std::int32_t PickUnplayedRow(const std::vector<bool>& played, double draw);

// Row that the end of a track moves to in list order, or 0 for a plain stop: the row below the
// selected one, unless random mode is on, no row is selected, the selected row is the last, or
// the list has a single row.
[[nodiscard]] std::int32_t RowAfterTrackEnd(bool randomMode, std::int32_t selected,
                                            std::int32_t rowCount);

} // namespace zr
