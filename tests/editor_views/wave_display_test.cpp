// The scope views: the buffer thumbnails, the main scope with its overlay and the small
// scope, drawn through the cairo back end into a headless frame.
#include <gtest/gtest.h>

#include <cstring>
#include <limits>

#include "tests/editor_views/views_support.h"

using namespace gwviews;
using grainwheel::BufferColumns;
using grainwheel::DisplayLive;
using grainwheel::DisplaySnapshot;

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// A panel whose pixel (x, y) is (x mod 256, y mod 256, 7), so the part drawn is visible.
CBitmap* panelBitmap() {
    std::vector<std::uint32_t> px(930 * 414);
    for (long y = 0; y < 414; ++y)
        for (long x = 0; x < 930; ++x) px[static_cast<std::size_t>(y * 930 + x)] = rgb(x % 256, y % 256, 7);
    return new CBitmap(930, 414, px.data());
}
std::uint32_t panelAt(long x, long y) { return rgb(x % 256, y % 256, 7); }

std::uint32_t red(std::uint32_t p) { return (p >> 16) & 0xFF; }
std::uint32_t green(std::uint32_t p) { return (p >> 8) & 0xFF; }
std::uint32_t blue(std::uint32_t p) { return p & 0xFF; }

class Scopes : public ::testing::Test {
protected:
    void SetUp() override { panel = panelBitmap(); }
    void TearDown() override { panel->forget(); }

    // Buffer scope i at its place in the panel's grid.
    WaveDisplay* addBufferScope(int i) {
        const long l = 29 + 88 * (i % 4), t = 211 + 48 * (i / 4);
        auto* v = WaveDisplay::bufferThumbnail(CRect(l, t, l + 74, t + 38), &editor, panel, i);
        v->setDisplay(&snapshot);
        view.frame->addView(v);
        return v;
    }
    WaveDisplay* addMainScope() {
        auto* v = WaveDisplay::mainScope(CRect(17, 64, 378, 172), &editor, panel);
        v->setDisplay(&snapshot);
        view.frame->addView(v);
        return v;
    }
    WaveDisplay* addSmallScope() {
        auto* v = WaveDisplay::smallScope(CRect(393, 342, 599, 402), &editor, panel);
        v->setDisplay(&snapshot);
        v->setRampBreak(9);
        view.frame->addView(v);
        smallScope = v;
        return v;
    }
    // The panel's part: the snapshot made from the test's buffers and values (new columns
    // where a buffer's changed, a new trace while the capture state is 1), the frame
    // drawn, and a drawn small scope's request for the next capture (state 0).
    void idle() {
        for (int n = 0; n < grainwheel::kNumBuffers; ++n) {
            BufferColumns c;
            computeColumns(framesOf(buffers.records[n]), c);
            c.serial = snapshot.buffers[n].serial;
            if (std::memcmp(&c, &snapshot.buffers[n], sizeof c) != 0) ++c.serial;
            snapshot.buffers[n] = c;
        }
        DisplayLive& live = snapshot.live;
        live.currentBuffer = buffers.current;
        live.playPosition = position;
        live.grainLength = grain;
        live.grainInterval = interval;
        live.recording = recording;
        live.settings[grainwheel::kScopeViewMode] = mode;
        live.currentLength = length;
        if (captureState == 1) {
            std::copy(capture, capture + grainwheel::kScopeTraceValues, snapshot.trace.values);
            ++snapshot.trace.serial;
        }
        view.idle();
        if (smallScope && smallScope->takeCaptureDrawn()) captureState = 0;
    }
    // True when every pixel of the frame outside r still shows the frame's marker colour
    // in a band of 3 pixels around r.
    bool untouchedAround(const CRect& r) {
        for (long x = r.left - 3; x < r.right + 3; ++x)
            for (long y = r.top - 3; y < r.bottom + 3; ++y) {
                if (CRect(r).pointInside(CPoint(x, y))) continue;
                if (view.at(x, y) != rgbOf(ViewFrame::kMarker)) return false;
            }
        return true;
    }

    ViewFrame view;
    RecordingEditor editor;
    CBitmap* panel = nullptr;
    Buffers buffers;
    DisplaySnapshot snapshot;
    WaveDisplay* smallScope = nullptr;
    float position = 0.0f;
    float grain = 0.0f;
    std::int32_t interval = 0;
    std::int32_t recording = 0;
    float mode = 1.0f;
    float capture[4097] = {};
    std::int32_t captureState = 0;
    float length = 0.0f;
};

TEST_F(Scopes, BufferScopePaintsThePanelUnderItselfWhenEmptyOrUnconnected) {
    auto* v = addBufferScope(5);  // 117, 259
    idle();
    for (long x = 117; x < 191; x += 9)
        for (long y = 259; y < 297; y += 5) ASSERT_EQ(view.at(x, y), panelAt(x, y)) << x << "," << y;
    v->setDisplay(nullptr);
    v->setDirty();
    idle();
    EXPECT_EQ(view.at(150, 278), panelAt(150, 278));
    EXPECT_TRUE(untouchedAround(CRect(117, 259, 191, 297)));
}

TEST_F(Scopes, BufferScopeDrawsColumnsAndHighlightsTheCurrentBuffer) {
    buffers.fill(2, 7400, [](int) { return 0.5f; });
    buffers.fill(3, 7400, [](int) { return 0.5f; });
    buffers.current = 3;
    auto* other = addBufferScope(2);    // 205, 211
    auto* current = addBufferScope(3);  // 293, 211
    idle();
    // Half is 19: a sample of 0.5 rises 9 pixels above the centre line.
    EXPECT_EQ(other->getColumnHeights()[10], 9);
    EXPECT_EQ(view.at(205 + 20, 211 + 5), panelAt(205 + 20, 211 + 5));  // above the line
    const std::uint32_t plain = view.at(205 + 20, 211 + 15);
    EXPECT_EQ(blue(plain) - red(plain), 30u);  // the (120, 135, 150) ramp
    const std::uint32_t lit = view.at(293 + 20, 211 + 15);
    EXPECT_EQ(red(lit), green(lit));  // the (180, 180, 180) ramp
    EXPECT_EQ(green(lit), blue(lit));
    EXPECT_GT(red(lit), 180u);
    (void)current;
}

TEST_F(Scopes, BufferScopeHoldsNaNAndHugeSamplesInsideItsRectangle) {
    buffers.fill(0, 740, [](int i) { return i % 3 == 0 ? kNaN : i % 3 == 1 ? 1.0e30f : -kInf; });
    auto* v = addBufferScope(0);  // 29, 211
    idle();
    for (int x = 0; x < 74; ++x) {
        EXPECT_LE(v->getColumnHeights()[x], 19) << x;
        EXPECT_GE(v->getColumnHeights()[x], -19) << x;
    }
    EXPECT_EQ(v->getColumnHeights()[0], 0);  // element 0 is NaN
    EXPECT_TRUE(untouchedAround(CRect(29, 211, 103, 249)));
}

TEST_F(Scopes, BufferScopeFollowsARecordReplacedByAShorterOne) {
    buffers.fill(0, 74000, [](int) { return 0.25f; });
    auto* v = addBufferScope(0);
    idle();
    EXPECT_EQ(v->getColumnHeights()[50], 4);
    // Replaced by a much shorter array (a load between two draws): every index read
    // stays within the new array (AddressSanitizer checks the reads).
    buffers.fill(0, 3, [](int) { return -0.5f; });
    v->setDirty();
    idle();
    EXPECT_EQ(v->getColumnHeights()[50], -9);
    buffers.empty(0);
    v->setDirty();
    idle();
    EXPECT_EQ(view.at(60, 230), panelAt(60, 230));
}

TEST_F(Scopes, MainScopeFillsItsBackgroundWheneverTheBufferIsEmpty) {
    auto* v = addMainScope();
    v->setStale();
    idle();
    EXPECT_FALSE(v->isStale());
    for (long x = 17; x < 378; x += 30) ASSERT_EQ(view.at(x, 100), rgb(0, 0, 0)) << x;
    // Redrawn without stale: still painted whole.
    v->setDirty();
    idle();
    EXPECT_EQ(view.at(200, 70), rgb(0, 0, 0));
    EXPECT_TRUE(untouchedAround(CRect(17, 64, 378, 172)));
}

TEST_F(Scopes, MainScopeDrawsTheWaveformAndTheSingleGrainRegion) {
    buffers.fill(0, 3610, [](int i) { return i < 1805 ? 0.0f : 0.5f; });
    position = 1805.0f;
    grain = 361.0f;
    mode = 1.0f;
    auto* v = addMainScope();
    v->setStale();
    idle();
    EXPECT_EQ(v->getColumnHeights()[0], 0);
    EXPECT_EQ(v->getColumnHeights()[300], 27);  // half is 54
    EXPECT_EQ(v->getRegionStart(), 180);
    EXPECT_EQ(v->getRegionWidth(), 36);
    // The flat part: the shaded (r, 80, 80) line on the centre line, background elsewhere.
    const std::uint32_t wave = view.at(17 + 60, 64 + 54);
    EXPECT_EQ(green(wave), 80u);
    EXPECT_EQ(blue(wave), 80u);
    EXPECT_GT(red(wave), 100u);
    EXPECT_EQ(view.at(17 + 60, 64 + 40), rgb(0, 0, 0));
    EXPECT_EQ(view.at(17 + 60, 64 + 70), rgb(0, 0, 0));
    EXPECT_EQ(view.at(17 + 180 + 18, 64 + 3), rgb(136, 136, 136));  // the region's grey edge
    EXPECT_EQ(view.at(17 + 180 + 18, 64 + 2), rgb(198, 166, 0));    // and its gold one
    EXPECT_TRUE(untouchedAround(CRect(17, 64, 378, 172)));
}

TEST_F(Scopes, MainScopeClipsTheRegionAtTheEndOfTheBuffer) {
    buffers.fill(0, 3610, [](int) { return 0.1f; });
    position = 3500.0f;
    grain = 361.0f;
    auto* v = addMainScope();
    idle();
    EXPECT_EQ(v->getRegionStart(), 350);
    EXPECT_EQ(v->getRegionWidth(), 11);
    EXPECT_EQ(v->getFullRegionWidth(), 36);
    EXPECT_LE(v->getRegionStart() + v->getRegionWidth(), 361);
    // A position beyond the length (NaN, huge) never leaves the columns.
    position = kNaN;
    v->setDirty();
    idle();
    EXPECT_EQ(v->getRegionStart(), 0);
    position = 1.0e30f;
    v->setDirty();
    idle();
    EXPECT_EQ(v->getRegionStart(), 361);
    EXPECT_EQ(v->getRegionWidth(), 0);
    EXPECT_TRUE(untouchedAround(CRect(17, 64, 378, 172)));
}

TEST_F(Scopes, MainScopeMarksTheSumOutputGrains) {
    buffers.fill(0, 3610, [](int) { return 0.0f; });
    position = 1805.0f;
    grain = 361.0f;
    interval = 0;
    mode = 2.0f;
    auto* v = addMainScope();
    idle();
    for (int i = 0; i < 10; ++i) EXPECT_EQ(v->getMarkers()[i], 180) << i;  // interval 0
    interval = 361;  // 36 columns apart
    v->setDirty();
    idle();
    EXPECT_EQ(v->getMarkers()[0], 0);    // 360: beyond the end with its width
    EXPECT_EQ(v->getMarkers()[1], 324);
    EXPECT_EQ(v->getMarkers()[5], 180);
    EXPECT_EQ(v->getMarkers()[9], 36);
    EXPECT_EQ(view.at(17 + 324 + 18, 64 + 3), rgb(98, 90, 0));  // marker 1's colour
    EXPECT_EQ(view.at(17 + 36 + 18, 64 + 3), rgb(98, 70, 0));   // marker 9's colour
}

TEST_F(Scopes, MainScopeShowsANewWaveformAtOnceWithThePlayHeadStill) {
    buffers.fill(0, 3610, [](int) { return 0.5f; });
    position = 100.0f;
    grain = 10.0f;
    auto* v = addMainScope();
    idle();
    EXPECT_NE(view.at(17 + 250, 64 + 54 - 10), rgb(0, 0, 0));
    // A WAV loaded with the transport stopped: same overlay inputs, new samples.
    buffers.fill(0, 3610, [](int) { return -0.5f; });
    v->setStale();
    v->setDirty();
    idle();
    EXPECT_EQ(v->getColumnHeights()[250], -27);
    EXPECT_EQ(view.at(17 + 250, 64 + 54 - 10), rgb(0, 0, 0));
    EXPECT_NE(view.at(17 + 250, 64 + 54 + 10), rgb(0, 0, 0));
}

TEST_F(Scopes, MainScopeHoldsNaNAndHugeSamples) {
    buffers.fill(0, 36100, [](int i) { return i % 2 ? kNaN : (i % 4 ? 1.0e20f : -1.0e20f); });
    auto* v = addMainScope();
    v->setStale();
    idle();
    for (int x = 0; x < 361; ++x) {
        ASSERT_LE(v->getColumnHeights()[x], 54) << x;
        ASSERT_GE(v->getColumnHeights()[x], -54) << x;
    }
    EXPECT_TRUE(untouchedAround(CRect(17, 64, 378, 172)));
}

TEST_F(Scopes, SmallScopeStaysBlackAndKeepsTheCaptureWhileTheBufferIsEmpty) {
    auto* v = addSmallScope();
    captureState = 1;
    idle();
    for (long x = 393; x < 599; x += 20) ASSERT_EQ(view.at(x, 370), rgb(0, 0, 0));
    EXPECT_EQ(captureState, 1);
    // "off" with a buffer: black, and the capture is handed back.
    length = 1000.0f;
    mode = 0.0f;
    v->setDirty();
    idle();
    EXPECT_EQ(view.at(450, 372), rgb(0, 0, 0));
    EXPECT_EQ(captureState, 0);
    EXPECT_TRUE(untouchedAround(CRect(393, 342, 599, 402)));
}

TEST_F(Scopes, SmallScopeDrawsTheSpectrumWithItsColourRamp) {
    auto* v = addSmallScope();
    length = 1000.0f;
    mode = 3.0f;
    for (float& c : capture) c = 1.0f;
    capture[1] = kNaN;  // left out of column 0's sum: 3 / 4 -> 17.5
    captureState = 1;
    idle();
    EXPECT_EQ(v->getColumnHeights()[0], 17);
    EXPECT_EQ(v->getColumnHeights()[1], 20);
    EXPECT_EQ(captureState, 0);
    EXPECT_EQ(view.at(393, 400), rgb(160, 160, 120));
    EXPECT_EQ(view.at(393 + 3, 400), rgb(161, 161, 123));
    EXPECT_EQ(view.at(393 + 50, 402 - 25), rgb(0, 0, 0));
    // The engine captures anew: a redraw before the next finished capture shows the
    // columns taken, and the capture array is never converted in place.
    for (float& c : capture) c = 0.0f;
    v->setStale();
    v->setDirty();
    idle();
    EXPECT_EQ(v->getColumnHeights()[1], 20);
    EXPECT_NE(view.at(393 + 50, 400), rgb(0, 0, 0));
    EXPECT_EQ(capture[5], 0.0f);
    EXPECT_TRUE(untouchedAround(CRect(393, 342, 599, 402)));
}

TEST_F(Scopes, SmallScopeDrawsTheTimeTraceHeldInsideTheView) {
    auto* v = addSmallScope();
    length = 1000.0f;
    mode = 1.0f;
    for (int i = 0; i < 206; ++i) capture[i] = 0.5f;
    capture[10] = kNaN;
    capture[20] = 1.0e9f;
    capture[30] = -kInf;
    captureState = 1;
    idle();
    EXPECT_EQ(v->getColumnHeights()[5], 15);
    EXPECT_EQ(v->getColumnHeights()[10], 0);
    EXPECT_EQ(v->getColumnHeights()[20], 30);
    EXPECT_EQ(v->getColumnHeights()[30], -30);
    EXPECT_EQ(view.at(393 + 60, 342 + 30 - 15), rgb(121, 121, 65));
    EXPECT_TRUE(untouchedAround(CRect(393, 342, 599, 402)));
}

TEST_F(Scopes, ClicksSelectABufferOrAskForTheBankLine) {
    auto* thumbnail = addBufferScope(7);  // 293, 259
    auto* main = addMainScope();
    auto* small = addSmallScope();
    view.frame->click(300, 270);
    view.frame->click(100, 100);
    view.frame->click(450, 370);
    // The thumbnail and the main scope report to their listener, the small scope not.
    ASSERT_EQ(editor.clicked.size(), 2u);
    EXPECT_EQ(editor.clicked[0], thumbnail);
    EXPECT_EQ(thumbnail->kind(), WaveDisplay::Kind::BufferThumbnail);
    EXPECT_EQ(thumbnail->bufferNumber(), 7);
    EXPECT_EQ(editor.clicked[1], main);
    EXPECT_EQ(main->kind(), WaveDisplay::Kind::MainScope);
    EXPECT_TRUE(editor.calls.empty());
    small->setMouseEnabled(false);
    EXPECT_EQ(small->getTag(), 0);
}

}  // namespace

namespace {

// Every "Scope View Mode", empty and filled: both large scopes always paint their whole
// rectangle; the waveform is shaded in the single-grain modes and in "off", drawn in the
// foreground colour in the sum modes; the small scope hands the capture back once drawn.
TEST_F(Scopes, EveryScopeModeEmptyAndFilled) {
    auto* mainScope = addMainScope();
    auto* small = addSmallScope();
    for (int m = 0; m <= 4; ++m) {
        SCOPED_TRACE(m);
        mode = static_cast<float>(m);
        buffers.empty(0);
        length = 0.0f;
        captureState = 1;
        mainScope->setStale();
        mainScope->setDirty();
        small->setDirty();
        idle();
        EXPECT_EQ(view.at(17 + 100, 64 + 54), rgb(0, 0, 0));
        EXPECT_EQ(view.at(393 + 100, 342 + 30), rgb(0, 0, 0));
        EXPECT_EQ(captureState, 1);

        buffers.fill(0, 3610, [](int) { return 0.0f; });
        length = 3610.0f;
        for (int i = 0; i < 4097; ++i) capture[i] = 0.25f;
        captureState = 1;
        mainScope->setStale();
        mainScope->setDirty();
        small->setDirty();
        idle();
        const std::uint32_t wave = view.at(17 + 60, 64 + 54);
        if (m == 2 || m == 4) {
            EXPECT_EQ(wave, rgb(193, 81, 49));
        } else {
            EXPECT_EQ(green(wave), 80u);
        }
        EXPECT_EQ(captureState, 0);
        if (m == 0) {
            EXPECT_EQ(view.at(393 + 100, 342 + 30 - 7), rgb(0, 0, 0));
        } else {
            // Time: 30 x 0.25; frequency: 20 log10(0.25) + 20 = 7.96.
            EXPECT_EQ(small->getColumnHeights()[100], 7);
        }
        EXPECT_TRUE(untouchedAround(CRect(17, 64, 378, 172)));
        EXPECT_TRUE(untouchedAround(CRect(393, 342, 599, 402)));
    }
}

// The grain markers in every "Scope View Mode": the main scope outlines the earlier and
// later grains only in the two sum-output modes (2 and 4); in "off" and the single-grain
// modes it outlines the one grain region, and nothing in a marker colour is drawn.
TEST_F(Scopes, GrainMarkersOnlyInTheSumOutputModes) {
    buffers.fill(0, 3610, [](int) { return 0.0f; });
    position = 1805.0f;  // region start 180
    grain = 361.0f;      // 36 columns wide
    interval = 361;      // markers 36 columns apart
    auto* v = addMainScope();
    // Markers 1 to 9 (5 lies under the region) at 324 - 36 (i - 1), each in its colour.
    auto markerColour = [](int i) { return rgb(98, i < 5 ? 70 + 20 * i : 250 - 20 * i, 0); };
    for (int m = 0; m <= 4; ++m) {
        SCOPED_TRACE(m);
        mode = static_cast<float>(m);
        v->setStale();
        v->setDirty();
        idle();
        const bool sum = m == 2 || m == 4;
        long markerPixels = 0;
        for (long x = 17; x < 378; ++x)
            for (long y = 64; y < 172; ++y) {
                const std::uint32_t p = view.at(x, y);
                if (red(p) == 98 && blue(p) == 0 && green(p) >= 70 && green(p) <= 150) ++markerPixels;
            }
        for (int i = 1; i < 10; ++i) {
            if (i == 5) continue;
            const long column = 324 - 36 * (i - 1);
            const std::uint32_t top = view.at(17 + column + 18, 64 + 3);
            if (sum) {
                EXPECT_EQ(v->getMarkers()[i], column) << i;
                EXPECT_EQ(top, markerColour(i)) << i;
            } else {
                EXPECT_EQ(v->getMarkers()[i], 0) << i;
                EXPECT_EQ(top, rgb(0, 0, 0)) << i;  // the background
            }
        }
        if (sum) {
            EXPECT_GT(markerPixels, 8 * 36);
            EXPECT_EQ(view.at(17 + 198, 64 + 3), rgb(198, 166, 0));  // the region, gold over marker 5
        } else {
            EXPECT_EQ(markerPixels, 0);
            EXPECT_EQ(view.at(17 + 198, 64 + 3), rgb(136, 136, 136));  // the single region's grey edge
            EXPECT_EQ(view.at(17 + 198, 64 + 2), rgb(198, 166, 0));
        }
    }
}

}  // namespace
