#include "gui/drawdevice.h"

#include <cmath>

namespace VSTGUI {
namespace {

class NullImage : public BitmapImage {
public:
    NullImage(long w, long h) : w_(w), h_(h) {}
    long width() const override { return w_; }
    long height() const override { return h_; }
private:
    long w_, h_;
};

class NullSurface : public DrawSurface {
public:
    NullSurface(long w, long h, double s) : w_(w), h_(h) { scale_ = s; }
    long width() const override { return w_; }
    long height() const override { return h_; }
    void setClip(const CRect&) override {}
    void line(CPoint, CPoint, CColor, long) override {}
    void strokeRect(const CRect&, CColor, long) override {}
    void fillRect(const CRect&, CColor) override {}
    void fillEllipse(const CRect&, CColor) override {}
    void text(const CRect&, const char*, CColor, const TextStyle&) override {}
    long textWidth(const char* s, const TextStyle&) override {
        long n = 0;
        while (s && s[n]) ++n;
        return n * 7;
    }
    void image(const BitmapImage&, const CRect&, CPoint, const CColor*) override {}
    void copyTo(DrawSurface&, const CRect&, CPoint) override {}
    std::uint32_t pixel(long, long) override { return 0; }
    const std::uint32_t* rows(long& stride) override { stride = 0; return nullptr; }
    bool writePng(const char*) override { return false; }
private:
    long w_, h_;
};

class NullBackend : public DrawBackend {
public:
    std::unique_ptr<DrawSurface> createSurface(long w, long h, CColor, double scale) override {
        return std::make_unique<NullSurface>(w, h, scale);
    }
    std::unique_ptr<BitmapImage> decodePng(const unsigned char*, std::size_t) override { return nullptr; }
    std::unique_ptr<BitmapImage> fromPixels(long w, long h, const std::uint32_t*) override {
        return std::make_unique<NullImage>(w, h);
    }
};

NullBackend nullBackend;
DrawBackend* current = &nullBackend;

}  // namespace

long DrawSurface::pixelsFor(long n, double s) {
    return s == 1.0 ? n : static_cast<long>(std::ceil(static_cast<double>(n) * s - 1e-6));
}

namespace {
// The pixel edge nearest to unit position v: the edge a filled shape ends at when the
// pixels whose centres it covers are drawn.
long edge(long v, double s) { return static_cast<long>(std::ceil(static_cast<double>(v) * s - 0.5)); }
}  // namespace

CRect pixelRect(const CRect& part, double s) {
    if (s == 1.0) return part;
    return CRect(edge(part.left, s), edge(part.top, s), edge(part.right, s), edge(part.bottom, s));
}

CRect unitRect(const CRect& px, double s) {
    if (s == 1.0) return px;
    return CRect(static_cast<long>(std::floor(static_cast<double>(px.left) / s)),
                 static_cast<long>(std::floor(static_cast<double>(px.top) / s)),
                 static_cast<long>(std::ceil(static_cast<double>(px.right) / s)),
                 static_cast<long>(std::ceil(static_cast<double>(px.bottom) / s)));
}

DrawBackend& drawBackend() { return *current; }
void setDrawBackend(DrawBackend* backEnd) { current = backEnd ? backEnd : &nullBackend; }

}  // namespace VSTGUI
