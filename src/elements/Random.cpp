#include "Random.h"

#include <chrono>
#include <random>

namespace zr::ui {

namespace {

std::mt19937_64& Generator() {
    static std::mt19937_64 generator{std::random_device{}()};
    return generator;
}

} // namespace

void Randomize() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count() ^
                     std::chrono::system_clock::now().time_since_epoch().count();
    // The clock is mixed into what the generator would give next rather than replacing it:
    // picks made within one tick of a coarse clock would otherwise all draw the same number.
    auto& generator = Generator();
    generator.seed(generator() ^ static_cast<std::uint64_t>(now));
}

void RandomizeWithSeed(std::uint64_t seed) {
    Generator().seed(seed);
}

float Rnd() {
    // 24 random bits fill a float's mantissa exactly, so the result can never round up to 1.
    const auto bits = Generator()() >> 40;
    return static_cast<float>(bits) * (1.0f / 16777216.0f);
}

} // namespace zr::ui
