#include "persistence/host_chunk.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "test_util.h"

namespace grainwheel {
namespace {

TEST(HostChunk, SizesMustFitExactly) {
    const ProgramRecord src = test::patternRecord(3);
    std::vector<std::uint8_t> bytes(kBankChunkSize + 1, 0);
    std::memcpy(bytes.data(), &src, sizeof src);
    ProgramRecord out = test::patternRecord(9);
    const ProgramRecord before = out;
    EXPECT_FALSE(readProgramChunk(bytes.data(), 1883, out));
    EXPECT_FALSE(readProgramChunk(bytes.data(), 1885, out));
    EXPECT_FALSE(readProgramChunk(nullptr, 1884, out));
    EXPECT_TRUE(test::sameBytes(&out, &before, sizeof out));
    EXPECT_TRUE(readProgramChunk(bytes.data(), 1884, out));
    EXPECT_TRUE(test::sameBytes(&out, &src, sizeof out));

    auto bank = test::patternRecords();
    const auto bankBefore = bank;
    EXPECT_FALSE(readBankChunk(bytes.data(), 30143, bank));
    EXPECT_FALSE(readBankChunk(bytes.data(), 30145, bank));
    EXPECT_FALSE(readBankChunk(bytes.data(), 1884, bank));
    EXPECT_TRUE(test::sameBytes(bank.data(), bankBefore.data(), kBankChunkSize));
}

TEST(HostChunk, BankChunkIsCopiedByteForByte) {
    const auto src = test::patternRecords();
    std::array<ProgramRecord, kNumPrograms> out{};
    ASSERT_TRUE(readBankChunk(src.data(), kBankChunkSize, out));
    EXPECT_TRUE(test::sameBytes(out.data(), src.data(), kBankChunkSize));
}

TEST(HostChunk, CurrentProgramIsClampedToTheProgramRange) {
    const std::pair<std::int32_t, std::int32_t> cases[] = {
        {0, 0}, {7, 7}, {15, 15}, {16, 15}, {-1, 0}, {std::numeric_limits<std::int32_t>::min(), 0},
        {std::numeric_limits<std::int32_t>::max(), 15}};
    for (auto [in, want] : cases) {
        ProgramRecord r = test::patternRecord(1);
        r.currentProgram = in;
        sanitiseRecord(r);
        EXPECT_EQ(r.currentProgram, want) << in;
    }
}

TEST(HostChunk, BufferNumberTruncatesIntoTheBufferRange) {
    const float inf = std::numeric_limits<float>::infinity();
    const std::pair<float, float> cases[] = {
        {0.0f, 0.0f}, {15.0f, 15.0f}, {15.9f, 15.9f}, {-0.5f, -0.5f}, {3.7f, 3.7f},  // in range: kept
        {16.0f, 15.0f}, {1e9f, 15.0f}, {inf, 15.0f}, {-1.0f, 0.0f}, {-inf, 0.0f},
        {std::numeric_limits<float>::quiet_NaN(), 0.0f}};
    for (auto [in, want] : cases) {
        ProgramRecord r = test::patternRecord(1);
        r.bufferNumber = in;
        sanitiseRecord(r);
        EXPECT_EQ(r.bufferNumber, want) << in;
        const int index = static_cast<int>(r.bufferNumber);
        EXPECT_GE(index, 0);
        EXPECT_LT(index, kNumPrograms);
    }
}

TEST(HostChunk, UnterminatedTextsAreMadeSafe) {
    ProgramRecord r = test::patternRecord(2);
    std::memset(r.bufferPath, 'p', sizeof r.bufferPath);
    std::memset(r.name, 'n', sizeof r.name);
    sanitiseRecord(r);
    EXPECT_STREQ(r.bufferPath, "");
    EXPECT_EQ(std::string(r.name), std::string(23, 'n'));

    // Bytes after a terminator are carried along unchanged.
    ProgramRecord t = test::patternRecord(2);
    std::memset(t.bufferPath, 'q', sizeof t.bufferPath);
    t.bufferPath[5] = 0;
    const ProgramRecord before = t;
    sanitiseRecord(t);
    EXPECT_TRUE(test::sameBytes(&t, &before, sizeof t));
}

TEST(HostChunk, ReloadsFollowEachRecordsPath) {
    auto records = test::patternRecords();
    records[1].bufferPath[0] = 0;                                 // empty: keep
    std::memset(records[2].bufferPath, 'x', kPathSize);           // 1024 characters: too long
    std::memset(records[3].bufferPath, 'y', kPathSize - 1);       // 1023 characters: fits
    records[3].bufferPath[kPathSize - 1] = 0;
    const auto reloads = bankChunkReloads(records.data());
    EXPECT_EQ(reloads[0].kind, BufferReload::kLoad);
    EXPECT_EQ(reloads[0].path, "/audio/take00.wav");
    EXPECT_EQ(reloads[1].kind, BufferReload::kKeep);
    EXPECT_EQ(reloads[2].kind, BufferReload::kPathTooLong);
    EXPECT_EQ(reloads[3].kind, BufferReload::kLoad);
    EXPECT_EQ(reloads[3].path, std::string(1023, 'y'));
    EXPECT_EQ(reloads[15].path, "/audio/take15.wav");
}

TEST(HostChunk, ErrorTextListsTheFailedEntries) {
    ReloadErrors errors;
    EXPECT_FALSE(errors.any());
    EXPECT_EQ(errors.text(), "Error loading these files :\n\n");
    errors.addFailed("/gone/take1.wav");
    errors.addPathTooLong();
    errors.addFailed("/gone/take3.wav");
    EXPECT_TRUE(errors.any());
    EXPECT_EQ(errors.text(),
              "Error loading these files :\n\n/gone/take1.wav\n(-filename too long-)\n/gone/take3.wav\n");
}

}  // namespace
}  // namespace grainwheel
