#pragma once
// Bitmaps: loaded by resource number from the images built into the plug-in, or made from
// pixels. Decoding happens on first draw through the drawing back end in force. A built-in
// image may come in a set drawn at twice the resolution: on a surface of scale above 1 the
// bitmap draws from it (its size and offsets stay in units).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "gui/geometry.h"
#include "gui/referencecounter.h"

namespace VSTGUI {

class BitmapImage;
class CDrawContext;
class DrawBackend;

// One built-in image: PNG bytes and the picture's size.
struct ResourceImage {
    long width = 0;
    long height = 0;
    const unsigned char* png = nullptr;
    std::size_t pngSize = 0;
};
// Finds a built-in image by number; false when there is none.
using ResourceLookup = bool (*)(long id, ResourceImage& out);
// Replaces the lookup (tests); nullptr restores the plug-in's own resources.
void setResourceLookup(ResourceLookup lookup);

class CBitmap : public CReferenceCounter {
public:
    explicit CBitmap(long resourceID);
    CBitmap(long width, long height);  // white
    CBitmap(long width, long height, const std::uint32_t* argbPixels);
    ~CBitmap() override;

    long getWidth() const { return width; }
    long getHeight() const { return height; }
    long getResourceID() const { return resourceID; }
    bool isLoaded() const { return width > 0 && height > 0; }
    // True when the bitmap has pixels drawn for a 2x screen.
    bool hasDoubleResolution() const { return png2x != nullptr; }

    // Draws the image part that starts at offset into rect.
    void draw(CDrawContext* context, CRect& rect, const CPoint& offset = CPoint(0, 0));
    // As draw, leaving out pixels of the transparent colour (white unless changed).
    void drawTransparent(CDrawContext* context, CRect& rect, const CPoint& offset = CPoint(0, 0));
    void setTransparentColor(const CColor color) { transparentColor = color; }
    CColor getTransparentColor() const { return transparentColor; }

private:
    // The image to draw on a surface of the given scale.
    const BitmapImage* image(double scale);

    long resourceID = 0;
    long width = 0;
    long height = 0;
    const unsigned char* png = nullptr;
    std::size_t pngSize = 0;
    std::vector<std::uint32_t> pixels;
    CColor transparentColor = kWhiteCColor;
    const unsigned char* png2x = nullptr;
    std::size_t png2xSize = 0;
    std::unique_ptr<BitmapImage> decoded;
    DrawBackend* decodedBy = nullptr;
    std::unique_ptr<BitmapImage> decoded2x;
    DrawBackend* decoded2xBy = nullptr;
};

}  // namespace VSTGUI
