// The file system's limits: the temporary name of a file that is being written, files
// that are no regular files, and the bounded set of recovery banks.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <future>
#include <string>

#include "persistence/bank_file.h"
#include "persistence/file_system.h"
#include "persistence/recent_banks.h"
#include "persistence/recovery_banks.h"
#include "persistence/wave_file.h"
#include "test_util.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace grainwheel {
namespace {

namespace fs = std::filesystem;
using test::Bytes;

// A target whose name has the longest length a file name may have still gets written:
// its temporary name is cut to fit, and nothing is left beside it.
TEST(FileLimits, LongestFileNameStillGetsItsTemporaryFile) {
    test::TempDir dir;
    for (std::size_t length : {250u, 251u, 253u, 255u}) {
#ifdef _WIN32
        // There the whole path must also stay within MAX_PATH (259 characters).
        length = std::min(length, 259 - dir.path().size() - 1 - (255 - length));
#endif
        const std::string path = dir.file(std::string(length - 4, 'n') + ".wav");
        AtomicFileWriter out;
        ASSERT_TRUE(out.open(path.c_str())) << length;
        ASSERT_TRUE(out.write("abc", 3));
        ASSERT_TRUE(out.commit()) << length;
        EXPECT_EQ(test::readFile(path), (Bytes{'a', 'b', 'c'})) << length;
        fs::remove(path);
        EXPECT_TRUE(dir.entries().empty()) << length;
    }
}

#ifndef _WIN32
// Reading a FIFO or a device would block (or never end): only regular files are read,
// and the answer comes at once.
TEST(FileLimits, FifosAndDevicesAreNotRead) {
    test::TempDir dir;
    const std::string fifo = dir.file("pipe.wav");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    auto reads = std::async(std::launch::async, [&] {
        SampleArrays wave;
        BankContents bank;
        const FileResult a = readWaveFile(fifo.c_str(), wave);
        const FileResult b = readWaveFile("/dev/zero", wave);
        const FileResult c = readBankFile(fifo.c_str(), bank);
        const FileResult d = readWaveFile(dir.path().c_str(), wave);  // a folder
        RecentBankList recent;
        const bool e = recent.load(fifo.c_str());
        return a == kFileOpenFailed && b == kFileOpenFailed && c == kFileOpenFailed && d == kFileOpenFailed && !e;
    });
    const bool blocked = reads.wait_for(std::chrono::seconds(10)) != std::future_status::ready;
    // A blocked reader is let go (a writer opens and closes the FIFO) so that the test ends.
    while (reads.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
        const int fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) close(fd);
    }
    EXPECT_FALSE(blocked) << "reading a FIFO blocked";
    EXPECT_TRUE(reads.get());
    EXPECT_TRUE(fileExists(fifo.c_str())) << "the overwrite probe sees it without opening it";
}

// A sparse file of 4 GB, a WAV header and zeros (4 KB on disk): every reader refuses it
// (the recent-bank list reads its first megabyte) at once. The file lives below the build
// tree, where files can be sparse.
TEST(FileLimits, HugeZeroFilesAreRefusedAtOnce) {
    test::TempDir dir(GW_PERSISTENCE_WORK);
    const std::string path = dir.file("zeros.wav");
    Bytes head;
    test::putId(head, "RIFF");
    test::put32(head, 0xFFFFFFFFu);
    test::putId(head, "WAVE");
    test::writeFile(path, head);
    fs::resize_file(path, std::uint64_t(4) << 30);
    const auto start = std::chrono::steady_clock::now();
    SampleArrays wave;
    BankContents bank;
    float settings[kNumGlobalSettings];
    RecentBankList recent;
    EXPECT_EQ(readWaveFile(path.c_str(), wave), kFileNoFmt);
    EXPECT_EQ(readBankFile(path.c_str(), bank), kFileNoGrb);
    EXPECT_EQ(readBankOptionsFile(path.c_str(), settings), kFileNoGrb);
    EXPECT_TRUE(recent.load(path.c_str()));
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(took, std::chrono::seconds(1));
}
#endif

// --- recovery banks ---------------------------------------------------------------------

class RecoveryBanks : public ::testing::Test {
protected:
    std::string base() const { return dir.file("lastsession.grb"); }
    std::string numbered(int k) const {
        return k == 1 ? base() : dir.file("lastsession-" + std::to_string(k) + ".grb");
    }
    // A bank of `size` bytes written `age` seconds ago.
    void put(int k, std::size_t size, int age) {
        test::writeFile(numbered(k), Bytes(size, 'b'));
        fs::last_write_time(numbered(k), fs::file_time_type::clock::now() - std::chrono::seconds(age));
    }
    bool has(int k) const { return fs::exists(numbered(k)); }

    test::TempDir dir;
};

TEST_F(RecoveryBanks, NamesCountOnFromTheHighestInUse) {
    EXPECT_EQ(recoveryBankName(base()), base());
    put(1, 10, 50);
    EXPECT_EQ(recoveryBankName(base()), numbered(2));
    put(7, 10, 40);
    EXPECT_EQ(recoveryBankName(base()), numbered(8));
    put(999, 10, 30);
    EXPECT_EQ(recoveryBankName(base()), numbered(2)) << "past 999 the first free name";
    EXPECT_EQ(recoveryBankName("no-extension"), "");
}

TEST_F(RecoveryBanks, OnlyTheNewestFewAreKept) {
    // Twelve banks written one after another (number k is k seconds younger than 1).
    for (int k = 1; k <= 12; ++k) put(k, 100, 100 - k);
    EXPECT_EQ(pruneRecoveryBanks(base(), numbered(12)), 12 - kRecoveryBanksKept);
    for (int k = 1; k <= 12; ++k) EXPECT_EQ(has(k), k > 12 - kRecoveryBanksKept) << k;
    // The age decides, not the number: an old bank with a high number goes first.
    put(40, 100, 1000);
    put(13, 100, 0);
    EXPECT_EQ(pruneRecoveryBanks(base(), numbered(13)), 2);
    EXPECT_FALSE(has(40));
    EXPECT_FALSE(has(8));
    EXPECT_TRUE(has(13));
    EXPECT_TRUE(has(9));
    // Other files in the folder are never touched.
    test::writeFile(dir.file("lastsession-x.grb"), Bytes(3, 'x'));
    test::writeFile(dir.file("mybank.grb"), Bytes(3, 'x'));
    pruneRecoveryBanks(base(), numbered(13), 1);
    EXPECT_TRUE(fs::exists(dir.file("lastsession-x.grb")));
    EXPECT_TRUE(fs::exists(dir.file("mybank.grb")));
    EXPECT_EQ(dir.entries().size(), 3u);
}

TEST_F(RecoveryBanks, OlderBanksAreKeptOnlyWithinTheSize) {
    put(1, 300, 30);
    put(2, 300, 20);
    put(3, 300, 10);
    put(4, 500, 0);
    // 500 + 300 fits 900, another 300 would not.
    EXPECT_EQ(pruneRecoveryBanks(base(), numbered(4), 5, 900), 2);
    EXPECT_TRUE(has(4));
    EXPECT_TRUE(has(3));
    EXPECT_FALSE(has(2));
    EXPECT_FALSE(has(1));
    // The newest is kept whatever its size.
    EXPECT_EQ(pruneRecoveryBanks(base(), numbered(4), 5, 100), 1);
    EXPECT_TRUE(has(4));
    EXPECT_FALSE(has(3));
}

}  // namespace
}  // namespace grainwheel
