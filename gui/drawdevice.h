#pragma once
// The drawing back end behind CDrawContext and CBitmap. A back end supplies pixel surfaces
// (the screen buffer of a frame and offscreen contexts) and decoded images. Nothing here
// names a graphics library: the cairo back end implements it on Linux, and a GDI back end
// can implement it on Windows without touching any widget.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "gui/geometry.h"

namespace VSTGUI {

// A decoded image, read-only once made.
class BitmapImage {
public:
    virtual ~BitmapImage() = default;
    virtual long width() const = 0;
    virtual long height() const = 0;
};

struct TextStyle {
    long font = kNormalFont;
    long face = kNormalFace;
    CHoriTxtAlign align = kCenterText;
};

// A surface that can be drawn into. Coordinates are the surface's own pixels.
class DrawSurface {
public:
    virtual ~DrawSurface() = default;
    virtual long width() const = 0;
    virtual long height() const = 0;
    virtual void setClip(const CRect& r) = 0;  // empty rect: no clip
    virtual void line(CPoint from, CPoint to, CColor c, long width) = 0;
    virtual void strokeRect(const CRect& r, CColor c, long width) = 0;
    virtual void fillRect(const CRect& r, CColor c) = 0;
    virtual void fillEllipse(const CRect& r, CColor c) = 0;
    // Draws the text inside the box, vertically centred.
    virtual void text(const CRect& box, const char* s, CColor c, const TextStyle& style) = 0;
    virtual long textWidth(const char* s, const TextStyle& style) = 0;
    // Draws the part of the image that starts at src into dest (clipped to dest). With a key
    // colour, pixels of exactly that colour are left out.
    virtual void image(const BitmapImage& img, const CRect& dest, CPoint src, const CColor* key) = 0;
    // Copies the given part of this surface to position at of target.
    virtual void copyTo(DrawSurface& target, const CRect& part, CPoint at) = 0;
    // Pixel read-back as 0xAARRGGBB (tests, snapshots, window upload).
    virtual std::uint32_t pixel(long x, long y) = 0;
    // Raw rows of 0x00RRGGBB words (native-endian) for window upload; null if unsupported.
    virtual const std::uint32_t* rows(long& strideWords) = 0;
    virtual bool writePng(const char* path) = 0;
};

class DrawBackend {
public:
    virtual ~DrawBackend() = default;
    virtual std::unique_ptr<DrawSurface> createSurface(long w, long h, CColor background) = 0;
    virtual std::unique_ptr<BitmapImage> decodePng(const unsigned char* data, std::size_t size) = 0;
    // Pixels are 0xAARRGGBB words, row by row.
    virtual std::unique_ptr<BitmapImage> fromPixels(long w, long h, const std::uint32_t* argb) = 0;
};

// The back end in force. Until one is installed, a back end that keeps sizes but draws nothing.
DrawBackend& drawBackend();
void setDrawBackend(DrawBackend* backEnd);  // nullptr restores the drawing-less one

}  // namespace VSTGUI
