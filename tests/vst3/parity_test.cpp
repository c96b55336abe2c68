// The VST 3 plug-in and the VST 2 module, both as built, given the same settings, input and
// transport, give the same samples bit for bit. The VST 3 side gets each block's changes in
// parameter queues at their frames and a ProcessContext at the block's start; the VST 2
// side runs the same block split where the changes fall, set by setParameter, its
// transport placed at each block's start and running on from there. The session records
// with rec sync and rec free and plays the takes back, changes program by value and by the
// next-program command.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include "engine/parameter_index.h"
#include "tests/lv2/vst2_test_host.h"
#include "tests/vst3/vst3_test_host.h"
#include "tests/support/parity_session.h"
#include "tools/demo_input.h"

namespace {

using namespace gwvst3test;
using namespace grainwheel;

using gwparity::Case;
using gwparity::Change;
using gwparity::frameOf;
using gwparity::session;

struct Output {
    std::vector<float> left, right;
};

void expectParity(const Case& c) {
    const std::int64_t frames = frameOf(c, c.beats);
    const std::vector<float> demo = gwhost::makeDemoInput(frames, c.rate, static_cast<float>(c.tempo));
    std::vector<float> inL(static_cast<std::size_t>(frames)), inR(static_cast<std::size_t>(frames));
    for (std::int64_t i = 0; i < frames; ++i) {
        inL[static_cast<std::size_t>(i)] = demo[static_cast<std::size_t>(2 * i)];
        inR[static_cast<std::size_t>(i)] = demo[static_cast<std::size_t>(2 * i + 1)];
    }
    Output v3{std::vector<float>(inL.size()), std::vector<float>(inL.size())};
    Output v2 = v3;
    Plugin fx;
    gwlv2test::Vst2Module vst(c.rate, c.block);
    ASSERT_TRUE(fx.ok() && fx.start(c.rate, c.block) && vst.ok());
    vst.transport.tempo = c.tempo;
    vst.transport.timeSigNumerator = c.beatsPerBar;
    vst.transport.timeSigDenominator = 4;

    const std::vector<Change> script = session();
    std::size_t next = 0;
    Changes changes;
    for (std::int64_t at = 0; at < frames; at += c.block) {
        const auto n = static_cast<std::int32_t>(std::min<std::int64_t>(c.block, frames - at));
        changes.clear();
        while (next < script.size() && frameOf(c, script[next].beat) < at + n) {
            const Change& ch = script[next++];
            changes.add(static_cast<Steinberg_Vst_ParamID>(ch.index), static_cast<std::int32_t>(frameOf(c, ch.beat) - at),
                        ch.value);
        }
        const double quarters = static_cast<double>(at) / c.rate * c.tempo / 60.0;
        Steinberg_Vst_ProcessContext ctx = playingAt(c.rate, quarters, c.tempo, c.beatsPerBar);
        const std::size_t a = static_cast<std::size_t>(at);
        fx.process(&inL[a], &inR[a], &v3.left[a], &v3.right[a], n, &changes, &ctx);

        // The VST 2 side: the same points, queue by queue at each frame.
        vst.relocate(quarters);
        std::int32_t done = 0;
        for (;;) {
            std::int32_t upcoming = n;
            for (int q = 0; q < changes.used(); ++q)
                for (const auto& [offset, value] : changes.queue(q)->points)
                    if (offset > done && offset < upcoming) upcoming = offset;
            for (int q = 0; q < changes.used(); ++q)
                for (const auto& [offset, value] : changes.queue(q)->points)
                    if (offset == done || (done == 0 && offset < 0))
                        vst.setParameter(static_cast<int>(changes.queue(q)->id), static_cast<float>(value));
            if (done == n) break;
            vst.process(&inL[a + done], &inR[a + done], &v2.left[a + done], &v2.right[a + done], upcoming - done);
            done = upcoming;
        }
        // The plug-in's worker makes the next spare after a take, as the module's idle does
        // after each block: time for it between the two recordings.
        if (at < frameOf(c, 9.5) && at + n >= frameOf(c, 9.5)) std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    gwparity::expectSameRender(c, v3.left, v3.right, v2.left, v2.right);
}

TEST(Vst3Parity, SameSamplesAsVst2WithBlocksOf256) { expectParity(Case{}); }

TEST(Vst3Parity, SameSamplesAtAnotherRateTempoAndMetreWithOddBlocks) { expectParity(gwparity::otherCase()); }

}  // namespace
