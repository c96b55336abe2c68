// The toolkit's own PNG reader and pixel drawing against the cairo back end: the same
// images and the same fills, frames, lines, image blits and copies must come out pixel for
// pixel, so a back end built on them (Windows) shows the panel exactly as Linux does.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>

#include "gui/pixelsurface.h"
#include "gui/pngdecode.h"
#include "resources/bitmap_resources.h"
#include "tests/gui/testsupport.h"

using namespace gwtest;

namespace {

// Pixel drawing on plain memory; slanted lines, ellipses and text are not its business.
class MemorySurface : public PixelSurface {
public:
    MemorySurface(long w, long h, CColor background, long scale = 1)
        : mem(static_cast<std::size_t>(w * h * scale * scale), opaqueWord(background)) {
        attach(mem.data(), w * scale, h * scale, w * scale);
        setUnits(w, h, static_cast<double>(scale));
        if (scale != 1) fillRect(CRect(0, 0, w, h), background);
    }
    void slantedLine(CPoint, CPoint, CColor, long) override {}
    void fillEllipse(const CRect&, CColor) override {}
    void text(const CRect&, const char*, CColor, const TextStyle&) override {}
    long textWidth(const char*, const TextStyle&) override { return 0; }
    bool writePng(const char*) override { return false; }
    std::vector<std::uint32_t> mem;
};

std::unique_ptr<PixelImage> pixelImageOfPng(const unsigned char* data, std::size_t size) {
    DecodedPng png = decodePngImage(data, size);
    if (!png.ok()) return nullptr;
    return PixelImage::fromStraight(png.width, png.height, png.argb.data(), true);
}

// Counts the pixels where the two surfaces differ.
long differences(DrawSurface& a, DrawSurface& b) {
    long n = 0;
    for (long y = 0; y < a.pixelHeight(); ++y)
        for (long x = 0; x < a.pixelWidth(); ++x) n += (a.pixel(x, y) | 0xFF000000u) != (b.pixel(x, y) | 0xFF000000u);
    return n;
}

TEST(PngReader, EveryPanelBitmapDecodesAsCairoDecodesIt) {
    int checked = 0;
    for (int id = 128; id <= 177; ++id) {
        const grainwheel::BitmapResource* r = grainwheel::findBitmapResource(id);
        if (!r) continue;
        auto mine = pixelImageOfPng(r->png, r->pngSize);
        ASSERT_TRUE(mine) << id;
        EXPECT_EQ(mine->width(), r->width);
        EXPECT_EQ(mine->height(), r->height);
        auto theirs = cairoBackend().decodePng(r->png, r->pngSize);
        ASSERT_TRUE(theirs);
        auto c = cairoBackend().createSurface(r->width, r->height, kBlackCColor);
        c->image(*theirs, CRect(0, 0, r->width, r->height), CPoint(0, 0), nullptr);
        MemorySurface m(r->width, r->height, kBlackCColor);
        m.image(*mine, CRect(0, 0, r->width, r->height), CPoint(0, 0), nullptr);
        EXPECT_EQ(differences(*c, m), 0) << "bitmap " << id;
        ++checked;
    }
    EXPECT_EQ(checked, 50);
}

TEST(PngReader, ReadsPngsWithAlphaAsWrittenByCairo) {
    // Noise with every alpha level, partly compressible: dynamic and fixed codes, matches.
    const long w = 67, h = 41;
    std::mt19937 rng(7);
    std::vector<std::uint32_t> argb(static_cast<std::size_t>(w * h));
    for (std::size_t i = 0; i < argb.size(); ++i) {
        argb[i] = (i / 13) % 3 == 0 ? 0x80402010u : static_cast<std::uint32_t>(rng());
    }
    auto src = cairoBackend().fromPixels(w, h, argb.data());
    // cairo writes its surfaces as RGBA files: the image over a green ground.
    std::string path = ::testing::TempDir() + "gw_png_reader.png";
    auto c = cairoBackend().createSurface(w, h, MakeCColor(10, 200, 30));
    c->image(*src, CRect(0, 0, w, h), CPoint(0, 0), nullptr);
    ASSERT_TRUE(c->writePng(path.c_str()));
    std::ifstream f(path, std::ios::binary);
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    std::remove(path.c_str());
    DecodedPng png = decodePngImage(bytes.data(), bytes.size());
    ASSERT_TRUE(png.ok());
    ASSERT_EQ(png.width, w);
    for (long y = 0; y < h; ++y)
        for (long x = 0; x < w; ++x)
            ASSERT_EQ(png.argb[static_cast<std::size_t>(y * w + x)] | 0xFF000000u, c->pixel(x, y)) << x << "," << y;
}

TEST(PngReader, RefusesDamagedInputWithoutReadingPastIt) {
    const grainwheel::BitmapResource* r = grainwheel::findBitmapResource(128);
    ASSERT_TRUE(r);
    std::vector<unsigned char> good(r->png, r->png + r->pngSize);
    // Every truncation is refused (the image data is needed whole).
    for (std::size_t n = 0; n + 12 < good.size(); n += 61) {
        std::vector<unsigned char> cut(good.begin(), good.begin() + static_cast<long>(n));
        EXPECT_FALSE(decodePngImage(cut.data(), cut.size()).ok()) << n;
    }
    // Flipped bytes: refused or decoded, never a crash or an overrun (checked under ASan).
    std::mt19937 rng(3);
    for (int i = 0; i < 400; ++i) {
        std::vector<unsigned char> bad = good;
        bad[8 + rng() % (bad.size() - 8)] ^= static_cast<unsigned char>(1u << (rng() % 8));
        DecodedPng p = decodePngImage(bad.data(), bad.size());
        if (p.ok()) {
            EXPECT_EQ(p.argb.size(), static_cast<std::size_t>(p.width * p.height));
        }
    }
    EXPECT_FALSE(decodePngImage(nullptr, 0).ok());
    std::vector<unsigned char> out;
    const unsigned char stored[] = {0x78, 0x01, 0x01, 0x03, 0x00, 0xFC, 0xFF, 'a', 'b', 'c'};
    EXPECT_TRUE(inflateZlib(stored, sizeof stored, out, 16));
    EXPECT_EQ(std::string(out.begin(), out.end()), "abc");
    out.clear();
    EXPECT_FALSE(inflateZlib(stored, sizeof stored, out, 2)) << "output limit";
}

class PixelDrawing : public ::testing::Test {
protected:
    static constexpr long W = 48, H = 40;
    void SetUp() override {
        cairo = cairoBackend().createSurface(W, H, MakeCColor(20, 30, 40));
        mine = std::make_unique<MemorySurface>(W, H, MakeCColor(20, 30, 40));
    }
    template <class F>
    void both(F f) {
        f(*cairo);
        f(*mine);
    }
    std::unique_ptr<DrawSurface> cairo;
    std::unique_ptr<MemorySurface> mine;
};

TEST_F(PixelDrawing, FillsFramesAndStraightLinesMatchCairo) {
    for (long w = 1; w <= 4; ++w) {
        both([&](DrawSurface& s) {
            s.setClip(CRect());
            s.fillRect(CRect(1, 1, 9, 7), MakeCColor(200, 0, 0));
            s.fillRect(CRect(30, 20, 25, 12), MakeCColor(0, 200, 0));  // reversed corners
            s.strokeRect(CRect(10, 2, 10 + 5 * w, 2 + 4 * w), MakeCColor(0, 0, 250), w);
            s.strokeRect(CRect(40, 30, 42, 31), MakeCColor(9, 9, 9), w);  // thinner than the pen
            s.line(CPoint(2, 20), CPoint(20, 20), MakeCColor(255, 255, 0), w);
            s.line(CPoint(20, 24), CPoint(3, 24), MakeCColor(255, 0, 255), w);
            s.line(CPoint(30, 5), CPoint(30, 30), MakeCColor(0, 255, 255), w);
            s.line(CPoint(36, 30), CPoint(36, 4), MakeCColor(255, 128, 0), w);
            s.setClip(CRect(4, 3, 33, 26));
            s.fillRect(CRect(0, 0, W, 4), MakeCColor(1, 2, 3));
            s.line(CPoint(0, 25), CPoint(W, 25), MakeCColor(70, 80, 90), w);
        });
        EXPECT_EQ(differences(*cairo, *mine), 0) << "width " << w;
    }
}

// At scale 2 (a 2x screen) the same drawing in units comes out pixel for pixel as cairo's,
// the 2x panel bitmaps included.
TEST(PixelDrawingAtScale, FillsFramesLinesAndDoubleResolutionImagesMatchCairo) {
    auto cairo = cairoBackend().createSurface(48, 40, MakeCColor(20, 30, 40), 2.0);
    MemorySurface mine(48, 40, MakeCColor(20, 30, 40), 2);
    ASSERT_EQ(cairo->pixelWidth(), 96);
    const grainwheel::BitmapResource* r = grainwheel::findBitmapResource(130, 2);
    ASSERT_NE(r, nullptr);
    auto ci = cairoBackend().decodePng(r->png, r->pngSize);
    auto mi = pixelImageOfPng(r->png, r->pngSize);
    ci->setScale(2.0);
    mi->setScale(2.0);
    CColor white = kWhiteCColor;
    for (DrawSurface* s : {cairo.get(), static_cast<DrawSurface*>(&mine)}) {
        for (long w = 1; w <= 3; ++w) {
            s->strokeRect(CRect(10, 2 + 8 * w, 10 + 5 * w, 6 + 12 * w), MakeCColor(0, 0, 250), w);
            s->line(CPoint(2, 20 + w), CPoint(20, 20 + w), MakeCColor(255, 255, 0), w);
            s->line(CPoint(30 + 2 * w, 5), CPoint(30 + 2 * w, 30), MakeCColor(0, 255, 255), w);
        }
        s->fillRect(CRect(1, 1, 9, 7), MakeCColor(200, 0, 0));
        s->setClip(CRect(3, 3, 40, 38));
        s->image(*(s == cairo.get() ? ci.get() : mi.get()), CRect(1, 30, 15, 37), CPoint(0, 0), &white);
        s->image(*(s == cairo.get() ? ci.get() : mi.get()), CRect(20, 33, 30, 40), CPoint(2, 1), nullptr);
        s->setClip(CRect());
    }
    EXPECT_EQ(differences(*cairo, mine), 0);
}

TEST_F(PixelDrawing, ImagesWithKeyColourAlphaOffsetsAndClipMatchCairo) {
    std::vector<std::uint32_t> px(20 * 16);
    for (long y = 0; y < 16; ++y)
        for (long x = 0; x < 20; ++x) {
            std::uint32_t v = (x + y) % 5 == 0 ? 0xFFFFFFFFu : 0xFF000000u | static_cast<std::uint32_t>(x * 12 << 16 | y * 15 << 8 | 77);
            if (y == 3) v = (static_cast<std::uint32_t>(x * 13) << 24) | 0x00C08040u;
            px[static_cast<std::size_t>(y * 20 + x)] = v;
        }
    auto ci = cairoBackend().fromPixels(20, 16, px.data());
    auto mi = PixelImage::fromStraight(20, 16, px.data(), false);
    CColor white = kWhiteCColor;
    auto draw = [&](DrawSurface& s, const BitmapImage& img) {
        s.image(img, CRect(2, 2, 22, 18), CPoint(0, 0), nullptr);
        s.image(img, CRect(24, 2, 44, 18), CPoint(0, 0), &white);
        s.image(img, CRect(5, 20, 40, 38), CPoint(6, 4), &white);  // part of it, past its edge
        s.image(img, CRect(-5, 30, 10, 45), CPoint(0, 0), nullptr);
        s.setClip(CRect(26, 22, 34, 30));
        s.image(img, CRect(20, 20, 40, 36), CPoint(0, 0), nullptr);
        s.setClip(CRect());
    };
    draw(*cairo, *ci);
    draw(*mine, *mi);
    EXPECT_EQ(differences(*cairo, *mine), 0);
}

TEST_F(PixelDrawing, CopiesMatchCairoAndKeepToTheTarget) {
    both([&](DrawSurface& s) {
        s.fillRect(CRect(0, 0, 12, 12), MakeCColor(250, 10, 10));
        s.fillRect(CRect(12, 12, 24, 24), MakeCColor(10, 250, 10));
    });
    auto cairoTarget = cairoBackend().createSurface(30, 20, kBlackCColor);
    MemorySurface memTarget(30, 20, kBlackCColor);
    cairo->copyTo(*cairoTarget, CRect(6, 6, 40, 40), CPoint(20, 4));  // runs off the target
    mine->copyTo(memTarget, CRect(6, 6, 40, 40), CPoint(20, 4));
    cairo->copyTo(*cairoTarget, CRect(0, 0, 10, 10), CPoint(-3, -2));
    mine->copyTo(memTarget, CRect(0, 0, 10, 10), CPoint(-3, -2));
    EXPECT_EQ(differences(*cairoTarget, memTarget), 0);
    EXPECT_EQ(memTarget.pixel(30, 0), 0u) << "outside reads as nothing";
}

}  // namespace

namespace {

TEST(PngWriter, WritesFilesThatReadBackAsTheirPixels) {
    const long w = 300, h = 260;  // more than one stored block
    std::vector<std::uint32_t> px(static_cast<std::size_t>(w * h));
    for (std::size_t i = 0; i < px.size(); ++i) px[i] = 0xFF000000u | static_cast<std::uint32_t>(i * 2654435761u >> 8);
    std::vector<unsigned char> file = encodePngImage(px.data(), w, h, w);
    DecodedPng back = decodePngImage(file.data(), file.size());
    ASSERT_TRUE(back.ok());
    EXPECT_EQ(back.argb, px);
    auto viaCairo = cairoBackend().decodePng(file.data(), file.size());
    ASSERT_TRUE(viaCairo) << "a valid file for other readers too";
    EXPECT_EQ(viaCairo->width(), w);
}

}  // namespace
