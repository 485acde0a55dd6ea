#include "SampleFormat.h"

#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zr::media {

void floatToS16(const float* in, std::int16_t* out, std::size_t samples) {
    std::size_t i = 0;
#if defined(__SSE2__)
    // Eight at a time: the compiler leaves the scalar loop unvectorised (its clamp branches).
    // max/min give the bound for a NaN, so nothing undefined reaches the conversion; the pack
    // saturates what rounding took past 32767.
    const __m128 scale = _mm_set1_ps(kS16Scale);
    const __m128 lo = _mm_set1_ps(-kS16Scale);
    const __m128 sign = _mm_set1_ps(-0.0f);
    const __m128 half = _mm_set1_ps(0.5f);
    for (; i + 8 <= samples; i += 8) {
        __m128 a = _mm_min_ps(_mm_max_ps(_mm_mul_ps(_mm_loadu_ps(in + i), scale), lo), scale);
        __m128 b = _mm_min_ps(_mm_max_ps(_mm_mul_ps(_mm_loadu_ps(in + i + 4), scale), lo), scale);
        a = _mm_add_ps(a, _mm_or_ps(half, _mm_and_ps(a, sign)));
        b = _mm_add_ps(b, _mm_or_ps(half, _mm_and_ps(b, sign)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i),
                         _mm_packs_epi32(_mm_cvttps_epi32(a), _mm_cvttps_epi32(b)));
    }
#endif
    for (; i < samples; ++i) {
        float v = in[i] * kS16Scale;
        v = v >= -kS16Scale ? v : -kS16Scale; // also a NaN
        v = v <= 32767.0f ? v : 32767.0f;
        out[i] = static_cast<std::int16_t>(v + std::copysign(0.5f, v));
    }
}

void s16ToFloat(const std::int16_t* in, float* out, std::size_t samples, float gain) {
    const float scale = gain / kS16Scale;
    for (std::size_t i = 0; i < samples; ++i)
        out[i] = static_cast<float>(in[i]) * scale;
}

} // namespace zr::media
