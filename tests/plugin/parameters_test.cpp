// The parameter index space: names, labels, display texts, commands and bad input.

#include <clocale>
#include <cmath>
#include <cstring>
#include <limits>
#include <locale>
#include <string>

#include "engine/engine_inspection.h"
#include "tests/support/effect_fixture.h"
#include "tests/support/notice_recorder.h"

using namespace grainwheel;
using enginetest::EffectTest;
using enginetest::scriptedHost;

namespace {

std::string nameOf(GrainEffect& fx, int index) {
    char text[32] = "untouched";
    fx.getParameterName(index, text);
    return text;
}

std::string labelOf(GrainEffect& fx, int index) {
    char text[32] = "untouched";
    fx.getParameterLabel(index, text);
    return text;
}

}  // namespace

TEST_F(EffectTest, NamesLabelsAndAutomation) {
    EXPECT_EQ(nameOf(*fx, 0), "bufferNo");
    EXPECT_EQ(nameOf(*fx, 4), "env sust");
    EXPECT_EQ(nameOf(*fx, 16), "pasteprg");
    EXPECT_EQ(nameOf(*fx, 18), "pitch.75");
    EXPECT_EQ(nameOf(*fx, 26), "speed0.0");
    EXPECT_EQ(nameOf(*fx, 27), "bufpos01");
    EXPECT_EQ(nameOf(*fx, 42), "bufpos16");
    EXPECT_EQ(nameOf(*fx, 43), "time01");
    EXPECT_EQ(nameOf(*fx, 58), "time16");
    EXPECT_EQ(nameOf(*fx, 68), "speed10");
    EXPECT_EQ(nameOf(*fx, 75), "pitch01");
    EXPECT_EQ(nameOf(*fx, 106), "freq16");
    for (int i = 0; i <= 106; ++i) EXPECT_LE(nameOf(*fx, i).size(), 8u) << i;
    EXPECT_EQ(nameOf(*fx, 107), "untouched");
    EXPECT_EQ(nameOf(*fx, -1), "untouched");

    EXPECT_EQ(labelOf(*fx, 2), "x");
    EXPECT_EQ(labelOf(*fx, 4), "sustain");
    EXPECT_EQ(labelOf(*fx, 0), "");
    EXPECT_EQ(labelOf(*fx, 106), "");
    EXPECT_EQ(labelOf(*fx, 107), "untouched");

    for (int i = -1; i <= 300; ++i) {
        const bool expected = (i >= 0 && i <= 5) || (i >= 12 && i <= 14) || (i >= 17 && i <= 106);
        EXPECT_EQ(fx->canParameterBeAutomated(i), expected) << i;
    }
    EXPECT_FALSE(fx->string2parameter(1, "0.5"));
}

TEST_F(EffectTest, DisplayTextsOfTheInitProgram) {
    EXPECT_EQ(display(0), "      1");
    EXPECT_EQ(display(1), "-6 dB");
    EXPECT_EQ(display(2), "2.0 ");
    EXPECT_EQ(display(3), "1/16");
    EXPECT_EQ(display(4), " 0 %");
    EXPECT_EQ(display(6), "off");
    EXPECT_EQ(display(12), "      0");
    EXPECT_EQ(display(11), "");
    for (int i = 13; i <= 26; ++i) EXPECT_EQ(display(i), "") << i;
    EXPECT_EQ(display(27), " 0 %");
    EXPECT_EQ(display(43), "2.0 ");     // time 0.8 -> 1/2
    EXPECT_EQ(display(59), "+1.0 ");    // speed 1.0 in range 0
    EXPECT_EQ(display(75), "+0.0 ");    // pitch 0.5 in range 1 (semitones)
    EXPECT_EQ(display(91), "  22050");  // cutoff 1.0 in range 0
    EXPECT_EQ(display(276), "1/1");
    EXPECT_EQ(display(107), std::string(63, '#'));
    EXPECT_EQ(display(275), std::string(63, '#'));
}

TEST_F(EffectTest, DisplayTextsOfEveryFormat) {
    fx->setParameter(1, 1.0f);
    EXPECT_EQ(display(1), "+6 dB");
    fx->setParameter(1, 0.0f);
    EXPECT_EQ(display(1), "-oo dB");
    fx->setParameter(2, 0.01f);
    EXPECT_EQ(display(2), "0.1 ");
    fx->setParameter(2, 0.35f);
    EXPECT_EQ(display(2), "0.7 ");

    const char* unitTexts[9] = {"bufsized", "1/64", "1/32", "1/16", "1/8", "1/4", "1/2", "1/1", "static"};
    for (int k = 0; k <= 8; ++k) {
        fx->setParameter(3, (static_cast<float>(k) + 0.5f) / 8.0f > 1.0f ? 1.0f : (k + 0.5f) / 8.0f);
        EXPECT_EQ(display(3), unitTexts[k]) << k;
    }
    fx->setParameter(5, 0.5f);
    EXPECT_EQ(display(5), " 50 %");
    fx->setParameter(31, 0.255f);
    EXPECT_EQ(display(31), " 25 %");
    fx->setParameter(8, 1.0f);  // monitor
    EXPECT_EQ(display(8), "on");

    fx->setParameter(12, 1.0f);
    EXPECT_EQ(fx->getProgram(), 15);
    EXPECT_FLOAT_EQ(fx->getParameter(12), 1.0f);
    EXPECT_EQ(display(12), "     15");

    // time, fixed values: 0.35 -> 1/12
    fx->setParameter(43, 0.35f);
    EXPECT_EQ(display(43), "12.0 ");
    fx->setParameter(267, 1.0f);  // free values
    fx->setParameter(43, 0.5f);
    EXPECT_EQ(display(43), "2.0 ");
    fx->setParameter(43, 0.0f);
    EXPECT_EQ(display(43), "32.0 ");

    // speed ranges
    fx->setParameter(268, 1.0f);
    fx->setParameter(59, 0.75f);
    EXPECT_EQ(display(59), "+1.5 ");
    fx->setParameter(268, 2.0f);
    fx->setParameter(59, 0.25f);
    EXPECT_EQ(display(59), "-1.0 ");
    fx->setParameter(268, 4.0f);
    fx->setParameter(59, 0.5f);
    EXPECT_EQ(display(59), " 50 %");
    fx->setParameter(268, 7.0f);
    EXPECT_EQ(display(59), std::string(63, '#'));

    // pitch ranges
    fx->setParameter(269, 0.0f);
    fx->setParameter(75, 0.5f);
    EXPECT_EQ(display(75), " 50 %");
    fx->setParameter(269, 1.0f);
    fx->setParameter(75, 1.0f);
    EXPECT_EQ(display(75), "+12.0 ");
    fx->setParameter(75, 0.0f);
    EXPECT_EQ(display(75), "-12.0 ");
    fx->setParameter(269, 2.0f);
    fx->setParameter(75, 1.0f);
    EXPECT_EQ(display(75), "   +200");
    fx->setParameter(75, 0.25f);
    EXPECT_EQ(display(75), "   -100");
    fx->setParameter(269, 3.0f);
    EXPECT_EQ(display(75), std::string(63, '#'));

    // cutoff ranges
    fx->setParameter(271, 1.0f);
    EXPECT_EQ(display(91), "  11025");
    fx->setParameter(271, 2.0f);
    EXPECT_EQ(display(106), "   5512");

    // record Sync Unit: every entry, separators and outside values leave the text
    const std::pair<int, const char*> sync[] = {
        {2, "1 bar"}, {3, "3/1"},  {4, "2/1"},  {5, "1/1"},  {7, "1/2"},  {8, "1/4"},  {9, "1/8"},
        {10, "1/16"}, {11, "1/32"}, {12, "1/64"}, {14, "3/2"}, {15, "3/4"}, {16, "3/8"}, {17, "3/16"},
        {19, "5/2"},  {20, "5/4"}, {21, "5/8"}, {22, "5/16"}, {24, "7/2"}, {25, "7/4"}, {26, "7/8"},
        {27, "7/16"}, {28, "1 bar (default)"}};
    for (const auto& [value, text] : sync) {
        fx->setParameter(276, static_cast<float>(value));
        EXPECT_EQ(display(276), text) << value;
    }
    for (float v : {0.0f, 1.0f, 6.0f, 13.0f, 18.0f, 23.0f, 29.0f, -1.0f, 1e30f}) {
        fx->setParameter(276, v);
        EXPECT_EQ(display(276), std::string(63, '#')) << v;
    }
}

TEST_F(EffectTest, SteppedParametersOutsideTheirRangeSelectNothing) {
    fx->setParameter(3, 1.5f);
    EXPECT_FLOAT_EQ(fx->getParameter(3), 1.5f);  // stored unchanged
    EXPECT_EQ(display(3), std::string(63, '#'));
    EXPECT_FLOAT_EQ(EngineInspection::sequencer(fx->engine()).unitLengthBeats, 0.25f);  // still 1/16

    fx->setParameter(43, 1.2f);  // time index 12 in fixed mode: no entry
    EXPECT_FLOAT_EQ(fx->getParameter(43), 1.2f);
    EXPECT_FLOAT_EQ(fx->engine().parameters().unitTime[0], 0.5f);
    EXPECT_EQ(display(43), "2.0 ");

    fx->setParameter(12, 2.0f);  // program 30: ignored
    EXPECT_EQ(fx->getProgram(), 0);
    fx->setParameter(12, -1.0f);
    EXPECT_EQ(fx->getProgram(), 0);
}

namespace {

// A 16-byte display buffer, as the host hands it over, followed by guard bytes.
struct GuardedText {
    static constexpr std::size_t kSize = 16;
    char text[kSize + 16];

    GuardedText() { std::memset(text, 0x5A, sizeof text); text[0] = 0; }
    // The text ends inside the 16 bytes and no byte after them was written.
    ::testing::AssertionResult intact() const {
        if (std::memchr(text, 0, kSize) == nullptr) return ::testing::AssertionFailure() << "no terminator";
        for (std::size_t i = kSize; i < sizeof text; ++i)
            if (text[i] != 0x5A) return ::testing::AssertionFailure() << "byte " << i << " written";
        return ::testing::AssertionSuccess();
    }
};

}  // namespace

TEST_F(EffectTest, BadHostValuesNeverOverflowATextOrCrash) {
    const float inf = std::numeric_limits<float>::infinity();
    const float values[] = {std::nanf(""), inf,    -inf,   1e30f,  -1e30f, 3.0e9f, -3.0e9f, 1e12f,
                            -1e12f,        1e19f,  -1e19f, 2.0f,   -1.0f,  1e-30f, 5e-39f};
    for (float v : values) {
        for (int index = 0; index <= 106; ++index) {
            if (index == 11 || index == 9 || index == 10) continue;  // buffers: covered elsewhere
            fx->setParameter(index, v);
            for (int shown = 0; shown <= 106; ++shown) {
                GuardedText t;
                fx->getParameterDisplay(shown, t.text);
                ASSERT_TRUE(t.intact()) << index << " " << v << " " << shown << " \"" << t.text << '"';
            }
        }
        for (int setting = 267; setting <= 276; ++setting) fx->setParameter(setting, v);
        fx->setParameter(265, v);
        EXPECT_GE(EngineInspection::sequencer(fx->engine()).voiceCount, 1);
        EXPECT_LE(EngineInspection::sequencer(fx->engine()).voiceCount, 6);
        fx->setParameter(257, v);
        EXPECT_GE(fx->engine().getCurrentBuffer(), 0);
        EXPECT_LE(fx->engine().getCurrentBuffer(), 15);
        EXPECT_GE(fx->getProgram(), 0);
        EXPECT_LE(fx->getProgram(), 15);
    }
}

// Values set on the effect itself are stored as they come (a chunk's are brought into
// range, the entry point takes a host's into 0..1): density, speed and pitch far outside
// 0..1 reach the number texts, which still end inside the host's 16 bytes.
TEST_F(EffectTest, ValuesOutsideTheRangeKeepDisplaysInsideTheHostBuffer) {
    fx->setParameter(kSettingPitchFaderRange, 1.0f);  // semitones: one decimal
    fx->setParameter(kDensity, 1e13f);  // factor 2e13: "20000000000000.0 " would be 17 characters
    for (int u = 0; u < kNumUnits; ++u) {
        fx->setParameter(kSpeed + u, -4e12f);
        fx->setParameter(kPitch + u, 3e13f);
    }
    for (int index : {int{kDensity}, int{kSpeed}, kSpeed + 15, int{kPitch}, kPitch + 15}) {
        GuardedText t;
        fx->getParameterDisplay(index, t.text);
        EXPECT_TRUE(t.intact()) << index << " \"" << t.text << '"';
        EXPECT_GT(std::strlen(t.text), 0u) << index;
    }
    GuardedText density;
    fx->getParameterDisplay(kDensity, density.text);
    EXPECT_STREQ(density.text, "Huge!");
}

TEST_F(EffectTest, TextsIgnoreTheLocale) {
    struct Comma : std::numpunct<char> {
        char do_decimal_point() const override { return ','; }
    };
    const std::locale previous = std::locale::global(std::locale(std::locale::classic(), new Comma));
    const char* cLocale = std::setlocale(LC_ALL, "de_DE.UTF-8");
    EXPECT_EQ(display(2), "2.0 ");
    fx->setParameter(43, 0.35f);
    EXPECT_EQ(display(43), "12.0 ");
    std::setlocale(LC_ALL, "C");
    std::locale::global(previous);
    if (cLocale == nullptr) GTEST_LOG_(INFO) << "no comma C locale installed; C++ locale checked only";
}

TEST_F(EffectTest, FallingEdgeProgramCommands) {
    auto& automations = scriptedHost().automations;
    fx->setParameter(13, 0.0f);
    EXPECT_EQ(fx->getProgram(), 0);
    fx->setParameter(13, 0.5f);
    fx->setParameter(13, 0.0f);
    EXPECT_EQ(fx->getProgram(), 0);
    EXPECT_TRUE(automations.empty());

    fx->setParameter(13, 1.0f);
    EXPECT_EQ(fx->getProgram(), 0);  // fires on the falling edge only
    fx->setParameter(13, 0.0f);
    EXPECT_EQ(fx->getProgram(), 1);
    ASSERT_EQ(automations.size(), 1u);
    EXPECT_EQ(automations[0].index, 12);

    for (int p = 2; p <= 15; ++p) {
        fx->setParameter(13, 1.0f);
        fx->setParameter(13, 0.0f);
        EXPECT_EQ(fx->getProgram(), p);
    }
    fx->setParameter(13, 1.0f);
    fx->setParameter(13, 0.0f);
    EXPECT_EQ(fx->getProgram(), 0);  // wraps 15 -> 0

    fx->setParameter(14, 1.0f);
    fx->setParameter(14, 0.0f);
    EXPECT_EQ(fx->getProgram(), 15);  // wraps 0 -> 15
    for (int p = 14; p >= 0; --p) {
        fx->setParameter(14, 1.0f);
        fx->setParameter(14, 0.0f);
        EXPECT_EQ(fx->getProgram(), p);
    }
    EXPECT_EQ(automations.size(), 32u);
    EXPECT_FLOAT_EQ(fx->getParameter(15), 0.0f);
    fx->setParameter(15, 1.0f);
    EXPECT_FLOAT_EQ(fx->getParameter(15), 1.0f);  // the remembered value
    EXPECT_FLOAT_EQ(fx->getParameter(13), 0.0f);
}

TEST_F(EffectTest, PresetsSetAllUnitsWithoutTellingTheHost) {
    fx->setParameter(26, 1.0f);  // speed0.0
    for (int u = 0; u < 16; ++u) EXPECT_FLOAT_EQ(fx->getParameter(59 + u), 0.0f);
    fx->setParameter(22, 0.0f);  // level 0: nothing
    for (int u = 0; u < 16; ++u) EXPECT_FLOAT_EQ(fx->getParameter(59 + u), 0.0f);
    fx->setParameter(20, 0.3f);  // pitch.25, any nonzero value
    for (int u = 0; u < 16; ++u) EXPECT_FLOAT_EQ(fx->getParameter(75 + u), 0.25f);
    EXPECT_FLOAT_EQ(fx->engine().programs().records()[0].pitch[7], 0.25f);
    EXPECT_TRUE(scriptedHost().automations.empty());
    EXPECT_FLOAT_EQ(fx->getParameter(20), 0.0f);
}

TEST_F(EffectTest, TimeModeTwoLinksDensity) {
    fx->setParameter(267, 2.0f);
    fx->setParameter(45, 0.35f);
    EXPECT_FLOAT_EQ(fx->engine().parameters().unitTime[2], 1.0f / 12.0f);
    EXPECT_FLOAT_EQ(fx->getParameter(2), 0.7f);
    EXPECT_FLOAT_EQ(fx->engine().programs().records()[0].density, 0.7f);
    fx->setParameter(267, 3.0f);
    fx->setParameter(45, 0.25f);
    EXPECT_FLOAT_EQ(fx->getParameter(2), 0.75f);
}

TEST_F(EffectTest, ConvertedValuesFollowTheModes) {
    fx->setParameter(1, 0.5f);
    EXPECT_FLOAT_EQ(fx->getParameter(108), 0.5f);  // 2 * 0.5^2
    fx->setParameter(269, 1.0f);
    fx->setParameter(80, 0.75f);
    EXPECT_NEAR(fx->getParameter(146 + 5), std::pow(2.0, 0.5), 1e-6);
    fx->setParameter(269, 2.0f);  // re-applies every pitch with the new range
    EXPECT_NEAR(fx->getParameter(146 + 5), std::pow(2.0, 0.5 / 6.0), 1e-6);
    fx->setParameter(269, 0.0f);
    EXPECT_FLOAT_EQ(fx->getParameter(146 + 5), 1.5f);
    fx->setParameter(5, 0.25f);
    EXPECT_NEAR(EngineInspection::voiceBank(fx->engine()).resonantFilter.q.load(), 0.983 * 0.5, 1e-5);
    fx->setParameter(5, -4.0f);
    EXPECT_FLOAT_EQ(EngineInspection::voiceBank(fx->engine()).resonantFilter.q.load(), 0.0f);
}

TEST_F(EffectTest, EditorGetsTheQuantisedValue) {
    const auto& ed = gwtest::NoticeRecorder::replaceEditorOf(*fx);
    auto expect = [&](int index, float value) {
        EXPECT_EQ(ed.last().index, index);
        EXPECT_FLOAT_EQ(ed.last().value, value);
    };
    fx->setParameter(3, 0.43089432f);
    expect(3, 3.0f / 8.0f);
    fx->setParameter(12, 0.5f);
    expect(12, 7.0f / 15.0f);
    fx->setParameter(43, 0.35f);
    expect(43, 0.3f);
    fx->setParameter(267, 1.0f);
    fx->setParameter(43, 0.35f);
    expect(43, 0.35f);
    fx->setParameter(999, 0.125f);
    expect(999, 0.125f);
    fx->setParameter(252, 1.0f);
    EXPECT_EQ(ed.last().index, 252);
}

TEST_F(EffectTest, VoiceCountStaysWithinTheSlots) {
    fx->setParameter(265, 3.0f);
    EXPECT_EQ(EngineInspection::sequencer(fx->engine()).voiceCount, 3);
    EXPECT_FLOAT_EQ(fx->getParameter(265), 3.0f);
    fx->setParameter(265, 10.0f);
    EXPECT_EQ(EngineInspection::sequencer(fx->engine()).voiceCount, 6);
    EXPECT_FLOAT_EQ(fx->engine().programs().records()[0].voiceCount, 10.0f);
    fx->setParameter(265, 0.0f);
    EXPECT_EQ(EngineInspection::sequencer(fx->engine()).voiceCount, 1);
    fx->setParameter(265, std::nanf(""));
    EXPECT_EQ(EngineInspection::sequencer(fx->engine()).voiceCount, 1);
}

TEST_F(EffectTest, BufferSelectionRequests) {
    fx->setParameter(257, 16.0f);
    fx->setParameter(257, -1.0f);
    EXPECT_EQ(fx->engine().getCurrentBuffer(), 0);
    EXPECT_EQ(EngineInspection::morph(fx->engine()).pendingBuffer, -1);

    fx->setParameter(257, 3.0f);  // Morph Algorithm 3: armed, nothing selected yet
    EXPECT_EQ(fx->engine().getCurrentBuffer(), 0);
    EXPECT_EQ(EngineInspection::morph(fx->engine()).pendingBuffer, 3);
    EXPECT_EQ(EngineInspection::morph(fx->engine()).morphState.load(), MorphStage::Idle);
    EXPECT_EQ(EngineInspection::morph(fx->engine()).morphStep, 1);
    EXPECT_FLOAT_EQ(fx->getParameter(0), 3.0f / 15.0f);

    fx->setParameter(274, 0.0f);
    fx->setParameter(257, 15.0f);
    EXPECT_EQ(fx->engine().getCurrentBuffer(), 15);
    EXPECT_EQ(EngineInspection::previousBufferIndex(fx->engine()), 0);
    EXPECT_EQ(EngineInspection::morph(fx->engine()).pendingBuffer, -1);
    EXPECT_FLOAT_EQ(fx->getParameter(0), 1.0f);
    EXPECT_EQ(display(0), "     16");
    EXPECT_FLOAT_EQ(fx->engine().programs().records()[0].bufferNumber, 15.0f);
}

TEST_F(EffectTest, PeakIsReadAndCleared) {
    fx->suspend();
    fx->setParameter(8, 1.0f);  // monitor: halted output is the input times the gain
    float inL[4] = {0.5f, -0.8f, 0.1f, 0.0f}, inR[4] = {0.0f, 0.2f, 0.0f, 0.0f};
    float outL[4], outR[4];
    float* ins[2] = {inL, inR};
    float* outs[2] = {outL, outR};
    fx->processReplacing(ins, outs, 4);
    EXPECT_FLOAT_EQ(outL[1], -0.8f * 0.5f);
    EXPECT_FLOAT_EQ(fx->getParameter(259), 0.4f);
    EXPECT_FLOAT_EQ(fx->getParameter(259), 0.0f);
}

TEST_F(EffectTest, TrigmodeFallingReleasesTheHalt) {
    fx->setParameter(6, 1.0f);
    fx->suspend();
    EXPECT_EQ(EngineInspection::sequencer(fx->engine()).halted, 1);
    fx->setParameter(6, 0.0f);
    EXPECT_EQ(EngineInspection::sequencer(fx->engine()).halted, 0);
}
