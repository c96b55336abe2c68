#pragma once
// Helpers for the toolkit tests: solid and striped bitmaps, a recording listener, pixel
// colours.

#include <cstdint>
#include <vector>

#include "gui/cairo/cairobackend.h"
#include "gui/headlessframe.h"
#include "gui/menusession.h"
#include "gui/vstgui.h"

namespace gwtest {

using namespace VSTGUI;

inline std::uint32_t rgb(unsigned r, unsigned g, unsigned b) { return 0xFF000000u | (r << 16) | (g << 8) | b; }

// A bitmap of one colour.
inline CBitmap* solidBitmap(long w, long h, std::uint32_t argb) {
    std::vector<std::uint32_t> px(static_cast<std::size_t>(w * h), argb);
    return new CBitmap(w, h, px.data());
}

// A bitmap whose top half is one colour and bottom half another (two-image buttons).
inline CBitmap* twoImageBitmap(long w, long h, std::uint32_t top, std::uint32_t bottom) {
    std::vector<std::uint32_t> px(static_cast<std::size_t>(w * h));
    for (long y = 0; y < h; ++y)
        for (long x = 0; x < w; ++x) px[static_cast<std::size_t>(y * w + x)] = y < h / 2 ? top : bottom;
    return new CBitmap(w, h, px.data());
}

struct Recorder : CControlListener {
    struct Call {
        long tag;
        float value;
    };
    std::vector<Call> calls;
    void valueChanged(CDrawContext*, CControl* c) override { calls.push_back({c->getTag(), c->getValue()}); }
};

inline std::uint32_t rgbOf(std::uint32_t p) { return p | 0xFF000000u; }

}  // namespace gwtest
