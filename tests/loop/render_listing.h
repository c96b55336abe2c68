#pragma once
// The render scenarios of the listing (render_hashes.cpp): each renders a fixed script
// of blocks and parameter changes and hashes the output samples of every block, the
// scope capture array and the meter bit for bit (FNV-1a over the float bytes). A
// scenario may also hand out its output samples, and render with another morph
// synthesis in place of the engine's (the morph tests compare the two).
#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "engine/dsp/morph.h"
#include "engine/engine_inspection.h"
#include "render_scenario.h"

namespace renderlisting {

// The long scenario keeps its output arrays to itself: between its blocks the filter
// states (the last filtered sample of the block) and every voice's running values are
// hashed instead.
template <typename H>
void hashEngineState(const grainwheel::GrainEngine& engine, H& hash) {
    const grainwheel::VoiceBank& v = grainwheel::EngineInspection::voiceBank(engine);
    hash.bytes(v.pitchFilter.x, sizeof v.pitchFilter.x);
    hash.bytes(v.pitchFilter.y, sizeof v.pitchFilter.y);
    hash.bytes(v.resonantFilter.s1, sizeof v.resonantFilter.s1);
    hash.bytes(v.resonantFilter.s2, sizeof v.resonantFilter.s2);
    for (const grainwheel::GrainVoice& g : v.slots) {
        hash.bytes(&g.readPosition, sizeof g.readPosition);
        hash.bytes(&g.remaining, sizeof g.remaining);
        hash.bytes(g.current, sizeof g.current);
        hash.bytes(&g.linearLevel, sizeof g.linearLevel);
        hash.bytes(&g.oscOutput, sizeof g.oscOutput);
    }
    const float head = grainwheel::EngineInspection::sequencer(engine).playPosition;
    hash.bytes(&head, sizeof head);
    hash.bytes(grainwheel::EngineInspection::scopeCapture(engine).captureBuffer, sizeof grainwheel::EngineInspection::scopeCapture(engine).captureBuffer);
}

using grainwheel::GrainEffect;

struct Hash {
    std::uint64_t h = 1469598103934665603ull;
    void bytes(const void* p, std::size_t n) {
        const auto* c = static_cast<const unsigned char*>(p);
        for (std::size_t i = 0; i < n; ++i) {
            h ^= c[i];
            h *= 1099511628211ull;
        }
    }
    void floats(const float* p, int n) { bytes(p, sizeof(float) * static_cast<std::size_t>(n)); }
};

struct Config {
    const char* name;
    float pitchValue[4];  // per unit, cycled over the 16 units (pitch = 2 x value)
    int envelope = 0;     // 270
    int playback = 0;     // 272
    int cutoffRange = 0;  // 271
    int scope = 0;        // 273
    int morph = 0;        // 274
    float reso = 0.0f;
    float speed = 0.6f;
    float density = 0.7f;
    float unitDura = 0.375f;  // 1/16
    bool trigmode = false;
    bool monoIn = false;
    bool monoOut = false;
    int voiceCount = 6;
    std::vector<int> sizes{64, 1, 512, 333, 128, 17, 2048, 256};
    int blocks = 240;
};

inline void fill(GrainEffect& fx, int n, int frames, double a, double b) {
    looptest::fillBuffer(fx, n, frames, [&](int i) { return 0.6 * std::sin(i * a) * std::sin(i * b + 0.3); });
}

inline double energy = 0.0;  // sum of |output| of the last render, to see it is not silent

// With `synthesis`, the morph runs it instead of its own; with `samples`, every block's
// output samples (left, then right) are appended there.
inline std::uint64_t render(const Config& c, grainwheel::SynthesisFunction synthesis = nullptr,
                            std::vector<float>* samples = nullptr) {
    energy = 0.0;
    enginetest::scriptedHost().reset();
    auto& host = enginetest::scriptedHost();
    auto fx = std::make_unique<GrainEffect>(&enginetest::hostCallback);
    if (synthesis) grainwheel::EngineInspection::spectralMorph(fx->engine()).synthesis = synthesis;
    fill(*fx, 1, 70000, 0.031, 0.0007);
    fill(*fx, 2, 40000, 0.17, 0.011);
    fx->engine().selectBuffer(1);
    fx->setParameter(268, 0.0f);
    fx->setParameter(269, 0.0f);
    fx->setParameter(270, static_cast<float>(c.envelope));
    fx->setParameter(271, static_cast<float>(c.cutoffRange));
    fx->setParameter(272, static_cast<float>(c.playback));
    fx->setParameter(273, static_cast<float>(c.scope));
    fx->setParameter(274, static_cast<float>(c.morph));
    fx->setParameter(265, static_cast<float>(c.voiceCount));
    fx->setParameter(grainwheel::kMainLevl, 0.8f);
    fx->setParameter(grainwheel::kReso, c.reso);
    fx->setParameter(grainwheel::kDensity, c.density);
    fx->setParameter(grainwheel::kUnitDura, c.unitDura);
    fx->setParameter(grainwheel::kEnvSust, 0.4f);
    fx->setParameter(grainwheel::kTrigmode, c.trigmode ? 1.0f : 0.0f);
    for (int u = 0; u < 16; ++u) {
        fx->setParameter(grainwheel::kPitch + u, c.pitchValue[u % 4]);
        fx->setParameter(grainwheel::kFreq + u, 0.2f + 0.05f * static_cast<float>(u));
        fx->setParameter(grainwheel::kSpeed + u, c.speed - 0.02f * static_cast<float>(u % 5));
        fx->setParameter(grainwheel::kTime + u, 0.1f * static_cast<float>(u % 8));
    }
    host.playingAt(0.0, 0.0, 127.0);
    const float* capture = grainwheel::EngineInspection::captureBuffer(fx->engine());
    auto* captureState = &grainwheel::EngineInspection::captureStateWord(fx->engine());
    std::vector<float> inL(8192), inR(8192), outL(8192), outR(8192);
    Hash hash;
    double ppq = 0.0;
    long frames = 0;
    for (int block = 0; block < c.blocks; ++block) {
        const int n = c.sizes[static_cast<std::size_t>(block) % c.sizes.size()];
        for (int i = 0; i < n; ++i) {
            inL[static_cast<size_t>(i)] = 0.4f * std::sin(static_cast<float>(frames + i) * 0.02f);
            inR[static_cast<size_t>(i)] = 0.3f * std::sin(static_cast<float>(frames + i) * 0.05f);
        }
        host.time.ppqPos = ppq;
        host.time.barStartPos = 4.0 * std::floor(ppq / 4.0);
        float* ins[2] = {inL.data(), c.monoIn ? nullptr : inR.data()};
        float* outs[2] = {outL.data(), c.monoOut ? nullptr : outR.data()};
        fx->processReplacing(ins, outs, n);
        hash.floats(outL.data(), n);
        for (int i = 0; i < n; ++i) energy += std::fabs(outL[static_cast<size_t>(i)]);
        if (!c.monoOut) hash.floats(outR.data(), n);
        if (samples) {
            samples->insert(samples->end(), outL.begin(), outL.begin() + n);
            if (!c.monoOut) samples->insert(samples->end(), outR.begin(), outR.begin() + n);
        }
        frames += n;
        ppq += n * 127.0 / 60.0 / 44100.0;
        if (block % 9 == 0) captureState->store(0);
        if (c.trigmode && block % 50 == 25) fx->setParameter(grainwheel::kTrigmode, 1.0f);
        if (c.morph != 0 && block % 30 == 10)
            fx->setParameter(257, fx->engine().getCurrentBuffer() == 1 ? 2.0f : 1.0f);
        if (block == c.blocks / 2) fx->setParameter(grainwheel::kReso, c.reso * 0.5f);
    }
    hash.floats(capture, 4097);
    const float meter = fx->getParameter(259);
    hash.bytes(&meter, sizeof meter);
    return hash.h;
}

// The long scenario (render_scenario.h); `synthesis` and `samples` as for render.
inline std::uint64_t renderLongScenario(grainwheel::SynthesisFunction synthesis = nullptr,
                                        std::vector<float>* samples = nullptr) {
    enginetest::scriptedHost().reset();
    auto fx = std::make_unique<GrainEffect>(&enginetest::hostCallback);
    if (synthesis) grainwheel::EngineInspection::spectralMorph(fx->engine()).synthesis = synthesis;
    Hash hash;
    looptest::renderScenario(
        *fx, enginetest::scriptedHost(),
        [&](auto call) {
            call();
            hashEngineState(fx->engine(), hash);
        },
        [&](const float* left, const float* right, int n) {
            if (!samples) return;
            samples->insert(samples->end(), left, left + n);
            if (right) samples->insert(samples->end(), right, right + n);
        });
    return hash.h;
}

// The listing's scenarios, in its order (the long scenario follows them).
inline std::vector<Config> listingConfigs() {
    // Pitch values: 0.35 -> 0.7 (4-pole), 0.47 -> 0.94 (top biquad), 0.02 -> 0.04
    // (bottom biquad), 0.5 -> 1.0 (pass), 0.8 -> 1.6 (above 1).
    std::vector<Config> all;
    all.push_back({"pitch-mix-trapezoid", {0.35f, 0.47f, 0.02f, 0.5f}});
    all.push_back({"pitch-below-reso", {0.35f, 0.3f, 0.4f, 0.2f}, 1, 0, 0, 0, 0, 0.8f});
    all.push_back({"pitch-one-reso", {0.5f, 0.5f, 0.5f, 0.5f}, 2, 0, 1, 0, 0, 0.7f});
    all.push_back({"pitch-above", {0.8f, 0.6f, 0.9f, 0.55f}, 3, 0, 2, 0, 0, 0.0f});
    all.push_back({"mix-reso-cut3", {0.35f, 0.8f, 0.47f, 0.5f}, 0, 0, 3, 0, 0, 1.0f});
    for (int mode = 1; mode < 4; ++mode) {
        Config c{"playback", {0.35f, 0.5f, 0.8f, 0.02f}, mode % 4, mode, 0, 0, 0, 0.5f};
        c.speed = 0.9f;
        all.push_back(c);
        c.trigmode = true;
        all.push_back(c);
    }
    for (int env = 0; env < 4; ++env) {
        Config c{"env", {0.4f, 0.5f, 0.7f, 0.3f}, env, 0, 0, 0, 0, 0.6f};
        c.density = 0.95f;
        all.push_back(c);
    }
    for (int scope = 1; scope < 5; ++scope) {
        Config c{"scope", {0.35f, 0.5f, 0.8f, 0.47f}, scope % 4, 0, 0, scope, 0, 0.3f};
        all.push_back(c);
    }
    for (int morph = 1; morph < 4; ++morph) {
        Config c{"morph", {0.35f, 0.5f, 0.8f, 0.47f}, morph, 0, 0, (morph + 1) % 5, morph, 0.5f};
        all.push_back(c);
    }
    {
        Config c{"mono-in", {0.35f, 0.5f, 0.8f, 0.47f}, 0, 0, 0, 0, 0, 0.9f};
        c.monoIn = true;
        all.push_back(c);
        c.name = "mono-in-out";
        c.monoOut = true;
        all.push_back(c);
        c.name = "mono-out";
        c.monoIn = false;
        all.push_back(c);
    }
    {
        Config c{"blocks-small", {0.35f, 0.5f, 0.8f, 0.02f}, 1, 0, 0, 2, 0, 0.8f};
        c.sizes = {1, 2, 3, 7, 31};
        c.blocks = 3000;
        all.push_back(c);
        c.name = "blocks-large";
        c.sizes = {4096, 8192, 1000};
        c.blocks = 60;
        all.push_back(c);
        c.name = "voices-3";
        c.voiceCount = 3;
        c.sizes = {256, 100};
        c.blocks = 300;
        all.push_back(c);
        c.name = "bufsized-units";
        c.voiceCount = 6;
        c.unitDura = 0.0f;
        all.push_back(c);
    }
    return all;
}

}  // namespace renderlisting
