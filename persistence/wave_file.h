#pragma once
// RIFF/WAVE import and export.
//
// Read: plain and extensible (0xFFFE) format blocks; PCM of 8 (unsigned), 16, 24 and 32 bits
// and IEEE float of 32 and 64 bits; 1 to 8 channels (mono gives two equal channels, more than
// two give the first two); any rate from kMinBufferRate to kMaxBufferRate, returned as it is.
// Chunks may come in any order ("fmt " after "data" too); unknown ones are skipped, and an
// odd-length chunk is followed by its pad byte (when that byte is not 0 the writer left it
// out, and the next chunk starts there). A length with the top bit set runs to the end of the
// file; the first "fmt " and the first "data" chunk count.
//
// Samples become floats by these rules (an n-bit integer s is divided by 2^(n-1) - 1, so the
// most negative value reads slightly below -1):
//   8-bit  (u - 128) / 127      16-bit  s / 32767 (pcmToSample)
//   24-bit s / 8388607          32-bit  s / 2147483647
//   float  as stored (64-bit rounded to float); NaN, infinities and 64-bit values beyond the
//          float range read as 0.
// An extensible block's valid bits may be fewer than its container's (12 in 16, 20 in 24):
// such samples are left-justified, and the container's rule gives their value. Valid bits
// above the container's, or fewer for float, are refused with 9.

#include <cstdint>
#include <span>

#include "persistence/byte_source.h"
#include "persistence/file_result.h"
#include "persistence/sample_arrays.h"

namespace grainwheel {

constexpr int kWaveHeaderSize = 44;  // of the files the writer produces

// How the samples of an accepted file are stored.
enum class WaveSampleType { U8, S16, S24, S32, F32, F64 };

// What the header of an accepted file says about its samples.
struct WaveFormat {
    int channels = 0;             // 1 to 8
    int rate = 0;                 // frames per second, kMinBufferRate to kMaxBufferRate
    WaveSampleType type = WaveSampleType::S16;
    int sampleBytes = 0;          // bytes per sample (the container's size)
    std::uint64_t dataBytes = 0;  // the data chunk's length as it is used
};

// Reads the chunks up to the format block and the data chunk's header, tests them and leaves
// the source at the first sample. The tests run in a fixed order, the first failure deciding:
// no RIFF (4), no WAVE (5), no "fmt " chunk (6), no "data" chunk (7), a format other than
// PCM or IEEE float (8), a depth not listed above (9), a rate out of range (10), 0 or more
// than 8 channels (11), no whole frame of data (12). Returns 0 or one of those codes.
FileResult readWaveHeader(ByteSource& source, WaveFormat& format);

// Reads a whole file into newly allocated arrays (mono gives two equal channels, the guard
// frame is set, `rate` is the file's). At most maxReadFrames(rate) frames (the first 20 s)
// are taken; samples that a short data chunk does not deliver are silence. Returns 0, 4 to
// 12, or 30 when memory runs out; `out` is only replaced on success.
FileResult readWave(ByteSource& source, SampleArrays& out);
FileResult readWave(std::span<const std::uint8_t> bytes, SampleArrays& out);
// As above from a file; 23 when it cannot be opened.
FileResult readWaveFile(const char* path, SampleArrays& out);

// How the writer stores samples: 16-bit PCM (Save Wav, banks' users), or 32-bit IEEE float
// where the exact samples matter.
enum class WaveEncoding { Pcm16, Float32 };

// Writes the buffer as a stereo file at `rate` frames per second (kMinBufferRate to
// kMaxBufferRate), through a temporary file renamed over the target when complete. Pcm16 gives
// the 44-byte header of format 1; Float32 a format block of 18 bytes (format 3), a "fact"
// chunk with the frame count and then the data (58 bytes before the samples); NaN and
// infinities are written as 0. Returns 0, or 2 when the file cannot be written or the rate is
// out of range (the target then stays as it was). The overwrite question is the caller's.
FileResult writeWaveFile(const char* path, BufferView buffer, int rate = 44100,
                         WaveEncoding encoding = WaveEncoding::Pcm16);

// The writer's byte stream, for callers that supply their own output (a file, a host's
// stream); false on a failed write or a rate out of range.
bool writeWave(ByteSink& out, BufferView buffer, int rate = 44100, WaveEncoding encoding = WaveEncoding::Pcm16);

// Sample conversions of the file format.
float pcmToSample(std::int16_t s);
// x × 32767 truncated toward zero; values beyond the 16-bit range are clipped to it.
std::int16_t sampleToPcm(float x);

}  // namespace grainwheel
