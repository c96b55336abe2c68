#pragma once
// The play head of a voice that reads a buffer of L frames: a position p in [0, L) and,
// for the interpolating readers, the index of the last frame fetched.
//
//   wrap:  p <- p + step has left [0, L): p <- p - L, the index moved back by L too. A step
//          longer than the buffer leaves p >= L still: then p <- p mod L at once, the index
//          moved back by as many whole lengths (wrapLongStep). One subtraction gives
//          exactly what repeated subtraction gives below 2^24 frames, so the common path
//          is one comparison.
//   fold:  p outside [0, L) (the buffer was replaced by a shorter one, or a damaged value
//          got in) becomes p mod L, or frame 0 where that is no number.

#include <cmath>

namespace grainwheel {

// A read position still at or past the end of a buffer of `length` frames after one
// wrap: the remainder at once, as many whole lengths off as repeated subtraction would
// take, and the last fetched index moved back as far (to -1 when that leaves the int
// range: below every frame either way). An infinite position goes to frame 0.
struct WrappedRead {
    float position;
    int lastIndex;
};
[[gnu::cold]] WrappedRead wrapLongStep(float position, int lastIndex, int length) noexcept;
// The position within [0, length) that a remainder by `length` (> 0) gives; NaN and
// infinities give 0.
float remainderInBuffer(float position, float length) noexcept;

struct PlayHead {
    // After a step, with the last fetched index (flen: the length as a float).
    static void wrap(float& position, int& lastIndex, int length, float flen) noexcept {
        if (position >= flen) {
            position -= flen;
            lastIndex -= length;
            if (position >= flen) [[unlikely]] {
                const WrappedRead w = wrapLongStep(position, lastIndex, length);
                position = w.position;
                lastIndex = w.lastIndex;
            }
        }
    }
    // After a step, for the readers that keep no index.
    static void wrap(float& position, float length) noexcept {
        if (position >= length) {
            position -= length;
            if (position >= length) position = remainderInBuffer(position, length);
        }
    }
    // Into [0, length); true where the position was outside.
    static bool fold(float& position, float length) noexcept {
        if (position >= 0.0f && position < length) return false;
        const float folded = std::fmod(position, length);
        position = (folded >= 0.0f && folded < length) ? folded : 0.0f;
        return true;
    }
};

}  // namespace grainwheel
