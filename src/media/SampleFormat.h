#pragma once
// The ring holds 16-bit samples, as libmpg123 decodes them and as the sound server takes them:
// at speed 1 through the server, samples go from the decoder to the server's buffer without a
// conversion. Float is only the tempo changer's format and SDL's.

#include <cstddef>
#include <cstdint>

namespace zr::media {

// Full scale is 32768 both ways, as libmpg123 scales its float and 16-bit output.
inline constexpr float kS16Scale = 32768.0f;

// Clamps to [-32768, 32767] (a NaN too) and rounds half away from zero.
void floatToS16(const float* in, std::int16_t* out, std::size_t samples);
// Scaled to [-1, 1) times gain.
void s16ToFloat(const std::int16_t* in, float* out, std::size_t samples, float gain);

} // namespace zr::media
