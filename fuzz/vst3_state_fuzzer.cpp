// VST 3 states: the reader takes a state whole or refuses it; what it takes has a path
// only where a buffer is named by its file, every path and name terminated, and audio only
// for the buffers stored with it, each within the largest buffer a WAV file gives.
#include <cstdlib>
#include <cstring>
#include <memory>

#include "persistence/byte_source.h"
#include "plugin/common/effect_state.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace grainwheel;
    static std::unique_ptr<StateImage> image(new StateImage);
    MemorySource source(data, size);
    if (!readState(source, *image)) return 0;
    for (int k = 0; k < kNumBuffers; ++k) {
        const ProgramRecord& r = image->records[static_cast<std::size_t>(k)];
        const SampleArrays& a = image->audio[static_cast<std::size_t>(k)];
        const BufferSource s = image->sources[static_cast<std::size_t>(k)];
        if (!std::memchr(r.bufferPath, 0, kPathSize)) std::abort();
        if (s != BufferSource::File && r.bufferPath[0] != 0) std::abort();
        if ((s == BufferSource::Embedded) == a.empty()) std::abort();
        if (!a.empty() && (a.length > kMaxReadFrames || a.left[a.length] != a.left[0])) std::abort();
    }
    return 0;
}
