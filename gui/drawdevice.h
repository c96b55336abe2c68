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
    // Pixels per panel unit the image was drawn for (2: artwork made for a 2x screen); the
    // back end draws it at the surface's scale from there.
    double scale() const { return imageScale; }
    void setScale(double s) { imageScale = s > 0 ? s : 1.0; }

private:
    double imageScale = 1.0;
};

struct TextStyle {
    long font = kNormalFont;
    long face = kNormalFace;
    CHoriTxtAlign align = kCenterText;
};

// A surface that can be drawn into. Coordinates are the surface's own units; a surface of
// scale S holds S x S pixels per unit (width() x height() units, pixelWidth() x
// pixelHeight() pixels), so what is drawn into it is sharp on a screen of that scale.
class DrawSurface {
public:
    virtual ~DrawSurface() = default;
    virtual long width() const = 0;
    virtual long height() const = 0;
    double scale() const { return scale_; }
    long pixelWidth() const { return pixelsFor(width(), scale_); }
    long pixelHeight() const { return pixelsFor(height(), scale_); }
    // The pixels that n units cover at scale s (a part pixel counts whole).
    static long pixelsFor(long n, double s);
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
    // Pixel read-back as 0xAARRGGBB (tests, snapshots, window upload); x and y are pixels,
    // not units.
    virtual std::uint32_t pixel(long x, long y) = 0;
    // Raw rows of 0x00RRGGBB words (native-endian) for window upload, pixelWidth() words
    // used in each; null if unsupported.
    virtual const std::uint32_t* rows(long& strideWords) = 0;
    virtual bool writePng(const char* path) = 0;

protected:
    double scale_ = 1.0;
};

// The pixels covering part (units) of a surface of scale s: each edge at the nearest pixel edge.
CRect pixelRect(const CRect& part, double s);
// The part of a surface (units) that covers the given pixels.
CRect unitRect(const CRect& pixels, double s);

class DrawBackend {
public:
    virtual ~DrawBackend() = default;
    // A surface of w x h units at the given scale (pixels per unit, at least 1).
    virtual std::unique_ptr<DrawSurface> createSurface(long w, long h, CColor background, double scale = 1.0) = 0;
    virtual std::unique_ptr<BitmapImage> decodePng(const unsigned char* data, std::size_t size) = 0;
    // Pixels are 0xAARRGGBB words, row by row.
    virtual std::unique_ptr<BitmapImage> fromPixels(long w, long h, const std::uint32_t* argb) = 0;
};

// The back end in force. Until one is installed, a back end that keeps sizes but draws nothing.
DrawBackend& drawBackend();
void setDrawBackend(DrawBackend* backEnd);  // nullptr restores the drawing-less one

}  // namespace VSTGUI
