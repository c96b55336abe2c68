#include "resources/bitmap_resources.h"

#include <cstddef>

namespace grainwheel {

// Defined by the source that the build generates from resources/bitmaps/*.png, sorted by id.
extern const BitmapResource kEmbeddedBitmaps[];
extern const std::size_t kEmbeddedBitmapCount;

const BitmapResource* findBitmapResource(int id) {
    std::size_t lo = 0, hi = kEmbeddedBitmapCount;
    while (lo < hi) {
        std::size_t mid = lo + (hi - lo) / 2;
        if (kEmbeddedBitmaps[mid].id < id) lo = mid + 1;
        else hi = mid;
    }
    if (lo < kEmbeddedBitmapCount && kEmbeddedBitmaps[lo].id == id) return &kEmbeddedBitmaps[lo];
    return nullptr;
}

} // namespace grainwheel
