// Control handling: the status text of every control change, the controls' reaction to
// the effect's notices, and the idle steps (meter, handles, hover images).

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "engine/engine_inspection.h"
#include "editor_support.h"

using namespace VSTGUI;
using editortest::bitmapId;
using editortest::statusColour;
using editortest::statusText;

namespace {

class Handling : public editortest::OpenEditor {
protected:
    bool automated(int index) {
        for (const auto& a : enginetest::scriptedHost().automations)
            if (a.index == index) return true;
        return false;
    }
    std::string status() { return statusText(editor()); }
};

}  // namespace

TEST_F(Handling, SingleControlsWriteTheirTexts) {
    userSets(1, 0.5f);
    EXPECT_EQ(status(), "Amplitude : -6 dB");
    EXPECT_TRUE(automated(1));
    userSets(2, 1.0f);
    EXPECT_EQ(status(), "Density factor : 2.0 x");
    userSets(3, 0.43089432f);
    EXPECT_EQ(status(), "Fader Unit Length : 1/16");
    userSets(4, 0.5f);
    EXPECT_EQ(status(), "Grain Envelope Sustain :  50 %");
    userSets(5, 0.25f);
    EXPECT_EQ(status(), "Filter Resonance :  25 %");
    EXPECT_FLOAT_EQ(fx->getParameter(5), 0.25f);
}

TEST_F(Handling, ButtonsWithoutTextOnlyStore) {
    userSets(1, 0.5f);
    const std::string before = status();
    userSets(6, 1.0f);
    EXPECT_FLOAT_EQ(fx->getParameter(6), 1.0f);
    userSets(7, 1.0f);
    EXPECT_FLOAT_EQ(fx->getParameter(7), 1.0f);
    userSets(11, 0.0f);
    EXPECT_EQ(status(), before);
    EXPECT_TRUE(automated(6));
    EXPECT_TRUE(automated(7));
}

TEST_F(Handling, MonitorAndRecordingTexts) {
    userSets(8, 1.0f);
    EXPECT_EQ(status(), "Monitoring Input");
    userSets(8, 0.0f);
    EXPECT_EQ(status(), "grainwheel v0.9 beta [0.0000 MB] ");  // the bank line
    EXPECT_TRUE(statusColour(editor()).sameRgb(kWhiteCColor));

    userSets(10, 1.0f);
    EXPECT_EQ(status(), "Filling buffer, buffersize 1/1");
    userSets(10, 0.0f);
    EXPECT_EQ(status(), "Recording stopped manually");

    userSets(9, 1.0f);
    EXPECT_EQ(status(), "Filling buffer...");
    userSets(9, 0.0f);
    EXPECT_EQ(status(), "Recording stopped");
}

TEST_F(Handling, ProgramControls) {
    userSets(12, 3.0f / 15.0f);
    EXPECT_EQ(status(), "Program number :      3");
    EXPECT_EQ(fx->getProgram(), 3);
    EXPECT_TRUE(automated(12));

    // Next: the press writes nothing, the release advances and names the program.
    userSets(14, 1.0f);
    EXPECT_EQ(status(), "Program number :      3");
    userSets(14, 0.0f);
    EXPECT_EQ(fx->getProgram(), 2);
    EXPECT_EQ(status(), "Program number :      2");
    userSets(13, 1.0f);
    userSets(13, 0.0f);
    EXPECT_EQ(fx->getProgram(), 3);
    EXPECT_EQ(status(), "Program number :      3");
    EXPECT_FLOAT_EQ(control(12)->getValue(), 3.0f / 15.0f);  // the effect's echo moved the switch

    userSets(15, 1.0f);
    EXPECT_EQ(status(), "Program number :      3");
    userSets(15, 0.0f);
    EXPECT_EQ(status(), "values copied from program      3");
    userSets(16, 1.0f);
    userSets(16, 0.0f);
    EXPECT_EQ(status(), "values inserted to program      3");
}

TEST_F(Handling, PresetsFollowTheRangeSettings) {
    userSets(17, 1.0f);  // pitch range 1 (Init): semitones
    EXPECT_EQ(status(), "pitch (all units) : +12.0 semitones");
    EXPECT_FLOAT_EQ(fx->getParameter(75 + 9), 1.0f);
    fx->setParameter(269, 2.0f);
    userSets(19, 1.0f);  // 0.5: no shift
    EXPECT_EQ(status(), "pitch (all units) :     +0 cents");
    fx->setParameter(269, 0.0f);
    userSets(18, 1.0f);
    EXPECT_EQ(status(), "pitch (all units) :  75 %");
    fx->setParameter(269, 3.0f);
    userSets(17, 1.0f);
    EXPECT_EQ(status(), "pitch (all units) :  75 %");  // no text for another range

    userSets(22, 1.0f);
    EXPECT_EQ(status(), "speed (all units) : +1.0 ");
    fx->setParameter(268, 4.0f);
    userSets(24, 1.0f);
    EXPECT_EQ(status(), "buffer position (all units) :  50 %");
    fx->setParameter(268, 5.0f);
    userSets(22, 1.0f);
    EXPECT_EQ(status(), "buffer position (all units) :  50 %");
}

namespace {

// The fixture effect's port, except that the speed Fader Range reads as the test sets it,
// whatever the effect itself would make of such a value.
class SpeedRangePort : public grainwheel::EffectPort {
public:
    explicit SpeedRangePort(std::unique_ptr<grainwheel::EffectPort> p) : fx(std::move(p)) {}
    float range = 0.0f;

    float getParameter(int index) override { return index == 268 ? range : fx->getParameter(index); }
    void setParameter(int index, float value) override { fx->setParameter(index, value); }
    void setParameterAutomated(int index, float value) override { fx->setParameterAutomated(index, value); }
    void getParameterDisplay(int index, char* text) override { fx->getParameterDisplay(index, text); }
    void beginEdit(int index) override { fx->beginEdit(index); }
    void endEdit(int index) override { fx->endEdit(index); }
    int currentUnit() override { return fx->currentUnit(); }
    int currentBuffer() override { return fx->currentBuffer(); }
    float linkedDensity() override { return fx->linkedDensity(); }
    bool takeRecordingMark() override { return fx->takeRecordingMark(); }
    void setHalted(bool halted) override { fx->setHalted(halted); }
    void silenceVoices() override { fx->silenceVoices(); }
    void copyDisplay(grainwheel::DisplaySnapshot& out) override { fx->copyDisplay(out); }
    void requestCapture() override { fx->requestCapture(); }
    int bufferLength(int b) override { return fx->bufferLength(b); }
    bool bufferHasArrays(int b) override { return fx->bufferHasArrays(b); }
    bool bufferSaved(int b) override { return fx->bufferSaved(b); }
    const char* bufferPath(int b) override { return fx->bufferPath(b); }
    float sampleRate() override { return fx->sampleRate(); }
    grainwheel::FileResult readWaveFile(const char* path) override { return fx->readWaveFile(path); }
    grainwheel::FileResult writeWaveFile(const char* path) override { return fx->writeWaveFile(path); }
    grainwheel::FileResult readBankFile(const char* path) override { return fx->readBankFile(path); }
    grainwheel::FileResult writeBankFile(const char* path) override { return fx->writeBankFile(path); }
    grainwheel::FileResult importBankOptions(const char* path) override { return fx->importBankOptions(path); }
    const char* bankName() override { return fx->bankName(); }
    void setBankName(const char* name) override { fx->setBankName(name); }
    const char* recentBank(int i) override { return fx->recentBank(i); }
    void recordRecentBank(const char* path) override { fx->recordRecentBank(path); }
    void exitSave() override { fx->exitSave(); }

private:
    std::unique_ptr<grainwheel::EffectPort> fx;
};

}  // namespace

// The speed texts by the range setting: below 4 the speed texts, exactly 4 the buffer
// position texts, above 4 (and no number at all) no text, for the presets and the faders.
TEST_F(Handling, SpeedTextsFollowTheExactRange) {
    auto owned = std::make_unique<SpeedRangePort>(fx->makeEditorPort());
    SpeedRangePort* port = owned.get();
    grainwheel::ADEditor own(std::move(owned));
    ASSERT_EQ(own.open(nullptr), 1);
    const float inf = std::numeric_limits<float>::infinity();
    const struct {
        float range;
        const char* preset;  // null: no text
        const char* fader;
    } cases[] = {
        {-1.0f, "speed (all units) : ", "speed (this unit) : "},
        {0.0f, "speed (all units) : ", "speed (this unit) : "},
        {2.0f, "speed (all units) : ", "speed (this unit) : "},
        {3.5f, "speed (all units) : ", "speed (this unit) : "},
        {std::nextafter(4.0f, 0.0f), "speed (all units) : ", "speed (this unit) : "},
        {-inf, "speed (all units) : ", "speed (this unit) : "},
        {4.0f, "buffer position (all units) : ", "buffer position (this unit) : "},
        {std::nextafter(4.0f, 5.0f), nullptr, nullptr},
        {4.5f, nullptr, nullptr},
        {4.99f, nullptr, nullptr},
        {5.0f, nullptr, nullptr},
        {1.0e9f, nullptr, nullptr},
        {inf, nullptr, nullptr},
        {std::numeric_limits<float>::quiet_NaN(), nullptr, nullptr},
    };
    auto userSetsOwn = [&](long tag, float v) {
        CControl* c = own.controlWithTag(tag);
        ASSERT_NE(c, nullptr);
        c->setValue(v);
        own.valueChanged(nullptr, c);
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.range);
        port->range = c.range;
        const struct {
            long tag;
            const char* prefix;
        } controls[] = {{22, c.preset}, {24, c.preset}, {59, c.fader}, {59 + 15, c.fader}};
        for (const auto& k : controls) {
            SCOPED_TRACE(k.tag);
            own.status()->setText("before");
            userSetsOwn(k.tag, 1.0f);
            const std::string shown = statusText(own);
            if (k.prefix) {
                EXPECT_EQ(shown.rfind(k.prefix, 0), 0u) << shown;
                EXPECT_GT(shown.size(), std::string(k.prefix).size()) << shown;  // the value follows
            } else {
                EXPECT_EQ(shown, "before");
            }
            if (k.tag >= 22 && k.tag < 27) userSetsOwn(k.tag, 0.0f);  // the kick button's release
        }
    }
    own.close();
}

TEST_F(Handling, ColumnAndBufferTexts) {
    userSets(27 + 4, 0.5f);
    EXPECT_EQ(status(), "Buffer Start Position :  50 %");
    EXPECT_TRUE(automated(31));
    userSets(43 + 2, 0.35f);
    EXPECT_EQ(status(), "Events in this unit : 12.0 ");
    EXPECT_TRUE(automated(45));
    userSets(59, 0.5f);
    EXPECT_EQ(status(), "speed (this unit) : +0.5 ");
    fx->setParameter(268, 4.0f);
    userSets(60, 0.5f);
    EXPECT_EQ(status(), "buffer position (this unit) :  50 %");
    userSets(75, 0.5f);
    EXPECT_EQ(status(), "pitch (this unit) : +0.0 semitones");
    fx->setParameter(269, 2.0f);
    userSets(76, 0.75f);
    EXPECT_EQ(status(), "pitch (this unit) :   +100 cents");
    fx->setParameter(269, 0.0f);
    userSets(77, 0.75f);
    EXPECT_EQ(status(), "pitch (this unit) :  75 %");
    userSets(91, 1.0f);
    EXPECT_EQ(status(), "Cutoff frequency (this unit) :  22050 Hz");
}

TEST_F(Handling, ScopesSplashAndSettingsWriteNothing) {
    userSets(1, 0.5f);
    const std::string before = status();
    editor().valueChanged(nullptr, editor().mainScopeView());
    editor().valueChanged(nullptr, editor().splash());
    // A setting menu stores its entry without telling the host.
    COptionMenu* sync = editor().settingMenu(276);
    sync->setValue(8.0f);
    const std::size_t automations = enginetest::scriptedHost().automations.size();
    editor().valueChanged(nullptr, sync);
    EXPECT_FLOAT_EQ(fx->getParameter(276), 8.0f);
    EXPECT_EQ(enginetest::scriptedHost().automations.size(), automations);
    EXPECT_EQ(status(), before);
}

TEST_F(Handling, EffectChangesMoveTheControls) {
    fx->setParameter(1, 0.25f);
    EXPECT_FLOAT_EQ(control(1)->getValue(), 0.25f);
    fx->setParameter(3, 0.9f);  // quantised by the effect to 7/8
    EXPECT_FLOAT_EQ(control(3)->getValue(), 7.0f / 8.0f);
    fx->setParameter(6, 1.0f);
    EXPECT_FLOAT_EQ(control(6)->getValue(), 1.0f);
    fx->setParameter(8, 1.0f);
    EXPECT_FLOAT_EQ(control(8)->getValue(), 1.0f);
    fx->setParameter(33, 0.75f);
    EXPECT_FLOAT_EQ(editor().bufferSlider(6)->getValue(), 0.75f);
    fx->setParameter(100, 0.125f);
    EXPECT_FLOAT_EQ(editor().columnFader(3, 9)->getValue(), 0.125f);
    fx->setParameter(270, 2.0f);
    EXPECT_FLOAT_EQ(editor().settingMenu(270)->getValue(), 2.0f);
    fx->setParameter(12, 1.0f);
    EXPECT_FLOAT_EQ(control(12)->getValue(), 1.0f);
}

TEST_F(Handling, GridSwapsAllColumnBackgrounds) {
    fx->setParameter(7, 1.0f);
    for (int c = 0; c < 4; ++c)
        for (int i = 0; i < 16; ++i) ASSERT_EQ(bitmapId(editor().columnFader(c, i)->getBackground()), 131);
    fx->setParameter(7, 0.0f);
    for (int c = 0; c < 4; ++c)
        for (int i = 0; i < 16; ++i) ASSERT_EQ(bitmapId(editor().columnFader(c, i)->getBackground()), 128);
}

TEST_F(Handling, NoticesWithTexts) {
    fx->setParameter(10, 1.0f);
    fx->setParameter(10, 0.0f);  // as the engine ends a synced recording
    EXPECT_EQ(status(), "Recording stopped");
    fx->setParameter(9, 1.0f);
    EXPECT_EQ(status().rfind(" [", 0), 0u) << status();  // buffer 0's line: no path yet
    EXPECT_NE(status().find("sec audio] [not saved]"), std::string::npos);
    fx->setParameter(9, 0.0f);
    editor().setParameter(256, 1.0f);  // a click on the main scope
    EXPECT_NE(status().find(" MB] "), std::string::npos);
}

TEST_F(Handling, BufferSelection) {
    // A click on buffer scope 7 tells the host bufferNo = 7 / 15 and selects buffer 7
    // (at once without a morph; with one, as the morph ends).
    fx->setParameter(274, 3.0f);
    editor().setParameter(254, 7.0f);
    EXPECT_EQ(fx->engine().getCurrentBuffer(), 0);
    EXPECT_FLOAT_EQ(fx->getParameter(0), 7.0f / 15.0f);
    fx->setParameter(274, 0.0f);
    editor().setParameter(254, 7.0f);
    EXPECT_EQ(fx->engine().getCurrentBuffer(), 7);
    EXPECT_TRUE(automated(0));
    EXPECT_FLOAT_EQ(fx->getParameter(0), 7.0f / 15.0f);
    EXPECT_EQ(status(), " [0.000 sec audio] ");
    editor().idle();
    for (int i = 0; i < 16; ++i) EXPECT_EQ(bitmapId(editor().bufferSlider(i)->getHandle()), i == 7 ? 156 : 151);
    EXPECT_EQ(editor().bufferShown(), 7);
}

TEST_F(Handling, HostSelectsBuffersWithTheEditorClosed) {
    editor().close();
    fx->setParameter(274, 0.0f);
    fx->setParameter(0, 1.0f);
    EXPECT_EQ(fx->engine().getCurrentBuffer(), 15);
    EXPECT_FLOAT_EQ(fx->getParameter(0), 1.0f);
    fx->setParameter(0, 1.0f);  // the same value again keeps buffer 15
    EXPECT_EQ(fx->engine().getCurrentBuffer(), 15);
    fx->setParameter(0, 4.0f / 15.0f);
    EXPECT_EQ(fx->engine().getCurrentBuffer(), 4);
}

TEST_F(Handling, ClosedEditorIgnoresNoticesButRunsTheExitSave) {
    editor().close();
    const std::size_t requests = dialogs.fileRequests.size();
    fx->setParameter(1, 0.3f);
    editor().setParameter(256, 1.0f);
    editor().setParameter(261, 1.0f);
    EXPECT_EQ(dialogs.fileRequests.size(), requests);
    editor().setParameter(250, 1.0f);
    ASSERT_EQ(dialogs.fileRequests.size(), requests + 1);
    EXPECT_EQ(dialogs.fileRequests.back(), "Save Bank to");
}

TEST_F(Handling, SettingMenusReloadAndStopGrains) {
    fx->setParameter(273, 3.0f);
    editor().settingMenu(273)->setValue(0.0f);
    editor().setParameter(253, 1.0f);
    EXPECT_FLOAT_EQ(editor().settingMenu(273)->getValue(), 3.0f);
    EXPECT_TRUE(editor().mainScopeView()->isStale());

    // 255 halts only in trigger mode.
    fx->engine().setHalted(false);
    editor().setParameter(255, 1.0f);
    EXPECT_EQ(grainwheel::EngineInspection::sequencer(fx->engine()).halted, 0);
    fx->setParameter(6, 1.0f);
    editor().setParameter(255, 1.0f);
    EXPECT_NE(grainwheel::EngineInspection::sequencer(fx->engine()).halted, 0);
}

TEST_F(Handling, WheelMovesSlidersAndTheKnobOnly) {
    const std::size_t requests = dialogs.fileRequests.size();
    EXPECT_FALSE(frame().onWheelAt(CPoint(170, 180), 1.0f, 0));  // load wave button
    EXPECT_FALSE(frame().onWheelAt(CPoint(90, 45), 1.0f, 0));    // file menu
    EXPECT_FALSE(frame().onWheelAt(CPoint(20, 184), 1.0f, 0));   // monitor button
    EXPECT_EQ(dialogs.fileRequests.size(), requests);
    EXPECT_FLOAT_EQ(fx->getParameter(8), 0.0f);
    const float before = fx->getParameter(43);
    EXPECT_TRUE(frame().onWheelAt(CPoint(400, 80), -1.0f, 0));  // time fader 0
    EXPECT_NE(fx->getParameter(43), before);
    EXPECT_TRUE(frame().onWheelAt(CPoint(898, 367), -1.0f, 0));  // the level knob
    EXPECT_NE(fx->getParameter(1), 0.5f);
}

// --- idle -------------------------------------------------------------------------------

// The thumbnail of the buffer being recorded follows the frames from idle to idle, and the
// first idle without new frames draws it once more: frames that landed after the idle took
// the engine's recording mark (its last drawing came too early for them) show too.
TEST_F(Handling, RecordedThumbnailShowsTheLastFramesToo) {
    fx->setParameter(9, 1.0f);  // rec free into the empty buffer 0
    editor().idle();
    const grainwheel::WaveDisplay* thumb = editor().bufferScope(0);
    const int length = currentFrames().length;
    ASSERT_GT(length, 74 * 100);
    const int column = length / 74;
    auto risen = [&](int from, int to) {
        for (int x = from; x < to; ++x)
            if (thumb->getColumnHeights()[x] != 9) return false;  // 0.5 of half 19
        return true;
    };
    recordFrames(column * 30, 0.5f, 0.5f);  // columns 2 .. 30 (1 reads frame 0, in the fade-in)
    editor().idle();
    EXPECT_TRUE(risen(2, 31));
    EXPECT_EQ(thumb->getColumnHeights()[40], 0);
    // The rest of the buffer, its mark taken by an idle that drew before these frames.
    recordFrames(length - column * 30, 0.5f, 0.5f);
    fx->setParameter(9, 0.0f);
    ASSERT_TRUE(editor().port()->takeRecordingMark());
    editor().idle();
    EXPECT_TRUE(risen(2, 74));
}

TEST_F(Handling, PlayingUnitHandles) {
    // Unit 0 plays after construction; the first idle (run by open) marked it.
    EXPECT_EQ(editor().playingUnitShown(), 0);
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(bitmapId(editor().columnFader(c, 0)->getHandle()), 153);
        EXPECT_EQ(bitmapId(editor().columnFader(c, 1)->getHandle()), 130);
    }
    // Reopening shows the same unit again.
    editor().close();
    ASSERT_EQ(editor().open(nullptr), 1);
    EXPECT_EQ(bitmapId(editor().columnFader(2, 0)->getHandle()), 153);
}

TEST_F(Handling, HoverColumns) {
    hover(396 + 14 * 3 + 5, 100);  // time fader 3
    editor().idle();
    EXPECT_EQ(editor().hoveredColumnFader(0), 3);
    EXPECT_EQ(bitmapId(editor().columnFader(0, 3)->getHandle()), 154);
    hover(396 + 5, 100);  // time fader 0: the playing unit
    editor().idle();
    EXPECT_EQ(editor().hoveredColumnFader(0), 0);
    EXPECT_EQ(bitmapId(editor().columnFader(0, 3)->getHandle()), 130);
    EXPECT_EQ(bitmapId(editor().columnFader(0, 0)->getHandle()), 155);
    hover(640 + 14 * 15 + 3, 250);  // freq fader 15
    editor().idle();
    EXPECT_EQ(editor().hoveredColumnFader(0), -1);
    EXPECT_EQ(editor().hoveredColumnFader(3), 15);
    EXPECT_EQ(bitmapId(editor().columnFader(0, 0)->getHandle()), 153);
    // The column's own edges are outside (strict comparisons).
    hover(640, 250);
    editor().idle();
    EXPECT_EQ(editor().hoveredColumnFader(3), -1);
}

TEST_F(Handling, HeldButtonKeepsTheHoverHandle) {
    hover(396 + 14 * 5 + 2, 60);
    editor().idle();
    EXPECT_EQ(editor().hoveredColumnFader(0), 5);
    press(396 + 14 * 5 + 2, 60);
    moveHeld(396 + 14 * 9 + 2, 60);
    editor().idle();
    EXPECT_EQ(editor().hoveredColumnFader(0), 5);
    EXPECT_EQ(bitmapId(editor().columnFader(0, 5)->getHandle()), 154);
    release(396 + 14 * 9 + 2, 60);
    editor().idle();
    EXPECT_EQ(editor().hoveredColumnFader(0), 9);
}

TEST_F(Handling, ButtonHoverImages) {
    hover(343, 38);  // the grid button's corner: edges count
    editor().idle();
    EXPECT_EQ(editor().hovered(), control(7));
    EXPECT_EQ(bitmapId(control(7)->getBackground()), 171);
    hover(300, 45);  // onto the trigger-mode button
    editor().idle();
    EXPECT_EQ(bitmapId(control(7)->getBackground()), 136);
    EXPECT_EQ(bitmapId(control(6)->getBackground()), 142);
    hover(90, 45);
    editor().idle();
    EXPECT_EQ(bitmapId(control(6)->getBackground()), 139);
    EXPECT_EQ(bitmapId(editor().fileMenuView()->getBackground()), 149);
    hover(600, 200);  // nothing
    editor().idle();
    EXPECT_EQ(editor().hovered(), nullptr);
    EXPECT_EQ(bitmapId(editor().fileMenuView()->getBackground()), 172);
    // Every candidate with its hover image.
    const struct {
        long tag;
        long x, y;
        long hover;
    } buttons[] = {{266, 20, 45, 148}, {263, 170, 45, 152}, {8, 20, 184, 159}, {10, 60, 185, 166},
                   {9, 120, 180, 167}, {261, 180, 180, 168}, {264, 250, 184, 169}, {11, 320, 182, 174},
                   {13, 760, 388, 133}, {14, 720, 390, 175}, {15, 800, 390, 176}, {16, 840, 390, 177}};
    for (const auto& b : buttons) {
        hover(b.x, b.y);
        editor().idle();
        EXPECT_EQ(bitmapId(control(b.tag)->getBackground()), b.hover) << b.tag;
    }
}

TEST_F(Handling, MeterShowsThePeakSinceTheLastIdle) {
    // Halted with monitoring on, the input passes at the main gain and is metered.
    hostAt(0.0, 0.0, 120.0);
    fx->setParameter(8, 1.0f);
    fx->engine().setHalted(true);
    std::vector<float> in(256, 0.5f), outL(256), outR(256);
    float* inputs[2] = {in.data(), in.data()};
    float* outputs[2] = {outL.data(), outR.data()};
    fx->processReplacing(inputs, outputs, 256);
    editor().idle();
    EXPECT_GT(editor().meter()->getValue(), 0.0f);
    editor().idle();
    EXPECT_FLOAT_EQ(editor().meter()->getValue(), 0.0f);
}

TEST_F(Handling, LinkedDensityMovesTheDensityFader) {
    fx->setParameter(267, 2.0f);  // fixed, linked to density
    fx->setParameter(43, 0.35f);  // sets density to 1 - 0.3
    EXPECT_FLOAT_EQ(control(2)->getValue(), 0.7f);
}

TEST_F(Handling, ClicksOnScopesAndTheSplash) {
    fx->setParameter(274, 0.0f);
    // Buffer scope 7 (row 1, column 3).
    press(29 + 88 * 3 + 10, 211 + 48 + 10);
    release(29 + 88 * 3 + 10, 211 + 48 + 10);
    EXPECT_EQ(fx->engine().getCurrentBuffer(), 7);
    EXPECT_TRUE(automated(0));
    // The main scope shows the bank line.
    press(100, 100);
    release(100, 100);
    EXPECT_NE(status().find(" MB] "), std::string::npos);
    // The small scope's area opens the splash; while it shows, other controls take no clicks.
    press(450, 370);
    release(450, 370);
    EXPECT_TRUE(editor().splash()->isShown());
    const float before = fx->getParameter(6);
    press(250, 45);  // the trigger-mode button
    release(250, 45);
    EXPECT_FLOAT_EQ(fx->getParameter(6), before);
    press(100, 300);  // inside the splash image: hides it
    release(100, 300);
    EXPECT_FALSE(editor().splash()->isShown());
    press(250, 45);
    release(250, 45);
    EXPECT_NE(fx->getParameter(6), before);
}

// An adapter's PanelHost: it may answer a change itself (the panel then leaves it), and
// hears of every change the panel acted on, scope clicks being asked as their notices.
TEST_F(Handling, PanelHostMayAnswerChangesItself) {
    struct Host final : grainwheel::PanelHost {
        int refused = -1;
        std::vector<int> asked;
        std::vector<std::pair<int, float>> changed;
        bool userChanging(int tag) override {
            asked.push_back(tag);
            return tag != refused;
        }
        void userChanged(int tag, float value) override { changed.emplace_back(tag, value); }
    } host;
    grainwheel::ADEditor own(fx->makeEditorPort(), &host);
    ASSERT_TRUE(own.open(nullptr));
    auto userSetsOwn = [&](long tag, float v) {
        CControl* c = own.controlWithTag(tag);
        ASSERT_NE(c, nullptr);
        c->setValue(v);
        own.valueChanged(nullptr, c);
    };
    host.refused = 45;
    userSetsOwn(45, 0.75f);
    EXPECT_NE(fx->getParameter(45), 0.75f);
    EXPECT_TRUE(host.changed.empty());
    userSetsOwn(46, 0.75f);
    EXPECT_FLOAT_EQ(fx->getParameter(46), 0.75f);
    ASSERT_EQ(host.changed.size(), 1u);
    EXPECT_EQ(host.changed[0].first, 46);
    EXPECT_FLOAT_EQ(host.changed[0].second, 0.75f);

    host.refused = grainwheel::kMainScopeClick;
    own.statusPlain("");
    own.scopeClicked(*own.mainScopeView());
    EXPECT_EQ(host.asked.back(), grainwheel::kMainScopeClick);
    EXPECT_EQ(statusText(own), "");  // not the bank's info
    own.close();
}
