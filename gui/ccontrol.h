#pragma once
// Controls: views with a value in 0..1, a default value restored by a click with the Control
// key, a tag, and a listener told whenever the user changes the value.

#include <atomic>

#include "gui/cview.h"

namespace VSTGUI {

class CControl;

class CControlListener {
public:
    virtual ~CControlListener() = default;
    virtual void valueChanged(CDrawContext* context, CControl* control) = 0;
};

class CControl : public CView {
public:
    CControl(const CRect& size, CControlListener* listener = nullptr, long tag = 0,
             CBitmap* background = nullptr);
    ~CControl() override;

    // Changing the value marks the control dirty.
    virtual void setValue(float val);
    virtual float getValue() const { return value.load(std::memory_order_relaxed); }
    virtual void setMin(float val) { vmin = val; }
    virtual float getMin() const { return vmin; }
    virtual void setMax(float val) { vmax = val; }
    virtual float getMax() const { return vmax; }
    virtual void setOldValue(float val) { oldValue.store(val, std::memory_order_relaxed); }
    virtual float getOldValue() const { return oldValue.load(std::memory_order_relaxed); }
    virtual void setDefaultValue(float val) { defaultValue = val; }
    virtual float getDefaultValue() const { return defaultValue; }
    void setTag(long val) { tag = val; }
    long getTag() const { return tag; }
    void setListener(CControlListener* l) { listener = l; }
    CControlListener* getListener() const { return listener; }
    void setWheelInc(float val) { wheelInc = val; }

    // Keeps the value within min..max.
    void bounceValue();
    bool onWheel(CDrawContext* context, const CPoint& where, float distance) override;

protected:
    // The reset gesture: with the Control key held, restores the default value, reports it
    // and returns true.
    bool checkDefaultValue(CDrawContext* context, long buttons);
    // Tells the listener (if any) that the user changed the value.
    void reportValue(CDrawContext* context);

    CControlListener* listener;
    long tag;
    std::atomic<float> value{0.f};
    std::atomic<float> oldValue{1.f};
    float defaultValue = 0.5f;
    float vmin = 0.f;
    float vmax = 1.f;
    float wheelInc = 0.1f;
};

}  // namespace VSTGUI
