#include "gui/cknob.h"

#include <atomic>
#include <cmath>

namespace VSTGUI {

namespace {
long knobMode = -1;  // -1: follow the host's knob mode
std::atomic<long> hostKnobMode{kCircularMode};
constexpr float kPi = 3.14159265f;
}  // namespace

void setGlobalKnobMode(long mode) { knobMode = mode; }  // -1 restores following the host
void setHostKnobMode(long mode) { hostKnobMode.store(mode, std::memory_order_relaxed); }
long getGlobalKnobMode() { return knobMode >= 0 ? knobMode : hostKnobMode.load(std::memory_order_relaxed); }

CKnob::CKnob(const CRect& r, CControlListener* l, long t, CBitmap* background, CBitmap* handle,
             const CPoint& off)
    : CControl(r, l, t, background), offset(off), startAngle(1.25f * kPi), rangeAngle(1.5f * kPi) {
    setHandleBitmap(handle);
}

CKnob::~CKnob() {
    if (pHandle) pHandle->forget();
}

void CKnob::setHandleBitmap(CBitmap* handle) {
    if (handle) handle->remember();
    if (pHandle) pHandle->forget();
    pHandle = handle;
    setDirty();
}

CPoint CKnob::handleCenter(float v) const {
    if (v < 0.f) v = 0.f;
    if (v > 1.f) v = 1.f;
    float a = startAngle - v * rangeAngle;
    float cx = static_cast<float>(size.left) + static_cast<float>(size.width()) * 0.5f;
    float cy = static_cast<float>(size.top) + static_cast<float>(size.height()) * 0.5f;
    float radius = static_cast<float>(std::min(size.width(), size.height())) * 0.5f - static_cast<float>(inset);
    return CPoint(std::lround(cx + radius * std::cos(a)), std::lround(cy - radius * std::sin(a)));
}

void CKnob::draw(CDrawContext* context) {
    if (CBitmap* b = getBackground()) {
        if (bTransparencyEnabled) {
            b->drawTransparent(context, size, offset);
        } else {
            b->draw(context, size, offset);
        }
    }
    CPoint c = handleCenter(getValue());
    if (pHandle) {
        long w = pHandle->getWidth(), h = pHandle->getHeight();
        CRect hr(c.h - w / 2, c.v - h / 2, c.h - w / 2 + w, c.v - h / 2 + h);
        pHandle->drawTransparent(context, hr);
    } else {
        context->setFrameColor(colorHandle);
        context->setLineWidth(2);
        context->drawLine(CPoint(size.left + size.width() / 2, size.top + size.height() / 2), c);
    }
    setDirty(false);
}

float CKnob::valueFromAngle(const CPoint& where) const {
    float cx = static_cast<float>(size.left) + static_cast<float>(size.width()) * 0.5f;
    float cy = static_cast<float>(size.top) + static_cast<float>(size.height()) * 0.5f;
    float a = std::atan2(cy - static_cast<float>(where.v), static_cast<float>(where.h) - cx);
    float d = startAngle - a;  // clockwise distance from the start
    while (d < 0.f) d += 2.f * kPi;
    while (d >= 2.f * kPi) d -= 2.f * kPi;
    if (d > rangeAngle) {
        // In the dead zone below the knob: the nearer end.
        return (d - rangeAngle < 2.f * kPi - d) ? 1.f : 0.f;
    }
    return d / rangeAngle;
}

void CKnob::mouse(CDrawContext* context, CPoint& where) {
    if (!bMouseEnabled) return;
    beginEdit();
    long buttons = context ? context->getMouseButtons() : static_cast<long>(kLButton);
    if (checkDefaultValue(context, buttons)) return;
    mode = getGlobalKnobMode();
    firstPoint = where;
    firstValue = getValue();
    lastAngleValue = valueFromAngle(where);
    if (mode == kCircularMode) {
        float v = lastAngleValue;
        if (v != getValue()) {
            setValue(v);
            reportValue(context);
        }
    }
}

void CKnob::mouseMoved(CDrawContext* context, CPoint& where) {
    if (!bMouseEnabled) return;
    long buttons = context ? context->getMouseButtons() : static_cast<long>(kLButton);
    if (!(buttons & kLButton)) return;
    float v;
    if (mode == kLinearMode) {
        float range = static_cast<float>(linearRange) * ((buttons & kShift) ? 10.f : 1.f);
        long travel = (firstPoint.v - where.v) + (where.h - firstPoint.h);
        v = firstValue + static_cast<float>(travel) / range;
    } else if (mode == kRelativCircularMode) {
        float a = valueFromAngle(where);
        v = getValue() + (a - lastAngleValue);
        lastAngleValue = a;
    } else {
        v = valueFromAngle(where);
    }
    if (v < 0.f) v = 0.f;
    if (v > 1.f) v = 1.f;
    if (v != getValue()) {
        setValue(v);
        reportValue(context);
    }
}

}  // namespace VSTGUI
