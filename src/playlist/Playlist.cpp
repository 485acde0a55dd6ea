#include "Playlist.h"

#include "PlaylistEntry.h"
#include "PlaylistRules.h"
#include "Random.h"
#include "mVariables.h"

#include <limits>
#include <vector>

namespace zr {

void AppendEntry(ui::ListView& lstFiles, const QString& folderPath, const QString& fileName) {
    ui::ListItem row = lstFiles.ListItems().Add(folderPath);
    const std::int32_t n = lstFiles.ListItems().Count();
    row.SetSubItems(kTrackNumberSubItem, TrackNumberText(n));
    row.SetSubItems(kFileNameSubItem, fileName);
    row.SetSubItems(kPlayMarkSubItem, kUnplayedMark.toString());
}

} // namespace zr

namespace mProcFunc {

std::int32_t PickRandomTrack(zr::ui::ListView& lstFiles) {
    auto& items = lstFiles.ListItems();
    const std::int32_t count = items.Count();
    if (count == 0) {
        return 0;
    }
    std::vector<bool> played(static_cast<std::size_t>(count));
    for (std::int32_t i = 1; i <= count; ++i) {
        played[static_cast<std::size_t>(i - 1)] =
            items.Item(i).SubItems(zr::kPlayMarkSubItem) == zr::kPlayedMark;
    }
    zr::ui::Randomize();
    const std::int32_t row = zr::PickUnplayedRow(played, zr::ui::Rnd());
    if (row != 0 && mVariables::RandomPlayCount < std::numeric_limits<std::int32_t>::max()) {
        ++mVariables::RandomPlayCount;
    }
    return row;
}

} // namespace mProcFunc
