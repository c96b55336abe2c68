#pragma once
// A knob: a handle bitmap (or a line) that turns through 270 degrees over a background.
// The knob mode is shared by all knobs: circular (the value follows the mouse angle) or
// linear (vertical and horizontal mouse travel change the value). It is the one set by
// setGlobalKnobMode, or while that is -1 the mode the plug-in's host asks for, which the
// host's adapter passes on with setHostKnobMode.

#include "gui/ccontrol.h"

namespace VSTGUI {

enum { kCircularMode = 0, kRelativCircularMode = 1, kLinearMode = 2 };
void setGlobalKnobMode(long mode);
void setHostKnobMode(long mode);
long getGlobalKnobMode();

class CKnob : public CControl {
public:
    CKnob(const CRect& size, CControlListener* listener, long tag, CBitmap* background, CBitmap* handle,
          const CPoint& offset);
    ~CKnob() override;

    void draw(CDrawContext* context) override;
    void mouse(CDrawContext* context, CPoint& where) override;
    void mouseMoved(CDrawContext* context, CPoint& where) override;

    void setInsetValue(long val) { inset = val; setDirty(); }
    long getInsetValue() const { return inset; }
    void setHandleBitmap(CBitmap* handle);
    CBitmap* getHandleBitmap() const { return pHandle; }
    void setColorHandle(CColor c) { colorHandle = c; }
    // Mouse travel in pixels for the whole range in linear mode.
    void setLinearRange(long pixels) { linearRange = pixels > 0 ? pixels : 1; }

    // Centre of the handle for a value, in the knob's parent coordinates.
    CPoint handleCenter(float v) const;

protected:
    float valueFromAngle(const CPoint& where) const;

    CBitmap* pHandle = nullptr;
    CPoint offset;
    long inset = 3;
    CColor colorHandle = kWhiteCColor;
    float startAngle;
    float rangeAngle;
    long linearRange = 200;
    CPoint firstPoint;
    float firstValue = 0.f;
    float lastAngleValue = 0.f;
    long mode = kCircularMode;
};

}  // namespace VSTGUI
