// Number texts: the eight-character digit rule, the "%7d" integer form and the derived
// dB, Hz and ms texts. The buffers are guarded to catch writes past 9 bytes.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

#include "host/audioeffectx.h"
#include "text/number_text.h"

namespace {

struct Guarded {
    char bytes[32];
    Guarded() { std::memset(bytes, '#', sizeof(bytes)); }
    bool intact() const {
        for (std::size_t i = gw::text::kNumberTextSize; i < sizeof(bytes); ++i)
            if (bytes[i] != '#') return false;
        return true;
    }
};

std::string f2s(float v) {
    Guarded g;
    gw::text::floatToText(v, g.bytes);
    EXPECT_TRUE(g.intact()) << v;
    return g.bytes;
}

std::string l2s(std::int32_t v) {
    Guarded g;
    gw::text::longToText(v, g.bytes);
    EXPECT_TRUE(g.intact()) << v;
    return g.bytes;
}

}  // namespace

TEST(FloatText, TheDigitRule) {
    EXPECT_EQ(f2s(1.0575937f), "1.057593");
    EXPECT_EQ(f2s(0.5f), "0.500000");
    EXPECT_EQ(f2s(-2.5f), "-2.50000");
    EXPECT_EQ(f2s(0.0f), "0.000000");
    EXPECT_EQ(f2s(12.25f), "12.25000");
    EXPECT_EQ(f2s(-0.75f), "-0.75000");
    EXPECT_EQ(f2s(1234.5f), "1234.500");
}

TEST(FloatText, DigitsAreCutNotRounded) {
    EXPECT_EQ(f2s(0.9999999f), "0.999999");
    EXPECT_EQ(f2s(2.0f / 3.0f), "0.666666");
}

TEST(FloatText, BigValuesLoseTheFractionThenLeadingDigits) {
    EXPECT_EQ(f2s(1234567.0f), "1234567.");
    EXPECT_EQ(f2s(123456.0f), "123456.0");
    EXPECT_EQ(f2s(12345678.0f), "2345678.");  // eight integer digits: the leading one is lost
    EXPECT_EQ(f2s(-123456.0f), "-123456.");
    EXPECT_EQ(f2s(-1234567.0f), "-234567.");
}

TEST(FloatText, HugeAndNotANumber) {
    EXPECT_EQ(f2s(100000000.0f), "Huge!");
    EXPECT_EQ(f2s(1e30f), "Huge!");
    EXPECT_EQ(f2s(-10000000.0f), "Huge!");
    EXPECT_EQ(f2s(std::numeric_limits<float>::infinity()), "Huge!");
    EXPECT_EQ(f2s(-std::numeric_limits<float>::infinity()), "Huge!");
    EXPECT_EQ(f2s(std::numeric_limits<float>::quiet_NaN()), "Huge!");
    // Just below the limits a number is still written.
    EXPECT_EQ(f2s(-9999999.0f), "-999999.");
}

TEST(FloatText, IndependentOfTheLocale) {
    // Even under a comma locale the point stays a point (if such a locale is installed).
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    std::string saved = old ? old : "C";
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") || std::setlocale(LC_NUMERIC, "fr_FR.UTF-8")) {
        EXPECT_EQ(f2s(2.5f), "2.500000");
    }
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_EQ(f2s(2.5f), "2.500000");
}

TEST(LongText, SevenColumnsRightAligned) {
    EXPECT_EQ(l2s(0), "      0");
    EXPECT_EQ(l2s(42), "     42");
    EXPECT_EQ(l2s(-5), "     -5");
    EXPECT_EQ(l2s(1234567), "1234567");
    EXPECT_EQ(l2s(99999999), "99999999");
    EXPECT_EQ(l2s(-9999999), "-9999999");
}

TEST(LongText, HugeWhenItWouldNotFit) {
    EXPECT_EQ(l2s(100000000), "Huge!");
    EXPECT_EQ(l2s(INT32_MAX), "Huge!");
    EXPECT_EQ(l2s(-10000000), "Huge!");
    EXPECT_EQ(l2s(INT32_MIN), "Huge!");
}

TEST(DerivedText, DecibelsHertzAndMilliseconds) {
    AudioEffectX effect(nullptr, 1, 1);
    char text[16];
    effect.dB2string(1.0f, text);
    EXPECT_STREQ(text, "0.000000");
    effect.dB2string(10.0f, text);
    EXPECT_STREQ(text, "20.00000");
    effect.dB2string(0.0f, text);
    EXPECT_STREQ(text, "-oo");
    effect.dB2string(-1.0f, text);
    EXPECT_STREQ(text, "-oo");
    effect.Hz2string(441.0f, text);  // 44100 / 441
    EXPECT_STREQ(text, "100.0000");
    effect.Hz2string(0.0f, text);
    EXPECT_STREQ(text, "0.000000");
    effect.ms2string(22050.0f, text);  // half a second
    EXPECT_STREQ(text, "500.0000");
    effect.setSampleRate(0.0f);
    effect.ms2string(100.0f, text);
    EXPECT_STREQ(text, "0.000000");
    effect.float2string(0.5f, text);
    EXPECT_STREQ(text, "0.500000");
    effect.long2string(7, text);
    EXPECT_STREQ(text, "      7");
}
