#pragma once
// Kernels of a quiet stretch (no grain start, no unit boundary, no recording): the
// sounding voices, the play head and the output stage over the whole stretch, each
// giving the same values, in the same order of arithmetic, as running it per sample.

#include "engine/dsp/buffer_view.h"
#include "engine/dsp/grain_voice.h"

namespace grainwheel {

// Renders up to `frames` samples of the voice slots voices[0 .. count), slot by slot,
// adding each into sumLeft/sumRight: the same sums and voice states as renderVoiceBlock
// per slot. A voice reads buffers[voice.buffer] (none when the number is outside
// 0 .. bufferCount - 1). Returns the bit mask (bit v for slot v) of the voices that were
// sounding before the stretch and are idle after it.
//
// Each voice runs the first reader that applies, for as long as it applies, then the
// next: the read-step-1 reader (renderUnitStep), the steady reader (any read step from
// a position inside the buffer, the envelope a chunk at a time, as vectors where the
// frames allow), then the any-step reader (renderVoiceBlock). Every render entry point
// here and in grain_voice.h is one kernel (voice_block.cpp) with three policies: the
// readers it may run, the envelope type (withEnvelope) and where its samples go.
unsigned renderVoiceStretch(GrainVoice* voices, int count, const BufferView* buffers, int bufferCount,
                            float pitch, int envelopeType, float* sumLeft, float* sumRight, int frames);

// The read-step-1 path alone: a buffer-reading voice at pitch 1.0 on a whole-frame
// position whose last fetched index is the frame before it plays, on every sample, the
// frame fetched one sample earlier, so its samples need no fetch decision and run as
// vector products. Renders while that holds (up to `frames`, or the grain's end) and
// returns the samples done; 0 when it does not apply (nothing changed).
int renderUnitStep(GrainVoice& v, const BufferView& buffer, int envelopeType, float* sumLeft, float* sumRight,
                   int frames);

// The play head over a stretch in which no stop rule can halt the engine.
struct HeadRun {
    float position = 0.0f;         // in: the head; out: after the stretch
    float step = 0.0f;             // headRun x headSpeed
    int length = 0;                // the current buffer's frames
    bool restarts = false;         // Playback Modes 1 and 3: leaving the buffer restarts
    float restartPosition = 0.0f;  // where a restart puts the head
};
// Moves the head `count` times: by the step, then wrapped or restarted at either end.
void advanceHeadRun(HeadRun& head, int count);

// A head step or read step bounded to 2^20 frames either way (longer than any buffer, and
// short enough for every wrap of a read position to stay exact); NaN gives 0.
inline float boundedStep(float step) noexcept {
    constexpr float kMaxStep = 1048576.0f;
    if (!(step > -kMaxStep)) return step < 0.0f ? -kMaxStep : 0.0f;
    return step < kMaxStep ? step : kMaxStep;
}

// Gain, meter and soft clipper over a stretch: out = clip(sum x gain). Returns the
// meter's peak (+0 or above) raised by the stretch (NaN samples leave it unchanged).
// Either output may be null. With `total`, the output samples written are added to it
// (not finite once any of them is not).
float outputRun(const float* left, const float* right, int count, float gain, float peak, float* outLeft,
                float* outRight, float* total = nullptr);

}  // namespace grainwheel
