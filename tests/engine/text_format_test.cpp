// Bounded number texts and the range-checked conversions.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "engine/conversions.h"
#include "engine/text_format.h"

using namespace grainwheel;

namespace {
std::string oneDecimal(float v, bool sign) {
    char text[32];
    formatOneDecimal(text, v, sign);
    return text;
}
}  // namespace

TEST(TextFormatTest, OneDecimal) {
    EXPECT_EQ(oneDecimal(2.0f, false), "2.0 ");
    EXPECT_EQ(oneDecimal(16.0f, false), "16.0 ");
    EXPECT_EQ(oneDecimal(0.7f, false), "0.7 ");
    EXPECT_EQ(oneDecimal(1.5f, true), "+1.5 ");
    EXPECT_EQ(oneDecimal(-1.0f, true), "-1.0 ");
    EXPECT_EQ(oneDecimal(0.0f, true), "+0.0 ");
    EXPECT_EQ(oneDecimal(1e30f, false), "Huge!");
    EXPECT_EQ(oneDecimal(-std::numeric_limits<float>::infinity(), true), "-inf ");
    EXPECT_EQ(oneDecimal(std::nanf(""), true), "nan ");
}

TEST(TextFormatTest, Integers) {
    char text[32];
    formatPercent(text, 42);
    EXPECT_STREQ(text, " 42 %");
    formatPercent(text, INT_MIN);
    EXPECT_STREQ(text, " -2147483648 %");
    formatDecibels(text, -6);
    EXPECT_STREQ(text, "-6 dB");
    formatDecibels(text, 0);
    EXPECT_STREQ(text, "+0 dB");
    formatSigned7(text, 200);
    EXPECT_STREQ(text, "   +200");
    formatSigned7(text, -100);
    EXPECT_STREQ(text, "   -100");
    formatSigned7(text, INT_MAX);
    EXPECT_STREQ(text, "+2147483647");
}

TEST(ConversionsTest, TruncationIsRangeChecked) {
    int k = -5;
    EXPECT_FALSE(truncInRange(std::nan(""), 0, 8, k));
    EXPECT_FALSE(truncInRange(1e300, 0, 8, k));
    EXPECT_FALSE(truncInRange(-std::numeric_limits<double>::infinity(), 0, 8, k));
    EXPECT_FALSE(truncInRange(9.0, 0, 8, k));
    EXPECT_FALSE(truncInRange(-1.0, 0, 8, k));
    EXPECT_EQ(k, -5);
    EXPECT_TRUE(truncInRange(-0.9, 0, 8, k));  // toward zero
    EXPECT_EQ(k, 0);
    EXPECT_TRUE(truncInRange(8.99, 0, 8, k));
    EXPECT_EQ(k, 8);
    EXPECT_EQ(truncSaturated(1e20), INT_MAX);
    EXPECT_EQ(truncSaturated(-1e20), INT_MIN);
    EXPECT_EQ(truncSaturated(std::nan("")), 0);
    EXPECT_EQ(truncClamped(1e9, 0, 882000), 882000);
}

TEST(ConversionsTest, FixedTimeTable) {
    const float expected[11] = {1.0f / 32, 1.0f / 24, 1.0f / 16, 1.0f / 12, 1.0f / 8, 1.0f / 6,
                                1.0f / 4,  1.0f / 3,  1.0f / 2,  2.0f / 3,  1.0f};
    for (int k = 0; k <= 10; ++k) {
        float d = 0;
        ASSERT_TRUE(convertTime(0, (static_cast<float>(k) + 0.5f) / 10.0f > 1.0f ? 1.0f : (k + 0.5f) / 10.0f, d));
        EXPECT_FLOAT_EQ(d, expected[k]) << k;
    }
    float d = 123.0f;
    EXPECT_FALSE(convertTime(0, 1.1f, d));
    EXPECT_FALSE(convertTime(5, 0.5f, d));
    EXPECT_EQ(d, 123.0f);
}
