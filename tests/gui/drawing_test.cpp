// Pixels drawn by the drawing contexts and bitmaps through the cairo back end.
#include <gtest/gtest.h>

#include "tests/gui/testsupport.h"

using namespace gwtest;

namespace {

class Drawing : public ::testing::Test {
protected:
    void SetUp() override {
        installCairoBackend();
        ctx = new COffscreenContext(nullptr, 40, 30, kBlackCColor);
    }
    void TearDown() override { ctx->forget(); }
    std::uint32_t at(long x, long y) { return rgbOf(ctx->getSurface()->pixel(x, y)); }
    COffscreenContext* ctx = nullptr;
};

TEST_F(Drawing, OffscreenStartsInItsBackgroundColour) {
    COffscreenContext* white = new COffscreenContext(nullptr, 5, 5, kWhiteCColor);
    EXPECT_EQ(rgbOf(white->getSurface()->pixel(4, 4)), rgb(255, 255, 255));
    white->forget();
}

TEST_F(Drawing, LinesCoverTheirPixelsAndLeaveOutTheEndPoint) {
    ctx->setFrameColor(MakeCColor(255, 0, 0));
    ctx->setLineWidth(1);
    ctx->moveTo(CPoint(2, 5));
    ctx->lineTo(CPoint(10, 5));
    for (long x = 2; x < 10; ++x) EXPECT_EQ(at(x, 5), rgb(255, 0, 0)) << x;
    EXPECT_EQ(at(10, 5), rgb(0, 0, 0));
    EXPECT_EQ(at(5, 4), rgb(0, 0, 0));
    EXPECT_EQ(at(5, 6), rgb(0, 0, 0));
    // Width 2: the two pixel columns either side of the line's coordinate.
    ctx->setLineWidth(2);
    ctx->setFrameColor(MakeCColor(0, 255, 0));
    ctx->drawLine(CPoint(20, 10), CPoint(20, 20));
    EXPECT_EQ(at(19, 15), rgb(0, 255, 0));
    EXPECT_EQ(at(20, 15), rgb(0, 255, 0));
    EXPECT_EQ(at(18, 15), rgb(0, 0, 0));
    EXPECT_EQ(at(21, 15), rgb(0, 0, 0));
}

TEST_F(Drawing, OutlinesAndFillsCoverExactlyTheRectangle) {
    ctx->setFillColor(MakeCColor(0, 0, 255));
    ctx->fillRect(CRect(5, 5, 15, 10));
    EXPECT_EQ(at(5, 5), rgb(0, 0, 255));
    EXPECT_EQ(at(14, 9), rgb(0, 0, 255));
    EXPECT_EQ(at(15, 9), rgb(0, 0, 0));
    EXPECT_EQ(at(14, 10), rgb(0, 0, 0));
    EXPECT_EQ(at(4, 5), rgb(0, 0, 0));

    ctx->setFrameColor(MakeCColor(255, 255, 0));
    ctx->setLineWidth(1);
    ctx->drawRect(CRect(20, 5, 30, 15));
    EXPECT_EQ(at(20, 5), rgb(255, 255, 0));
    EXPECT_EQ(at(29, 14), rgb(255, 255, 0));
    EXPECT_EQ(at(25, 5), rgb(255, 255, 0));
    EXPECT_EQ(at(20, 10), rgb(255, 255, 0));
    EXPECT_EQ(at(25, 10), rgb(0, 0, 0));  // inside stays
    EXPECT_EQ(at(30, 10), rgb(0, 0, 0));
    EXPECT_EQ(at(25, 15), rgb(0, 0, 0));
}

TEST_F(Drawing, BitmapsDrawWithASourceOffset) {
    std::vector<std::uint32_t> px(4 * 4);
    for (long y = 0; y < 4; ++y)
        for (long x = 0; x < 4; ++x) px[static_cast<std::size_t>(y * 4 + x)] = rgb(static_cast<unsigned>(x * 60), static_cast<unsigned>(y * 60), 7);
    CBitmap* b = new CBitmap(4, 4, px.data());
    CRect dest(10, 10, 12, 12);
    b->draw(ctx, dest, CPoint(2, 1));
    EXPECT_EQ(at(10, 10), rgb(120, 60, 7));
    EXPECT_EQ(at(11, 11), rgb(180, 120, 7));
    EXPECT_EQ(at(12, 10), rgb(0, 0, 0));  // clipped to the destination
    EXPECT_EQ(at(10, 12), rgb(0, 0, 0));
    b->forget();
}

TEST_F(Drawing, TransparentDrawingLeavesOutWhite) {
    ctx->setFillColor(MakeCColor(50, 60, 70));
    ctx->fillRect(CRect(0, 0, 40, 30));
    std::vector<std::uint32_t> px = {rgb(255, 255, 255), rgb(200, 0, 0), rgb(254, 255, 255), rgb(255, 255, 255)};
    CBitmap* b = new CBitmap(2, 2, px.data());
    EXPECT_TRUE(b->getTransparentColor().sameRgb(kWhiteCColor));
    CRect dest(0, 0, 2, 2);
    b->drawTransparent(ctx, dest);
    EXPECT_EQ(at(0, 0), rgb(50, 60, 70));
    EXPECT_EQ(at(1, 0), rgb(200, 0, 0));
    EXPECT_EQ(at(0, 1), rgb(254, 255, 255));  // only exactly white is left out
    EXPECT_EQ(at(1, 1), rgb(50, 60, 70));
    // Plain drawing keeps the white.
    CRect dest2(4, 0, 6, 2);
    b->draw(ctx, dest2);
    EXPECT_EQ(at(4, 0), rgb(255, 255, 255));
    // Another transparent colour.
    b->setTransparentColor(MakeCColor(200, 0, 0));
    CRect dest3(8, 0, 10, 2);
    b->drawTransparent(ctx, dest3);
    EXPECT_EQ(at(9, 0), rgb(50, 60, 70));
    EXPECT_EQ(at(8, 0), rgb(255, 255, 255));
    b->forget();
}

TEST_F(Drawing, OffscreenCopiesIntoAnotherContext) {
    COffscreenContext* src = new COffscreenContext(nullptr, 10, 10, MakeCColor(1, 2, 3));
    src->setFillColor(MakeCColor(90, 80, 70));
    src->fillRect(CRect(5, 5, 10, 10));
    src->copyFrom(ctx, CRect(20, 20, 25, 25), CPoint(5, 5));
    EXPECT_EQ(at(20, 20), rgb(90, 80, 70));
    EXPECT_EQ(at(24, 24), rgb(90, 80, 70));
    EXPECT_EQ(at(25, 24), rgb(0, 0, 0));
    CRect part(0, 0, 3, 3);
    src->copyTo(ctx, part, CPoint(0, 0));
    EXPECT_EQ(at(2, 2), rgb(1, 2, 3));
    EXPECT_EQ(at(3, 3), rgb(0, 0, 0));
    src->forget();
}

TEST_F(Drawing, TextIsDrawnInTheFontColourInsideItsBox) {
    ctx->setFont(kNormalFont, 0, kBoldFace);
    ctx->setFontColor(kWhiteCColor);
    CRect box(0, 0, 40, 30);
    ctx->drawString("W", box, false, kCenterText);
    long lit = 0, litLeft = 0;
    for (long y = 0; y < 30; ++y)
        for (long x = 0; x < 40; ++x) {
            if ((at(x, y) & 0xFF) > 128) {
                ++lit;
                if (x < 12) ++litLeft;
            }
        }
    EXPECT_GT(lit, 10);
    EXPECT_EQ(litLeft, 0);  // centred
    EXPECT_GT(ctx->getStringWidth("WWW"), ctx->getStringWidth("W"));
}

}  // namespace
