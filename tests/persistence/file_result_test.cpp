#include "persistence/file_result.h"

#include <gtest/gtest.h>

#include <string>

namespace grainwheel {
namespace {

TEST(FileResult, EveryFixedCodeHasItsText) {
    const std::pair<int, std::string> expected[] = {
        {0, "Done nothing."},
        {1, "File already exists"},
        {2, "Could not open in write mode."},
        {3, "Buffer is empty"},
        {4, "No RIFF chunk found"},
        {5, "No WAVE chunk found"},
        {6, "No FMT chunk found"},
        {7, "No DATA chunk found"},
        {8, "No PCM Data"},
        {9, "Only 16bit atm"},
        {10, "Only 44.1k atm"},
        {11, "Only Mono/Stereo allowed."},
        {12, "No Audiodata found"},
        {20, "No valid GRB file."},
        {21, "No WAVE chunk found"},
        {22, "Version number does not fit"},
        {23, "Could not open file."},
        {24, "Filename too long"},
        {25, "File operation eror (fseek)"},
        {30, "(Some) files could not be recovered"},
        {40, " Memory allocation failed"},
        {300, "Options imported"},
    };
    ASSERT_EQ(kNumFileMessages, int(std::size(expected)));
    for (const auto& [code, text] : expected) {
        ASSERT_NE(fileResultText(code), nullptr) << code;
        EXPECT_EQ(fileResultText(code), text) << code;
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
