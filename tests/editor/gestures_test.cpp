// The editor's gestures as the host hears them: begin-edit, the automation, end-edit for
// the controls of host parameters, nothing for the internal settings and the program steps.

#include <gtest/gtest.h>

#include <string>

#include "editor_support.h"
#include "resources/panel_layout.h"

using namespace VSTGUI;
namespace panel = grainwheel::panel;

namespace {

class Gestures : public editortest::OpenEditor {
protected:
    // The host's edit calls since the last take, one word each ("b46" begin-edit, "v46"
    // automation, "e46" end-edit); a run of automation of one index is one word.
    std::string take() {
        auto& edits = enginetest::scriptedHost().edits;
        std::string line, last;
        for (const auto& c : edits) {
            const std::string word = c.kind + std::to_string(c.index);
            if (word == last && c.kind == 'v') continue;
            line += (line.empty() ? "" : " ") + word;
            last = word;
        }
        edits.clear();
        return line;
    }
    static CPoint centre(const panel::Rect& r) { return CPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2); }
    void click(const panel::Rect& r) {
        const CPoint p = centre(r);
        press(p.h, p.v);
        release(p.h, p.v);
    }
};

TEST_F(Gestures, ADragAndAWheelStepAreBracketedForTheHost) {
    take();
    // Unit 3's time fader (parameter 46), dragged from its middle upwards.
    const CPoint p = centre(panel::columnFader(panel::kTimeColumn, 3));
    press(p.h, p.v);
    for (int dy = 10; dy <= 40; dy += 10) moveHeld(p.h, p.v - dy);
    EXPECT_EQ(take(), "b46 v46");  // held: begun, automated, not ended
    release(p.h, p.v - 40);
    EXPECT_EQ(take(), "e46");
    // The level knob's wheel: one gesture per step.
    const CPoint k = centre(panel::kLevelKnob);
    frame().onWheelAt(k, 1.0f, 0);
    frame().onWheelAt(k, -1.0f, 0);
    EXPECT_EQ(take(), "b1 v1 e1 b1 v1 e1");
    // A buffer slider (parameter 27 + 5).
    const panel::Rect s = panel::bufferSlider(5);
    press(s.left + 60, (s.top + s.bottom) / 2);
    release(s.left + 60, (s.top + s.bottom) / 2);
    EXPECT_EQ(take(), "b32 v32 e32");
}

TEST_F(Gestures, ClicksOnParametersAreBracketedTheRestIsNot) {
    take();
    click(panel::kGridButton);
    EXPECT_EQ(take(), "b7 v7 e7");
    click(panel::pitchPreset(2));
    EXPECT_EQ(take(), "b19 v19 e19");
    // The program switch: its own automation inside, whatever the program change adds.
    const CPoint sw = centre(panel::kProgramSwitch);
    press(sw.h + 60, sw.v);
    release(sw.h + 60, sw.v);
    const std::string program = take();
    EXPECT_EQ(program.rfind("b12 v12", 0), 0u) << program;
    EXPECT_EQ(program.substr(program.size() - 4), " e12") << program;
    // Next and previous: the program the effect automates at the release.
    click(panel::kNextButton);
    click(panel::kPrevButton);
    EXPECT_EQ(take(), "b12 v12 e12 b12 v12 e12");
    // A buffer scope's click selects its buffer through parameter 0.
    click(panel::bufferScope(6));
    EXPECT_EQ(take(), "b0 v0 e0");
    EXPECT_FLOAT_EQ(fx->getParameter(0), 6.0f / 15.0f);
    // The main scope, the scopes' wheel and the internal settings: nothing.
    click(panel::kMainScope);
    frame().onWheelAt(centre(panel::bufferScope(6)), 1.0f, 0);
    editor().settingMenu(276)->choose(nullptr, 8, nullptr);
    EXPECT_FLOAT_EQ(fx->getParameter(276), 8.0f);
    EXPECT_EQ(take(), "");
}

TEST_F(Gestures, ClosingTheEditorMidDragEndsTheGesture) {
    take();
    const CPoint p = centre(panel::kDensityFader);
    press(p.h, p.v);
    moveHeld(p.h, p.v + 20);
    editor().close();
    EXPECT_EQ(take(), "b2 v2 e2");
}

// A host that keeps its tempo map per thread reads it when a gesture begins on a playing
// transport: the editor's thread asks it for a tempo first, so the begin never finds the
// map missing; any other host hears exactly the gestures it heard before (the scripted
// host counts the begin it would have crashed on).
class TempoMapPerThread : public Gestures {
protected:
    void dragAs(const char* product) {
        auto& host = enginetest::scriptedHost();
        host.playingAt(8.0, 8.0, 120.0);
        host.product = product;
        host.tempoMapPerThread = true;
        take();
        const CPoint p = centre(panel::columnFader(panel::kTimeColumn, 3));
        press(p.h, p.v);
        moveHeld(p.h, p.v - 20);
        release(p.h, p.v - 20);
        EXPECT_EQ(take(), "b46 v46 e46");
    }
};

TEST_F(TempoMapPerThread, ArdourIsAskedForTheTempoBeforeEveryGesture) {
    dragAs("Ardour");
    EXPECT_EQ(enginetest::scriptedHost().unmappedBegins, 0);
    EXPECT_GE(enginetest::scriptedHost().tempoQueries, 3);  // before the begin, each automation, the end
}

TEST_F(TempoMapPerThread, OtherHostsAreNotAsked) {
    dragAs("another host");
    EXPECT_EQ(enginetest::scriptedHost().tempoQueries, 0);
    EXPECT_EQ(enginetest::scriptedHost().unmappedBegins, 1);  // what the Ardour case prevents
}

}  // namespace
