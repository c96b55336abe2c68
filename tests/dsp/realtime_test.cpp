// The per-sample paths allocate nothing: this binary counts every global allocation.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "engine/dsp/denormals.h"
#include "engine/dsp/filters.h"
#include "engine/dsp/grain_voice.h"
#include "engine/dsp/morph.h"
#include "engine/dsp/spectrum_transform.h"

#include "tests/support/counting_new.h"

namespace grainwheel {
namespace {

TEST(Realtime, HookCountsAllocations) {
    gwtest::counting = true;
    const long before = gwtest::allocations.load();
    auto p = std::make_unique<int>(3);
    EXPECT_EQ(gwtest::allocations.load() - before, 1);
}

// Under RealtimeSanitizer the paths run in a real-time context, so any allocation,
// lock or system call in them is reported as well.
#if defined(GW_RTSAN) && defined(__clang__)
#define GW_TEST_NONBLOCKING [[clang::nonblocking]]
#else
#define GW_TEST_NONBLOCKING
#endif

struct Rig {
    static constexpr int kLength = 30000;
    std::vector<float> left = std::vector<float>(kLength + 1);
    std::vector<float> right = std::vector<float>(kLength + 1);
    BufferView buffer{};
    std::unique_ptr<GrainVoice[]> voices = std::make_unique<GrainVoice[]>(kNumVoices);
    std::unique_ptr<PitchFilter> pitchFilter = std::make_unique<PitchFilter>();
    std::unique_ptr<ResonantFilter> reso = std::make_unique<ResonantFilter>();
    std::unique_ptr<SpectrumTransform> transform = std::make_unique<SpectrumTransform>();
    std::unique_ptr<SpectralMorph> morph = std::make_unique<SpectralMorph>();
    std::vector<float> block = std::vector<float>(kTransformSize, 0.25f);
    std::vector<float> spectrum = std::vector<float>(kTransformSize);
    float sums[2][64] = {};

    Rig() {
        for (int i = 0; i <= kLength; ++i)
            left[static_cast<std::size_t>(i)] = right[static_cast<std::size_t>(i)] =
                std::sin(0.01f * static_cast<float>(i % kLength));
        buffer = {left.data(), right.data(), kLength};
    }
};

void exercisePaths(Rig& rig) GW_TEST_NONBLOCKING {
    ScopedFlushDenormals flush;
    const int len = Rig::kLength;
    float position = 0.0f;
    for (int n = 0; n < 50000; ++n) {
        if (n % 9000 == 0) rig.pitchFilter->design(0.3f + 0.0001f * static_cast<float>(n % 7));
        if (n % 500 == 0) rig.reso->setResonance(0.5f);
        rig.reso->setCutoff(0.6f);
        float sumL = 0.0f, sumR = 0.0f;
        for (int i = 0; i < kNumVoices; ++i) {
            GrainVoice& v = rig.voices[static_cast<std::size_t>(i)];
            if (v.idle()) {
                v.renderMode = kRenderBuffer;
                startGrain(v, GrainStart{0, len, position, 1500 + 100 * i, i % 4, 0.3f});
            }
            const StereoSample o = renderVoiceSample(v, rig.buffer, 0.7f, i % 4);
            sumL += o.left;
            sumR += o.right;
        }
        if (n % 64 == 0) renderVoiceBlock(rig.voices[2], rig.buffer, 0.7f, 1, rig.sums[0], rig.sums[1], 64);
        rig.pitchFilter->run(sumL, sumR, 0.7f);
        rig.reso->run(sumL, sumR);
        position += 1.0f;
        if (position >= static_cast<float>(len)) position -= static_cast<float>(len);
    }
    rig.transform->forward(rig.block.data(), rig.spectrum.data());
    rig.transform->inverse(rig.spectrum.data(), rig.block.data());
    SpectrumTransform::rescale(rig.block.data());
    rig.transform->magnitudeSpectrum(rig.block.data());
    GrainVoice& v = rig.voices[0];
    startMorphGrain(v, GrainStart{0, len, 100.0f, 3000, kEnvTrapezoid, 0.0f});
    rig.morph->analyseSource(v, rig.buffer, 1.0f, kEnvTrapezoid, *rig.transform, true);
    startMorphGrain(v, GrainStart{0, len, 5000.0f, 3000, kEnvTrapezoid, 0.0f});
    rig.morph->analyseTarget(v, rig.buffer, 1.0f, kEnvTrapezoid, *rig.transform);
    for (int step = 1; step <= 11; ++step) {
        startMorphGrain(v, GrainStart{0, len, 5000.0f, 3000, kEnvTrapezoid, 0.0f});
        rig.morph->synthesise(v, 1 + step % 3, 10, step, *rig.transform, step % 2 == 0);
        for (int s = 0; s < 3000; ++s) renderVoiceSample(v, rig.buffer, 1.0f, kEnvTrapezoid);
    }
    stopVoice(v);
    moveVoiceToBuffer(rig.voices[3], 1, 10.0f);
    resetVoice(rig.voices[1]);
}

TEST(Realtime, PerSamplePathsAndMorphStepsAllocateNothing) {
    Rig rig;
    gwtest::counting = true;
    const long before = gwtest::allocations.load();
    exercisePaths(rig);
    EXPECT_EQ(gwtest::allocations.load() - before, 0);
}

}  // namespace
}  // namespace grainwheel
