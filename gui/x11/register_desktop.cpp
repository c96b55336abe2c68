// Compiled into the plug-in itself: makes editors open real windows through xcb.
#include "gui/x11/x11frame.h"

namespace {
[[maybe_unused]] const bool registered = (VSTGUI::installX11FrameFactory(), true);
}  // namespace
