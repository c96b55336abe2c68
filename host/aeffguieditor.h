#pragma once
// AEffGUIEditor: the editor base for a window built with the widget toolkit. The toolkit
// is reached only through EditorFrame; `frame` is null while the window is closed.

#include <atomic>
#include <cstdint>

#include "host/aeffeditor.h"
#include "host/editorframe.h"

class AEffGUIEditor : public AEffEditor {
public:
    // Registers itself with the effect (effect->setEditor(this)).
    explicit AEffGUIEditor(AudioEffect* owner);
    ~AEffGUIEditor() override = default;

    // Answers 1 with *rect pointing at `rect`.
    VstInt32 getRect(ERect** ppRect) override;
    // postUpdate(), then the base open.
    VstInt32 open(void* ptr) override;
    // Nothing while inIdleStuff is set; otherwise the base idle, then frame->idle().
    void idle() override;
    VstInt32 onKeyDown(VstKeyCode& keyCode) override;
    VstInt32 onKeyUp(VstKeyCode& keyCode) override;
    VstInt32 setKnobMode(VstInt32 val) override;
    bool onWheel(float distance) override;
    // Answers the editor inspection call for whatever frame is open.
    VstIntPtr inspect(VstIntPtr request, void* ptr, float opt) override;

    // A parameter or notice from the effect; the base only requests an update.
    virtual void setParameter(VstInt32 index, float value) { postUpdate(); }
    virtual void draw(ERect* pRect);
    // The idle pump the toolkit calls from its own waiting loops (UI thread only).
    virtual void doIdleStuff();

    static VstInt32 getKnobMode() { return knobMode.load(std::memory_order_relaxed); }
    EditorFrame* getFrame() const { return frame; }
    // Milliseconds of a steady clock.
    static std::int64_t getTicks();

protected:
    ERect rect{0, 0, 0, 0};
    EditorFrame* frame = nullptr;
    std::int64_t lLastTicks = 0;
    bool inIdleStuff = false;
    static inline std::atomic<VstInt32> knobMode{0};
};
