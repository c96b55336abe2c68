#include "gui/drawdevice.h"

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
    NullSurface(long w, long h) : w_(w), h_(h) {}
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
    std::unique_ptr<DrawSurface> createSurface(long w, long h, CColor) override {
        return std::make_unique<NullSurface>(w, h);
    }
    std::unique_ptr<BitmapImage> decodePng(const unsigned char*, std::size_t) override { return nullptr; }
    std::unique_ptr<BitmapImage> fromPixels(long w, long h, const std::uint32_t*) override {
        return std::make_unique<NullImage>(w, h);
    }
};

NullBackend nullBackend;
DrawBackend* current = &nullBackend;

}  // namespace

DrawBackend& drawBackend() { return *current; }
void setDrawBackend(DrawBackend* backEnd) { current = backEnd ? backEnd : &nullBackend; }

}  // namespace VSTGUI
