// The VST 3 plug-in as a host loads it from the build tree's bundle: its class, its
// parameters as the parameter table describes them (texts both ways), the program list,
// the bypass, and its state: a recorded take comes back in a fresh instance, and a
// damaged or hostile state is refused without changing anything.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include "engine/parameter_table.h"
#include "persistence/byte_source.h"
#include "plugin/common/effect_state.h"
#include "tests/support/bits_hash.h"
#include "tests/vst3/vst3_test_host.h"

namespace {

using namespace gwvst3test;
using namespace grainwheel;
using Flags = Steinberg_Vst_ParameterInfo_ParameterFlags;

constexpr double kRate = 44100.0;
constexpr int kBlock = 512;

TEST(Vst3Plugin, DescribesItsClassParametersProgramsAndBypass) {
    Plugin fx;
    ASSERT_TRUE(fx.ok());
    Steinberg_PClassInfo2 info{};
    Steinberg_IPluginFactory2* f2 = reinterpret_cast<Steinberg_IPluginFactory2*>(fx.factory);
    ASSERT_EQ(fx.factory->lpVtbl->countClasses(fx.factory), 1);
    ASSERT_EQ(f2->lpVtbl->getClassInfo2(f2, 0, &info), Steinberg_kResultOk);
    EXPECT_STREQ(info.category, "Audio Module Class");
    EXPECT_STREQ(info.name, "grainwheel");
    EXPECT_STREQ(info.subCategories, "Fx");

    ASSERT_EQ(fx.controller->lpVtbl->getParameterCount(fx.controller), kNumHostParameters + 1);
    for (const ParameterInfo& p : kParameters) {
        Steinberg_Vst_ParameterInfo v{};
        ASSERT_EQ(fx.controller->lpVtbl->getParameterInfo(fx.controller, p.index, &v), Steinberg_kResultOk);
        SCOPED_TRACE(p.name);
        EXPECT_EQ(v.id, static_cast<Steinberg_Vst_ParamID>(p.index));
        EXPECT_EQ(narrow(v.title), p.name);
        EXPECT_EQ(narrow(v.shortTitle), p.name);
        EXPECT_EQ(v.stepCount, p.kind == ParameterKind::Choice ? p.steps : p.kind == ParameterKind::Continuous ? 0 : 1);
        EXPECT_EQ(v.defaultNormalizedValue, static_cast<double>(p.init));
        // Hosts hide what cannot be automated: the switches can.
        EXPECT_EQ((v.flags & Flags::Steinberg_Vst_ParameterInfo_ParameterFlags_kCanAutomate) != 0,
                  p.automatable || p.kind == ParameterKind::Switch);
        EXPECT_EQ((v.flags & Flags::Steinberg_Vst_ParameterInfo_ParameterFlags_kIsProgramChange) != 0, p.index == kProgram);
        EXPECT_EQ(fx.controller->lpVtbl->getParamNormalized(fx.controller, v.id), static_cast<double>(p.init));
        // Every text the parameter shows reads back as a value that shows it.
        for (double value : {0.0, 0.13, 0.5, 0.77, 1.0}) {
            if (p.kind == ParameterKind::Command) break;
            const std::string shown = fx.text(v.id, value);
            Steinberg_Vst_String128 wide;
            widen(shown.c_str(), wide);
            double back = -1.0;
            ASSERT_EQ(fx.controller->lpVtbl->getParamValueByString(fx.controller, v.id, wide, &back), Steinberg_kResultOk)
                << shown;
            EXPECT_EQ(fx.text(v.id, back), shown) << value;
        }
    }
    Steinberg_Vst_ParameterInfo bypass{};
    ASSERT_EQ(fx.controller->lpVtbl->getParameterInfo(fx.controller, kNumHostParameters, &bypass), Steinberg_kResultOk);
    EXPECT_NE(bypass.flags & Flags::Steinberg_Vst_ParameterInfo_ParameterFlags_kIsBypass, 0);
    EXPECT_EQ(fx.text(kMainLevl, 0.0), "-oo dB");
    EXPECT_EQ(fx.text(kUnitDura, 0.5), "1/8");

    ASSERT_NE(fx.units, nullptr);
    Steinberg_Vst_ProgramListInfo list{};
    ASSERT_EQ(fx.units->lpVtbl->getProgramListInfo(fx.units, 0, &list), Steinberg_kResultOk);
    EXPECT_EQ(list.programCount, kNumPrograms);
    Steinberg_Vst_UnitInfo unit{};
    ASSERT_EQ(fx.units->lpVtbl->getUnitInfo(fx.units, 0, &unit), Steinberg_kResultOk);
    EXPECT_EQ(unit.programListId, list.id);
    Steinberg_Vst_String128 name{};
    EXPECT_EQ(fx.units->lpVtbl->getProgramName(fx.units, list.id, 15, name), Steinberg_kResultOk);
}

// The input passes through while bypassed; silence is flagged.
TEST(Vst3Plugin, BypassPassesTheInputThroughAndSilenceIsFlagged) {
    Plugin fx;
    ASSERT_TRUE(fx.ok() && fx.start(kRate, kBlock));
    std::vector<float> in(kBlock), out[2] = {std::vector<float>(kBlock), std::vector<float>(kBlock)};
    for (int i = 0; i < kBlock; ++i) in[i] = std::sin(i * 0.05f) * 0.5f;
    Changes changes;
    changes.add(kNumHostParameters, 0, 1.0);
    Steinberg_Vst_ProcessContext ctx = playingAt(kRate, 0.0, 120.0, 4);
    std::uint64_t silence = 9;
    ASSERT_EQ(fx.process(in.data(), in.data(), out[0].data(), out[1].data(), kBlock, &changes, &ctx, nullptr, &silence),
              Steinberg_kResultOk);
    EXPECT_EQ(std::memcmp(in.data(), out[0].data(), sizeof(float) * kBlock), 0);
    EXPECT_EQ(std::memcmp(in.data(), out[1].data(), sizeof(float) * kBlock), 0);
    EXPECT_EQ(silence, 0u);
    std::vector<float> quiet(kBlock, 0.0f);
    fx.process(quiet.data(), quiet.data(), out[0].data(), out[1].data(), kBlock, nullptr, &ctx, nullptr, &silence);
    EXPECT_EQ(silence, 3u);
}

// A fixed session (rec sync for two bars, played back through the units with changes at
// their offsets) renders the samples the Linux build renders: their fingerprint is the
// Linux build's (the parity suite ties that to the VST 2 module), on Windows too. The
// input is made without the maths library, so it is the same everywhere.
TEST(Vst3Plugin, RendersTheSameSamplesEverywhere) {
    Plugin fx;
    ASSERT_TRUE(fx.ok() && fx.start(kRate, kBlock));
    std::vector<float> in(kBlock), outL, outR;
    std::vector<float> l(kBlock), r(kBlock);
    Changes changes;
    std::uint32_t noise = 12345;
    for (int b = 0; b < 8 * 44100 / kBlock; ++b) {
        changes.clear();
        if (b == 0) changes.add(kRecSync, 0, 1.0), changes.add(kMonitor, 0, 1.0);
        if (b == 200) changes.add(kRecSync, 17, 0.0), changes.add(kMonitor, 17, 0.0);
        if (b == 300) changes.add(kDensity, 101, 0.6), changes.add(kPitch + 2, 300, 0.8);
        if (b == 500) changes.add(kUnitDura, 5, 0.5);
        for (int i = 0; i < kBlock; ++i) {
            noise = noise * 1664525u + 1013904223u;
            const int phase = (b * kBlock + i) % 200;
            in[i] = static_cast<float>(phase < 100 ? phase - 50 : 150 - phase) / 100.0f +
                    static_cast<float>(noise >> 20) / 65536.0f;
        }
        Steinberg_Vst_ProcessContext ctx = playingAt(kRate, b * kBlock / kRate * 2.0, 120.0, 4);
        ASSERT_EQ(fx.process(in.data(), in.data(), l.data(), r.data(), kBlock, &changes, &ctx), Steinberg_kResultOk);
        outL.insert(outL.end(), l.begin(), l.end());
        outR.insert(outR.end(), r.begin(), r.end());
    }
    std::printf("render fingerprint: %016llx %016llx\n", static_cast<unsigned long long>(gwtest::bitsHash(outL)),
                static_cast<unsigned long long>(gwtest::bitsHash(outR)));
    double energy = 0.0;
    for (std::size_t i = outL.size() / 2; i < outL.size(); ++i) energy += std::fabs(outL[i]);
    EXPECT_GT(energy, 100.0) << "the take plays back";
    EXPECT_EQ(gwtest::bitsHash(outL), 0x867ce8f0fe1cc72eull);
    EXPECT_EQ(gwtest::bitsHash(outR), 0x867ce8f0fe1cc72eull);
}

// Records a second of a sine into buffer 1 with rec free.
void recordTake(Plugin& fx) {
    std::vector<float> in(kBlock), out(kBlock);
    Changes changes;
    double quarters = 0.0;
    for (int b = 0; b * kBlock < 44100 + 4 * kBlock; ++b) {
        changes.clear();
        if (b == 0) changes.add(kRecFree, 0, 1.0);
        if (b * kBlock >= 44100) changes.add(kRecFree, 0, 0.0);
        for (int i = 0; i < kBlock; ++i) in[i] = 0.5f * std::sin(static_cast<float>(b * kBlock + i) * 0.0627f);
        Steinberg_Vst_ProcessContext ctx = playingAt(kRate, quarters, 120.0, 4);
        fx.process(in.data(), in.data(), out.data(), out.data(), kBlock, &changes, &ctx);
        quarters += kBlock / kRate * 2.0;
    }
}

std::vector<char> stateOf(Plugin& fx) {
    MemoryStream s;
    EXPECT_EQ(fx.component->lpVtbl->getState(fx.component, s.stream()), Steinberg_kResultOk);
    return s.bytes;
}

Steinberg_tresult setState(Plugin& fx, const std::vector<char>& bytes) {
    MemoryStream s;
    s.bytes = bytes;
    return fx.component->lpVtbl->setState(fx.component, s.stream());
}

TEST(Vst3Plugin, RecordedTakeComesBackWithTheStateAndDamagedStatesAreRefused) {
    Plugin a;
    ASSERT_TRUE(a.ok() && a.start(kRate, kBlock));
    recordTake(a);
    const std::vector<char> saved = stateOf(a);
    std::unique_ptr<StateImage> image(new StateImage);
    MemorySource source(saved.data(), saved.size());
    ASSERT_TRUE(readState(source, *image));
    int takes = 0;
    for (int k = 0; k < kNumBuffers; ++k)
        if (image->sources[k] == BufferSource::Embedded) takes += image->audio[k].length >= 44100;
    EXPECT_EQ(takes, 1) << "the take is in the state";
    EXPECT_LT(saved.size(), 1000000u) << "the silence after the take is left out";
    std::printf("state with one recorded take: %zu bytes\n", saved.size());

    Plugin b;
    ASSERT_TRUE(b.ok());
    ASSERT_EQ(setState(b, saved), Steinberg_kResultOk);
    EXPECT_TRUE(stateOf(b) == saved) << "the restored instance stores the same take";
    EXPECT_EQ(b.controller->lpVtbl->getParamNormalized(b.controller, kRecFree), 0.0);

    Plugin c;
    ASSERT_TRUE(c.ok());
    const std::vector<char> fresh = stateOf(c);
    // Cut short anywhere, a wrong tag, a source beyond the layout, an image's size beyond
    // the stream: refused, and the instance keeps its own state.
    const std::size_t firstSource = 8 + kBankChunkSize;
    for (std::size_t cut : {std::size_t{0}, std::size_t{4}, std::size_t{9}, firstSource, firstSource + 6,
                            saved.size() / 2, saved.size() - 1}) {
        EXPECT_EQ(setState(c, std::vector<char>(saved.begin(), saved.begin() + static_cast<long>(cut))),
                  Steinberg_kResultFalse)
            << cut;
    }
    std::vector<char> bad = saved;
    bad[0] = 'X';
    EXPECT_EQ(setState(c, bad), Steinberg_kResultFalse);
    bad = saved;
    bad[firstSource] = 7;
    EXPECT_EQ(setState(c, bad), Steinberg_kResultFalse);
    bad = saved;
    bad[firstSource + 11] = 0x7f;  // the image's byte count
    EXPECT_EQ(setState(c, bad), Steinberg_kResultFalse);
    bad = saved;
    bad[firstSource + 4] = 1, bad[firstSource + 5] = bad[firstSource + 6] = 0;  // a buffer shorter than its image
    EXPECT_EQ(setState(c, bad), Steinberg_kResultFalse);
    EXPECT_TRUE(stateOf(c) == fresh);
}

}  // namespace
