#include "persistence/bank_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

#include "persistence/file_system.h"
#include "test_util.h"

namespace grainwheel {
namespace {

using test::Bytes;

// Buffers with distinct lengths and content; `empty` lists the ones left empty.
struct TestBuffers {
    std::array<SampleArrays, kNumPrograms> arrays;
    std::array<BufferView, kNumPrograms> views;

    explicit TestBuffers(std::initializer_list<int> empty = {}, int baseLength = 100) {
        for (int k = 0; k < kNumPrograms; ++k) {
            if (std::find(empty.begin(), empty.end(), k) != empty.end()) continue;
            const int n = baseLength + 7 * k;
            EXPECT_TRUE(arrays[k].allocate(n));
            for (int i = 0; i < n; ++i) {
                arrays[k].left[i] = float(i) / n - 0.5f + k;
                arrays[k].right[i] = -float(i) / n + 0.25f * k;
            }
            arrays[k].setGuardFrame();
        }
        refresh();
    }
    void refresh() {
        for (int k = 0; k < kNumPrograms; ++k) views[k] = viewOf(arrays[k]);
    }
};

Bytes writeToBytes(const std::array<ProgramRecord, kNumPrograms>& programs, const TestBuffers& buffers) {
    test::TempDir dir;
    const std::string path = dir.file("b.grb");
    EXPECT_EQ(writeBankFile(path.c_str(), programs, buffers.views), kFileOk);
    return test::readFile(path);
}

FileResult parse(const Bytes& b, BankContents& out) { return readBank(std::span<const std::uint8_t>(b), out); }

FileResult parseCode(const Bytes& b) {
    auto out = std::make_unique<BankContents>();
    return parse(b, *out);
}

// Offset of block k in a file written from `buffers`.
std::size_t blockOffset(const TestBuffers& buffers, int k) {
    std::size_t at = kBankRecordsEnd;
    for (int j = 0; j < k; ++j) at += 8 + 8 * std::size_t(buffers.views[j].empty() ? 0 : buffers.views[j].length);
    return at;
}

void setBlockCount(Bytes& b, std::int32_t count) { std::memcpy(b.data() + 12, &count, 4); }

TEST(BankWrite, EmptyBankHasTheExactLayout) {
    const auto programs = test::patternRecords();
    const TestBuffers none({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15});
    const Bytes b = writeToBytes(programs, none);
    ASSERT_EQ(b.size(), 30292u);
    EXPECT_EQ(bankFileSize(none.views), 30292u);
    const std::uint8_t header[20] = {'G', 'R', 'B', ' ', 3, 0, 4, 0, 16, 0, 0, 0, 16, 0, 0, 0, 'P', 'R', 'O', 'G'};
    EXPECT_TRUE(test::sameBytes(b.data(), header, 20));
    EXPECT_TRUE(test::sameBytes(b.data() + 20, programs.data(), kBankChunkSize));
    for (int k = 0; k < kNumPrograms; ++k) {
        EXPECT_TRUE(test::sameBytes(b.data() + 30164 + 8 * k, "WAVE", 4)) << k;
        EXPECT_EQ(test::get32(b, 30168 + 8 * k), 0u) << k;
    }
}

TEST(BankWrite, RateBytesAreWrittenAsGivenAndSizeFollowsTheBufferLengths) {
    auto programs = test::patternRecords();
    for (int k = 0; k < kNumPrograms; ++k) setRecordedRate(programs[k], k == 3 ? 48000 : 44100);
    const TestBuffers buffers({3, 9});
    const Bytes b = writeToBytes(programs, buffers);
    std::uint64_t frames = 0;
    for (const auto& v : buffers.views) frames += v.empty() ? 0 : v.length;
    EXPECT_EQ(b.size(), 20 + 16 * 1884 + 16 * 8 + 8 * frames);
    EXPECT_EQ(bankFileSize(buffers.views), b.size());
    // 48000 = 0x00bb80, little-endian; 44100 as 0, as every earlier writer wrote it.
    for (int k = 0; k < kNumPrograms; ++k) {
        const std::uint8_t* at = b.data() + 20 + 1884 * k + 1457;
        const int stored = at[0] | at[1] << 8 | at[2] << 16;
        EXPECT_EQ(stored, k == 3 ? 48000 : 0) << k;
    }
    // Block 1: id, length, left channel, then right channel, not interleaved.
    const std::size_t at = blockOffset(buffers, 1);
    EXPECT_TRUE(test::sameBytes(b.data() + at, "WAVE", 4));
    EXPECT_EQ(test::get32(b, at + 4), std::uint32_t(buffers.views[1].length));
    EXPECT_TRUE(test::sameBytes(b.data() + at + 8, buffers.views[1].left, 4 * buffers.views[1].length));
    EXPECT_TRUE(test::sameBytes(b.data() + at + 8 + 4 * buffers.views[1].length, buffers.views[1].right,
                                4 * buffers.views[1].length));
}

TEST(BankRoundTrip, SixteenFullBuffersAreBitExact) {
    test::TempDir dir;
    const auto programs = test::patternRecords();
    auto buffers = std::make_unique<TestBuffers>(std::initializer_list<int>{}, 1);
    for (int k = 0; k < kNumPrograms; ++k) {
        SampleArrays& a = buffers->arrays[k];
        ASSERT_TRUE(a.allocate(kMaxBufferFrames));
        for (int i = 0; i < kMaxBufferFrames; ++i) {
            std::uint32_t bits = 0x9E3779B9u * std::uint32_t(i + 1) ^ std::uint32_t(k << 24);
            std::memcpy(&a.left[i], &bits, 4);  // any bit pattern, NaNs and denormals included
            bits = ~bits;
            std::memcpy(&a.right[i], &bits, 4);
        }
        a.setGuardFrame();
    }
    buffers->refresh();
    const std::string path = dir.file("full.grb");
    ASSERT_EQ(writeBankFile(path.c_str(), programs, buffers->views), kFileOk);
    EXPECT_EQ(std::filesystem::file_size(path), 30292u + 16u * 8u * kMaxBufferFrames);

    auto back = std::make_unique<BankContents>();
    ASSERT_EQ(readBankFile(path.c_str(), *back), kFileOk);
    EXPECT_TRUE(back->replacesBuffers);
    EXPECT_TRUE(test::sameBytes(back->programs.data(), programs.data(), kBankChunkSize));
    for (int k = 0; k < kNumPrograms; ++k) {
        ASSERT_EQ(back->buffers[k].length, kMaxBufferFrames);
        EXPECT_TRUE(test::sameBytes(back->buffers[k].left.get(), buffers->arrays[k].left.get(), 4 * (kMaxBufferFrames + 1)));
        EXPECT_TRUE(test::sameBytes(back->buffers[k].right.get(), buffers->arrays[k].right.get(), 4 * (kMaxBufferFrames + 1)));
    }
}

TEST(BankRead, ReadsRecordsBuffersAndGuardFrames) {
    const auto programs = test::patternRecords();
    const TestBuffers buffers({2, 15});
    auto out = std::make_unique<BankContents>();
    ASSERT_EQ(parse(writeToBytes(programs, buffers), *out), kFileOk);
    EXPECT_TRUE(out->replacesBuffers);
    EXPECT_TRUE(test::sameBytes(out->programs.data(), programs.data(), kBankChunkSize));
    for (int k = 0; k < kNumPrograms; ++k) {
        const BufferView& want = buffers.views[k];
        const SampleArrays& got = out->buffers[k];
        if (want.empty()) {
            EXPECT_EQ(got.length, 0) << k;
            EXPECT_EQ(got.left, nullptr) << k;
            continue;
        }
        ASSERT_EQ(got.length, want.length) << k;
        EXPECT_TRUE(test::sameBytes(got.left.get(), want.left, 4 * want.length)) << k;
        EXPECT_TRUE(test::sameBytes(got.right.get(), want.right, 4 * want.length)) << k;
        EXPECT_EQ(got.left[got.length], got.left[0]) << k;
        EXPECT_EQ(got.right[got.length], got.right[0]) << k;
    }
}

TEST(BankRead, WaveBlockCountDecidesWhichBuffersAreReplaced) {
    const auto programs = test::patternRecords();
    const TestBuffers buffers;
    const Bytes full = writeToBytes(programs, buffers);

    Bytes b = full;
    setBlockCount(b, 0);  // programs only: the buffers are kept
    auto out = std::make_unique<BankContents>();
    ASSERT_EQ(parse(b, *out), kFileOk);
    EXPECT_FALSE(out->replacesBuffers);
    for (const auto& a : out->buffers) EXPECT_TRUE(a.empty());
    EXPECT_TRUE(test::sameBytes(out->programs.data(), programs.data(), kBankChunkSize));

    setBlockCount(b, -3);  // a negative count carries no audio either
    ASSERT_EQ(parse(b, *out), kFileOk);
    EXPECT_FALSE(out->replacesBuffers);

    setBlockCount(b, 5);  // buffers 0 to 4 from the file, the others emptied
    b.resize(blockOffset(buffers, 5));
    ASSERT_EQ(parse(b, *out), kFileOk);
    EXPECT_TRUE(out->replacesBuffers);
    for (int k = 0; k < kNumPrograms; ++k) EXPECT_EQ(out->buffers[k].length, k < 5 ? buffers.views[k].length : 0) << k;

    for (std::int32_t count : {17, 1000, 0x7FFFFFFF}) {  // blocks beyond the sixteenth are ignored
        b = full;
        setBlockCount(b, count);
        Bytes extra = {'W', 'A', 'V', 'E', 1, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8};
        b.insert(b.end(), extra.begin(), extra.end());
        ASSERT_EQ(parse(b, *out), kFileOk) << count;
        for (int k = 0; k < kNumPrograms; ++k) EXPECT_EQ(out->buffers[k].length, buffers.views[k].length);
    }
}

TEST(BankRead, HeaderFailuresGiveTheirCodes) {
    const Bytes full = writeToBytes(test::patternRecords(), TestBuffers({}, 3));
    Bytes b = full;
    b[3] = 'X';  // "GRB" with another fourth byte
    EXPECT_EQ(parseCode(b), kFileNoGrb);
    b = full;
    b[6] = 5;  // version 3, sub-version 5
    EXPECT_EQ(parseCode(b), kFileVersion);
    b = full;
    b[4] = 2;
    EXPECT_EQ(parseCode(b), kFileVersion);
    b = full;
    b[8] = 7;  // record count and "PROG" are not tested
    std::memcpy(b.data() + 16, "XXXX", 4);
    EXPECT_EQ(parseCode(b), kFileOk);
    auto out = std::make_unique<BankContents>();
    EXPECT_EQ(readBankFile("/nonexistent/bank.grb", *out), kFileOpenFailed);
}

TEST(BankRead, MalformedBlocksAreRefused) {
    const TestBuffers buffers({}, 10);
    const Bytes full = writeToBytes(test::patternRecords(), buffers);
    const std::size_t block3 = blockOffset(buffers, 3);

    Bytes b = full;
    std::memcpy(b.data() + block3, "WAVF", 4);
    EXPECT_EQ(parseCode(b), kFileNoWaveBlock);
    for (std::int32_t frames : {-1, std::numeric_limits<std::int32_t>::min(), 1 << 30}) {
        b = full;
        std::memcpy(b.data() + block3 + 4, &frames, 4);
        EXPECT_EQ(parseCode(b), kFileNoWaveBlock) << frames;
    }
}

// Deliberate departure from the documented reader, which replaced programs and the buffers
// before a failing block: a bank loads all or nothing, so a damaged file never leaves half
// the user's audio replaced.
TEST(BankRead, EveryTruncationIsRefusedWithoutPartialResults) {
    const TestBuffers buffers({1, 4}, 2);
    const Bytes full = writeToBytes(test::patternRecords(), buffers);
    std::vector<std::size_t> blockStarts;
    for (int k = 0; k <= kNumPrograms; ++k) blockStarts.push_back(blockOffset(buffers, k));
    ASSERT_EQ(blockStarts.back(), full.size());
    auto out = std::make_unique<BankContents>();
    for (std::size_t n = 0; n < full.size(); ++n) {
        const Bytes cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
        const FileResult r = parse(cut, *out);
        ASSERT_EQ(r, n < kBankRecordsEnd ? kFileNoGrb : kFileNoWaveBlock) << n;
        for (const auto& a : out->buffers) ASSERT_TRUE(a.empty()) << n;
    }
    EXPECT_EQ(parse(full, *out), kFileOk);
}

TEST(BankRead, FrameCountsAboveTheLimitKeepTheirFirstFrames) {
    const int frames = kMaxBufferFrames + 3;
    Bytes b = writeToBytes(test::patternRecords(), TestBuffers({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}));
    b.resize(kBankRecordsEnd);
    setBlockCount(b, 1);
    test::putId(b, "WAVE");
    test::put32(b, frames);
    for (int i = 0; i < frames; ++i) test::putFloat(b, float(i));
    for (int i = 0; i < frames; ++i) test::putFloat(b, -float(i));
    auto out = std::make_unique<BankContents>();
    ASSERT_EQ(parse(b, *out), kFileOk);
    ASSERT_EQ(out->buffers[0].length, kMaxBufferFrames);
    EXPECT_EQ(out->buffers[0].left[kMaxBufferFrames - 1], float(kMaxBufferFrames - 1));
    EXPECT_EQ(out->buffers[0].right[0], 0.0f);
    EXPECT_EQ(out->buffers[0].right[kMaxBufferFrames - 1], -float(kMaxBufferFrames - 1));
    EXPECT_EQ(out->buffers[0].left[kMaxBufferFrames], 0.0f);  // guard copy of frame 0
}

TEST(BankRead, IndexLikeRecordValuesAreBroughtIntoRange) {
    auto programs = test::patternRecords();
    programs[0].currentProgram = 99;
    programs[3].bufferNumber = 40.0f;
    programs[4].bufferNumber = std::numeric_limits<float>::quiet_NaN();
    const Bytes b = writeToBytes(programs, TestBuffers({}, 1));
    auto out = std::make_unique<BankContents>();
    ASSERT_EQ(parse(b, *out), kFileOk);
    EXPECT_EQ(out->programs[0].currentProgram, 15);
    EXPECT_EQ(out->programs[3].bufferNumber, 15.0f);
    EXPECT_EQ(out->programs[4].bufferNumber, 0.0f);
}

TEST(BankWrite, FailedWriteLeavesThePreviousFile) {
    test::TempDir dir;
    const std::string path = dir.file("keep.grb");
    const Bytes previous = {'G', 'R', 'B', ' '};
    test::writeFile(path, previous);
    const auto programs = test::patternRecords();
    const TestBuffers buffers({}, 50);
    for (std::size_t failAt : {0u, 19u, 20u, 5000u, 30164u, 30172u, 31000u}) {
        AtomicFileWriter out;
        ASSERT_TRUE(out.open(path.c_str()));
        out.failAfter(failAt);
        EXPECT_FALSE(writeBank(out, programs, buffers.views) && out.commit()) << failAt;
    }
    EXPECT_EQ(test::readFile(path), previous);
    EXPECT_EQ(dir.entries().size(), 1u);
    EXPECT_EQ(writeBankFile(dir.file("missing/x.grb").c_str(), programs, buffers.views), kFileWriteFailed);
    // A complete write replaces the file.
    EXPECT_EQ(writeBankFile(path.c_str(), programs, buffers.views), kFileOk);
    EXPECT_EQ(std::filesystem::file_size(path), bankFileSize(buffers.views));
    EXPECT_EQ(dir.entries().size(), 1u);
}

#ifdef _WIN32
// Windows refuses to replace a file another handle holds open: the write then fails as a
// whole, the open file keeps its bytes and the temporary file goes.
TEST(BankWrite, TargetHeldOpenElsewhereIsAFailedWrite) {
    test::TempDir dir;
    const std::string path = dir.file("held.grb");
    const Bytes previous = {'o', 'l', 'd'};
    test::writeFile(path, previous);
    const auto programs = test::patternRecords();
    const TestBuffers buffers({}, 50);
    {
        std::ifstream holder(path, std::ios::binary);
        ASSERT_TRUE(holder.is_open());
        EXPECT_EQ(writeBankFile(path.c_str(), programs, buffers.views), kFileWriteFailed);
    }
    EXPECT_EQ(test::readFile(path), previous);
    EXPECT_EQ(dir.entries().size(), 1u);
    EXPECT_EQ(writeBankFile(path.c_str(), programs, buffers.views), kFileOk) << "once it is closed";
    EXPECT_EQ(std::filesystem::file_size(path), bankFileSize(buffers.views));
}
#endif

TEST(BankOptions, TakesOnlyRecordZerosGlobalSettings) {
    auto programs = test::patternRecords();
    for (int i = 0; i < kNumGlobalSettings; ++i) programs[0].globalSettings[i] = 0.5f + i;
    const Bytes full = writeToBytes(programs, TestBuffers({}, 4));
    float settings[kNumGlobalSettings] = {};
    ASSERT_EQ(readBankOptions(std::span<const std::uint8_t>(full), settings), kFileOk);
    for (int i = 0; i < kNumGlobalSettings; ++i) EXPECT_EQ(settings[i], 0.5f + i);

    // Nothing past the settings is read.
    const Bytes head(full.begin(), full.begin() + 20 + 1024 + 40);
    float again[kNumGlobalSettings] = {};
    EXPECT_EQ(readBankOptions(std::span<const std::uint8_t>(head), again), kFileOk);
    EXPECT_TRUE(test::sameBytes(again, settings, sizeof settings));
}

TEST(BankOptions, FailuresGiveTheirCodesAndChangeNothing) {
    const Bytes full = writeToBytes(test::patternRecords(), TestBuffers({}, 4));
    auto code = [](const Bytes& b) {
        float s[kNumGlobalSettings];
        std::fill(std::begin(s), std::end(s), -7.0f);
        const FileResult r = readBankOptions(std::span<const std::uint8_t>(b), s);
        for (float v : s) {
            if (r != kFileOk) {
                EXPECT_EQ(v, -7.0f);
            }
        }
        return r;
    };
    Bytes b = full;
    b[0] = 'g';
    EXPECT_EQ(code(b), kFileNoGrb);
    b = full;
    b[6] = 5;
    EXPECT_EQ(code(b), kFileVersion);
    for (std::size_t n = 0; n < 20 + 1024 + 40; ++n) {
        const FileResult r = code(Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n)));
        const FileResult want = n < 20 ? kFileNoGrb : n < 20 + 1024 ? kFileSeekFailed : kFileNoGrb;
        EXPECT_EQ(r, want) << n;
    }
    float s[kNumGlobalSettings];
    EXPECT_EQ(readBankOptionsFile("/nonexistent/x.grb", s), kFileOpenFailed);
}

}  // namespace
}  // namespace grainwheel
