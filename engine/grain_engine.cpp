// The engine's construction, notices, suspend and resume, the transport it takes from
// its host, the parameter entry and the work handed off the audio thread.

#include "engine/grain_engine.h"

#include <atomic>
#include <new>

namespace grainwheel {

GrainEngine::GrainEngine(EngineHost* host, float sampleRate) : host_(host) {
    // Engine start values are the member initialisers; the parameter model's live values
    // start at 0 and the per-unit values at their neutral forms until program 0 is applied.
    seq.sampleRate = sampleRate;
    if (programs_.usable()) params.applyProgram(0);
    makeSpare();
}

GrainEngine::~GrainEngine() {
    // The bank frees the buffers' arrays, the program bank its records.
    currentLeft = nullptr;
    currentRight = nullptr;
}

void GrainEngine::notify(std::int32_t index, float value) {
    if (listener_ != nullptr) listener_->engineNotice(index, value);
}

void GrainEngine::refresh() {
    if (listener_ != nullptr) listener_->engineRefresh();
}

void GrainEngine::automated(int index, float value) {
    if (host_ != nullptr) host_->automated(index, value);
}

void GrainEngine::setParameter(std::int32_t index, float value) {
    if (!usable()) return;  // an engine whose construction ran out of memory
    if ((index == kRecFree || index == kRecSync || index == kKillBufr) && deferFromAudioThread(index, value)) return;
    params.set(index, value);
}

// A host automating rec free, rec sync or kill buffer from its audio thread: the rec
// modes take the spare there (see allocateBuffer); what would allocate or ask there (a rec
// mode while no spare is ready, kill buffer's question) is taken now in value and left to
// runDeferred().
bool GrainEngine::deferFromAudioThread(int index, float value) {
    if (!onAudioThread()) return false;
    std::uint32_t bit = 0;
    switch (index) {
    case kRecFree:
        if (value == 0.0f || !framesOf(bank_.buffer(currentBuffer)).empty() || bank_.spareReady()) return false;
        params.live[kRecFree] = value;
        bit = kDeferRecFree;
        deferredValues_[0] = value;
        break;
    case kRecSync:
        if (value == 0.0f || bank_.spareReady()) return false;
        params.live[kRecSync] = value;
        bit = kDeferRecSync;
        deferredValues_[1] = value;
        break;
    default:
        if (value != 1.0f) return false;
        bit = kDeferKillBuffer;
        break;
    }
    deferred_.fetch_or(bit, std::memory_order_release);
    return true;
}

bool GrainEngine::runDeferred() {
    const std::unique_lock<std::mutex> running(deferredLock_, std::try_to_lock);
    if (!running.owns_lock()) return false;  // the other caller is at it
    const std::uint32_t work = deferred_.exchange(0, std::memory_order_acquire);
    if (work & kDeferSpare) makeSpare();
    // The host may have switched the mode off again meanwhile: only a value still in
    // force runs.
    if ((work & kDeferRecFree) && params.live[kRecFree] != 0.0f) setParameter(kRecFree, deferredValues_[0]);
    if ((work & kDeferRecSync) && params.live[kRecSync] != 0.0f) setParameter(kRecSync, deferredValues_[1]);
    if (work & kDeferKillBuffer) setParameter(kKillBufr, 1.0f);
    if (work & kDeferRates) convertBuffersToWorkingRate();
    return work != 0;
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
    programs_.storeSaved(n, 1);
}

void GrainEngine::keepRecordSaved(int n) {
    if (n < 0 || n >= kNumBuffers) return;
    programs_.storeSaved(n, bank_.buffer(n).saved);
}

// Record k's rate tells buffer k's, whatever the record came from.
void GrainEngine::storeRecord(int k, const ProgramRecord& from) {
    if (k < 0 || k >= kNumPrograms) return;
    programs_.store(k, from, bank_.buffer(k).rate.load(std::memory_order_acquire));
}

}  // namespace grainwheel
