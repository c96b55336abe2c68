// Recording one frame runs on the audio thread: it must not allocate, whatever the
// recording state does (fade-in, wait, stop rule with its parameter change, fade-out).

#include "tests/support/effect_fixture.h"

#include "host/entry.h"
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

// Memory short for the program records (or the clipboard record) when the host creates
// the plug-in: the entry point answers null instead of handing out an effect that would
// read through a null record.
TEST(EffectCreationTest, NoProgramRecordsMeansNoEffect) {
    for (std::size_t size : {sizeof(grainwheel::ProgramRecord) * grainwheel::kNumPrograms,
                             sizeof(grainwheel::ProgramRecord)}) {
        gwtest::failing = size;
        AEffect* effect = vstEntry(&enginetest::hostCallback);
        gwtest::failing = 0;
        EXPECT_EQ(effect, nullptr) << size;
        if (effect) effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    }
    AEffect* effect = vstEntry(&enginetest::hostCallback);
    ASSERT_NE(effect, nullptr);
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
}
