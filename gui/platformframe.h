#pragma once
// Creating the frame an editor opens: the desktop back end installs a factory that makes a
// frame with a real child window of the host's parent window. Without one (or when it fails)
// a headless frame of the same size is made, so the editor always gets a frame.

#include "gui/cframe.h"

namespace VSTGUI {

using PlatformFrameFactory = CFrame* (*)(const CRect& size, void* parentWindow, void* editor);
void setPlatformFrameFactory(PlatformFrameFactory factory);

// The frame for an editor of the given size inside parentWindow.
CFrame* createPlatformFrame(const CRect& size, void* parentWindow, void* editor);

}  // namespace VSTGUI
