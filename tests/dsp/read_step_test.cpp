// Read steps longer than the buffer: a read position that one wrap leaves past the end
// takes the remainder at once (what repeated wraps give), however long the step, so no
// voice can loop for ever or leave the buffer; head and read steps are bounded.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "engine/dsp/grain_voice.h"
#include "engine/dsp/voice_block.h"
#include "tests/support/watchdog.h"

namespace grainwheel {
namespace {

constexpr float kInf = std::numeric_limits<float>::infinity();

struct Frames {
    std::vector<float> left, right;
    explicit Frames(int n) : left(static_cast<std::size_t>(n) + 1), right(static_cast<std::size_t>(n) + 1) {
        for (int i = 0; i <= n; ++i) {
            left[static_cast<std::size_t>(i)] = 0.1f * static_cast<float>(i % n + 1);
            right[static_cast<std::size_t>(i)] = -0.05f * static_cast<float>(i % n + 1);
        }
    }
    BufferView view() const { return {left.data(), right.data(), static_cast<int>(left.size()) - 1}; }
};

GrainVoice voiceAt(float position, int length, int samples) {
    GrainVoice v;
    GrainStart s;
    s.bufferLength = length;
    s.playPosition = position;
    s.grainLength = samples;
    s.envelopeType = kEnvRectangular;
    EXPECT_TRUE(startGrain(v, s));
    return v;
}

TEST(ReadStep, LongStepOnAShortBufferTakesTheRemainder) {
    const Frames f(3);
    const float step = 7.25f;  // two and a bit buffers per sample
    GrainVoice perSample = voiceAt(0.0f, 3, 64);
    GrainVoice block = perSample;
    float sumL[64] = {}, sumR[64] = {};
    ASSERT_EQ(renderVoiceBlock(block, f.view(), step, kEnvRectangular, sumL, sumR, 64), 64);
    for (int n = 1; n <= 64; ++n) {
        const StereoSample s = renderVoiceSample(perSample, f.view(), step, kEnvRectangular);
        EXPECT_EQ(perSample.readPosition, static_cast<float>(std::fmod(n * 7.25, 3.0))) << n;
        EXPECT_EQ(s.left, sumL[n - 1]) << n;
        EXPECT_EQ(s.right, sumR[n - 1]) << n;
    }
    EXPECT_EQ(block.readPosition, perSample.readPosition);
    EXPECT_EQ(block.lastIndex, perSample.lastIndex);
}

TEST(ReadStep, HugeStepsEndAndStayInsideTheBuffer) {
    for (const int length : {1, 3, 1000}) {
        for (const float step : {1048576.0f, 1e9f, 4.9e19f, 1e30f, 3e38f, kInf}) {
            const int status = gwtest::inChild(gwtest::caseSeconds(10), [&] {
                const Frames f(length);
                GrainVoice a = voiceAt(0.5f, length, 5000);
                GrainVoice b = a;
                std::vector<float> l(5000), r(5000);
                renderVoiceBlock(a, f.view(), step, kEnvRectangular, l.data(), r.data(), 5000);
                for (int n = 0; n < 5000; ++n) {
                    const StereoSample s = renderVoiceSample(b, f.view(), step, kEnvRectangular);
                    if (!std::isfinite(s.left) || !std::isfinite(l[static_cast<std::size_t>(n)])) return 2;
                    if (!(b.readPosition >= 0.0f && b.readPosition < static_cast<float>(length))) return 3;
                }
                return a.readPosition >= 0.0f && a.readPosition < static_cast<float>(length) ? 0 : 4;
            });
            EXPECT_TRUE(gwtest::exitedWith(status, 0))
                << "length " << length << ", step " << step << ": " << gwtest::describe(status);
        }
    }
}

TEST(ReadStep, StepsAreBounded) {
    EXPECT_EQ(boundedStep(1.5f), 1.5f);
    EXPECT_EQ(boundedStep(-2.0f), -2.0f);
    EXPECT_EQ(boundedStep(1e30f), 1048576.0f);
    EXPECT_EQ(boundedStep(-kInf), -1048576.0f);
    EXPECT_EQ(boundedStep(std::numeric_limits<float>::quiet_NaN()), 0.0f);
}

}  // namespace
}  // namespace grainwheel
