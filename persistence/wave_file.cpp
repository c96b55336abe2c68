#include "persistence/wave_file.h"

#include <algorithm>
#include <cmath>
#include <cstring>

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

FileResult readWaveHeader(ByteSource& src, WaveFormat& format) {
    // Every field is read first and tested afterwards, in a fixed order. A field that the
    // input does not deliver stays zero and so fails its own test.
    char riff[4] = {}, form[4] = {}, fmt[4] = {}, dataId[4] = {};
    std::uint32_t riffLength = 0, byteRate = 0;
    std::int32_t fmtLength = 0, sampleRate = 0;
    std::int16_t formatTag = 0, channels = 0, blockAlign = 0, bits = 0;
    std::uint32_t chunkLength = 0;

    src.readId(riff);
    src.readU32(riffLength);
    src.readId(form);
    src.readId(fmt);
    src.readI32(fmtLength);
    src.readI16(formatTag);
    src.readI16(channels);
    src.readI32(sampleRate);
    src.readU32(byteRate);
    src.readI16(blockAlign);
    src.readI16(bits);
    if (fmtLength > 16) src.skip(static_cast<std::uint64_t>(fmtLength) - 16);
    bool haveChunk = src.readId(dataId) && src.readU32(chunkLength);
    // Optional chunks before the data, each at most once and in this order. Their lengths
    // are taken as stored (no pad byte); a length with the top bit set reaches the end.
    for (const char* optional : {"smpl", "inst", "PAD "}) {
        if (haveChunk && idIs(dataId, optional)) {
            src.skip(chunkLength);
            std::memset(dataId, 0, sizeof dataId);
            chunkLength = 0;
            haveChunk = src.readId(dataId) && src.readU32(chunkLength);
        }
    }

    if (!idIs(riff, "RIFF")) return kFileNoRiff;
    if (!idIs(form, "WAVE")) return kFileNoWave;
    if (!idIs(fmt, "fmt ")) return kFileNoFmt;
    if (!haveChunk || !idIs(dataId, "data")) return kFileNoData;
    if (formatTag != 1) return kFileNoPcm;
    if (bits != 16) return kFileNot16Bit;
    if (sampleRate != 44100) return kFileNot44k;
    if (channels != 1 && channels != 2) return kFileNotMonoStereo;
    if (chunkLength == 0) return kFileNoAudioData;

    format.channels = channels;
    // A length with the top bit set is not a real length (streaming writers leave such
    // values): the data then runs to the end of the file.
    format.dataBytes = (chunkLength & 0x80000000u) ? src.remaining() : chunkLength;
    // A data chunk without one whole frame holds no audio.
    if (format.dataBytes / (2u * format.channels) == 0) return kFileNoAudioData;
    return kFileOk;
}

FileResult readWave(ByteSource& src, SampleArrays& out) {
    WaveFormat format;
    if (FileResult r = readWaveHeader(src, format); r != kFileOk) return r;

    const std::uint64_t frames64 = format.dataBytes / (2u * format.channels);
    const int frames = static_cast<int>(std::min<std::uint64_t>(frames64, kMaxBufferFrames));
    SampleArrays staged;
    if (!staged.allocate(frames)) return kFileOutOfMemory;

    // Samples that the file does not deliver stay zero (silence).
    std::int16_t block[kBlockSamples];
    const std::size_t total = static_cast<std::size_t>(frames) * format.channels;
    std::size_t done = 0;
    while (done < total) {
        const std::size_t want = std::min(kBlockSamples, total - done);
        std::uint8_t bytes[kBlockSamples * 2];
        const std::size_t got = src.read(bytes, want * 2) / 2;
        for (std::size_t i = 0; i < got; ++i)
            block[i] = static_cast<std::int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
        for (std::size_t i = 0; i < got; ++i) {
            const std::size_t n = done + i;
            const float v = pcmToSample(block[i]);
            if (format.channels == 1) {
                staged.left[n] = v;
                staged.right[n] = v;
            } else if (n % 2 == 0) {
                staged.left[n / 2] = v;
            } else {
                staged.right[n / 2] = v;
            }
        }
        done += got;
        if (got < want) break;
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

bool writeWave(AtomicFileWriter& out, BufferView buffer, int rate, WaveEncoding encoding) {
    if (encoding != WaveEncoding::Pcm16 || rate != 44100) return false;  // not written yet
    const std::uint32_t frames = buffer.empty() ? 0u : static_cast<std::uint32_t>(buffer.length);
    if (frames > (0xFFFFFFFFu - 36u) / 4u) return false;
    std::uint8_t header[kWaveHeaderSize];
    std::memcpy(header, "RIFF", 4);
    putU32(header + 4, 36 + 4 * frames);
    std::memcpy(header + 8, "WAVEfmt ", 8);
    putU32(header + 16, 16);
    putU16(header + 20, 1);
    putU16(header + 22, 2);
    putU32(header + 24, 44100);
    putU32(header + 28, 176400);
    putU16(header + 32, 4);
    putU16(header + 34, 16);
    std::memcpy(header + 36, "data", 4);
    putU32(header + 40, 4 * frames);
    if (!out.write(header, sizeof header)) return false;

    std::uint8_t block[kBlockSamples * 2];
    std::size_t fill = 0;
    for (std::uint32_t i = 0; i < frames; ++i) {
        putU16(block + fill, static_cast<std::uint16_t>(sampleToPcm(buffer.left[i])));
        putU16(block + fill + 2, static_cast<std::uint16_t>(sampleToPcm(buffer.right[i])));
        fill += 4;
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
