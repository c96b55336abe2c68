// grainwheel.clap and the VST 2 module, both as built, given the same settings, input and
// transport, give the same samples bit for bit. The CLAP side gets each block's changes
// as events at their frames and a transport at the block's start; the VST 2 side runs the
// same block split where the changes fall, set by setParameter, its transport placed at
// each block's start and running on from there. The session records with rec sync and
// rec free and plays the takes back, changes program by value and by the next-program
// command.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include "engine/parameter_index.h"
#include "engine/parameter_table.h"
#include "tests/clap/clap_test_host.h"
#include "tests/lv2/vst2_test_host.h"
#include "tests/support/parity_session.h"
#include "tools/demo_input.h"

namespace {

using namespace gwclaptest;
using namespace grainwheel;

using gwparity::Case;
using gwparity::Change;
using gwparity::frameOf;
using gwparity::session;

// The value in the parameter's range: a choice's step, or the value itself.
double plain(int index, float value) {
    const ParameterInfo& p = parameterInfo(index);
    return p.kind == ParameterKind::Choice ? std::round(value * p.steps) : value;
}

void expectParity(const Case& c) {
    const std::int64_t frames = frameOf(c, c.beats);
    const std::vector<float> demo = gwhost::makeDemoInput(frames, c.rate, static_cast<float>(c.tempo));
    const auto size = static_cast<std::size_t>(frames);
    std::vector<float> inL(size), inR(size), clapL(size), clapR(size), vstL(size), vstR(size);
    for (std::size_t i = 0; i < size; ++i) inL[i] = demo[2 * i], inR[i] = demo[2 * i + 1];
    Host fx;
    gwlv2test::Vst2Module vst(c.rate, c.block);
    ASSERT_TRUE(fx.ok() && fx.start(c.rate, static_cast<std::uint32_t>(c.block)) && vst.ok());
    vst.transport.tempo = c.tempo;
    vst.transport.timeSigNumerator = c.beatsPerBar;
    vst.transport.timeSigDenominator = 4;

    const std::vector<Change> script = session();
    std::size_t next = 0;
    Events events;
    for (std::int64_t at = 0; at < frames; at += c.block) {
        const auto n = static_cast<std::uint32_t>(std::min<std::int64_t>(c.block, frames - at));
        const std::size_t first = next;
        events.clear();
        while (next < script.size() && frameOf(c, script[next].beat) < at + n) {
            const Change& ch = script[next++];
            events.value(static_cast<std::uint32_t>(frameOf(c, ch.beat) - at), static_cast<clap_id>(ch.index),
                         plain(ch.index, ch.value));
        }
        const clap_event_transport_t t = playingAt(static_cast<double>(at) / c.rate * c.tempo / 60.0, c.tempo, c.beatsPerBar);
        const std::size_t a = static_cast<std::size_t>(at);
        ASSERT_EQ(fx.process(&inL[a], &inR[a], &clapL[a], &clapR[a], n, &events, &t), CLAP_PROCESS_CONTINUE);

        // The VST 2 side: the same changes in order, the block split where they fall.
        vst.relocate(quartersOf(t));
        std::uint32_t done = 0;
        for (std::size_t k = first; k <= next; ++k) {
            const std::uint32_t due = k < next ? static_cast<std::uint32_t>(frameOf(c, script[k].beat) - at) : n;
            if (due > done) {
                vst.process(&inL[a + done], &inR[a + done], &vstL[a + done], &vstR[a + done], static_cast<std::int32_t>(due - done));
                done = due;
            }
            if (k < next) vst.setParameter(script[k].index, script[k].value);
        }
        // The plug-in's worker makes the next spare after a take, as the module's idle does
        // after each block: time for it between the two recordings.
        if (at < frameOf(c, 9.5) && at + n >= frameOf(c, 9.5)) std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    gwparity::expectSameRender(c, clapL, clapR, vstL, vstR);
}

TEST(ClapParity, SameSamplesAsVst2WithBlocksOf256) { expectParity(Case{}); }

TEST(ClapParity, SameSamplesAtAnotherRateTempoAndMetreWithOddBlocks) { expectParity(gwparity::otherCase()); }

}  // namespace
