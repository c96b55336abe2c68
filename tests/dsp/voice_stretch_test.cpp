// The stretch kernels against the per-sample code: voices (with the read-step-1 path),
// the play head and the output stage, the same values bit for bit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <vector>

#include "engine/dsp/denormals.h"
#include "engine/dsp/voice_block.h"

namespace grainwheel {
namespace {

// A stereo buffer of noise with its guard frame (a copy of frame 0).
struct NoiseBuffer {
    NoiseBuffer(int length, unsigned seed) : left(static_cast<std::size_t>(length) + 1), right(left.size()) {
        std::mt19937 rng(seed);
        std::uniform_real_distribution<float> d(-1.0f, 1.0f);
        for (int i = 0; i < length; ++i) {
            left[static_cast<std::size_t>(i)] = d(rng);
            right[static_cast<std::size_t>(i)] = d(rng);
        }
        left.back() = left[0];
        right.back() = right[0];
        view = {left.data(), right.data(), length};
    }
    std::vector<float> left, right;
    BufferView view;
};

struct Bank {
    std::unique_ptr<GrainVoice[]> v = std::make_unique<GrainVoice[]>(kNumVoices);
};

void expectSameVoice(const GrainVoice& a, const GrainVoice& b, const char* where) {
    auto bits = [](auto x) {
        std::uint64_t u = 0;
        std::memcpy(&u, &x, sizeof x);
        return u;
    };
    EXPECT_EQ(a.remaining, b.remaining) << where;
    EXPECT_EQ(a.lastIndex, b.lastIndex) << where;
    EXPECT_EQ(bits(a.readPosition), bits(b.readPosition)) << where;
    EXPECT_EQ(bits(a.previous[0]), bits(b.previous[0])) << where;
    EXPECT_EQ(bits(a.previous[1]), bits(b.previous[1])) << where;
    EXPECT_EQ(bits(a.current[0]), bits(b.current[0])) << where;
    EXPECT_EQ(bits(a.current[1]), bits(b.current[1])) << where;
    EXPECT_EQ(a.attack, b.attack) << where;
    EXPECT_EQ(a.sustain, b.sustain) << where;
    EXPECT_EQ(a.release, b.release) << where;
    EXPECT_EQ(bits(a.linearLevel), bits(b.linearLevel)) << where;
    EXPECT_EQ(bits(a.oscOutput), bits(b.oscOutput)) << where;
    EXPECT_EQ(bits(a.osc.y1), bits(b.osc.y1)) << where;
    EXPECT_EQ(bits(a.osc.y2), bits(b.osc.y2)) << where;
    EXPECT_EQ(a.precomputedIndex, b.precomputedIndex) << where;
}

// Slot by slot, as the audio loop rendered a stretch before the lanes.
unsigned slotBySlot(GrainVoice* voices, int count, const BufferView* buffers, int bufferCount, float pitch,
                    int envelope, float* l, float* r, int frames) {
    unsigned ended = 0;
    for (int s = 0; s < count; ++s) {
        GrainVoice& v = voices[s];
        if (v.idle()) continue;
        const BufferView view = (v.buffer >= 0 && v.buffer < bufferCount) ? buffers[v.buffer] : BufferView{};
        renderVoiceBlock(v, view, pitch, envelope, l, r, frames);
        if (v.idle()) ended |= 1u << s;
    }
    return ended;
}

struct Case {
    int envelope;
    float pitch;
    unsigned seed;
    bool oddVoices;  // a precomputed voice, an empty buffer, a position outside the buffer
};

// Runs random stretches through both paths; returns the samples the lanes rendered.
long compare(const Case& c, const std::vector<BufferView>& buffers) {
    ScopedFlushDenormals flush;
    std::mt19937 rng(c.seed);
    auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    Bank a;
    Bank b;
    const int count = uniform(1, kNumVoices);
    const int nBuffers = static_cast<int>(buffers.size());
    for (int s = 0; s < count; ++s) {
        if (uniform(0, 5) == 0) continue;  // idle slot
        GrainStart start;
        start.bufferNumber = uniform(0, c.oddVoices ? nBuffers : nBuffers - 2);  // nBuffers - 1 is empty
        const BufferView& view = start.bufferNumber < nBuffers ? buffers[static_cast<std::size_t>(start.bufferNumber)]
                                                                : buffers.back();
        start.bufferLength = view.empty() ? 0 : view.length;
        if (start.bufferLength == 0) start.bufferLength = 1;  // started on a buffer emptied since
        start.playPosition = std::uniform_real_distribution<float>(0.0f, static_cast<float>(start.bufferLength))(rng);
        if (c.seed % 2 == 0) start.playPosition = std::floor(start.playPosition);  // a head at speed 1
        start.grainLength = uniform(0, 3) == 0 ? uniform(1, 40) : uniform(40, 3000);
        start.envelopeType = c.envelope;
        start.envSust = std::uniform_real_distribution<float>(0.0f, 1.0f)(rng);
        if (!startGrain(a.v[s], start)) {
            ADD_FAILURE() << "grain start refused";
            return 0;
        }
        if (c.oddVoices && uniform(0, 4) == 0) {
            a.v[s].renderMode = kRenderPrecomputed;
            for (int k = 0; k < kTransformSize; ++k)
                a.v[s].precomputedGrain[static_cast<std::size_t>(k)] = static_cast<float>(k % 7) * 0.1f;
        }
        if (c.oddVoices && uniform(0, 6) == 0) a.v[s].readPosition = -3.5f;
        b.v[s] = a.v[s];
    }
    long laned = 0;
    for (int stretch = 0; stretch < 40; ++stretch) {
        const int frames = uniform(1, 300);
        std::vector<float> la(static_cast<std::size_t>(frames), 0.0f), ra(la), lb(la), rb(la);
        const unsigned endedA = slotBySlot(a.v.get(), count, buffers.data(), nBuffers, c.pitch, c.envelope,
                                           la.data(), ra.data(), frames);
        // The read-step-1 path alone, on copies, to count what it covers.
        for (int s = 0; s < count; ++s) {
            if (b.v[s].idle()) continue;
            auto probe = std::make_unique<GrainVoice>(b.v[s]);
            std::vector<float> lp(la.size(), 0.0f), rp(la.size(), 0.0f);
            const int bn = probe->buffer;
            const BufferView view = (bn >= 0 && bn < nBuffers) ? buffers[static_cast<std::size_t>(bn)] : BufferView{};
            if (c.pitch == 1.0f) laned += renderUnitStep(*probe, view, c.envelope, lp.data(), rp.data(), frames);
        }
        const unsigned endedB = renderVoiceStretch(b.v.get(), count, buffers.data(), nBuffers, c.pitch,
                                                   c.envelope, lb.data(), rb.data(), frames);
        EXPECT_EQ(endedA, endedB);
        EXPECT_EQ(0, std::memcmp(la.data(), lb.data(), la.size() * sizeof(float)))
            << "left sums, envelope " << c.envelope << " pitch " << c.pitch << " seed " << c.seed;
        EXPECT_EQ(0, std::memcmp(ra.data(), rb.data(), ra.size() * sizeof(float))) << "right sums";
        for (int s = 0; s < count; ++s) expectSameVoice(a.v[s], b.v[s], "voice state");
        if (testing::Test::HasFailure()) break;
    }
    return laned;
}

TEST(VoiceStretch, EqualSlotBySlotRenderingBitForBit) {
    // Lengths: long, short, one a read step of 1.7 still fits, one it does not; one with
    // signed zeros, infinities and a NaN among its frames; the last empty.
    NoiseBuffer big(20000, 1), small(700, 2), tiny(3, 3), tinier(1, 4), odd(900, 6);
    for (std::size_t i = 0; i < odd.left.size(); i += 7) odd.left[i] = -0.0f, odd.right[i] = 0.0f;
    odd.left[100] = std::numeric_limits<float>::infinity();
    odd.right[101] = -std::numeric_limits<float>::infinity();
    odd.left[500] = std::nanf("");
    const std::vector<BufferView> buffers{big.view, small.view, tiny.view, tinier.view, odd.view, BufferView{}};
    long laned = 0;
    for (int envelope = 0; envelope < 4; ++envelope)
        // The reader runs as vectors on either side of 1: steps of half a frame and of a
        // frame and a half (whole positions every other sample), almost 1, so small that
        // most samples hold their frames, and whole steps.
        for (float pitch : {1.0f, 0.7f, 0.35f, 0.5f, 0.999f, 1e-6f, 1.7f, 1.5f, 1.001f, 0.0f, 2.0f, 3.0f})
            for (unsigned seed = 1; seed <= 12; ++seed) {
                laned += compare({envelope, pitch, seed * 31 + static_cast<unsigned>(envelope), seed % 3 == 0},
                                 buffers);
                if (HasFailure()) return;
            }
    EXPECT_GT(laned, 20000) << "the read-step-1 path rendered almost nothing: only the per-sample code was compared";
}

TEST(VoiceStretch, UnitStepAppliesOnlyToWholeFramesFetchedInStep) {
    NoiseBuffer buf(1000, 5);
    std::vector<float> l(64, 0.0f), r(64, 0.0f);
    auto v = std::make_unique<GrainVoice>();
    ASSERT_TRUE(startGrain(*v, GrainStart{0, 1000, 10.0f, 500, kEnvTrapezoid, 0.5f}));
    EXPECT_EQ(renderUnitStep(*v, buf.view, kEnvTrapezoid, l.data(), r.data(), 64), 64);
    EXPECT_EQ(v->readPosition, 74.0f);
    EXPECT_EQ(v->lastIndex, 73);
    EXPECT_EQ(v->current[0], buf.left[73]);
    EXPECT_EQ(v->previous[0], buf.left[72]);
    // Across the buffer end: the head wraps to 0 and goes on.
    ASSERT_TRUE(startGrain(*v, GrainStart{0, 1000, 990.0f, 500, kEnvRectangular, 0.5f}));
    std::fill(l.begin(), l.end(), 0.0f);
    EXPECT_EQ(renderUnitStep(*v, buf.view, kEnvRectangular, l.data(), r.data(), 64), 64);
    EXPECT_EQ(v->readPosition, 54.0f);
    EXPECT_EQ(l[1], buf.left[990]);
    EXPECT_EQ(l[11], buf.left[0]);
    // A fractional position, a frame fetched out of step, a precomputed grain, an empty
    // buffer: not for this path, and nothing changed.
    ASSERT_TRUE(startGrain(*v, GrainStart{0, 1000, 10.5f, 500, kEnvTrapezoid, 0.5f}));
    EXPECT_EQ(renderUnitStep(*v, buf.view, kEnvTrapezoid, l.data(), r.data(), 64), 0);
    ASSERT_TRUE(startMorphGrain(*v, GrainStart{0, 1000, 10.0f, 500, kEnvTrapezoid, 0.5f}));  // last index 10
    EXPECT_EQ(renderUnitStep(*v, buf.view, kEnvTrapezoid, l.data(), r.data(), 64), 0);
    ASSERT_TRUE(startGrain(*v, GrainStart{0, 1000, 10.0f, 500, kEnvTrapezoid, 0.5f}));
    v->renderMode = kRenderPrecomputed;
    EXPECT_EQ(renderUnitStep(*v, buf.view, kEnvTrapezoid, l.data(), r.data(), 64), 0);
    v->renderMode = kRenderBuffer;
    EXPECT_EQ(renderUnitStep(*v, BufferView{}, kEnvTrapezoid, l.data(), r.data(), 64), 0);
    EXPECT_EQ(v->remaining, 500);
    EXPECT_EQ(v->readPosition, 10.0f);
}

// The head and output stage per sample, as the audio loop ran them before.
void headPerSample(HeadRun& h, int count) {
    for (int k = 0; k < count; ++k) {
        const float length = static_cast<float>(h.length);
        const float head = h.position + h.step;
        h.position = head;
        if (h.length != 0 && head >= length) {
            if (h.restarts)
                h.position = h.restartPosition;
            else
                h.position = head - length;
        }
        if (h.position < 0.0f) {
            if (h.restarts)
                h.position = h.restartPosition;
            else
                h.position = h.position + length;
        }
    }
}

TEST(StretchBookkeeping, HeadEqualsPerSampleMoves) {
    std::mt19937 rng(3);
    for (int t = 0; t < 2000; ++t) {
        HeadRun a;
        a.length = std::uniform_int_distribution<int>(0, 400)(rng);
        a.position = std::uniform_real_distribution<float>(-5.0f, 405.0f)(rng);
        a.step = std::uniform_real_distribution<float>(-3.0f, 3.0f)(rng) * (t % 5 == 0 ? 0.0f : 1.0f);
        a.restarts = t % 2 == 0;
        a.restartPosition = std::uniform_real_distribution<float>(0.0f, 100.0f)(rng);
        HeadRun b = a;
        const int count = std::uniform_int_distribution<int>(1, 256)(rng);
        headPerSample(a, count);
        advanceHeadRun(b, count);
        ASSERT_EQ(std::memcmp(&a.position, &b.position, sizeof(float)), 0) << t;
    }
}

TEST(StretchBookkeeping, OutputStageEqualsPerSampleIncludingOddValues) {
    std::mt19937 rng(4);
    std::uniform_real_distribution<float> d(-3.0f, 3.0f);
    const float odd[] = {0.0f, -0.0f, std::nanf(""), -std::nanf(""), 1e30f, -1e30f, INFINITY, 1e-40f, -1e-40f};
    for (int t = 0; t < 300; ++t) {
        const int count = std::uniform_int_distribution<int>(1, 300)(rng);
        std::vector<float> l(static_cast<std::size_t>(count)), r(l.size());
        for (std::size_t i = 0; i < l.size(); ++i) {
            l[i] = (rng() % 9 == 0) ? odd[rng() % 9] : d(rng);
            r[i] = (rng() % 9 == 0) ? odd[rng() % 9] : d(rng);
        }
        const float gain = t % 7 == 0 ? 0.0f : std::uniform_real_distribution<float>(0.0f, 2.0f)(rng);
        const float startPeak = t % 3 == 0 ? 0.0f : std::fabs(d(rng) * d(rng));  // a meter is never below +0
        std::vector<float> la(l.size()), ra(l.size()), lb(l.size()), rb(l.size());
        float peak = startPeak;
        for (std::size_t i = 0; i < l.size(); ++i) {
            const float xl = l[i] * gain;
            const float xr = r[i] * gain;
            const auto abs = [](float x) { return x < 0.0f ? -x : x; };
            peak = std::max(peak, std::max(abs(xl), abs(xr)));
            la[i] = xl * (abs(xl) + 1.0f) / (xl * xl + 1.2f);
            ra[i] = xr * (abs(xr) + 1.0f) / (xr * xr + 1.2f);
        }
        const float got = outputRun(l.data(), r.data(), count, gain, startPeak, lb.data(), t % 4 == 0 ? nullptr : rb.data());
        ASSERT_EQ(std::memcmp(&peak, &got, sizeof(float)), 0) << t;
        ASSERT_EQ(std::memcmp(la.data(), lb.data(), la.size() * sizeof(float)), 0) << t;
        if (t % 4 != 0) {
            ASSERT_EQ(std::memcmp(ra.data(), rb.data(), ra.size() * sizeof(float)), 0) << t;
        }
    }
    EXPECT_EQ(outputRun(nullptr, nullptr, 0, 1.0f, 0.25f, nullptr, nullptr), 0.25f);  // an empty stretch
}

}  // namespace
}  // namespace grainwheel
