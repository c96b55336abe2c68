#include "resources/bitmap_resources.h"

#include <cstddef>

namespace grainwheel {

// Defined by the source that the build generates from resources/bitmaps/*.png, sorted by id.
extern const BitmapResource kEmbeddedBitmaps[];
extern const std::size_t kEmbeddedBitmapCount;
extern const BitmapResource kEmbeddedBitmaps2x[];
extern const std::size_t kEmbeddedBitmapCount2x;

const BitmapResource* findBitmapResource(int id, int scale) {
    const BitmapResource* const table = scale == 2 ? kEmbeddedBitmaps2x : kEmbeddedBitmaps;
    const std::size_t count = scale == 2 ? kEmbeddedBitmapCount2x : kEmbeddedBitmapCount;
    if (scale != 1 && scale != 2) return nullptr;
    std::size_t lo = 0, hi = count;
    while (lo < hi) {
        std::size_t mid = lo + (hi - lo) / 2;
        if (table[mid].id < id) lo = mid + 1;
        else hi = mid;
    }
    if (lo < count && table[lo].id == id) return &table[lo];
    return nullptr;
}

} // namespace grainwheel
