#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/render_options.h"

namespace gwhost {
namespace {

bool parse(std::vector<const char*> args, RenderOptions& o, std::string& error) {
    return parseRenderOptions(static_cast<int>(args.size()), args.data(), o, error);
}

TEST(RenderOptions, ParsesTransportInputAndChangesInOrder) {
    RenderOptions o;
    std::string e;
    ASSERT_TRUE(parse({"p.so", "--input", "in.flac", "--rate", "48000", "--block", "64", "--tempo", "90",
                       "--timesig", "3/4", "--start", "6.5", "--stopped", "--beats", "12", "--format", "pcm16",
                       "--set", "time01=0.35", "--set", "45=0.25", "--set-at", "4.0:bufferNo=0.2",
                       "--program", "3", "--program-at", "8:5", "--chunk", "a.bin", "--load-wav", "b.wav",
                       "--save-chunk", "c.bin", "--bank", "d.grb", "--save-bank", "e.grb", "-o", "out.wav"},
                      o, e))
        << e;
    EXPECT_EQ(o.pluginPath, "p.so");
    EXPECT_EQ(o.outputPath, "out.wav");
    EXPECT_EQ(o.input, InputKind::File);
    EXPECT_EQ(o.inputPath, "in.flac");
    EXPECT_EQ(o.sampleRate, 48000.0);
    EXPECT_TRUE(o.sampleRateGiven);
    EXPECT_EQ(o.blockSize, 64);
    EXPECT_EQ(o.tempo, 90.0);
    EXPECT_EQ(o.timeSigNumerator, 3);
    EXPECT_EQ(o.timeSigDenominator, 4);
    EXPECT_EQ(o.startBeat, 6.5);
    EXPECT_FALSE(o.playing);
    EXPECT_EQ(o.durationBeats, 12.0);
    EXPECT_EQ(o.format, OutputFormat::Pcm16);
    EXPECT_EQ(o.chunkPath, "a.bin");
    EXPECT_EQ(o.bankPath, "d.grb");
    EXPECT_EQ(o.saveBankPath, "e.grb");
    EXPECT_EQ(o.loadWavPath, "b.wav");
    EXPECT_EQ(o.saveChunkPath, "c.bin");
    ASSERT_EQ(o.changes.size(), 5u);
    EXPECT_EQ(o.changes[0].parameter, "time01");
    EXPECT_FLOAT_EQ(o.changes[0].value, 0.35f);
    EXPECT_LT(o.changes[0].beat, 0.0);
    EXPECT_EQ(o.changes[1].parameter, "45");
    EXPECT_EQ(o.changes[2].parameter, "bufferNo");
    EXPECT_EQ(o.changes[2].beat, 4.0);
    EXPECT_TRUE(o.changes[3].isProgram);
    EXPECT_EQ(o.changes[3].program, 3);
    EXPECT_TRUE(o.changes[4].isProgram);
    EXPECT_EQ(o.changes[4].program, 5);
    EXPECT_EQ(o.changes[4].beat, 8.0);
}

TEST(RenderOptions, NamesWithSpacesAndRejectsMalformedInput) {
    TimedChange c;
    ASSERT_TRUE(parseAssignment("rec sync=1", c));
    EXPECT_EQ(c.parameter, "rec sync");
    EXPECT_FALSE(parseAssignment("time01", c));
    EXPECT_FALSE(parseAssignment("=0.5", c));
    EXPECT_FALSE(parseAssignment("time01=abc", c));
    EXPECT_FALSE(parseAssignment("time01=nan", c));
    EXPECT_FALSE(parseTimed("-1:time01=0.5", false, c));
    EXPECT_FALSE(parseTimed("x:time01=0.5", false, c));
    EXPECT_FALSE(parseTimed("4.0:-2", true, c));

    RenderOptions o;
    std::string e;
    EXPECT_FALSE(parse({"p.so"}, o, e));
    EXPECT_NE(e.find("-o"), std::string::npos);
    EXPECT_FALSE(parse({"-o", "x.wav"}, o, e));
    EXPECT_FALSE(parse({"p.so", "-o", "x.wav", "--bogus"}, o, e));
    EXPECT_NE(e.find("--bogus"), std::string::npos);
    EXPECT_FALSE(parse({"p.so", "-o", "x.wav", "--timesig", "4"}, o, e));
    EXPECT_FALSE(parse({"p.so", "-o", "x.wav", "--block", "0"}, o, e));
    EXPECT_FALSE(parse({"p.so", "-o", "x.wav", "--rate", "100"}, o, e));
    EXPECT_FALSE(parse({"p.so", "-o", "x.wav", "--format", "mp3"}, o, e));
    EXPECT_FALSE(parse({"p.so", "-o", "x.wav", "--set"}, o, e));
    EXPECT_FALSE(parse({"p.so", "a.so", "-o", "x.wav"}, o, e));
}

TEST(RenderOptions, ChangeFramesAndLengths) {
    // Beat 4 at 120 beats per minute and 44100 Hz: 4 * 22050 frames.
    EXPECT_EQ(changeFrame(4.0, 0.0, 120.0, 44100.0), 88200);
    EXPECT_EQ(changeFrame(4.0, 2.0, 120.0, 44100.0), 44100);
    EXPECT_EQ(changeFrame(1.0 / 3.0, 0.0, 120.0, 44100.0), 7350);
    // Between frames: the first frame at or after the beat.
    EXPECT_EQ(changeFrame(0.00001, 0.0, 120.0, 44100.0), 1);
    EXPECT_EQ(changeFrame(1.0, 3.0, 120.0, 44100.0), 0);  // before the start
    EXPECT_EQ(changeFrame(1.0, 0.0, 0.0, 44100.0), 0);    // tempo 0

    RenderOptions o;
    EXPECT_EQ(renderFrames(o, 777), 777);
    o.durationSeconds = 1.5;
    EXPECT_EQ(renderFrames(o, 777), 66150);
    o.durationBeats = 3.0;
    o.tempo = 90.0;
    EXPECT_EQ(renderFrames(o, 777), 88200);
}

}  // namespace
}  // namespace gwhost
