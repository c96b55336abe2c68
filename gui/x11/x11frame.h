#pragma once
// Frames with a real X11 window (through xcb) inside a host's parent window.

#include "gui/cframe.h"

namespace VSTGUI {

// A frame whose window is a child of parentWindow (an X window id), on a display
// connection of the toolkit's own (DISPLAY), opened here and closed when the frame is
// deleted. A headless frame without a parent window, or when no display can be reached.
CFrame* createX11Frame(const CRect& size, void* parentWindow, void* editor);
// Makes createPlatformFrame use createX11Frame, with the cairo drawing back end.
void installX11FrameFactory();

}  // namespace VSTGUI
