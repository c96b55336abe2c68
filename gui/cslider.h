#pragma once
// Sliders: a handle bitmap that travels between two positions over a background. The
// positions are the handle's first and last top (vertical) or left (horizontal) edge in
// frame pixels. kTop or kLeft puts value 0 at the first position; otherwise (kBottom,
// kRight) value 0 is at the last one.

#include "gui/ccontrol.h"

namespace VSTGUI {

class CSlider : public CControl {
public:
    CSlider(const CRect& size, CControlListener* listener, long tag, long iMinPos, long iMaxPos,
            CBitmap* handle, CBitmap* background, const CPoint& offset, const long style);
    ~CSlider() override;

    void draw(CDrawContext* context) override;
    void mouse(CDrawContext* context, CPoint& where) override;
    void mouseMoved(CDrawContext* context, CPoint& where) override;

    virtual void setHandle(CBitmap* handle);
    CBitmap* getHandle() const { return pHandle; }
    void setDrawTransparentHandle(bool val) { bDrawTransparentHandle = val; setDirty(); }
    // Handle position across the travel, relative to the slider (centred by default).
    void setOffsetHandle(const CPoint& val) { offsetHandle = val; hasOffsetHandle = true; setDirty(); }
    // Shift-drag moves the value this many times slower.
    void setZoomFactor(float val) { zoomFactor = val > 1.f ? val : 1.f; }
    long getStyle() const { return style; }

    // Handle rectangle for the current value (slider's parent coordinates).
    CRect handleRect() const;

protected:
    bool isHorizontal() const { return horizontal; }
    long along(const CPoint& p) const { return horizontal ? p.h - size.left : p.v - size.top; }
    long posFromValue(float v) const;
    float valueFromPos(long pos) const;
    bool zeroAtFirst() const;

    bool horizontal;
    long style;
    long minPos, maxPos;  // relative to the slider
    CBitmap* pHandle = nullptr;
    CPoint offset;
    CPoint offsetHandle;
    bool hasOffsetHandle = false;
    bool bDrawTransparentHandle = true;
    float zoomFactor = 10.f;
    long grabDelta = 0;
    long lastAlong = 0;
};

class CVerticalSlider : public CSlider {
public:
    CVerticalSlider(const CRect& size, CControlListener* listener, long tag, long iMinPos, long iMaxPos,
                    CBitmap* handle, CBitmap* background, const CPoint& offset, const long style = kBottom);
};

class CHorizontalSlider : public CSlider {
public:
    CHorizontalSlider(const CRect& size, CControlListener* listener, long tag, long iMinPos, long iMaxPos,
                      CBitmap* handle, CBitmap* background, const CPoint& offset, const long style = kLeft);
};

}  // namespace VSTGUI
