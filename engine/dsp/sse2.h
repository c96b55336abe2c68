#pragma once
// GW_SSE2 is 1 where the engine's SSE2 kernels build (every x86 target: x86-64, and i686
// with SSE2 floating point), 0 elsewhere, where the scalar code runs. Either gives the
// same values bit for bit.

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#define GW_SSE2 1
#include <emmintrin.h>

namespace grainwheel {
// Lane `Lane` of a vector.
template <int Lane>
inline float laneOf(__m128 v) {
    return _mm_cvtss_f32(_mm_shuffle_ps(v, v, _MM_SHUFFLE(Lane, Lane, Lane, Lane)));
}
}  // namespace grainwheel
#else
#define GW_SSE2 0
#endif
