#pragma once
// Frames with a real Win32 window inside a host's parent window.

#include "gui/cframe.h"

namespace VSTGUI {

// A frame whose window is a child of parentWindow (an HWND), drawn with the GDI back end.
// Falls back to a frame without a window when none can be made.
CFrame* createWin32Frame(const CRect& size, void* parentWindow, void* editor);
// Makes createPlatformFrame use createWin32Frame, with the GDI drawing back end.
void installWin32FrameFactory();

}  // namespace VSTGUI
