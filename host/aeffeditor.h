#pragma once
// AEffEditor: the editor as the dispatcher sees it. The window itself belongs to the
// derived classes; this base only records the parent window and the update request.

#include <atomic>

#include "host/vst2abi.h"

class AudioEffect;

class AEffEditor {
public:
    explicit AEffEditor(AudioEffect* owner) : effect(owner) {}
    AEffEditor(const AEffEditor&) = delete;
    AEffEditor& operator=(const AEffEditor&) = delete;
    virtual ~AEffEditor() = default;

    // Sets *rect to null and answers 0 (no window size known).
    virtual VstInt32 getRect(ERect** rect) {
        if (rect) *rect = nullptr;
        return 0;
    }
    // ptr is the host's parent window.
    virtual VstInt32 open(void* ptr) {
        systemWindow = ptr;
        return 0;
    }
    virtual void close() {}
    // Runs update() once for each pending postUpdate().
    virtual void idle() {
        if (updateFlag.exchange(false)) update();
    }
    virtual void update() {}
    // May be called from any thread (parameter changes arrive on the audio thread too).
    virtual void postUpdate() { updateFlag = true; }
    virtual VstInt32 onKeyDown(VstKeyCode& keyCode) { return -1; }
    virtual VstInt32 onKeyUp(VstKeyCode& keyCode) { return -1; }
    virtual VstInt32 setKnobMode(VstInt32 val) { return 0; }
    virtual bool onWheel(float distance) { return false; }
    // The editor inspection call (host/editor_inspection.h); 0 = not done.
    virtual VstIntPtr inspect(VstIntPtr request, void* ptr, float opt) { return 0; }

    AudioEffect* getEffect() const { return effect; }

protected:
    AudioEffect* effect = nullptr;
    void* systemWindow = nullptr;
    std::atomic<bool> updateFlag{false};
};
