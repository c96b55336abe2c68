// The answer to the editor inspection call (host/editor_inspection.h) for toolkit frames,
// installed when this file is linked: by the suites, the test editor plug-in and the
// module built for the editor tools, never by the plug-in modules.

#include "gui/cframe.h"
#include "host/editor_inspection.h"
#include "plugin/vst2_frame.h"

namespace grainwheel {

namespace {

bool injectMouse(VSTGUI::CFrame& frame, const EditorMouseEvent& e) {
    using namespace VSTGUI;
    const CPoint where(e.x, e.y);
    const long modifiers = e.modifiers & (kShift | kControl | kAlt | kApple);
    switch (e.kind) {
        case EditorMouseEvent::kPress: frame.onMouseDown(where, kLButton | modifiers); return true;
        case EditorMouseEvent::kMove: frame.onMouseMove(where, kLButton | modifiers); return true;
        case EditorMouseEvent::kRelease: frame.onMouseUp(where, kLButton | modifiers); return true;
        case EditorMouseEvent::kWheel: frame.onWheelAt(where, e.distance, modifiers); return true;
        case EditorMouseEvent::kHover: frame.onMouseMove(where, modifiers); return true;
        default: return false;
    }
}

VstIntPtr inspect(VSTGUI::CFrame& frame, VstIntPtr request, void* ptr) {
    if (!ptr) return 0;
    switch (request) {
        case kInspectSnapshot: return frame.writeSnapshot(static_cast<const char*>(ptr)) ? 1 : 0;
        case kInspectLayout: return frame.writeLayout(static_cast<const char*>(ptr)) ? 1 : 0;
        case kInspectMouse: return injectMouse(frame, *static_cast<const EditorMouseEvent*>(ptr)) ? 1 : 0;
        case kInspectScale: *static_cast<float*>(ptr) = static_cast<float>(frame.getScale()); return 1;
        case kInspectStatus: {
            auto* status = static_cast<EditorStatusText*>(ptr);
            return frame.describeStatus(status->text, sizeof status->text, &status->red) ? 1 : 0;
        }
        default: return 0;
    }
}

[[maybe_unused]] const bool installed = (Vst2Frame::setInspector(&inspect), true);

}  // namespace

}  // namespace grainwheel
