#include "VolumeRules.h"

namespace zr {

std::optional<int> SteppedVolumeLevel(int level, QStringView direction) {
    if (direction == u"Increase") {
        if (level < 995) {
            return level + kVolumeStepSize;
        }
    } else if (direction == u"Decrease") {
        if (level > 331) {
            return level - kVolumeStepSize;
        }
    }
    return std::nullopt;
}

std::optional<int> LitVolumeSteps(int level) {
    for (int n = 1; n <= kVolumeIndicatorSteps; ++n) {
        if (level <= n * kVolumeStepSize) {
            return n;
        }
    }
    return std::nullopt;
}

} // namespace zr
