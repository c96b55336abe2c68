// The audio loop renders grains, morphs and recordings on one thread while another
// replaces buffers (allocate, erase, select, load, program changes, rec free / rec sync,
// voice count). Run under ThreadSanitizer and AddressSanitizer: a data race or a freed
// array still read by a voice shows up as a report.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <memory>
#include <thread>
#include <vector>

#include "engine/engine_inspection.h"
#include "plugin/grain_effect.h"
#include "platform/scripted_dialogs.h"
#include "tests/support/buffer_fill.h"
#include "tests/support/scripted_host.h"

namespace {

using grainwheel::GrainEffect;

void fill(GrainEffect& fx, int n, int frames, float freq) {
    gwtest::fillBuffer(fx, n, frames, [freq](int i) { return 0.5f * std::sin(static_cast<float>(i) * freq); });
}

TEST(LoopThreads, BufferReplacementWhileGrainsPlay) {
    // Set up before the threads start, read only afterwards. Both threads may automate:
    // the host keeps no record of it.
    gwtest::ScriptedHost& host = gwtest::scriptedHost();
    host.reset();
    host.recordAutomation = false;
    host.answerTime = true;
    host.time.tempo = 140.0;
    host.time.sampleRate = 44100.0;
    host.time.timeSigNumerator = 4;
    host.time.timeSigDenominator = 4;
    host.time.flags = kVstTempoValid | kVstTransportPlaying;  // positions not valid: units count samples
    platform::ScriptedDialogs dialogs;
    platform::ScopedDialogs scoped(dialogs);
    auto fx = std::make_unique<GrainEffect>(&gwtest::hostCallback);
    for (int n = 0; n < 4; ++n) fill(*fx, n, 20000 + 3000 * n, 0.01f + 0.03f * static_cast<float>(n));
    fx->setParameter(grainwheel::kUnitDura, 0.25f);  // 1/32
    fx->setParameter(grainwheel::kReso, 0.6f);
    fx->setParameter(273, 3.0f);

    std::atomic<bool> stop{false};
    std::atomic<long> blocks{0};
    std::thread audio([&] {
        std::vector<float> in(256), outL(256), outR(256);
        for (int i = 0; i < 256; ++i) in[static_cast<size_t>(i)] = 0.3f * std::sin(static_cast<float>(i) * 0.05f);
        float* ins[2] = {in.data(), in.data()};
        float* outs[2] = {outL.data(), outR.data()};
        auto* captureState = &grainwheel::EngineInspection::captureStateWord(fx->engine());
        long k = 0;
        while (!stop.load(std::memory_order_relaxed)) {
            const int n = 1 + static_cast<int>((k * 37) % 256);
            fx->processReplacing(ins, outs, n);
            for (int i = 0; i < n; ++i) ASSERT_TRUE(std::isfinite(outL[static_cast<size_t>(i)]));
            if (k % 3 == 0) captureState->store(0);
            ++k;
            blocks.fetch_add(1, std::memory_order_relaxed);
        }
    });

    // At least 2 s of changes, and until both threads have done enough (counts the test
    // waits for, not counts of what happened in a fixed time); the deadline is reached
    // only by a hang.
    const auto start = std::chrono::steady_clock::now();
    const auto until = start + std::chrono::milliseconds(2000);
    const auto deadline = start + std::chrono::seconds(120);
    constexpr long kBlocks = 200;
    int round = 0;
    while (std::chrono::steady_clock::now() < until || round < 60 || blocks.load() < kBlocks) {
        if (std::chrono::steady_clock::now() > deadline) break;
        const int n = round % 4;
        switch (round % 12) {
        case 0: fx->setParameter(274, static_cast<float>(round % 4)); break;  // morph on or off
        case 1: fx->setParameter(257, static_cast<float>(n)); break;
        case 2: fx->engine().selectBuffer((n + 1) % 4); break;
        case 3: fx->setParameter(grainwheel::kRecFree, 1.0f); break;
        case 4: fx->engine().allocateBuffer(3000 + 97 * round); break;
        case 5: fx->setParameter(grainwheel::kRecFree, 0.0f); break;
        case 6:
            dialogs.queueAnswer(true);
            fx->engine().eraseBuffer();
            break;
        case 7: fill(*fx, (n + 2) % 4, 5000 + round, 0.02f); break;
        case 8: fx->setParameter(grainwheel::kRecSync, 1.0f); break;
        case 9: fx->setProgram(round % 3); break;
        case 10: fx->setParameter(265, static_cast<float>(1 + round % 6)); break;
        default:
            fx->setParameter(grainwheel::kRecSync, 0.0f);
            fx->setParameter(273, static_cast<float>(1 + round % 4));
            break;
        }
        ++round;
    }
    stop = true;
    audio.join();
    EXPECT_GE(round, 60);
    EXPECT_GE(blocks.load(), kBlocks);
    EXPECT_GE(host.timeQueries.load(), kBlocks);  // one at every block start
    EXPECT_EQ(fx->engine().buffers().gate().blockSequence() % 2, 0u);
}

}  // namespace
