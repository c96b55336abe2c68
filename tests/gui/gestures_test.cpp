// The gestures each control tells its listener of: begin before the first change, end after
// the last, once per gesture, through the headless frame's mouse.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tests/gui/testsupport.h"

using namespace gwtest;

namespace {

// Writes what the listener hears as one line: "b7" begin, "v7" a change, "e7" end (7 the
// tag), and keeps the value each gesture began with.
struct GestureLog : CControlListener {
    std::string line;
    std::vector<float> valuesAtBegin;
    void add(char what, CControl* c) {
        if (!line.empty()) line += ' ';
        line += what;
        line += std::to_string(c->getTag());
    }
    void valueChanged(CDrawContext*, CControl* c) override { add('v', c); }
    void controlBeginEdit(CControl* c) override {
        add('b', c);
        valuesAtBegin.push_back(c->getValue());
    }
    void controlEndEdit(CControl* c) override { add('e', c); }
    std::string take() {
        std::string s = line;
        line.clear();
        return s;
    }
};

// "b T (v T)* e T", repeated: each gesture of tag T begins once, changes only inside, ends once.
::testing::AssertionResult balanced(const std::string& line) {
    std::string open;
    for (std::size_t i = 0; i < line.size();) {
        std::size_t end = line.find(' ', i);
        if (end == std::string::npos) end = line.size();
        const std::string word = line.substr(i, end - i);
        const std::string tag = word.substr(1);
        if (word[0] == 'b') {
            if (!open.empty()) return ::testing::AssertionFailure() << "begin inside a gesture: " << line;
            open = tag;
        } else if (word[0] == 'v') {
            if (open != tag) return ::testing::AssertionFailure() << "change outside a gesture: " << line;
        } else if (word[0] == 'e') {
            if (open != tag) return ::testing::AssertionFailure() << "end without a begin: " << line;
            open.clear();
        }
        i = end + 1;
    }
    if (!open.empty()) return ::testing::AssertionFailure() << "gesture left open: " << line;
    return ::testing::AssertionSuccess();
}

class Gestures : public ::testing::Test {
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
    CVerticalSlider* fader(long tag = 45) {
        auto* s = new CVerticalSlider(CRect(10, 14, 24, 163), &log, tag, 14, 156, handle, nullptr, CPoint(0, 0), kBottom);
        s->setValue(0.f);
        frame->addView(s);
        return s;
    }
    HeadlessFrame* frame = nullptr;
    CBitmap* handle = nullptr;
    GestureLog log;
};

TEST_F(Gestures, ADragIsOneGestureFromPressToRelease) {
    auto* s = fader(45);
    auto* h = new CHorizontalSlider(CRect(22, 170, 106, 180), &log, 27, 22, 97, handle, nullptr, CPoint(0, 0), kLeft);
    frame->addView(h);
    auto* k = new CKnob(CRect(150, 10, 196, 55), &log, 1, nullptr, nullptr, CPoint(0, 0));
    frame->addView(k);
    CBitmap* b = solidBitmap(225, 320, rgb(40, 40, 40));
    auto* sw = new CHorizontalSwitch(CRect(40, 100, 265, 120), &log, 12, 16, 20, 16, b, CPoint(0, 0));
    b->forget();
    frame->addView(sw);
    setGlobalKnobMode(kLinearMode);
    const struct {
        CControl* control;
        long x0, y0, x1, y1;
        const char* tag;
    } drags[] = {
        {s, 16, 159, 16, 60, "45"}, {h, 26, 175, 90, 175, "27"}, {k, 173, 40, 173, 0, "1"}, {sw, 150, 110, 60, 110, "12"},
    };
    for (const auto& d : drags) {
        const float before = d.control->getValue();
        log.valuesAtBegin.clear();
        frame->press(d.x0, d.y0);
        for (int i = 1; i <= 4; ++i) frame->moveTo(d.x0 + (d.x1 - d.x0) * i / 4, d.y0 + (d.y1 - d.y0) * i / 4);
        const std::string held = log.take();
        frame->release(d.x1, d.y1);
        const std::string released = log.take();
        // Begun at the press with the value untouched, changed while held, ended at the release.
        const std::string begun = std::string("b") + d.tag;
        EXPECT_EQ(held.rfind(begun + " v" + d.tag, 0), 0u) << held;
        EXPECT_EQ(held.find('e'), std::string::npos) << held;
        EXPECT_EQ(released, std::string("e") + d.tag);
        EXPECT_TRUE(balanced(held + " " + released));
        ASSERT_EQ(log.valuesAtBegin.size(), 1u);
        EXPECT_FLOAT_EQ(log.valuesAtBegin[0], before) << d.tag;
        EXPECT_NE(d.control->getValue(), before) << d.tag;
    }
    // A press that changes nothing (on the handle, released in place) is a gesture too.
    frame->click(16, 60);
    frame->click(16, 60);
    EXPECT_EQ(log.take(), "b45 e45 b45 e45");
}

TEST_F(Gestures, EachWheelStepIsAGestureOfItsOwnButNotInsideADrag) {
    auto* s = fader(46);
    frame->onWheelAt(CPoint(16, 100), 1.f, 0);
    frame->onWheelAt(CPoint(16, 100), 1.f, 0);
    EXPECT_EQ(log.take(), "b46 v46 e46 b46 v46 e46");
    EXPECT_FLOAT_EQ(log.valuesAtBegin[1], 0.1f);  // begun before the second step
    // At the end of the range the step still reports, inside its gesture.
    s->setValue(1.f);
    frame->onWheelAt(CPoint(16, 100), 1.f, 0);
    EXPECT_EQ(log.take(), "b46 v46 e46");
    // A wheel step while the fader is held belongs to the drag's gesture.
    frame->press(16, 100);
    frame->onWheelAt(CPoint(16, 100), -1.f, 0);
    frame->moveTo(16, 120);
    frame->release(16, 120);
    const std::string drag = log.take();
    EXPECT_EQ(drag.rfind("b46 v46 v46", 0), 0u) << drag;
    EXPECT_TRUE(balanced(drag));
    // Views that take no wheel begin nothing.
    CBitmap* img = twoImageBitmap(34, 20, rgb(10, 10, 10), rgb(200, 200, 200));
    frame->addView(new CKickButton(CRect(200, 150, 234, 160), &log, 13, 10, img, CPoint(0, 0)));
    img->forget();
    frame->onWheelAt(CPoint(210, 155), 1.f, 0);
    EXPECT_EQ(log.take(), "");
}

TEST_F(Gestures, ClicksAreGesturesAroundTheirChange) {
    CBitmap* img = twoImageBitmap(34, 20, rgb(10, 10, 10), rgb(200, 200, 200));
    frame->addView(new CKickButton(CRect(50, 50, 84, 60), &log, 13, 10, img, CPoint(0, 0)));
    frame->addView(new COnOffButton(CRect(100, 50, 134, 70), &log, 7, img));
    img->forget();
    // The kick button: pressed (1) and released (0) within one gesture.
    frame->press(60, 55);
    EXPECT_EQ(log.take(), "b13 v13");
    frame->release(60, 55);
    EXPECT_EQ(log.take(), "v13 e13");
    // The on/off button's toggle is complete at the press; the release adds nothing.
    frame->press(110, 60);
    EXPECT_EQ(log.take(), "b7 v7 e7");
    frame->release(110, 60);
    frame->click(110, 60);
    EXPECT_EQ(log.take(), "b7 v7 e7");
    // The reset click of a fader.
    auto* s = fader(46);
    s->setValue(0.9f);
    frame->click(16, 100, kControl);
    EXPECT_EQ(log.take(), "b46 v46 e46");
    EXPECT_FLOAT_EQ(log.valuesAtBegin.back(), 0.9f);
    // A control whose mouse is off begins nothing.
    s->setMouseEnabled(false);
    frame->drag(16, 100, 16, 40);
    frame->onWheelAt(CPoint(16, 100), 1.f, 0);
    EXPECT_EQ(log.take(), "");
}

TEST_F(Gestures, MenuChoicesAndTheSplashAreGesturesOfTheirOwn) {
    auto* menu = new COptionMenu(CRect(14, 40, 73, 56), &log, 266);
    menu->addEntry("first");
    menu->addEntry("second");
    auto* sub = new COptionMenu(CRect(0, 0, 0, 0), nullptr, 276);  // reports through the root's listener
    sub->addEntry("a");
    sub->addEntry("b");
    menu->addEntry(sub, "more");
    sub->forget();
    frame->addView(menu);
    auto centre = [&](long level, long index) {
        CRect r = frame->getMenuSession()->entryRect(level, index);
        return CPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    };
    frame->click(30, 48);
    EXPECT_EQ(log.take(), "");  // opening chooses nothing
    CPoint p = centre(0, 1);
    frame->click(p.h, p.v);
    EXPECT_EQ(log.take(), "b266 v266 e266");
    frame->click(30, 48);
    p = centre(0, 2);
    frame->hover(p.h, p.v);
    p = centre(1, 1);
    frame->hover(p.h, p.v);
    frame->click(p.h, p.v);
    EXPECT_EQ(log.take(), "b276 v276 e276");
    frame->click(30, 48);
    frame->click(290, 190);  // closed without a choice
    EXPECT_EQ(log.take(), "");

    CBitmap* art = solidBitmap(300, 200, rgb(9, 99, 199));
    CRect display(10, 60, 150, 150);
    CPoint offset(10, 10);
    frame->addView(new CSplashScreen(CRect(200, 150, 280, 190), &log, -1, art, display, offset));
    art->forget();
    frame->click(250, 20);  // outside the click area: nothing
    frame->click(240, 170);
    frame->click(250, 20);  // outside the display area: nothing
    frame->click(100, 100);
    EXPECT_EQ(log.take(), "b-1 v-1 e-1 b-1 v-1 e-1");
}

TEST_F(Gestures, RepeatedAndInterruptedGesturesStayBalanced) {
    auto* a = fader(45);
    auto* b = new CVerticalSlider(CRect(40, 14, 54, 163), &log, 46, 14, 156, handle, nullptr, CPoint(0, 0), kBottom);
    frame->addView(b);
    // Three drags: three gestures.
    for (int i = 0; i < 3; ++i) frame->drag(16, 150 - 30 * i, 16, 120 - 30 * i);
    std::string three = log.take();
    EXPECT_TRUE(balanced(three));
    EXPECT_EQ(std::count(three.begin(), three.end(), 'b'), 3);
    // A second press on the held fader (another button) stays in its gesture.
    frame->press(16, 100);
    frame->press(16, 90);
    frame->moveTo(16, 80);
    frame->release(16, 80);
    frame->release(16, 80);
    std::string twice = log.take();
    EXPECT_TRUE(balanced(twice));
    EXPECT_EQ(std::count(twice.begin(), twice.end(), 'b'), 1) << twice;
    // A press on another control while one is held: the first gesture ends before the
    // second begins, and the release ends the second.
    frame->press(16, 100);
    frame->press(46, 100);
    frame->moveTo(46, 60);
    frame->release(46, 60);
    std::string handed = log.take();
    EXPECT_TRUE(balanced(handed));
    EXPECT_EQ(handed.rfind("b45", 0), 0u);
    EXPECT_NE(handed.find("e45 b46"), std::string::npos) << handed;
    // A control removed while held ends its gesture; the release then reaches nobody.
    frame->press(46, 100);
    frame->moveTo(46, 110);
    b->remember();
    frame->removeView(b, true);
    frame->release(46, 110);
    EXPECT_TRUE(balanced(log.take()));
    b->forget();
    // The frame closed while a fader is held (the editor closes mid-drag).
    frame->press(16, 100);
    frame->moveTo(16, 105);
    delete frame;
    frame = nullptr;
    std::string closed = log.take();
    EXPECT_TRUE(balanced(closed));
    EXPECT_EQ(closed.substr(closed.size() - 3), "e45");
    (void)a;
}

}  // namespace
