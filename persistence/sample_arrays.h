#pragma once
// The sample data of one stereo audio buffer as the file readers hand it over: two arrays of
// length + 1 floats, the last frame (the guard frame) a copy of frame 0.

#include <memory>

// BufferView, the read-only look at a buffer that a writer stores, is the engine's.
#include "engine/dsp/buffer_view.h"

namespace grainwheel {

constexpr int kMaxBufferFrames = 882000;      // 20 s at 44.1 kHz
constexpr int kDefaultBufferFrames = 176400;  // 4 s at 44.1 kHz

// Newly allocated arrays owned by a reader's result until the effect installs them
// (release() both pointers; they were allocated with new[] and are freed with delete[]).
struct SampleArrays {
    std::unique_ptr<float[]> left;
    std::unique_ptr<float[]> right;
    int length = 0;  // frames; 0 = empty (both arrays null)
    int rate = 44100;  // frames per second the samples were recorded at (a file's own rate)

    // Replaces the arrays with zeroed ones of frames + 1 floats. On failure leaves it empty.
    bool allocate(int frames);
    void clear();
    // Copies frame 0 into the guard frame.
    void setGuardFrame();
    bool empty() const { return length == 0; }
};

inline BufferView viewOf(const SampleArrays& a) { return {a.left.get(), a.right.get(), a.length}; }

}  // namespace grainwheel
