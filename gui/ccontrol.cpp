#include "gui/ccontrol.h"

namespace VSTGUI {

CControl::CControl(const CRect& r, CControlListener* l, long t, CBitmap* background)
    : CView(r), listener(l), tag(t) {
    if (background) setBackground(background);
}

CControl::~CControl() = default;

void CControl::setValue(float val) {
    float old = value.exchange(val, std::memory_order_relaxed);
    if (old != val) setDirty();
}

void CControl::bounceValue() {
    float v = getValue();
    if (v > vmax) v = vmax;
    if (v < vmin) v = vmin;
    setValue(v);
}

bool CControl::checkDefaultValue(CDrawContext* context, long buttons) {
    if (!(buttons & kControl)) return false;
    setValue(defaultValue);
    reportValue(context);
    return true;
}

void CControl::reportValue(CDrawContext* context) {
    if (listener) listener->valueChanged(context, this);
}

bool CControl::onWheel(CDrawContext* context, const CPoint&, float distance) {
    if (!getMouseEnabled()) return false;
    setValue(getValue() + distance * wheelInc);
    bounceValue();
    reportValue(context);
    return true;
}

}  // namespace VSTGUI
