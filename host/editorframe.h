#pragma once
// The narrow interface between the editor base class and the window its editor shows (the
// VST 2 adapter puts a toolkit frame behind it: plugin/vst2_frame.h). The host layer
// knows nothing of the toolkit.

#include <cstdint>

#include "host/vst2abi.h"

class EditorFrame {
public:
    virtual ~EditorFrame() = default;
    // Handles pending window events and redraws what is dirty; called from the editor's idle.
    virtual void idle() = 0;
    // Keyboard input routed by the host; -1 when not handled.
    virtual std::int32_t onKeyDown(VstKeyCode& key) = 0;
    virtual std::int32_t onKeyUp(VstKeyCode& key) = 0;
    // Mouse wheel routed by the host; true when handled.
    virtual bool onWheel(float distance) = 0;
    // Redraws every view.
    virtual void redraw() = 0;

    // The editor inspection call (host/editor_inspection.h); 0 = not done, which is the
    // answer of every frame that is not built for inspection.
    virtual VstIntPtr inspect(VstIntPtr request, void* ptr) { return 0; }
};
