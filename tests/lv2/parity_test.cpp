// The LV2 plug-in and the VST 2 module, both as built, given the same settings, input and
// transport, give the same samples bit for bit: the LV2 side with one time:Position at the
// start (and where the transport relocates), running on between them by itself; the VST 2
// side with the command-line host's steady transport, its blocks split where the LV2
// block holds a relocation. The session records with rec sync and rec free and plays the
// recordings back, changes program by value and by the next-program trigger.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <vector>

#include "engine/parameter_index.h"
#include "tests/lv2/lv2_test_host.h"
#include "tests/lv2/vst2_test_host.h"
#include "tools/demo_input.h"

namespace {

using namespace gwlv2test;
using namespace grainwheel;

struct Change {
    double beat;
    int index;
    float value;
};

struct Relocation {
    double beat;     // where on the running timeline (frames from the start) it happens
    double quarters; // where the transport goes
};

struct Case {
    double rate = 44100.0;
    float tempo = 120.0f;
    int beatsPerBar = 4;
    std::uint32_t block = 256;
    double beats = 20.0;
    std::vector<Relocation> relocations;
};

std::int64_t frameOf(const Case& c, double beat) {
    return static_cast<std::int64_t>(std::llround(beat * 60.0 / c.tempo * c.rate));
}

// The session: a synced recording into buffer 0 heard while recorded, played back through
// the 16 units; a free recording into buffer 1; a program change and the next-program
// trigger; level, density and filter changes on the way.
std::vector<Change> session() {
    std::vector<Change> s = {{0, kBufferNo, 0.0f}, {0, kMonitor, 1.0f}, {0, kRecSync, 1.0f}, {0, kMainLevl, 0.8f}};
    static const float time[16] = {0.8f, 0.5f, 0.8f, 0.3f, 1.0f, 0.6f, 0.8f, 0.4f,
                                   0.8f, 0.5f, 0.9f, 0.3f, 1.0f, 0.7f, 0.6f, 0.2f};
    static const float speed[16] = {1.0f, 1.0f, 0.5f, 1.0f, 0.75f, 1.0f, 1.0f, 0.25f,
                                    1.0f, 0.5f, 1.0f, 1.0f, 0.75f, 1.0f, 0.5f, 1.0f};
    static const float pitch[16] = {0.5f, 0.5f, 0.75f, 0.5f, 0.25f, 0.5f, 1.0f, 0.5f,
                                    0.5f, 0.625f, 0.5f, 0.375f, 0.5f, 0.75f, 0.5f, 0.25f};
    for (int k = 0; k < 16; ++k) {
        s.push_back({0, kTime + k, time[k]});
        s.push_back({0, kSpeed + k, speed[k]});
        s.push_back({0, kPitch + k, pitch[k]});
        s.push_back({0, kFreq + k, 0.4f + 0.6f * static_cast<float>(k % 5) / 4.0f});
    }
    const std::vector<Change> later = {
        {8.5, kMonitor, 0.0f},       {8.5, kRecSync, 0.0f},     {9.0, kDensity, 0.6f},
        {10.0, kBufferNo, 1.0f / 15.0f}, {10.0, kMonitor, 1.0f}, {10.25, kRecFree, 1.0f},
        {12.0, kRecFree, 0.0f},      {12.0, kMonitor, 0.0f},    {13.0, kUnitDura, 0.5f},
        {13.0, kReso, 0.5f},         {14.0, kProgram, 2.0f / 15.0f}, {15.0, kBufferNo, 0.0f},
        {16.5, kNextProg, 1.0f},     {16.75, kNextProg, 0.0f},  {17.0, kBufferNo, 1.0f / 15.0f},
        {18.0, kSpeed + 3, 0.5f},    {18.0, kPitch + 5, 0.9f},
    };
    s.insert(s.end(), later.begin(), later.end());
    return s;
}

// The value of each parameter the script holds at the start of every block.
struct Scripted {
    std::vector<std::int64_t> frames;
    std::vector<Change> changes;
    std::size_t next = 0;
    std::map<int, float> take(std::int64_t blockStart) {
        std::map<int, float> values;
        while (next < changes.size() && frames[next] <= blockStart) {
            values[changes[next].index] = changes[next].value;
            ++next;
        }
        return values;
    }
};

Scripted script(const Case& c) {
    Scripted s;
    s.changes = session();
    for (const Change& ch : s.changes) s.frames.push_back(frameOf(c, ch.beat));
    return s;
}

Position positionAt(const Case& c, double quarters) {
    Position p;
    p.bar = static_cast<std::int64_t>(std::floor(quarters / c.beatsPerBar));
    p.barBeat = static_cast<float>(quarters - static_cast<double>(p.bar) * c.beatsPerBar);
    p.beat = quarters;
    p.beatUnit = 4;
    p.beatsPerBar = static_cast<float>(c.beatsPerBar);
    p.tempo = c.tempo;
    p.speed = 1.0f;
    return p;
}

struct Output {
    std::vector<float> left, right;
};

Output runLv2(const Case& c, const std::vector<float>& inL, const std::vector<float>& inR, int* recorded) {
    const auto frames = static_cast<std::int64_t>(inL.size());
    Instance::Options o;
    o.rate = c.rate;
    o.maxBlock = c.block;
    Instance lv2(o);
    EXPECT_TRUE(lv2.ok());
    Output out{std::vector<float>(inL.size()), std::vector<float>(inL.size())};
    if (!lv2.ok()) return out;
    lv2.activate();
    Scripted s = script(c);
    for (std::int64_t at = 0; at < frames; at += c.block) {
        const auto n = static_cast<std::uint32_t>(std::min<std::int64_t>(c.block, frames - at));
        for (const auto& [index, value] : s.take(at)) {
            // A command's click is one change of its port (a host's toggle), made where the
            // VST 2 command acts: next program on its release.
            const bool edge = index >= kNextProg && index <= kPastePrg;
            if (!grainwheel::lv2::isCommandPort(index)) lv2.control(index) = value;
            else if ((value == 0.0f) == edge) lv2.control(index) = lv2.control(index) == 0.0f ? 1.0f : 0.0f;
        }
        if (at == 0) lv2.queuePosition(0, positionAt(c, 0.0));
        for (const Relocation& r : c.relocations) {
            const std::int64_t f = frameOf(c, r.beat);
            if (f > at && f < at + n) lv2.queuePosition(static_cast<std::uint32_t>(f - at), positionAt(c, r.quarters));
        }
        lv2.run(&inL[at], &inR[at], &out.left[at], &out.right[at], n);
    }
    // Rec sync's buffer and rec free's (made from the spare, which the worker replaced).
    *recorded = lv2.port().bufferLength(0) > 0 && lv2.port().bufferLength(1) > 0 && lv2.workCalls() > 0;
    lv2.deactivate();
    return out;
}

Output runVst2(const Case& c, const std::vector<float>& inL, const std::vector<float>& inR) {
    const auto frames = static_cast<std::int64_t>(inL.size());
    Vst2Module vst(c.rate, static_cast<std::int32_t>(c.block));
    EXPECT_TRUE(vst.ok());
    Output out{std::vector<float>(inL.size()), std::vector<float>(inL.size())};
    if (!vst.ok()) return out;
    vst.transport.tempo = c.tempo;
    vst.transport.timeSigNumerator = c.beatsPerBar;
    vst.transport.timeSigDenominator = 4;
    // What the host last sent: an LV2 host's ports start at the description's defaults.
    const std::vector<float> defaults = Instance().defaults();
    std::vector<float> sent = defaults;
    for (int i = 0; i < kLastHostParameter + 1; ++i)
        if (defaults[i] != vst.getParameter(i)) vst.setParameter(i, defaults[i]);
    Scripted s = script(c);
    for (std::int64_t at = 0; at < frames; at += c.block) {
        const auto n = static_cast<std::int32_t>(std::min<std::int64_t>(c.block, frames - at));
        for (const auto& [index, value] : s.take(at)) {
            if (value == sent[index]) continue;
            sent[index] = value;
            vst.setParameter(index, value);
        }
        std::int64_t done = at;
        for (const Relocation& r : c.relocations) {
            const std::int64_t f = frameOf(c, r.beat);
            if (f <= at || f >= at + n) continue;
            vst.process(&inL[done], &inR[done], &out.left[done], &out.right[done], static_cast<std::int32_t>(f - done));
            done = f;
            vst.relocate(r.quarters);
        }
        vst.process(&inL[done], &inR[done], &out.left[done], &out.right[done],
                    static_cast<std::int32_t>(at + n - done));
    }
    return out;
}

// Frames where the two differ, and the first of them.
std::int64_t firstDifference(const std::vector<float>& a, const std::vector<float>& b) {
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::memcmp(&a[i], &b[i], sizeof(float)) != 0) return static_cast<std::int64_t>(i);
    return -1;
}

void expectParity(const Case& c) {
    const std::int64_t frames = frameOf(c, c.beats);
    const std::vector<float> demo = gwhost::makeDemoInput(frames, c.rate, c.tempo);
    std::vector<float> inL(static_cast<std::size_t>(frames)), inR(static_cast<std::size_t>(frames));
    for (std::int64_t i = 0; i < frames; ++i) {
        inL[static_cast<std::size_t>(i)] = demo[static_cast<std::size_t>(2 * i)];
        inR[static_cast<std::size_t>(i)] = demo[static_cast<std::size_t>(2 * i + 1)];
    }
    int recorded = 0;
    const Output lv2 = runLv2(c, inL, inR, &recorded);
    const Output vst = runVst2(c, inL, inR);
    EXPECT_TRUE(recorded) << "both recordings were made";
    double energy = 0.0;
    for (std::int64_t i = frameOf(c, 13.0); i < frames; ++i)
        energy += std::fabs(lv2.left[static_cast<std::size_t>(i)]) + std::fabs(lv2.right[static_cast<std::size_t>(i)]);
    EXPECT_GT(energy, 100.0) << "the recordings play back";
    EXPECT_EQ(std::memcmp(lv2.left.data(), vst.left.data(), lv2.left.size() * sizeof(float)), 0)
        << "left differs first at frame " << firstDifference(lv2.left, vst.left);
    EXPECT_EQ(std::memcmp(lv2.right.data(), vst.right.data(), lv2.right.size() * sizeof(float)), 0)
        << "right differs first at frame " << firstDifference(lv2.right, vst.right);
    std::printf("parity: %lld frames x 2 channels compared (rate %.0f, tempo %.1f, %d/4, block %u, %zu relocations)\n",
                static_cast<long long>(frames), c.rate, static_cast<double>(c.tempo), c.beatsPerBar, c.block,
                c.relocations.size());
}

TEST(Lv2Parity, SameSamplesAsVst2WithBlocksOf256) { expectParity(Case{}); }

TEST(Lv2Parity, SameSamplesAsVst2WithOddBlocksOf97) {
    Case c;
    c.block = 97;
    expectParity(c);
}

TEST(Lv2Parity, SameSamplesAtAnotherRateTempoAndMetre) {
    Case c;
    c.rate = 48000.0;
    c.tempo = 97.5f;
    c.beatsPerBar = 3;
    c.block = 97;
    expectParity(c);
}

TEST(Lv2Parity, SameSamplesWhenTheTransportRelocatesInsideBlocks) {
    Case c;
    // Back to the recording's start in the middle of a block, later ahead past the end.
    c.relocations = {{10.3, 2.25}, {15.7, 37.5}};
    expectParity(c);
}

}  // namespace
