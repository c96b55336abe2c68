#pragma once
// A level meter of LEDs: the unlit bitmap with the lit bitmap over the lit part. Between
// peaks the shown level falls by the decrease step at each redraw.

#include "gui/ccontrol.h"

namespace VSTGUI {

class CVuMeter : public CControl {
public:
    CVuMeter(const CRect& size, CBitmap* onBitmap, CBitmap* offBitmap, long nbLed, const long style = kVertical);
    ~CVuMeter() override;

    void draw(CDrawContext* context) override;
    void setDecreaseStepValue(float step) { decreaseValue = step; }
    float getDecreaseStepValue() const { return decreaseValue; }
    // LEDs lit for a shown level.
    long litLeds(float level) const;

private:
    CBitmap* onBitmap;
    CBitmap* offBitmap;
    long nbLed;
    long style;
    float decreaseValue = 0.1f;
};

}  // namespace VSTGUI
