// The command-line host's simulated transport.
#include <gtest/gtest.h>

#include "tools/host_session.h"

TEST(Transport, PositionTempoAndBars) {
    gwhost::Transport t;
    t.sampleRate = 48000.0;
    t.tempo = 90.0;
    t.timeSigNumerator = 3;
    t.timeSigDenominator = 4;
    t.advance(48000 * 5);  // 5 s at 1.5 beats per second: 7.5 quarters
    VstTimeInfo info;
    t.describe(info);
    EXPECT_DOUBLE_EQ(info.ppqPos, 7.5);
    EXPECT_DOUBLE_EQ(info.barStartPos, 6.0);  // bars of 3 quarters
    EXPECT_DOUBLE_EQ(info.tempo, 90.0);
    EXPECT_DOUBLE_EQ(info.samplePos, 240000.0);
    EXPECT_EQ(info.timeSigNumerator, 3);
    EXPECT_EQ(info.timeSigDenominator, 4);
    const VstInt32 wanted = kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstTimeSigValid;
    EXPECT_EQ(info.flags & wanted, wanted);
    EXPECT_EQ(info.flags & kVstTransportPlaying, kVstTransportPlaying);
    t.playing = false;
    t.describe(info);
    EXPECT_EQ(info.flags & kVstTransportPlaying, 0);
}

TEST(Transport, SixEightBarsAreThreeQuarters) {
    gwhost::Transport t;
    t.timeSigNumerator = 6;
    t.timeSigDenominator = 8;
    t.samplePos = 44100.0 * 2;  // 4 quarters at 120 BPM
    VstTimeInfo info;
    t.describe(info);
    EXPECT_DOUBLE_EQ(info.ppqPos, 4.0);
    EXPECT_DOUBLE_EQ(info.barStartPos, 3.0);
}

TEST(HostSession, RefusesWhatIsNotAPlugin) {
    gwhost::HostSession session;
    EXPECT_FALSE(session.load("/nonexistent/plugin.so"));
    EXPECT_FALSE(session.error().empty());
    EXPECT_FALSE(session.load("/etc/hostname"));
    EXPECT_EQ(session.effect(), nullptr);
    EXPECT_STREQ(gwhost::categoryName(1), "Effect");
    EXPECT_STREQ(gwhost::categoryName(99), "?");
}
