#include "PlaylistRules.h"

#include <algorithm>
#include <cmath>

namespace zr {

std::int32_t PickUnplayedRow(const std::vector<bool>& played, double draw) {
    const auto unplayed = std::count(played.begin(), played.end(), false);
    if (unplayed == 0) {
        return 0;
    }
    // One draw chooses among the unplayed rows only, so the pick is uniform over them and never
    // gives up while one is left.
    const double clamped = draw >= 0.0 ? std::min(draw, 1.0) : 0.0; // NaN counts as 0
    auto k = static_cast<std::ptrdiff_t>(std::floor(clamped * static_cast<double>(unplayed)));
    k = std::min<std::ptrdiff_t>(k, unplayed - 1);
    for (std::size_t i = 0; i < played.size(); ++i) {
        if (!played[i] && k-- == 0) {
            return static_cast<std::int32_t>(i + 1);
        }
    }
    return 0;
}

std::int32_t RowAfterTrackEnd(bool randomMode, std::int32_t selected, std::int32_t rowCount) {
    return !randomMode && rowCount > 1 && selected > 0 && selected < rowCount ? selected + 1 : 0;
}

} // namespace zr
