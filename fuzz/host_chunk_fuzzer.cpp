// Host chunks: the raw size is checked, and the input padded to both chunk sizes is parsed
// into records whose index-like values and texts are safe to use.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "persistence/host_chunk.h"

namespace {

void checkRecord(const grainwheel::ProgramRecord& r) {
    using namespace grainwheel;
    if (r.currentProgram < 0 || r.currentProgram >= kNumPrograms) std::abort();
    const int buffer = static_cast<int>(r.bufferNumber);
    if (buffer < 0 || buffer >= kNumPrograms) std::abort();
    if (!std::memchr(r.bufferPath, 0, sizeof r.bufferPath)) std::abort();
    if (!std::memchr(r.name, 0, sizeof r.name)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace grainwheel;
    ProgramRecord program;
    std::array<ProgramRecord, kNumPrograms> bank;
    if (readProgramChunk(data, size, program) != (size == kProgramChunkSize)) std::abort();
    if (readBankChunk(data, size, bank) != (size == kBankChunkSize)) std::abort();

    std::vector<std::uint8_t> padded(kBankChunkSize, 0);
    std::memcpy(padded.data(), data, size < padded.size() ? size : padded.size());
    if (!readProgramChunk(padded.data(), kProgramChunkSize, program)) std::abort();
    checkRecord(program);
    if (!readBankChunk(padded.data(), kBankChunkSize, bank)) std::abort();
    for (const ProgramRecord& r : bank) checkRecord(r);

    ReloadErrors errors;
    for (const BufferReload& reload : bankChunkReloads(padded.data())) {
        if (reload.kind == BufferReload::kPathTooLong) errors.addPathTooLong();
        if (reload.kind == BufferReload::kLoad) {
            if (reload.path.empty() || reload.path.size() >= kPathSize) std::abort();
            errors.addFailed(reload.path);
        }
    }
    if (errors.text().empty()) std::abort();
    return 0;
}
