#include "VolumeRules.h"

namespace zr {

std::optional<int> SteppedVolumeLevel(int level, QStringView direction) {
    if (direction == u"Increase") {
        if (level < 995) {
            return level + VolumeStepSize;
        }
    } else if (direction == u"Decrease") {
        if (level > 331) {
            return level - VolumeStepSize;
        }
    }
    return std::nullopt;
}

std::optional<int> LitVolumeSteps(int level) {
    for (int n = 1; n <= VolumeIndicatorSteps; ++n) {
        if (level <= n * VolumeStepSize) {
            return n;
        }
    }
    return std::nullopt;
}

} // namespace zr
