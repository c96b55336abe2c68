#pragma once
// The soft clipper of the output stage, for single samples and (SSE2) four at a time.

#include "engine/dsp/sse2.h"

namespace grainwheel {

// y = x (|x| + 1) / (x^2 + 1.2): slope 1/1.2 at 0, a peak of about 1.18 at |x| = 2.82,
// then back towards +-1 for large |x|. Every product and sum is rounded on its own, in
// this order, in both forms; |x| is taken as x < 0 ? -x : x (-0 and NaN kept as they
// are), and the output meter measures the same |x|.
struct SoftClip {
    static float magnitude(float x) noexcept { return x < 0.0f ? -x : x; }
    // y for x with a = magnitude(x).
    static float apply(float x, float a) noexcept { return x * (a + 1.0f) / (x * x + 1.2f); }
    static float apply(float x) noexcept { return apply(x, magnitude(x)); }

#if GW_SSE2
    static __m128 magnitude(__m128 x) noexcept {
        const __m128 negative = _mm_cmplt_ps(x, _mm_setzero_ps());
        return _mm_xor_ps(x, _mm_and_ps(negative, _mm_set1_ps(-0.0f)));
    }
    static __m128 apply(__m128 x, __m128 a) noexcept {
        return _mm_div_ps(_mm_mul_ps(x, _mm_add_ps(a, _mm_set1_ps(1.0f))),
                          _mm_add_ps(_mm_mul_ps(x, x), _mm_set1_ps(1.2f)));
    }
#endif
};

}  // namespace grainwheel
