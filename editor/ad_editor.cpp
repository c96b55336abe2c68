#include "editor/ad_editor.h"

#include "engine/parameter_index.h"  // the notice indices
#include "host/audioeffect.h"
#include "persistence/effect_state.h"

namespace grainwheel {

ADEditor::ADEditor(AudioEffect* owner) : AEffGUIEditor(owner) {
    rect.top = 0;
    rect.left = 0;
    rect.bottom = 414;
    rect.right = 930;
}

VstInt32 ADEditor::open(void* ptr) {
    AEffGUIEditor::open(ptr);
    open_.store(true, std::memory_order_relaxed);
    return 0;  // no window yet
}

void ADEditor::close() { open_.store(false, std::memory_order_relaxed); }

void ADEditor::setParameter(VstInt32 index, float value) {
    const std::uint32_t n = reserved_.fetch_add(1, std::memory_order_relaxed);
    Slot& slot = history_[n % kNoticeHistory];
    slot.index.store(index, std::memory_order_relaxed);
    slot.value.store(value, std::memory_order_relaxed);
    count_.fetch_add(1, std::memory_order_release);
    postUpdate();
    // The exit save runs whether or not the window is open.
    if (index == kExitSave && value != 0.0f)
        if (auto* owner = dynamic_cast<ExitSaveTarget*>(effect)) owner->exitSave();
}

EditorNotice ADEditor::recentNotice(int k) const {
    const std::uint32_t n = noticeCount();
    if (k < 0 || k >= kNoticeHistory || static_cast<std::uint32_t>(k) >= n) return {};
    const Slot& slot = history_[(n - 1 - static_cast<std::uint32_t>(k)) % kNoticeHistory];
    return {slot.index.load(std::memory_order_relaxed), slot.value.load(std::memory_order_relaxed)};
}

}  // namespace grainwheel
