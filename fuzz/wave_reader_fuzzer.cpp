// WAV reader: any bytes give a result code; accepted files give arrays within the limit of
// their rate, with finite samples (integer formats within their range).
#include <cmath>
#include <cstdlib>

#include "persistence/wave_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace grainwheel;
    const std::span<const std::uint8_t> bytes(data, size);
    SampleArrays out;
    const FileResult r = readWave(bytes, out);
    WaveFormat format;
    MemorySource header(bytes);
    if (readWaveHeader(header, format) != (r == kFileOutOfMemory ? kFileOk : r)) std::abort();
    if (r != kFileOk) {
        if (!out.empty()) std::abort();
        if (r < kFileNoRiff || (r > kFileNoAudioData && r != kFileOutOfMemory)) std::abort();
        return 0;
    }
    if (out.rate != format.rate || out.rate < kMinBufferRate || out.rate > kMaxBufferRate) std::abort();
    if (out.length <= 0 || out.length > maxReadFrames(out.rate) || !out.left || !out.right) std::abort();
    if (out.left[out.length] != out.left[0] || out.right[out.length] != out.right[0]) std::abort();
    const bool isFloat = format.type == WaveSampleType::F32 || format.type == WaveSampleType::F64;
    for (int i = 0; i <= out.length; ++i) {
        for (float v : {out.left[i], out.right[i]}) {
            if (!std::isfinite(v)) std::abort();
            if (!isFloat && !(v >= -128.0f / 127.0f && v <= 1.0f)) std::abort();
        }
        if (format.channels == 1 && out.left[i] != out.right[i]) std::abort();
    }
    return 0;
}
