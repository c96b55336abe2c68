// The buffer hand-shake under load: one thread processes blocks and reads every frame of
// every buffer while another allocates, erases and replaces buffer arrays. Run under
// ThreadSanitizer and AddressSanitizer, a freed array read by the audio thread shows up.

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>
#include <utility>
#include <vector>

#include "engine/rate_conversion.h"
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
            BufferGate& gate = fx->engine().buffers().gate();
            if (gate.enterBlock()) {
                for (int k = 0; k < kNumBuffers; ++k) {
                    const BufferFrames f = framesOf(fx->engine().buffers().buffer(k));
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
    EXPECT_EQ(fx->engine().buffers().gate().blockSequence() % 2, 0u);
}

namespace {

// A buffer's frames, copied (left then right).
std::vector<float> copyOf(const BufferFrames& f) {
    std::vector<float> v(f.left, f.left + f.length);
    v.insert(v.end(), f.right, f.right + f.length);
    return v;
}

// The copy converted by the engine's own conversion, as copyOf lays it out.
std::vector<float> converted(std::vector<float> v, int from, int to) {
    const auto n = static_cast<std::int32_t>(v.size() / 2);
    ConvertedAudio out;
    EXPECT_EQ(convertRate(BufferView{v.data(), v.data() + n, n}, from, to, out), RateConversion::Converted);
    std::vector<float> c(out.left, out.left + out.frames);
    c.insert(c.end(), out.right, out.right + out.frames);
    delete[] out.left;
    delete[] out.right;
    return c;
}

}  // namespace

// A take through suspend, effSetSampleRate and resume, as a host switching its device
// does: the frames recorded before come back converted, those after follow at the same
// moment of the take in order (the first block after resume may be lost: a replacement
// the worker publishes before it raises the gate), and the other buffers are only
// converted. Input frame i carries i + 1 on the left, -(i + 1) on the right.
TEST_F(EffectTest, ATakeRecordedThroughARateChangeComesBackWhole) {
    constexpr int kBlock = 256;
    for (const auto& [from, to] : {std::pair{44100, 48000}, std::pair{48000, 44100}})
        for (const int mode : {kRecFree, kRecSync}) {
            SCOPED_TRACE(testing::Message() << from << " -> " << to << (mode == kRecSync ? " synced" : " free"));
            fx = std::make_unique<GrainEffect>(&gwtest::hostCallback);
            AEffect* e = fx->getAeffect();
            const auto dispatch = [e](VstInt32 op, VstIntPtr value, float opt = 0.0f) {
                e->dispatcher(e, op, 0, value, nullptr, opt);
            };
            std::vector<float> inL(kBlock), inR(kBlock), out(2 * kBlock);
            int next = 0;  // the next input frame
            const auto play = [&](int frames) {
                for (; frames > 0; frames -= kBlock, next += kBlock) {
                    for (int i = 0; i < kBlock; ++i) inR[i] = -(inL[i] = static_cast<float>(next + i + 1));
                    float* ins[2] = {inL.data(), inR.data()};
                    float* outs[2] = {out.data(), out.data() + kBlock};
                    e->processReplacing(e, ins, outs, kBlock);
                }
            };
            const auto rateChange = [&](int rate) {
                dispatch(effMainsChanged, 0);
                dispatch(effSetSampleRate, 0, static_cast<float>(rate));
                dispatch(effMainsChanged, 1);
            };
            rateChange(from);
            const int n = fx->engine().getCurrentBuffer(), other = (n + 2) % kNumBuffers;
            float* l = BufferBank::newSampleArray(30000);
            float* r = BufferBank::newSampleArray(30000);
            for (int i = 0; i < 30000; ++i) r[i] = -(l[i] = std::sin(0.01f * static_cast<float>(i)));
            fx->engine().replaceBufferArrays(other, l, r, 30000);
            const std::vector<float> otherBefore = copyOf(framesOf(fx->engine().buffers().buffer(other)));

            fx->setParameter(mode, 1.0f);  // rec sync without host time records at once
            play(from);                    // about a second
            const std::vector<float> before = copyOf(framesOf(fx->engine().buffers().buffer(n)));
            const int taken = next, length = static_cast<int>(before.size() / 2);
            for (int i = 220; i < taken; ++i) ASSERT_EQ(before[i], static_cast<float>(i + 1)) << i;
            rateChange(to);
            play(to * 3 / 2);
            const std::vector<float> after = copyOf(framesOf(fx->engine().buffers().buffer(n)));
            const std::vector<float> expected = converted(before, from, to);
            const int frames = static_cast<int>(after.size() / 2);
            ASSERT_EQ(frames, static_cast<int>(expected.size() / 2));
            const int at = static_cast<int>(std::lround(static_cast<double>(taken) * frames / length));
            for (int i = 0; i < at; ++i) ASSERT_EQ(after[i], expected[i]) << i;
            const int resumed = static_cast<int>(after[at]) - 1;  // the first input frame after resume
            EXPECT_TRUE(resumed == taken || resumed == taken + kBlock) << resumed - taken;
            const int end = mode == kRecSync ? frames - 220 : at + to;
            for (int i = at; i < end; ++i) {
                ASSERT_EQ(after[i], static_cast<float>(resumed + i - at + 1)) << i;
                ASSERT_EQ(after[frames + i], -after[i]) << i;
            }

            fx->setParameter(kRecFree, 0.0f);
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
            while (fx->engine().bufferRate(other) != to && std::chrono::steady_clock::now() < deadline) play(kBlock);
            EXPECT_EQ(copyOf(framesOf(fx->engine().buffers().buffer(other))), converted(otherBefore, from, to));
            for (int k = 0; k < kNumBuffers; ++k)
                EXPECT_EQ(fx->engine().bufferLength(k) == 0, k != n && k != other) << k;
        }
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
