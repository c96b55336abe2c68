// Program records: the Init content, program changes, names, clipboard and chunk.

#include <cstring>
#include <string>

#include "engine/engine_inspection.h"
#include "tests/support/effect_fixture.h"

using namespace grainwheel;
using enginetest::EffectTest;

namespace {

std::string programName(GrainEffect& fx) {
    char text[64] = {};
    fx.getProgramName(text);
    return text;
}

}  // namespace

TEST(ProgramRecordTest, InitContent) {
    ProgramRecord r;
    std::memset(&r, 0x5A, sizeof r);
    r.initialise();
    const float globals[10] = {0, 0, 1, 0, 0, 0, 3, 10, 1, 5};
    for (int i = 0; i < 10; ++i) EXPECT_EQ(r.globalSettings[i], globals[i]);
    EXPECT_EQ(r.bufferPath[0], 0);
    for (float v : r.reserved1) EXPECT_EQ(v, 4444.0f);
    for (float v : r.reserved2) EXPECT_EQ(v, 5555.0f);
    EXPECT_EQ(r.mainLevl, 0.5f);
    EXPECT_EQ(r.density, 1.0f);
    EXPECT_EQ(r.unitDura, 0.43089432f);
    EXPECT_EQ(r.voiceCount, 10.0f);
    EXPECT_EQ(r.currentProgram, 0);
    for (int u = 0; u < 16; ++u) {
        EXPECT_EQ(r.time[u], 0.8f);
        EXPECT_EQ(r.speed[u], 1.0f);
        EXPECT_EQ(r.pitch[u], 0.5f);
        EXPECT_EQ(r.freq[u], 1.0f);
    }
    EXPECT_EQ(r.bufferSaved, 1);
    EXPECT_EQ(r.bufferRate[0] | r.bufferRate[1] | r.bufferRate[2], 0);
    EXPECT_STREQ(r.name, "Init");
}

TEST_F(EffectTest, ConstructionAppliesProgramZero) {
    EXPECT_EQ(fx->getProgram(), 0);
    EXPECT_EQ(fx->engine().getCurrentBuffer(), 0);
    EXPECT_EQ(EngineInspection::sequencer(fx->engine()).halted, 0);
    EXPECT_FLOAT_EQ(fx->getParameter(1), 0.5f);
    EXPECT_FLOAT_EQ(fx->getParameter(3), 0.43089432f);
    EXPECT_FLOAT_EQ(EngineInspection::sequencer(fx->engine()).unitLengthBeats, 0.25f);
    EXPECT_FLOAT_EQ(fx->getParameter(274), 3.0f);
    EXPECT_FLOAT_EQ(fx->getParameter(275), 10.0f);
    EXPECT_FLOAT_EQ(fx->getParameter(273), 1.0f);
    EXPECT_FLOAT_EQ(fx->getParameter(276), 5.0f);
    EXPECT_FLOAT_EQ(fx->getParameter(269), 1.0f);
    EXPECT_DOUBLE_EQ(EngineInspection::recorder(fx->engine()).syncUnitBeats(), 4.0);
    EXPECT_EQ(EngineInspection::sequencer(fx->engine()).voiceCount, 6);  // the record's 10 is not applied
    EXPECT_EQ(EngineInspection::morph(fx->engine()).pendingBuffer, -1);
    EXPECT_EQ(EngineInspection::morph(fx->engine()).morphStep, 1);
    EXPECT_EQ(EngineInspection::sequencer(fx->engine()).headRun, 1);
    EXPECT_EQ(EngineInspection::sequencer(fx->engine()).grainInterval, 1408);
    EXPECT_EQ(EngineInspection::sequencer(fx->engine()).grainLength, 2816);
    EXPECT_EQ(EngineInspection::scopeCapture(fx->engine()).capturedVoice, -1);
    for (int k = 0; k < 16; ++k) EXPECT_EQ(fx->engine().buffers().buffer(k).saved, 1);
    ERect* rect = nullptr;
    ASSERT_EQ(fx->getEditor()->getRect(&rect), 1);
    EXPECT_EQ(rect->bottom, 414);
    EXPECT_EQ(rect->right, 930);
}

TEST_F(EffectTest, ProgramNames) {
    for (int p = 0; p < 16; ++p) {
        fx->setProgram(p);
        EXPECT_EQ(programName(*fx), "Init " + std::to_string(p + 1));
        char text[32] = {};
        EXPECT_TRUE(fx->getProgramNameIndexed(0, p, text));
        EXPECT_STREQ(text, "Init");
    }
    char text[32] = "untouched";
    EXPECT_FALSE(fx->getProgramNameIndexed(0, 16, text));
    EXPECT_FALSE(fx->getProgramNameIndexed(0, -1, text));
    EXPECT_STREQ(text, "untouched");

    fx->setProgram(3);
    fx->setProgramName("bells");
    EXPECT_EQ(programName(*fx), "bells");
    fx->setProgramName("Init");
    EXPECT_EQ(programName(*fx), "Init 4");
    fx->setProgramName("a name that is far longer than the record");
    EXPECT_EQ(programName(*fx).size(), 23u);
}

TEST_F(EffectTest, HostProgramChangesOutsideTheRangeAreIgnored) {
    fx->dispatcher(effSetProgram, 0, 5, nullptr, 0.0f);
    EXPECT_EQ(fx->getProgram(), 5);
    fx->dispatcher(effSetProgram, 0, 16, nullptr, 0.0f);
    fx->dispatcher(effSetProgram, 0, -1, nullptr, 0.0f);
    fx->setProgram(99);
    EXPECT_EQ(fx->getProgram(), 5);
}

TEST_F(EffectTest, SharedValuesSurviveProgramChanges) {
    fx->setProgram(3);
    fx->setParameter(31, 0.6f);  // bufpos05
    fx->setParameter(7, 1.0f);   // grid
    fx->setParameter(268, 2.0f);
    fx->setProgram(9);
    EXPECT_FLOAT_EQ(fx->getParameter(31), 0.6f);
    EXPECT_FLOAT_EQ(fx->engine().programs().records()[4].bufferStart, 0.6f);
    EXPECT_FLOAT_EQ(fx->getParameter(7), 1.0f);
    EXPECT_FLOAT_EQ(fx->getParameter(268), 2.0f);
    fx->setParameter(12, 4.0f / 15.0f);  // the program parameter's switch
    EXPECT_EQ(fx->getProgram(), 4);
    EXPECT_FLOAT_EQ(fx->getParameter(31), 0.6f);
    EXPECT_FLOAT_EQ(fx->getParameter(7), 1.0f);
    EXPECT_EQ(fx->engine().programs().records()[0].currentProgram, 4);
}

TEST_F(EffectTest, ProgramsCarryTheirOwnValues) {
    fx->setProgram(2);
    fx->setParameter(1, 0.9f);
    fx->setParameter(60, 0.3f);
    fx->setProgram(0);
    EXPECT_FLOAT_EQ(fx->getParameter(1), 0.5f);
    EXPECT_FLOAT_EQ(fx->getParameter(60), 1.0f);
    fx->setProgram(2);
    EXPECT_FLOAT_EQ(fx->getParameter(1), 0.9f);
    EXPECT_FLOAT_EQ(fx->getParameter(60), 0.3f);
}

TEST_F(EffectTest, TimeModeTwoDensityFollowsUnitSixteenOnProgramChange) {
    fx->setParameter(267, 2.0f);
    fx->setProgram(1);
    fx->setParameter(58, 0.3f);
    fx->setProgram(0);
    EXPECT_FLOAT_EQ(fx->getParameter(2), 0.2f);  // 1 - 0.8
    fx->setProgram(1);
    EXPECT_FLOAT_EQ(fx->getParameter(2), 0.7f);
}

TEST_F(EffectTest, ClipboardCopiesUnitsAndLevelsOnly) {
    fx->setProgram(2);
    fx->setParameter(1, 0.9f);
    fx->setParameter(6, 1.0f);
    fx->setParameter(44, 0.15f);
    fx->setParameter(100, 0.25f);
    fx->setParameter(265, 4.0f);
    fx->setProgramName("source");
    ProgramRecord& source = fx->engine().programs().records()[2];
    source.recFree = 1.0f;
    source.density = 0.31f;
    source.unitDura = 0.43f;
    source.envSust = 0.62f;
    source.reso = 0.77f;
    source.recSync = 1.0f;
    for (int u = 0; u < 16; ++u) {
        source.time[u] = 0.01f * static_cast<float>(u + 1);
        source.speed[u] = 0.02f * static_cast<float>(u + 1);
        source.pitch[u] = 0.03f * static_cast<float>(u + 1);
        source.freq[u] = 0.04f * static_cast<float>(u + 1);
    }
    const ProgramRecord copied = source;
    fx->setParameter(15, 1.0f);
    fx->setParameter(15, 0.0f);  // copy prg
    EXPECT_FLOAT_EQ(fx->engine().programs().clipboard().mainLevl, 0.9f);
    EXPECT_FLOAT_EQ(fx->engine().programs().clipboard().voiceCount, 4.0f);

    fx->setProgram(5);
    fx->setProgramName("target");
    fx->engine().programs().records()[5].bufferNumber = 7.0f;
    fx->setParameter(16, 1.0f);
    fx->setParameter(16, 0.0f);  // paste prg
    const ProgramRecord& r = fx->engine().programs().records()[5];
    // All twelve fields the clipboard carries.
    EXPECT_EQ(std::memcmp(r.time, copied.time, sizeof r.time), 0);
    EXPECT_EQ(std::memcmp(r.speed, copied.speed, sizeof r.speed), 0);
    EXPECT_EQ(std::memcmp(r.pitch, copied.pitch, sizeof r.pitch), 0);
    EXPECT_EQ(std::memcmp(r.freq, copied.freq, sizeof r.freq), 0);
    EXPECT_FLOAT_EQ(r.trigmode, 1.0f);
    EXPECT_FLOAT_EQ(r.recSync, 1.0f);
    EXPECT_FLOAT_EQ(r.voiceCount, 4.0f);
    EXPECT_FLOAT_EQ(r.mainLevl, 0.9f);
    EXPECT_FLOAT_EQ(r.density, 0.31f);
    EXPECT_FLOAT_EQ(r.unitDura, 0.43f);
    EXPECT_FLOAT_EQ(r.envSust, 0.62f);
    EXPECT_FLOAT_EQ(r.reso, 0.77f);
    EXPECT_FLOAT_EQ(fx->getParameter(5), 0.77f);  // live after the paste
    EXPECT_FLOAT_EQ(fx->getParameter(4), 0.62f);
    EXPECT_STREQ(r.name, "target");
    EXPECT_FLOAT_EQ(r.recFree, 0.0f);
    EXPECT_FLOAT_EQ(r.bufferNumber, 7.0f);
    EXPECT_FLOAT_EQ(fx->getParameter(1), 0.9f);  // applied through setProgram
    EXPECT_EQ(fx->engine().getCurrentBuffer(), 7);
}

TEST_F(EffectTest, ChunkSizesAndPointers) {
    void* data = nullptr;
    EXPECT_EQ(fx->getChunk(&data, false), 30144);
    EXPECT_EQ(data, fx->engine().programs().records());
    fx->setProgram(6);
    EXPECT_EQ(fx->getChunk(&data, true), 1884);
    EXPECT_EQ(data, &fx->engine().programs().records()[6]);
    EXPECT_EQ(fx->dispatcher(effGetChunk, 1, 0, &data, 0.0f), 1884);
    EXPECT_EQ(&fx->engine().programs().record(6), &fx->engine().programs().records()[6]);
}
