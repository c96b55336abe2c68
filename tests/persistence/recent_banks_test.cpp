#include "persistence/recent_banks.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "test_util.h"

namespace grainwheel {
namespace {

std::span<const std::uint8_t> bytesOf(const std::string& s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

RecentBankList prefilled() {
    RecentBankList list;
    std::string s;
    for (int i = 0; i < kNumRecentBanks; ++i) s += "old" + std::to_string(i) + "#";
    list.parse(bytesOf(s));
    return list;
}

TEST(RecentList, EntriesEndWithHashAndUnfilledSlotsKeepTheirText) {
    RecentBankList list = prefilled();
    EXPECT_EQ(list.parse(bytesOf("a#b#")), 2);
    EXPECT_STREQ(list.entry(0), "a");
    EXPECT_STREQ(list.entry(1), "b");
    for (int i = 2; i < kNumRecentBanks; ++i) EXPECT_EQ(std::string(list.entry(i)), "old" + std::to_string(i));
}

TEST(RecentList, PartialEntryAtTheEndIsDropped) {
    RecentBankList list = prefilled();
    EXPECT_EQ(list.parse(bytesOf("first#sec")), 1);
    EXPECT_STREQ(list.entry(0), "first");
    EXPECT_STREQ(list.entry(1), "old1");
}

TEST(RecentList, ReadingStopsAfterTheTwentiethEntry) {
    RecentBankList list;
    std::string s;
    for (int i = 0; i < 25; ++i) s += "e" + std::to_string(i) + "#";
    EXPECT_EQ(list.parse(bytesOf(s)), 20);
    EXPECT_STREQ(list.entry(19), "e19");
}

TEST(RecentList, EmptyEntriesAndLongEntries) {
    RecentBankList list = prefilled();
    const std::string kept(1021, 'k');
    const std::string tooLong(1022, 'l');
    const std::string huge(5000, 'h');
    list.parse(bytesOf("#" + kept + "#" + tooLong + "#" + huge + "#after#"));
    EXPECT_STREQ(list.entry(0), "");
    EXPECT_EQ(std::string(list.entry(1)), kept);
    EXPECT_STREQ(list.entry(2), "< original filename too long >");
    EXPECT_STREQ(list.entry(3), "< original filename too long >");
    EXPECT_STREQ(list.entry(4), "after");  // the count starts again for every entry
}

TEST(RecentList, SerialisedListHoldsTwentyHashes) {
    RecentBankList list;
    EXPECT_EQ(list.serialise(), std::string(20, '#'));
    list.record("/banks/a.grb");
    list.record("/banks/b.grb");
    const std::string s = list.serialise();
    EXPECT_EQ(std::count(s.begin(), s.end(), '#'), 20);
    EXPECT_EQ(s, "/banks/b.grb#/banks/a.grb#" + std::string(18, '#'));
}

TEST(RecentList, RecordingPutsNewPathsOnTopAndKeepsKnownOnesInPlace) {
    RecentBankList list = prefilled();
    EXPECT_TRUE(list.record("/new.grb"));
    EXPECT_STREQ(list.entry(0), "/new.grb");
    EXPECT_STREQ(list.entry(1), "old0");
    EXPECT_STREQ(list.entry(19), "old18");  // old19 dropped out
    EXPECT_FALSE(list.record("old5"));       // already listed: not reordered
    EXPECT_STREQ(list.entry(0), "/new.grb");
    EXPECT_STREQ(list.entry(6), "old5");
    EXPECT_TRUE(list.record("OLD5"));  // exact, case-sensitive comparison
    EXPECT_STREQ(list.entry(0), "OLD5");
}

TEST(RecentList, PathsTheFileCannotHoldAreNotRecorded) {
    RecentBankList list = prefilled();
    EXPECT_FALSE(list.record("/banks/take#2.grb"));
    EXPECT_FALSE(list.record(std::string(1024, 'x').c_str()));
    EXPECT_FALSE(list.record(nullptr));
    EXPECT_STREQ(list.entry(0), "old0");
    EXPECT_TRUE(list.record(std::string(1023, 'y').c_str()));
}

TEST(RecentList, SaveAndLoadRoundTrip) {
    test::TempDir dir;
    const std::string path = dir.file("sub/folder/grblist.txt");
    RecentBankList list;
    list.record("/x/one.grb");
    list.record("/x/two.grb");
    ASSERT_TRUE(list.save(path.c_str()));  // creates the missing folder
    const auto bytes = test::readFile(path);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), list.serialise());

    RecentBankList back = prefilled();
    ASSERT_TRUE(back.load(path.c_str()));
    EXPECT_STREQ(back.entry(0), "/x/two.grb");
    EXPECT_STREQ(back.entry(1), "/x/one.grb");
    EXPECT_STREQ(back.entry(2), "");
    EXPECT_STREQ(back.entry(19), "");
    EXPECT_EQ(dir.entries().size(), 1u);
}

TEST(RecentList, MissingFileEmptiesTheList) {
    RecentBankList list = prefilled();
    EXPECT_FALSE(list.load("/nonexistent/grblist.txt"));
    for (int i = 0; i < kNumRecentBanks; ++i) EXPECT_STREQ(list.entry(i), "");
    test::TempDir dir;
    test::writeFile(dir.file("plain"), test::Bytes{'x'});  // a file, so no folder can be made there
    EXPECT_FALSE(list.save(dir.file("plain/sub/grblist.txt").c_str()));
    EXPECT_EQ(dir.entries().size(), 1u);
}

TEST(RecentList, LongFileIsReadInBlocks) {
    test::TempDir dir;
    std::string s = std::string(9000, 'z') + "#short#";
    test::writeFile(dir.file("l.txt"), test::Bytes(s.begin(), s.end()));
    RecentBankList list;
    ASSERT_TRUE(list.load(dir.file("l.txt").c_str()));
    EXPECT_STREQ(list.entry(0), "< original filename too long >");
    EXPECT_STREQ(list.entry(1), "short");
}

TEST(RecentList, MenuTextShortensLongPaths) {
    const std::string p72(72, 'a');
    EXPECT_EQ(recentMenuText(p72.c_str()), p72);
    const std::string p73 = "b" + std::string(72, 'c');
    EXPECT_EQ(recentMenuText(p73.c_str()), "..." + std::string(72, 'c'));
    EXPECT_EQ(recentMenuText(""), "");
}

}  // namespace
}  // namespace grainwheel
