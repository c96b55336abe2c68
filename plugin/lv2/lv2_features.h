#pragma once
// Finding a host's feature among those it passes to instantiate, save or restore.

#include <cstring>

#include <lv2/core/lv2.h>

namespace grainwheel::lv2 {

// The data of the feature `uri` in the host's null-terminated list (which may itself be
// null), or null when the host does not offer it.
template <class T> T* findFeature(const LV2_Feature* const* features, const char* uri) {
    for (const LV2_Feature* const* f = features; f != nullptr && *f != nullptr; ++f)
        if (std::strcmp((*f)->URI, uri) == 0) return static_cast<T*>((*f)->data);
    return nullptr;
}

}  // namespace grainwheel::lv2
