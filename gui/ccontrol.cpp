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

void CControl::reportEdit(CDrawContext* context) {
    const bool opened = beginEdit();
    reportValue(context);
    if (opened) endEdit();
}

bool CControl::beginEdit() {
    if (editing) return false;
    editing = true;
    if (listener) listener->controlBeginEdit(this);
    return true;
}

void CControl::endEdit() {
    if (!editing) return;
    editing = false;
    if (listener) listener->controlEndEdit(this);
}

void CControl::mouseUp(CDrawContext*, CPoint&) { endEdit(); }

void CControl::removed() {
    endEdit();
    CView::removed();
}

bool CControl::onWheel(CDrawContext* context, const CPoint&, float distance) {
    if (!getMouseEnabled()) return false;
    const bool opened = beginEdit();
    setValue(getValue() + distance * wheelInc);
    bounceValue();
    reportValue(context);
    if (opened) endEdit();
    return true;
}

}  // namespace VSTGUI
