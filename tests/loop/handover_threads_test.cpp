// Buffer selections, program changes and voice-count changes made by another thread while
// the audio thread renders 64-frame blocks back to back (as in an offline export) take
// effect at block boundaries: the render has no silent block that the same render without
// the changes lacks. Labelled "threads": ThreadSanitizer runs it too.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <unistd.h>
#include <cmath>
#include <memory>
#include <thread>
#include <vector>

#include "engine/engine_inspection.h"
#include "persistence/wave_file.h"
#include "plugin/grain_effect.h"
#include "platform/scripted_dialogs.h"

namespace {

using grainwheel::GrainEffect;

VstTimeInfo hostTime{};  // written before the threads start, read only afterwards

VstIntPtr VSTCALLBACK host(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    if (opcode == audioMasterVersion) return 2300;
    if (opcode == audioMasterGetTime) return reinterpret_cast<VstIntPtr>(&hostTime);
    return 0;
}

constexpr int kBlock = 64;
constexpr int kBlocks = 40000;

// Every buffer holds audio and every program plays dense, short grains: without changes
// from outside, no block after the first few is silent.
std::unique_ptr<GrainEffect> denseEffect() {
    hostTime.tempo = 120.0;
    hostTime.sampleRate = 44100.0;
    hostTime.timeSigNumerator = 4;
    hostTime.timeSigDenominator = 4;
    hostTime.flags = kVstTempoValid | kVstTransportPlaying;
    auto fx = std::make_unique<GrainEffect>(&host);
    for (int n = 0; n < grainwheel::kNumBuffers; ++n) {
        const int frames = 12000 + 500 * n;
        float* l = grainwheel::BufferBank::newSampleArray(frames);
        float* r = grainwheel::BufferBank::newSampleArray(frames);
        for (int i = 0; i < frames; ++i)
            l[i] = r[i] = 0.4f + 0.3f * std::sin(static_cast<float>(i) * (0.01f + 0.002f * static_cast<float>(n)));
        fx->engine().replaceBufferArrays(n, l, r, frames);
    }
    // Free unit times, a 1/64 unit: a grain starts every 44 frames, so even a voice-count
    // change, which stops every voice, leaves no block without a grain start.
    fx->setParameter(267, 1.0f);
    for (int p = 3; p >= 0; --p) {
        fx->setProgram(p);
        fx->setParameter(grainwheel::kUnitDura, 0.125f);
        fx->setParameter(grainwheel::kMainLevl, 0.7f);
        for (int u = 0; u < grainwheel::kNumUnits; ++u) fx->setParameter(grainwheel::kTime + u, 0.0f);
    }
    return fx;
}

// Renders kBlocks blocks through the effect's entry record, and more while `more()` says
// so (the thread that renders waits for the other thread's changes that way, rather than
// counting what happened in a fixed time; the deadline is reached only by a hang); true
// for each silent block.
std::vector<bool> render(GrainEffect& fx, std::atomic<bool>* started, const std::function<bool()>& more = {}) {
    AEffect* e = fx.getAeffect();
    std::vector<float> in(kBlock, 0.0f), outL(kBlock), outR(kBlock);
    float* ins[2] = {in.data(), in.data()};
    float* outs[2] = {outL.data(), outR.data()};
    std::vector<bool> silent;
    silent.reserve(kBlocks);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(300);
    for (int k = 0; k < kBlocks || (more && more()); ++k) {
        if (started != nullptr && k == 1) started->store(true);
        e->processReplacing(e, ins, outs, kBlock);
        bool quiet = true;
        for (int i = 0; i < kBlock; ++i) quiet = quiet && outL[i] == 0.0f && outR[i] == 0.0f;
        silent.push_back(quiet);
        if (k % 256 == 0 && std::chrono::steady_clock::now() > deadline) break;
    }
    return silent;
}

TEST(HandOverThreads, ChangesFromAnotherThreadSilenceNoBlock) {
    platform::ScriptedDialogs dialogs;
    platform::ScopedDialogs scoped(dialogs);

    auto quiet = denseEffect();
    const std::vector<bool> alone = render(*quiet, nullptr);
    int aloneSilent = 0;
    for (int k = 16; k < kBlocks; ++k) aloneSilent += alone[k] ? 1 : 0;
    ASSERT_EQ(aloneSilent, 0) << "the reference render itself has silent blocks";

    auto fx = denseEffect();
    std::atomic<bool> started{false};
    std::atomic<bool> done{false};
    std::vector<bool> changed;
    constexpr int kChanges = 200;
    std::atomic<int> changes{0};
    std::thread audio([&] {
        changed = render(*fx, &started, [&] { return changes.load() < kChanges; });
        done = true;
    });
    while (!started.load()) std::this_thread::yield();
    while (!done.load()) {
        const int c = changes.load();
        switch (c % 5) {
        case 0: fx->setParameter(grainwheel::kSelectBuffer, static_cast<float>(c % 16)); break;
        case 1: fx->engine().selectBuffer((c * 7) % 16); break;
        case 2: fx->setProgram(c % 4); break;
        case 3: fx->setParameter(grainwheel::kProgram, static_cast<float>(c % 4) / 15.0f); break;
        default: fx->setParameter(grainwheel::kVoiceCount, static_cast<float>(1 + c % 6)); break;
        }
        changes.store(c + 1);
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    audio.join();

    // The reference has no silent block after the first few: every later one is the
    // changes' doing (the render may run past the reference's length).
    int silentWithChanges = 0;
    for (std::size_t k = 16; k < changed.size(); ++k) silentWithChanges += changed[k] ? 1 : 0;
    ASSERT_GE(changes.load(), kChanges) << "the render stopped at its deadline";
    EXPECT_EQ(silentWithChanges, 0) << "of " << changed.size() << " blocks, with " << changes.load() << " changes";
    // The last change may have come after the last block: the next block takes it.
    {
        std::vector<float> in(kBlock, 0.0f), outL(kBlock), outR(kBlock);
        float* ins[2] = {in.data(), in.data()};
        float* outs[2] = {outL.data(), outR.data()};
        fx->processReplacing(ins, outs, kBlock);
    }
    EXPECT_EQ(fx->engine().buffers().gate().pendingHandOver(), 0u);
}

// WAV loads, array replacements, allocations and erases from another thread while
// 64-frame blocks render back to back. With monitor on, a block that plays passes the
// input through unchanged, while a block rendered halted (or with the buffer gate raised)
// gives the input times the main gain: so every block's output tells whether it was
// skipped, whatever the buffers hold. The voices keep reading the buffers meanwhile
// (AddressSanitizer: no array is read after it was freed).
TEST(HandOverThreads, ArrayReplacementsFromAnotherThreadSkipNoBlock) {
    platform::ScriptedDialogs dialogs;
    platform::ScopedDialogs scoped(dialogs);
    auto fx = denseEffect();
    fx->setParameter(grainwheel::kMonitor, 1.0f);

    const std::string wave = ::testing::TempDir() + "handover_threads_" + std::to_string(::getpid()) + ".wav";
    {
        std::vector<float> l(3000), r(3000);
        for (int i = 0; i < 3000; ++i) l[i] = r[i] = 0.5f * std::sin(0.02f * static_cast<float>(i));
        ASSERT_EQ(grainwheel::writeWaveFile(wave.c_str(), grainwheel::BufferView{l.data(), r.data(), 3000}),
                  grainwheel::kFileOk);
    }

    AEffect* e = fx->getAeffect();
    constexpr int kReplacementBlocks = 150000;
    constexpr float kInput = 0.3f;
    std::vector<float> in(kBlock, kInput), outL(kBlock), outR(kBlock);
    float* ins[2] = {in.data(), in.data()};
    float* outs[2] = {outL.data(), outR.data()};
    auto skipped = [&] {
        e->processReplacing(e, ins, outs, kBlock);
        for (int i = 0; i < kBlock; ++i)
            if (outL[i] != kInput || outR[i] != kInput) return true;
        return false;
    };
    fx->engine().setHalted(true);
    ASSERT_TRUE(skipped()) << "a halted block is told apart from a played one";
    fx->engine().setHalted(false);
    for (int k = 0; k < 16; ++k) ASSERT_FALSE(skipped());

    // The thread that renders goes on until the other thread has made its changes and
    // the voices have played in enough blocks (counts it waits for, not counts of what
    // happened in a fixed time); the deadline is reached only by a hang.
    constexpr int kChanges = 60;
    constexpr int kLoads = 6;
    constexpr int kVoicedBlocks = kReplacementBlocks / 4;
    std::atomic<bool> started{false};
    std::atomic<bool> done{false};
    std::atomic<int> changes{0};
    std::atomic<int> loaded{0};
    int blocks = 0;
    int skippedBlocks = 0;
    int voicesSeen = 0;
    std::thread audio([&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(300);
        for (; blocks < kReplacementBlocks || changes.load() < kChanges || loaded.load() < kLoads ||
               voicesSeen < kVoicedBlocks;
             ++blocks) {
            if (blocks == 1) started = true;
            skippedBlocks += skipped() ? 1 : 0;
            voicesSeen += grainwheel::EngineInspection::sequencer(fx->engine()).activeVoices.load() > 0 ? 1 : 0;
            if (blocks % 256 == 0 && std::chrono::steady_clock::now() > deadline) break;
        }
        done = true;
    });
    while (!started.load()) std::this_thread::yield();
    while (!done.load()) {
        const int c = changes.load();
        const int n = c % grainwheel::kNumBuffers;
        switch (c % 6) {
        case 0: loaded += fx->files().readWaveFile(wave.c_str()) == grainwheel::kFileOk ? 1 : 0; break;
        case 1: {
            const int frames = 1000 + 37 * c % 9000;
            float* l = grainwheel::BufferBank::newSampleArray(frames);
            float* r = grainwheel::BufferBank::newSampleArray(frames);
            for (int i = 0; i < frames; ++i) l[i] = r[i] = 0.25f;
            fx->engine().replaceBufferArrays(n, l, r, frames);
            break;
        }
        case 2: fx->engine().allocateBuffer(500 + 11 * c % 5000); break;
        case 3: fx->engine().allocateBuffer(-1); break;  // what an answered erase does
        case 4: fx->setParameter(grainwheel::kSelectBuffer, static_cast<float>((c * 5) % 16)); break;
        default: fx->engine().selectBuffer(n); break;
        }
        changes.store(c + 1);
        std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
    audio.join();
    std::remove(wave.c_str());

    ASSERT_GE(changes.load(), kChanges) << "the render stopped at its deadline";
    EXPECT_GE(loaded.load(), kLoads);
    EXPECT_GE(voicesSeen, kVoicedBlocks) << "the voices played meanwhile (in " << blocks << " blocks)";
    EXPECT_EQ(skippedBlocks, 0) << "of " << blocks << " blocks, with " << changes.load() << " changes";
}

// Rec sync and kill buffer automated on the processing thread with no editor open: the
// effect's own worker, running while the effect is switched on, makes the new spare and
// asks kill buffer's question; the processing thread only left a flag.
TEST(HandOverThreads, TheWorkerRunsWhatTheProcessingThreadHandedOff) {
    platform::ScriptedDialogs dialogs;
    platform::ScopedDialogs scoped(dialogs);
    dialogs.queueAnswer(false);
    auto fx = denseEffect();
    AEffect* e = fx->getAeffect();
    e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
    std::vector<float> in(kBlock, 0.2f), outL(kBlock), outR(kBlock);
    float* ins[2] = {in.data(), in.data()};
    float* outs[2] = {outL.data(), outR.data()};
    e->processReplacing(e, ins, outs, kBlock);

    const float* before = grainwheel::EngineInspection::currentLeftSamples(fx->engine());
    e->setParameter(e, grainwheel::kRecSync, 1.0f);
    e->setParameter(e, grainwheel::kKillBufr, 1.0f);
    EXPECT_NE(grainwheel::EngineInspection::currentLeftSamples(fx->engine()), before) << "rec sync took the spare at once";
    // The worker looks every 20 ms; the deadline is reached only by a hang.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (fx->engine().hasDeferred() && std::chrono::steady_clock::now() < deadline) {
        e->processReplacing(e, ins, outs, kBlock);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_FALSE(fx->engine().hasDeferred()) << "the worker came round";
    e->dispatcher(e, effMainsChanged, 0, 0, nullptr, 0.0f);  // joins the worker
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_EQ(dialogs.questions[0].title, "grainwheel - confirm erase buffer");

    // A second rec sync after it finds a spare again.
    e->setParameter(e, grainwheel::kRecSync, 0.0f);
    const float* first = grainwheel::EngineInspection::currentLeftSamples(fx->engine());
    e->processReplacing(e, ins, outs, kBlock);
    e->setParameter(e, grainwheel::kRecSync, 1.0f);
    EXPECT_NE(grainwheel::EngineInspection::currentLeftSamples(fx->engine()), first);
    EXPECT_TRUE(fx->engine().hasDeferred());
}

// While the editor is open its idle runs the handed-off work, and the worker leaves it
// alone; once the editor has closed, the worker runs it again.
TEST(HandOverThreads, TheWorkerTakesTheHandedOffWorkBackWhenTheEditorCloses) {
    platform::ScriptedDialogs dialogs;
    platform::ScopedDialogs scoped(dialogs);
    dialogs.queueAnswer(false);
    dialogs.queueAnswer(false);
    auto fx = denseEffect();
    AEffect* e = fx->getAeffect();
    e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
    // The processing thread renders a block and then automates; this thread is the
    // editor's, and never processes.
    auto processing = [&](int index, float value) {
        std::thread([&] {
            std::vector<float> in(kBlock, 0.2f), outL(kBlock), outR(kBlock);
            float* ins[2] = {in.data(), in.data()};
            float* outs[2] = {outL.data(), outR.data()};
            e->processReplacing(e, ins, outs, kBlock);
            e->setParameter(e, index, value);
        }).join();
    };
    // Until the handed-off work is done (the worker looks every 20 ms), within a deadline
    // that only a hang reaches.
    auto workerDone = [&] {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (fx->engine().hasDeferred() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return !fx->engine().hasDeferred();
    };

    ASSERT_EQ(e->dispatcher(e, effEditOpen, 0, 0, nullptr, 0.0f), 1);
    processing(grainwheel::kKillBufr, 1.0f);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(fx->engine().hasDeferred()) << "the worker left it to the open editor";
    EXPECT_TRUE(dialogs.questions.empty());
    e->dispatcher(e, effEditIdle, 0, 0, nullptr, 0.0f);
    EXPECT_FALSE(fx->engine().hasDeferred());
    EXPECT_EQ(dialogs.questions.size(), 1u);
    e->dispatcher(e, effEditClose, 0, 0, nullptr, 0.0f);

    // Closed: rec sync takes the spare (the new one is handed off) and kill buffer asks.
    const float* before = grainwheel::EngineInspection::currentLeftSamples(fx->engine());
    processing(grainwheel::kRecSync, 1.0f);
    EXPECT_NE(grainwheel::EngineInspection::currentLeftSamples(fx->engine()), before) << "rec sync took the spare";
    processing(grainwheel::kKillBufr, 1.0f);
    EXPECT_TRUE(workerDone()) << "the worker came round with the editor closed";
    e->dispatcher(e, effMainsChanged, 0, 0, nullptr, 0.0f);  // joins the worker
    ASSERT_EQ(dialogs.questions.size(), 2u);
    EXPECT_EQ(dialogs.questions[1].title, "grainwheel - confirm erase buffer");
    // The worker made the new spare: rec sync on the processing thread takes it again.
    processing(grainwheel::kRecSync, 0.0f);
    const float* first = grainwheel::EngineInspection::currentLeftSamples(fx->engine());
    processing(grainwheel::kRecSync, 1.0f);
    EXPECT_NE(grainwheel::EngineInspection::currentLeftSamples(fx->engine()), first);
}

}  // namespace

// The host resumes at another rate: the deferred work converts all 16 buffers on another
// thread while blocks render back to back, and no block is silent meanwhile (each buffer
// is swapped at a block boundary, as every replacement is). AddressSanitizer: no block
// reads an array after the conversion freed it.
TEST(HandOverThreads, RateConversionAfterResumeSilencesNoBlock) {
    platform::ScriptedDialogs dialogs;
    platform::ScopedDialogs scoped(dialogs);
    auto fx = denseEffect();
    fx->suspend();
    fx->setSampleRate(48000.0f);
    fx->resume();
    ASSERT_TRUE(fx->engine().hasDeferred());
    {
        // Warm up at the new rate: the first blocks after a resume may be quiet anyway.
        const std::vector<bool> warm = render(*fx, nullptr, {});
        (void)warm;
    }
    std::atomic<bool> started{false};
    std::atomic<bool> converted{false};
    std::vector<bool> during;
    std::thread audio([&] { during = render(*fx, &started, [&] { return !converted.load(); }); });
    while (!started.load()) std::this_thread::yield();
    fx->engine().runDeferred();
    converted = true;
    audio.join();
    int silent = 0;
    for (const bool quiet : during) silent += quiet ? 1 : 0;
    EXPECT_EQ(silent, 0) << "of " << during.size() << " blocks";
    for (int n = 0; n < grainwheel::kNumBuffers; ++n) {
        EXPECT_EQ(fx->engine().bufferRate(n), 48000) << n;
        EXPECT_NEAR(fx->engine().bufferLength(n), (12000 + 500 * n) * 48000.0 / 44100.0, 1.0) << n;
    }
}
