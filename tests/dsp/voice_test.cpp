// Grain starts, the four envelopes and buffer-reading playback.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "engine/dsp/grain_voice.h"

namespace grainwheel {
namespace {

// Independent model of the envelope shapes (n = 0 .. len - 1).
double expectedEnvelope(int type, int len, float sust, int n) {
    const double pi = 3.141592653589793;
    if (type == kEnvRectangular) return 1.0;
    if (type == kEnvHanning) {
        const int a = len / 2;
        if (n >= 2 * a) return 0.0;
        return (1.0 - std::cos(n * pi / a)) / 2.0;
    }
    const int b = static_cast<int>((static_cast<float>(len) - static_cast<float>(len - 1) * sust) / 2.0f);
    if (type == kEnvTrapezoid) {
        if (b == 0) return 1.0;
        if (n < b) return (n + 1.0) / b;
        if (n < len - b + 1) return 1.0;
        return static_cast<double>(len - n) / b;
    }
    const double w = b < 2 ? pi / 3.0 : pi / b;
    if (n < b) return (1.0 - std::cos(n * w)) / 2.0;
    if (n < len - b) return 1.0;
    return (1.0 - std::cos((n - (len - 2 * b)) * w)) / 2.0;  // continues the attack's phase
}

std::vector<float> runEnvelope(int type, int len, float sust) {
    auto v = std::make_unique<GrainVoice>();
    GrainStart s;
    s.bufferLength = 100;
    s.grainLength = len;
    s.envelopeType = type;
    s.envSust = sust;
    EXPECT_TRUE(startGrain(*v, s));
    std::vector<float> out;
    for (int n = 0; n < len; ++n) out.push_back(envelopeValue(*v, type));
    return out;
}

TEST(Envelope, ShapesMatchTheirFormulas) {
    const int lengths[] = {1, 2, 3, 4, 7, 100, 101, 2816};
    const float sustains[] = {0.0f, 0.3f, 0.5f, 1.0f};
    for (int type = 0; type < 4; ++type)
        for (int len : lengths)
            for (float sust : sustains) {
                const std::vector<float> got = runEnvelope(type, len, sust);
                for (int n = 0; n < len; ++n)
                    ASSERT_NEAR(got[static_cast<std::size_t>(n)], expectedEnvelope(type, len, sust, n), 2e-5)
                        << "type " << type << " len " << len << " sust " << sust << " n " << n;
            }
}

TEST(Envelope, EdgeCases) {
    // Full sustain: no attack or release, 1.0 throughout.
    for (float e : runEnvelope(kEnvTrapezoid, 50, 1.0f)) EXPECT_EQ(e, 1.0f);
    // No sustain: a triangle rising over trunc(len/2) samples and falling over one less.
    const std::vector<float> tri = runEnvelope(kEnvTrapezoid, 10, 0.0f);
    EXPECT_FLOAT_EQ(tri[0], 0.2f);
    EXPECT_FLOAT_EQ(tri[4], 1.0f);
    EXPECT_FLOAT_EQ(tri[5], 1.0f);
    EXPECT_FLOAT_EQ(tri[9], 0.2f);
    // Raised cosine of 3 samples uses w = pi/3.
    const std::vector<float> rc = runEnvelope(kEnvRaisedCosine, 3, 0.0f);
    EXPECT_FLOAT_EQ(rc[0], 0.0f);
    EXPECT_FLOAT_EQ(rc[1], 1.0f);
    EXPECT_NEAR(rc[2], (1.0 - std::cos(3.141592653589793 / 3.0)) / 2.0, 1e-6);
    // Hanning with an odd length ends on 0.
    EXPECT_EQ(runEnvelope(kEnvHanning, 101, 0.5f).back(), 0.0f);
    // After the grain the envelope stays 0.
    auto v = std::make_unique<GrainVoice>();
    GrainStart s;
    s.bufferLength = 10;
    s.grainLength = 4;
    ASSERT_TRUE(startGrain(*v, s));
    for (int n = 0; n < 4; ++n) envelopeValue(*v, kEnvTrapezoid);
    EXPECT_EQ(envelopeValue(*v, kEnvTrapezoid), 0.0f);
}

struct RampBuffer {
    explicit RampBuffer(int length) : left(static_cast<std::size_t>(length) + 1), right(left.size()) {
        for (int i = 0; i < length; ++i) {
            left[static_cast<std::size_t>(i)] = static_cast<float>(i + 1);
            right[static_cast<std::size_t>(i)] = -static_cast<float>(i + 1);
        }
        left.back() = left[0];
        right.back() = right[0];
        view = {left.data(), right.data(), length};
    }
    float at(double pos) const {  // linear interpolation of the left channel
        const int i = static_cast<int>(pos);
        const double f = pos - i;
        return static_cast<float>(left[static_cast<std::size_t>(i)] * (1 - f) + left[static_cast<std::size_t>(i + 1)] * f);
    }
    std::vector<float> left, right;
    BufferView view;
};

TEST(BufferVoice, ReplaysOneFrameLateAtPitchOne) {
    RampBuffer buf(64);
    auto v = std::make_unique<GrainVoice>();
    GrainStart s{3, 64, 10.0f, 20, kEnvRectangular, 0.0f};
    ASSERT_TRUE(startGrain(*v, s));
    EXPECT_EQ(v->buffer, 3);
    EXPECT_EQ(v->lastIndex, 9);
    for (int n = 0; n < 20; ++n) {
        const StereoSample o = renderVoiceSample(*v, buf.view, 1.0f, kEnvRectangular);
        const float expected = n == 0 ? 0.0f : buf.left[static_cast<std::size_t>(10 + n - 1)];
        ASSERT_EQ(o.left, expected) << n;
        ASSERT_EQ(o.right, -expected) << n;
    }
    EXPECT_TRUE(v->idle());
}

TEST(BufferVoice, InterpolatesBetweenTheLastTwoFramesFetched) {
    RampBuffer buf(64);
    auto v = std::make_unique<GrainVoice>();
    GrainStart s{0, 64, 10.25f, 40, kEnvRectangular, 0.0f};
    ASSERT_TRUE(startGrain(*v, s));
    double pos = 10.25;
    for (int n = 0; n < 40; ++n) {
        const StereoSample o = renderVoiceSample(*v, buf.view, 0.75f, kEnvRectangular);
        if (n >= 3) {  // once two frames have been fetched: the value one frame behind
            ASSERT_NEAR(o.left, buf.at(pos - 1.0), 1e-4) << n;
        }
        pos += 0.75;
    }
}

TEST(BufferVoice, WrapsAtTheBufferEndAndSkipsEmptyBuffers) {
    RampBuffer buf(16);
    auto v = std::make_unique<GrainVoice>();
    GrainStart s{0, 16, 13.0f, 8, kEnvRectangular, 0.0f};
    ASSERT_TRUE(startGrain(*v, s));
    const float expected[] = {0, 14, 15, 16, 1, 2, 3, 4};
    for (float e : expected) EXPECT_EQ(renderVoiceSample(*v, buf.view, 1.0f, kEnvRectangular).left, e);

    // An empty buffer cannot start a grain; a voice whose buffer emptied stays put.
    GrainStart empty{0, 0, 0.0f, 8, kEnvRectangular, 0.0f};
    auto w = std::make_unique<GrainVoice>();
    EXPECT_FALSE(startGrain(*w, empty));
    EXPECT_TRUE(w->idle());
    ASSERT_TRUE(startGrain(*w, s));
    const StereoSample o = renderVoiceSample(*w, BufferView{}, 1.0f, kEnvRectangular);
    EXPECT_EQ(o.left, 0.0f);
    EXPECT_EQ(w->remaining, 8);
}

TEST(BufferVoice, PitchLargerThanTheBufferStaysInBounds) {
    RampBuffer buf(1);
    auto v = std::make_unique<GrainVoice>();
    GrainStart s{0, 1, 0.0f, 50, kEnvRectangular, 0.0f};
    ASSERT_TRUE(startGrain(*v, s));
    for (int n = 0; n < 50; ++n) {
        renderVoiceSample(*v, buf.view, 2.0f, kEnvRectangular);
        ASSERT_GE(v->readPosition, 0.0f);
        ASSERT_LT(v->readPosition, 1.0f);
    }
    // A position beyond a (replaced, shorter) buffer is folded back in.
    v->readPosition = 500.0f;
    v->remaining = 5;
    renderVoiceSample(*v, buf.view, 1.0f, kEnvRectangular);
    EXPECT_LT(v->readPosition, 1.0f);
}

TEST(GrainStartTest, MorphStartDiffers) {
    auto v = std::make_unique<GrainVoice>();
    GrainStart s{2, 100, 20.0f, 9000, kEnvTrapezoid, 0.0f};
    ASSERT_TRUE(startMorphGrain(*v, s));
    EXPECT_EQ(v->remaining, 4095);
    EXPECT_EQ(v->lastIndex, 20);
    EXPECT_EQ(v->attack, 2047);
    GrainStart empty{2, 0, 20.0f, 300, kEnvTrapezoid, 0.0f};
    ASSERT_TRUE(startMorphGrain(*v, empty));
    EXPECT_EQ(v->remaining, 300);
    EXPECT_EQ(v->readPosition, 0.0f);
    for (int n = 0; n < 300; ++n) ASSERT_EQ(envelopeValue(*v, kEnvTrapezoid), 1.0f);
    // A zero-length grain (density at its minimum on the shortest spacing) never starts,
    // so no voice is counted active that could never end.
    GrainStart zero{2, 100, 0.0f, 0, kEnvTrapezoid, 0.0f};
    EXPECT_FALSE(startGrain(*v, zero));
    EXPECT_FALSE(startMorphGrain(*v, zero));
}

TEST(PrecomputedVoice, PlaysTheArrayMonoAndStaysInBounds) {
    auto v = std::make_unique<GrainVoice>();
    for (int i = 0; i < kTransformSize; ++i) v->precomputedGrain[static_cast<std::size_t>(i)] = static_cast<float>(i);
    v->renderMode = kRenderPrecomputed;
    v->remaining = 3;
    RampBuffer buf(8);
    for (int n = 0; n < 3; ++n) {
        const StereoSample o = renderVoiceSample(*v, buf.view, 1.0f, kEnvTrapezoid);
        EXPECT_EQ(o.left, static_cast<float>(n));
        EXPECT_EQ(o.right, static_cast<float>(n));
    }
    EXPECT_TRUE(v->idle());
    v->precomputedIndex = kTransformSize;
    v->remaining = 1;
    EXPECT_EQ(renderVoiceSample(*v, BufferView{}, 1.0f, kEnvTrapezoid).left, 0.0f);
}

TEST(VoiceReset, StopMoveAndFullReset) {
    auto v = std::make_unique<GrainVoice>();
    GrainStart s{4, 100, 30.5f, 200, kEnvHanning, 0.0f};
    ASSERT_TRUE(startGrain(*v, s));
    v->renderMode = kRenderPrecomputed;
    v->precomputedIndex = 7;
    v->precomputedGrain[5] = 1.0f;
    moveVoiceToBuffer(*v, 6, 12.75f);
    EXPECT_EQ(v->buffer, 6);
    EXPECT_EQ(v->readPosition, 12.75f);
    EXPECT_EQ(v->lastIndex, 12);
    stopVoice(*v);
    EXPECT_TRUE(v->idle());
    EXPECT_EQ(v->renderMode, kRenderBuffer);
    EXPECT_EQ(v->precomputedIndex, 0);
    resetVoice(*v);
    EXPECT_EQ(v->buffer, -1);
    EXPECT_EQ(v->readPosition, 0.0f);
    EXPECT_EQ(v->osc.y1, 0.0);
    EXPECT_EQ(v->precomputedGrain[5], 0.0f);
}

}  // namespace
}  // namespace grainwheel

namespace grainwheel {
namespace {

TEST(BufferVoice, BlockRenderingEqualsPerSampleRendering) {
    RampBuffer buf(500);
    for (int type = 0; type < 4; ++type) {
        for (float pitch : {1.0f, 0.6f, 1.7f}) {
            auto a = std::make_unique<GrainVoice>();
            auto b = std::make_unique<GrainVoice>();
            GrainStart s{0, 500, 420.5f, 300, type, 0.25f};
            ASSERT_TRUE(startGrain(*a, s));
            ASSERT_TRUE(startGrain(*b, s));
            std::vector<float> l(400, 0.0f), r(400, 0.0f);
            int done = 0;
            while (done < 400) {
                const int n = renderVoiceBlock(*b, buf.view, pitch, type, l.data() + done, r.data() + done,
                                               std::min(64, 400 - done));
                done += n;
                if (n < 64) break;
            }
            EXPECT_EQ(done, 300);
            for (int i = 0; i < 300; ++i) {
                const StereoSample o = renderVoiceSample(*a, buf.view, pitch, type);
                ASSERT_EQ(o.left, l[static_cast<std::size_t>(i)]) << type << " " << pitch << " " << i;
                ASSERT_EQ(o.right, r[static_cast<std::size_t>(i)]);
            }
        }
    }
    auto p = std::make_unique<GrainVoice>();
    p->renderMode = kRenderPrecomputed;
    p->remaining = 10;
    p->precomputedGrain[3] = 0.5f;
    std::vector<float> l(64, 0.0f), r(64, 0.0f);
    EXPECT_EQ(renderVoiceBlock(*p, BufferView{}, 1.0f, 0, l.data(), r.data(), 64), 10);
    EXPECT_EQ(l[3], 0.5f);
    EXPECT_EQ(r[3], 0.5f);
}

}  // namespace
}  // namespace grainwheel
