#pragma once
// Read-only view of one stereo audio buffer as the grain code sees it.

namespace grainwheel {

// Both arrays hold length + 1 frames: index `length` is the guard frame, a copy of
// frame 0, so that interpolation across the end may read it. An empty buffer has
// length 0 and may have null arrays; nothing reads them then.
struct BufferView {
    const float* left = nullptr;
    const float* right = nullptr;
    int length = 0;

    bool empty() const { return length <= 0 || left == nullptr || right == nullptr; }
};

struct StereoSample {
    float left = 0.0f;
    float right = 0.0f;
};

}  // namespace grainwheel
