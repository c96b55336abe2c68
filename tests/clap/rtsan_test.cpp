// The adapter's process() with parameter events, transports at the block's start and
// within it, takes, program changes that go back to the host, and the panel's changes
// and gestures sent out. Built with -DGW_RTSAN=ON process() is a real-time context, so any
// allocation, lock or system call in it (the host's calls aside, which this host keeps
// free of them: its lists are reserved before) aborts this test with a RealtimeSanitizer
// report.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/parameter_index.h"
#include "plugin/clap/clap_effect.h"
#include "tests/clap/clap_test_host.h"

namespace {

using namespace grainwheel;
using gwclaptest::Events;

TEST(ClapRealtime, BlocksWithEventsTransportsTakesAndPanelEditsStayRealtimeSafe) {
    gwclaptest::Host h{gwclaptest::Host::Bare{}};
    clap::ClapEffect* fx = clap::ClapEffect::create(h.host());
    ASSERT_NE(fx, nullptr);
    h.plugin = fx->plugin();
    constexpr std::uint32_t kBlock = 256;
    ASSERT_TRUE(h.start(44100.0, kBlock));
    h.output.events.reserve(100000);
    std::vector<float> in(kBlock), outL(kBlock), outR(kBlock);
    Events events;
    for (int b = 0; b < 900; ++b) {
        for (std::uint32_t i = 0; i < kBlock; ++i) in[i] = 0.4f * std::sin(static_cast<float>(b * kBlock + i) * 0.03f);
        events.clear();
        const int phase = b % 150;
        if (phase == 0) events.value(17, kRecSync, 1.0);
        if (phase == 40) events.value(3, kRecSync, 0.0);
        if (phase == 60) events.value(100, kRecFree, 1.0);
        if (phase == 90) events.value(200, kRecFree, 0.0);
        if (phase == 100) events.value(10, kNextProg, 1.0), events.value(11, kNextProg, 0.0);
        if (phase == 120) {
            events.value(60, kDensity, 0.3 + 0.001 * b);
            clap_event_transport_t moved = gwclaptest::playingAt(b * kBlock / 44100.0 * 2.0 + 8.0, 120.0, 4);
            moved.header.time = 128;
            events.transport(moved);
        }
        if (phase == 130) {
            fx->panelGesture(kDensity, true);
            fx->panelEdit(kDensity, 0.5f);
            fx->panelGesture(kDensity, false);
        }
        events.value(static_cast<std::uint32_t>(b % kBlock), static_cast<clap_id>(kTime + b % 16), 0.5);
        const clap_event_transport_t t = gwclaptest::playingAt(b * kBlock / 44100.0 * 2.0, 120.0, 4);
        ASSERT_EQ(h.process(in.data(), in.data(), outL.data(), outR.data(), kBlock, &events, &t), CLAP_PROCESS_CONTINUE);
    }
    // Every next-program command's change and every panel edit with its gestures went out.
    int programs = 0, edits = 0;
    for (const auto& e : h.output.events) {
        programs += e.type == CLAP_EVENT_PARAM_VALUE && e.id == kProgram;
        edits += e.id == kDensity;
    }
    EXPECT_EQ(programs, 6);
    EXPECT_EQ(edits, 18);
}

}  // namespace
