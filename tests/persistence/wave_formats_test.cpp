// The WAV reader's depths, formats, channel counts and rates, its chunk walk, and the
// writer's rates and float encoding.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <utility>

#include "persistence/byte_source.h"
#include "persistence/file_system.h"
#include "persistence/wave_file.h"
#include "test_util.h"

namespace grainwheel {
namespace {

using test::Bytes;

// A format block and the samples it describes.
struct Format {
    WaveSampleType type = WaveSampleType::S16;
    int channels = 2;
    std::int64_t rate = 44100;
    bool extensible = false;
    int tag = -1;        // -1: from the type (and 0xFFFE when extensible)
    int subTag = -1;     // an extensible block's sub-format; -1: from the type
    int bits = -1;       // -1: the type's container
    int validBits = -1;  // -1: the container's
    bool standardGuid = true;
};

bool isFloat(WaveSampleType t) { return t == WaveSampleType::F32 || t == WaveSampleType::F64; }
int bitsOf(WaveSampleType t) {
    switch (t) {
        case WaveSampleType::U8: return 8;
        case WaveSampleType::S16: return 16;
        case WaveSampleType::S24: return 24;
        case WaveSampleType::S32:
        case WaveSampleType::F32: return 32;
        case WaveSampleType::F64: return 64;
    }
    return 0;
}

Bytes chunk(const char* id, const Bytes& body, bool pad = true) {
    Bytes b;
    test::putId(b, id);
    test::put32(b, static_cast<std::uint32_t>(body.size()));
    b.insert(b.end(), body.begin(), body.end());
    if (pad && body.size() % 2) b.push_back(0);
    return b;
}

Bytes chunkWithLength(const char* id, std::uint32_t length, const Bytes& body) {
    Bytes b;
    test::putId(b, id);
    test::put32(b, length);
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

Bytes fmtBody(const Format& f) {
    const int bits = f.bits >= 0 ? f.bits : bitsOf(f.type);
    const int typeTag = isFloat(f.type) ? 3 : 1;
    const int tag = f.tag >= 0 ? f.tag : f.extensible ? 0xFFFE : typeTag;
    const int blockAlign = f.channels * (bits / 8);
    Bytes b;
    test::put16(b, tag);
    test::put16(b, f.channels);
    test::put32(b, static_cast<std::uint32_t>(f.rate));
    test::put32(b, static_cast<std::uint32_t>(f.rate * blockAlign));
    test::put16(b, blockAlign);
    test::put16(b, bits);
    if (f.extensible) {
        test::put16(b, 22);
        test::put16(b, f.validBits >= 0 ? f.validBits : bits);
        test::put32(b, 0x3F);  // the channel mask: not consulted
        test::put16(b, f.subTag >= 0 ? f.subTag : typeTag);
        const std::uint8_t tail[14] = {0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
        test::putBytes(b, tail, sizeof tail);
        if (!f.standardGuid) b.back() ^= 1;
    } else if (isFloat(f.type)) {
        test::put16(b, 0);
    }
    return b;
}

Bytes riff(std::initializer_list<Bytes> chunks) {
    Bytes body;
    test::putId(body, "WAVE");
    for (const Bytes& c : chunks) body.insert(body.end(), c.begin(), c.end());
    Bytes b;
    test::putId(b, "RIFF");
    test::put32(b, static_cast<std::uint32_t>(body.size()));
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

// Eight stored values of each type (the extremes among them) with the floats they read as:
// an n-bit integer over 2^(n-1) - 1, 8-bit offset by 128, floats as they are.
struct Sample {
    Bytes bytes;
    float value;
};

Sample sampleOf(WaveSampleType t, int k) {
    Sample s;
    switch (t) {
        case WaveSampleType::U8: {
            const int u[8] = {255, 0, 128, 1, 200, 64, 127, 129};
            s.bytes = {static_cast<std::uint8_t>(u[k])};
            s.value = static_cast<float>((u[k] - 128) / 127.0);
            break;
        }
        case WaveSampleType::S16: {
            const int v[8] = {32767, -32768, 0, 1, -1, 12345, -20000, 16384};
            test::put16(s.bytes, v[k]);
            s.value = static_cast<float>(v[k] / 32767.0);
            break;
        }
        case WaveSampleType::S24: {
            const std::int32_t v[8] = {8388607, -8388608, 0, 1, -1, 4194304, -3000000, 1234567};
            test::put32(s.bytes, static_cast<std::uint32_t>(v[k]));
            s.bytes.pop_back();
            s.value = static_cast<float>(v[k] / 8388607.0);
            break;
        }
        case WaveSampleType::S32: {
            const std::int32_t v[8] = {2147483647, std::numeric_limits<std::int32_t>::min(), 0, 1, -1,
                                       1 << 30, -1234567890, 987654321};
            test::put32(s.bytes, static_cast<std::uint32_t>(v[k]));
            s.value = static_cast<float>(v[k] / 2147483647.0);
            break;
        }
        case WaveSampleType::F32: {
            const float v[8] = {1.0f, -1.0f, 0.0f, 0.5f, 2.5f, -1e-30f, 1e30f, 0.123f};
            test::putFloat(s.bytes, v[k]);
            s.value = v[k];
            break;
        }
        case WaveSampleType::F64: {
            const double v[8] = {1.0, -1.0, 0.0, 0.1, 3.0, -2.5e-10, 1e30, 1e-40};
            test::putBytes(s.bytes, &v[k], 8);
            s.value = static_cast<float>(v[k]);
            break;
        }
    }
    return s;
}

// Frame i, channel c holds value (3i + 5c) mod 8: neighbouring channels always differ.
int valueIndex(int frame, int channel) { return (3 * frame + 5 * channel) % 8; }

Bytes samples(const Format& f, int frames) {
    Bytes b;
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < f.channels; ++c) {
            const Sample s = sampleOf(f.type, valueIndex(i, c));
            b.insert(b.end(), s.bytes.begin(), s.bytes.end());
        }
    return b;
}

Bytes simpleFile(const Format& f, int frames) { return riff({chunk("fmt ", fmtBody(f)), chunk("data", samples(f, frames))}); }

FileResult read(const Bytes& b, SampleArrays& out) { return readWave(std::span<const std::uint8_t>(b), out); }
FileResult readCode(const Bytes& b) {
    SampleArrays out;
    return read(b, out);
}

// Checks the arrays hold the first `frames` frames of samples(f, ...), the first two channels
// (a mono file's one twice), and the guard frame.
void expectFrames(const SampleArrays& out, const Format& f, int frames, const std::string& what) {
    ASSERT_EQ(out.length, frames) << what;
    for (int i = 0; i < frames; ++i) {
        const float left = sampleOf(f.type, valueIndex(i, 0)).value;
        const float right = f.channels == 1 ? left : sampleOf(f.type, valueIndex(i, 1)).value;
        ASSERT_EQ(out.left[i], left) << what << " frame " << i;
        ASSERT_EQ(out.right[i], right) << what << " frame " << i;
    }
    EXPECT_EQ(out.left[frames], out.left[0]) << what;
    EXPECT_EQ(out.right[frames], out.right[0]) << what;
}

const WaveSampleType kTypes[] = {WaveSampleType::U8,  WaveSampleType::S16, WaveSampleType::S24,
                                 WaveSampleType::S32, WaveSampleType::F32, WaveSampleType::F64};

TEST(WaveFormats, EveryDepthFormatChannelCountAndRateReads) {
    int files = 0;
    for (WaveSampleType type : kTypes)
        for (bool extensible : {false, true})
            for (int channels : {1, 2, 3, 8})
                for (int rate : {8000, 11025, 44100, 48000, 96000, 384000}) {
                    Format f;
                    f.type = type;
                    f.extensible = extensible;
                    f.channels = channels;
                    f.rate = rate;
                    const std::string what = "bits " + std::to_string(bitsOf(type)) + (isFloat(type) ? " float" : "") +
                                             (extensible ? " extensible" : "") + " channels " +
                                             std::to_string(channels) + " rate " + std::to_string(rate);
                    SampleArrays out;
                    ASSERT_EQ(read(simpleFile(f, 11), out), kFileOk) << what;
                    EXPECT_EQ(out.rate, rate) << what;
                    expectFrames(out, f, 11, what);
                    ++files;
                }
    EXPECT_EQ(files, 288);
}

TEST(WaveFormats, FullScaleValuesReadAsDocumented) {
    struct Case {
        WaveSampleType type;
        int k;
        float want;
    };
    const Case cases[] = {
        {WaveSampleType::U8, 0, 1.0f},           {WaveSampleType::U8, 2, 0.0f},
        {WaveSampleType::U8, 1, static_cast<float>(-128 / 127.0)},  {WaveSampleType::S24, 0, 1.0f},
        {WaveSampleType::S24, 5, 0.50000006f},   {WaveSampleType::S24, 3, 1.1920930e-7f},
        {WaveSampleType::S32, 0, 1.0f},          {WaveSampleType::S32, 1, -1.0f},  // 2^31 / (2^31 - 1) rounds to -1
        {WaveSampleType::S32, 5, 0.5f},          {WaveSampleType::F64, 3, 0.1f},
        {WaveSampleType::F32, 6, 1e30f},         {WaveSampleType::F64, 7, static_cast<float>(1e-40)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(sampleOf(c.type, c.k).value, c.want) << bitsOf(c.type) << " " << c.k;
        Format f;
        f.type = c.type;
        f.channels = 1;
        Bytes file = riff({chunk("fmt ", fmtBody(f)), chunk("data", sampleOf(c.type, c.k).bytes)});
        SampleArrays out;
        ASSERT_EQ(read(file, out), kFileOk);
        EXPECT_EQ(out.left[0], c.want) << bitsOf(c.type) << " " << c.k;
    }
}

TEST(WaveFormats, NonFiniteFloatsReadAsSilence) {
    const float inf = std::numeric_limits<float>::infinity();
    Format f32;
    f32.type = WaveSampleType::F32;
    f32.channels = 1;
    Bytes data;
    for (float v : {std::numeric_limits<float>::quiet_NaN(), inf, -inf, 0.75f}) test::putFloat(data, v);
    SampleArrays out;
    ASSERT_EQ(read(riff({chunk("fmt ", fmtBody(f32)), chunk("data", data)}), out), kFileOk);
    EXPECT_EQ(out.left[0], 0.0f);
    EXPECT_EQ(out.left[1], 0.0f);
    EXPECT_EQ(out.left[2], 0.0f);
    EXPECT_EQ(out.left[3], 0.75f);

    Format f64 = f32;
    f64.type = WaveSampleType::F64;
    data.clear();
    for (double v : {std::numeric_limits<double>::quiet_NaN(), 1e300, -1e39, -0.25, 3.4e38}) test::putBytes(data, &v, 8);
    ASSERT_EQ(read(riff({chunk("fmt ", fmtBody(f64)), chunk("data", data)}), out), kFileOk);
    EXPECT_EQ(out.left[0], 0.0f);
    EXPECT_EQ(out.left[1], 0.0f);  // beyond the float range
    EXPECT_EQ(out.left[2], 0.0f);
    EXPECT_EQ(out.left[3], -0.25f);
    EXPECT_EQ(out.left[4], 3.4e38f);
}

TEST(WaveFormats, ExtensibleValidBitsBelowTheContainerReadAsTheContainer) {
    for (auto [type, valid] : {std::pair{WaveSampleType::S24, 20}, {WaveSampleType::S16, 12},
                               {WaveSampleType::S32, 24}, {WaveSampleType::U8, 1}, {WaveSampleType::F32, 0}}) {
        Format f;
        f.type = type;
        f.extensible = true;
        f.validBits = valid;
        SampleArrays out;
        ASSERT_EQ(read(simpleFile(f, 9), out), kFileOk) << valid;
        expectFrames(out, f, 9, "valid bits " + std::to_string(valid));
    }
}

TEST(WaveFormats, RefusedFormatsGiveTheirCodes) {
    auto code = [](auto change) {
        Format f;
        change(f);
        return readCode(simpleFile(f, 4));
    };
    // Compressed: ADPCM, A-law, mu-law, MPEG layer 3, GSM; extensible ones likewise.
    for (int tag : {2, 6, 7, 0x55, 0x31, 0, 0xFFFF})
        EXPECT_EQ(code([tag](Format& f) { f.tag = tag; }), kFileNoPcm) << tag;
    EXPECT_EQ(code([](Format& f) {
                  f.extensible = true;
                  f.subTag = 2;
              }),
              kFileNoPcm);
    EXPECT_EQ(code([](Format& f) {
                  f.extensible = true;
                  f.standardGuid = false;
              }),
              kFileNoPcm);
    {
        Format f;
        f.extensible = true;
        Bytes body = fmtBody(f);
        body.resize(18);  // an extensible tag without its extension
        EXPECT_EQ(readCode(riff({chunk("fmt ", body), chunk("data", Bytes(8))})), kFileNoPcm);
        body = fmtBody(f);
        body[16] = 21;  // an extension too short for the sub-format
        EXPECT_EQ(readCode(riff({chunk("fmt ", body), chunk("data", Bytes(8))})), kFileNoPcm);
    }
    // Depths.
    for (int bits : {0, 4, 12, 20, 40, 48, 64})
        EXPECT_EQ(code([bits](Format& f) { f.bits = bits; }), kFileUnsupportedSampleFormat) << bits;
    auto extensible = [](WaveSampleType type, int bits, int valid) {
        return [=](Format& f) {
            f.type = type;
            f.extensible = true;
            f.bits = bits;
            f.validBits = valid;
        };
    };
    for (int bits : {8, 16, 24, 48}) {
        EXPECT_EQ(code([bits](Format& f) {
                      f.type = WaveSampleType::F32;
                      f.bits = bits;
                  }),
                  kFileUnsupportedSampleFormat)
            << bits;
        EXPECT_EQ(code(extensible(WaveSampleType::F32, bits, bits)), kFileUnsupportedSampleFormat) << bits;
    }
    EXPECT_EQ(code(extensible(WaveSampleType::S16, 16, 17)), kFileUnsupportedSampleFormat);
    EXPECT_EQ(code(extensible(WaveSampleType::S24, 20, 20)), kFileUnsupportedSampleFormat);
    EXPECT_EQ(code(extensible(WaveSampleType::F32, 32, 24)), kFileUnsupportedSampleFormat);
    EXPECT_EQ(code(extensible(WaveSampleType::F64, 64, 32)), kFileUnsupportedSampleFormat);
    // Rates.
    for (std::int64_t rate : {0LL, 7999LL, 384001LL, -44100LL, 0x80000000LL, 4000000000LL})
        EXPECT_EQ(code([rate](Format& f) { f.rate = rate; }), kFileRateOutOfRange) << rate;
    // Channels.
    for (int channels : {0, 9, 16, -1, 0xFFFF})
        EXPECT_EQ(code([channels](Format& f) { f.channels = channels; }), kFileNotMonoStereo) << channels;
    // No whole frame of data.
    Format f;
    f.type = WaveSampleType::S24;
    f.channels = 3;
    EXPECT_EQ(readCode(riff({chunk("fmt ", fmtBody(f)), chunk("data", Bytes{})})), kFileNoAudioData);
    EXPECT_EQ(readCode(riff({chunk("fmt ", fmtBody(f)), chunk("data", Bytes(8))})), kFileNoAudioData);
    SampleArrays out;
    EXPECT_EQ(read(riff({chunk("fmt ", fmtBody(f)), chunk("data", Bytes(9))}), out), kFileOk);
    EXPECT_EQ(out.length, 1);
}

TEST(WaveChunks, FormatAfterDataAndUnknownChunksAnywhere) {
    Format f;
    f.type = WaveSampleType::S24;
    f.channels = 3;
    f.rate = 96000;
    const Bytes data = chunk("data", samples(f, 7));  // 63 bytes: odd, a pad byte follows
    const Bytes fmt = chunk("fmt ", fmtBody(f));
    const Bytes list = chunk("LIST", Bytes(13, 'x'));
    const Bytes bext = chunk("bext", Bytes(6, 0));
    const Bytes layouts[] = {
        riff({data, fmt}),
        riff({list, data, bext, fmt, list}),
        riff({bext, fmt, list, data, list}),
        riff({list, fmt, data}),
        riff({data, chunk("fmt ", fmtBody(Format{})), fmt}),  // the first format block counts
    };
    int k = 0;
    for (const Bytes& file : layouts) {
        SampleArrays out;
        if (k == 4) {
            ASSERT_EQ(read(file, out), kFileOk);
            EXPECT_EQ(out.rate, 44100);
            EXPECT_EQ(out.length, 63 / 4);
        } else {
            ASSERT_EQ(read(file, out), kFileOk) << k;
            EXPECT_EQ(out.rate, 96000) << k;
            expectFrames(out, f, 7, "layout " + std::to_string(k));
        }
        ++k;
    }
    // The first data chunk counts, before or after the format block.
    Format mono = f;
    mono.channels = 1;
    SampleArrays out;
    ASSERT_EQ(read(riff({chunk("data", samples(mono, 5)), chunk("fmt ", fmtBody(mono)), chunk("data", samples(mono, 2))}), out), kFileOk);
    expectFrames(out, mono, 5, "two data chunks");
}

TEST(WaveChunks, OddLengthsWithAndWithoutTheirPadByte) {
    Format f;
    f.type = WaveSampleType::U8;
    f.channels = 1;
    const Bytes fmt = chunk("fmt ", fmtBody(f));
    for (bool pad : {true, false}) {
        SampleArrays out;
        // An odd unknown chunk and an odd data chunk, both before the format block.
        ASSERT_EQ(read(riff({chunk("JUNK", Bytes(5, 1), pad), chunk("data", samples(f, 5), pad), fmt}), out), kFileOk) << pad;
        expectFrames(out, f, 5, pad ? "padded" : "unpadded");
        ASSERT_EQ(read(riff({fmt, chunk("cue ", Bytes(3, 0), pad), chunk("data", samples(f, 5), pad)}), out), kFileOk) << pad;
        expectFrames(out, f, 5, pad ? "padded, format first" : "unpadded, format first");
    }
    // An odd format block (a writer's extra byte) is followed by its pad byte too.
    Bytes body = fmtBody(f);
    body.push_back(0x7E);
    SampleArrays out;
    ASSERT_EQ(read(riff({chunk("fmt ", body), chunk("data", samples(f, 3))}), out), kFileOk);
    expectFrames(out, f, 3, "odd format block");
}

TEST(WaveChunks, MissingAndEndlessChunks) {
    Format f;
    const Bytes fmt = chunk("fmt ", fmtBody(f));
    const Bytes data = chunk("data", samples(f, 4));
    EXPECT_EQ(readCode(riff({data})), kFileNoFmt);
    EXPECT_EQ(readCode(riff({chunk("LIST", Bytes(4)), data, chunk("LIST", Bytes(4))})), kFileNoFmt);
    EXPECT_EQ(readCode(riff({fmt})), kFileNoData);
    EXPECT_EQ(readCode(riff({})), kFileNoFmt);
    // A data chunk that runs to the end, or past it, leaves no room for a format block after it.
    EXPECT_EQ(readCode(riff({chunkWithLength("data", 0xFFFFFFFFu, samples(f, 4)), fmt})), kFileNoFmt);
    EXPECT_EQ(readCode(riff({chunkWithLength("data", 4000, samples(f, 4)), fmt})), kFileNoFmt);
    // An unknown chunk that runs to the end hides what follows it.
    EXPECT_EQ(readCode(riff({fmt, chunkWithLength("LIST", 0x80000004u, Bytes(4)), data})), kFileNoData);
    // A format length that is no real length reads the 16 bytes (as always).
    SampleArrays out;
    ASSERT_EQ(read(riff({chunkWithLength("fmt ", 0x80000010u, fmtBody(f)), data}), out), kFileOk);
    expectFrames(out, f, 4, "endless format length");
    // A chunk header cut after its id.
    Bytes cut = riff({fmt, data});
    cut.resize(12 + fmt.size() + 6);
    EXPECT_EQ(readCode(cut), kFileNoData);
}

// A file of `size` bytes that exists only as a pattern: `head`, then `unit` over and over to
// the end. Counts the bytes it delivers.
class PatternSource final : public ByteSource {
public:
    PatternSource(Bytes head, Bytes unit, std::uint64_t size) : head_(std::move(head)), unit_(std::move(unit)), size_(size) {}
    std::size_t read(void* dst, std::size_t n) override {
        n = static_cast<std::size_t>(std::min<std::uint64_t>(n, remaining()));
        auto* out = static_cast<std::uint8_t*>(dst);
        for (std::size_t i = 0; i < n; ++i, ++pos_)
            out[i] = pos_ < head_.size() ? head_[pos_] : unit_[(pos_ - head_.size()) % unit_.size()];
        delivered += n;
        return n;
    }
    bool skip(std::uint64_t n) override {
        const bool fits = n <= remaining();
        pos_ = fits ? pos_ + n : size_;
        return fits;
    }
    std::uint64_t remaining() const override { return size_ - pos_; }
    std::uint64_t position() const override { return pos_; }
    bool seek(std::uint64_t offset) override { return offset <= size_ && (pos_ = offset, true); }
    std::uint64_t delivered = 0;

private:
    Bytes head_, unit_;
    std::uint64_t size_, pos_ = 0;
};

// Zeros (a sparse or damaged file) or endless empty chunks end the walk within the first
// kilobytes, whatever the file's size; a few dozen chunks before the audio still read.
TEST(WaveChunks, ZeroIdsAndEndlessChunkRunsEndTheWalk) {
    Format f;
    const Bytes fmt = chunk("fmt ", fmtBody(f));
    const Bytes data = chunk("data", samples(f, 4));
    Bytes top;
    test::putId(top, "RIFF");
    test::put32(top, 0xFFFFFFFFu);
    test::putId(top, "WAVE");
    // 64 chunks besides the format block and the data are read through; one more ends the walk.
    for (int junk : {64, 65}) {
        Bytes file = top;
        for (int k = 0; k < junk; ++k) {
            const Bytes j = chunk(k % 2 ? "JUNK" : "LIST", Bytes(k % 3, 7));
            file.insert(file.end(), j.begin(), j.end());
        }
        file.insert(file.end(), fmt.begin(), fmt.end());
        file.insert(file.end(), data.begin(), data.end());
        ASSERT_EQ(readCode(file), junk == 64 ? kFileOk : kFileNoFmt) << junk;
    }
    Bytes withFmt = top;
    withFmt.insert(withFmt.end(), fmt.begin(), fmt.end());
    const std::uint64_t huge = std::uint64_t(4) << 30;
    struct Case {
        Bytes head, unit;
        FileResult code;
    } cases[] = {
        {top, Bytes(8, 0), kFileNoFmt},
        {withFmt, Bytes(8, 0), kFileNoData},
        {top, chunk("JUNK", Bytes{}), kFileNoFmt},
        {top, chunk("LIST", Bytes(3, 1)), kFileNoFmt},
        {withFmt, chunk("JUNK", Bytes{}), kFileNoData},
    };
    for (const Case& c : cases) {
        PatternSource src(c.head, c.unit, huge);
        WaveFormat format;
        EXPECT_EQ(readWaveHeader(src, format), c.code);
        EXPECT_LT(src.delivered, 4096u) << "bytes read of a 4 GB file";
    }
    // A zero id between the format block and the data: damaged, not skipped.
    EXPECT_EQ(readCode(riff({fmt, chunk("\0\0\0\0", Bytes{}), data})), kFileNoData);
}

// Every prefix of a small file: the header's cuts give their codes, cuts in the samples load
// the declared frames with the delivered whole samples and silence after them.
TEST(WaveChunks, EveryTruncationGivesACodeOrTheDeliveredSamples) {
    const Format formats[] = {
        {WaveSampleType::S24, 3, 48000, true},
        {WaveSampleType::F64, 2, 8000, false},
        {WaveSampleType::U8, 1, 384000, false},
    };
    for (const Format& f : formats) {
        const Bytes fmt = chunk("fmt ", fmtBody(f));
        const Bytes junk = chunk("JUNK", Bytes(3, 9));
        const Bytes full = riff({junk, fmt, chunk("data", samples(f, 5))});
        const std::size_t fmtIdEnd = 12 + junk.size() + 4;
        const std::size_t headerEnd = 12 + junk.size() + fmt.size() + 8;
        SampleArrays whole;
        ASSERT_EQ(read(full, whole), kFileOk);
        const std::size_t sampleBytes = static_cast<std::size_t>(bitsOf(f.type) / 8);
        for (std::size_t n = 0; n < full.size(); ++n) {
            const Bytes cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
            SampleArrays out;
            const FileResult r = read(cut, out);
            if (n < headerEnd) {
                const FileResult want = n < 4 ? kFileNoRiff : n < 12 ? kFileNoWave : n < fmtIdEnd ? kFileNoFmt : kFileNoData;
                ASSERT_EQ(r, want) << n;
                continue;
            }
            ASSERT_EQ(r, kFileOk) << n;
            ASSERT_EQ(out.length, 5);
            const std::size_t have = (n - headerEnd) / sampleBytes;
            for (std::size_t i = 0; i < 5 * static_cast<std::size_t>(f.channels); ++i) {
                const std::size_t frame = i / f.channels, channel = i % f.channels;
                if (channel > 1) continue;
                const float got = channel == 0 ? out.left[frame] : out.right[frame];
                const float want = i < have ? (channel == 0 ? whole.left[frame] : whole.right[frame]) : 0.0f;
                ASSERT_EQ(got, want) << n << " sample " << i;
            }
        }
    }
    // With the format block after the data, a cut lacks the block or some of its fields: the
    // format tag (8) or, last of the sixteen bytes, the depth (9).
    Format f;
    const Bytes full = riff({chunk("data", samples(f, 3)), chunk("fmt ", fmtBody(f))});
    const std::size_t fmtIdEnd = 12 + 8 + 12 + 4;
    for (std::size_t n = 12; n < full.size(); ++n) {
        const FileResult want = n < fmtIdEnd ? kFileNoFmt : n < fmtIdEnd + 6 ? kFileNoPcm : kFileUnsupportedSampleFormat;
        ASSERT_EQ(readCode(Bytes(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n))), want) << n;
    }
}

TEST(WaveFormats, FilesKeepTheirFirstTwentySecondsAtTheirOwnRate) {
    for (int rate : {8000, 96000}) {
        Format f;
        f.type = WaveSampleType::U8;
        f.channels = 1;
        f.rate = rate;
        const int limit = 20 * rate;
        EXPECT_EQ(maxReadFrames(rate), limit);
        Bytes data(static_cast<std::size_t>(limit) + 7, 0x80);
        data[static_cast<std::size_t>(limit) - 1] = 255;
        data[static_cast<std::size_t>(limit)] = 0;
        SampleArrays out;
        ASSERT_EQ(read(riff({chunk("fmt ", fmtBody(f)), chunk("data", data)}), out), kFileOk);
        ASSERT_EQ(out.length, limit) << rate;
        EXPECT_EQ(out.left[limit - 1], 1.0f);
        EXPECT_EQ(out.left[limit], out.left[0]);
    }
    EXPECT_EQ(maxReadFrames(44100), kMaxBufferFrames);
    EXPECT_EQ(kMaxReadFrames, 7680000);
}

// The bytes of a 44.1 kHz 16-bit file are those the writer has always produced.
std::uint64_t fnv1a(const Bytes& b) {
    std::uint64_t h = 14695981039346656037ull;
    for (std::uint8_t c : b) h = (h ^ c) * 1099511628211ull;
    return h;
}

struct Stereo {
    std::vector<float> left, right;
    explicit Stereo(int n) : left(static_cast<std::size_t>(n) + 1), right(static_cast<std::size_t>(n) + 1) {}
    BufferView view() const { return {left.data(), right.data(), static_cast<int>(left.size()) - 1}; }
};

Stereo pattern(int n) {
    Stereo s(n);
    for (int i = 0; i < n; ++i) {
        s.left[static_cast<std::size_t>(i)] = float((i * 7919) % 20001 - 10000) / 8000.0f;
        s.right[static_cast<std::size_t>(i)] = float(i % 97) / 48.0f - 1.0f;
    }
    return s;
}

TEST(WaveWriteRates, Pcm16At44100IsByteForByteAsBefore) {
    test::TempDir dir;
    const Stereo s = pattern(5000);  // more than one write block
    const std::string path = dir.file("pcm.wav");
    ASSERT_EQ(writeWaveFile(path.c_str(), s.view()), kFileOk);
    const Bytes b = test::readFile(path);
    EXPECT_EQ(b.size(), 20044u);
    EXPECT_EQ(fnv1a(b), 0x710b24a020b21a29ull);
    ASSERT_EQ(writeWaveFile(path.c_str(), s.view(), 44100, WaveEncoding::Pcm16), kFileOk);
    EXPECT_EQ(test::readFile(path), b);
}

TEST(WaveWriteRates, Pcm16HeaderSaysTheRate) {
    test::TempDir dir;
    const Stereo s = pattern(300);
    const std::string at44 = dir.file("44.wav"), at48 = dir.file("48.wav");
    ASSERT_EQ(writeWaveFile(at44.c_str(), s.view()), kFileOk);
    for (int rate : {8000, 48000, 96000, 384000}) {
        ASSERT_EQ(writeWaveFile(at48.c_str(), s.view(), rate), kFileOk) << rate;
        Bytes b = test::readFile(at48);
        EXPECT_EQ(test::get32(b, 24), std::uint32_t(rate));
        EXPECT_EQ(test::get32(b, 28), std::uint32_t(rate) * 4u);
        Bytes expected = test::readFile(at44);
        std::memcpy(expected.data() + 24, b.data() + 24, 8);
        EXPECT_EQ(b, expected) << rate;  // all else as at 44.1 kHz
        SampleArrays back;
        ASSERT_EQ(readWaveFile(at48.c_str(), back), kFileOk);
        EXPECT_EQ(back.rate, rate);
        EXPECT_EQ(back.length, 300);
    }
}

TEST(WaveWriteRates, Float32HasItsLayoutAndRoundTripsExactly) {
    test::TempDir dir;
    const int n = 2500;
    Stereo s = pattern(n);
    s.left[0] = 1.5f;  // beyond full scale, kept
    s.left[1] = std::numeric_limits<float>::denorm_min();
    s.right[1] = -0.0f;
    s.right[2] = std::numeric_limits<float>::max();
    const std::string path = dir.file("float.wav");
    ASSERT_EQ(writeWaveFile(path.c_str(), s.view(), 96000, WaveEncoding::Float32), kFileOk);
    const Bytes b = test::readFile(path);
    ASSERT_EQ(b.size(), 58u + 8u * n);
    EXPECT_TRUE(test::sameBytes(b.data(), "RIFF", 4));
    EXPECT_EQ(test::get32(b, 4), 50u + 8u * n);
    EXPECT_TRUE(test::sameBytes(b.data() + 8, "WAVEfmt ", 8));
    EXPECT_EQ(test::get32(b, 16), 18u);
    EXPECT_EQ(test::get16(b, 20), 3);
    EXPECT_EQ(test::get16(b, 22), 2);
    EXPECT_EQ(test::get32(b, 24), 96000u);
    EXPECT_EQ(test::get32(b, 28), 768000u);
    EXPECT_EQ(test::get16(b, 32), 8);
    EXPECT_EQ(test::get16(b, 34), 32);
    EXPECT_EQ(test::get16(b, 36), 0);
    EXPECT_TRUE(test::sameBytes(b.data() + 38, "fact", 4));
    EXPECT_EQ(test::get32(b, 42), 4u);
    EXPECT_EQ(test::get32(b, 46), std::uint32_t(n));
    EXPECT_TRUE(test::sameBytes(b.data() + 50, "data", 4));
    EXPECT_EQ(test::get32(b, 54), 8u * n);

    SampleArrays back;
    ASSERT_EQ(readWaveFile(path.c_str(), back), kFileOk);
    EXPECT_EQ(back.rate, 96000);
    ASSERT_EQ(back.length, n);
    EXPECT_TRUE(test::sameBytes(back.left.get(), s.left.data(), 4u * n));
    EXPECT_TRUE(test::sameBytes(back.right.get(), s.right.data(), 4u * n));
    EXPECT_TRUE(std::signbit(back.right[1]));

    s.left[5] = std::numeric_limits<float>::quiet_NaN();
    s.right[6] = -std::numeric_limits<float>::infinity();
    ASSERT_EQ(writeWaveFile(path.c_str(), s.view(), 44100, WaveEncoding::Float32), kFileOk);
    const Bytes c = test::readFile(path);
    EXPECT_EQ(test::get32(c, 58 + 8 * 5), 0u);
    EXPECT_EQ(test::get32(c, 58 + 8 * 6 + 4), 0u);
}

TEST(WaveWriteRates, RatesOutOfRangeAndFailedWritesLeaveTheTarget) {
    test::TempDir dir;
    const std::string path = dir.file("keep.wav");
    const Bytes previous = {'o', 'l', 'd'};
    test::writeFile(path, previous);
    const Stereo s = pattern(100);
    for (int rate : {0, -44100, 7999, 384001})
        for (WaveEncoding e : {WaveEncoding::Pcm16, WaveEncoding::Float32})
            EXPECT_EQ(writeWaveFile(path.c_str(), s.view(), rate, e), kFileWriteFailed) << rate;
    for (std::size_t failAt : {0u, 30u, 58u, 300u}) {
        AtomicFileWriter out;
        ASSERT_TRUE(out.open(path.c_str()));
        out.failAfter(failAt);
        EXPECT_FALSE(writeWave(out, s.view(), 48000, WaveEncoding::Float32) && out.commit()) << failAt;
    }
    EXPECT_EQ(test::readFile(path), previous);
    EXPECT_EQ(dir.entries().size(), 1u);
}

}  // namespace
}  // namespace grainwheel
