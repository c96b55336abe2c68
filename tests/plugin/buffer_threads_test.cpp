// The buffer hand-shake under load: one thread processes blocks and reads every frame of
// every buffer while another allocates, erases and replaces buffer arrays. Run under
// ThreadSanitizer and AddressSanitizer, a freed array read by the audio thread shows up.

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>

#include "tests/support/effect_fixture.h"

using namespace grainwheel;
using enginetest::EffectTest;

TEST_F(EffectTest, ArraysAreFreedOnlyAfterTheAudioThreadLeftTheBlock) {
    fx->setParameter(274, 0.0f);  // buffer changes without morph
    std::atomic<bool> stop{false};
    std::atomic<long> blocks{0};
    std::atomic<long> readableBlocks{0};

    std::thread audio([&] {
        float in[128], outL[128], outR[128];
        for (int i = 0; i < 128; ++i) in[i] = 0.5f * static_cast<float>(i % 7) - 1.0f;
        float* ins[2] = {in, in};
        float* outs[2] = {outL, outR};
        double sink = 0.0;
        while (!stop.load(std::memory_order_relaxed)) {
            fx->processReplacing(ins, outs, 128);  // records into the current buffer
            // What the grain voices will do: read buffers inside a block, gate permitting.
            BufferGate& gate = fx->engine().bufferGate();
            if (gate.enterBlock()) {
                for (int k = 0; k < kNumBuffers; ++k) {
                    const BufferFrames f = framesOf(fx->engine().audioBuffer(k));
                    if (f.empty()) continue;
                    for (int i = 0; i <= f.length; i += 61) sink += f.left[i] + f.right[i];
                    sink += f.left[f.length];
                }
                readableBlocks.fetch_add(1, std::memory_order_relaxed);
            }
            gate.leaveBlock();
            blocks.fetch_add(1, std::memory_order_relaxed);
        }
        EXPECT_TRUE(std::isfinite(sink));
    });

    // At least 1.5 s of changes, and until both threads have done enough (counts the
    // test waits for, not counts of what happened in a fixed time); the deadline is
    // reached only by a hang.
    const auto start = std::chrono::steady_clock::now();
    const auto until = start + std::chrono::milliseconds(1500);
    const auto deadline = start + std::chrono::seconds(120);
    constexpr long kBlocks = 200;
    int round = 0;
    while (std::chrono::steady_clock::now() < until || round < 40 || blocks.load() < kBlocks ||
           readableBlocks.load() < kBlocks / 2) {
        if (std::chrono::steady_clock::now() > deadline) break;
        const int n = round % 4;
        fx->setParameter(257, static_cast<float>(n));
        switch (round % 5) {
        case 0: fx->setParameter(9, 1.0f); break;  // rec free allocates on an empty buffer
        case 1: fx->engine().allocateBuffer(1000 + 97 * round); break;
        case 2:
            dialogs.queueAnswer(true);
            fx->engine().eraseBuffer();
            break;
        case 3: {
            const int frames = 5000 + round;
            float* l = new float[frames + 1]();
            float* r = new float[frames + 1]();
            fx->engine().replaceBufferArrays((n + 1) % 4, l, r, frames);
            break;
        }
        default: fx->setParameter(9, 0.0f); break;
        }
        ++round;
    }
    stop = true;
    audio.join();
    EXPECT_GE(blocks.load(), kBlocks);
    EXPECT_GE(readableBlocks.load(), kBlocks / 2);
    EXPECT_EQ(fx->engine().bufferGate().blockSequence() % 2, 0u);
}

TEST(BufferGateTest, WaitReturnsAtOnceWithoutABlock) {
    BufferGate gate;
    const auto start = std::chrono::steady_clock::now();
    { BufferGate::Replacement r(gate); }
    // Waiting for a block would wait for ever: the bound only has to be finite, and is
    // far beyond what a preempted thread on a loaded machine takes.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_TRUE(gate.enterBlock());
    gate.leaveBlock();
}

TEST(BufferGateTest, AReplacementWaitsForTheBlockUnderWay) {
    BufferGate gate;
    ASSERT_TRUE(gate.enterBlock());
    std::atomic<bool> replaced{false};
    std::thread ui([&] {
        BufferGate::Replacement r(gate);
        replaced = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_FALSE(replaced.load());
    gate.leaveBlock();
    ui.join();
    EXPECT_TRUE(replaced.load());
}
