#include "gui/pixelsurface.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace VSTGUI {

namespace {

// x * a / 255, rounded, in 8 bits (the rounding cairo's pixel library uses).
inline std::uint32_t mul255(std::uint32_t x, std::uint32_t a) {
    std::uint32_t t = x * a + 0x80;
    return (t + (t >> 8)) >> 8;
}

// Premultiplied source over destination.
inline std::uint32_t over(std::uint32_t s, std::uint32_t d) {
    std::uint32_t sa = s >> 24;
    if (sa == 255) return s;
    if (s == 0) return d;
    std::uint32_t ia = 255 - sa, out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        std::uint32_t v = ((s >> shift) & 255) + mul255((d >> shift) & 255, ia);
        out |= std::min<std::uint32_t>(v, 255) << shift;
    }
    return out;
}

CRect normalised(const CRect& r) {
    return CRect(std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right),
                 std::max(r.top, r.bottom));
}

}  // namespace

PixelImage::PixelImage(long w, long h, std::shared_ptr<const std::vector<std::uint32_t>> premultiplied)
    : w_(w), h_(h), px_(std::move(premultiplied)) {}

std::unique_ptr<PixelImage> PixelImage::fromStraight(long w, long h, const std::uint32_t* argb, bool pngRounding) {
    if (w <= 0 || h <= 0) return nullptr;
    std::vector<std::uint32_t> px(static_cast<std::size_t>(w * h));
    for (std::size_t i = 0; i < px.size(); ++i) {
        std::uint32_t p = argb ? argb[i] : 0xFFFFFFFFu;
        std::uint32_t a = p >> 24;
        if (a == 255) {
            px[i] = p;
        } else if (a == 0) {
            px[i] = 0;
        } else {
            auto mul = [a, pngRounding](std::uint32_t c) { return pngRounding ? mul255(c, a) : (c * a + 127) / 255; };
            px[i] = (a << 24) | (mul((p >> 16) & 255) << 16) | (mul((p >> 8) & 255) << 8) | mul(p & 255);
        }
    }
    return std::make_unique<PixelImage>(w, h, std::make_shared<const std::vector<std::uint32_t>>(std::move(px)));
}

const std::uint32_t* PixelImage::keyedBy(CColor key) const {
    std::uint32_t k = opaqueWord(key) & 0xFFFFFFu;
    auto it = keyed_.find(k);
    if (it != keyed_.end()) return it->second.data();
    std::vector<std::uint32_t> out(*px_);
    for (std::uint32_t& p : out) {
        if ((p >> 24) == 0xFF && (p & 0xFFFFFFu) == k) p = 0;
    }
    return keyed_.emplace(k, std::move(out)).first->second.data();
}

void PixelSurface::attach(std::uint32_t* pixels, long w, long h, long strideWords) {
    px_ = pixels;
    w_ = w;
    h_ = h;
    uw_ = w;
    uh_ = h;
    stride_ = strideWords;
    clip_ = CRect(0, 0, w, h);
    clipped_ = false;
}

void PixelSurface::setUnits(long unitsW, long unitsH, double s) {
    uw_ = unitsW;
    uh_ = unitsH;
    scale_ = s;
}

CPoint PixelSurface::px(CPoint p) const {
    if (scale_ == 1.0) return p;
    return CPoint(std::lround(static_cast<double>(p.h) * scale_), std::lround(static_cast<double>(p.v) * scale_));
}

long PixelSurface::pxWidth(long w) const {
    if (scale_ == 1.0) return w;
    return std::max(1L, std::lround(static_cast<double>(w) * scale_));
}

void PixelSurface::setClip(const CRect& r0) {
    const CRect r = px(normalised(r0));
    clipped_ = !r0.isEmpty();
    clip_ = clipped_ ? r.intersection(CRect(0, 0, w_, h_)) : CRect(0, 0, w_, h_);
    // An empty intersection keeps everything out.
    if (clipped_ && clip_.isEmpty()) clip_ = CRect(0, 0, 0, 0);
}

void PixelSurface::fill(CRect r, std::uint32_t word) {
    r = normalised(r).intersection(clip_);
    if (r.isEmpty()) return;
    syncPixels();
    for (long y = r.top; y < r.bottom; ++y) {
        std::uint32_t* row = px_ + y * stride_;
        std::fill(row + r.left, row + r.right, word);
    }
}

void PixelSurface::fillRect(const CRect& r, CColor c) { fill(px(normalised(r)), opaqueWord(c)); }

void PixelSurface::strokeRect(const CRect& r0, CColor c, long w) {
    // The bands in units, each then at the pixels that cover it.
    CRect r = normalised(r0);
    if (r.width() - w <= 0 || r.height() - w <= 0) {
        fill(px(r), opaqueWord(c));
        return;
    }
    std::uint32_t word = opaqueWord(c);
    fill(px(CRect(r.left, r.top, r.right, r.top + w)), word);
    fill(px(CRect(r.left, r.bottom - w, r.right, r.bottom)), word);
    fill(px(CRect(r.left, r.top + w, r.left + w, r.bottom - w)), word);
    fill(px(CRect(r.right - w, r.top + w, r.right, r.bottom - w)), word);
}

void PixelSurface::line(CPoint from0, CPoint to0, CColor c, long w) {
    if (from0 == to0 || w <= 0) return;
    if (scale_ != 1.0 && (from0.v == to0.v || from0.h == to0.h)) {
        // As cairo strokes it: w units wide around the coordinate (half a unit further for
        // an odd width), from the start to the end, at the pixels whose centres it covers.
        const double o = (w % 2) ? 0.5 : 0.0, half = static_cast<double>(w) / 2.0;
        auto edge = [this](double v) { return static_cast<long>(std::ceil(v * scale_ - 0.5)); };
        CRect r;
        if (from0.v == to0.v) {
            const double y = static_cast<double>(from0.v) + o;
            r = CRect(edge(static_cast<double>(std::min(from0.h, to0.h)) + o), edge(y - half),
                      edge(static_cast<double>(std::max(from0.h, to0.h)) + o), edge(y + half));
        } else {
            const double x = static_cast<double>(from0.h) + o;
            r = CRect(edge(x - half), edge(static_cast<double>(std::min(from0.v, to0.v)) + o), edge(x + half),
                      edge(static_cast<double>(std::max(from0.v, to0.v)) + o));
        }
        fill(r, opaqueWord(c));
        return;
    }
    const CPoint from = px(from0), to = px(to0);
    w = pxWidth(w);
    // A straight line covers the pixels from its start up to (not including) its end, w wide
    // around its coordinate.
    if (from.v == to.v) {
        fill(CRect(std::min(from.h, to.h), from.v - w / 2, std::max(from.h, to.h), from.v - w / 2 + w), opaqueWord(c));
    } else if (from.h == to.h) {
        fill(CRect(from.h - w / 2, std::min(from.v, to.v), from.h - w / 2 + w, std::max(from.v, to.v)), opaqueWord(c));
    } else {
        slantedLine(from, to, c, w);
    }
}

void PixelSurface::image(const BitmapImage& img, const CRect& dest0, CPoint src, const CColor* key) {
    const auto& pi = static_cast<const PixelImage&>(img);
    const std::uint32_t* s = key ? pi.keyedBy(*key) : pi.data();
    CRect dest = dest0;
    if (pi.scale() == scale_ && scale_ != 1.0) {
        // An image made for this scale: pixel for pixel, at the pixels of dest.
        dest = px(normalised(dest0));
        src = CPoint(std::lround(static_cast<double>(src.h) * scale_), std::lround(static_cast<double>(src.v) * scale_));
    } else if (scale_ != 1.0 || pi.scale() != 1.0) {
        // Each pixel shows the image pixel under its centre (the image's own pixels where
        // it was made for this scale).
        const CRect r = px(normalised(dest0)).intersection(clip_);
        if (r.isEmpty()) return;
        syncPixels();
        const double k = pi.scale() / scale_;
        for (long y = r.top; y < r.bottom; ++y) {
            const long iy = static_cast<long>(std::floor((static_cast<double>(y) + 0.5) * k)) -
                            std::lround(static_cast<double>(dest0.top - src.v) * pi.scale());
            if (iy < 0 || iy >= pi.height()) continue;
            std::uint32_t* row = px_ + y * stride_;
            for (long x = r.left; x < r.right; ++x) {
                const long ix = static_cast<long>(std::floor((static_cast<double>(x) + 0.5) * k)) -
                                std::lround(static_cast<double>(dest0.left - src.h) * pi.scale());
                if (ix < 0 || ix >= pi.width()) continue;
                row[x] = over(s[iy * pi.width() + ix], row[x]);
            }
        }
        return;
    }
    // dest pixel (x, y) shows image pixel (x - dest.left + src.h, y - dest.top + src.v).
    long dx = src.h - dest.left, dy = src.v - dest.top;
    CRect r = normalised(dest).intersection(clip_).intersection(
        CRect(-dx, -dy, pi.width() - dx, pi.height() - dy));
    if (r.isEmpty()) return;
    syncPixels();
    for (long y = r.top; y < r.bottom; ++y) {
        std::uint32_t* row = px_ + y * stride_;
        const std::uint32_t* srow = s + (y + dy) * pi.width() + dx;
        for (long x = r.left; x < r.right; ++x) row[x] = over(srow[x], row[x]);
    }
}

void PixelSurface::copyTo(DrawSurface& target, const CRect& part0, CPoint at0) {
    auto& t = static_cast<PixelSurface&>(target);
    // Surfaces of one frame share its scale: the copy is pixel for pixel.
    const CRect part = px(part0);
    const CPoint at = px(at0);
    long dx = part.left - at.h, dy = part.top - at.v;  // target (x, y) takes this (x + dx, y + dy)
    CRect r = CRect(at.h, at.v, at.h + part.width(), at.v + part.height())
                  .intersection(t.clip_)
                  .intersection(CRect(-dx, -dy, w_ - dx, h_ - dy));
    if (r.isEmpty()) return;
    syncPixels();
    t.syncPixels();
    for (long y = r.top; y < r.bottom; ++y) {
        std::memmove(t.px_ + y * t.stride_ + r.left, px_ + (y + dy) * stride_ + r.left + dx,
                     static_cast<std::size_t>(r.width()) * 4);
    }
}

std::uint32_t PixelSurface::pixel(long x, long y) {
    if (x < 0 || y < 0 || x >= w_ || y >= h_) return 0;
    syncPixels();
    return px_[y * stride_ + x] | 0xFF000000u;
}

const std::uint32_t* PixelSurface::rows(long& strideWords) {
    syncPixels();
    strideWords = stride_;
    return px_;
}

}  // namespace VSTGUI
