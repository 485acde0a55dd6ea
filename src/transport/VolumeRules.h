#pragma once
// The volume step and the volume indicator as plain functions: the level after a press of
// "Increase Volume" or "Decrease Volume", and how many of the six indicator shapes are lit.
// Levels are on the media service's scale 0..1000; the player uses 166..996 in steps of 166.

#include "Units.h"

#include <QStringView>

#include <cstdint>
#include <optional>

namespace zr {

inline constexpr int kVolumeStepSize = 166;
inline constexpr int kVolumeIndicatorSteps = 6;
inline constexpr ui::ColorRef kVolumeLitColour = ui::Rgb(250, 0, 0);
inline constexpr ui::ColorRef kVolumeUnlitColour = ui::Rgb(128, 0, 0);

// New level after a step in the given direction ("Increase" or "Decrease", compared exactly,
// case-sensitive), or empty when the level stays and no volume command is sent: at the top
// (995 and above) for "Increase", at the bottom (331 and below) for "Decrease", and for any
// other text.
[[nodiscard]] std::optional<int> SteppedVolumeLevel(int level, QStringView direction);

// Number of lit indicator shapes (1..6) for a level: one per started 166, at least one; empty
// above 996, where the indicator is left as it is.
[[nodiscard]] std::optional<int> LitVolumeSteps(int level);

} // namespace zr
