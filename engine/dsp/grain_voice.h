#pragma once
// The grain voice slots: grain starts, envelopes and per-sample rendering.
//
// GrainEngine owns the six voices and calls these functions from its sample loop.
// Nothing here allocates: each voice carries its 4096-float precomputed grain inline,
// so the voice array (about 100 KB) lives inside the heap-allocated effect object.

#include <algorithm>
#include <array>
#include <type_traits>

#include "engine/dsp/buffer_view.h"
#include "engine/dsp/constants.h"
#include "engine/dsp/cosine_oscillator.h"
#include "engine/dsp/play_head.h"

namespace grainwheel {

constexpr int kNumVoices = 6;
constexpr int kMaxMorphGrain = kTransformSize - 1;  // 4095: longest grain of a morph

// Envelope Type setting.
enum EnvelopeType : int {
    kEnvTrapezoid = 0,     // "trapezoid"
    kEnvRaisedCosine = 1,  // "raised cosine"
    kEnvHanning = 2,       // "hanning (fixed envelope)"
    kEnvRectangular = 3,   // "off / rectangular"
};

// Render modes of a voice.
constexpr int kRenderBuffer = 0;        // read the audio buffer
constexpr int kRenderPrecomputed = -1;  // play the precomputed grain array

struct GrainVoice {
    int remaining = 0;           // samples still to play; the slot is idle at 0
    int buffer = -1;             // audio buffer the grain reads, fixed at its start
    float readPosition = 0.0f;   // position in frames within that buffer
    int lastIndex = 0;           // integer frame index fetched last
    int renderMode = kRenderBuffer;
    int precomputedIndex = 0;    // next index into precomputedGrain
    float current[2] = {0.0f, 0.0f};   // last frame fetched (left, right)
    float previous[2] = {0.0f, 0.0f};  // frame fetched before it
    int attack = 0;              // samples left in each envelope segment
    int sustain = 0;
    int release = 0;
    float linearLevel = 0.0f;    // trapezoid state
    float linearStep = 0.0f;
    CosineOscillator osc;        // the cosine envelopes' oscillator
    double oscOutput = 0.0;      // its last value
    std::array<float, kTransformSize> precomputedGrain{};  // filled by the spectral morph

    bool idle() const { return remaining <= 0; }
};

// What a grain start needs from the engine besides the voice itself.
struct GrainStart {
    int bufferNumber = 0;        // current buffer
    int bufferLength = 0;        // its length in frames (0 = empty)
    float playPosition = 0.0f;
    int grainLength = 0;
    int envelopeType = kEnvTrapezoid;
    float envSust = 0.0f;        // "env sust", 0..1
};

// Normal grain start, the voice part of it: remaining, buffer, positions, envelope and
// the fetched frames. Returns false (nothing changed) when the buffer is empty or the
// grain length is below one sample; the caller then retries on the next sample.
// On true the caller goes on with its own part: triggerCountdown = grainInterval,
// arming the scope capture, active-voice count + 1.
bool startGrain(GrainVoice& v, const GrainStart& s);

// Morph grain start: remaining = min(grainLength, 4095), last index = trunc(playPosition)
// (no frame of lead), and a flat envelope when the buffer is empty. Always starts (the
// caller's part follows as for a normal start) unless the grain length is below one.
bool startMorphGrain(GrainVoice& v, const GrainStart& s);

// The envelope policy of the voice kernels: run(std::integral_constant<int, Env>{}) for
// the envelope type (any other value as rectangular), so that each kernel is compiled
// once per envelope with its branches decided.
template <typename Run>
inline decltype(auto) withEnvelope(int envelopeType, Run&& run) {
    switch (envelopeType) {
    case kEnvTrapezoid: return run(std::integral_constant<int, kEnvTrapezoid>{});
    case kEnvRaisedCosine: return run(std::integral_constant<int, kEnvRaisedCosine>{});
    case kEnvHanning: return run(std::integral_constant<int, kEnvHanning>{});
    default: return run(std::integral_constant<int, kEnvRectangular>{});
    }
}

// Envelope set-up for a grain of v.remaining samples.
void setupEnvelope(GrainVoice& v, int envelopeType, float envSust);

// Envelope value of this sample; advances the segment counters.
float envelopeValue(GrainVoice& v, int envelopeType);

// The voice's next `count` envelope values for envelope type Env, handed to emit(value)
// in order: the values envelopeValue would give, segment by segment, with the running
// values in locals. The voice's envelope state is advanced past them. The stretch kernels
// and the morph's analysis grain run it inside their own loops.
template <int Env, typename Emit>
inline void walkEnvelope(GrainVoice& v, int count, Emit&& emit) {
    if constexpr (Env == kEnvRectangular) {
        for (int n = 0; n < count; ++n) emit(1.0f);
    } else {
        int attack = v.attack, sustain = v.sustain, release = v.release;
        float level = v.linearLevel;
        const float step = v.linearStep;
        CosineOscillator oscillator = v.osc;
        double osc = v.oscOutput;
        int n = 0;
        while (n < count) {
            if (attack >= 1 || (sustain <= 0 && release > 0)) {
                const bool rising = attack >= 1;
                const int k = std::min(count - n, rising ? attack : release);
                if constexpr (Env == kEnvTrapezoid) {
                    if (rising)
                        for (int i = 0; i < k; ++i) emit(level += step);
                    else
                        for (int i = 0; i < k; ++i) emit(level -= step);
                } else {
                    // CosineOscillator::next with its state in registers.
                    const double coefficient = oscillator.coefficient;
                    double y1 = oscillator.y1, y2 = oscillator.y2;
                    for (int i = 0; i < k; ++i) {
                        const double y = coefficient * y1 - y2;
                        y2 = y1;
                        y1 = y;
                        emit(CosineOscillator::raised(y));
                    }
                    oscillator.y1 = y1, oscillator.y2 = y2;
                    osc = y1;
                }
                (rising ? attack : release) -= k;
                n += k;
            } else if (sustain > 0) {
                const int k = std::min(count - n, sustain);
                for (int i = 0; i < k; ++i) emit(1.0f);
                sustain -= k;
                level = 1.0f;
                n += k;
            } else {
                for (; n < count; ++n) emit(0.0f);
            }
        }
        v.attack = attack, v.sustain = sustain, v.release = release;
        v.linearLevel = level;
        v.oscOutput = osc;
        v.osc = oscillator;
    }
}

// The voice kernel's entry points (voice_block.cpp): one sample of a voice here, a
// stretch of samples (renderVoiceBlock below, and every voice slot at once in
// voice_block.h), each giving the same values.
//
// One sample of a voice. Adds nothing itself: the caller adds the result to its sum.
// `buffer` is the voice's own buffer (v.buffer), `pitch` the grainPitch in force now.
// A buffer-reading voice on an empty buffer returns silence and does not count down; a
// voice playing its precomputed grain reads no buffer.
StereoSample renderVoiceSample(GrainVoice& v, const BufferView& buffer, float pitch, int envelopeType);

// Renders up to `frames` samples of a voice, adding them into sumLeft/sumRight, and
// stops early when the grain ends. Returns the samples rendered (all `frames` for a
// voice on an empty buffer, which stays silent). Gives the same values as calling
// renderVoiceSample per sample with the same pitch; a loop may use it for the stretch
// of samples up to its next event (grain start, unit boundary, capture).
int renderVoiceBlock(GrainVoice& v, const BufferView& buffer, float pitch, int envelopeType,
                     float* sumLeft, float* sumRight, int frames);

// A head position as a grain start or a buffer change takes it: as it is within 2^24
// frames of 0 (every buffer is shorter), else (only hostile values get there) frame 0.
inline float nearPosition(float position) noexcept {
    constexpr float kFar = 16777216.0f;
    return (position > -kFar && position < kFar) ? position : 0.0f;
}

// Setting the voice count: remaining, precomputed index and render mode to 0.
void stopVoice(GrainVoice& v);
// Buffer selection without morph: an active voice continues on the new buffer.
void moveVoiceToBuffer(GrainVoice& v, int bufferNumber, float playPosition);
// Full voice reset before buffers are replaced: every field zero, buffer -1, array zero.
void resetVoice(GrainVoice& v);

}  // namespace grainwheel
