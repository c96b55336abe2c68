#include "persistence/wave_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "persistence/file_system.h"
#include "test_util.h"

namespace grainwheel {
namespace {

using test::Bytes;

struct WaveSpec {
    const char* riff = "RIFF";
    const char* form = "WAVE";
    const char* fmt = "fmt ";
    std::int32_t fmtLength = 16;
    int formatTag = 1;
    int channels = 1;
    std::int32_t sampleRate = 44100;
    int bits = 16;
    Bytes beforeData;            // chunks between the format block and the data chunk
    const char* dataId = "data";
    std::int64_t dataLength = -1;  // -1: the length of `samples` in bytes
    std::vector<std::int16_t> samples;
};

Bytes buildWave(const WaveSpec& s) {
    Bytes b;
    test::putId(b, s.riff);
    test::put32(b, 0);
    test::putId(b, s.form);
    test::putId(b, s.fmt);
    test::put32(b, static_cast<std::uint32_t>(s.fmtLength));
    test::put16(b, s.formatTag);
    test::put16(b, s.channels);
    test::put32(b, static_cast<std::uint32_t>(s.sampleRate));
    test::put32(b, static_cast<std::uint32_t>(s.sampleRate * s.channels * 2));
    test::put16(b, s.channels * 2);
    test::put16(b, s.bits);
    for (int i = 16; i < s.fmtLength; ++i) b.push_back(0xEE);
    b.insert(b.end(), s.beforeData.begin(), s.beforeData.end());
    test::putId(b, s.dataId);
    const std::int64_t length = s.dataLength >= 0 ? s.dataLength : std::int64_t(s.samples.size() * 2);
    test::put32(b, static_cast<std::uint32_t>(length));
    for (std::int16_t v : s.samples) test::put16(b, v);
    return b;
}

Bytes chunk(const char* id, std::uint32_t length, std::size_t contentBytes) {
    Bytes b;
    test::putId(b, id);
    test::put32(b, length);
    b.insert(b.end(), contentBytes, 0x55);
    return b;
}

std::vector<std::int16_t> ramp(std::size_t n, int step = 37) {
    std::vector<std::int16_t> v(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::int16_t>(int(i * step % 65536) - 32768);
    return v;
}

FileResult read(const Bytes& b, SampleArrays& out) { return readWave(std::span<const std::uint8_t>(b), out); }

FileResult readCode(const Bytes& b) {
    SampleArrays out;
    return read(b, out);
}

TEST(WaveRead, MonoFileGivesTwoEqualChannelsAndGuardFrame) {
    WaveSpec s;
    s.samples = ramp(1000);
    SampleArrays out;
    ASSERT_EQ(read(buildWave(s), out), kFileOk);
    ASSERT_EQ(out.length, 1000);
    for (int i = 0; i < 1000; ++i) {
        EXPECT_EQ(out.left[i], static_cast<float>(s.samples[i] / 32767.0)) << i;
        EXPECT_EQ(out.right[i], out.left[i]) << i;
    }
    EXPECT_EQ(out.left[1000], out.left[0]);
    EXPECT_EQ(out.right[1000], out.right[0]);
}

TEST(WaveRead, StereoSamplesAlternateBetweenChannels) {
    WaveSpec s;
    s.channels = 2;
    s.samples = {32767, -32768, 16384, 0, -1, 1};
    SampleArrays out;
    ASSERT_EQ(read(buildWave(s), out), kFileOk);
    ASSERT_EQ(out.length, 3);
    EXPECT_FLOAT_EQ(out.left[0], 1.0f);
    EXPECT_LT(out.right[0], -1.0f);  // -32768 reads slightly below -1
    EXPECT_FLOAT_EQ(out.left[1], 16384 / 32767.0f);
    EXPECT_EQ(out.right[1], 0.0f);
    EXPECT_FLOAT_EQ(out.left[2], -1 / 32767.0f);
    EXPECT_FLOAT_EQ(out.right[2], 1 / 32767.0f);
    EXPECT_EQ(out.left[3], out.left[0]);
    EXPECT_EQ(out.right[3], out.right[0]);
}

TEST(WaveRead, FormatBlockLongerThan16IsSkippedAndNegativeLengthIsNot) {
    WaveSpec s;
    s.samples = ramp(10);
    s.fmtLength = 18;
    SampleArrays out;
    EXPECT_EQ(read(buildWave(s), out), kFileOk);
    EXPECT_EQ(out.length, 10);
    s.fmtLength = 40;
    EXPECT_EQ(readCode(buildWave(s)), kFileOk);
    s.fmtLength = -1;  // nothing extra to skip: the data chunk follows the 16 bytes
    EXPECT_EQ(readCode(buildWave(s)), kFileOk);
    s.fmtLength = 16;
    Bytes b = buildWave(s);
    b[19] = 0x7F;  // a format length of 0x7F000010 skips past the end: no data chunk is reached
    EXPECT_EQ(readCode(b), kFileNoData);
}

TEST(WaveRead, ChunksBeforeTheDataAreSkippedInAnyOrder) {
    WaveSpec s;
    s.samples = ramp(20);
    s.beforeData = chunk("smpl", 60, 60);
    EXPECT_EQ(readCode(buildWave(s)), kFileOk);
    s.beforeData = chunk("smpl", 4, 4);
    Bytes more = chunk("inst", 7, 7);  // odd length and no pad byte: the next id follows
    s.beforeData.insert(s.beforeData.end(), more.begin(), more.end());
    more = chunk("PAD ", 3, 3);
    s.beforeData.insert(s.beforeData.end(), more.begin(), more.end());
    EXPECT_EQ(readCode(buildWave(s)), kFileOk);
    s.beforeData = chunk("inst", 2, 2);
    more = chunk("smpl", 2, 2);
    s.beforeData.insert(s.beforeData.end(), more.begin(), more.end());
    more = chunk("smpl", 2, 2);
    s.beforeData.insert(s.beforeData.end(), more.begin(), more.end());
    EXPECT_EQ(readCode(buildWave(s)), kFileOk);
    for (const char* id : {"LIST", "fact", "cue ", "JUNK"}) {
        s.beforeData = chunk(id, 4, 4);
        SampleArrays out;
        EXPECT_EQ(read(buildWave(s), out), kFileOk) << id;
        EXPECT_EQ(out.length, 20) << id;
    }
    s.beforeData = chunk("smpl", 0xFFFFFFF0u, 0);  // a length past the end
    EXPECT_EQ(readCode(buildWave(s)), kFileNoData);
    s.beforeData = chunk("smpl", 0x80000000u, 0);  // a length that runs to the end
    EXPECT_EQ(readCode(buildWave(s)), kFileNoData);
}

TEST(WaveRead, HeaderFailuresGiveTheirCodes) {
    WaveSpec good;
    good.samples = ramp(8);
    auto code = [&](auto change) {
        WaveSpec s = good;
        change(s);
        return readCode(buildWave(s));
    };
    EXPECT_EQ(code([](WaveSpec& s) { s.riff = "RIFX"; }), kFileNoRiff);
    EXPECT_EQ(code([](WaveSpec& s) { s.form = "AVI "; }), kFileNoWave);
    EXPECT_EQ(code([](WaveSpec& s) { s.fmt = "LIST"; }), kFileNoFmt);
    EXPECT_EQ(code([](WaveSpec& s) { s.dataId = "datb"; }), kFileNoData);
    EXPECT_EQ(code([](WaveSpec& s) { s.formatTag = 2; }), kFileNoPcm);
    EXPECT_EQ(code([](WaveSpec& s) { s.formatTag = -2; }), kFileNoPcm);  // extensible, no extension
    EXPECT_EQ(code([](WaveSpec& s) { s.bits = 12; }), kFileUnsupportedSampleFormat);
    EXPECT_EQ(code([](WaveSpec& s) { s.bits = 20; }), kFileUnsupportedSampleFormat);
    EXPECT_EQ(code([](WaveSpec& s) { s.sampleRate = 7999; }), kFileRateOutOfRange);
    EXPECT_EQ(code([](WaveSpec& s) { s.sampleRate = 384001; }), kFileRateOutOfRange);
    EXPECT_EQ(code([](WaveSpec& s) { s.channels = 9; }), kFileNotMonoStereo);
    EXPECT_EQ(code([](WaveSpec& s) { s.channels = 0; }), kFileNotMonoStereo);
    EXPECT_EQ(code([](WaveSpec& s) { s.channels = -1; }), kFileNotMonoStereo);
    EXPECT_EQ(code([](WaveSpec& s) { s.dataLength = 0; }), kFileNoAudioData);
    EXPECT_EQ(readCode(Bytes{'n', 'o', 't', ' ', 'a', ' ', 'w', 'a', 'v'}), kFileNoRiff);
    EXPECT_EQ(readCode(Bytes{}), kFileNoRiff);
}

TEST(WaveRead, TestsRunInTheirFixedOrder) {
    WaveSpec s;
    s.samples = ramp(8);
    s.fmt = "JUNK";
    s.riff = "XXXX";
    EXPECT_EQ(readCode(buildWave(s)), kFileNoRiff);
    s.riff = "RIFF";
    EXPECT_EQ(readCode(buildWave(s)), kFileNoFmt);
    s.fmt = "fmt ";
    s.dataId = "LIST";
    s.formatTag = 3;
    EXPECT_EQ(readCode(buildWave(s)), kFileNoData);  // data id before format tag
    s.dataId = "data";
    s.formatTag = 2;
    s.bits = 12;
    EXPECT_EQ(readCode(buildWave(s)), kFileNoPcm);  // format tag before bits
    s.formatTag = 1;
    s.sampleRate = 400000;
    EXPECT_EQ(readCode(buildWave(s)), kFileUnsupportedSampleFormat);  // bits before rate
    s.bits = 16;
    s.channels = 10;
    EXPECT_EQ(readCode(buildWave(s)), kFileRateOutOfRange);  // rate before channels
    s.sampleRate = 44100;
    s.dataLength = 0;
    EXPECT_EQ(readCode(buildWave(s)), kFileNotMonoStereo);  // channels before data length
}

TEST(WaveRead, DataWithoutOneWholeFrameHoldsNoAudio) {
    WaveSpec s;
    s.dataLength = 1;
    s.samples = {};
    EXPECT_EQ(readCode(buildWave(s)), kFileNoAudioData);
    s.channels = 2;
    s.dataLength = 3;
    s.samples = {100};
    EXPECT_EQ(readCode(buildWave(s)), kFileNoAudioData);
    s.dataLength = 4;
    s.samples = {100, 200};
    EXPECT_EQ(readCode(buildWave(s)), kFileOk);
}

TEST(WaveRead, ShortDataChunkGivesSilenceForTheMissingSamples) {
    WaveSpec s;
    s.channels = 2;
    s.samples = ramp(21);  // ten whole frames and half of the eleventh
    s.dataLength = 4 * 1000;
    SampleArrays out;
    ASSERT_EQ(read(buildWave(s), out), kFileOk);
    ASSERT_EQ(out.length, 1000);
    EXPECT_EQ(out.left[9], static_cast<float>(s.samples[18] / 32767.0));
    EXPECT_FLOAT_EQ(out.left[10], s.samples[20] / 32767.0f);
    EXPECT_EQ(out.right[10], 0.0f);
    for (int i = 11; i <= 1000; ++i) {
        ASSERT_EQ(out.left[i], i == 1000 ? out.left[0] : 0.0f) << i;
        ASSERT_EQ(out.right[i], i == 1000 ? out.right[0] : 0.0f) << i;
    }
}

TEST(WaveRead, DataLengthWithTopBitSetRunsToTheEndOfTheFile) {
    for (std::uint32_t length : {0x80000000u, 0xFFFFFFFFu, 0x80000010u}) {
        WaveSpec s;
        s.samples = ramp(50);
        s.dataLength = length;
        SampleArrays out;
        ASSERT_EQ(read(buildWave(s), out), kFileOk) << length;
        EXPECT_EQ(out.length, 50) << length;
        s.samples = {};
        EXPECT_EQ(readCode(buildWave(s)), kFileNoAudioData) << length;
    }
}

TEST(WaveRead, LongFilesKeepTheirFirst882000Frames) {
    WaveSpec s;
    s.channels = 2;
    s.samples = ramp(2 * (kMaxBufferFrames + 5), 11);
    SampleArrays out;
    ASSERT_EQ(read(buildWave(s), out), kFileOk);
    ASSERT_EQ(out.length, kMaxBufferFrames);
    const int last = kMaxBufferFrames - 1;
    EXPECT_EQ(out.left[last], static_cast<float>(s.samples[2 * last] / 32767.0));
    EXPECT_EQ(out.right[last], static_cast<float>(s.samples[2 * last + 1] / 32767.0));
    EXPECT_EQ(out.left[kMaxBufferFrames], out.left[0]);

    s.samples.resize(10);  // a declared length far beyond the limit is cut to it, too
    s.dataLength = 0x7FFFFFFF;
    ASSERT_EQ(read(buildWave(s), out), kFileOk);
    EXPECT_EQ(out.length, kMaxBufferFrames);
}

TEST(WaveRead, EveryTruncationOfTheHeaderFailsCleanly) {
    WaveSpec s;
    s.beforeData = chunk("smpl", 6, 6);
    s.samples = ramp(4);
    const Bytes full = buildWave(s);
    const std::size_t headerEnd = full.size() - 8;  // where the samples start
    for (std::size_t n = 0; n < full.size(); ++n) {
        const Bytes cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
        SampleArrays out;
        const FileResult r = read(cut, out);
        if (n < headerEnd) {
            const FileResult want = n < 4 ? kFileNoRiff : n < 12 ? kFileNoWave : n < 16 ? kFileNoFmt : kFileNoData;
            EXPECT_EQ(r, want) << n;
        } else {
            // The header is complete: the four declared frames load, the missing ones silent.
            ASSERT_EQ(r, kFileOk) << n;
            ASSERT_EQ(out.length, 4);
            const std::size_t have = (n - headerEnd) / 2;
            for (std::size_t i = have; i < 4; ++i) EXPECT_EQ(out.left[i], 0.0f) << n;
        }
    }
}

TEST(WaveRead, FailureLeavesTheResultUntouched) {
    SampleArrays out;
    ASSERT_TRUE(out.allocate(3));
    out.left[1] = 0.25f;
    WaveSpec s;
    s.samples = ramp(8);
    s.bits = 12;
    EXPECT_EQ(read(buildWave(s), out), kFileUnsupportedSampleFormat);
    EXPECT_EQ(out.length, 3);
    EXPECT_EQ(out.left[1], 0.25f);
}

TEST(WaveRead, MissingFileCannotBeOpened) {
    SampleArrays out;
    EXPECT_EQ(readWaveFile("/nonexistent/folder/x.wav", out), kFileOpenFailed);
    EXPECT_EQ(readWaveFile(nullptr, out), kFileOpenFailed);
    test::TempDir dir;  // a folder opens on some systems but holds no RIFF data
    const FileResult r = readWaveFile(dir.path().c_str(), out);
    EXPECT_TRUE(r == kFileOpenFailed || r == kFileNoRiff) << r;
    EXPECT_TRUE(out.empty());
}

TEST(WaveWrite, ConversionTruncatesTowardZeroAndClipsOutOfRange) {
    EXPECT_EQ(sampleToPcm(0.5f), 16383);
    EXPECT_EQ(sampleToPcm(-0.5f), -16383);
    EXPECT_EQ(sampleToPcm(1.0f), 32767);
    EXPECT_EQ(sampleToPcm(-1.0f), -32767);
    EXPECT_EQ(sampleToPcm(0.0f), 0);
    EXPECT_EQ(sampleToPcm(0.99999f), int(0.99999f * 32767.0));
    EXPECT_EQ(sampleToPcm(-1.0001f), -32768);
    EXPECT_EQ(sampleToPcm(2.0f), 32767);
    EXPECT_EQ(sampleToPcm(-2.0f), -32768);
    EXPECT_EQ(sampleToPcm(std::numeric_limits<float>::infinity()), 32767);
    EXPECT_EQ(sampleToPcm(std::numeric_limits<float>::quiet_NaN()), 0);
}

TEST(WaveWrite, FileHasTheExactLayout) {
    test::TempDir dir;
    const int n = 5;
    float left[n + 1] = {0.5f, -0.5f, 1.0f, 0.0f, -1.0f, 0.5f};
    float right[n + 1] = {0.25f, 0.0f, -0.25f, 0.125f, 0.75f, 0.25f};
    const std::string path = dir.file("take1.wav");
    ASSERT_EQ(writeWaveFile(path.c_str(), {left, right, n}), kFileOk);
    const Bytes b = test::readFile(path);
    ASSERT_EQ(b.size(), 44u + 4u * n);
    EXPECT_TRUE(test::sameBytes(b.data(), "RIFF", 4));
    EXPECT_EQ(test::get32(b, 4), 36u + 4u * n);
    EXPECT_TRUE(test::sameBytes(b.data() + 8, "WAVEfmt ", 8));
    EXPECT_EQ(test::get32(b, 16), 16u);
    EXPECT_EQ(test::get16(b, 20), 1);
    EXPECT_EQ(test::get16(b, 22), 2);
    EXPECT_EQ(test::get32(b, 24), 44100u);
    EXPECT_EQ(test::get32(b, 28), 176400u);
    EXPECT_EQ(test::get16(b, 32), 4);
    EXPECT_EQ(test::get16(b, 34), 16);
    EXPECT_TRUE(test::sameBytes(b.data() + 36, "data", 4));
    EXPECT_EQ(test::get32(b, 40), 4u * n);
    const int expectLeft[n] = {16383, -16383, 32767, 0, -32767};
    const int expectRight[n] = {8191, 0, -8191, 4095, 24575};
    for (int i = 0; i < n; ++i) {
        EXPECT_EQ(test::get16(b, 44 + 4 * i), expectLeft[i]) << i;
        EXPECT_EQ(test::get16(b, 46 + 4 * i), expectRight[i]) << i;
    }
    EXPECT_EQ(dir.entries().size(), 1u);  // no temporary file is left behind
}

TEST(WaveWrite, BufferSurvivesARoundTripWithinOne16BitStep) {
    test::TempDir dir;
    const int n = 3000;
    SampleArrays buffer;
    ASSERT_TRUE(buffer.allocate(n));
    for (int i = 0; i < n; ++i) {
        buffer.left[i] = std::sin(i * 0.01f) * 0.99f;
        buffer.right[i] = std::cos(i * 0.013f) * 0.7f - 0.29f;
    }
    buffer.setGuardFrame();
    const std::string path = dir.file("round.wav");
    ASSERT_EQ(writeWaveFile(path.c_str(), viewOf(buffer)), kFileOk);
    SampleArrays back;
    ASSERT_EQ(readWaveFile(path.c_str(), back), kFileOk);
    ASSERT_EQ(back.length, n);
    const float step = 1.0f / 32767.0f;
    for (int i = 0; i <= n; ++i) {
        ASSERT_NEAR(back.left[i], buffer.left[i], step) << i;
        ASSERT_NEAR(back.right[i], buffer.right[i], step) << i;
    }
}

// Each channel goes to its own slot of the frame (left first), from its own array; a
// buffer filled from a mono source holds two equal arrays and gives two equal channels.
TEST(WaveWrite, ChannelsAreInterleavedLeftFirstAndMonoGivesTwoEqualChannels) {
    test::TempDir dir;
    float left[4] = {0.1f, -0.2f, 0.5f, 0.1f};
    float right[4] = {-0.5f, 0.25f, 1.0f, -0.5f};
    const std::string path = dir.file("stereo.wav");
    ASSERT_EQ(writeWaveFile(path.c_str(), {left, right, 3}), kFileOk);
    const Bytes b = test::readFile(path);
    const std::int16_t expectedLeft[3] = {3276, -6553, 16383};   // x * 32767, truncated
    const std::int16_t expectedRight[3] = {-16383, 8191, 32767};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(test::get16(b, 44 + 4 * i), expectedLeft[i]) << i;
        EXPECT_EQ(test::get16(b, 46 + 4 * i), expectedRight[i]) << i;
    }

    float copy[4];
    std::memcpy(copy, left, sizeof copy);
    const std::string mono = dir.file("mono.wav");
    ASSERT_EQ(writeWaveFile(mono.c_str(), {left, copy, 3}), kFileOk);
    const Bytes m = test::readFile(mono);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(test::get16(m, 44 + 4 * i), expectedLeft[i]) << i;
        EXPECT_EQ(test::get16(m, 46 + 4 * i), expectedLeft[i]) << i;
    }
}

TEST(WaveWrite, FailedWriteLeavesThePreviousFileAndNoTemporaryFile) {
    test::TempDir dir;
    const std::string path = dir.file("keep.wav");
    const Bytes previous = {'o', 'l', 'd'};
    test::writeFile(path, previous);
    float s[11] = {};
    for (std::size_t failAt : {0u, 10u, 44u, 50u}) {
        AtomicFileWriter out;
        ASSERT_TRUE(out.open(path.c_str()));
        out.failAfter(failAt);
        EXPECT_FALSE(writeWave(out, {s, s, 10}) && out.commit()) << failAt;
    }
    EXPECT_EQ(test::readFile(path), previous);
    EXPECT_EQ(dir.entries().size(), 1u);
    EXPECT_EQ(writeWaveFile(dir.file("no/such/folder/x.wav").c_str(), {s, s, 10}), kFileWriteFailed);
    EXPECT_EQ(writeWaveFile("", {s, s, 10}), kFileWriteFailed);
}

}  // namespace
}  // namespace grainwheel
