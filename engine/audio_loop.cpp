// The audio loop: the host's process callbacks, the 16-step sequencer in step with the
// host's beat, the play head, grain starts (with the spectral morph's trigger
// dispatch), the output stage and the scope capture.
//
// Everything here runs on the host's audio thread and neither allocates, locks nor makes
// a system call; the one call out is the host time query at the start of a block.
// Buffers and voices are read only in blocks that found the buffer gate open.

#include <algorithm>
#include <climits>
#include <cmath>

#include "engine/conversions.h"
#include "engine/dsp/denormals.h"
#include "engine/dsp/soft_clip.h"
#include "engine/dsp/voice_block.h"
#include "engine/grain_engine.h"

namespace grainwheel {

namespace {

constexpr std::int32_t kTimeQueryMask = EngineTransport::kPpqValid | EngineTransport::kTempoValid |
                                        EngineTransport::kBarsValid | EngineTransport::kTimeSigValid;
constexpr double kWindowPeriod = 4121.0; // Hann window period of the sum spectrum

// The window oscillator at its start, in double precision with the stored pi.
constexpr double kStoredPiDouble = static_cast<double>(kStoredPi);

CosineOscillator windowStart() noexcept GW_NONBLOCKING {
    return CosineOscillator::starting(2.0 * kStoredPiDouble / kWindowPeriod);
}

// A setting value as an index in [lo, hi]; NaN and values out of range are clamped.
inline int settingIn(float v, int lo, int hi) noexcept GW_NONBLOCKING { return truncClamped(v, lo, hi); }

}  // namespace

// What one block reads once at its start, and its running values.
struct GrainEngine::BlockContext {
    bool open = false;               // the buffer gate answered true
    BufferView views[kNumBuffers];   // every buffer as the voices read it
    BufferFrames current;            // the current buffer, for recording
    int currentIndex = 0;
    int voiceCount = kNumVoices;
    int envelopeType = kEnvTrapezoid;
    float envSust = 0.0f;
    PlaybackMode playbackMode = PlaybackMode::Loop;
    ScopeMode scopeMode = ScopeMode::TimeGrain;
    int morphAlgorithm = kMorphOff;
    int morphStepsize = 0;
    bool trigmode = false;
    bool monitor = false;
    float gain = 0.0f;
    float peak = 0.0f;
    float written = 0.0f;  // the sum of the output samples: not finite once one of them is not
    CosineOscillator window{};

    void refreshCurrent(GrainEngine& fx) noexcept GW_NONBLOCKING {
        currentIndex = std::clamp(fx.currentBuffer.load(), 0, kNumBuffers - 1);
        current = open ? fx.bank_.held(currentIndex) : BufferFrames{};
    }
};

void GrainEngine::process(float** inputs, float** outputs, std::int32_t sampleFrames) {
    processReplacing(inputs, outputs, sampleFrames);  // never accumulates
}

void GrainEngine::processReplacing(float** inputs, float** outputs, std::int32_t sampleFrames) {
    if (sampleFrames <= 0) return;
    ScopedFlushDenormals flushDenormals;
    float* outLeft = outputs ? outputs[0] : nullptr;
    float* outRight = outputs ? outputs[1] : nullptr;
    const float* inLeft = inputs ? inputs[0] : nullptr;
    const float* inRight = inputs ? inputs[1] : nullptr;
    if (inRight == nullptr) inRight = inLeft;  // a mono input feeds both channels

    BufferGate& gate = bank_.gate();
    BlockContext b;
    b.open = gate.enterBlock();
    // The buffers' published records and what other threads handed over, taken whole.
    if (b.open) applyHandOver(gate.takeHandOver());
    if (!blockStart(sampleFrames, b)) {
        for (std::int32_t i = 0; i < sampleFrames; ++i) {
            if (outLeft) outLeft[i] = 0.0f;
            if (outRight) outRight[i] = 0.0f;
        }
        gate.leaveBlock();
        display_.publishBlock(*this, 0.0f);
        return;
    }

    const float gainHalted = b.gain;
    for (std::int32_t i = 0; i < sampleFrames; ++i) {
        if (const int done = quietRun(b, inLeft, inRight, outLeft, outRight, i, sampleFrames - i); done > 0) {
            i += done - 1;
            continue;
        }
        const float inL = inLeft ? inLeft[i] : 0.0f;
        const float inR = inRight ? inRight[i] : 0.0f;
        float outL = 0.0f;
        float outR = 0.0f;

        if (seq.halted != 0 || !b.open) {
            if (b.monitor) {
                outL = inL * gainHalted;
                outR = inR * gainHalted;
                b.peak = std::max(b.peak, std::max(SoftClip::magnitude(outL), SoftClip::magnitude(outR)));
            }
        } else {
            // Unit boundary, met at the exact sample.
            if (seq.unitCountdown < 1) {
                if (seq.nextUnit()) sequenceEnd(b);
                unitSetup(b);
                if (morphing.morphWait == 0) seq.triggerCountdown = 0.0f;
            }
            seq.unitCountdown -= 1;
            if (seq.halted != 0) {  // the sequence end stopped the engine: nothing starts now
                if (outLeft) outLeft[i] = 0.0f;
                if (outRight) outRight[i] = 0.0f;
                continue;
            }

            recordOneFrame(b.current, inL, inR);

            // Voice pass: a due grain starts on the first idle voice; later voices see
            // the new countdown. With no voice idle the start waits for the next sample.
            float sumL = 0.0f;
            float sumR = 0.0f;
            for (int v = 0; v < b.voiceCount; ++v) {
                if (seq.triggerCountdown <= 0.0f) {
                    seq.triggerCountdown = -1.0f;
                    if (voices.slots[v].idle()) triggerVoice(v, b);
                }
                GrainVoice& voice = voices.slots[v];
                if (voice.idle()) continue;
                const int source = voice.buffer;
                const BufferView view =
                    (source >= 0 && source < kNumBuffers) ? b.views[source] : BufferView{};
                const StereoSample s = renderVoiceSample(voice, view, seq.grainPitch, b.envelopeType);
                sumL += s.left;
                sumR += s.right;
                if (capture.follows(v)) capture.grainSample(b.scopeMode, s.left, s.right);
                if (voice.idle()) voiceEnded(v, b);
            }

            float l = sumL;
            float r = sumR;
            voices.pitchFilter.run(l, r, seq.grainPitch);
            voices.resonantFilter.run(l, r);
            if (b.scopeMode == ScopeMode::TimeSum || b.scopeMode == ScopeMode::FreqSum)
                capture.sumSample(b.scopeMode, l, r, b.window, transform);
            seq.triggerCountdown -= 1.0f;
            seq.advanceHead(b.current.length, stopsAtBufferEnd(b.playbackMode), [&]() noexcept { restartHead(b); });
            outputStage(b, l, r, inL, inR, outL, outR);
        }
        if (outLeft) outLeft[i] = outL;
        if (outRight) outRight[i] = outR;
        b.written += outL + outR;
    }
    // One test per block: only a block that let a non-finite sample through is searched.
    if (!std::isfinite(b.written)) [[unlikely]]
        silenceFromNonFinite(b, outLeft, outRight, sampleFrames);

    // The editor reads and resets the meter: raise it, never lower it.
    std::atomic<float>& meter = *seq.peakLevel.address();
    float seen = meter.load(std::memory_order_relaxed);
    while (b.peak > seen && !meter.compare_exchange_weak(seen, b.peak, std::memory_order_relaxed)) {
    }
    gate.leaveBlock();
    display_.publishBlock(*this, b.peak);
}

// A block let a sample that is not finite through (a value no entry path can store, or
// a state that went wrong): from the first such sample on the block is silent, and the
// filters and voices start afresh, so the next block plays cleanly.
void GrainEngine::silenceFromNonFinite(BlockContext& b, float* outLeft, float* outRight, int count) noexcept {
    int from = 0;
    while (from < count && (!outLeft || std::isfinite(outLeft[from])) && (!outRight || std::isfinite(outRight[from])))
        ++from;
    if (from == count) return;  // finite samples whose sum overflowed
    for (int i = from; i < count; ++i) {
        if (outLeft) outLeft[i] = 0.0f;
        if (outRight) outRight[i] = 0.0f;
    }
    voices.pitchFilter.reset();
    voices.resonantFilter.reset();
    if (!b.open) return;  // the voices are not this block's to touch
    for (GrainVoice& v : voices.slots) resetVoice(v);
    seq.activeVoices = 0;
    capture.dropFollowedGrain();
}

// Output stage: gain, meter and soft clipper, or the input unchanged with monitor on.
inline void GrainEngine::outputStage(BlockContext& b, float l, float r, float inL, float inR, float& outL,
                                     float& outR) noexcept {
    if (b.monitor) {
        outL = inL;
        outR = inR;
        return;
    }
    const float xl = l * b.gain;
    const float xr = r * b.gain;
    b.peak = std::max(b.peak, std::max(SoftClip::magnitude(xl), SoftClip::magnitude(xr)));
    outL = SoftClip::apply(xl);
    outR = SoftClip::apply(xr);
}

// A stretch of samples in which no grain starts, no unit boundary falls, nothing is
// recorded, no grain capture runs and no stop rule can halt: the voices render it voice
// by voice (the same values, summed in the same order, as sample by sample), then the
// filters; the sum capture, the head and the output stage run per sample, or over the
// stretch in locals when no sum capture and no monitor apply. Returns the samples done,
// 0 when the stretch does not apply at this sample.
int GrainEngine::quietRun(BlockContext& b, const float* inLeft, const float* inRight, float* outLeft,
                          float* outRight, int at, int count) noexcept {
    constexpr int kMaxRun = 256;
    if (seq.halted != 0 || !b.open) return 0;
    if (capture.stage() == CaptureStage::Filling && (b.scopeMode != ScopeMode::FreqSum || capture.capturedVoice >= 0))
        return 0;
    if (params.live[kRecFree] != 0.0f || params.live[kRecSync] != 0.0f || recorder_.fadingOut()) return 0;
    if (b.trigmode && stopsAtBufferEnd(b.playbackMode)) return 0;
    const float due = seq.triggerCountdown;
    if (!(due >= 2.0f) || seq.unitCountdown < 2) return 0;
    int run = std::min(count, kMaxRun);
    run = std::min(run, seq.unitCountdown);
    if (due < static_cast<float>(run)) run = static_cast<int>(due);

    float sumL[kMaxRun];
    float sumR[kMaxRun];
    std::fill(sumL, sumL + run, 0.0f);
    std::fill(sumR, sumR + run, 0.0f);
    const unsigned ended = renderVoiceStretch(voices.slots, b.voiceCount, b.views, kNumBuffers, seq.grainPitch,
                                              b.envelopeType, sumL, sumR, run);
    for (int v = 0; v < b.voiceCount; ++v)
        if ((ended >> v) & 1u) voiceEnded(v, b);
    // The two filters keep their own states only, so each may run over the stretch in
    // turn: the same values as both per sample.
    runOutputFilters(voices.pitchFilter, voices.resonantFilter, sumL, sumR, run, seq.grainPitch);
    const bool sumScope = b.scopeMode == ScopeMode::TimeSum || b.scopeMode == ScopeMode::FreqSum;
    if (!sumScope && !b.monitor) {
        // Without the sum capture and monitor the bookkeeping runs over the stretch in
        // locals and is published once.
        seq.unitCountdown -= run;
        float countdown = due;
        for (int k = 0; k < run; ++k) countdown -= 1.0f;  // one by one: a large countdown absorbs a 1
        seq.triggerCountdown = countdown;
        const bool restarts = stopsAtBufferEnd(b.playbackMode);
        HeadRun head{seq.playPosition, static_cast<float>(seq.headRun) * seq.headSpeed, b.current.length, restarts,
                     static_cast<float>(b.current.length) * bufferStartOf(b.currentIndex)};
        advanceHeadRun(head, run);
        seq.playPosition = head.position;
        b.peak = outputRun(sumL, sumR, run, b.gain, b.peak, outLeft ? outLeft + at : nullptr,
                           outRight ? outRight + at : nullptr, &b.written);
        return run;
    }
    for (int k = 0; k < run; ++k) {
        seq.unitCountdown -= 1;
        const float l = sumL[k];
        const float r = sumR[k];
        if (sumScope) capture.sumSample(b.scopeMode, l, r, b.window, transform);
        seq.triggerCountdown -= 1.0f;
        seq.advanceHead(b.current.length, stopsAtBufferEnd(b.playbackMode), [&]() noexcept { restartHead(b); });
        const int i = at + k;
        float outL = 0.0f;
        float outR = 0.0f;
        outputStage(b, l, r, inLeft ? inLeft[i] : 0.0f, inRight ? inRight[i] : 0.0f, outL, outR);
        if (outLeft) outLeft[i] = outL;
        if (outRight) outRight[i] = outR;
        b.written += outL + outR;
    }
    return run;
}

// Block start. False: the transport stands still and the block is silent.
bool GrainEngine::blockStart(std::int32_t sampleFrames, BlockContext& b) noexcept {
    GW_BLOCKING_ALLOWED_BEGIN
    if (EngineTransport t; queryTransport(kTimeQueryMask, t)) hostTime.take(t);
    GW_BLOCKING_ALLOWED_END

    b.trigmode = params.live[kTrigmode] != 0.0f;
    b.monitor = params.live[kMonitor] != 0.0f;
    b.gain = seq.mainGain;
    b.voiceCount = std::clamp(seq.voiceCount.load(), 1, kNumVoices);
    b.envelopeType = settingIn(params.settings[kEnvelopeType], 0, 3);
    b.envSust = params.live[kEnvSust];
    b.playbackMode = static_cast<PlaybackMode>(settingIn(params.settings[kPlaybackMode], 0, 3));
    b.scopeMode = static_cast<ScopeMode>(settingIn(params.settings[kScopeViewMode], 0, 4));
    b.morphAlgorithm = settingIn(params.settings[kMorphAlgorithm], 0, 3);
    b.morphStepsize = settingIn(params.settings[kMorphStepsize], 0, 19);
    b.window = windowStart();
    if (b.open)
        for (int n = 0; n < kNumBuffers; ++n) b.views[n] = bank_.held(n).view();
    if (b.open && b.morphAlgorithm == kMorphOff) abandonMorph();
    b.refreshCurrent(*this);

    const float rate = seq.sampleRate;
    const double tempo = hostTime.tempo;  // always above 0: lower tempos are not taken
    if (params.live[kUnitDura] < 0.125f && rate > 0.0f)
        seq.unitLengthBeats =
            static_cast<float>(tempo * currentLength.load() / (static_cast<double>(rate) * 960.0));
    if (seq.alignToHost(hostTime, b.trigmode, sampleFrames)) sequenceEnd(b);
    unitSetup(b);

    if (hostTime.playing == 0 && !b.trigmode) return false;
    // A start position that was NaN (a grain start takes a NaN head as frame 0 meanwhile).
    if (std::isnan(seq.playPosition.load())) seq.playPosition = 0.0f;
    if (seq.headSpeed == 1.0f) seq.playPosition = std::trunc(seq.playPosition.load());
    return true;
}

void GrainEngine::unitSetup(const BlockContext& b) noexcept {
    const int u = std::clamp(seq.currentUnit.load(), 0, kNumUnits - 1);
    const int interval = truncClamped(static_cast<float>(seq.samplesPerUnit) * params.unitTime[u], 0, INT_MAX - 1) + 1;
    seq.grainInterval = interval;
    if (setting(kTimeFaderValues) > 1) {
        const float linked = 1.0f - params.live[kTime + u];
        seq.linkedDensity = linked;
        params.densityFactor = convertDensity(linked);
    }
    const int length = truncClamped(static_cast<float>(interval) * params.densityFactor, 0, INT_MAX);
    seq.grainLength = length;
    seq.grainLengthFloat = static_cast<float>(length);
    if (setting(kSpeedFaderRange) == 4) {
        seq.headSpeed = 0.0f;
        seq.playPosition = static_cast<float>(b.current.length - 1) * params.live[kSpeed + u];
    } else {
        seq.headSpeed = boundedStep(params.unitSpeed[u]);
    }
    // A host may set any unit value: a step far beyond every buffer is bounded.
    seq.grainPitch = boundedStep(params.unitPitch[u]);
    if (seq.grainPitch != seq.previousGrainPitch && seq.grainPitch < 1.0f)
        voices.pitchFilter.design(seq.grainPitch);
    seq.previousGrainPitch = seq.grainPitch;
    voices.resonantFilter.setCutoff(params.unitCutoff[u]);
}

// The end of the 16-unit sequence in Playback Modes 2 and 3.
void GrainEngine::sequenceEnd(BlockContext& b) noexcept {
    if (!stopsAtSequenceEnd(b.playbackMode)) return;
    if (b.trigmode) {
        seq.halted = 1;
        silenceVoices(b);
    }
    seq.playPosition = static_cast<float>(b.current.length) * bufferStartOf(b.currentIndex);
}

// The head left the buffer in Playback Modes 1 and 3.
void GrainEngine::restartHead(BlockContext& b) noexcept {
    seq.playPosition = static_cast<float>(b.current.length) * bufferStartOf(b.currentIndex);
    if (b.trigmode) {
        seq.halted = 1;
        silenceVoices(b);
    }
}

// The stop rules silence every voice. Each slot ends as a voice that has played out
// (render mode back to normal, not counted as active) and a single-grain capture that
// was following one of them is given up, so the next grain arms it again.
void GrainEngine::silenceVoices(BlockContext& b) noexcept {
    if (!b.open) return;
    for (GrainVoice& v : voices.slots) stopVoice(v);
    seq.activeVoices = 0;
    capture.dropFollowedGrain();
}

void GrainEngine::afterGrainStart(int i) noexcept {
    seq.triggerCountdown = static_cast<float>(seq.grainInterval.load());
    capture.grainStarted(i, seq.grainLength, static_cast<ScopeMode>(setting(kScopeViewMode)));
    seq.activeVoices = seq.activeVoices + 1;
}

// Starts a grain on idle voice i when one is due, through the morph when it is on.
void GrainEngine::triggerVoice(int i, BlockContext& b) noexcept {
    GrainVoice& v = voices.slots[i];
    GrainStart start;
    start.bufferNumber = b.currentIndex;
    start.bufferLength = b.current.length;
    start.playPosition = seq.playPosition;
    start.grainLength = seq.grainLength;
    start.envelopeType = b.envelopeType;
    start.envSust = b.envSust;

    const auto normalStart = [&]() noexcept {
        if (startGrain(v, start)) afterGrainStart(i);
    };
    if (b.morphAlgorithm == kMorphOff) {
        normalStart();
        return;
    }
    const BufferView view = b.views[b.currentIndex];
    const bool scopeGrain = b.scopeMode == ScopeMode::FreqGrain;
    const auto morphScope = [&]() noexcept { capture.takeValues(morphing.scopeValues()); };
    const auto synthesise = [&]() noexcept {
        if (morphing.synthesise(v, b.morphAlgorithm, b.morphStepsize, transform, scopeGrain, seq).scopeReady)
            morphScope();
    };

    int pending = -1;
    const MorphStart next = morphing.dispatch(pending);
    switch (next) {
    case MorphStart::Normal: normalStart(); break;
    case MorphStart::Target:
        if (!startMorphGrain(v, start)) return;
        afterGrainStart(i);
        morphing.analyseTarget(v, view, seq.grainPitch, b.envelopeType, transform);
        synthesise();
        break;
    case MorphStart::Next:
    case MorphStart::Held:
        if (!startMorphGrain(v, start)) return;
        afterGrainStart(i);
        if (next == MorphStart::Next) synthesise();
        break;
    case MorphStart::Wait: morphing.wait(seq); break;
    case MorphStart::Source: {
        if (!startMorphGrain(v, start)) return;
        afterGrainStart(i);
        if (morphing.analyseSource(v, view, seq.grainPitch, b.envelopeType, transform, scopeGrain, seq))
            morphScope();
        selectBufferInBlock(pending);
        morphing.morphWait = 0;
        b.refreshCurrent(*this);
        break;
    }
    }
}

// Morph Algorithm was switched off while a morph was armed or under way: the pending
// buffer becomes current now and the head moves again (otherwise it would stay frozen).
void GrainEngine::abandonMorph() noexcept {
    if (const int pending = morphing.abandon(seq); pending >= 0) selectBufferInBlock(pending);
}

void GrainEngine::voiceEnded(int i, BlockContext& b) noexcept {
    voices.slots[i].renderMode = kRenderBuffer;
    seq.activeVoices = std::max(seq.activeVoices.load() - 1, 0);
    capture.voiceEnded(i, b.scopeMode, morphing.morphState == MorphStage::Idle, transform);
}

void GrainEngine::recordOneFrame(const BufferFrames& frames, float inLeft, float inRight) noexcept {
    const bool recFree = params.live[kRecFree] != 0.0f;
    const bool recSync = params.live[kRecSync] != 0.0f;
    if (recorder_.record(frames, recFree, recSync, inLeft, inRight) == RecordEvent::SyncFinished)
        finishSyncedRecording();
}

}  // namespace grainwheel
