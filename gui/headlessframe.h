#pragma once
// A frame without a window: it draws into its screen buffer, takes synthetic mouse and key
// events and writes snapshots (the screen buffer with the open pop-ups on top) as PNG.

#include <cstdint>

#include "gui/cframe.h"

namespace VSTGUI {

class HeadlessFrame : public CFrame {
public:
    HeadlessFrame(const CRect& size, void* editor = nullptr);

    // Synthetic mouse: press, move with the button held, release (frame coordinates;
    // modifiers as kShift, kControl, ...).
    void press(long x, long y, long modifiers = 0);
    void moveTo(long x, long y, long modifiers = 0);
    void release(long x, long y, long modifiers = 0);
    void click(long x, long y, long modifiers = 0);
    void drag(long x0, long y0, long x1, long y1, long modifiers = 0, int steps = 4);
    // Moves without a button (hover).
    void hover(long x, long y);
    long key(unsigned char virt, long character = 0, unsigned char modifier = 0);
    bool drop(const std::vector<std::string>& paths, long x, long y);

    // A pixel of the composed picture (screen buffer and open pop-ups), 0xAARRGGBB; with
    // the other inspection calls in gui/frameinspection.cpp.
    std::uint32_t snapshotPixel(long x, long y);
    // The screen buffer alone.
    std::uint32_t screenPixel(long x, long y);
};

}  // namespace VSTGUI
