#include "gui/csplashscreen.h"

#include "gui/cframe.h"

namespace VSTGUI {

CSplashScreen::CSplashScreen(const CRect& r, CControlListener* l, long t, CBitmap* background, CRect& display,
                             CPoint& off)
    : CControl(r, l, t, background), clickArea(r), toDisplay(display), offset(off) {
    setDefaultValue(0.f);
}

CSplashScreen::~CSplashScreen() {
    if (pParent && pParent->getModalView() == this) pParent->setModalView(nullptr);
}

void CSplashScreen::draw(CDrawContext* context) {
    if (isShown()) {
        if (CBitmap* b = getBackground()) {
            if (bTransparencyEnabled) {
                b->drawTransparent(context, toDisplay, offset);
            } else {
                b->draw(context, toDisplay, offset);
            }
        }
    }
    setDirty(false);
}

void CSplashScreen::mouse(CDrawContext* context, CPoint& where) {
    if (!bMouseEnabled) return;
    const bool shown = isShown();
    if (!(shown ? toDisplay : clickArea).pointInside(where)) return;
    const bool opened = beginEdit();
    if (!shown) {
        setValue(1.f);
        size = toDisplay;
        mouseableArea = toDisplay;
        if (pParent) pParent->setModalView(this);
        setDirty();
    } else {
        setValue(0.f);
        size = clickArea;
        mouseableArea = clickArea;
        if (pParent) {
            pParent->setModalView(nullptr);
            pParent->setDirty(true);
        }
    }
    reportValue(context);
    if (opened) endEdit();
}

}  // namespace VSTGUI
