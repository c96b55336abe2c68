#include "persistence/wave_file.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "persistence/file_system.h"

namespace grainwheel {

namespace {

bool idIs(const char (&id)[4], const char* text) { return std::memcmp(id, text, 4) == 0; }

void putU16(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

void putU32(std::uint8_t* p, std::uint32_t v) {
    putU16(p, v);
    putU16(p + 2, v >> 16);
}

constexpr std::size_t kBlockSamples = 4096;

}  // namespace

float pcmToSample(std::int16_t s) { return static_cast<float>(s / 32767.0); }

std::int16_t sampleToPcm(float x) {
    double v = static_cast<double>(x) * 32767.0;
    if (std::isnan(v)) return 0;
    v = std::clamp(v, -32768.0, 32767.0);
    return static_cast<std::int16_t>(static_cast<int>(v));
}

namespace {

constexpr int kTagPcm = 1;
constexpr int kTagFloat = 3;
constexpr int kTagExtensible = 0xFFFE;
// The sixteen bytes of an extensible block's sub-format: the format tag, then these.
constexpr std::uint8_t kSubFormatTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                             0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
constexpr std::uint32_t kLengthToEnd = 0x80000000u;  // set: not a real length
// The most chunks read besides the format block and the data: real files have a handful
// (LIST, fact, cue, bext, JUNK and the like).
constexpr int kMostChunks = 64;

std::uint16_t u16At(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t u32At(const std::uint8_t* p) { return u16At(p) | (std::uint32_t(u16At(p + 2)) << 16); }

// Skips the `rest` bytes left of a chunk, then the pad byte that follows a chunk of odd
// length. A pad byte other than 0 is the next chunk's first byte (its writer left it out).
void skipChunk(ByteSource& src, std::uint64_t rest, bool odd) {
    if (!src.skip(rest) || !odd) return;
    std::uint8_t pad = 0;
    if (src.read(&pad, 1) == 1 && pad != 0) src.seek(src.position() - 1);
}

// The format block's fields as stored; fields that the file does not deliver stay zero.
struct FormatBlock {
    int tag = 0;
    int channels = 0;
    std::int64_t rate = 0;
    int bits = 0;
    int validBits = 0;
    int subTag = -1;  // an extensible block's sub-format: -1 when missing or not a known GUID
};

// Reads a format chunk of `length` bytes whose header has been read, and skips its rest.
FormatBlock readFormatBlock(ByteSource& src, std::uint32_t length) {
    // A length below 16 (or not a real one) is taken as 16: the fields are always there.
    const std::uint64_t used = (length & kLengthToEnd) || length < 16 ? 16 : length;
    std::uint8_t b[40] = {};
    const std::size_t got = src.read(b, static_cast<std::size_t>(std::min<std::uint64_t>(used, sizeof b)));
    // A field cut short stays zero (and fails its test).
    FormatBlock f;
    if (got >= 2) f.tag = u16At(b);
    if (got >= 4) f.channels = static_cast<std::int16_t>(u16At(b + 2));
    if (got >= 8) f.rate = static_cast<std::int32_t>(u32At(b + 4));
    if (got >= 16) f.bits = u16At(b + 14);
    if (f.tag == kTagExtensible && got >= 40 && u16At(b + 16) >= 22) {
        f.validBits = u16At(b + 18);
        const int sub = u16At(b + 24);
        if (std::memcmp(b + 26, kSubFormatTail, sizeof kSubFormatTail) == 0) f.subTag = sub;
    }
    skipChunk(src, used - got, used % 2 != 0);
    return f;
}
int sampleBytesOf(WaveSampleType t) {
    switch (t) {
        case WaveSampleType::U8: return 1;
        case WaveSampleType::S16: return 2;
        case WaveSampleType::S24: return 3;
        case WaveSampleType::S32:
        case WaveSampleType::F32: return 4;
        case WaveSampleType::F64: return 8;
    }
    return 0;
}

// The sample type of a format block, or the result code that refuses it (8 or 9).
FileResult sampleTypeOf(const FormatBlock& f, WaveSampleType& type) {
    int kind = f.tag;
    if (f.tag == kTagExtensible) kind = f.subTag;
    if (kind != kTagPcm && kind != kTagFloat) return kFileNoPcm;
    if (f.tag == kTagExtensible && f.validBits != 0) {
        // Left-justified samples: fewer valid bits than the container's read as the
        // container's. Float has no such form.
        if (f.validBits > f.bits || (kind == kTagFloat && f.validBits != f.bits)) return kFileUnsupportedSampleFormat;
    }
    if (kind == kTagFloat) {
        if (f.bits == 32) type = WaveSampleType::F32;
        else if (f.bits == 64) type = WaveSampleType::F64;
        else return kFileUnsupportedSampleFormat;
        return kFileOk;
    }
    switch (f.bits) {
        case 8: type = WaveSampleType::U8; return kFileOk;
        case 16: type = WaveSampleType::S16; return kFileOk;
        case 24: type = WaveSampleType::S24; return kFileOk;
        case 32: type = WaveSampleType::S32; return kFileOk;
        default: return kFileUnsupportedSampleFormat;
    }
}

float finiteOrZero(double v) { return std::fabs(v) <= std::numeric_limits<float>::max() ? static_cast<float>(v) : 0.0f; }

float decodeSample(const std::uint8_t* p, WaveSampleType t) {
    switch (t) {
        case WaveSampleType::U8: return static_cast<float>((int(p[0]) - 128) / 127.0);
        case WaveSampleType::S16: return pcmToSample(static_cast<std::int16_t>(u16At(p)));
        case WaveSampleType::S24: {
            const std::int32_t s = static_cast<std::int32_t>(std::uint32_t(p[0]) << 8 | std::uint32_t(p[1]) << 16 |
                                                             std::uint32_t(p[2]) << 24) >> 8;
            return static_cast<float>(s / 8388607.0);
        }
        case WaveSampleType::S32: return static_cast<float>(static_cast<std::int32_t>(u32At(p)) / 2147483647.0);
        case WaveSampleType::F32: {
            float f;
            std::memcpy(&f, p, 4);
            return std::isfinite(f) ? f : 0.0f;
        }
        case WaveSampleType::F64: {
            double d;
            std::memcpy(&d, p, 8);
            return finiteOrZero(d);
        }
    }
    return 0.0f;
}

}  // namespace

FileResult readWaveHeader(ByteSource& src, WaveFormat& format) {
    char riff[4] = {}, form[4] = {};
    std::uint32_t riffLength = 0;
    src.readId(riff);
    src.readU32(riffLength);  // ignored: the chunks run to the end of the file
    src.readId(form);
    if (!idIs(riff, "RIFF")) return kFileNoRiff;
    if (!idIs(form, "WAVE")) return kFileNoWave;

    // The chunks, to the data chunk when the format block came first, else until the format
    // block turns up after it. Every pass takes at least the four bytes of an id; the walk
    // ends at the end of the file, at an id of four zero bytes (no writer makes one: the
    // file is damaged, or zeros from here on) and after kMostChunks other chunks, so that
    // no file is read further than its first few kilobytes before its audio.
    FormatBlock fmt;
    bool haveFmt = false, haveData = false;
    std::uint64_t dataStart = 0;
    std::uint32_t dataLength = 0;
    for (int others = 0; others <= kMostChunks;) {
        char id[4] = {};
        std::uint32_t length = 0;
        if (!src.readId(id) || idIs(id, "\0\0\0\0")) break;
        if (!src.readU32(length)) {
            // A header cut short ends the walk; a format id alone still counts (its fields
            // then read as zero), a data id does not.
            haveFmt = haveFmt || idIs(id, "fmt ");
            break;
        }
        if (idIs(id, "fmt ") && !haveFmt) {
            fmt = readFormatBlock(src, length);
            haveFmt = true;
            if (haveData) {
                src.seek(dataStart);
                break;
            }
        } else if (idIs(id, "data") && !haveData) {
            haveData = true;
            dataStart = src.position();
            dataLength = length;
            // A data chunk that runs to the end, or is the last, leaves nothing after it.
            if (haveFmt || (length & kLengthToEnd)) break;
            skipChunk(src, length, length % 2 != 0);
        } else {
            skipChunk(src, (length & kLengthToEnd) ? src.remaining() : length, length % 2 != 0);
            ++others;
        }
    }

    if (!haveFmt) return kFileNoFmt;
    if (!haveData) return kFileNoData;
    WaveSampleType type = WaveSampleType::S16;
    if (FileResult r = sampleTypeOf(fmt, type); r != kFileOk) return r;
    if (fmt.rate < kMinBufferRate || fmt.rate > kMaxBufferRate) return kFileRateOutOfRange;
    if (fmt.channels < 1 || fmt.channels > 8) return kFileNotMonoStereo;
    if (dataLength == 0) return kFileNoAudioData;

    format.channels = fmt.channels;
    format.rate = static_cast<int>(fmt.rate);
    format.type = type;
    format.sampleBytes = sampleBytesOf(type);
    // A length with the top bit set is not a real length (streaming writers leave such
    // values): the data then runs to the end of the file.
    format.dataBytes = (dataLength & kLengthToEnd) ? src.remaining() : dataLength;
    // A data chunk without one whole frame holds no audio.
    if (format.dataBytes / (std::uint64_t(format.sampleBytes) * format.channels) == 0) return kFileNoAudioData;
    return kFileOk;
}

FileResult readWave(ByteSource& src, SampleArrays& out) {
    WaveFormat format;
    if (FileResult r = readWaveHeader(src, format); r != kFileOk) return r;

    const std::size_t sampleBytes = static_cast<std::size_t>(format.sampleBytes);
    const std::size_t channels = static_cast<std::size_t>(format.channels);
    const std::size_t frameBytes = sampleBytes * channels;
    const std::uint64_t frames64 = format.dataBytes / frameBytes;
    const int frames = static_cast<int>(std::min<std::uint64_t>(frames64, maxReadFrames(format.rate)));
    SampleArrays staged;
    if (!staged.allocate(frames)) return kFileOutOfMemory;
    staged.rate = format.rate;

    // Whole frames at a time; samples that the file does not deliver stay zero (silence),
    // the whole samples of a frame cut short are kept.
    std::uint8_t bytes[kBlockSamples * 4];
    const std::size_t blockFrames = sizeof bytes / frameBytes;
    std::size_t frame = 0;
    while (frame < static_cast<std::size_t>(frames)) {
        const std::size_t want = std::min(blockFrames, static_cast<std::size_t>(frames) - frame);
        const std::size_t got = src.read(bytes, want * frameBytes) / sampleBytes;
        for (std::size_t i = 0; i < got; ++i) {
            const std::size_t channel = i % channels;
            if (channel > 1) continue;
            const std::size_t n = frame + i / channels;
            const float v = decodeSample(bytes + i * sampleBytes, format.type);
            if (channel == 0) staged.left[n] = v;
            if (channel == 1 || channels == 1) staged.right[n] = v;
        }
        if (got < want * channels) break;
        frame += want;
    }
    staged.setGuardFrame();
    out = std::move(staged);
    return kFileOk;
}

FileResult readWave(std::span<const std::uint8_t> bytes, SampleArrays& out) {
    MemorySource src(bytes);
    return readWave(src, out);
}

FileResult readWaveFile(const char* path, SampleArrays& out) {
    FileSource src;
    if (!path || !src.open(path)) return kFileOpenFailed;
    return readWave(src, out);
}

bool writeWave(ByteSink& out, BufferView buffer, int rate, WaveEncoding encoding) {
    if (rate < kMinBufferRate || rate > kMaxBufferRate) return false;
    const bool isFloat = encoding == WaveEncoding::Float32;
    if (!isFloat && encoding != WaveEncoding::Pcm16) return false;
    const std::uint32_t frames = buffer.empty() ? 0u : static_cast<std::uint32_t>(buffer.length);
    const std::uint32_t frameBytes = isFloat ? 8u : 4u;
    // The header: 44 bytes, or for float an 18-byte format block and a "fact" chunk.
    const std::uint32_t fmtLength = isFloat ? 18u : 16u;
    const std::uint32_t headerSize = isFloat ? kWaveHeaderSize + 14u : kWaveHeaderSize;
    if (frames > (0xFFFFFFFFu - headerSize) / frameBytes) return false;
    std::uint8_t header[kWaveHeaderSize + 14] = {};
    std::uint8_t* p = header;
    auto put = [&p](const char* id, std::uint32_t length) {
        std::memcpy(p, id, 4);
        putU32(p + 4, length);
        p += 8;
    };
    put("RIFF", headerSize - 8 + frameBytes * frames);
    std::memcpy(p, "WAVE", 4);
    p += 4;
    put("fmt ", fmtLength);
    putU16(p, isFloat ? 3 : 1);
    putU16(p + 2, 2);
    putU32(p + 4, static_cast<std::uint32_t>(rate));
    putU32(p + 8, static_cast<std::uint32_t>(rate) * frameBytes);
    putU16(p + 12, frameBytes);
    putU16(p + 14, isFloat ? 32 : 16);
    p += fmtLength;  // (the float block's two extra bytes: no more, 0)
    if (isFloat) {
        put("fact", 4);
        putU32(p, frames);
        p += 4;
    }
    put("data", frameBytes * frames);
    if (!out.write(header, headerSize)) return false;

    std::uint8_t block[kBlockSamples * 2];
    std::size_t fill = 0;
    for (std::uint32_t i = 0; i < frames; ++i) {
        if (isFloat) {
            for (float v : {buffer.left[i], buffer.right[i]}) {
                if (!std::isfinite(v)) v = 0.0f;
                std::memcpy(block + fill, &v, 4);
                fill += 4;
            }
        } else {
            putU16(block + fill, static_cast<std::uint16_t>(sampleToPcm(buffer.left[i])));
            putU16(block + fill + 2, static_cast<std::uint16_t>(sampleToPcm(buffer.right[i])));
            fill += 4;
        }
        if (fill == sizeof block) {
            if (!out.write(block, fill)) return false;
            fill = 0;
        }
    }
    return out.write(block, fill);
}

FileResult writeWaveFile(const char* path, BufferView buffer, int rate, WaveEncoding encoding) {
    AtomicFileWriter out;
    if (!out.open(path)) return kFileWriteFailed;
    if (!writeWave(out, buffer, rate, encoding)) return kFileWriteFailed;
    return out.commit() ? kFileOk : kFileWriteFailed;
}

}  // namespace grainwheel
