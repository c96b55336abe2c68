#include "gui/cslider.h"

#include <cmath>

namespace VSTGUI {

CSlider::CSlider(const CRect& r, CControlListener* l, long t, long iMinPos, long iMaxPos, CBitmap* handle,
                 CBitmap* background, const CPoint& off, const long st)
    : CControl(r, l, t, background), horizontal((st & kHorizontal) != 0), style(st), offset(off) {
    long origin = horizontal ? r.left : r.top;
    minPos = iMinPos - origin;
    maxPos = iMaxPos - origin;
    if (maxPos < minPos) std::swap(minPos, maxPos);
    setHandle(handle);
}

CSlider::~CSlider() {
    if (pHandle) pHandle->forget();
}

void CSlider::setHandle(CBitmap* handle) {
    if (handle) handle->remember();
    if (pHandle) pHandle->forget();
    pHandle = handle;
    setDirty();
}

bool CSlider::zeroAtFirst() const { return horizontal ? !(style & kRight) : (style & kTop) != 0; }

long CSlider::posFromValue(float v) const {
    if (v < 0.f) v = 0.f;
    if (v > 1.f) v = 1.f;
    float range = static_cast<float>(maxPos - minPos);
    long travel = static_cast<long>(std::lround(v * range));
    return zeroAtFirst() ? minPos + travel : maxPos - travel;
}

float CSlider::valueFromPos(long pos) const {
    if (maxPos == minPos) return 0.f;
    if (pos < minPos) pos = minPos;
    if (pos > maxPos) pos = maxPos;
    float f = static_cast<float>(pos - minPos) / static_cast<float>(maxPos - minPos);
    return zeroAtFirst() ? f : 1.f - f;
}

CRect CSlider::handleRect() const {
    long hw = pHandle ? pHandle->getWidth() : 0;
    long hh = pHandle ? pHandle->getHeight() : 0;
    long pos = posFromValue(getValue());
    if (horizontal) {
        long y = hasOffsetHandle ? offsetHandle.v : (size.height() - hh) / 2;
        return CRect(size.left + pos, size.top + y, size.left + pos + hw, size.top + y + hh);
    }
    long x = hasOffsetHandle ? offsetHandle.h : (size.width() - hw) / 2;
    return CRect(size.left + x, size.top + pos, size.left + x + hw, size.top + pos + hh);
}

void CSlider::draw(CDrawContext* context) {
    if (CBitmap* b = getBackground()) {
        if (bTransparencyEnabled) {
            b->drawTransparent(context, size, offset);
        } else {
            b->draw(context, size, offset);
        }
    }
    if (pHandle) {
        CRect h = handleRect();
        if (bDrawTransparentHandle) {
            pHandle->drawTransparent(context, h);
        } else {
            pHandle->draw(context, h);
        }
    }
    setDirty(false);
}

void CSlider::mouse(CDrawContext* context, CPoint& where) {
    if (!bMouseEnabled) return;
    beginEdit();
    long buttons = context ? context->getMouseButtons() : static_cast<long>(kLButton);
    if (checkDefaultValue(context, buttons)) return;
    long handleLen = pHandle ? (horizontal ? pHandle->getWidth() : pHandle->getHeight()) : 0;
    long c = along(where);
    long pos = posFromValue(getValue());
    lastAlong = c;
    if (c >= pos && c < pos + handleLen) {
        grabDelta = c - pos;  // drag the handle where it was taken
        return;
    }
    grabDelta = handleLen / 2;  // the handle's centre jumps to the mouse
    float v = valueFromPos(c - grabDelta);
    if (v != getValue()) {
        setValue(v);
        reportValue(context);
    }
}

void CSlider::mouseMoved(CDrawContext* context, CPoint& where) {
    if (!bMouseEnabled) return;
    long buttons = context ? context->getMouseButtons() : static_cast<long>(kLButton);
    if (!(buttons & kLButton)) return;
    long c = along(where);
    float v;
    if (buttons & kShift) {
        float range = static_cast<float>(maxPos - minPos);
        float d = range > 0 ? static_cast<float>(c - lastAlong) / (range * zoomFactor) : 0.f;
        v = getValue() + (zeroAtFirst() ? d : -d);
        if (v < 0.f) v = 0.f;
        if (v > 1.f) v = 1.f;
        grabDelta = c - posFromValue(v);
    } else {
        v = valueFromPos(c - grabDelta);
    }
    lastAlong = c;
    if (v != getValue()) {
        setValue(v);
        reportValue(context);
    }
}

CVerticalSlider::CVerticalSlider(const CRect& r, CControlListener* l, long t, long iMinPos, long iMaxPos,
                                 CBitmap* handle, CBitmap* background, const CPoint& off, const long st)
    : CSlider(r, l, t, iMinPos, iMaxPos, handle, background, off, (st & ~kHorizontal) | kVertical) {}

CHorizontalSlider::CHorizontalSlider(const CRect& r, CControlListener* l, long t, long iMinPos, long iMaxPos,
                                     CBitmap* handle, CBitmap* background, const CPoint& off, const long st)
    : CSlider(r, l, t, iMinPos, iMaxPos, handle, background, off, (st & ~kVertical) | kHorizontal) {}

}  // namespace VSTGUI
