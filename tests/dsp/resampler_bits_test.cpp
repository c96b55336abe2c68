// The resampler's conversions give the same bits on every code path: this binary runs the
// AVX2 variant where the processor has it, dsp_resampler_bits_baseline the baseline code
// that processors without AVX2 run. Both must give these bits (every product and sum
// rounded on its own), so a buffer loaded at another rate holds the same samples on every
// processor.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "engine/dsp/resampler.h"
#include "tests/support/bits_hash.h"

namespace grainwheel {
namespace {


std::uint64_t convertedBits(double inRate, double outRate, std::size_t frames) {
    std::vector<float> x(frames);
    std::uint32_t state = 2024;
    for (float& v : x) {
        state = state * 1664525u + 1013904223u;
        v = static_cast<float>(state >> 8) / 8388608.0f - 1.0f;
    }
    const Resampler r(inRate, outRate);
    EXPECT_TRUE(r.usable());
    std::vector<float> y(static_cast<std::size_t>(r.outputFrames(static_cast<std::int64_t>(frames))));
    r.convertLooped(x.data(), static_cast<std::int64_t>(frames), y.data());
    return gwtest::bitsHash(y);
}

TEST(ResamplerBits, EveryCodePathGivesTheSameBits) {
    // Whole-ratio tables (48 -> 44.1 kHz), the folded symmetric row (96 -> 48 kHz) and
    // interpolated phases (one frame more).
    const std::uint64_t exact = convertedBits(48000, 44100, 48000);
    const std::uint64_t symmetric = convertedBits(96000, 48000, 9600);
    const std::uint64_t interpolated = convertedBits(48000, 44100, 48001);
    EXPECT_EQ(exact, 0xa85b4b7ae6630e85ull);
    EXPECT_EQ(symmetric, 0xfd9c1e46fb2e4618ull);
    EXPECT_EQ(interpolated, 0x7909888388bdd2ffull);
}

}  // namespace
}  // namespace grainwheel
