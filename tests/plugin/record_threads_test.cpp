// The program records while both threads write them. The thread that renders writes the
// fields it owns between and inside its blocks (rec sync switched on and off there, which
// takes the spare and marks the buffer recorded; the buffer number at each selection it
// takes over), while another thread restores the host's chunks, pastes the clipboard and
// marks buffers saved. Run under ThreadSanitizer (label "threads"): a field that one side
// writes plainly shows up as a report.

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "engine/engine_inspection.h"
#include "tests/support/effect_fixture.h"

using namespace grainwheel;
using enginetest::EffectTest;

namespace {

std::vector<char> chunkOf(GrainEffect& fx, bool preset) {
    void* data = nullptr;
    const VstInt32 size = fx.getChunk(&data, preset);
    const char* bytes = static_cast<const char*>(data);
    return std::vector<char>(bytes, bytes + size);
}

}  // namespace

TEST_F(EffectTest, RecordsAreStoredWholeWhileTheAudioThreadWritesThem) {
    gwtest::ScriptedHost& host = gwtest::scriptedHost();
    host.recordAutomation = false;
    host.answerTime = true;
    host.time.tempo = 120.0;
    host.time.sampleRate = 44100.0;
    host.time.flags = kVstTempoValid | kVstTransportPlaying;  // no bar positions: rec sync records at once
    fx->setParameter(kSettingMorphAlgorithm, 0.0f);           // selections at the next block boundary
    fx->setParameter(kSettingRecordSyncUnit, 12.0f);          // a short synced recording
    for (int n = 0; n < 4; ++n) {
        fx->setParameter(kSelectBuffer, static_cast<float>(n));
        fx->engine().allocateBuffer(6000 + 1000 * n);
    }
    fx->engine().programs().copy();
    const std::vector<char> bank = chunkOf(*fx, false);
    const std::vector<char> program = chunkOf(*fx, true);

    // Counts the other thread waits for (bounded by a generous deadline), never counts of
    // what happened in a fixed time.
    constexpr long kBlocks = 400;
    constexpr long kTakes = 8;
    constexpr int kRounds = 200;
    std::atomic<bool> stop{false};
    std::atomic<long> blocks{0};
    std::atomic<long> takes{0};  // rec sync switched on on the audio thread, taking the spare
    std::thread audio([&] {
        std::vector<float> in(256, 0.25f), outL(256), outR(256);
        float* ins[2] = {in.data(), in.data()};
        float* outs[2] = {outL.data(), outR.data()};
        for (long k = 0; !stop.load(std::memory_order_relaxed); ++k) {
            if (k % 8 == 0) {
                const float* before = EngineInspection::currentLeftSamples(fx->engine());
                fx->setParameter(kRecSync, 1.0f);
                if (EngineInspection::currentLeftSamples(fx->engine()) != before) takes.fetch_add(1, std::memory_order_relaxed);
            } else if (k % 8 == 5) {
                fx->setParameter(kRecSync, 0.0f);
            }
            fx->processReplacing(ins, outs, 256);
            blocks.fetch_add(1, std::memory_order_relaxed);
        }
    });

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    int rounds = 0;
    while (rounds < kRounds || blocks.load() < kBlocks || takes.load() < kTakes) {
        if (std::chrono::steady_clock::now() > deadline) break;
        const int n = rounds % 4;
        switch (rounds % 6) {
        case 0: EXPECT_EQ(fx->files().setChunk(bank.data(), static_cast<VstInt32>(bank.size()), false), 1); break;
        case 1: EXPECT_EQ(fx->files().setChunk(program.data(), static_cast<VstInt32>(program.size()), true), 1); break;
        case 2: fx->engine().parameters().pasteFromClipboard(); break;
        case 3: fx->engine().programs().copy(); break;
        case 4: fx->engine().markBufferSaved(n); break;
        default: fx->setParameter(kSelectBuffer, static_cast<float>(n)); break;
        }
        fx->engine().runDeferred();  // the new spare (the worker's part)
        ++rounds;
        std::this_thread::yield();
    }
    stop = true;
    audio.join();
    EXPECT_GE(rounds, kRounds);
    EXPECT_GE(blocks.load(), kBlocks);
    EXPECT_GE(takes.load(), kTakes) << "rec sync took the spare on the audio thread";
}
