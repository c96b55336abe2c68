#include "host/aeffguieditor.h"

#include <chrono>
#include <thread>

#include "host/audioeffect.h"

AEffGUIEditor::AEffGUIEditor(AudioEffect* owner) : AEffEditor(owner) {
    if (effect) effect->setEditor(this);
    frame = nullptr;
    lLastTicks = getTicks();
}

std::int64_t AEffGUIEditor::getTicks() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

VstInt32 AEffGUIEditor::getRect(ERect** ppRect) {
    if (ppRect) *ppRect = &rect;
    return 1;
}

VstInt32 AEffGUIEditor::open(void* ptr) {
    postUpdate();
    return AEffEditor::open(ptr);
}

void AEffGUIEditor::idle() {
    if (inIdleStuff) return;
    AEffEditor::idle();
    if (frame) frame->idle();
}

VstInt32 AEffGUIEditor::onKeyDown(VstKeyCode& keyCode) { return frame ? frame->onKeyDown(keyCode) : -1; }

VstInt32 AEffGUIEditor::onKeyUp(VstKeyCode& keyCode) { return frame ? frame->onKeyUp(keyCode) : -1; }

VstInt32 AEffGUIEditor::setKnobMode(VstInt32 val) {
    knobMode.store(val, std::memory_order_relaxed);
    return 1;
}

bool AEffGUIEditor::onWheel(float distance) { return frame ? frame->onWheel(distance) : false; }

void AEffGUIEditor::draw(ERect* pRect) {
    if (frame) frame->redraw();
}

void AEffGUIEditor::doIdleStuff() {
    std::int64_t t = getTicks();
    if (t < lLastTicks) {
        std::this_thread::sleep_for(std::chrono::milliseconds(4));
        t += 4;
        if (t < lLastTicks - 50) return;
    }
    idle();
    // Window events, paint requests included, are handled by the frame's own idle.
    lLastTicks = t + 100;
    inIdleStuff = true;
    if (effect) effect->masterIdle();
    inIdleStuff = false;
}

VstIntPtr AEffGUIEditor::inspect(VstIntPtr request, void* ptr, float) { return frame ? frame->inspect(request, ptr) : 0; }
