#pragma once
// The progress bar as a seek control: a press anywhere on it plays the loaded track from the
// matching point, the left edge being the start and the right edge the end.

#include "PlayerElements.h"

#include <cstdint>
#include <optional>

namespace zr {

// A press at x twips (the bar's own coordinates; any mouse button): sends "play mp3 from " + the
// position SeekPosition gives for the bar's width and the length in lblLengthA, then gives the
// playlist the keyboard focus. A paused track plays on from there, so IsPlaying is set and the
// clock runs again; a playing track only jumps; with nothing loaded only the command goes out.
// Returns the position sent, or nothing when none could be computed.
std::optional<std::int32_t> SeekFromPress(PlayerElements& e, float x);

// The seek itself, shared by the bar and the desktop's media controls: "play mp3 from " +
// position (ms); a paused track plays on from there (IsPlaying set, the clock running again).
void PlayFrom(PlayerElements& e, std::int32_t position);

} // namespace zr
