#include "persistence/host_chunk.h"

#include <cmath>
#include <cstring>

#include "persistence/messages.h"

namespace grainwheel {

void sanitiseRecord(ProgramRecord& r) {
    if (r.currentProgram < 0) r.currentProgram = 0;
    if (r.currentProgram >= kNumPrograms) r.currentProgram = kNumPrograms - 1;
    // The buffer number is used truncated toward zero.
    const float b = r.bufferNumber;
    if (std::isnan(b) || b <= -1.0f) r.bufferNumber = 0.0f;
    else if (b >= static_cast<float>(kNumPrograms)) r.bufferNumber = static_cast<float>(kNumPrograms - 1);
    if (!std::memchr(r.bufferPath, 0, sizeof r.bufferPath))
        std::memset(r.bufferPath, 0, sizeof r.bufferPath);
    if (!std::memchr(r.name, 0, sizeof r.name)) r.name[sizeof r.name - 1] = 0;
}

void sanitiseRecords(std::span<ProgramRecord> records) {
    for (ProgramRecord& r : records) sanitiseRecord(r);
}

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
