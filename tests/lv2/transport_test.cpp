// HostPosition: the engine's transport from the host's time:Position objects, run on
// between them exactly as the VST 2 test host's transport runs.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "plugin/lv2/lv2_transport.h"
#include "tools/host_session.h"

namespace {

using grainwheel::EngineTransport;
using grainwheel::lv2::HostPosition;
using grainwheel::lv2::PositionUpdate;

PositionUpdate rolling(double beat, double tempo, double beatsPerBar = 4.0, double beatUnit = 4.0) {
    PositionUpdate u;
    u.has = PositionUpdate::kBeat | PositionUpdate::kTempo | PositionUpdate::kSpeed | PositionUpdate::kBeatsPerBar |
            PositionUpdate::kBeatUnit;
    u.beat = beat;
    u.tempo = tempo;
    u.speed = 1.0;
    u.beatsPerBar = beatsPerBar;
    u.beatUnit = beatUnit;
    return u;
}

bool same(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

EngineTransport answer(const HostPosition& p) {
    EngineTransport t;
    EXPECT_TRUE(p.answer(t));
    return t;
}

TEST(Lv2HostPosition, NoTempoNoAnswer) {
    HostPosition p(44100.0);
    EngineTransport t;
    EXPECT_FALSE(p.answer(t));
    PositionUpdate u;
    u.has = PositionUpdate::kBeat | PositionUpdate::kSpeed;
    u.beat = 3.0;
    u.speed = 1.0;
    p.take(u);
    p.advance(512);
    EXPECT_FALSE(p.answer(t));
}

TEST(Lv2HostPosition, RunsOnExactlyAsTheVst2TestHost) {
    for (const double rate : {44100.0, 48000.0, 96000.0}) {
        for (const double tempo : {120.0, 97.5, 133.0, 60.0}) {
            for (const int metre : {4, 3, 7}) {
                HostPosition p(rate);
                p.take(rolling(0.0, tempo, metre));
                gwhost::Transport vst;
                vst.sampleRate = rate;
                vst.tempo = tempo;
                vst.timeSigNumerator = metre;
                VstTimeInfo info{};
                // Blocks of changing sizes, many minutes' worth.
                for (int block = 0; block < 20000; ++block) {
                    const EngineTransport t = answer(p);
                    vst.describe(info);
                    ASSERT_TRUE(same(t.ppqPosition, info.ppqPos)) << rate << " " << tempo << " block " << block;
                    ASSERT_TRUE(same(t.barStart, info.barStartPos));
                    ASSERT_TRUE(same(t.tempo, info.tempo));
                    ASSERT_EQ(t.timeSigNumerator, info.timeSigNumerator);
                    ASSERT_EQ(t.timeSigDenominator, info.timeSigDenominator);
                    ASSERT_EQ(t.flags, info.flags);
                    const int frames = 1 + (block * 37) % 700;
                    p.advance(frames);
                    vst.advance(frames);
                }
            }
        }
    }
}

TEST(Lv2HostPosition, StopFreezesAndRollingOnContinues) {
    HostPosition p(48000.0);
    p.take(rolling(0.0, 120.0));
    p.advance(24000);
    EXPECT_DOUBLE_EQ(answer(p).ppqPosition, 1.0);
    PositionUpdate stop;
    stop.has = PositionUpdate::kSpeed;
    stop.speed = 0.0;
    p.take(stop);
    for (int i = 0; i < 100; ++i) p.advance(480);
    EXPECT_DOUBLE_EQ(answer(p).ppqPosition, 1.0);
    EXPECT_EQ(answer(p).flags & EngineTransport::kPlaying, 0);
    PositionUpdate roll = stop;
    roll.speed = 1.0;
    p.take(roll);
    p.advance(12000);
    EXPECT_DOUBLE_EQ(answer(p).ppqPosition, 1.5);
    EXPECT_NE(answer(p).flags & EngineTransport::kPlaying, 0);
}

// A host playing at half speed (or backwards, rewinding) runs the position at that speed.
TEST(Lv2HostPosition, TheSpeedScalesTheRun) {
    for (const double speed : {0.5, -1.0, 2.0}) {
        HostPosition p(48000.0);
        PositionUpdate u = rolling(8.0, 120.0);
        u.speed = speed;
        p.take(u);
        p.advance(48000);  // a second: two quarters at 120 BPM and speed 1
        EXPECT_DOUBLE_EQ(answer(p).ppqPosition, 8.0 + 2.0 * speed) << speed;
        EXPECT_NE(answer(p).flags & EngineTransport::kPlaying, 0);
    }
}

TEST(Lv2HostPosition, RelocationByBeatOrByBar) {
    HostPosition p(44100.0);
    p.take(rolling(0.0, 120.0));
    p.advance(100000);
    p.take(rolling(10.0, 120.0));
    EXPECT_EQ(answer(p).ppqPosition, 10.0);
    EXPECT_EQ(answer(p).barStart, 8.0);
    p.advance(22050);
    EXPECT_EQ(answer(p).ppqPosition, 11.0);
    PositionUpdate bar;
    bar.has = PositionUpdate::kBar | PositionUpdate::kBarBeat;
    bar.bar = 5.0;
    bar.barBeat = 2.5;
    p.take(bar);
    EXPECT_EQ(answer(p).ppqPosition, 22.5);
    EXPECT_EQ(answer(p).barStart, 20.0);
}

TEST(Lv2HostPosition, EighthNoteBeats) {
    HostPosition p(44100.0);
    p.take(rolling(6.0, 120.0, 7.0, 8.0));  // 7/8, beat 6 in eighths = 3 quarters
    EngineTransport t = answer(p);
    EXPECT_EQ(t.ppqPosition, 3.0);
    EXPECT_EQ(t.timeSigNumerator, 7);
    EXPECT_EQ(t.timeSigDenominator, 8);
    EXPECT_EQ(t.barStart, 0.0);
    p.advance(44100);  // 120 eighths a minute: 2 eighths = 1 quarter
    t = answer(p);
    EXPECT_DOUBLE_EQ(t.ppqPosition, 4.0);
    EXPECT_DOUBLE_EQ(t.barStart, 3.5);
}

TEST(Lv2HostPosition, HostileValuesAreIgnored) {
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    HostPosition p(44100.0);
    EngineTransport t;
    for (const double bad : {nan, inf, -inf, 0.0, -120.0}) {
        PositionUpdate u = rolling(0.0, bad);
        p.take(u);
        EXPECT_FALSE(p.answer(t)) << "tempo " << bad;
    }
    p.take(rolling(4.0, 120.0));
    p.advance(22050);
    auto hostile = [&](double bad, bool position) {
        PositionUpdate u;
        u.has = PositionUpdate::kTempo | PositionUpdate::kBeatUnit | PositionUpdate::kBeatsPerBar |
                PositionUpdate::kSpeed;
        if (position) u.has |= PositionUpdate::kBeat | PositionUpdate::kBar | PositionUpdate::kBarBeat;
        u.tempo = u.beatUnit = u.beatsPerBar = u.beat = u.bar = u.barBeat = bad;
        u.speed = std::isfinite(bad) ? 1.0 : bad;
        p.take(u);
        p.advance(22050);
        t = answer(p);
        EXPECT_TRUE(std::isfinite(t.ppqPosition) && std::isfinite(t.barStart)) << bad;
        EXPECT_EQ(t.tempo, 120.0);
        EXPECT_EQ(t.timeSigNumerator, 4);
        EXPECT_EQ(t.timeSigDenominator, 4);
        EXPECT_NE(t.flags & EngineTransport::kPlaying, 0);
    };
    for (const double bad : {nan, inf, -inf}) hostile(bad, true);
    hostile(0.0, false);
    // The position ran on through all of them, one quarter per update.
    EXPECT_EQ(t.ppqPosition, 9.0);
}

}  // namespace
