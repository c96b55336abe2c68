#pragma once
// Helpers of the editor suites: a GrainEffect on the scripted host with its editor open
// on a headless frame, and short ways to reach the panel's views.

#include <string>

#include "editor/ad_editor.h"
#include "editor/clabel.h"
#include "editor/wave_display.h"
#include "plugin/grain_effect.h"
#include "gui/headlessframe.h"
#include "gui/vstgui.h"
#include "tests/support/effect_fixture.h"

namespace editortest {

// The status line's text and font colour.
inline std::string statusText(grainwheel::ADEditor& e) {
    grainwheel::CLabel* l = e.status();
    return l ? std::string(l->getText()) : std::string("<no label>");
}
inline VSTGUI::CColor statusColour(grainwheel::ADEditor& e) {
    return e.status() ? e.status()->getFontColor() : VSTGUI::CColor{};
}

// The class name of a view as the toolkit knows it (most derived first).
inline std::string className(VSTGUI::CView* v) {
    using namespace VSTGUI;
    if (dynamic_cast<grainwheel::WaveDisplay*>(v)) return "WaveDisplay";
    if (dynamic_cast<grainwheel::CLabel*>(v)) return "CLabel";
    if (dynamic_cast<COptionMenu*>(v)) return "COptionMenu";
    if (dynamic_cast<CVerticalSlider*>(v)) return "CVerticalSlider";
    if (dynamic_cast<CHorizontalSlider*>(v)) return "CHorizontalSlider";
    if (dynamic_cast<CKnob*>(v)) return "CKnob";
    if (dynamic_cast<CKickButton*>(v)) return "CKickButton";
    if (dynamic_cast<COnOffButton*>(v)) return "COnOffButton";
    if (dynamic_cast<CHorizontalSwitch*>(v)) return "CHorizontalSwitch";
    if (dynamic_cast<CSplashScreen*>(v)) return "CSplashScreen";
    if (dynamic_cast<CVuMeter*>(v)) return "CVuMeter";
    return "CView";
}

inline long bitmapId(VSTGUI::CBitmap* b) { return b ? b->getResourceID() : 0; }

// A GrainEffect with its editor open on a headless frame.
class OpenEditor : public enginetest::EffectTest {
protected:
    void SetUp() override {
        EffectTest::SetUp();
        ASSERT_EQ(editor().open(nullptr), 1);
    }
    void TearDown() override {
        if (editor().isOpen()) editor().close();
        EffectTest::TearDown();
    }
    VSTGUI::CFrame& frame() { return *editor().panelFrame(); }
    // The mouse, through the frame's event entry points (frame coordinates).
    void hover(long x, long y) { frame().onMouseMove(VSTGUI::CPoint(x, y), 0); }
    void press(long x, long y) { frame().onMouseDown(VSTGUI::CPoint(x, y), VSTGUI::kLButton); }
    void moveHeld(long x, long y) { frame().onMouseMove(VSTGUI::CPoint(x, y), VSTGUI::kLButton); }
    void release(long x, long y) { frame().onMouseUp(VSTGUI::CPoint(x, y), 0); }
    VSTGUI::CControl* control(long tag) { return editor().controlWithTag(tag); }
    // The user moves control `tag` to v: the value is set and the listener told.
    void userSets(long tag, float v) {
        VSTGUI::CControl* c = control(tag);
        ASSERT_NE(c, nullptr) << "tag " << tag;
        c->setValue(v);
        editor().valueChanged(nullptr, c);
    }
};

}  // namespace editortest
