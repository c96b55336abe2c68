// Instances made and dropped many times over (instantiate, activate, run with the
// transport and a recording, deactivate, free), and a state round trip: clean under the
// sanitizers, where this suite and the module are built with them.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/parameter_index.h"
#include "tests/lv2/lv2_test_host.h"

namespace {

using namespace gwlv2test;
using namespace grainwheel;

TEST(Lv2Cycles, HundredLifeCycles) {
    for (int cycle = 0; cycle < 100; ++cycle) {
        Instance::Options o;
        o.worker = cycle % 3 == 0 ? Instance::Worker::Thread : Instance::Worker::AfterRun;
        o.rate = cycle % 2 ? 48000.0 : 44100.0;
        Instance fx(o);
        ASSERT_TRUE(fx.ok()) << cycle;
        fx.activate();
        fx.control(kRecFree) = cycle % 4 == 0 ? 1.0f : 0.0f;
        ASSERT_TRUE(std::isfinite(fx.play(1024, 97 + cycle)));
        fx.deactivate();
        if (cycle % 10 == 0) {  // activated again after a pause
            fx.activate();
            ASSERT_TRUE(std::isfinite(fx.play(512)));
            fx.deactivate();
        }
        fx.drainWorker();
    }
}

TEST(Lv2Cycles, StateRoundTrip) {
    const std::string dir = freshFolder("cycles_state");
    {
        Instance a;
        a.activate();
        a.control(kRecFree) = 1.0f;
        a.play(8192);
        a.control(kRecFree) = 0.0f;
        a.play(256);
        ASSERT_TRUE(a.save(dir));
        a.deactivate();
    }
    Instance b;
    b.activate();
    ASSERT_TRUE(b.restore(dir));
    EXPECT_TRUE(std::isfinite(b.play(4096)));
    b.deactivate();
}

}  // namespace
