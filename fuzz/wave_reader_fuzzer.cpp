// WAV reader: any bytes give a result code; accepted files give arrays within the limit.
#include <cstdlib>

#include "persistence/wave_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace grainwheel;
    SampleArrays out;
    const FileResult r = readWave(std::span<const std::uint8_t>(data, size), out);
    if (r != kFileOk) {
        if (!out.empty()) std::abort();
        if (r < kFileNoRiff || (r > kFileNoAudioData && r != kFileOutOfMemory)) std::abort();
        return 0;
    }
    if (out.length <= 0 || out.length > kMaxBufferFrames || !out.left || !out.right) std::abort();
    if (out.left[out.length] != out.left[0] || out.right[out.length] != out.right[0]) std::abort();
    for (int i = 0; i <= out.length; ++i)
        if (!(out.left[i] >= -1.0001f && out.left[i] <= 1.0f)) std::abort();
    return 0;
}
