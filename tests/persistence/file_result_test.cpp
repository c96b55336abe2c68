// What the user reads after a failed file operation: each refusal of the readers and the
// writer, made by a real failing call, shows its own message.
#include "persistence/file_result.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>

#include "persistence/bank_file.h"
#include "persistence/wave_file.h"
#include "test_util.h"

namespace grainwheel {
namespace {

using test::Bytes;

// A 16-bit mono file of four frames: "RIFF" at 0, "WAVE" at 8, "fmt " at 12, the format tag
// at 20, channels at 22, rate at 24, bits at 34, "data" at 36, its length at 40.
Bytes goodWave() {
    Bytes b;
    test::putId(b, "RIFF");
    test::put32(b, 36 + 8);
    test::putId(b, "WAVE");
    test::putId(b, "fmt ");
    test::put32(b, 16);
    test::put16(b, 1);
    test::put16(b, 1);
    test::put32(b, 44100);
    test::put32(b, 44100 * 2);
    test::put16(b, 2);
    test::put16(b, 16);
    test::putId(b, "data");
    test::put32(b, 8);
    for (int i = 0; i < 4; ++i) test::put16(b, 1000 * i);
    return b;
}

Bytes waveWith(const std::function<void(Bytes&)>& change) {
    Bytes b = goodWave();
    change(b);
    return b;
}

void set16(Bytes& b, std::size_t at, int v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
void set32(Bytes& b, std::size_t at, std::uint32_t v) {
    set16(b, at, static_cast<int>(v & 0xFFFF));
    set16(b, at + 2, static_cast<int>(v >> 16));
}

FileResult readWaveBytes(const Bytes& b) {
    SampleArrays out;
    return readWave(std::span<const std::uint8_t>(b), out);
}

// The header and the 16 records of a bank that announces one WAVE block.
Bytes bankHeaderAndRecords() {
    Bytes b;
    test::putId(b, "GRB ");
    test::put16(b, kBankVersion);
    test::put16(b, kBankSubVersion);
    test::put32(b, kNumPrograms);
    test::put32(b, 1);
    test::putId(b, "PROG");
    const auto records = test::patternRecords();
    test::putBytes(b, records.data(), kBankChunkSize);
    return b;
}

FileResult readBankBytes(const Bytes& b) {
    BankContents out;
    return readBank(std::span<const std::uint8_t>(b), out);
}

TEST(FileResult, EveryRefusalShowsItsMessage) {
    ASSERT_EQ(readWaveBytes(goodWave()), kFileOk);
    Bytes goodBank = bankHeaderAndRecords();
    test::putId(goodBank, "WAVE");
    test::put32(goodBank, 0);
    ASSERT_EQ(readBankBytes(goodBank), kFileOk);

    test::TempDir dir;
    SampleArrays unused;
    const float silence[2] = {};
    const struct {
        const char* what;
        FileResult result;
        const char* message;
    } refusals[] = {
        {"a wave file that is no RIFF file", readWaveBytes(waveWith([](Bytes& b) { b[0] = 'X'; })),
         "No RIFF chunk found"},
        {"a RIFF file of another form", readWaveBytes(waveWith([](Bytes& b) { b[8] = 'X'; })), "No WAVE chunk found"},
        {"a wave file without format block", readWaveBytes(waveWith([](Bytes& b) { b[12] = 'X'; })),
         "No FMT chunk found"},
        {"a wave file without data chunk", readWaveBytes(waveWith([](Bytes& b) { b[36] = 'X'; })),
         "No DATA chunk found"},
        {"compressed samples (ADPCM)", readWaveBytes(waveWith([](Bytes& b) { set16(b, 20, 2); })), "No PCM Data"},
        {"12-bit samples", readWaveBytes(waveWith([](Bytes& b) { set16(b, 34, 12); })), "Only 16bit atm"},
        {"a rate above the highest", readWaveBytes(waveWith([](Bytes& b) { set32(b, 24, kMaxBufferRate + 1); })),
         "Only 44.1k atm"},
        {"a rate below the lowest", readWaveBytes(waveWith([](Bytes& b) { set32(b, 24, kMinBufferRate - 1); })),
         "Only 44.1k atm"},
        {"nine channels", readWaveBytes(waveWith([](Bytes& b) { set16(b, 22, 9); })), "Only Mono/Stereo allowed."},
        {"an empty data chunk", readWaveBytes(waveWith([](Bytes& b) { set32(b, 40, 0); })), "No Audiodata found"},
        {"a missing wave file", readWaveFile(dir.file("missing.wav").c_str(), unused), "Could not open file."},
        {"a wave file in a missing folder",
         writeWaveFile(dir.file("missing/out.wav").c_str(), BufferView{silence, silence, 1}),
         "Could not open in write mode."},
        {"a bank that is no bank", readBankBytes(goodWave()), "No valid GRB file."},
        {"a bank of another version", readBankBytes([] {
             Bytes b = bankHeaderAndRecords();
             set16(b, 4, kBankVersion + 1);
             return b;
         }()),
         "Version number does not fit"},
        {"a bank whose WAVE block is missing", readBankBytes(bankHeaderAndRecords()), "No WAVE chunk found"},
    };
    for (const auto& r : refusals) {
        EXPECT_TRUE(isFailure(r.result)) << r.what;
        const char* text = fileResultText(r.result);
        ASSERT_NE(text, nullptr) << r.what;
        EXPECT_EQ(std::string(text), r.message) << r.what;
    }
}

TEST(FileResult, EveryFixedTextBelongsToOneCode) {
    std::set<FileResult> codes;
    for (int i = 0; i < kNumFileMessages; ++i) {
        const FileMessage& m = kFileMessages[i];
        EXPECT_TRUE(codes.insert(m.code).second) << m.code;
        ASSERT_NE(m.text, nullptr) << m.code;
        EXPECT_STREQ(fileResultText(m.code), m.text) << m.code;
    }
}

TEST(FileResult, InformationLinesAndUnknownCodesHaveNoFixedText) {
    for (int code : {13, 14, 15, 16, 17, 18, 19, 26, 31, 41, 99, 100, 200, 207, 215, 301, -1})
        EXPECT_EQ(fileResultText(code), nullptr) << code;
}

TEST(FileResult, ColoursFollowTheCodeRanges) {
    EXPECT_TRUE(isFailure(0));
    EXPECT_TRUE(isFailure(40));
    EXPECT_TRUE(isFailure(99));
    EXPECT_FALSE(isFailure(100));
    EXPECT_FALSE(isFailure(300));
    for (int code : {0, 100, 200, 215}) EXPECT_TRUE(usesBlackBackground(code)) << code;
    for (int code : {1, 23, 99, 101, 199, 216, 300}) EXPECT_FALSE(usesBlackBackground(code)) << code;
}

}  // namespace
}  // namespace grainwheel
