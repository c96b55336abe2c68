// The rate of the buffers' audio: the working rate, and converting the buffers to it after
// the host changed it.

#include <atomic>
#include <cmath>

#include "engine/grain_engine.h"
#include "engine/rate_conversion.h"

namespace grainwheel {

int GrainEngine::workingRate() const {
    const float rate = seq.sampleRate;
    if (!(rate >= 1.0f && rate <= static_cast<float>(1 << 24))) return kDefaultBufferRate;
    return static_cast<int>(std::lround(rate));
}

void GrainEngine::storeRecordRate(int n, int rate) noexcept {
    if (programs == nullptr || n < 0 || n >= kNumBuffers) return;
    const int value = storedRateValue(rate);
    for (int i = 0; i < 3; ++i)
        std::atomic_ref<std::uint8_t>(programs[n].bufferRate[i])
            .store(static_cast<std::uint8_t>((value >> (8 * i)) & 0xff), std::memory_order_relaxed);
}

void GrainEngine::requestRateConversion() {
    const int target = workingRate();
    for (const AudioBuffer& b : audioBuffers) {
        const int rate = b.rate.load(std::memory_order_acquire);
        if (rate > 0 && rate != target) {
            deferred_.fetch_or(kDeferRates, std::memory_order_release);
            return;
        }
    }
}

// Runs inside runDeferred (one caller at a time), and in resume() for the current buffer.
// Each buffer's `writing` flag is held while its arrays are read and converted: no other
// thread replaces (and frees) them meanwhile, and the audio thread's rec free / rec sync
// does not take the spare into it. The current buffer goes first: a take may go on in it.
void GrainEngine::convertBuffersToWorkingRate() {
    bool converted = false;
    const int current = currentBuffer;
    for (int k = 0; k < kNumBuffers; ++k) converted |= convertToWorkingRate((current + k) % kNumBuffers);
    if (converted) notify(kBuffersChanged, 1.0f);
}

bool GrainEngine::convertToWorkingRate(int n) {
    const int target = workingRate();
    AudioBuffer& buffer = audioBuffers[n];
    const std::unique_lock<std::mutex> reads = holdBufferReads();  // no writer reads it now
    claimWriting(buffer);
    std::uint32_t generation = 0;
    const BufferFrames frames = framesOf(buffer, &generation);
    const int rate = buffer.slots[generation & 1u].rate.load(std::memory_order_relaxed);
    ConvertedAudio out;
    RateConversion result = RateConversion::Unusable;
    if (!frames.empty() && rate > 0 && rate != target) result = convertRate(frames.view(), rate, target, out);
    if (result != RateConversion::Converted) {
        buffer.writing.store(false, std::memory_order_release);
        // Memory short: tried again at the next run. A rate the converter cannot take
        // stays as it is (the audio plays at its own pitch).
        if (result == RateConversion::OutOfMemory) deferred_.fetch_or(kDeferRates, std::memory_order_release);
        return false;
    }
    // The record published next (this thread holds `writing`) comes from this conversion:
    // a recording into it goes on at the same moment of the take (takeArrays).
    convertedFrom_[n].store((static_cast<std::uint64_t>(generation + 1u) << 32) |
                                static_cast<std::uint32_t>(out.inputFrames),
                            std::memory_order_relaxed);
    publishClaimed(n, out.left, out.right, out.frames, target, 0);
    return true;
}

}  // namespace grainwheel
