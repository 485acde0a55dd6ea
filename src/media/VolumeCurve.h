#pragma once
// The service's volume scale. A setting of 0..1000 maps to a linear gain by a cube law:
//
//     gain = (volume / 1000)^3        level change = 60 * log10(volume / 1000) dB
//
// 1000 is unity (0 dB), 794 about -6 dB, 498 (the player's start volume) about -18.2 dB,
// 166 about -46.8 dB, 0 silence. Perceived loudness grows with signal power to about the 0.3rd
// power, so under a cube law loudness follows the setting nearly in proportion; a linear gain
// would crowd all audible change into the bottom of the scale.

#include <cstdint>

namespace zr::media {

[[nodiscard]] float gainForVolume(std::uint32_t volume);

} // namespace zr::media
