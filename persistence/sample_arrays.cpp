#include "persistence/sample_arrays.h"

#include <new>

namespace grainwheel {

bool SampleArrays::allocate(int frames) {
    clear();
    if (frames <= 0 || frames > kMaxReadFrames) return false;
    const auto count = static_cast<std::size_t>(frames) + 1;
    left.reset(new (std::nothrow) float[count]());
    right.reset(new (std::nothrow) float[count]());
    if (!left || !right) {
        clear();
        return false;
    }
    length = frames;
    return true;
}

void SampleArrays::clear() {
    left.reset();
    right.reset();
    length = 0;
}

void SampleArrays::setGuardFrame() {
    if (length <= 0) return;
    left[length] = left[0];
    right[length] = right[0];
}

}  // namespace grainwheel
