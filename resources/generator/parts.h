#pragma once
// Pieces the panel and the control bitmaps share: fader tracks, the knob body, buttons.

#include "canvas.h"

#include <string>

namespace artwork {

// The track of one column fader (14 wide); unit selects the lane shade, grid adds the lines.
void drawColumnTrack(Canvas& c, Box b, int unit, bool grid);
// The slot of a single fader (20 wide): handle lane on the left, value scale on the right.
void drawSingleSlot(Canvas& c, Box b);
// The slot of a buffer-position slider: track on the handle's row, ticks below.
void drawBufferTrack(Canvas& c, Box b);
// The level knob's body, centred in b.
void drawKnobBody(Canvas& c, Box b);

enum class ButtonTint { Accent, Record };
struct ButtonLook {
    bool on = false;       // lit (on/off buttons) or pressed (kick buttons)
    bool hover = false;
    bool kick = false;     // pressed look instead of lit look
    ButtonTint tint = ButtonTint::Accent;
};
// One picture of a button, filling b, with the caption; the corners stay transparent.
void drawButton(Canvas& c, Box b, const std::string& caption, const ButtonLook& look);
// A menu button: caption on the left and a small down arrow on the right.
void drawMenuButton(Canvas& c, Box b, const std::string& caption, bool hover);

} // namespace artwork
