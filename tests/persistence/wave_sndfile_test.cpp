// The WAV writer's files as an independent reader (libsndfile) sees them, and that reader's
// writer's files as ours reads them.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <string>
#include <vector>

#include "persistence/wave_file.h"
#include "test_util.h"

namespace grainwheel {
namespace {

struct Opened {
    SNDFILE* file = nullptr;
    SF_INFO info{};
    explicit Opened(const std::string& path, int mode = SFM_READ) { file = sf_open(path.c_str(), mode, &info); }
    Opened(const std::string& path, const SF_INFO& format) : info(format) { file = sf_open(path.c_str(), SFM_WRITE, &info); }
    ~Opened() {
        if (file) sf_close(file);
    }
    Opened(const Opened&) = delete;
    Opened& operator=(const Opened&) = delete;
};

TEST(WaveSndfile, FilesWrittenAt48kHzReportTheirRateAndFrames) {
    test::TempDir dir;
    const int n = 4801;
    std::vector<float> left(n + 1), right(n + 1);
    for (int i = 0; i < n; ++i) {
        left[static_cast<std::size_t>(i)] = float((i * 37) % 2001 - 1000) / 1001.0f;
        right[static_cast<std::size_t>(i)] = float(i % 50) / 25.0f - 1.0f;
    }
    for (WaveEncoding e : {WaveEncoding::Pcm16, WaveEncoding::Float32}) {
        const bool isFloat = e == WaveEncoding::Float32;
        const std::string path = dir.file(isFloat ? "f.wav" : "p.wav");
        ASSERT_EQ(writeWaveFile(path.c_str(), {left.data(), right.data(), n}, 48000, e), kFileOk);
        Opened f(path);
        ASSERT_NE(f.file, nullptr) << sf_strerror(nullptr);
        EXPECT_EQ(f.info.samplerate, 48000);
        EXPECT_EQ(f.info.channels, 2);
        EXPECT_EQ(f.info.frames, n);
        EXPECT_EQ(f.info.format & SF_FORMAT_TYPEMASK, SF_FORMAT_WAV);
        EXPECT_EQ(f.info.format & SF_FORMAT_SUBMASK, isFloat ? SF_FORMAT_FLOAT : SF_FORMAT_PCM_16);
        std::vector<float> frames(2 * static_cast<std::size_t>(n));
        ASSERT_EQ(sf_readf_float(f.file, frames.data(), n), n);
        for (int i = 0; i < n; ++i) {
            const std::size_t k = static_cast<std::size_t>(i);
            if (isFloat) {
                ASSERT_EQ(frames[2 * k], left[k]) << i;
                ASSERT_EQ(frames[2 * k + 1], right[k]) << i;
            } else {  // its own scale (1/32768) of our 16-bit values
                ASSERT_EQ(std::lround(frames[2 * k] * 32768.0f), sampleToPcm(left[k])) << i;
                ASSERT_EQ(std::lround(frames[2 * k + 1] * 32768.0f), sampleToPcm(right[k])) << i;
            }
        }
    }
}

TEST(WaveSndfile, ItsFilesReadWithTheirRateAndValues) {
    struct Case {
        int format;
        int channels;
        int rate;
        int bits;  // integer formats: the depth; 0 for float
    };
    const Case cases[] = {
        {SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 1, 8000, 8},     {SF_FORMAT_WAVEX | SF_FORMAT_PCM_24, 3, 96000, 24},
        {SF_FORMAT_WAV | SF_FORMAT_PCM_32, 2, 44100, 32},   {SF_FORMAT_WAV | SF_FORMAT_DOUBLE, 2, 384000, 0},
        {SF_FORMAT_WAVEX | SF_FORMAT_FLOAT, 8, 48000, 0},   {SF_FORMAT_WAVEX | SF_FORMAT_PCM_16, 1, 22050, 16},
    };
    test::TempDir dir;
    const int n = 1000;
    int k = 0;
    for (const Case& c : cases) {
        const std::string path = dir.file("sf" + std::to_string(k++) + ".wav");
        std::vector<int> written(static_cast<std::size_t>(n * c.channels));
        for (std::size_t i = 0; i < written.size(); ++i)
            written[i] = static_cast<int>((i * 2654435761u) & 0xFFFFFF00u);  // any 32-bit value, low byte 0
        {
            SF_INFO info{};
            info.samplerate = c.rate;
            info.channels = c.channels;
            info.format = c.format;
            Opened out(path, info);
            ASSERT_NE(out.file, nullptr) << sf_strerror(nullptr);
            ASSERT_EQ(sf_writef_int(out.file, written.data(), n), n);
        }
        std::vector<int> ints(written.size());
        std::vector<double> doubles(written.size());
        {
            Opened in(path);
            ASSERT_NE(in.file, nullptr);
            if (c.bits)
                ASSERT_EQ(sf_readf_int(in.file, ints.data(), n), n);
            else
                ASSERT_EQ(sf_readf_double(in.file, doubles.data(), n), n);
        }
        SampleArrays ours;
        ASSERT_EQ(readWaveFile(path.c_str(), ours), kFileOk) << k;
        EXPECT_EQ(ours.rate, c.rate);
        ASSERT_EQ(ours.length, n);
        for (int i = 0; i < n; ++i)
            for (int ch = 0; ch < 2; ++ch) {
                const std::size_t at = static_cast<std::size_t>(i * c.channels + (c.channels == 1 ? 0 : ch));
                // An n-bit sample, left-justified in its 32-bit word there, over 2^(n-1) - 1 here.
                const float want = c.bits ? static_cast<float>((ints[at] >> (32 - c.bits)) / (std::ldexp(1.0, c.bits - 1) - 1))
                                          : static_cast<float>(doubles[at]);
                ASSERT_EQ(ch == 0 ? ours.left[i] : ours.right[i], want) << k << " frame " << i;
            }
    }
}

}  // namespace
}  // namespace grainwheel
