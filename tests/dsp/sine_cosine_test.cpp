// The engine's own sine and cosine: accuracy, exact values and the same bits on every
// code path.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "engine/dsp/sine_cosine.h"

namespace grainwheel {
namespace {

TEST(SineCosine, WithinTheStatedErrorOfTheExactValues) {
    // Every 61st float angle in [-4, 4] (the synthesis's angles lie within [-pi, pi] but
    // for a lowered stepsize), then a sparser sweep up to 1024.
    std::vector<float> x, s, c;
    double worst = 0.0;
    const auto check = [&] {
        s.resize(x.size());
        c.resize(x.size());
        sineCosine(x.data(), s.data(), c.data(), static_cast<int>(x.size()));
        for (std::size_t i = 0; i < x.size(); ++i) {
            const double a = x[i];
            worst = std::max({worst, std::fabs(s[i] - std::sin(a)), std::fabs(c[i] - std::cos(a))});
        }
        x.clear();
    };
    for (std::uint32_t bits = 0;; bits += 61) {
        float a;
        std::memcpy(&a, &bits, sizeof a);
        if (a > 4.0f) break;
        x.push_back(a);
        x.push_back(-a);
        if (x.size() >= (1u << 20)) check();
    }
    for (float a = 4.0f; a <= 1024.0f; a = std::nextafter(a, 2000.0f) + 0.0001f * a) {
        x.push_back(a);
        x.push_back(-a);
        if (x.size() >= (1u << 20)) check();
    }
    check();
    EXPECT_LE(worst, static_cast<double>(kSineCosineError));
    // Exact where the synthesis relies on it, and NaN for what is no angle.
    x = {0.0f, -0.0f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()};
    s.resize(4);
    c.resize(4);
    sineCosine(x.data(), s.data(), c.data(), 4);
    EXPECT_EQ(s[0], 0.0f);
    EXPECT_EQ(c[0], 1.0f);
    EXPECT_EQ(c[1], 1.0f);
    EXPECT_TRUE(std::isnan(s[2]) && std::isnan(c[2]));
    EXPECT_TRUE(std::isnan(s[3]) && std::isnan(c[3]));
}

// The same bits on every instruction set and platform: a hash of the results over a
// sweep, the same in this binary (with its AVX2 variant where the processor has it)
// and in the baseline build of the test.
TEST(SineCosine, SameBitsEverywhere) {
    std::vector<float> x(100000), s(x.size()), c(x.size());
    for (std::size_t i = 0; i < x.size(); ++i) x[i] = -4.0f + 8.0f * static_cast<float>(i) / 100000.0f + 1e-5f;
    for (int offset = 0; offset < 3; ++offset)  // every alignment and remainder length
        sineCosine(x.data() + offset, s.data() + offset, c.data() + offset, static_cast<int>(x.size()) - 2 * offset);
    std::uint64_t h = 1469598103934665603ull;
    for (std::size_t i = 0; i < x.size(); ++i)
        for (const float value : {s[i], c[i]}) {
            std::uint32_t bits;
            std::memcpy(&bits, &value, sizeof bits);
            h = (h ^ bits) * 1099511628211ull;
        }
    EXPECT_EQ(h, 0xd0924656ca19ab42ull) << std::hex << h;
}

}  // namespace
}  // namespace grainwheel
