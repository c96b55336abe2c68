#pragma once
// The panel image (bitmap 128) and its alternate (bitmap 131): the alternate adds grid lines
// to the fader columns and carries the help page that the splash view shows.

#include "canvas.h"

namespace artwork {

void drawPanel(Canvas& c, bool alternate);
// Outlines every control rectangle (debug output for checking the layout).
void outlineControls(Canvas& c);

} // namespace artwork
