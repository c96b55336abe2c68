#pragma once
// Vst2Frame: a toolkit frame as the VST 2 editor base sees it (host/editorframe.h). The
// editor base routes the host's idle, keys and wheel to it; this passes them to the frame
// in the toolkit's own terms.
//
// The editor inspection call (host/editor_inspection.h) is answered only where an
// inspector is installed: the plug-in modules have none; the suites and the modules built
// for them link plugin/vst2_frame_inspection.cpp, which installs one.

#include "host/editorframe.h"

namespace VSTGUI {
class CFrame;
}

namespace grainwheel {

class Vst2Frame final : public EditorFrame {
public:
    using Inspector = VstIntPtr (*)(VSTGUI::CFrame& frame, VstIntPtr request, void* ptr);
    static void setInspector(Inspector inspector);

    // The frame the calls go to; null: none (the calls then do nothing).
    void attach(VSTGUI::CFrame* frame) { frame_ = frame; }
    VSTGUI::CFrame* attached() const { return frame_; }

    void idle() override;
    std::int32_t onKeyDown(VstKeyCode& key) override;
    std::int32_t onKeyUp(VstKeyCode& key) override;
    bool onWheel(float distance) override;
    void redraw() override;
    VstIntPtr inspect(VstIntPtr request, void* ptr) override;

private:
    VSTGUI::CFrame* frame_ = nullptr;
};

}  // namespace grainwheel
