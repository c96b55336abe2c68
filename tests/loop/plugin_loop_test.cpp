// The audio loop through the built plug-in module, loaded as a host loads it: a buffer
// recorded with rec sync plays back through the sequencer, monitor passes the input, a
// stopped transport is silent.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cmath>
#include <vector>

#include "host/vst2abi.h"
#include "tests/support/scripted_host.h"

namespace {

using Entry = AEffect* (*)(audioMasterCallback);

using gwtest::hostCallback;

// The recorded input: a slow sweep, distinct at every frame.
float inputAt(long n) { return 0.4f * std::sin(0.002f * static_cast<float>(n) + 1e-7f * static_cast<float>(n * n)); }

class PluginLoop : public ::testing::Test {
protected:
    void SetUp() override {
        gwtest::scriptedHost().reset();
        library = dlopen(GW_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library, nullptr) << dlerror();
        auto entry = reinterpret_cast<Entry>(dlsym(library, "VSTPluginMain"));
        ASSERT_NE(entry, nullptr);
        e = entry(hostCallback);
        ASSERT_NE(e, nullptr);
        e->dispatcher(e, effOpen, 0, 0, nullptr, 0.0f);
        e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, 44100.0f);
        e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
        transport(0.0, true);
    }
    void TearDown() override {
        if (e) e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
        // The library stays loaded, as in a host: glibc keeps the module's thread-local
        // block until the thread ends, which the leak checker would report after an unload.
    }
    void transport(double ppq, bool playing) {
        gwtest::ScriptedHost& host = gwtest::scriptedHost();
        host.playingAt(ppq, 4.0 * std::floor(ppq / 4.0), 120.0);
        host.time.sampleRate = 44100.0;
        if (!playing) host.time.flags &= ~kVstTransportPlaying;
    }
    void set(VstInt32 index, float value) { e->setParameter(e, index, value); }
    // Runs n frames of inputAt(first ...) in blocks of 256; returns the left output.
    std::vector<float> run(long first, long n, std::vector<float>* right = nullptr) {
        std::vector<float> out;
        std::vector<float> in(256), l(256), r(256);
        for (long done = 0; done < n; done += 256) {
            const int m = static_cast<int>(std::min<long>(256, n - done));
            for (int i = 0; i < m; ++i) in[static_cast<size_t>(i)] = inputAt(first + done + i);
            float* ins[2] = {in.data(), in.data()};
            float* outs[2] = {l.data(), r.data()};
            e->processReplacing(e, ins, outs, m);
            out.insert(out.end(), l.begin(), l.begin() + m);
            if (right) right->insert(right->end(), r.begin(), r.begin() + m);
        }
        return out;
    }

    void* library = nullptr;
    AEffect* e = nullptr;
};

TEST_F(PluginLoop, RecordedBufferPlaysBackOneFrameLate) {
    set(268, 0.0f);  // speed value as is
    set(269, 0.0f);  // pitch 2 x value
    set(270, 3.0f);  // rectangular envelope
    set(271, 0.0f);
    set(274, 0.0f);  // no morph
    set(5, 0.0f);    // reso
    set(1, std::sqrt(0.5f));  // gain 1
    set(2, 0.5f);    // density: grain length = spacing
    set(3, 1.0f);    // unitDura static
    const int current = static_cast<int>(std::lround(e->getParameter(e, 0) * 15.0f));
    set(27 + current, 0.0f);  // the current buffer's start position: frame 0
    for (int u = 0; u < 16; ++u) {
        set(59 + u, 1.0f);  // speed 1.0
        set(75 + u, 0.5f);  // pitch 1.0
        set(91 + u, 1.0f);  // cutoff open
    }
    set(276, 10.0f);  // record Sync Unit 1/16: 0.25 quarter notes = 5512 frames
    transport(3.75, true);
    set(10, 1.0f);    // rec sync: starts at the next bar, 0.25 quarter notes = 5512 frames away
    const long start = static_cast<long>(22050.0 * 0.25);
    const long length = static_cast<long>(44100.0 * 0.25 * 60.0 / 120.0);
    run(0, start + length + 400);
    ASSERT_EQ(e->getParameter(e, 10), 0.0f);  // the synced recording ended by itself

    // Play it back from frame 0 with fresh voices.
    set(265, 6.0f);
    set(257, static_cast<float>(current));  // the current buffer again: the head goes to its start
    const std::vector<float> out = run(0, length - 300);
    // Output sample t is buffer frame t - 1 (the interpolation runs a frame late), which
    // holds input frame start + t - 1; the first sample of each grain is 0. The
    // recording's fade-in covers the first 220 frames.
    long matched = 0, zeros = 0;
    for (long t = 222; t < length - 300; ++t) {
        const float v = out[static_cast<size_t>(t)];
        const float gained = inputAt(start + t - 1) * 2.0f * std::sqrt(0.5f) * std::sqrt(0.5f);
        const float expected = gained * (std::fabs(gained) + 1.0f) / (gained * gained + 1.2f);
        if (v == 0.0f) {
            ++zeros;
        } else {
            ASSERT_NEAR(v, expected, 1e-6f) << "t = " << t;
            ++matched;
        }
    }
    // Zeros: the wait for the first grain after the voice reset and each grain's first sample.
    EXPECT_GT(matched, (length - 522) * 3 / 4);
    EXPECT_LT(zeros, (length - 522) / 4);
}

TEST_F(PluginLoop, MonitorPassesTheInputUnchanged) {
    set(8, 1.0f);
    std::vector<float> right;
    const std::vector<float> out = run(1000, 5000, &right);
    for (long t = 0; t < 5000; ++t) {
        ASSERT_EQ(out[static_cast<size_t>(t)], inputAt(1000 + t));
        ASSERT_EQ(right[static_cast<size_t>(t)], inputAt(1000 + t));
    }
}

TEST_F(PluginLoop, StoppedTransportGivesExactZeros) {
    set(10, 1.0f);  // even with a recording under way
    transport(8.0, false);
    std::vector<float> right;
    const std::vector<float> out = run(0, 9000, &right);
    for (size_t t = 0; t < out.size(); ++t) {
        ASSERT_EQ(out[t], 0.0f);
        ASSERT_EQ(right[t], 0.0f);
    }
}

}  // namespace
