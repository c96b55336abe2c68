// Renders through the built module and through third-party plug-ins.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "tools/demo_input.h"
#include "tools/option_files.h"
#include "tools/render_command.h"

namespace gwhost {
namespace {

namespace fs = std::filesystem;

// Unsaved audio at close goes to a recovery bank: keep it out of the home folder.
const fs::path kWork = [] {
    fs::path p = fs::temp_directory_path() / ("gw-render-test-" + std::to_string(getpid()));
    fs::create_directories(p);
    setenv("XDG_DATA_HOME", (p / "xdg").c_str(), 1);
    return p;
}();

// The work folder goes when the suite ends.
struct RemoveWork : ::testing::Environment {
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(kWork, ignored);
    }
};
[[maybe_unused]] ::testing::Environment* const kRemoveWork = ::testing::AddGlobalTestEnvironment(new RemoveWork);

struct Audio {
    int rate = 0;
    std::vector<float> samples;  // stereo interleaved
    std::int64_t frames() const { return static_cast<std::int64_t>(samples.size() / 2); }
};

Audio readAudio(const fs::path& path) {
    SF_INFO info{};
    Audio a;
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (!f || info.channels != 2) return a;
    a.rate = info.samplerate;
    a.samples.resize(static_cast<std::size_t>(info.frames) * 2);
    sf_readf_float(f, a.samples.data(), info.frames);
    sf_close(f);
    return a;
}

void writeAudio(const fs::path& path, const std::vector<float>& stereo, int format) {
    SF_INFO info{};
    info.samplerate = 44100;
    info.channels = 2;
    info.format = format;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr);
    sf_writef_float(f, stereo.data(), static_cast<sf_count_t>(stereo.size() / 2));
    sf_close(f);
}

double rms(const Audio& a, std::int64_t from, std::int64_t to) {
    double s = 0.0;
    for (std::int64_t i = from * 2; i < to * 2; ++i) s += static_cast<double>(a.samples[i]) * a.samples[i];
    return to > from ? std::sqrt(s / static_cast<double>((to - from) * 2)) : 0.0;
}

bool allFinite(const Audio& a) {
    for (float v : a.samples)
        if (!std::isfinite(v)) return false;
    return true;
}

// Runs the render with `args` after the plug-in; returns 0 on success.
int run(const std::string& plugin, std::vector<std::string> args, const fs::path& out, std::string* error = nullptr) {
    std::vector<const char*> argv{plugin.c_str()};
    for (auto& a : args) argv.push_back(a.c_str());
    argv.push_back("-o");
    argv.push_back(out.c_str());
    RenderOptions o;
    std::string e;
    if (!parseRenderOptions(static_cast<int>(argv.size()), argv.data(), o, e)) {
        if (error) *error = e;
        return 2;
    }
    RenderSummary summary;
    const int r = render(o, summary, e);
    if (error) *error = e;
    return r;
}

const fs::path& demoWav() {
    static const fs::path p = [] {
        fs::path w = kWork / "loop.wav";
        writeAudio(w, makeDemoInput(44100 * 4, 44100.0, 120.0), SF_FORMAT_WAV | SF_FORMAT_FLOAT);
        return w;
    }();
    return p;
}

#if defined(GW_PLUGIN_PATH)
const std::string kPlugin = GW_PLUGIN_PATH;

TEST(RenderGrainwheel, MonitorPassesTheInputUnchangedAndStoppedTransportIsSilent) {
    const Audio in = readAudio(demoWav());
    ASSERT_EQ(in.frames(), 176400);
    ASSERT_EQ(run(kPlugin, {"--input", demoWav().string(), "--set", "monitor=1", "--block", "333"},
                  kWork / "monitor.wav"),
              0);
    const Audio mon = readAudio(kWork / "monitor.wav");
    ASSERT_EQ(mon.frames(), in.frames());
    EXPECT_EQ(mon.samples, in.samples);

    ASSERT_EQ(run(kPlugin, {"--input", demoWav().string(), "--stopped", "--set", "rec sync=1"}, kWork / "stopped.wav"),
              0);
    const Audio stopped = readAudio(kWork / "stopped.wav");
    ASSERT_EQ(stopped.frames(), in.frames());
    for (float v : stopped.samples) ASSERT_EQ(v, 0.0f);
}

TEST(RenderGrainwheel, FlacAndMonoInputsAndTheFileRate) {
    // Mono FLAC at 48000 Hz: duplicated to both channels, the render runs at the file's rate.
    const fs::path flac = kWork / "mono.flac";
    {
        SF_INFO info{};
        info.samplerate = 48000;
        info.channels = 1;
        info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
        SNDFILE* f = sf_open(flac.c_str(), SFM_WRITE, &info);
        ASSERT_NE(f, nullptr);
        std::vector<float> mono(4800);
        for (std::size_t i = 0; i < mono.size(); ++i) mono[i] = 0.5f * std::sin(0.01f * static_cast<float>(i));
        sf_writef_float(f, mono.data(), static_cast<sf_count_t>(mono.size()));
        sf_close(f);
    }
    ASSERT_EQ(run(kPlugin, {"--input", flac.string(), "--set", "monitor=1"}, kWork / "flac.wav"), 0);
    const Audio out = readAudio(kWork / "flac.wav");
    EXPECT_EQ(out.rate, 48000);
    ASSERT_EQ(out.frames(), 4800);
    SF_INFO info{};
    SNDFILE* f = sf_open(flac.c_str(), SFM_READ, &info);
    ASSERT_NE(f, nullptr);
    std::vector<float> mono(4800);
    sf_readf_float(f, mono.data(), 4800);
    sf_close(f);
    for (std::size_t i = 0; i < mono.size(); ++i) {
        ASSERT_EQ(out.samples[2 * i], mono[i]);
        ASSERT_EQ(out.samples[2 * i + 1], mono[i]);
    }
}

TEST(RenderGrainwheel, TimedChangeTakesEffectAtTheExactFrame) {
    // Monitor switched off at beat 1 (frame 22050, inside a 512-frame block): the input
    // passes up to frame 22049 and the silent empty buffer plays from frame 22050.
    ASSERT_EQ(run(kPlugin, {"--input", demoWav().string(), "--set", "monitor=1", "--set-at", "1:monitor=0",
                            "--beats", "2"},
                  kWork / "split.wav"),
              0);
    const Audio in = readAudio(demoWav());
    const Audio out = readAudio(kWork / "split.wav");
    ASSERT_EQ(out.frames(), 44100);
    for (std::size_t i = 0; i < 22050 * 2; ++i) ASSERT_EQ(out.samples[i], in.samples[i]) << "sample " << i;
    for (std::size_t i = 22050 * 2; i < out.samples.size(); ++i) ASSERT_EQ(out.samples[i], 0.0f) << "sample " << i;
    // Beats are song positions: starting at beat 2, beat 3 is frame 22050 of the render.
    ASSERT_EQ(run(kPlugin, {"--input", demoWav().string(), "--set", "monitor=1", "--start", "2", "--set-at",
                            "3:monitor=0", "--beats", "2", "--block", "4096"},
                  kWork / "split-start.wav"),
              0);
    EXPECT_EQ(readAudio(kWork / "split-start.wav").samples, out.samples);
    // The same by index, with the change by program number accepted.
    ASSERT_EQ(run(kPlugin, {"--input", demoWav().string(), "--set", "8=1", "--set-at", "1:8=0", "--beats", "2",
                            "--program", "0"},
                  kWork / "split2.wav"),
              0);
    EXPECT_EQ(readAudio(kWork / "split2.wav").samples, out.samples);
}

TEST(RenderGrainwheel, RecSyncThenPlaybackIsAudibleAndFinite) {
    ASSERT_EQ(run(kPlugin, {"--demo"}, kWork / "demo.wav"), 0);
    const Audio a = readAudio(kWork / "demo.wav");
    ASSERT_EQ(a.frames(), 28 * 22050);
    EXPECT_TRUE(allFinite(a));
    // Beats 12 to 28: only the sequencer's grains from the recorded buffer sound.
    for (int beat = 12; beat < 28; beat += 4)
        EXPECT_GT(rms(a, beat * 22050, (beat + 4) * 22050), 0.01) << "beats from " << beat;
    double peak = 0.0;
    for (float v : a.samples) peak = std::max(peak, static_cast<double>(std::fabs(v)));
    EXPECT_LT(peak, 1.0);
    // Switching rec sync off again before the bar line leaves at most the fade-out's
    // few frames in the buffer: far quieter than the recorded loop.
    ASSERT_EQ(run(kPlugin, {"--demo", "--set", "rec sync=0"}, kWork / "norec.wav"), 0);
    EXPECT_LT(rms(readAudio(kWork / "norec.wav"), 12 * 22050, 28 * 22050), 0.25 * rms(a, 12 * 22050, 28 * 22050));
}

TEST(RenderGrainwheel, SessionSurvivesSaveChunkAndRestore) {
    const fs::path wav16 = kWork / "loop16.wav";
    writeAudio(wav16, makeDemoInput(44100 * 4, 44100.0, 120.0), SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    const fs::path chunk = kWork / "session.chunk";
    std::string e;
    ASSERT_EQ(run(kPlugin, {"--load-wav", wav16.string(), "--set", "pitch03=0.75", "--set", "speed02=0.5",
                            "--beats", "16", "--save-chunk", chunk.string()},
                  kWork / "first.wav", &e),
              0)
        << e;
    EXPECT_EQ(fs::file_size(chunk), 30144u);
    const Audio first = readAudio(kWork / "first.wav");
    EXPECT_GT(rms(first, 0, first.frames()), 0.01);
    ASSERT_EQ(run(kPlugin, {"--chunk", chunk.string(), "--beats", "16"}, kWork / "second.wav", &e), 0) << e;
    EXPECT_EQ(readAudio(kWork / "second.wav").samples, first.samples);

    // The chunk refers to the WAV file: without it the buffer stays empty.
    fs::remove(wav16);
    ASSERT_EQ(run(kPlugin, {"--chunk", chunk.string(), "--beats", "16"}, kWork / "third.wav", &e), 0) << e;
    EXPECT_EQ(rms(readAudio(kWork / "third.wav"), 0, 16 * 22050), 0.0);
}

std::vector<char> fileBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(RenderGrainwheel, SessionSurvivesABank) {
    // The demo records two bars into a buffer; the bank keeps them as they are.
    const fs::path first = kWork / "first.grb";
    const fs::path second = kWork / "second.grb";
    fs::remove(first);
    fs::remove(second);
    std::string e;
    ASSERT_EQ(run(kPlugin, {"--demo", "--save-bank", first.string()}, kWork / "demo.wav", &e), 0) << e;
    ASSERT_EQ(run(kPlugin, {"--bank", first.string(), "--beats", "16", "--save-bank", second.string()},
                  kWork / "from-first.wav", &e),
              0)
        << e;
    ASSERT_EQ(run(kPlugin, {"--bank", second.string(), "--beats", "16"}, kWork / "from-second.wav", &e), 0) << e;
    const Audio a = readAudio(kWork / "from-first.wav");
    EXPECT_GT(rms(a, 0, a.frames()), 0.01);
    EXPECT_EQ(readAudio(kWork / "from-second.wav").samples, a.samples);

    // Audio and settings are bit-exact; only the saved marks may differ.
    const std::vector<char> x = fileBytes(first), y = fileBytes(second);
    ASSERT_EQ(x.size(), y.size());
    constexpr std::size_t kAudioStart = 20 + 16 * 1884;
    ASSERT_GT(x.size(), kAudioStart);
    EXPECT_TRUE(std::equal(x.begin() + kAudioStart, x.end(), y.begin() + kAudioStart));

    // An existing bank is not replaced without the user's yes (nobody can answer here).
    EXPECT_EQ(run(kPlugin, {"--save-bank", second.string()}, kWork / "x.wav", &e), 1);
    EXPECT_NE(e.find("already exists"), std::string::npos) << e;
    EXPECT_EQ(fileBytes(second), y);
}

// FIFOs, devices and folders are refused at once, and files beyond each option's size with
// the size said; --load-wav takes every WAV the plug-in reads and says in its words why not.
TEST(RenderGrainwheel, FileOptionsTakeRegularFilesOfTheirSizeOnly) {
    const fs::path fifo = kWork / "pipe", big = kWork / "big.bin", zeros = kWork / "zeros.wav";
    fs::remove(fifo);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::ofstream(zeros, std::ios::binary) << "RIFF\xFF\xFF\xFF\xFFWAVE";
    fs::resize_file(zeros, 1 << 20);
    std::ofstream{big};
    const struct {
        const char* option;
        fs::path path;
        std::uint64_t size;  // of the sparse file `big`
        const char* says;
    } refused[] = {
        {"--chunk", "/dev/zero", 0, "a device"},
        {"--chunk", fifo, 0, "a FIFO"},
        {"--chunk", big, kChunkFileLimit + 1, "larger than 256 MB"},
        {"--input", fifo, 0, "a FIFO"},
        {"--input", big, kInputFileLimit + 1, "larger than 2 GB"},
        {"--load-wav", fifo, 0, "a FIFO"},
        {"--load-wav", kWork, 0, "a folder"},
        {"--load-wav", zeros, 0, "No FMT chunk found (6)"},
        {"--bank", fifo, 0, "a FIFO"},
    };
    std::string e;
    for (const auto& r : refused) {
        fs::resize_file(big, r.size);
        EXPECT_EQ(run(kPlugin, {r.option, r.path.string()}, kWork / "x.wav", &e), 1) << r.option << " " << r.path;
        EXPECT_NE(e.find(r.says), std::string::npos) << e;
    }
    fs::remove(big);
    // 24-bit and extensible float files load, their audio plays.
    for (int format : {SF_FORMAT_WAV | SF_FORMAT_PCM_24, SF_FORMAT_WAVEX | SF_FORMAT_FLOAT}) {
        const fs::path wav = kWork / "other.wav";
        writeAudio(wav, makeDemoInput(44100 * 4, 44100.0, 120.0), format);
        ASSERT_EQ(run(kPlugin, {"--load-wav", wav.string(), "--set", "speed02=0.5", "--beats", "8"}, kWork / "x.wav", &e),
                  0)
            << e;
        const Audio a = readAudio(kWork / "x.wav");
        EXPECT_GT(rms(a, 0, a.frames()), 0.01) << format;
    }
}

TEST(RenderGrainwheel, BadSessionAndInputGiveClearErrors) {
    std::string e;
    EXPECT_EQ(run(kPlugin, {"--load-wav", (kWork / "missing.wav").string()}, kWork / "x.wav", &e), 1);
    EXPECT_NE(e.find("missing.wav"), std::string::npos);
    EXPECT_EQ(run(kPlugin, {"--bank", (kWork / "some.grb").string()}, kWork / "x.wav", &e), 1);
    EXPECT_NE(e.find("some.grb: No such file"), std::string::npos) << e;
    writeAudio(kWork / "not-a-bank.grb", std::vector<float>(20, 0.1f), SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    EXPECT_EQ(run(kPlugin, {"--bank", (kWork / "not-a-bank.grb").string()}, kWork / "x.wav", &e), 1);
    EXPECT_NE(e.find("(20)"), std::string::npos) << e;
    EXPECT_EQ(run(kPlugin, {"--set", "nosuchpar=1"}, kWork / "x.wav", &e), 1);
    EXPECT_NE(e.find("nosuchpar"), std::string::npos);
    EXPECT_EQ(run(kPlugin, {"--program", "16"}, kWork / "x.wav", &e), 1);
    EXPECT_EQ(run(kPlugin, {"--input", demoWav().string(), "--rate", "48000"}, kWork / "x.wav", &e), 1);
    EXPECT_NE(e.find("44100"), std::string::npos);
    const fs::path junk = kWork / "junk.chunk";
    writeAudio(junk, std::vector<float>(20, 0.1f), SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    EXPECT_EQ(run(kPlugin, {"--chunk", junk.string()}, kWork / "x.wav", &e), 1);
    EXPECT_EQ(run(kPlugin, {}, kWork / "no-such-dir" / "x.wav", &e), 1);
}
#endif

TEST(RenderThirdParty, RendersThroughADpfPlugin) {
    const fs::path plugin = "/usr/lib/vst/MaBitcrush-vst.so";
    if (!fs::exists(plugin)) GTEST_SKIP() << plugin << " is not installed";
    std::string e;
    ASSERT_EQ(run(plugin.string(), {"--input", demoWav().string(), "--block", "100", "--format", "pcm16"},
                  kWork / "dpf.wav", &e),
              0)
        << e;
    const Audio a = readAudio(kWork / "dpf.wav");
    EXPECT_EQ(a.frames(), 176400);
    EXPECT_TRUE(allFinite(a));
    EXPECT_GT(rms(a, 0, a.frames()), 0.01);
    // The demo on another plug-in: the loop alone, without grainwheel's settings.
    ASSERT_EQ(run(plugin.string(), {"--demo", "--beats", "4"}, kWork / "dpf-demo.wav", &e), 0) << e;
    EXPECT_GT(rms(readAudio(kWork / "dpf-demo.wav"), 0, 4 * 22050), 0.01);
    // No grainwheel bank layout there: --load-wav says so instead of guessing.
    EXPECT_EQ(run(plugin.string(), {"--load-wav", demoWav().string()}, kWork / "x.wav", &e), 1);
    EXPECT_EQ(run(plugin.string(), {"--bank", (kWork / "some.grb").string()}, kWork / "x.wav", &e), 1);
    EXPECT_NE(e.find("grainwheel's own"), std::string::npos) << e;
}

}  // namespace
}  // namespace gwhost
