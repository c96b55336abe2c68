#include "gui/cbuttons.h"

#include <cmath>

namespace VSTGUI {

namespace {
void drawImage(CView& view, CDrawContext* context, CRect& size, const CPoint& src) {
    CBitmap* b = view.getBackground();
    if (!b) return;
    if (view.getTransparency()) {
        b->drawTransparent(context, size, src);
    } else {
        b->draw(context, size, src);
    }
}
}  // namespace

CKickButton::CKickButton(const CRect& r, CControlListener* l, long t, long height, CBitmap* background,
                         const CPoint& off)
    : CControl(r, l, t, background), heightOfOneImage(height), offset(off) {
    setDefaultValue(0.f);
}

void CKickButton::draw(CDrawContext* context) {
    CPoint src(offset.h, offset.v + (getValue() > 0.5f ? heightOfOneImage : 0));
    drawImage(*this, context, size, src);
    setDirty(false);
}

void CKickButton::mouse(CDrawContext* context, CPoint&) {
    if (!bMouseEnabled) return;
    beginEdit();
    setValue(1.f);
    reportValue(context);
}

void CKickButton::mouseUp(CDrawContext* context, CPoint&) {
    if (bMouseEnabled) {
        setValue(0.f);
        reportValue(context);
    }
    endEdit();
}

COnOffButton::COnOffButton(const CRect& r, CControlListener* l, long t, CBitmap* background, long st)
    : CControl(r, l, t, background), style(st) {
    setDefaultValue(0.f);
}

void COnOffButton::draw(CDrawContext* context) {
    CBitmap* b = getBackground();
    long off = (b && getValue() > 0.5f) ? b->getHeight() / 2 : 0;
    drawImage(*this, context, size, CPoint(0, off));
    setDirty(false);
}

void COnOffButton::mouse(CDrawContext* context, CPoint&) {
    if (!bMouseEnabled) return;
    const bool opened = beginEdit();
    setValue(getValue() > 0.5f ? 0.f : 1.f);
    reportValue(context);
    if (opened) endEdit();
}

CHorizontalSwitch::CHorizontalSwitch(const CRect& r, CControlListener* l, long t, long sub, long height,
                                     long positions, CBitmap* background, const CPoint& off)
    : CControl(r, l, t, background),
      subPixmaps(sub > 0 ? sub : 1),
      heightOfOneImage(height),
      iMaxPositions(positions > 0 ? positions : 1),
      offset(off) {
    setDefaultValue(0.f);
}

void CHorizontalSwitch::draw(CDrawContext* context) {
    float v = std::fmin(std::fmax(getValue(), 0.f), 1.f);
    long index = static_cast<long>(v * static_cast<float>(subPixmaps - 1) + 0.5f);
    drawImage(*this, context, size, CPoint(offset.h, offset.v + index * heightOfOneImage));
    setDirty(false);
}

long CHorizontalSwitch::positionAt(const CPoint& where) const {
    CBitmap* b = getBackground();
    double width = b ? static_cast<double>(b->getWidth()) : static_cast<double>(size.width());
    double step = width / static_cast<double>(iMaxPositions);
    if (step <= 0.0) return 0;
    long pos = static_cast<long>(static_cast<double>(where.h - size.left) / step);
    if (pos < 0) pos = 0;
    if (pos > iMaxPositions - 1) pos = iMaxPositions - 1;
    return pos;
}

void CHorizontalSwitch::moveTo(CDrawContext* context, const CPoint& where) {
    long pos = positionAt(where);
    float v = iMaxPositions > 1 ? static_cast<float>(pos) / static_cast<float>(iMaxPositions - 1) : 0.f;
    if (v != getValue()) {
        setValue(v);
        reportValue(context);
    }
}

void CHorizontalSwitch::mouse(CDrawContext* context, CPoint& where) {
    if (!bMouseEnabled) return;
    beginEdit();
    long buttons = context ? context->getMouseButtons() : static_cast<long>(kLButton);
    if (checkDefaultValue(context, buttons)) return;
    moveTo(context, where);
}

void CHorizontalSwitch::mouseMoved(CDrawContext* context, CPoint& where) {
    if (!bMouseEnabled) return;
    long buttons = context ? context->getMouseButtons() : static_cast<long>(kLButton);
    if (buttons & kLButton) moveTo(context, where);
}

}  // namespace VSTGUI
