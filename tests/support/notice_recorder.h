#pragma once
// A VST 2 editor that records the notices its effect sends it, in place of the effect's
// own editor: what the effect tells any editor, seen from outside the panel.

#include <algorithm>
#include <vector>

#include "host/aeffguieditor.h"
#include "host/audioeffectx.h"

namespace gwtest {

class NoticeRecorder final : public AEffGUIEditor {
public:
    struct Notice {
        int index = -1;
        float value = 0.0f;
    };

    // Takes the place of owner's editor, which it deletes; owner owns it.
    static NoticeRecorder& replaceEditorOf(AudioEffectX& owner) {
        delete owner.getEditor();
        return *new NoticeRecorder(&owner);
    }

    void setParameter(VstInt32 index, float value) override { notices.push_back({index, value}); }
    Notice last() const { return notices.empty() ? Notice{} : notices.back(); }
    bool heard(int index) const {
        return std::any_of(notices.begin(), notices.end(), [index](const Notice& n) { return n.index == index; });
    }

    std::vector<Notice> notices;

private:
    explicit NoticeRecorder(AudioEffect* owner) : AEffGUIEditor(owner) {}
};

}  // namespace gwtest
