#pragma once
// The volume buttons: one step of mVariables::VolumeLevel up or down, the volume command to
// the open device, and the six-shape indicator VolumeInd(0..5) that shows the level.

#include "ControlArray.h"
#include "Shape.h"

#include <QStringView>

namespace zr {

// Paints VolumeInd(0..5) for a level: the lowest LitVolumeSteps(level) shapes lit, the rest
// unlit; above 996 nothing is touched.
void UpdateVolumeIndicator(ui::ControlArray<ui::Shape>& VolumeInd, int level);

// "Increase" or "Decrease" (exact text): changes VolumeLevel by 166 within 166..996 and sends
// "setaudio mp3 volume to " + the new level; at a bound, or for any other text, changes and
// sends nothing. Repaints the indicator in every case.
void VolumeStep(ui::ControlArray<ui::Shape>& VolumeInd, QStringView direction);

} // namespace zr
