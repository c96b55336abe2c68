#include "gui/cbitmap.h"

#include "gui/cdrawcontext.h"
#include "gui/drawdevice.h"

#if GW_HAVE_BITMAP_RESOURCES
#include "resources/bitmap_resources.h"
#endif

namespace VSTGUI {

namespace {

// Bitmap `id` of the built-in set drawn at `scale` (1 or 2).
bool builtInLookupAt(long id, int scale, ResourceImage& out) {
#if GW_HAVE_BITMAP_RESOURCES
    const grainwheel::BitmapResource* r = grainwheel::findBitmapResource(static_cast<int>(id), scale);
    if (!r) return false;
    out.width = r->width;
    out.height = r->height;
    out.png = r->png;
    out.pngSize = r->pngSize;
    return true;
#else
    (void)id;
    (void)scale;
    (void)out;
    return false;
#endif
}

bool builtInLookup(long id, ResourceImage& out) { return builtInLookupAt(id, 1, out); }

// The built-in set drawn at twice the resolution.
bool builtInDoubleLookup(long id, ResourceImage& out) { return builtInLookupAt(id, 2, out); }

ResourceLookup currentLookup = &builtInLookup;

}  // namespace

void setResourceLookup(ResourceLookup lookup) { currentLookup = lookup ? lookup : &builtInLookup; }

CBitmap::CBitmap(long id) : resourceID(id) {
    ResourceImage r;
    if (currentLookup(id, r) && r.width > 0 && r.height > 0) {
        width = r.width;
        height = r.height;
        png = r.png;
        pngSize = r.pngSize;
        // A replaced lookup (tests) has no second set.
        ResourceImage r2;
        if (currentLookup == &builtInLookup && builtInDoubleLookup(id, r2) && r2.width == 2 * width &&
            r2.height == 2 * height) {
            png2x = r2.png;
            png2xSize = r2.pngSize;
        }
    }
}

CBitmap::CBitmap(long w, long h) : width(w > 0 ? w : 0), height(h > 0 ? h : 0) {
    pixels.assign(static_cast<std::size_t>(width * height), 0xFFFFFFFFu);
}

CBitmap::CBitmap(long w, long h, const std::uint32_t* argb) : width(w > 0 ? w : 0), height(h > 0 ? h : 0) {
    std::size_t n = static_cast<std::size_t>(width * height);
    if (argb) {
        pixels.assign(argb, argb + n);
    } else {
        pixels.assign(n, 0xFFFFFFFFu);
    }
}

CBitmap::~CBitmap() = default;

const BitmapImage* CBitmap::image(double scale) {
    if (!isLoaded()) return nullptr;
    DrawBackend* backEnd = &drawBackend();
    if (scale > 1.0 && png2x) {
        if (decoded2x && decoded2xBy == backEnd) return decoded2x.get();
        decoded2x = backEnd->decodePng(png2x, png2xSize);
        if (decoded2x) decoded2x->setScale(2.0);
        decoded2xBy = backEnd;
        if (decoded2x) return decoded2x.get();
    }
    if (decoded && decodedBy == backEnd) return decoded.get();
    decoded.reset();
    if (png) {
        decoded = backEnd->decodePng(png, pngSize);
    } else {
        decoded = backEnd->fromPixels(width, height, pixels.data());
    }
    decodedBy = backEnd;
    return decoded.get();
}

void CBitmap::draw(CDrawContext* context, CRect& rect, const CPoint& offset) {
    if (!context || !context->getSurface()) return;
    const BitmapImage* img = image(context->getScale());
    if (!img) return;
    CPoint o = context->getOffset();
    CRect dest = rect;
    dest.offset(o.h, o.v);
    context->getSurface()->image(*img, dest, offset, nullptr);
    context->touch(dest);
}

void CBitmap::drawTransparent(CDrawContext* context, CRect& rect, const CPoint& offset) {
    if (!context || !context->getSurface()) return;
    const BitmapImage* img = image(context->getScale());
    if (!img) return;
    CPoint o = context->getOffset();
    CRect dest = rect;
    dest.offset(o.h, o.v);
    context->getSurface()->image(*img, dest, offset, &transparentColor);
    context->touch(dest);
}

}  // namespace VSTGUI
