// The parameter table against the engine that reads it: every index described once with
// a valid name and symbol, the kinds and steps as the display texts and values behave,
// the "Init" values as a fresh engine reports them.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "engine/grain_engine.h"
#include "engine/parameter_table.h"

namespace {

using namespace grainwheel;

// A name or symbol up to its terminator.
std::string textOf(const char (&t)[9]) { return std::string(t, std::find(t, t + 9, '\0')); }

std::string display(GrainEngine& e, int i) {
    char text[64] = {};
    e.parameters().display(i, text);
    return text;
}

TEST(ParameterTable, EveryIndexOnceWithAValidNameAndSymbol) {
    std::set<std::string> names, symbols;
    for (int i = 0; i < kNumHostParameters; ++i) {
        const ParameterInfo& p = parameterInfo(i);
        EXPECT_EQ(p.index, i);
        const std::string name = textOf(p.name), symbol = textOf(p.symbol);
        EXPECT_TRUE(!name.empty() && name.size() < 9) << i;  // the host's 8 characters
        EXPECT_EQ(symbol.size(), name.size()) << name;
        EXPECT_TRUE(symbol.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789_") == std::string::npos &&
                    !(symbol[0] >= '0' && symbol[0] <= '9'))
            << symbol << ": not an LV2 symbol";
        EXPECT_TRUE(names.insert(name).second) << name << " twice";
        EXPECT_TRUE(symbols.insert(symbol).second) << symbol << " twice";
        // The members of a group are 0.. in a row.
        EXPECT_EQ(parameterInfo(i - p.member).group, p.group) << name;
    }
    EXPECT_STREQ(parameterInfo(kFreq + 15).name, "freq16");
    EXPECT_STREQ(parameterInfo(kEnvSust).symbol, "env_sust");
    EXPECT_STREQ(parameterInfo(kPitchPreset + 1).symbol, "pitch_75");
    for (int s = 0; s < kNumGlobalSettings; ++s) EXPECT_EQ(settingSlot(kSettingOfSlot[s]), s);
    EXPECT_EQ(settingSlot(kLastHostParameter), -1);
}

TEST(ParameterTable, InitValuesAreWhatAFreshEngineReports) {
    GrainEngine e;
    for (const ParameterInfo& p : kParameters) {
        EXPECT_EQ(e.getParameter(p.index), p.init) << p.name;
        EXPECT_TRUE(p.init >= 0.0f && p.init <= 1.0f && p.reset >= 0.0f && p.reset <= 1.0f) << p.name;
    }
}

// A choice's steps each show their own text, and the value taken from a text gives it
// back; a switch shows off and on; a command shows nothing and keeps no value; a
// continuous parameter keeps a value between steps.
TEST(ParameterTable, KindsAndStepsAreHowTheEngineBehaves) {
    GrainEngine e;
    e.setParameter(kSettingMorphAlgorithm, 0.0f);  // a buffer is selected at once
    for (const ParameterInfo& p : kParameters) {
        const int i = p.index;
        switch (p.kind) {
        case ParameterKind::Choice: {
            ASSERT_GT(p.steps, 0) << p.name;
            std::vector<std::string> texts;
            for (int k = 0; k <= p.steps; ++k) {
                e.setParameter(i, static_cast<float>(k) / static_cast<float>(p.steps));
                texts.push_back(display(e, i));
                EXPECT_FALSE(texts.back().empty()) << p.name << " step " << k;
                for (int j = 0; j < k; ++j) EXPECT_NE(texts[j], texts.back()) << p.name << " step " << k;
            }
            for (int k = p.steps; k >= 0; --k) {  // text -> value -> the same text
                e.setParameter(i, static_cast<float>(k) / static_cast<float>(p.steps));
                EXPECT_EQ(display(e, i), texts[static_cast<std::size_t>(k)]) << p.name;
            }
            break;
        }
        case ParameterKind::Switch:
            EXPECT_EQ(p.steps, 0);
            e.setParameter(i, 1.0f);
            EXPECT_EQ(display(e, i), "on") << p.name;
            e.setParameter(i, 0.0f);
            EXPECT_EQ(display(e, i), "off") << p.name;
            break;
        case ParameterKind::Command:
            EXPECT_EQ(p.steps, 0);
            EXPECT_EQ(display(e, i), "") << p.name;
            e.setParameter(i, 1.0f);
            e.setParameter(i, 0.0f);
            EXPECT_EQ(e.getParameter(i), 0.0f) << p.name;
            break;
        case ParameterKind::Continuous:
            EXPECT_EQ(p.steps, 0);
            e.setParameter(i, 0.37f);
            EXPECT_EQ(e.getParameter(i), 0.37f) << p.name;
            EXPECT_FALSE(display(e, i).empty()) << p.name;
            break;
        }
    }
}

TEST(ParameterTable, SixteenStepsRoundTrip) {
    for (int k = 0; k <= kSixteenSteps; ++k) {
        EXPECT_EQ(stepValue(k), static_cast<float>(k) / 15.0f);
        EXPECT_EQ(static_cast<int>(valueToStep(stepValue(k)) + 0.5f), k);
    }
}

}  // namespace

// The texts a panel without the engine shows (parameterText) are the engine's own, for
// every parameter at values across its range, in every fader range of the settings.
TEST(ParameterTable, TextsFromTheValueAloneAreTheEngines) {
    GrainEngine engine;
    const float settingsTried[][3] = {{0, 0, 0}, {1, 1, 1}, {2, 2, 2}, {3, 4, 0}};
    for (const auto& ranges : settingsTried) {
        engine.setParameter(kSettingTimeFaderValues, ranges[0]);
        engine.setParameter(kSettingSpeedFaderRange, ranges[1]);
        engine.setParameter(kSettingPitchFaderRange, ranges[2]);
        engine.setParameter(kSettingFreqCutoff, ranges[2]);
        float settings[kNumGlobalSettings];
        for (int s = 0; s < kNumGlobalSettings; ++s) settings[s] = engine.getParameter(kSettingOfSlot[s]);
        for (int i = 0; i < kNumHostParameters; ++i) {
            // Buffer and program choices change the engine's state: their texts follow the value.
            if (i == kProgram || i == kTrigmode || isCommand(i)) continue;
            for (const float v : {0.0f, 0.2f, 0.5f, 0.75f, 1.0f}) {
                // The linked time modes set the density from a unit's time: both stay as set here.
                if (ranges[0] >= 2 && (i == kDensity || (i >= kTime && i < kSpeed))) continue;
                engine.setParameter(i, v);
                char own[64] = {};
                parameterText(i, engine.getParameter(i), settings, own);
                EXPECT_EQ(std::string(own), display(engine, i)) << i << " at " << v << " range " << ranges[1];
            }
        }
    }
}
