#include "ClockRules.h"

#include <cmath>
#include <limits>

namespace zr {
namespace {

constexpr std::int32_t kMax32 = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin32 = std::numeric_limits<std::int32_t>::min();

// Nearest 32-bit integer, ties to even; empty when out of range or not a number.
std::optional<std::int64_t> RoundToInt32(double v) {
    if (!std::isfinite(v)) {
        return std::nullopt;
    }
    const double r = std::nearbyint(v); // the default rounding mode rounds ties to even
    if (r < static_cast<double>(kMin32) || r > static_cast<double>(kMax32)) {
        return std::nullopt;
    }
    return static_cast<std::int64_t>(r);
}

std::optional<std::int32_t> Fit32(std::int64_t v) {
    if (v < kMin32 || v > kMax32) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(v);
}

std::int32_t PlusOne(std::int32_t v) {
    return v < kMax32 ? v + 1 : v;
}

} // namespace

ElapsedTime AdvanceElapsed(ElapsedTime t) {
    t.d = PlusOne(t.d);
    if (t.d > 9) {
        t.c = PlusOne(t.c);
        t.d = 0;
    }
    if (t.c > 5) {
        t.b = PlusOne(t.b);
        t.c = 0;
    }
    if (t.b > 9) {
        t.a = PlusOne(t.a);
        t.b = 0;
    }
    return t;
}

std::optional<std::int32_t> ProgressRightEdge(float width, std::int32_t length, float position) {
    if (length == 0) {
        return std::nullopt;
    }
    // The product of two floats is exact in double, and the rounded product is taken in 64
    // bits: 3615 twips x 594,060 ms already passes 2^31, which left the bar empty after about
    // ten minutes of any track.
    const double product = static_cast<double>(width) * static_cast<double>(position);
    if (!std::isfinite(product) || std::fabs(product) >= 0x1p62) {
        return std::nullopt;
    }
    const auto scaled = static_cast<std::int64_t>(std::nearbyint(product)); // ties to even
    return Fit32(scaled / length + 200);
}

std::optional<std::int32_t> SeekPosition(float width, double length, float x) {
    if (width == 0.0f) {
        return std::nullopt;
    }
    const auto n = RoundToInt32(length / static_cast<double>(width) * static_cast<double>(x));
    if (!n) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(*n);
}

} // namespace zr
