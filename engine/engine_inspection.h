#pragma once
// What tests, fuzzers and benchmarks reach inside a GrainEngine beyond its face: the
// voices and the morph's work arrays (to force a state no input can reach, or run another
// synthesis formulation), one recorded frame, and every voice slot busy. The shipped
// modules never include it. Other threads only, no block running.

#include "engine/grain_engine.h"

namespace grainwheel {

struct EngineInspection {
    // The parts and words the panel's snapshot carries, read directly.
    static const Sequencer& sequencer(const GrainEngine& e) { return e.sequencer(); }
    static const TransportState& transport(const GrainEngine& e) { return e.transport(); }
    static const Recorder& recorder(const GrainEngine& e) { return e.recorder(); }
    static const BufferMorph& morph(const GrainEngine& e) { return e.morph(); }
    static const VoiceBank& voiceBank(const GrainEngine& e) { return e.voiceBank(); }
    static const ScopeCapture& scopeCapture(const GrainEngine& e) { return e.scopeCapture(); }
    static float currentBufferLength(const GrainEngine& e) { return e.currentBufferLength(); }
    static int previousBufferIndex(const GrainEngine& e) { return e.previousBufferIndex(); }
    static const float* currentLeftSamples(const GrainEngine& e) { return e.currentLeft.load(); }
    static const float* bufferLeftSamples(const GrainEngine& e, int n) { return e.bank_.buffer(n).left.load(); }
    // The scope capture's hand-shake word, array and size.
    static std::atomic<std::int32_t>& captureStateWord(GrainEngine& e) { return *e.capture.captureState.address(); }
    static CaptureStage captureStage(const GrainEngine& e) { return e.capture.stage(); }
    static const float* captureBuffer(const GrainEngine& e) { return e.capture.captureBuffer; }
    static int captureSize(const GrainEngine&) { return kCaptureSize; }
    static VoiceBank& voices(GrainEngine& e) { return e.voices; }
    static SpectralMorph& spectralMorph(GrainEngine& e) { return e.morphing.spectral(); }
    // One input frame recorded into `current` as the audio loop records it.
    static void recordFrame(GrainEngine& e, const BufferFrames& current, float left, float right) {
        e.recordOneFrame(current, left, right);
    }
    // Every voice slot busy with a long grain on the current buffer (a fixed, reproducible
    // voice load for the benchmarks).
    static void occupyVoices(GrainEngine& e) {
        const BufferFrames frames = framesOf(e.bank_.buffer(e.currentBuffer));
        for (int i = 0; i < kNumVoices; ++i) {
            GrainStart s;
            s.bufferNumber = e.currentBuffer;
            s.bufferLength = frames.length;
            s.playPosition = static_cast<float>(i) * 7919.0f;
            s.grainLength = 1 << 30;
            s.envelopeType = kEnvTrapezoid;
            s.envSust = 0.999f;
            startGrain(e.voices.slots[i], s);
        }
        e.seq.activeVoices = kNumVoices;
        // No grain falls due while they sound: the run measures six voices between grain
        // starts (with every slot busy a due grain would be retried on every sample).
        e.seq.triggerCountdown = 1.0e9f;
    }
};

}  // namespace grainwheel
