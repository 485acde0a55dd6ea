#pragma once
// The playback clock: what the player window's Timer1 does once a second while a track plays,
// and the drawing of the progress bar. The clock keeps no state of its own: position, length
// and elapsed time live in the captions of their labels and are read back at each tick.

#include "PlayerElements.h"

#include <cstdint>

namespace zr {

// Redraws the progress bar: cleared, then (draw mode not-xor) a box from x = -200 to the right
// edge of ProgressRightEdge and y = 0..30 twips in RGB(0, 0, 110). With length 0, or a
// position too large to place, the bar is only cleared.
void DrawProgress(ui::DrawingSurface& ProgressBar, std::int32_t length, float position);

// One tick: queries the position, shows it, redraws the bar and advances the elapsed time by
// one second. When the position has reached the length it moves on: to the row below the
// selection in list order, to a random unplayed row in random mode, or to a full stop.
void Timer1Tick(PlayerElements& e);

} // namespace zr
