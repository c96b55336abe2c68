#pragma once
// The GDI drawing back end: every surface is a top-down 32-bit DIB section in a memory DC.
// Fills, frames, straight lines, images and copies are done on the DIB's words (exactly as
// the cairo back end draws them); text (in the built-in DejaVu faces, loaded from memory),
// ellipses and slanted lines go through GDI. PNGs are read by the toolkit's own reader.

namespace VSTGUI {

class DrawBackend;

DrawBackend& gdiBackend();
void installGdiBackend();
// Surfaces of this back end alive now (each holds a memory DC and a DIB section).
long liveGdiSurfaces();
// PNG files decoded so far (each distinct file once).
long gdiPngDecodes();

}  // namespace VSTGUI
