// The validator's own instruments, in process: text guards, audio slack, and the
// findings as they travel from a check's child process to the summary.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "tools/validate/guards.h"
#include "tools/validate/report.h"

using gwvalidate::GuardedAudio;
using gwvalidate::GuardedText;
using gwvalidate::Report;

TEST(GuardedText, TellsInsideFromBeyondTheDocumentedSizeFromBeyondWhatHostsGive) {
    struct Case {
        int written;  // characters, terminator after them
        GuardedText::Fit fit;
    };
    for (const Case& c : {Case{0, GuardedText::Fit::Inside}, Case{8, GuardedText::Fit::Inside},
                          Case{9, GuardedText::Fit::BeyondDocumented}, Case{63, GuardedText::Fit::BeyondDocumented},
                          Case{64, GuardedText::Fit::BeyondHost}, Case{200, GuardedText::Fit::BeyondHost}}) {
        GuardedText text(8, GuardedText::kHostLimit);
        std::memset(text.data(), 'x', static_cast<std::size_t>(c.written));
        text.data()[c.written] = 0;
        std::string why;
        EXPECT_EQ(text.fit(why), c.fit) << c.written << ": " << why;
        EXPECT_EQ(text.text().size(), static_cast<std::size_t>(c.written));
    }
}

TEST(GuardedText, SeesBytesWrittenAfterAShortTerminatedText) {
    GuardedText text(8, GuardedText::kHostLimit);
    std::strcpy(text.data(), "ok");
    text.data()[12] = 0;  // a zero-fill past the documented 9 bytes
    std::string why;
    EXPECT_EQ(text.fit(why), GuardedText::Fit::BeyondDocumented);
    EXPECT_EQ(why, "wrote 4 bytes past the 8 characters and terminator that fit");
    GuardedText far(8, GuardedText::kHostLimit);
    far.data()[100] = 'y';
    EXPECT_EQ(far.fit(why), GuardedText::Fit::BeyondHost);
    GuardedText unterminated(8);
    std::memset(unterminated.data(), 'z', 8 + 1 + GuardedText::kGuardBytes);
    EXPECT_EQ(unterminated.fit(why), GuardedText::Fit::BeyondHost);
    EXPECT_NE(why.find("no terminator"), std::string::npos);
}

TEST(GuardedAudio, BlocksSitAgainstTheGuardPagesAndTheSlackShowsStrayWrites) {
    GuardedAudio audio(2, 2, 1000);
    for (auto layout : {GuardedAudio::Layout::Back, GuardedAudio::Layout::Front}) {
        audio.arrange(17, layout, "a test");
        for (int c = 0; c < 2; ++c) {
            for (int i = 0; i < 17; ++i) EXPECT_EQ(audio.inputs()[c][i], 0.0f);
            for (int i = 0; i < 17; ++i) audio.outputs()[c][i] = 1.0f;  // inside: fine
        }
        EXPECT_EQ(audio.slackProblem(), "");
        // The slack lies on the side away from the guard page: NaN, for inputs read there.
        float* input = audio.inputs()[1];
        EXPECT_TRUE(std::isnan(layout == GuardedAudio::Layout::Back ? input[-1] : input[17]));
        float* output = audio.outputs()[0];
        if (layout == GuardedAudio::Layout::Back) {
            output[-2] = 0.0f;
            EXPECT_EQ(audio.slackProblem(), "wrote into output channel 0 at frame -2 of a 17-frame block");
        } else {
            output[17] = 0.0f;
            EXPECT_EQ(audio.slackProblem(), "wrote into output channel 0 at frame 17 of a 17-frame block");
        }
    }
    // A block as long as the capacity fills the channel up to its guard page.
    audio.arrange(1000, GuardedAudio::Layout::Back, "a full block");
    EXPECT_EQ(audio.frames(), 1000);
    EXPECT_EQ(audio.slackProblem(), "");
}

TEST(Report, FindingsSurviveTheTripFromTheCheckProcess) {
    Report r;
    r.note("did %d things", 3);
    for (int i = 0; i < Report::kMaxListed + 5; ++i) r.fail("fault %d\nwith a line break", i);
    r.warn("a lapse");
    Report back = Report::deserialize(r.serialize());
    EXPECT_EQ(back.verdict(), gwvalidate::Verdict::Failed);
    EXPECT_EQ(back.failureCount(), Report::kMaxListed + 5);
    ASSERT_EQ(back.failures().size(), static_cast<std::size_t>(Report::kMaxListed));
    EXPECT_EQ(back.failures()[1], "fault 1 with a line break");
    EXPECT_EQ(back.summary(), "did 3 things");
    EXPECT_EQ(back.warningCount(), 1);

    Report skipped;
    skipped.skip("no %s", "DISPLAY");
    EXPECT_EQ(Report::deserialize(skipped.serialize()).verdict(), gwvalidate::Verdict::Skipped);
    // What a crashing child left: a fault line alone still fails the check.
    Report partial = Report::deserialize("F read or wrote past the end of input channel 0 (44100 Hz)\n");
    EXPECT_EQ(partial.verdict(), gwvalidate::Verdict::Failed);
    EXPECT_EQ(partial.failureCount(), 1);
    EXPECT_EQ(Report::deserialize("").verdict(), gwvalidate::Verdict::Passed);
}
