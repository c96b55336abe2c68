// What the panel draws, as the engine publishes it: a sequenced cell copied whole while
// another thread publishes (run it under ThreadSanitizer too), the columns of a buffer,
// and the engine's live values, columns and scope trace through the publisher.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "engine/grain_engine.h"

namespace {

using namespace grainwheel;

struct Words {
    std::uint32_t w[300];
};

TEST(DisplaySnapshot, ACopyIsNeverTornWhileAnotherThreadPublishes) {
    auto cell = std::make_unique<SequencedCell<Words>>();
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        Words v{};
        for (std::uint32_t k = 1; !stop.load(std::memory_order_relaxed); ++k) {
            for (auto& w : v.w) w = k;
            cell->publish(v);
        }
    });
    Words seen{};
    std::uint32_t last = 0;
    int torn = 0, advanced = 0;
    for (int i = 0; i < 20000; ++i) {
        cell->copy(seen);
        for (const std::uint32_t w : seen.w) torn += w != seen.w[0] ? 1 : 0;
        advanced += seen.w[0] > last ? 1 : 0;
        EXPECT_GE(seen.w[0], last);  // one writer: never an older value
        last = seen.w[0];
    }
    stop = true;
    writer.join();
    EXPECT_EQ(torn, 0);
    EXPECT_GT(advanced, 0);
}

TEST(DisplaySnapshot, ColumnsAreTheSamplesTheViewsDraw) {
    std::vector<float> left(7401), right(7401);
    for (int i = 0; i <= 7400; ++i) left[static_cast<std::size_t>(i)] = static_cast<float>(i);
    BufferColumns c;
    computeColumns(BufferFrames{left.data(), right.data(), 7400}, c);
    EXPECT_EQ(c.hasAudio, 1);
    EXPECT_EQ(c.length, 7400);
    // 100 frames per thumbnail column, column x showing frame 100 (x - 1); the waveform's
    // 20 per column showing frame 20 (x + 1).
    EXPECT_EQ(c.thumbnail[0], 0.0f);
    EXPECT_EQ(c.thumbnail[1], 0.0f);
    EXPECT_EQ(c.thumbnail[73], 7200.0f);
    EXPECT_EQ(c.waveform[0], 20.0f);
    EXPECT_EQ(c.waveform[360], 7220.0f);
    // Shorter than the columns: frame 0 and the guard frame, never beyond.
    computeColumns(BufferFrames{left.data(), right.data(), 3}, c);
    EXPECT_EQ(c.thumbnail[73], 0.0f);
    EXPECT_EQ(c.waveform[360], 0.0f);
    computeColumns(BufferFrames{}, c);
    EXPECT_EQ(c.hasAudio, 0);
}

TEST(DisplaySnapshot, ThePublisherCarriesTheEnginesValuesColumnsAndCaptures) {
    auto engine = std::make_unique<GrainEngine>(nullptr, 44100.0f);
    auto snapshot = std::make_unique<DisplaySnapshot>();
    float* left = BufferBank::newSampleArray(4410);
    float* right = BufferBank::newSampleArray(4410);
    for (int i = 0; i < 4410; ++i) left[i] = right[i] = i % 2 ? 0.5f : -0.5f;
    engine->replaceBufferArrays(3, left, right, 4410);
    engine->selectBuffer(3);
    DisplayPublisher& display = engine->display();
    // No block has run: the values as they stand.
    EXPECT_NE(display.refreshColumns(*engine) & (1u << 3), 0u);
    display.copy(*engine, *snapshot);
    EXPECT_EQ(snapshot->live.currentBuffer, 3);
    EXPECT_EQ(snapshot->live.bufferLength[3], 4410);
    EXPECT_EQ(snapshot->buffers[3].length, 4410);
    EXPECT_EQ(snapshot->buffers[3].waveform[0], -0.5f);  // frame 12
    EXPECT_EQ(display.refreshColumns(*engine), 0u);      // nothing changed since
    // Blocks run: the capture of a grain is published once finished, and again after the
    // next request.
    engine->setParameter(kSettingScopeViewMode, 1.0f);
    engine->resume(44100.0f);
    std::vector<float> in(256, 0.1f), outL(256), outR(256);
    float* inputs[2] = {in.data(), in.data()};
    float* outputs[2] = {outL.data(), outR.data()};
    std::uint32_t traces = 0;
    for (int block = 0; block < 400; ++block) {
        engine->processReplacing(inputs, outputs, 256);
        display.copy(*engine, *snapshot);
        if (snapshot->trace.serial != traces) {
            traces = snapshot->trace.serial;
            engine->requestCapture();
        }
    }
    EXPECT_GT(traces, 1u);
    EXPECT_EQ(snapshot->trace.mode, 1);
    EXPECT_GT(snapshot->live.publications, 300u);
}

}  // namespace
