#include "engine/rate_conversion.h"

#include <new>

#include "engine/conversions.h"
#include "engine/dsp/resampler.h"

namespace grainwheel {

std::int64_t convertedFrames(std::int64_t frames, int inRate, int outRate) {
    const Resampler resampler(inRate, outRate);
    return resampler.usable() ? resampler.outputFrames(frames) : 0;
}

RateConversion convertRate(BufferView in, int inRate, int outRate, ConvertedAudio& out) {
    out = ConvertedAudio{};
    const Resampler resampler(inRate, outRate);
    if (!resampler.usable() || in.empty()) return RateConversion::Unusable;
    std::int64_t inFrames = in.length;
    if (resampler.outputFrames(inFrames) > kMaxBufferFrames) {
        // The longest input whose conversion still fits.
        inFrames = static_cast<std::int64_t>(static_cast<double>(kMaxBufferFrames) * inRate / outRate);
        while (inFrames > 1 && resampler.outputFrames(inFrames) > kMaxBufferFrames) --inFrames;
    }
    const std::int64_t frames = resampler.outputFrames(inFrames);
    const auto size = static_cast<std::size_t>(frames) + 1;
    float* left = new (std::nothrow) float[size];
    float* right = new (std::nothrow) float[size];
    if (left == nullptr || right == nullptr) {
        delete[] left;
        delete[] right;
        return RateConversion::OutOfMemory;
    }
    resampler.convertLooped(in.left, inFrames, left);
    resampler.convertLooped(in.right, inFrames, right);
    left[frames] = left[0];
    right[frames] = right[0];
    out.left = left;
    out.right = right;
    out.frames = static_cast<int>(frames);
    out.inputFrames = static_cast<int>(inFrames);
    return RateConversion::Converted;
}

}  // namespace grainwheel
