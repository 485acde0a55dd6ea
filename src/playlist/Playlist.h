#pragma once
// The playlist operations on the player's list lstFiles: appending a row in the playlist format
// and the random pick of a row not yet played. The list owns its rows; these functions only add
// to it and read it. User-interface thread only.

#include "ListView.h"

#include <QString>

#include <cstdint>

namespace zr {

// Appends one row at the end: own text folderPath, then the running number (rows in the list
// now, "01." .. "09.", "10.", ...), fileName and the play mark "U". Selects nothing.
void AppendEntry(ui::ListView& lstFiles, const QString& folderPath, const QString& fileName);

} // namespace zr

namespace mProcFunc {

// A row not yet marked played ("P"), each such row equally likely; 0 when the list is empty or
// every row is marked. Reseeds the generator from the clock. Each row handed out adds 1 to
// mVariables::RandomPlayCount, which stops at its maximum rather than overflowing; the count
// never decides the pick.
[[nodiscard]] std::int32_t PickRandomTrack(zr::ui::ListView& lstFiles);

} // namespace mProcFunc
