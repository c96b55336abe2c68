#include "persistence/host_chunk.h"

#include <cstring>

#include "persistence/messages.h"

namespace grainwheel {

bool readProgramChunk(const void* data, std::size_t size, ProgramRecord& out) {
    if (!data || size != kProgramChunkSize) return false;
    std::memcpy(&out, data, kProgramChunkSize);
    sanitiseRecord(out);
    return true;
}

bool readBankChunk(const void* data, std::size_t size, std::array<ProgramRecord, kNumPrograms>& out) {
    if (!data || size != kBankChunkSize) return false;
    std::memcpy(out.data(), data, kBankChunkSize);
    sanitiseRecords(out);
    return true;
}

std::array<BufferReload, kNumPrograms> bankChunkReloads(const void* bankChunk) {
    std::array<BufferReload, kNumPrograms> reloads;
    const auto* bytes = static_cast<const char*>(bankChunk);
    for (int j = 0; j < kNumPrograms; ++j) {
        const char* path = bytes + static_cast<std::size_t>(j) * sizeof(ProgramRecord);
        const void* end = std::memchr(path, 0, kPathSize);
        if (!end) {
            reloads[j].kind = BufferReload::kPathTooLong;
        } else if (end != path) {
            reloads[j].kind = BufferReload::kLoad;
            reloads[j].path.assign(path, static_cast<const char*>(end));
        }
    }
    return reloads;
}

ReloadErrors::ReloadErrors() : text_(kRecoveryErrorIntro) {}

void ReloadErrors::addPathTooLong() {
    text_ += kRecoveryPathTooLong;
    any_ = true;
}

void ReloadErrors::addFailed(const std::string& path) {
    text_ += path;
    text_ += '\n';
    any_ = true;
}

}  // namespace grainwheel
