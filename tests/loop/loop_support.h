#pragma once
// Helpers for driving the audio loop of a GrainEffect in tests: buffers filled with
// known content, blocks of input, and the settings that make grains predictable.

#include <cmath>
#include <vector>

#include "tests/support/effect_fixture.h"
#include "tests/support/buffer_fill.h"

namespace looptest {

using grainwheel::GrainEffect;

using gwtest::fillBuffer;

struct Block {
    std::vector<float> inL, inR, outL, outR;
    explicit Block(int n, float in = 0.0f) : inL(n, in), inR(n, in), outL(n, 7.0f), outR(n, 7.0f) {}
    void run(GrainEffect& fx, bool rightOut = true) {
        float* ins[2] = {inL.data(), inR.data()};
        float* outs[2] = {outL.data(), rightOut ? outR.data() : nullptr};
        fx.processReplacing(ins, outs, static_cast<VstInt32>(inL.size()));
    }
};

// Grains that copy the buffer: speed and pitch ranges whose converted values are
// value and 2 x value, rectangular envelope, no cutoff or resonance, gain 1.
inline void plainGrains(GrainEffect& fx) {
    fx.setParameter(268, 0.0f);  // speed: value
    fx.setParameter(269, 0.0f);  // pitch: 2 x value
    fx.setParameter(270, 3.0f);  // off / rectangular
    fx.setParameter(271, 0.0f);  // cutoff max. 22 kHz
    fx.setParameter(274, 0.0f);  // morph off
    fx.setParameter(grainwheel::kReso, 0.0f);
    fx.setParameter(grainwheel::kMainLevl, std::sqrt(0.5f));  // mainGain 1
    for (int u = 0; u < 16; ++u) {
        fx.setParameter(grainwheel::kSpeed + u, 1.0f);
        fx.setParameter(grainwheel::kPitch + u, 0.5f);
        fx.setParameter(grainwheel::kFreq + u, 1.0f);
    }
}

inline float softClip(double x) { return static_cast<float>(x * (std::fabs(x) + 1.0) / (x * x + 1.2)); }

}  // namespace looptest
