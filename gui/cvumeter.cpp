#include "gui/cvumeter.h"

namespace VSTGUI {

CVuMeter::CVuMeter(const CRect& r, CBitmap* on, CBitmap* off, long leds, const long st)
    : CControl(r, nullptr, 0, nullptr), onBitmap(on), offBitmap(off), nbLed(leds > 0 ? leds : 1), style(st) {
    if (onBitmap) onBitmap->remember();
    if (offBitmap) offBitmap->remember();
    setOldValue(0.f);
}

CVuMeter::~CVuMeter() {
    if (onBitmap) onBitmap->forget();
    if (offBitmap) offBitmap->forget();
}

long CVuMeter::litLeds(float level) const {
    if (level < 0.f) level = 0.f;
    if (level > 1.f) level = 1.f;
    return static_cast<long>(level * static_cast<float>(nbLed) + 0.5f);
}

void CVuMeter::draw(CDrawContext* context) {
    float shown = getOldValue() - decreaseValue;
    float v = getValue();
    if (shown < v) shown = v;
    if (shown < 0.f) shown = 0.f;
    if (shown > 1.f) shown = 1.f;
    setOldValue(shown);
    long leds = litLeds(shown);
    if (offBitmap) offBitmap->draw(context, size);
    if (onBitmap && leds > 0) {
        if (style & kHorizontal) {
            long lit = leds * size.width() / nbLed;
            CRect r(size.left, size.top, size.left + lit, size.bottom);
            onBitmap->draw(context, r);
        } else {
            long lit = leds * size.height() / nbLed;
            CRect r(size.left, size.bottom - lit, size.right, size.bottom);
            onBitmap->draw(context, r, CPoint(0, size.height() - lit));
        }
    }
    setDirty(false);
}

}  // namespace VSTGUI
