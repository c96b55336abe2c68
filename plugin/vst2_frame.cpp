#include "plugin/vst2_frame.h"

#include <atomic>

#include "gui/cframe.h"

namespace grainwheel {

namespace {

std::atomic<Vst2Frame::Inspector> inspector{nullptr};

long keyEvent(VSTGUI::CFrame* frame, const VstKeyCode& key, bool down) {
    if (!frame) return -1;
    VSTGUI::KeyCode k;
    k.character = key.character;
    k.virt = key.virt;
    k.modifier = key.modifier;
    return frame->onKey(k, down);
}

}  // namespace

void Vst2Frame::setInspector(Inspector i) { inspector.store(i, std::memory_order_release); }

void Vst2Frame::idle() {
    if (frame_) frame_->idle();
}

std::int32_t Vst2Frame::onKeyDown(VstKeyCode& key) { return static_cast<std::int32_t>(keyEvent(frame_, key, true)); }

std::int32_t Vst2Frame::onKeyUp(VstKeyCode& key) { return static_cast<std::int32_t>(keyEvent(frame_, key, false)); }

bool Vst2Frame::onWheel(float distance) { return frame_ ? frame_->onWheel(distance) : false; }

void Vst2Frame::redraw() {
    if (frame_) frame_->redraw();
}

VstIntPtr Vst2Frame::inspect(VstIntPtr request, void* ptr) {
    const Inspector i = inspector.load(std::memory_order_acquire);
    return i && frame_ ? i(*frame_, request, ptr) : 0;
}

}  // namespace grainwheel
