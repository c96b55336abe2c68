#pragma once
// Buttons and the switch. Button bitmaps hold the released (off) picture in their top half
// and the pressed (on) picture in their bottom half.

#include "gui/ccontrol.h"

namespace VSTGUI {

// Value 1 while the mouse button is held, 0 on release; both are reported.
class CKickButton : public CControl {
public:
    CKickButton(const CRect& size, CControlListener* listener, long tag, long heightOfOneImage,
                CBitmap* background, const CPoint& offset);
    void draw(CDrawContext* context) override;
    void mouse(CDrawContext* context, CPoint& where) override;
    void mouseUp(CDrawContext* context, CPoint& where) override;
    // The wheel does not press, toggle or switch.
    bool onWheel(CDrawContext*, const CPoint&, float) override { return false; }

private:
    long heightOfOneImage;
    CPoint offset;
};

// Each click toggles the value between 0 and 1 and reports it.
class COnOffButton : public CControl {
public:
    COnOffButton(const CRect& size, CControlListener* listener, long tag, CBitmap* background,
                 long style = 0);
    void draw(CDrawContext* context) override;
    void mouse(CDrawContext* context, CPoint& where) override;
    long getStyle() const { return style; }
    // The wheel does not press, toggle or switch.
    bool onWheel(CDrawContext*, const CPoint&, float) override { return false; }

private:
    long style;
};

// Positions side by side across the bitmap's width; the value is position / (positions - 1).
// The image shown is sub-image round(value * (subPixmaps - 1)).
class CHorizontalSwitch : public CControl {
public:
    CHorizontalSwitch(const CRect& size, CControlListener* listener, long tag, long subPixmaps,
                      long heightOfOneImage, long iMaxPositions, CBitmap* background, const CPoint& offset);
    void draw(CDrawContext* context) override;
    void mouse(CDrawContext* context, CPoint& where) override;
    void mouseMoved(CDrawContext* context, CPoint& where) override;
    long positionAt(const CPoint& where) const;
    // The wheel does not press, toggle or switch.
    bool onWheel(CDrawContext*, const CPoint&, float) override { return false; }

private:
    void moveTo(CDrawContext* context, const CPoint& where);
    long subPixmaps;
    long heightOfOneImage;
    long iMaxPositions;
    CPoint offset;
};

}  // namespace VSTGUI
