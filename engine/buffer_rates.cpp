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

void GrainEngine::requestRateConversion() {
    if (bank_.anyAtOtherRate(workingRate())) deferred_.fetch_or(kDeferRates, std::memory_order_release);
}

// Runs inside runDeferred (one caller at a time), and in resume() for the current buffer.
// The current buffer goes first: a take may go on in it.
void GrainEngine::convertBuffersToWorkingRate() {
    bool converted = false;
    const int current = currentBuffer;
    for (int k = 0; k < kNumBuffers; ++k) converted |= convertToWorkingRate((current + k) % kNumBuffers);
    if (converted) notify(kBuffersChanged, 1.0f);
}

bool GrainEngine::convertToWorkingRate(int n) {
    const int target = workingRate();
    const std::unique_lock<std::mutex> reads = bank_.holdReads();  // no writer reads it now
    ConvertedAudio out;
    const RateConversion result = bank_.convert(n, target, out);
    if (result != RateConversion::Converted) {
        // Memory short: tried again at the next run. A rate the converter cannot take
        // stays as it is (the audio plays at its own pitch).
        if (result == RateConversion::OutOfMemory) deferred_.fetch_or(kDeferRates, std::memory_order_release);
        return false;
    }
    // A recording into the converted record goes on at the same moment of the take
    // (takeArrays).
    publishClaimed(n, out.left, out.right, out.frames, target, 0);
    return true;
}

}  // namespace grainwheel
