#pragma once
// Audio buffers of an effect filled with known content.

#include <random>

#include "engine/grain_effect.h"

namespace gwtest {

// Replaces buffer n by `frames` frames: left(i) and right(i), called in that order for
// each frame i from 0 on.
template <typename L, typename R>
void fillBuffer(grainwheel::GrainEffect& fx, int n, int frames, L left, R right) {
    float* l = grainwheel::GrainEffect::newSampleArray(frames);
    float* r = grainwheel::GrainEffect::newSampleArray(frames);
    for (int i = 0; i < frames; ++i) {
        l[i] = static_cast<float>(left(i));
        r[i] = static_cast<float>(right(i));
    }
    fx.replaceBufferArrays(n, l, r, frames);
}

// Both channels f(i).
template <typename F>
void fillBuffer(grainwheel::GrainEffect& fx, int n, int frames, F f) {
    fillBuffer(fx, n, frames, f, f);
}

// Noise in -1..1 from `seed` on both channels (each frame draws left, then right), marked
// unsaved as newly recorded audio is.
inline void fillUnsavedNoise(grainwheel::GrainEffect& fx, int n, int frames, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> d(-1.0f, 1.0f);
    const auto draw = [&](int) { return d(rng); };
    fillBuffer(fx, n, frames, draw, draw);
    fx.audioBuffer(n).saved = 0;
}

}  // namespace gwtest
