#pragma once
// The benchmarks' six-voice scene: one GrainEffect at 44.1 kHz on a playing 120 BPM
// transport, a 200000-frame tone in the current buffer, resonance on, no morph, no scope,
// and long grains sounding on all six voices at the given pitch value (pitch = 2 x value,
// so below 0.5 the pitch filter runs its 4-pole branch).

#include <cmath>
#include <memory>

#include "plugin/grain_effect.h"
#include "engine/engine_inspection.h"

namespace grainwheel::bench {

inline VstTimeInfo sceneTime{};

inline VstIntPtr VSTCALLBACK sceneHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    if (opcode == audioMasterVersion) return 2300;
    if (opcode == audioMasterGetTime) return reinterpret_cast<VstIntPtr>(&sceneTime);
    return 0;
}

inline std::unique_ptr<GrainEffect> makeSixVoiceEffect(float pitchValue) {
    sceneTime.tempo = 120.0;
    sceneTime.sampleRate = 44100.0;
    sceneTime.timeSigNumerator = 4;
    sceneTime.timeSigDenominator = 4;
    sceneTime.flags = kVstTempoValid | kVstTransportPlaying;
    auto fx = std::make_unique<GrainEffect>(&sceneHost);
    const int frames = 200000;
    float* l = BufferBank::newSampleArray(frames);
    float* r = BufferBank::newSampleArray(frames);
    for (int i = 0; i < frames; ++i) {
        l[i] = 0.3f * std::sin(0.01f * static_cast<float>(i)) + 0.1f * std::sin(0.37f * static_cast<float>(i));
        r[i] = 0.8f * l[i];
    }
    fx->engine().replaceBufferArrays(fx->engine().getCurrentBuffer(), l, r, frames);
    fx->setParameter(kSettingMorphAlgorithm, 0.0f);   // no morph
    fx->setParameter(kSettingPitchFaderRange, 0.0f);  // pitch = 2 x value
    fx->setParameter(kSettingScopeViewMode, 0.0f);    // scope off
    fx->setParameter(kReso, 0.8f);
    fx->setParameter(kUnitDura, 1.0f);  // static: no unit boundary forces a grain
    for (int u = 0; u < 16; ++u) {
        fx->setParameter(kPitch + u, pitchValue);
        fx->setParameter(kFreq + u, 0.4f + 0.03f * static_cast<float>(u));
    }
    grainwheel::EngineInspection::occupyVoices(fx->engine());  // long grains on all six voices
    return fx;
}

}  // namespace grainwheel::bench
