#pragma once
// A long render that passes every expensive path of the audio loop: grains on six
// voices, morphs with all three algorithms, synced and free recordings (with the stop
// rule inside a block), every scope mode including both spectra, trigmode halts and
// changing block sizes. `around` wraps each processReplacing call (counting
// allocations, or nothing); `output` then sees the block's output (left, right or null, frames).

#include <atomic>
#include <cmath>
#include <vector>

#include "engine/engine_inspection.h"
#include "loop_support.h"

namespace looptest {

struct IgnoreOutput {
    void operator()(const float*, const float*, int) const {}
};

template <typename Around, typename Output = IgnoreOutput>
void renderScenario(GrainEffect& fx, enginetest::ScriptedHost& host, Around around, Output output = {}) {
    plainGrains(fx);
    fillBuffer(fx, 1, 60000, [](int i) { return 0.6 * std::sin(i * 0.031) * std::sin(i * 0.0007); });
    fillBuffer(fx, 2, 50000, [](int i) { return 0.5 * std::sin(i * 0.17 + std::sin(i * 0.01)); });
    fx.engine().selectBuffer(1);
    fx.setParameter(grainwheel::kUnitDura, 0.5f);  // 1/8
    fx.setParameter(grainwheel::kReso, 0.7f);
    fx.setParameter(grainwheel::kDensity, 0.9f);
    for (int u = 0; u < 16; ++u) {
        fx.setParameter(grainwheel::kPitch + u, 0.2f + 0.04f * static_cast<float>(u));
        fx.setParameter(grainwheel::kFreq + u, 0.3f + 0.04f * static_cast<float>(u));
        fx.setParameter(grainwheel::kTime + u, 0.1f * static_cast<float>(u % 8));
    }
    fx.setParameter(270, 1.0f);  // raised cosine
    auto* captureState = &grainwheel::EngineInspection::captureStateWord(fx.engine());

    host.playingAt(0.0, 0.0, 133.0);
    const int sizes[] = {64, 1, 512, 333, 4096, 128, 8192, 17};
    std::vector<float> in(8192), outL(8192), outR(8192);
    double ppq = 0.0;
    long frames = 0;
    for (int block = 0; block < 900; ++block) {
        const int n = sizes[block % 8];
        for (int i = 0; i < n; ++i) in[static_cast<size_t>(i)] = 0.4f * std::sin(static_cast<float>(frames + i) * 0.02f);
        host.time.ppqPos = ppq;
        host.time.barStartPos = 4.0 * std::floor(ppq / 4.0);
        float* ins[2] = {in.data(), in.data()};
        float* outs[2] = {outL.data(), block % 5 == 0 ? nullptr : outR.data()};
        around([&] { fx.processReplacing(ins, outs, n); });
        output(outs[0], outs[1], n);
        frames += n;
        ppq += n * 133.0 / 60.0 / 44100.0;

        // What the user interface does meanwhile (between blocks here).
        if (block % 40 == 5) fx.setParameter(274, static_cast<float>(1 + (block / 40) % 3));
        if (block % 40 == 6) fx.setParameter(275, static_cast<float>((block / 40) % 4));
        if (block % 40 == 7) fx.setParameter(257, fx.engine().getCurrentBuffer() == 1 ? 2.0f : 1.0f);
        if (block % 25 == 0) fx.setParameter(273, static_cast<float>(1 + (block / 25) % 4));
        if (block % 7 == 0) captureState->store(0);  // the scope wants a new capture
        if (block == 300) {
            fx.setParameter(276, 10.0f);  // rec sync for 1/16 note
            fx.setParameter(grainwheel::kRecSync, 1.0f);
        }
        if (block == 500) fx.setParameter(grainwheel::kRecFree, 1.0f);
        if (block == 560) fx.setParameter(grainwheel::kRecFree, 0.0f);
        if (block == 600) {
            fx.setParameter(272, 3.0f);
            fx.setParameter(grainwheel::kTrigmode, 1.0f);
        }
        if (block == 700) fx.setParameter(grainwheel::kTrigmode, 0.0f);
        if (block == 750) fx.setParameter(grainwheel::kMonitor, 1.0f);
        if (block == 760) fx.setParameter(grainwheel::kMonitor, 0.0f);
    }
}

}  // namespace looptest
