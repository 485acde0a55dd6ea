#include "VolumeCurve.h"

#include "MciParser.h"

namespace zr::media {

float gainForVolume(std::uint32_t volume) {
    if (volume >= kMaxVolume)
        return 1.0f;
    const double v = static_cast<double>(volume) / kMaxVolume;
    return static_cast<float>(v * v * v);
}

} // namespace zr::media
