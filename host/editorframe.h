#pragma once
// The narrow interface between the editor base class and the widget toolkit's top-level
// view. The host layer knows nothing else of the toolkit.

#include <cstddef>
#include <cstdint>

struct VstKeyCode;
struct EditorMouseEvent;

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

    // Inspection (host/editor_inspection.h); false when not done. The picture as it
    // stands with the open pop-ups; the views and menus as JSON; a synthetic mouse event;
    // the status line's text and colour (rgb: three bytes).
    virtual bool writeSnapshot(const char* path) { return false; }
    virtual bool writeLayout(const char* path) { return false; }
    virtual bool injectMouse(const EditorMouseEvent& event) { return false; }
    virtual bool describeStatus(char* text, std::size_t size, std::uint8_t* rgb) { return false; }
};
