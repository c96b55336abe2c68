#pragma once
// The cairo drawing back end: ARGB32 image surfaces for screen buffers, offscreen contexts
// and bitmaps; PNG decoding; text in the toolkit's built-in font.

namespace VSTGUI {

class DrawBackend;

// The process-wide cairo back end.
DrawBackend& cairoBackend();
// Makes the cairo back end the one in force.
void installCairoBackend();

}  // namespace VSTGUI
