#pragma once
// RIFF/WAVE import (16-bit PCM, 44100 Hz, mono or stereo) and export (16-bit stereo 44100 Hz).

#include <cstdint>
#include <span>

#include "persistence/byte_source.h"
#include "persistence/file_result.h"
#include "persistence/sample_arrays.h"

namespace grainwheel {

constexpr int kWaveHeaderSize = 44;  // of the files the writer produces

// What the header of an accepted file says about its samples.
struct WaveFormat {
    int channels = 0;         // 1 or 2
    std::uint64_t dataBytes = 0;  // the data chunk's length as it is used
};

// Reads and tests the header up to and including the data chunk's header, leaving the
// source at the first sample. Returns 0 or one of the codes 4 to 12.
FileResult readWaveHeader(ByteSource& source, WaveFormat& format);

// Reads a whole file into newly allocated arrays (mono gives two equal channels, the guard
// frame is set). At most kMaxBufferFrames frames are taken; samples that a short data chunk
// does not deliver are silence. Returns 0, 4 to 12, or 30 when memory runs out; `out` is
// only replaced on success.
FileResult readWave(ByteSource& source, SampleArrays& out);
FileResult readWave(std::span<const std::uint8_t> bytes, SampleArrays& out);
// As above from a file; 23 when it cannot be opened.
FileResult readWaveFile(const char* path, SampleArrays& out);

// How the writer stores samples: 16-bit PCM (Save Wav, banks' users), or 32-bit IEEE float
// where the exact samples matter.
enum class WaveEncoding { Pcm16, Float32 };

// Writes the buffer as a stereo file at `rate` frames per second, through a temporary file
// renamed over the target when complete. Returns 0, or 2 when the file cannot be written
// (the target then stays as it was). The overwrite question is the caller's.
FileResult writeWaveFile(const char* path, BufferView buffer, int rate = 44100,
                         WaveEncoding encoding = WaveEncoding::Pcm16);

class AtomicFileWriter;
// The writer's byte stream, for callers that supply their own output.
bool writeWave(AtomicFileWriter& out, BufferView buffer, int rate = 44100, WaveEncoding encoding = WaveEncoding::Pcm16);

// Sample conversions of the file format.
float pcmToSample(std::int16_t s);
// x × 32767 truncated toward zero; values beyond the 16-bit range are clipped to it.
std::int16_t sampleToPcm(float x);

}  // namespace grainwheel
