#include "gui/headlessframe.h"

#include "gui/menusession.h"

namespace VSTGUI {

HeadlessFrame::HeadlessFrame(const CRect& r, void* ed) : CFrame(r, nullptr, ed) {}

void HeadlessFrame::press(long x, long y, long modifiers) { onMouseDown(CPoint(x, y), kLButton | modifiers); }
void HeadlessFrame::moveTo(long x, long y, long modifiers) { onMouseMove(CPoint(x, y), kLButton | modifiers); }
void HeadlessFrame::release(long x, long y, long modifiers) { onMouseUp(CPoint(x, y), kLButton | modifiers); }

void HeadlessFrame::click(long x, long y, long modifiers) {
    press(x, y, modifiers);
    release(x, y, modifiers);
}

void HeadlessFrame::drag(long x0, long y0, long x1, long y1, long modifiers, int steps) {
    press(x0, y0, modifiers);
    for (int i = 1; i <= steps; ++i) {
        moveTo(x0 + (x1 - x0) * i / steps, y0 + (y1 - y0) * i / steps, modifiers);
    }
    release(x1, y1, modifiers);
}

void HeadlessFrame::hover(long x, long y) { onMouseMove(CPoint(x, y), 0); }

long HeadlessFrame::key(unsigned char virt, long character, unsigned char modifier) {
    KeyCode k;
    k.virt = virt;
    k.character = character;
    k.modifier = modifier;
    long r = onKey(k, true);
    onKey(k, false);
    return r;
}

bool HeadlessFrame::drop(const std::vector<std::string>& paths, long x, long y) {
    return onDropItems(paths, kDropFiles, CPoint(x, y));
}

std::uint32_t HeadlessFrame::screenPixel(long x, long y) { return getScreenSurface()->pixel(x, y); }

}  // namespace VSTGUI
