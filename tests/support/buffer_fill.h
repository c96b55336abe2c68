#pragma once
// Audio buffers of an engine (or of the effect that owns one) filled with known content.

#include <random>

#include "engine/grain_engine.h"
#include "plugin/grain_effect.h"

namespace gwtest {

// Replaces buffer n by `frames` frames: left(i) and right(i), called in that order for
// each frame i from 0 on.
template <typename L, typename R>
void fillBuffer(grainwheel::GrainEngine& engine, int n, int frames, L left, R right) {
    float* l = grainwheel::BufferBank::newSampleArray(frames);
    float* r = grainwheel::BufferBank::newSampleArray(frames);
    for (int i = 0; i < frames; ++i) {
        l[i] = static_cast<float>(left(i));
        r[i] = static_cast<float>(right(i));
    }
    engine.replaceBufferArrays(n, l, r, frames);
}

template <typename L, typename R>
void fillBuffer(grainwheel::GrainEffect& fx, int n, int frames, L left, R right) {
    fillBuffer(fx.engine(), n, frames, left, right);
}

// Both channels f(i).
template <typename E, typename F>
void fillBuffer(E& target, int n, int frames, F f) {
    fillBuffer(target, n, frames, f, f);
}

// Noise in -1..1 from `seed` on both channels (each frame draws left, then right), marked
// unsaved as newly recorded audio is.
inline void fillUnsavedNoise(grainwheel::GrainEngine& engine, int n, int frames, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> d(-1.0f, 1.0f);
    const auto draw = [&](int) { return d(rng); };
    fillBuffer(engine, n, frames, draw, draw);
    engine.buffers().buffer(n).saved = 0;
}

inline void fillUnsavedNoise(grainwheel::GrainEffect& fx, int n, int frames, unsigned seed) {
    fillUnsavedNoise(fx.engine(), n, frames, seed);
}

}  // namespace gwtest
