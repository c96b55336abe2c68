#pragma once
// A click in the click area shows a part of the bitmap over the display area, above every
// other view, and makes the splash the frame's only mouse target; the next click inside
// the display area hides it again and redraws the frame. Both changes are reported.

#include "gui/ccontrol.h"

namespace VSTGUI {

class CSplashScreen : public CControl {
public:
    CSplashScreen(const CRect& size, CControlListener* listener, long tag, CBitmap* background,
                  CRect& toDisplay, CPoint& offset);
    ~CSplashScreen() override;

    void draw(CDrawContext* context) override;
    void mouse(CDrawContext* context, CPoint& where) override;
    bool onWheel(CDrawContext*, const CPoint&, float) override { return false; }
    bool isShown() const { return getValue() > 0.5f; }

private:
    CRect clickArea;
    CRect toDisplay;
    CPoint offset;
};

}  // namespace VSTGUI
