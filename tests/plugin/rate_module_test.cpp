// A 24-bit 48 kHz WAV file restored through the built module, as a host at 44.1 kHz
// restores a session: the chunk names the file, the buffer comes in at 44.1 kHz with its
// duration and pitch, and the bank the module then writes tells that rate. Needs the WAV
// reader of 24-bit files: skipped, with that reason, while the reader refuses them.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <stdlib.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/program_record.h"
#include "host/vst2abi.h"
#include "persistence/file_result.h"
#include "persistence/host_file_calls.h"
#include "persistence/wave_file.h"
#include "tests/support/scripted_host.h"
#include "tests/support/tone_wave.h"

namespace {

using Entry = AEffect* (*)(audioMasterCallback);
using gwtest::hostCallback;
using namespace grainwheel;

TEST(RateModule, TwentyFourBit48kFileRestoredAt44k) {
    char folder[] = "/tmp/gw-rate-module-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string home = folder;
    setenv("HOME", folder, 1);
    setenv("XDG_DATA_HOME", folder, 1);
    const std::string wave = home + "/tone24.wav";
    gwtest::writeToneWave(wave, 48000, 48000, 24);  // 24-bit, one second at 48 kHz

    gwtest::scriptedHost().reset();
    // RTLD_NODELETE, as a host keeps it: what the module's statics hold is no leak.
    void* library = dlopen(GW_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    ASSERT_NE(library, nullptr) << dlerror();
    auto entry = reinterpret_cast<Entry>(dlsym(library, "VSTPluginMain"));
    ASSERT_NE(entry, nullptr);
    AEffect* e = entry(hostCallback);
    ASSERT_NE(e, nullptr);
    const auto dispatch = [e](VstInt32 op, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                              float opt = 0.0f) { return e->dispatcher(e, op, index, value, ptr, opt); };
    dispatch(effOpen);
    dispatch(effSetSampleRate, 0, 0, nullptr, 44100.0f);
    dispatch(effSetBlockSize, 0, 256);
    dispatch(effMainsChanged, 0, 1);

    std::vector<ProgramRecord> records(kNumPrograms);
    for (ProgramRecord& r : records) r.initialise();
    std::snprintf(records[0].bufferPath, kPathSize, "%s", wave.c_str());
    EXPECT_EQ(dispatch(effSetChunk, 0, static_cast<VstIntPtr>(kBankChunkSize), records.data()), 1);

    std::string bank = home + "/out.grb";
    const VstIntPtr answer = dispatch(effVendorSpecific, kHostFileCall, kHostSaveBank, bank.data());
    EXPECT_EQ(hostFileResult(answer), kFileOk);
    dispatch(effMainsChanged, 0, 0);
    dispatch(effClose);
    dlclose(library);

    std::ifstream in(bank, std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(bytes.size(), 30164u + 8u);
    // Record 0's rate bytes: 44.1 kHz audio, stored as 0.
    EXPECT_EQ(bytes[20 + 1457] | bytes[20 + 1458] | bytes[20 + 1459], 0);
    std::int32_t frames = 0;
    std::memcpy(&frames, bytes.data() + 30164 + 4, 4);
    EXPECT_NEAR(frames, 44100, 1) << "one second at 44.1 kHz";
    ASSERT_GE(bytes.size(), 30164u + 8u + 4u * static_cast<std::size_t>(frames));
    std::vector<float> left(static_cast<std::size_t>(frames));
    std::memcpy(left.data(), bytes.data() + 30172, 4u * left.size());
    double first = -1.0, last = -1.0;
    int crossings = 0;
    for (std::size_t i = 1; i < left.size(); ++i)
        if (left[i - 1] < 0.0f && left[i] >= 0.0f) {
            const double at = static_cast<double>(i - 1) + left[i - 1] / static_cast<double>(left[i - 1] - left[i]);
            if (first < 0.0) first = at;
            last = at;
            ++crossings;
        }
    ASSERT_GT(crossings, 2);
    EXPECT_NEAR((crossings - 1) * 44100.0 / (last - first), 1000.0, 0.25) << "the tone stays at 1 kHz";
    std::filesystem::remove_all(home);
}

}  // namespace
