// Drives the built grainwheel.so through its exported entry points exactly as a host
// does: dlopen, VSTPluginMain/main, the dispatcher and the parameter callbacks.
#include <gtest/gtest.h>

#include <dirent.h>
#include <dlfcn.h>
#include <signal.h>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "host/vst2abi.h"

namespace {

using Entry = AEffect* (*)(audioMasterCallback);

struct Recorded {
    VstInt32 opcode;
    VstInt32 index;
    float opt;
};
std::vector<Recorded> hostCalls;
VstIntPtr versionAnswer = 2300;
VstTimeInfo timeInfo{};

VstIntPtr VSTCALLBACK hostCallback(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr, void*, float opt) {
    hostCalls.push_back({opcode, index, opt});
    switch (opcode) {
        case audioMasterVersion: return versionAnswer;
        case audioMasterGetTime:
            timeInfo.tempo = 120.0;
            timeInfo.sampleRate = 44100.0;
            timeInfo.timeSigNumerator = 4;
            timeInfo.timeSigDenominator = 4;
            timeInfo.flags = kVstTempoValid | kVstPpqPosValid | kVstBarsValid | kVstTimeSigValid | kVstTransportPlaying;
            return reinterpret_cast<VstIntPtr>(&timeInfo);
        default: return 0;
    }
}

int entriesIn(const char* folder) {
    int n = 0;
    if (DIR* d = opendir(folder)) {
        while (dirent* entry = readdir(d))
            if (entry->d_name[0] != '.') ++n;
        closedir(d);
    }
    return n;
}

int threadCount() {
    int n = 0;
    if (DIR* d = opendir("/proc/self/task")) {
        while (dirent* entry = readdir(d))
            if (entry->d_name[0] != '.') ++n;
        closedir(d);
    }
    return n;
}

class Plugin : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        library = dlopen(GW_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library, nullptr) << dlerror();
        vstMain = reinterpret_cast<Entry>(dlsym(library, "VSTPluginMain"));
        legacyMain = reinterpret_cast<Entry>(dlsym(library, "main"));
    }
    // The library stays loaded: the C++ runtime keeps per-module bookkeeping that an
    // unload leaves behind, which the leak checker would report as ours.
    void SetUp() override {
        ASSERT_NE(vstMain, nullptr);
        ASSERT_NE(legacyMain, nullptr);
        hostCalls.clear();
        versionAnswer = 2300;
        e = vstMain(hostCallback);
        ASSERT_NE(e, nullptr);
    }
    void TearDown() override {
        if (e) {
            EXPECT_EQ(e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f), 1);
        }
        e = nullptr;
    }
    VstIntPtr dispatch(VstInt32 op, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0.0f) {
        return e->dispatcher(e, op, index, value, ptr, opt);
    }
    std::string text(VstInt32 op, VstInt32 index = 0, VstIntPtr value = 0) {
        char buffer[256];
        std::memset(buffer, 0, sizeof(buffer));
        dispatch(op, index, value, buffer);
        return buffer;
    }
    VstIntPtr canDo(const char* what) {
        char buffer[64];
        std::strncpy(buffer, what, sizeof(buffer) - 1);
        buffer[sizeof(buffer) - 1] = 0;
        return dispatch(effCanDo, 0, 0, buffer);
    }
    int automationsOf(VstInt32 index) const {
        int n = 0;
        for (const auto& c : hostCalls) n += c.opcode == audioMasterAutomate && c.index == index;
        return n;
    }

    static inline void* library = nullptr;
    static inline Entry vstMain = nullptr;
    static inline Entry legacyMain = nullptr;
    AEffect* e = nullptr;
};

}  // namespace

TEST_F(Plugin, HostWithoutVst2GetsNull) {
    versionAnswer = 0;
    EXPECT_EQ(vstMain(hostCallback), nullptr);
    EXPECT_EQ(legacyMain(hostCallback), nullptr);
}

TEST_F(Plugin, BothEntriesGiveTheSameRecord) {
    AEffect* other = legacyMain(hostCallback);
    ASSERT_NE(other, nullptr);
    EXPECT_NE(other, e);
    EXPECT_EQ(other->uniqueID, e->uniqueID);
    EXPECT_EQ(other->dispatcher(other, effClose, 0, 0, nullptr, 0.0f), 1);
}

TEST_F(Plugin, RecordAsConstructed) {
    EXPECT_EQ(e->magic, 0x56737450);
    EXPECT_EQ(e->numPrograms, 16);
    EXPECT_EQ(e->numParams, 107);
    EXPECT_EQ(e->numInputs, 2);
    EXPECT_EQ(e->numOutputs, 2);
    EXPECT_EQ(e->flags, 0x39);
    EXPECT_EQ(e->uniqueID, 0x47573039);
    EXPECT_EQ(e->version, 1);
    EXPECT_EQ(e->initialDelay, 0);
    EXPECT_EQ(e->resvd1, 0);
    EXPECT_EQ(e->resvd2, 0);
    EXPECT_EQ(e->user, nullptr);
    EXPECT_FLOAT_EQ(e->ioRatio, 1.0f);
    for (char c : e->future) EXPECT_EQ(c, 0);
}

TEST_F(Plugin, FixedAnswers) {
    EXPECT_EQ(dispatch(effIdentify), 0x4E764566);
    EXPECT_EQ(dispatch(effGetVstVersion), 2300);
    EXPECT_EQ(dispatch(effKeysRequired), 1);
    EXPECT_EQ(dispatch(effGetVu), 0);
    EXPECT_EQ(text(effGetEffectName), "grainwheel");
    EXPECT_EQ(text(effGetVendorString), "orbelune audio");
    EXPECT_EQ(text(effGetProductString), "grainwheel vst");
    EXPECT_EQ(dispatch(effGetEffectName, 0, 0, std::vector<char>(64).data()), 1);
    EXPECT_EQ(dispatch(effGetVendorVersion), 1);
    EXPECT_EQ(dispatch(effGetPlugCategory), kPlugCategEffect);
    EXPECT_EQ(dispatch(effSetBypass, 0, 1), 0);
    EXPECT_EQ(dispatch(effGetTailSize), 0);
    EXPECT_EQ(dispatch(effStartProcess), 0);
    EXPECT_EQ(dispatch(effStopProcess), 0);
    VstPinProperties pin{};
    EXPECT_EQ(dispatch(effGetInputProperties, 0, 0, &pin), 0);
    EXPECT_EQ(dispatch(effGetOutputProperties, 0, 0, &pin), 0);
    EXPECT_EQ(dispatch(effString2Parameter, 1, 0, std::vector<char>(16, '1').data()), 0);
    EXPECT_EQ(dispatch(effGetNumProgramCategories), 1);
    EXPECT_EQ(dispatch(effGetCurrentMidiProgram), -1);
    EXPECT_EQ(dispatch(effSetTotalSampleToProcess, 0, 4096), 4096);
    for (VstInt32 op : {16, 17, 18, 20, 21, 77, 200}) EXPECT_EQ(dispatch(op), 0) << op;
}

TEST_F(Plugin, CanDoAnswersMatchWhatThePluginDoes) {
    // It plays stereo out of mono or stereo input; of the configurations hosts ask about,
    // every other is refused.
    for (const char* config : {"1in1out", "1in2out", "2in1out", "2in2out", "2in4out", "4in2out", "4in4out",
                               "4in8out", "8in4out", "8in8out"}) {
        const bool plays = config[3] - '0' == e->numOutputs && config[0] - '0' <= e->numInputs;
        EXPECT_EQ(canDo(config), plays ? 1 : -1) << config;
    }
    // It reads the host's time in every block.
    EXPECT_EQ(canDo("receiveVstTimeInfo"), 1);
    std::vector<float> zeros(64, 0.0f);
    float* channels[2] = {zeros.data(), zeros.data()};
    dispatch(effMainsChanged, 0, 1);
    e->processReplacing(e, channels, channels, 64);
    const auto called = [](VstInt32 opcode) {
        return std::any_of(hostCalls.begin(), hostCalls.end(), [&](const Recorded& c) { return c.opcode == opcode; });
    };
    EXPECT_TRUE(called(audioMasterGetTime));
    // No events or MIDI in or out (the host's event queue is never called), no time info
    // sent, no mix of its own, real time only.
    for (const char* what : {"sendVstEvents", "sendVstMidiEvent", "receiveVstEvents", "receiveVstMidiEvent",
                             "sendVstTimeInfo", "mixDryWet", "noRealTime"})
        EXPECT_EQ(canDo(what), -1) << what;
    EXPECT_FALSE(called(audioMasterProcessEvents));
    EXPECT_EQ(canDo("midiProgramNames"), 0);
    EXPECT_EQ(dispatch(effGetCurrentMidiProgram), -1);
    // An insert or a send; nothing offline.
    EXPECT_EQ(canDo("plugAsChannelInsert"), 1);
    EXPECT_EQ(canDo("plugAsSend"), 1);
    for (const char* what : {"offline", "multipass", "metapass", "conformsToWindowRules"}) EXPECT_EQ(canDo(what), 0) << what;
    // "bypass" yes, yet effSetBypass refuses: the host then bypasses the plug-in itself.
    EXPECT_EQ(canDo("bypass"), 1);
    EXPECT_EQ(dispatch(effSetBypass, 0, 1), 0);
    // Only the exact texts count.
    for (const char* what : {"Bypass", "bypass ", "2in2out ", "", "somethingElse"}) EXPECT_EQ(canDo(what), 0) << what;
    EXPECT_EQ(dispatch(effCanDo, 0, 0, nullptr), 0);
}

TEST_F(Plugin, ParameterNamesLabelsAndAutomation) {
    std::set<std::string> names;
    for (VstInt32 i = 0; i < 107; ++i) {
        // A host finds the parameter of stored automation by its name: each is its own and
        // fits the interface's field.
        const std::string name = text(effGetParamName, i);
        EXPECT_FALSE(name.empty()) << i;
        EXPECT_LE(name.size(), std::size_t(kVstMaxParamStrLen)) << i;
        EXPECT_TRUE(names.insert(name).second) << i << " " << name;
        EXPECT_EQ(text(effGetParamLabel, i), i == 2 ? "x" : i == 4 ? "sustain" : "") << i;
        EXPECT_LE(text(effGetParamDisplay, i).size(), 23u) << i;
        const VstIntPtr automatable = dispatch(effCanBeAutomated, i);
        EXPECT_TRUE(automatable == 0 || automatable == 1) << i;
    }
    // The first and last of each group, where a shifted index would show first.
    const std::pair<VstInt32, const char*> ends[] = {{0, "bufferNo"}, {26, "speed0.0"}, {27, "bufpos01"},
                                                     {43, "time01"},  {59, "speed01"},  {75, "pitch01"},
                                                     {91, "freq01"},  {106, "freq16"}};
    for (const auto& [index, name] : ends) EXPECT_EQ(text(effGetParamName, index), name) << index;
    // The engine's answers (plugin_parameters_test checks each) reach the host.
    EXPECT_EQ(dispatch(effCanBeAutomated, 1), 1);   // mainLevl
    EXPECT_EQ(dispatch(effCanBeAutomated, 11), 0);  // killBufr: played back, it would erase buffers
    EXPECT_EQ(dispatch(effCanBeAutomated, 107), 0);
    EXPECT_EQ(dispatch(effCanBeAutomated, -1), 0);
}

TEST_F(Plugin, DisplayTextsOfTheInitProgram) {
    EXPECT_EQ(text(effGetParamDisplay, 0), "      1");
    EXPECT_EQ(text(effGetParamDisplay, 1), "-6 dB");
    EXPECT_EQ(text(effGetParamDisplay, 2), "2.0 ");
    EXPECT_EQ(text(effGetParamDisplay, 3), "1/16");
    EXPECT_EQ(text(effGetParamDisplay, 6), "off");
    EXPECT_EQ(text(effGetParamDisplay, 12), "      0");
    EXPECT_EQ(text(effGetParamDisplay, 13), "");
    EXPECT_EQ(text(effGetParamDisplay, 75), "+0.0 ");
    EXPECT_EQ(text(effGetParamDisplay, 91), "  22050");
}

TEST_F(Plugin, DisplayTextsFollowTheValue) {
    e->setParameter(e, 1, 1.0f);
    EXPECT_EQ(text(effGetParamDisplay, 1), "+6 dB");
    e->setParameter(e, 1, 0.0f);
    EXPECT_EQ(text(effGetParamDisplay, 1), "-oo dB");
    e->setParameter(e, 12, 1.0f);
    EXPECT_FLOAT_EQ(e->getParameter(e, 12), 1.0f);
    EXPECT_EQ(text(effGetParamDisplay, 12), "     15");
    EXPECT_EQ(dispatch(effGetProgram), 15);
    // Values far outside 0..1 never overflow a text.
    for (float v : {-1e30f, 1e30f, 7.5f, -0.5f, std::nanf("")})
        for (VstInt32 i = 0; i < 107; ++i) {
            if (i == 11 || i == 12 || (i >= 13 && i <= 16)) continue;  // commands, program switch
            e->setParameter(e, i, v);
            EXPECT_LE(text(effGetParamDisplay, i).size(), 23u) << i << " " << v;
        }
}

TEST_F(Plugin, ProgramsAndTheirRange) {
    dispatch(effSetProgram, 0, 4);
    EXPECT_EQ(dispatch(effGetProgram), 4);
    dispatch(effSetProgram, 0, 16);
    EXPECT_EQ(dispatch(effGetProgram), 4);
    dispatch(effSetProgram, 0, -1);
    EXPECT_EQ(dispatch(effGetProgram), 4);
    EXPECT_EQ(text(effGetProgramName), "Init 5");  // an unnamed program shows its number
    for (VstInt32 p = 0; p < 16; ++p) {
        char name[64] = {};
        EXPECT_EQ(dispatch(effGetProgramNameIndexed, p, -1, name), 1) << p;
        EXPECT_STREQ(name, "Init");
    }
    char name[64] = "unchanged";
    dispatch(effGetProgramNameIndexed, -1, -1, name);
    EXPECT_STREQ(name, "unchanged");
}

TEST_F(Plugin, NextProgramIsAFallingEdgeAndTellsTheHost) {
    e->setParameter(e, 13, 1.0f);
    EXPECT_EQ(dispatch(effGetProgram), 0);
    e->setParameter(e, 13, 0.0f);
    EXPECT_EQ(dispatch(effGetProgram), 1);
    EXPECT_EQ(automationsOf(12), 1);
    e->setParameter(e, 14, 1.0f);
    e->setParameter(e, 14, 0.0f);
    e->setParameter(e, 14, 1.0f);
    e->setParameter(e, 14, 0.0f);
    EXPECT_EQ(dispatch(effGetProgram), 15);  // wrapped around
}

TEST_F(Plugin, ChunkAndRates) {
    void* chunk = nullptr;
    EXPECT_EQ(dispatch(effGetChunk, 0, 0, &chunk), 16 * 1884);  // the bank: all 16 records
    EXPECT_NE(chunk, nullptr);
    chunk = nullptr;
    EXPECT_EQ(dispatch(effGetChunk, 1, 0, &chunk), 1884);  // one program
    EXPECT_NE(chunk, nullptr);
    EXPECT_EQ(dispatch(effGetChunk, 0, 0, nullptr), 0);
    EXPECT_EQ(dispatch(effSetBlockSizeAndSampleRate, 0, 256, nullptr, 48000.0f), 1);
}

TEST_F(Plugin, AccumulatingProcessOverwritesItsOutput) {
    AEffect* twin = vstMain(hostCallback);
    ASSERT_NE(twin, nullptr);
    constexpr int n = 512;
    std::vector<float> inL(n), inR(n), a0(n, 5.0f), a1(n, 5.0f), b0(n, -5.0f), b1(n, -5.0f);
    for (int i = 0; i < n; ++i) {
        inL[i] = 0.3f * std::sin(0.03f * static_cast<float>(i));
        inR[i] = 0.3f * std::cos(0.05f * static_cast<float>(i));
    }
    float* ins[2] = {inL.data(), inR.data()};
    float* outsA[2] = {a0.data(), a1.data()};
    float* outsB[2] = {b0.data(), b1.data()};
    for (AEffect* x : {e, twin}) {
        x->dispatcher(x, effSetSampleRate, 0, 0, nullptr, 44100.0f);
        x->dispatcher(x, effSetBlockSize, 0, n, nullptr, 0.0f);
        x->dispatcher(x, effMainsChanged, 0, 1, nullptr, 0.0f);
    }
    for (int block = 0; block < 4; ++block) {
        std::fill(a0.begin(), a0.end(), 5.0f);
        std::fill(b0.begin(), b0.end(), -5.0f);
        e->process(e, ins, outsA, n);
        twin->processReplacing(twin, ins, outsB, n);
        for (int i = 0; i < n; ++i) {
            ASSERT_EQ(a0[static_cast<std::size_t>(i)], b0[static_cast<std::size_t>(i)]) << block << ":" << i;
            ASSERT_EQ(a1[static_cast<std::size_t>(i)], b1[static_cast<std::size_t>(i)]) << block << ":" << i;
        }
    }
    EXPECT_EQ(twin->dispatcher(twin, effClose, 0, 0, nullptr, 0.0f), 1);
}

TEST_F(Plugin, HostMayWriteResvd1) {
    e->resvd1 = static_cast<VstIntPtr>(0x7E57AB1E);
    e->resvd2 = 0;
    dispatch(effMainsChanged, 0, 1);
    for (VstInt32 i = 0; i < 107; ++i) text(effGetParamDisplay, i);
    dispatch(effMainsChanged, 0, 0);
    EXPECT_EQ(e->resvd1, static_cast<VstIntPtr>(0x7E57AB1E));
}

TEST(PluginLoading, TouchesNoProcessWideState) {
    std::string localeBefore = std::setlocale(LC_ALL, nullptr);
    struct sigaction before[4] = {}, after[4] = {};
    const int signals[4] = {SIGSEGV, SIGINT, SIGPIPE, SIGFPE};
    for (int k = 0; k < 4; ++k) sigaction(signals[k], nullptr, &before[k]);
    int threadsBefore = threadCount();
    int filesBefore = entriesIn("/proc/self/fd");  // an X connection would be a socket

    void* lib = dlopen(GW_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    auto entry = reinterpret_cast<Entry>(dlsym(lib, "VSTPluginMain"));
    ASSERT_NE(entry, nullptr);
    AEffect* effect = entry(hostCallback);
    ASSERT_NE(effect, nullptr);
    effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f);

    EXPECT_EQ(threadCount(), threadsBefore);
    EXPECT_EQ(entriesIn("/proc/self/fd"), filesBefore);
    EXPECT_EQ(std::string(std::setlocale(LC_ALL, nullptr)), localeBefore);
    for (int k = 0; k < 4; ++k) {
        sigaction(signals[k], nullptr, &after[k]);
        EXPECT_EQ(reinterpret_cast<void*>(before[k].sa_handler), reinterpret_cast<void*>(after[k].sa_handler));
    }
    EXPECT_EQ(effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f), 1);
}
