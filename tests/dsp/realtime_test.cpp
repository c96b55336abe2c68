// The per-sample paths allocate nothing: this binary counts every global allocation.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

#include "engine/dsp/denormals.h"
#include "engine/dsp/filters.h"
#include "engine/dsp/grain_voice.h"
#include "engine/dsp/morph.h"
#include "engine/dsp/spectrum_transform.h"

namespace {
std::atomic<long> gAllocations{0};
}

void* operator new(std::size_t n) {
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t n) { return operator new(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
    gAllocations.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(n ? n : 1);
}
void* operator new[](std::size_t n, const std::nothrow_t& t) noexcept { return operator new(n, t); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace grainwheel {
namespace {

TEST(Realtime, HookCountsAllocations) {
    const long before = gAllocations.load();
    auto p = std::make_unique<int>(3);
    EXPECT_EQ(gAllocations.load() - before, 1);
}

TEST(Realtime, PerSamplePathsAndMorphStepsAllocateNothing) {
    const int len = 30000;
    std::vector<float> l(len + 1), r(len + 1);
    for (int i = 0; i <= len; ++i) l[static_cast<std::size_t>(i)] = r[static_cast<std::size_t>(i)] = std::sin(0.01f * static_cast<float>(i % len));
    const BufferView buf{l.data(), r.data(), len};
    auto voices = std::make_unique<GrainVoice[]>(kNumVoices);
    auto pitchFilter = std::make_unique<PitchFilter>();
    auto reso = std::make_unique<ResonantFilter>();
    auto transform = std::make_unique<SpectrumTransform>();
    auto morph = std::make_unique<SpectralMorph>();
    std::vector<float> block(kTransformSize, 0.25f), spec(kTransformSize);

    const long before = gAllocations.load();
    {
        ScopedFlushDenormals flush;
        float position = 0.0f;
        for (int n = 0; n < 50000; ++n) {
            if (n % 9000 == 0) pitchFilter->design(0.3f + 0.0001f * static_cast<float>(n % 7));
            if (n % 500 == 0) reso->setResonance(0.5f);
            reso->setCutoff(0.6f);
            float sumL = 0.0f, sumR = 0.0f;
            for (int i = 0; i < kNumVoices; ++i) {
                GrainVoice& v = voices[static_cast<std::size_t>(i)];
                if (v.idle()) {
                    v.renderMode = kRenderBuffer;
                    startGrain(v, GrainStart{0, len, position, 1500 + 100 * i, i % 4, 0.3f});
                }
                const StereoSample o = renderVoiceSample(v, buf, 0.7f, i % 4);
                sumL += o.left;
                sumR += o.right;
            }
            pitchFilter->run(sumL, sumR, 0.7f);
            reso->run(sumL, sumR);
            position += 1.0f;
            if (position >= len) position -= len;
        }
        transform->forward(block.data(), spec.data());
        transform->inverse(spec.data(), block.data());
        SpectrumTransform::rescale(block.data());
        transform->magnitudeSpectrum(block.data());
        GrainVoice& v = voices[0];
        startMorphGrain(v, GrainStart{0, len, 100.0f, 3000, kEnvTrapezoid, 0.0f});
        morph->analyseSource(v, buf, 1.0f, kEnvTrapezoid, *transform, true);
        startMorphGrain(v, GrainStart{0, len, 5000.0f, 3000, kEnvTrapezoid, 0.0f});
        morph->analyseTarget(v, buf, 1.0f, kEnvTrapezoid, *transform);
        for (int step = 1; step <= 11; ++step) {
            startMorphGrain(v, GrainStart{0, len, 5000.0f, 3000, kEnvTrapezoid, 0.0f});
            morph->synthesise(v, 1 + step % 3, 10, step, *transform, step % 2 == 0);
            for (int s = 0; s < 3000; ++s) renderVoiceSample(v, buf, 1.0f, kEnvTrapezoid);
        }
        stopVoice(v);
        resetVoice(voices[1]);
    }
    EXPECT_EQ(gAllocations.load() - before, 0);
}

}  // namespace
}  // namespace grainwheel
