#pragma once
// Controls: views with a value in 0..1, a default value restored by a click with the Control
// key, a tag, and a listener told whenever the user changes the value.
//
// Gestures. Every change the user makes lies inside a gesture the listener is told of:
// controlBeginEdit before the first change, controlEndEdit after the last. A press opens
// the gesture and its release closes it (drags of sliders, knobs and switches, the kick
// button's press and release); a wheel step, a toggle or a menu choice is a gesture of its
// own around its one change. Each gesture is told once however events nest, and one still
// open ends when the frame gives the mouse to another view or the control leaves its frame.

#include <atomic>

#include "gui/cview.h"

namespace VSTGUI {

class CControl;

class CControlListener {
public:
    virtual ~CControlListener() = default;
    virtual void valueChanged(CDrawContext* context, CControl* control) = 0;
    // The user's gesture on control begins and ends (see above).
    virtual void controlBeginEdit(CControl*) {}
    virtual void controlEndEdit(CControl*) {}
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

    // Opens the gesture and tells the listener; true when this call opened it, false when
    // one was open already (the listener is then not told again).
    bool beginEdit();
    // Closes the open gesture and tells the listener; nothing when none is open.
    void endEdit();
    bool isEditing() const { return editing; }

    // The release ends the gesture the press began.
    void mouseUp(CDrawContext* context, CPoint& where) override;
    void mouseCaptureLost() override { endEdit(); }
    void removed() override;

protected:
    // The reset gesture: with the Control key held, restores the default value, reports it
    // and returns true.
    bool checkDefaultValue(CDrawContext* context, long buttons);
    // Tells the listener (if any) that the user changed the value.
    void reportValue(CDrawContext* context);
    // A change that is a gesture of its own (a click): reports it inside a gesture of its
    // own, or inside the one already open.
    void reportEdit(CDrawContext* context);

    CControlListener* listener;
    long tag;
    std::atomic<float> value{0.f};
    std::atomic<float> oldValue{1.f};
    float defaultValue = 0.5f;
    float vmin = 0.f;
    float vmax = 1.f;
    float wheelInc = 0.1f;
    bool editing = false;
};

}  // namespace VSTGUI
