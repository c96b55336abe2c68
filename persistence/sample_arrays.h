#pragma once
// The sample data of one stereo audio buffer as the file readers hand it over: two arrays of
// length + 1 floats, the last frame (the guard frame) a copy of frame 0.

#include <memory>

// BufferView, the read-only look at a buffer that a writer stores, is the engine's.
#include "engine/dsp/buffer_limits.h"
#include "engine/dsp/buffer_view.h"

namespace grainwheel {

// A WAV file may have any rate a buffer may be at, kMinBufferRate to kMaxBufferRate (the
// reader does not resample: the file's rate comes back in SampleArrays::rate).
// A file gives at most its first 20 seconds, at its own rate: kMaxBufferFrames frames at
// 44.1 kHz (so those files load exactly as ever), and a buffer's worth once resampled to a
// 44.1 kHz session. The largest, 7680000 frames at 384 kHz, is 61 MB of floats.
constexpr int kMaxReadSeconds = 20;
static_assert(kMaxBufferFrames == kMaxReadSeconds * 44100);
constexpr int maxReadFrames(int rate) {
    return kMaxReadSeconds * (rate < kMinBufferRate ? kMinBufferRate : rate > kMaxBufferRate ? kMaxBufferRate : rate);
}
constexpr int kMaxReadFrames = maxReadFrames(kMaxBufferRate);

// Newly allocated arrays owned by a reader's result until the effect installs them
// (release() both pointers; they were allocated with new[] and are freed with delete[]).
struct SampleArrays {
    std::unique_ptr<float[]> left;
    std::unique_ptr<float[]> right;
    int length = 0;  // frames; 0 = empty (both arrays null)
    int rate = 44100;  // frames per second the samples were recorded at (a file's own rate)

    // Replaces the arrays with zeroed ones of frames + 1 floats (1..kMaxReadFrames frames).
    // On failure leaves it empty.
    bool allocate(int frames);
    void clear();
    // Copies frame 0 into the guard frame.
    void setGuardFrame();
    bool empty() const { return length == 0; }
};

inline BufferView viewOf(const SampleArrays& a) { return {a.left.get(), a.right.get(), a.length}; }

}  // namespace grainwheel
