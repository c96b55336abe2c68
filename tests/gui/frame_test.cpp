// The frame: reference counting and ownership, dirty marking and partial redraws, drops,
// the text display and the meter.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tests/gui/testsupport.h"

using namespace gwtest;

namespace {

struct CountingView : CView {
    explicit CountingView(const CRect& r, CColor c) : CView(r), colour(c) {}
    void draw(CDrawContext* context) override {
        ++draws;
        context->setFillColor(colour);
        context->fillRect(size);
        setDirty(false);
    }
    bool onDrop(void** items, long nbItems, long type, CPoint& where) override {
        dropped = nbItems > 0 ? static_cast<const char*>(items[0]) : "";
        dropCount = nbItems;
        dropType = type;
        dropWhere = where;
        return true;
    }
    int draws = 0;
    CColor colour;
    std::string dropped;
    long dropCount = 0;
    long dropType = -5;
    CPoint dropWhere;
};

class Frame : public ::testing::Test {
protected:
    void SetUp() override { installCairoBackend(); }
};

TEST_F(Frame, DeletingTheFrameReleasesViewsAndTheirBitmaps) {
    long before = CReferenceCounter::liveObjects();
    {
        auto* frame = new HeadlessFrame(CRect(0, 0, 100, 100));
        CBitmap* bmp = solidBitmap(10, 10, rgb(1, 1, 1));
        auto* a = new COnOffButton(CRect(0, 0, 10, 10), nullptr, 1, bmp);
        auto* b = new CKickButton(CRect(10, 0, 20, 10), nullptr, 2, 5, bmp, CPoint(0, 0));
        EXPECT_EQ(bmp->getNbReference(), 3);  // each control holds its own
        frame->addView(a);
        frame->addView(b);
        frame->setBackground(bmp);
        bmp->forget();  // the creator's reference, as the editor releases local bitmaps
        COptionMenu* sub = new COptionMenu(CRect(), nullptr, 3);
        auto* menu = new COptionMenu(CRect(20, 0, 40, 10), nullptr, 4);
        menu->addEntry(sub, "sub");
        frame->addView(menu);
        frame->idle();
        delete frame;
        EXPECT_EQ(sub->getNbReference(), 1);  // the owner's reference is left
        sub->forget();
    }
    EXPECT_EQ(CReferenceCounter::liveObjects(), before);
}

TEST_F(Frame, RemovingAViewForgetsIt) {
    long before = CReferenceCounter::liveObjects();
    auto* frame = new HeadlessFrame(CRect(0, 0, 50, 50));
    auto* v = new CountingView(CRect(0, 0, 10, 10), kRedCColor);
    v->remember();
    frame->addView(v);
    frame->removeView(v);
    EXPECT_EQ(v->getNbReference(), 1);
    v->forget();
    delete frame;
    EXPECT_EQ(CReferenceCounter::liveObjects(), before);
}

TEST_F(Frame, IdleRedrawsOnlyTheDirtyViews) {
    HeadlessFrame frame(CRect(0, 0, 200, 100));
    auto* a = new CountingView(CRect(0, 0, 50, 50), kRedCColor);
    auto* b = new CountingView(CRect(100, 0, 150, 50), kBlueCColor);
    frame.addView(a);
    frame.addView(b);
    frame.idle();
    EXPECT_EQ(a->draws, 1);
    EXPECT_EQ(b->draws, 1);
    frame.idle();  // nothing dirty: nothing drawn
    EXPECT_EQ(a->draws, 1);
    EXPECT_EQ(b->draws, 1);
    frame.resetStats();
    b->colour = kGreenCColor;
    b->setDirty();
    frame.idle();
    EXPECT_EQ(a->draws, 1);
    EXPECT_EQ(b->draws, 2);
    EXPECT_EQ(frame.getStats().presentedPixels, 50 * 50);  // only the changed region
    EXPECT_EQ(rgbOf(frame.screenPixel(120, 20)), rgb(0, 255, 0));
    frame.setDirty();
    frame.idle();
    EXPECT_EQ(a->draws, 2);
    EXPECT_EQ(b->draws, 3);
}

TEST_F(Frame, SetValueMarksAControlDirtyOnlyWhenItChanges) {
    CControl c(CRect(0, 0, 5, 5));
    c.setDirty(false);
    c.setValue(0.f);
    EXPECT_FALSE(c.isDirty());
    c.setValue(0.25f);
    EXPECT_TRUE(c.isDirty());
}

TEST_F(Frame, UpdateRedrawsAControlNowWithThePanelUnderIt) {
    HeadlessFrame frame(CRect(0, 0, 60, 60));
    CBitmap* panel = solidBitmap(60, 60, rgb(30, 30, 30));
    frame.setBackground(panel);
    panel->forget();
    // A transparent button whose images are white but for one pixel column.
    std::vector<std::uint32_t> px(10 * 20, rgb(255, 255, 255));
    for (long y = 10; y < 20; ++y) px[static_cast<std::size_t>(y * 10 + 3)] = rgb(200, 0, 0);
    CBitmap* img = new CBitmap(10, 20, px.data());
    auto* btn = new COnOffButton(CRect(10, 10, 20, 20), nullptr, 1, img);
    img->forget();
    btn->setTransparency(true);
    frame.addView(btn);
    frame.idle();
    EXPECT_EQ(rgbOf(frame.screenPixel(13, 15)), rgb(30, 30, 30));  // white shows the panel
    btn->setValue(1.f);
    btn->update(frame.getScreenContext());
    EXPECT_FALSE(btn->isDirty());
    EXPECT_EQ(rgbOf(frame.screenPixel(13, 15)), rgb(200, 0, 0));
    EXPECT_EQ(rgbOf(frame.screenPixel(14, 15)), rgb(30, 30, 30));
}

TEST_F(Frame, DropReachesTheViewUnderThePointWithItsPaths) {
    HeadlessFrame frame(CRect(0, 0, 200, 100));
    auto* a = new CountingView(CRect(0, 0, 50, 50), kRedCColor);
    auto* b = new CountingView(CRect(60, 10, 160, 40), kBlueCColor);
    frame.addView(a);
    frame.addView(b);
    EXPECT_TRUE(frame.drop({"/tmp/one.wav", "/tmp/two.wav"}, 160 - 1, 20));
    EXPECT_EQ(b->dropped, "/tmp/one.wav");
    EXPECT_EQ(b->dropCount, 2);
    EXPECT_EQ(b->dropType, kDropFiles);
    EXPECT_EQ(b->dropWhere.h, 159);
    EXPECT_EQ(a->dropCount, 0);
    EXPECT_FALSE(frame.drop({"/tmp/x"}, 190, 90));  // no view there
}

TEST_F(Frame, ParamDisplayFillsFramesAndDrawsShadowThenText) {
    HeadlessFrame frame(CRect(0, 0, 120, 40));
    auto* d = new CParamDisplay(CRect(0, 0, 120, 40), nullptr, kShadowText);
    d->setTransparency(false);
    d->setBackColor(MakeCColor(0, 0, 90));
    d->setFrameColor(MakeCColor(0, 200, 0));
    d->setFontColor(kWhiteCColor);
    d->setShadowColor(MakeCColor(255, 0, 0));
    d->setFont(kNormalFontVeryBig);
    d->setValue(0.5f);
    frame.addView(d);
    frame.idle();
    EXPECT_EQ(rgbOf(frame.screenPixel(0, 0)), rgb(0, 200, 0));    // frame colour outline
    EXPECT_EQ(rgbOf(frame.screenPixel(3, 3)), rgb(0, 0, 90));     // back colour
    long white = 0, red = 0;
    for (long y = 0; y < 40; ++y)
        for (long x = 0; x < 120; ++x) {
            std::uint32_t p = rgbOf(frame.screenPixel(x, y));
            if (p == rgb(255, 255, 255)) ++white;
            if (p == rgb(255, 0, 0)) ++red;
        }
    EXPECT_GT(white, 5);
    EXPECT_GT(red, 0);  // the shadow shows one pixel right and down
    d->setStyle(kNoDrawStyle);
    EXPECT_TRUE(d->isDirty());
}

TEST_F(Frame, VuMeterFallsByItsDecreaseStep) {
    HeadlessFrame frame(CRect(0, 0, 12, 62));
    CBitmap* on = solidBitmap(12, 62, rgb(0, 255, 0));
    CBitmap* off = solidBitmap(12, 62, rgb(20, 20, 20));
    auto* vu = new CVuMeter(CRect(0, 0, 12, 62), on, off, 24, kVertical);
    on->forget();
    off->forget();
    vu->setDecreaseStepValue(0.25f);
    vu->setOldValue(0.f);
    vu->setValue(1.f);
    frame.addView(vu);
    frame.idle();
    EXPECT_EQ(rgbOf(frame.screenPixel(5, 1)), rgb(0, 255, 0));
    vu->setValue(0.f);
    vu->setDirty();
    frame.idle();  // 0.75 shown: 18 LEDs lit of 24
    EXPECT_FLOAT_EQ(vu->getOldValue(), 0.75f);
    EXPECT_EQ(vu->litLeds(0.75f), 18);
    EXPECT_EQ(rgbOf(frame.screenPixel(5, 62 - 18 * 62 / 24)), rgb(0, 255, 0));
    EXPECT_EQ(rgbOf(frame.screenPixel(5, 62 - 18 * 62 / 24 - 1)), rgb(20, 20, 20));
}

TEST_F(Frame, MouseStateIsTheLastEventsWhenHeadless) {
    HeadlessFrame frame(CRect(0, 0, 50, 50));
    frame.press(12, 34);
    CPoint p;
    frame.getCurrentMouseLocation(p);
    EXPECT_EQ(p, CPoint(12, 34));
    EXPECT_TRUE(frame.getCurrentMouseButtons() & kLButton);
    frame.release(12, 34);
    EXPECT_FALSE(frame.getCurrentMouseButtons() & kLButton);
}

}  // namespace

#include "platform/scripted_dialogs.h"

namespace {

TEST(FileSelector, AsksThePlatformsFileSelector) {
    platform::ScriptedDialogs scripted;
    platform::setDialogs(&scripted);
    scripted.queueFile("/tmp/bank.grb");
    VSTGUI::CFileSelector selector(nullptr);
    platform::FileSelectRequest request;
    request.title = "Load bank";
    char path[platform::kFileSelectionSize] = "unchanged";
    EXPECT_EQ(selector.run(request, path), 1);
    EXPECT_STREQ(path, "/tmp/bank.grb");
    std::strcpy(path, "unchanged");
    EXPECT_EQ(selector.run(request, path), 0);  // nothing chosen
    EXPECT_STREQ(path, "unchanged");
    EXPECT_EQ(selector.run(request, nullptr), 0);
    platform::setDialogs(nullptr);
    ASSERT_EQ(scripted.fileRequests.size(), 2u);
}

}  // namespace
