#pragma once
// The process-wide pseudo-random generator: reseeded from the clock by Randomize, single
// precision draws uniform in [0, 1) from Rnd. User-interface thread only.

#include <cstdint>

namespace zr::ui {

// Reseeds from the clock.
void Randomize();
// Reseeds with a fixed value, so tests get a known sequence.
void RandomizeWithSeed(std::uint64_t seed);
// Next draw, uniform in [0, 1); never 1.
[[nodiscard]] float Rnd();

} // namespace zr::ui
