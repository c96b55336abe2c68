// Recording one frame runs on the audio thread: it must not allocate, whatever the
// recording state does (fade-in, wait, stop rule with its parameter change, fade-out).

#include "effect_fixture.h"

#include "tests/support/counting_new.h"

using gwtest::allocations;
using gwtest::counting;

using enginetest::EffectTest;

TEST_F(EffectTest, RecordOneFrameAllocatesNothing) {
    hostAt(3.9, 0.0, 120.0);
    fx->setParameter(276, 10.0f);  // "1/16": 5512 frames
    fx->setParameter(10, 1.0f);
    ASSERT_EQ(currentFrames().length, 5512);
    ASSERT_GT(fx->engine().recorder().recordSyncWait, 0);

    counting = true;
    recordFrames(20000, 0.5f, -0.5f);  // wait, fade-in, writing, stop rule, fade-out, idle
    float in[256], out[2][256];
    for (float& v : in) v = 0.25f;
    float* ins[2] = {in, in};
    float* outs[2] = {out[0], out[1]};
    fx->processReplacing(ins, outs, 256);
    counting = false;

    EXPECT_EQ(allocations.load(), 0);
    EXPECT_FLOAT_EQ(fx->getParameter(10), 0.0f);  // the recording finished meanwhile
    EXPECT_NE(currentFrames().left[100], 0.0f);
}
