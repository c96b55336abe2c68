#pragma once
// The panel bitmaps 128..177, at 1x and 2x, embedded in the program as PNG files at build time, so the
// plug-in needs no files at run time. Each PNG is 8-bit RGB; white is the colour that
// transparent drawing leaves out.

namespace grainwheel {

struct BitmapResource {
    int id;
    int width;
    int height;
    const unsigned char* png;
    unsigned long pngSize;
};

// The bitmap with resource number id, or null for an unknown id. scale 2: the set drawn at
// twice the resolution (width and height then count its pixels).
const BitmapResource* findBitmapResource(int id, int scale = 1);

} // namespace grainwheel
