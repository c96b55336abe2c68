#include "engine/dsp/sine_cosine.h"

#include <bit>
#include <cstdint>

#include "engine/dsp/vector_code.h"

namespace grainwheel {

namespace {

constexpr float kTwoOverPi = 0.636619772f;
// 1.5 x 2^23: added to |v| < 2^22 it leaves round(v) in the low bits of the sum.
constexpr float kRoundingShift = 12582912.0f;
// pi/2 = kHalfPi1 + kHalfPi2 + kHalfPi3; the first two have few enough bits that their
// products by a quadrant number below 2^10 are exact.
constexpr float kHalfPi1 = 1.5703125f;
constexpr float kHalfPi2 = 4.837512969970703125e-4f;
constexpr float kHalfPi3 = 7.54978995489188216e-8f;
// sin r = r + r^3 (s1 + s2 r^2 + s3 r^4), cos r = 1 - r^2/2 + r^4 (c1 + c2 r^2 + c3 r^4)
// on [-pi/4, pi/4] (minimax coefficients).
constexpr float kS1 = -1.6666654611e-1f;
constexpr float kS2 = 8.3321608736e-3f;
constexpr float kS3 = -1.9515295891e-4f;
constexpr float kC1 = 4.166664568298827e-2f;
constexpr float kC2 = -1.388731625493765e-3f;
constexpr float kC3 = 2.443315711809948e-5f;

}  // namespace

GW_CLONES void sineCosine(const float* GW_RESTRICT angle, float* GW_RESTRICT sine, float* GW_RESTRICT cosine,
                          int count) {
    for (int i = 0; i < count; ++i) {
        const float x = angle[i];
        const float shifted = x * kTwoOverPi + kRoundingShift;
        const std::uint32_t quadrant = std::bit_cast<std::uint32_t>(shifted);
        const float k = shifted - kRoundingShift;
        const float r = ((x - k * kHalfPi1) - k * kHalfPi2) - k * kHalfPi3;
        const float z = r * r;
        const float s = r + r * z * (kS1 + z * (kS2 + z * kS3));
        const float c = (1.0f - 0.5f * z) + z * z * (kC1 + z * (kC2 + z * kC3));
        // Quadrant q: sin x = (s, c, -s, -c)[q], cos x = (c, -s, -c, s)[q].
        const std::uint32_t swap = 0u - (quadrant & 1u);
        const std::uint32_t sb = std::bit_cast<std::uint32_t>(s);
        const std::uint32_t cb = std::bit_cast<std::uint32_t>(c);
        const std::uint32_t sinBits = (cb & swap) | (sb & ~swap);
        const std::uint32_t cosBits = (sb & swap) | (cb & ~swap);
        const std::uint32_t sinSign = (quadrant & 2u) << 30;
        const std::uint32_t cosSign = ((quadrant + 1u) & 2u) << 30;
        sine[i] = std::bit_cast<float>(sinBits ^ sinSign);
        cosine[i] = std::bit_cast<float>(cosBits ^ cosSign);
    }
}

}  // namespace grainwheel
