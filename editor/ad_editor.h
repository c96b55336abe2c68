#pragma once
// ADEditor: the plug-in's editor object. It exists as long as the effect and receives
// every notice the effect sends through setParameter. The panel window comes with the
// widget toolkit; until then open() creates nothing.

#include <atomic>
#include <cstdint>

#include "host/aeffguieditor.h"

namespace grainwheel {

struct EditorNotice {
    VstInt32 index = 0;
    float value = 0.0f;
};

class ADEditor : public AEffGUIEditor {
public:
    explicit ADEditor(AudioEffect* owner);
    ~ADEditor() override = default;

    VstInt32 open(void* ptr) override;
    void close() override;
    // A parameter change or notice from the effect (any thread; never blocks).
    void setParameter(VstInt32 index, float value) override;

    bool isOpen() const { return open_.load(std::memory_order_relaxed); }

    // The notices received so far, newest last: the total count and the k-th newest
    // (k = 0 is the last one, up to kNoticeHistory - 1).
    static constexpr int kNoticeHistory = 1024;
    std::uint32_t noticeCount() const { return count_.load(std::memory_order_acquire); }
    EditorNotice recentNotice(int k) const;

private:
    struct Slot {
        std::atomic<VstInt32> index{0};
        std::atomic<float> value{0.0f};
    };
    Slot history_[kNoticeHistory];
    std::atomic<std::uint32_t> reserved_{0};  // slots handed out
    std::atomic<std::uint32_t> count_{0};     // notices written
    std::atomic<bool> open_{false};
};

}  // namespace grainwheel
