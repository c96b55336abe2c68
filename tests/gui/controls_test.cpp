// Mouse behaviour of each control in a headless frame, and what the listener is told.
#include <gtest/gtest.h>

#include "tests/gui/testsupport.h"

using namespace gwtest;

namespace {

class Controls : public ::testing::Test {
protected:
    void SetUp() override {
        installCairoBackend();
        frame = new HeadlessFrame(CRect(0, 0, 300, 200));
        handle = solidBitmap(14, 7, rgb(250, 0, 0));
    }
    void TearDown() override {
        handle->forget();
        delete frame;
        setGlobalKnobMode(-1);
    }
    HeadlessFrame* frame = nullptr;
    CBitmap* handle = nullptr;
    Recorder rec;
};

TEST_F(Controls, VerticalSliderBottomStyleHasZeroAtTheBottom) {
    // Column fader geometry: 14 x 149, handle 7 high, travel 142 pixels.
    auto* s = new CVerticalSlider(CRect(10, 14, 24, 163), &rec, 45, 14, 163 - 7, handle, nullptr, CPoint(0, 0), kBottom);
    frame->addView(s);
    s->setValue(0.f);
    // Grab the handle at the bottom and drag it up by half the travel.
    frame->drag(16, 156 + 3, 16, 156 + 3 - 71);
    EXPECT_NEAR(s->getValue(), 0.5f, 1e-4);
    frame->drag(16, 85 + 3, 16, 0);  // beyond the top: clamped
    EXPECT_FLOAT_EQ(s->getValue(), 1.f);
    ASSERT_FALSE(rec.calls.empty());
    EXPECT_EQ(rec.calls.back().tag, 45);
    EXPECT_FLOAT_EQ(rec.calls.back().value, 1.f);
}

TEST_F(Controls, VerticalSliderTopStyleHasZeroAtTheTop) {
    auto* s = new CVerticalSlider(CRect(10, 14, 24, 163), &rec, 43, 14, 156, handle, nullptr, CPoint(0, 0), kTop);
    frame->addView(s);
    s->setValue(0.f);
    frame->drag(16, 17, 16, 17 + 142);
    EXPECT_FLOAT_EQ(s->getValue(), 1.f);
    // A click away from the handle puts the handle's centre under the mouse.
    frame->click(16, 14 + 71 + 3);
    EXPECT_NEAR(s->getValue(), 71.f / 142.f, 1e-4);
}

TEST_F(Controls, HorizontalSliderLeftStyleTravelsBetweenItsPositions) {
    CBitmap* h9 = solidBitmap(9, 7, rgb(0, 250, 0));
    // Buffer slider: left L-7 = 22, travel of the handle's left edge 22..97.
    auto* s = new CHorizontalSlider(CRect(22, 50, 106, 60), &rec, 27, 22, 97, h9, nullptr, CPoint(0, 0), kLeft);
    h9->forget();
    frame->addView(s);
    s->setValue(0.f);
    frame->drag(26, 55, 26 + 75, 55);
    EXPECT_FLOAT_EQ(s->getValue(), 1.f);
    frame->drag(26 + 75, 55, 26 + 75 - 30, 55);
    EXPECT_NEAR(s->getValue(), 45.f / 75.f, 1e-4);
    EXPECT_EQ(s->handleRect().left, 22 + 45);
}

TEST_F(Controls, ControlClickRestoresTheDefaultValueAndReportsIt) {
    auto* s = new CVerticalSlider(CRect(10, 14, 24, 163), &rec, 46, 14, 156, handle, nullptr, CPoint(0, 0), kBottom);
    s->setDefaultValue(0.43089432f);
    s->setValue(0.9f);
    frame->addView(s);
    frame->click(16, 100, kControl);
    EXPECT_FLOAT_EQ(s->getValue(), 0.43089432f);
    ASSERT_EQ(rec.calls.size(), 1u);
    EXPECT_FLOAT_EQ(rec.calls[0].value, 0.43089432f);

    auto* k = new CKnob(CRect(100, 100, 146, 145), &rec, 1, nullptr, nullptr, CPoint(0, 0));
    k->setDefaultValue(0.5f);
    k->setValue(0.1f);
    frame->addView(k);
    frame->click(120, 120, kControl);
    EXPECT_FLOAT_EQ(k->getValue(), 0.5f);
}

TEST_F(Controls, WheelStepsTheValueUnderTheMouse) {
    auto* s = new CVerticalSlider(CRect(10, 14, 24, 163), &rec, 47, 14, 156, handle, nullptr, CPoint(0, 0), kBottom);
    s->setValue(0.5f);
    frame->addView(s);
    EXPECT_TRUE(frame->onWheelAt(CPoint(15, 50), 1.f, 0));
    EXPECT_NEAR(s->getValue(), 0.6f, 1e-6);
    EXPECT_TRUE(frame->onWheelAt(CPoint(15, 50), -10.f, 0));
    EXPECT_FLOAT_EQ(s->getValue(), 0.f);
    EXPECT_FALSE(frame->onWheelAt(CPoint(200, 50), 1.f, 0));  // nothing there
    EXPECT_EQ(rec.calls.size(), 2u);
}

TEST_F(Controls, KnobLinearModeFollowsVerticalTravel) {
    setGlobalKnobMode(kLinearMode);
    auto* k = new CKnob(CRect(100, 100, 146, 145), &rec, 1, nullptr, nullptr, CPoint(0, 0));
    k->setValue(0.5f);
    frame->addView(k);
    frame->drag(120, 120, 120, 80);  // 40 pixels up of 200
    EXPECT_NEAR(k->getValue(), 0.7f, 1e-5);
    frame->drag(120, 120, 120, 400);  // far down: clamped at 0
    EXPECT_FLOAT_EQ(k->getValue(), 0.f);
}

TEST_F(Controls, KnobAngleModeFollowsTheMouseAngle) {
    setGlobalKnobMode(kCircularMode);
    auto* k = new CKnob(CRect(100, 100, 146, 146), &rec, 1, nullptr, nullptr, CPoint(0, 0));
    frame->addView(k);
    frame->click(123, 105);  // straight above the centre: half way through 270 degrees
    EXPECT_NEAR(k->getValue(), 0.5f, 0.02f);
    frame->click(140, 123);  // right of the centre: 225 of 270 degrees
    EXPECT_NEAR(k->getValue(), 225.f / 270.f, 0.02f);
    k->setInsetValue(7);
    CPoint top = k->handleCenter(0.5f);
    EXPECT_EQ(top.h, 123);
    EXPECT_EQ(top.v, 123 - (23 - 7));
}

TEST_F(Controls, KickButtonReportsPressAndRelease) {
    CBitmap* b = twoImageBitmap(34, 20, rgb(10, 10, 10), rgb(200, 200, 200));
    auto* kb = new CKickButton(CRect(50, 50, 84, 60), &rec, 13, 10, b, CPoint(0, 0));
    b->forget();
    frame->addView(kb);
    frame->press(60, 55);
    EXPECT_FLOAT_EQ(kb->getValue(), 1.f);
    frame->idle();
    EXPECT_EQ(rgbOf(frame->screenPixel(60, 55)), rgb(200, 200, 200));  // pressed picture
    frame->release(60, 55);
    EXPECT_FLOAT_EQ(kb->getValue(), 0.f);
    frame->idle();
    EXPECT_EQ(rgbOf(frame->screenPixel(60, 55)), rgb(10, 10, 10));
    ASSERT_EQ(rec.calls.size(), 2u);
    EXPECT_FLOAT_EQ(rec.calls[0].value, 1.f);
    EXPECT_FLOAT_EQ(rec.calls[1].value, 0.f);
    EXPECT_EQ(rec.calls[1].tag, 13);
}

TEST_F(Controls, OnOffButtonTogglesOnEachClick) {
    CBitmap* b = twoImageBitmap(31, 32, rgb(10, 10, 10), rgb(0, 200, 0));
    auto* ob = new COnOffButton(CRect(20, 20, 51, 36), &rec, 7, b);
    b->forget();
    frame->addView(ob);
    frame->click(30, 30);
    frame->click(30, 30);
    frame->click(30, 30);
    ASSERT_EQ(rec.calls.size(), 3u);
    EXPECT_FLOAT_EQ(rec.calls[0].value, 1.f);
    EXPECT_FLOAT_EQ(rec.calls[1].value, 0.f);
    EXPECT_FLOAT_EQ(rec.calls[2].value, 1.f);
    frame->idle();
    EXPECT_EQ(rgbOf(frame->screenPixel(30, 30)), rgb(0, 200, 0));
}

TEST_F(Controls, HorizontalSwitchPositionsSpanTheBitmapWidth) {
    // Program switch: 16 images of 225 x 20, positions of 225 / 16 pixels.
    CBitmap* b = solidBitmap(225, 320, rgb(40, 40, 40));
    auto* sw = new CHorizontalSwitch(CRect(40, 100, 265, 120), &rec, 12, 16, 20, 16, b, CPoint(0, 0));
    b->forget();
    frame->addView(sw);
    frame->click(40 + 14, 110);  // 14 / 14.0625 = position 0
    EXPECT_FLOAT_EQ(sw->getValue(), 0.f);
    frame->click(40 + 15, 110);
    EXPECT_FLOAT_EQ(sw->getValue(), 1.f / 15.f);
    frame->click(40 + 224, 110);
    EXPECT_FLOAT_EQ(sw->getValue(), 1.f);
    frame->drag(40 + 100, 110, 40 + 50, 110);  // 100 / 14.0625 = 7, 50 -> 3
    EXPECT_FLOAT_EQ(sw->getValue(), 3.f / 15.f);
}

TEST_F(Controls, SplashTakesTheMouseUntilClickedAgain) {
    CBitmap* art = solidBitmap(300, 200, rgb(9, 99, 199));
    CRect display(10, 10, 150, 150);
    CPoint offset(10, 10);
    auto* under = new COnOffButton(CRect(20, 20, 60, 40), &rec, 7, nullptr);
    frame->addView(under);
    auto* splash = new CSplashScreen(CRect(200, 150, 280, 190), &rec, -1, art, display, offset);
    art->forget();
    frame->addView(splash);
    frame->idle();
    frame->click(240, 170);
    EXPECT_TRUE(splash->isShown());
    EXPECT_EQ(frame->getModalView(), splash);
    frame->idle();
    EXPECT_EQ(rgbOf(frame->screenPixel(30, 30)), rgb(9, 99, 199));  // above the button
    frame->click(30, 30);  // inside the display area: hides it
    EXPECT_FALSE(splash->isShown());
    EXPECT_FLOAT_EQ(under->getValue(), 0.f);  // the button underneath got nothing
    frame->click(240, 170);  // shown again
    frame->click(250, 20);   // outside the display area: ignored
    EXPECT_TRUE(splash->isShown());
    EXPECT_FLOAT_EQ(under->getValue(), 0.f);
    frame->click(100, 100);  // hide
    EXPECT_EQ(frame->getModalView(), nullptr);
    frame->click(30, 30);  // the mouse is back with every view
    EXPECT_FLOAT_EQ(under->getValue(), 1.f);
    ASSERT_GE(rec.calls.size(), 5u);
    EXPECT_EQ(rec.calls[0].tag, -1);
    EXPECT_FLOAT_EQ(rec.calls[0].value, 1.f);
    EXPECT_FLOAT_EQ(rec.calls[1].value, 0.f);
}

class Menus : public Controls {
protected:
    void SetUp() override {
        Controls::SetUp();
        menu = new COptionMenu(CRect(14, 40, 73, 56), &rec, 266, nullptr, nullptr, kNoTextStyle);
        menu->addEntry("Import Options");
        menu->addEntry("-");
        sub = new COptionMenu(CRect(0, 0, 0, 0), &rec, 276, nullptr, nullptr, kCheckStyle | kNoDrawStyle);
        const char* entries[] = {"-", "-", "4/1", "3/1", "2/1", "1/1", "-", "1/2"};
        for (const char* e : entries) sub->addEntry(e);
        sub->setValue(5.f);
        menu->addEntry(sub, "record Sync Unit");
        frame->addView(menu);
    }
    void TearDown() override {
        sub->forget();
        Controls::TearDown();
    }
    CPoint centre(long level, long index) {
        CRect r = frame->getMenuSession()->entryRect(level, index);
        return CPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    }
    COptionMenu* menu = nullptr;
    COptionMenu* sub = nullptr;
};

TEST_F(Menus, ChoosingAnEntryReportsItsIndex) {
    frame->click(30, 48);
    ASSERT_TRUE(frame->isMenuOpen());
    EXPECT_EQ(frame->getMenuSession()->levelRect(0).top, 56);  // below the menu
    CPoint p = centre(0, 0);
    frame->hover(p.h, p.v);
    EXPECT_EQ(frame->getMenuSession()->highlighted(0), 0);
    frame->click(p.h, p.v);
    EXPECT_FALSE(frame->isMenuOpen());
    ASSERT_EQ(rec.calls.size(), 1u);
    EXPECT_EQ(rec.calls[0].tag, 266);
    EXPECT_FLOAT_EQ(rec.calls[0].value, 0.f);
}

TEST_F(Menus, SeparatorsKeepTheirIndexAndCannotBeChosen) {
    frame->click(30, 48);
    CPoint sep = centre(0, 1);
    frame->hover(sep.h, sep.v);
    EXPECT_EQ(frame->getMenuSession()->highlighted(0), -1);
    frame->click(sep.h, sep.v);
    EXPECT_TRUE(frame->isMenuOpen());
    EXPECT_TRUE(rec.calls.empty());
}

TEST_F(Menus, SubmenuOpensBesideAndReportsWithItsOwnTag) {
    frame->click(30, 48);
    CPoint s = centre(0, 2);
    frame->hover(s.h, s.v);
    ASSERT_EQ(frame->getMenuSession()->levelCount(), 2);
    CRect parent = frame->getMenuSession()->levelRect(0);
    CRect child = frame->getMenuSession()->levelRect(1);
    EXPECT_GE(child.left, parent.right - 2);
    EXPECT_EQ(frame->getMenuSession()->levelMenu(1), sub);
    CPoint e = centre(1, 7);  // "1/2"
    frame->hover(e.h, e.v);
    frame->click(e.h, e.v);
    EXPECT_FALSE(frame->isMenuOpen());
    ASSERT_EQ(rec.calls.size(), 1u);
    EXPECT_EQ(rec.calls[0].tag, 276);
    EXPECT_FLOAT_EQ(rec.calls[0].value, 7.f);
    EXPECT_EQ(sub->getCurrent(), 7);
}

TEST_F(Menus, ClickOutsideOrEscapeClosesWithoutChoice) {
    frame->click(30, 48);
    ASSERT_TRUE(frame->isMenuOpen());
    frame->click(290, 190);
    EXPECT_FALSE(frame->isMenuOpen());
    frame->click(30, 48);
    ASSERT_TRUE(frame->isMenuOpen());
    frame->key(kVirtualKeyEscape);
    EXPECT_FALSE(frame->isMenuOpen());
    EXPECT_TRUE(rec.calls.empty());
}

TEST_F(Menus, CheckStyleTicksTheCurrentEntryCountingSeparators) {
    frame->click(30, 48);
    CPoint s = centre(0, 2);
    frame->hover(s.h, s.v);
    frame->idle();
    // The tick of entry 5 ("1/1") is drawn in its row, left of the text.
    CRect row = frame->getMenuSession()->entryRect(1, 5);
    EXPECT_EQ(rgbOf(frame->snapshotPixel(row.left + 8, row.top + 8)), rgb(193, 81, 49));
    CRect other = frame->getMenuSession()->entryRect(1, 4);
    EXPECT_NE(rgbOf(frame->snapshotPixel(other.left + 8, other.top + 8)), rgb(193, 81, 49));
}

}  // namespace
