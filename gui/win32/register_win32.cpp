// Compiled into the plug-in itself: makes editors open real windows on Windows.
#include "gui/win32/win32frame.h"

namespace {
[[maybe_unused]] const bool registered = (VSTGUI::installWin32FrameFactory(), true);
}  // namespace
