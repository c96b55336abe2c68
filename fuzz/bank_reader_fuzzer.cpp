// Bank reader: any bytes give a result code, never an out-of-bounds read or a partial result.
#include <cstdlib>
#include <memory>

#include "persistence/bank_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace grainwheel;
    auto out = std::make_unique<BankContents>();
    const FileResult r = readBank(std::span<const std::uint8_t>(data, size), *out);
    if (r != kFileOk) {
        for (const SampleArrays& b : out->buffers)
            if (!b.empty()) std::abort();
        return 0;
    }
    for (const ProgramRecord& p : out->programs) {
        if (p.currentProgram < 0 || p.currentProgram >= kNumPrograms) std::abort();
        const int buffer = static_cast<int>(p.bufferNumber);
        if (buffer < 0 || buffer >= kNumPrograms) std::abort();
    }
    for (const SampleArrays& b : out->buffers) {
        if (b.length < 0 || b.length > kMaxBufferFrames) std::abort();
        if (b.length > 0 && (!b.left || !b.right)) std::abort();
        if (b.length > 0 && !(b.left[b.length] == b.left[0] || b.left[0] != b.left[0])) std::abort();
    }
    return 0;
}
