// The engine's construction, notices, suspend and resume, and the transport it takes
// from its host.

#include "engine/grain_engine.h"

#include <atomic>
#include <new>

namespace grainwheel {

GrainEngine::GrainEngine(EngineHost* host, float sampleRate) : host_(host) {
    // Engine start values are the member initialisers; the live values start at 0 and
    // the per-unit values at their neutral forms until program 0 is applied.
    for (int u = 0; u < kNumUnits; ++u) {
        params.unitTime[u] = 0.8f;
        params.unitSpeed[u] = 1.0f;
        params.unitPitch[u] = 1.0f;
        params.unitCutoff[u] = 1.0f;
    }
    seq.sampleRate = sampleRate;

    programs = new (std::nothrow) ProgramRecord[kNumPrograms];
    programClipboard = new (std::nothrow) ProgramRecord;
    if (programs)
        for (int i = 0; i < kNumPrograms; ++i) programs[i].initialise();
    if (programClipboard) programClipboard->initialise();
    if (programs && programClipboard) setProgram(0);
    makeSpare();
}

GrainEngine::~GrainEngine() {
    // The bank frees the buffers' arrays.
    currentLeft = nullptr;
    currentRight = nullptr;
    delete[] programs;
    programs = nullptr;
    delete programClipboard;
    programClipboard = nullptr;
}

void GrainEngine::notify(std::int32_t index, float value) {
    if (listener_ != nullptr) listener_->engineNotice(index, value);
}

void GrainEngine::postEditorUpdate() {
    if (listener_ != nullptr) listener_->engineRefresh();
}

void GrainEngine::suspend() {
    seq.halted = 1;
    bank_.gate().forgetAudioThread();
}

void GrainEngine::setWorkingRate(float sampleRate) {
    seq.sampleRate = sampleRate;
    requestRateConversion();
}

void GrainEngine::resume(float sampleRate) {
    setWorkingRate(sampleRate);
    // The buffer a take goes into reaches the new rate before any block records at it
    // (no block records between suspend() and the end of resume()); recording continues
    // in the converted arrays at the same moment of the take. The deferred work converts
    // the others.
    convertToWorkingRate(currentBuffer);
    setParameter(kBuffersChanged, 1.0f);
    seq.halted = 0;
}

bool GrainEngine::queryTransport(std::int32_t wanted, EngineTransport& t) {
    return host_ != nullptr && host_->transport(wanted, t);
}

// The record's copy of the saved flag is written whole: recording clears it on the audio
// thread.
void GrainEngine::markBufferSaved(int n) {
    if (n < 0 || n >= kNumBuffers) return;
    bank_.buffer(n).saved = 1;
    std::atomic_ref<std::uint8_t>(programs[n].bufferSaved).store(1, std::memory_order_relaxed);
}

void GrainEngine::keepRecordSaved(int n) {
    if (n < 0 || n >= kNumBuffers) return;
    std::atomic_ref<std::uint8_t>(programs[n].bufferSaved).store(bank_.buffer(n).saved, std::memory_order_relaxed);
}

void GrainEngine::occupyVoicesForBenchmark() {
    const BufferFrames frames = framesOf(bank_.buffer(currentBuffer));
    for (int i = 0; i < kNumVoices; ++i) {
        GrainStart s;
        s.bufferNumber = currentBuffer;
        s.bufferLength = frames.length;
        s.playPosition = static_cast<float>(i) * 7919.0f;
        s.grainLength = 1 << 30;
        s.envelopeType = kEnvTrapezoid;
        s.envSust = 0.999f;
        startGrain(voices.slots[i], s);
    }
    seq.activeVoices = kNumVoices;
    // No grain falls due while they sound: the run measures six voices between grain
    // starts (with every slot busy a due grain would be retried on every sample).
    seq.triggerCountdown = 1.0e9f;
}

}  // namespace grainwheel
