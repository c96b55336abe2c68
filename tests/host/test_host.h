#pragma once
// A scriptable host callback and a small effect for exercising the host layer alone.

#include <cstring>
#include <functional>
#include <vector>

#include "host/aeffguieditor.h"
#include "host/audioeffectx.h"

namespace testhost {

struct HostCall {
    AEffect* effect;
    VstInt32 opcode;
    VstInt32 index;
    VstIntPtr value;
    void* ptr;
    float opt;
};

// One process-wide recording host: the callback has no user pointer of its own.
struct RecordingHost {
    std::vector<HostCall> calls;
    VstIntPtr versionAnswer = 2300;
    VstIntPtr defaultAnswer = 0;
    std::function<void()> onIdle;  // run when the effect calls audioMasterIdle
    void reset() {
        onIdle = nullptr;
        calls.clear();
        versionAnswer = 2300;
        defaultAnswer = 0;
    }
    int count(VstInt32 opcode) const {
        int n = 0;
        for (const auto& c : calls) n += c.opcode == opcode;
        return n;
    }
};

RecordingHost& host();
// When set, the entry point's factory raises the out-of-memory flag instead of
// creating the editor.
extern bool failEditor;
VstIntPtr VSTCALLBACK hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                   float opt);

// Counts its own construction and destruction.
class TestEffect : public AudioEffectX {
public:
    explicit TestEffect(audioMasterCallback master) : AudioEffectX(master, 16, 107) { ++alive; }
    ~TestEffect() override { --alive; }
    static inline int alive = 0;

    void setParameter(VstInt32 index, float value) override {
        lastIndex = index;
        lastValue = value;
    }
    // Writes index-dependent values; the accumulating entry does the same (it overwrites).
    void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override {
        for (int ch = 0; ch < 2; ++ch)
            for (VstInt32 i = 0; i < sampleFrames; ++i) outputs[ch][i] = inputs[ch][i] * 0.5f + static_cast<float>(i);
    }
    void process(float** inputs, float** outputs, VstInt32 sampleFrames) override {
        processReplacing(inputs, outputs, sampleFrames);
    }
    void close() override { ++closed; }
    static inline int closed = 0;

    VstInt32 lastIndex = -1;
    float lastValue = -1.0f;
    using AudioEffect::callHost;
    AEffEditor* editorPtr() { return editor; }
    float storedSampleRate() const { return sampleRate; }
    VstInt32 storedBlockSize() const { return blockSize; }
};

// An editor whose frame can be swapped in and out.
class TestGUIEditor : public AEffGUIEditor {
public:
    explicit TestGUIEditor(AudioEffect* e) : AEffGUIEditor(e) { rect = ERect{0, 0, 414, 930}; }
    void update() override { ++updates; }
    void setFrame(EditorFrame* f) { frame = f; }
    bool isInIdleStuff() const { return inIdleStuff; }
    std::int64_t lastTicks() const { return lLastTicks; }
    void setLastTicks(std::int64_t t) { lLastTicks = t; }
    void* parentWindow() const { return systemWindow; }
    bool updatePending() const { return updateFlag; }
    int updates = 0;
};

class CountingFrame : public EditorFrame {
public:
    void idle() override { ++idles; }
    std::int32_t onKeyDown(VstKeyCode& key) override {
        lastKey = key;
        return 1;
    }
    std::int32_t onKeyUp(VstKeyCode& key) override {
        lastKey = key;
        return 2;
    }
    bool onWheel(float distance) override {
        lastWheel = distance;
        return true;
    }
    void redraw() override { ++redraws; }
    int idles = 0;
    int redraws = 0;
    float lastWheel = 0.0f;
    VstKeyCode lastKey{};
};

}  // namespace testhost
