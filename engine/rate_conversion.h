#pragma once
// Bringing a buffer's audio from the rate it was recorded or loaded at to another (the
// engine's working rate): the loaders' conversion and the one after a host changed the
// working rate. Off the audio thread only: it allocates and runs the Resampler.

#include <cstdint>

#include "engine/dsp/buffer_view.h"

namespace grainwheel {

// New arrays for a buffer (frames + 1 floats each, allocated with new[], guard frame set),
// owned by the caller until handed to GrainEngine::replaceBufferArrays.
struct ConvertedAudio {
    float* left = nullptr;
    float* right = nullptr;
    int frames = 0;
    int inputFrames = 0;  // the input frames converted: all of them unless the result was cut
};

enum class RateConversion {
    Converted,    // `out` holds the audio at outRate
    Unusable,     // a rate outside kMinBufferRate..kMaxBufferRate: nothing converted, the audio stays as it is
    OutOfMemory,  // nothing converted
};

// Converts `in` (not empty) from inRate to outRate, the audio taken as looping as the
// buffer plays it. At most kMaxBufferFrames frames come out: a longer result is cut by
// cutting the input first, so the conversion loops where the cut buffer does.
RateConversion convertRate(BufferView in, int inRate, int outRate, ConvertedAudio& out);

// The frames `frames` input frames at inRate become at outRate (before the cap), as the
// conversion computes them; 0 when a rate is unusable.
std::int64_t convertedFrames(std::int64_t frames, int inRate, int outRate);

}  // namespace grainwheel
