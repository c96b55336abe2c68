#pragma once
// Drawing done on 32-bit pixels directly, for back ends whose system library draws text and
// curves but should not be trusted to reproduce the cairo back end's exact pixels: fills,
// frames, horizontal and vertical lines, images (with key colour and alpha), copies and
// read-back. Pixels are 0xAARRGGBB words with premultiplied alpha, as in cairo's image
// surfaces; surfaces are opaque. A subclass supplies the pixel memory and text, ellipses
// and slanted lines.

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "gui/drawdevice.h"

namespace VSTGUI {

class PixelImage : public BitmapImage {
public:
    // The pixels may be shared by several images (a back end that keeps decoded artwork).
    PixelImage(long w, long h, std::shared_ptr<const std::vector<std::uint32_t>> premultiplied);
    long width() const override { return w_; }
    long height() const override { return h_; }
    const std::uint32_t* data() const { return px_->data(); }
    const std::shared_ptr<const std::vector<std::uint32_t>>& shared() const { return px_; }
    // The image with opaque pixels of the key colour made transparent (made once per colour).
    const std::uint32_t* keyedBy(CColor key) const;

    // From straight (not premultiplied) ARGB, rounding as cairo does for decoded PNGs
    // (pngRounding) or for pixels handed in by the program.
    static std::unique_ptr<PixelImage> fromStraight(long w, long h, const std::uint32_t* argb, bool pngRounding);

private:
    long w_, h_;
    std::shared_ptr<const std::vector<std::uint32_t>> px_;
    mutable std::map<std::uint32_t, std::vector<std::uint32_t>> keyed_;
};

// Units are converted to pixels at the surface's scale here, so a subclass's text, ellipses
// and slanted lines get pixel coordinates (and the scale, for its font sizes).
class PixelSurface : public DrawSurface {
public:
    long width() const override { return uw_; }
    long height() const override { return uh_; }
    void setClip(const CRect& r) override;
    void line(CPoint from, CPoint to, CColor c, long width) override;
    void strokeRect(const CRect& r, CColor c, long width) override;
    void fillRect(const CRect& r, CColor c) override;
    void image(const BitmapImage& img, const CRect& dest, CPoint src, const CColor* key) override;
    void copyTo(DrawSurface& target, const CRect& part, CPoint at) override;
    std::uint32_t pixel(long x, long y) override;
    const std::uint32_t* rows(long& strideWords) override;

protected:
    // The pixel memory: w x h words, strideWords apart, top row first, for a surface of
    // unitsW x unitsH units at scale s (w and h: pixelsFor those).
    void attach(std::uint32_t* pixels, long w, long h, long strideWords);
    void setUnits(long unitsW, long unitsH, double s);
    // Unit rectangle or point to pixels.
    CRect px(const CRect& r) const { return pixelRect(r, scale_); }
    CPoint px(CPoint p) const;
    long pxWidth(long w) const;
    // Called before the words are touched directly (a system library may batch its drawing).
    virtual void syncPixels() {}
    // A line that is neither horizontal nor vertical.
    virtual void slantedLine(CPoint from, CPoint to, CColor c, long width) = 0;
    // The clip in force (pixels): the surface's rectangle when none is set.
    const CRect& clip() const { return clip_; }
    bool hasClip() const { return clipped_; }

private:
    void fill(CRect r, std::uint32_t word);
    std::uint32_t* px_ = nullptr;
    long w_ = 0, h_ = 0, stride_ = 0;
    long uw_ = 0, uh_ = 0;
    CRect clip_;
    bool clipped_ = false;
};

// 0xAARRGGBB of an opaque colour.
inline std::uint32_t opaqueWord(CColor c) {
    return 0xFF000000u | (std::uint32_t{c.red} << 16) | (std::uint32_t{c.green} << 8) | std::uint32_t{c.blue};
}

}  // namespace VSTGUI
