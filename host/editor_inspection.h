#pragma once
// The editor inspection call: a vendor-specific request with which a tool or a test reaches
// a plug-in's editor frame from outside the module (the module's symbols are hidden).
//
//   dispatcher(effect, effVendorSpecific, kEditorInspection, request, ptr, opt)
//
// Only editors built for inspection answer it (their frames, the headless one included:
// the frame an editor gets when effEditOpen passes no parent window): the suites, the test
// editor plug-in and the module built for the editor tools (plugin/vst2_frame.h). The
// plug-in modules themselves answer 0. Requests:
//   kInspectSnapshot  ptr: a PNG path; writes the frame as it stands, open pop-ups included;
//   kInspectLayout    ptr: a JSON path; writes every view in stacking order and every menu;
//   kInspectMouse     ptr: an EditorMouseEvent; delivers it to the frame;
//   kInspectStatus    ptr: an EditorStatusText; fills in the status line's text and colour;
//   kInspectScale     ptr: a float; the frame's scale (pixels of its picture per unit of
//                     its layout, where mouse events are given).
// The answer is 1 when done, 0 when not (no editor open, a null ptr, a failed write, an
// unknown request). Every other index of effVendorSpecific goes to the effect.

#include <cstdint>

#include "host/vst2abi.h"

constexpr VstInt32 kEditorInspection = 0x47576564;  // 'GWed'

enum EditorInspectRequest : VstIntPtr {
    kInspectSnapshot = 0x736e6170,  // 'snap'
    kInspectLayout = 0x6c617974,    // 'layt'
    kInspectMouse = 0x6d6f7573,     // 'mous'
    kInspectStatus = 0x73746174,    // 'stat'
    kInspectScale = 0x7363616c,     // 'scal'
};

struct EditorMouseEvent {
    enum Kind : std::int32_t { kPress = 0, kMove = 1, kRelease = 2, kWheel = 3, kHover = 4 };
    std::int32_t kind = kPress;
    std::int32_t x = 0;  // frame coordinates
    std::int32_t y = 0;
    std::int32_t modifiers = 0;  // the toolkit's kShift (8), kControl (16), kAlt (32)
    float distance = 0.0f;       // wheel steps
};

struct EditorStatusText {
    char text[256] = {};
    std::uint8_t red = 0, green = 0, blue = 0;
};
