// The plug-in's state through lilv as hosts save and restore it: the records and each
// buffer's WAV file in the state folder, restored into a fresh instance; an unchanged
// buffer is not written again, a user's own file is kept by its path, a missing file is
// reported and leaves only its buffer empty; records of the wrong form are refused and
// hostile values made safe.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "engine/audio_buffer.h"
#include "engine/parameter_index.h"
#include "engine/program_record.h"
#include "persistence/wave_file.h"
#include "tests/lv2/lv2_test_host.h"

namespace {

namespace fs = std::filesystem;
using namespace gwlv2test;
using namespace grainwheel;
using grainwheel::lv2::kStateBufferUri;
using grainwheel::lv2::kStateRecordsUri;

constexpr float kStep = 1.0f / 15.0f;

LV2_URID urid(const std::string& uri) { return World::get().urids.map(uri.c_str()); }
LV2_URID bufferKey(int k) {
    char uri[80];
    std::snprintf(uri, sizeof uri, "%s%02d", kStateBufferUri, k + 1);
    return urid(uri);
}

// Selects buffer k (at once: no morph to it, as the editor's setting makes it) and records
// a second of a sine into it with rec free.
void select(Instance& fx, int k) {
    fx.port().setParameter(kSettingMorphAlgorithm, 0.0f);
    fx.control(kBufferNo) = static_cast<float>(k) * kStep;
    fx.play(512);
    ASSERT_EQ(fx.port().currentBuffer(), k);
}

void recordInto(Instance& fx, int k, float hz) {
    select(fx, k);
    fx.control(kRecFree) = 1.0f;
    fx.play(44100, 256, hz);
    fx.control(kRecFree) = 0.0f;
    fx.play(512, 256, hz);
}

std::vector<float> samples(Instance& fx, int k) {
    const BufferFrames f = framesOf(fx.engine().buffers().buffer(k));
    std::vector<float> out;
    for (int i = 0; i < f.length; ++i) out.push_back(f.left[i]), out.push_back(f.right[i]);
    return out;
}

struct FileId {
    ino_t inode = 0;
    timespec mtime{};
    bool operator==(const FileId& o) const {
        return inode == o.inode && mtime.tv_sec == o.mtime.tv_sec && mtime.tv_nsec == o.mtime.tv_nsec;
    }
};
FileId idOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return {};
    return {st.st_ino, st.st_mtim};
}

// The regular files (not links) of a folder whose names end in ".wav".
std::vector<std::string> writtenWaves(const std::string& dir) {
    std::vector<std::string> out;
    for (const auto& e : fs::directory_iterator(dir))
        if (e.is_regular_file() && !e.is_symlink() && e.path().extension() == ".wav") out.push_back(e.path().filename());
    return out;
}

std::vector<std::uint8_t> records(Instance& fx) { return fx.saveDirect()[urid(kStateRecordsUri)].value; }

// Where two record sets differ: "record:offset" for each differing byte (empty when equal).
std::string differences(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    if (a.size() != b.size()) return "sizes " + std::to_string(a.size()) + " and " + std::to_string(b.size());
    std::string out;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i]) out += std::to_string(i / sizeof(ProgramRecord)) + ":" + std::to_string(i % sizeof(ProgramRecord)) + " ";
    return out;
}

bool anyLineHas(const std::vector<std::string>& lines, const std::string& part) {
    for (const auto& l : lines)
        if (l.find(part) != std::string::npos) return true;
    return false;
}

TEST(Lv2State, RecordedBufferRoundTripsIntoAFreshInstanceAndIsWrittenOnce) {
    const std::string root = freshFolder("round_trip");
    Instance a;
    ASSERT_TRUE(a.ok());
    a.activate();
    a.control(kMainLevl) = 0.35f;
    a.control(kTime + 4) = 0.9f;
    recordInto(a, 2, 330.0f);
    const std::vector<float> recorded = samples(a, 2);
    ASSERT_GT(recorded.size(), 44100u * 2);

    const std::string first = root + "/first";
    ASSERT_TRUE(a.save(first));
    EXPECT_EQ(writtenWaves(first), std::vector<std::string>{"buffer03.wav"}) << "only the buffer with audio";
    const FileId written = idOf(first + "/buffer03.wav");
    EXPECT_TRUE(a.port().bufferSaved(2));
    EXPECT_EQ(fs::canonical(a.port().bufferPath(2)), fs::canonical(first + "/buffer03.wav"));

    Instance b;
    ASSERT_TRUE(b.ok());
    b.activate();
    b.play(256);
    ASSERT_TRUE(b.restore(first));
    b.play(256);
    EXPECT_EQ(samples(b, 2), recorded) << "the exact samples: the state's files hold 32-bit floats";
    for (int k = 0; k < kNumBuffers; ++k)
        if (k != 2) {
            EXPECT_EQ(b.port().bufferLength(k), 0) << "buffer " << k;
        }
    EXPECT_FLOAT_EQ(b.port().getParameter(kMainLevl), 0.35f);
    EXPECT_FLOAT_EQ(b.port().getParameter(kTime + 4), 0.9f);
    EXPECT_EQ(differences(records(a), records(b)), "") << "the records, path areas cleared";
    EXPECT_TRUE(b.logLines().empty()) << b.logLines().front();

    // Saved again without changes, from either instance: the file is named, not written.
    const std::string second = root + "/second", third = root + "/third";
    ASSERT_TRUE(a.save(second));
    ASSERT_TRUE(b.save(third));
    EXPECT_TRUE(writtenWaves(second).empty());
    EXPECT_TRUE(writtenWaves(third).empty());
    EXPECT_EQ(idOf(first + "/buffer03.wav"), written);
    Instance c;
    c.activate();
    ASSERT_TRUE(c.restore(third));
    EXPECT_EQ(samples(c, 2), recorded);

    // Recorded over: the next save writes the new audio.
    recordInto(a, 2, 550.0f);
    const std::string fourth = root + "/fourth";
    ASSERT_TRUE(a.save(fourth));
    EXPECT_EQ(writtenWaves(fourth), std::vector<std::string>{"buffer03.wav"});
    EXPECT_EQ(idOf(first + "/buffer03.wav"), written) << "the earlier state's file stays as it was";
}

TEST(Lv2State, UsersWaveFileIsStoredByItsPath) {
    const std::string root = freshFolder("user_wave");
    const std::string wave = root + "/mine.wav";
    std::vector<float> left(20000), right(20000);
    for (int i = 0; i < 20000; ++i) left[i] = 0.25f * std::sin(0.01f * i), right[i] = -left[i];
    ASSERT_EQ(writeWaveFile(wave.c_str(), BufferView{left.data(), right.data(), 20000}), 0);
    const FileId before = idOf(wave);

    Instance a;
    a.activate();
    select(a, 4);
    ASSERT_EQ(a.port().readWaveFile(wave.c_str()), 0);
    ASSERT_EQ(a.port().bufferLength(4), 20000);
    const std::string saved = root + "/state";
    ASSERT_TRUE(a.save(saved));
    EXPECT_TRUE(writtenWaves(saved).empty()) << "no copy of the user's file";
    EXPECT_EQ(idOf(wave), before);
    // The host's mapping of the path: a link in the state folder to the user's file.
    bool linked = false;
    for (const auto& e : fs::directory_iterator(saved))
        if (e.is_symlink() && fs::canonical(e.path()) == fs::canonical(wave)) linked = true;
    EXPECT_TRUE(linked);

    Instance b;
    b.activate();
    ASSERT_TRUE(b.restore(saved));
    EXPECT_EQ(samples(b, 4), samples(a, 4));
}

TEST(Lv2State, MissingFileLeavesOnlyItsBufferEmptyAndIsReported) {
    const std::string root = freshFolder("missing");
    Instance a;
    a.activate();
    recordInto(a, 2, 330.0f);
    recordInto(a, 5, 440.0f);
    const std::vector<float> kept = samples(a, 5);
    ASSERT_FALSE(kept.empty());
    ASSERT_GT(a.port().bufferLength(2), 0);
    const std::string saved = root + "/state";
    ASSERT_TRUE(a.save(saved));
    ASSERT_TRUE(fs::remove(saved + "/buffer03.wav"));

    Instance b;
    b.activate();
    recordInto(b, 2, 660.0f);  // audio that the restore replaces
    ASSERT_TRUE(b.restore(saved));
    const float peak = b.play(4096);
    EXPECT_TRUE(std::isfinite(peak));
    EXPECT_EQ(b.port().bufferLength(2), 0);
    EXPECT_EQ(samples(b, 5), kept);
    const auto lines = b.logLines();
    EXPECT_TRUE(anyLineHas(lines, "buffer03.wav")) << (lines.empty() ? "no log line" : lines.back());
    char message[2048];
    auto& access = *static_cast<const lv2::AccessExtension*>(
                        lilv_instance_get_extension_data(b.lilv(), lv2::kAccessUri))
                        ->access(lilv_instance_get_handle(b.lilv()));
    ASSERT_TRUE(access.takeMessage(message, sizeof message));
    EXPECT_NE(std::strstr(message, "buffer03.wav"), nullptr) << message;
}

// A state naming, in all sixteen buffers, a sparse 4 GB file of a WAV header and zeros
// restores at once: each file is refused after its first bytes and reported.
TEST(Lv2State, HugeZeroFileInEveryBufferIsRefusedAtOnce) {
    const std::string zeros = freshFolder("zeros") + "/zeros.wav";
    {
        std::FILE* f = std::fopen(zeros.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite("RIFF\xFF\xFF\xFF\xFFWAVE", 1, 12, f);
        std::fclose(f);
    }
    fs::resize_file(zeros, std::uint64_t(4) << 30);
    Instance fx;
    fx.activate();
    recordInto(fx, 3, 330.0f);
    auto props = fx.saveDirect();
    for (int k = 0; k < kNumBuffers; ++k)
        props[bufferKey(k)] = {urid(LV2_ATOM__Path), std::vector<std::uint8_t>(zeros.begin(), zeros.end() + 1)};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(fx.restoreDirect(props), LV2_STATE_SUCCESS);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    fx.play(512);
    for (int k = 0; k < kNumBuffers; ++k) EXPECT_EQ(fx.port().bufferLength(k), 0) << "buffer " << k;
    EXPECT_TRUE(anyLineHas(fx.logLines(), "zeros.wav"));
}

TEST(Lv2State, RecordsOfTheWrongSizeOrTypeAreRefusedAndChangeNothing) {
    Instance fx;
    fx.activate();
    fx.control(kMainLevl) = 0.4f;
    recordInto(fx, 2, 330.0f);
    const auto good = fx.saveDirect();
    const auto before = records(fx);
    const auto audio = samples(fx, 2);

    Instance::Properties shorter = good, longer = good, retyped = good;
    shorter[urid(kStateRecordsUri)].value.resize(kBankChunkSize - 1);
    longer[urid(kStateRecordsUri)].value.resize(kBankChunkSize + 4);
    retyped[urid(kStateRecordsUri)].type = urid(LV2_ATOM__String);
    for (const auto* bad : {&shorter, &longer, &retyped}) {
        EXPECT_NE(fx.restoreDirect(*bad), LV2_STATE_SUCCESS);
        fx.play(512);
        EXPECT_EQ(differences(records(fx), before), "");
        EXPECT_EQ(samples(fx, 2), audio);
        EXPECT_FLOAT_EQ(fx.port().getParameter(kMainLevl), 0.4f);
    }
}

TEST(Lv2State, HostileRecordValuesAreMadeSafe) {
    Instance fx;
    fx.activate();
    recordInto(fx, 0, 330.0f);
    ASSERT_TRUE(fx.save(freshFolder("hostile")));  // the buffer has its file now
    auto props = fx.saveDirect();
    auto& bytes = props[urid(kStateRecordsUri)].value;
    ASSERT_EQ(bytes.size(), kBankChunkSize);
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    for (int k = 0; k < kNumPrograms; ++k) {
        ProgramRecord r;
        std::memcpy(&r, bytes.data() + k * sizeof r, sizeof r);
        r.mainLevl = nan;
        r.density = 1e30f;
        r.reso = -inf;
        r.unitDura = 1e30f;
        r.voiceCount = nan;
        r.bufferNumber = 1e30f;
        r.bufferStart = nan;
        r.currentProgram = 1 << 30;
        for (int u = 0; u < kNumUnits; ++u) {
            r.time[u] = u % 2 ? nan : 1e30f;
            r.speed[u] = -1e30f;
            r.pitch[u] = inf;
            r.freq[u] = nan;
        }
        for (float& g : r.globalSettings) g = k % 2 ? nan : 1e30f;
        std::memcpy(bytes.data() + k * sizeof r, &r, sizeof r);
    }
    // The buffer's path as the host gives it back.
    const auto& path = props[bufferKey(0)].value;
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(fx.restoreDirect(props), LV2_STATE_SUCCESS);
    const float peak = fx.play(44100);
    EXPECT_TRUE(std::isfinite(peak));
    EXPECT_LT(peak, 4.0f);
    for (int i = 0; i <= kLastHostParameter; ++i) {
        const float v = fx.port().getParameter(i);
        EXPECT_TRUE(v >= 0.0f && v <= 1.0f) << "parameter " << i << " = " << v;
    }
    const auto after = records(fx);
    for (int k = 0; k < kNumPrograms; ++k) {
        ProgramRecord r;
        std::memcpy(&r, after.data() + k * sizeof r, sizeof r);
        EXPECT_TRUE(std::isfinite(r.mainLevl) && std::isfinite(r.density) && std::isfinite(r.reso) &&
                    std::isfinite(r.time[1]) && std::isfinite(r.globalSettings[0]))
            << "record " << k;
        EXPECT_TRUE(r.currentProgram >= 0 && r.currentProgram < kNumPrograms);
    }
}

}  // namespace
