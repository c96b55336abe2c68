#pragma once
// The host chunk: one program record (1884 bytes) or all 16 (30144 bytes), and the list of
// buffers that a bank chunk asks to reload from their WAV files.

#include <array>
#include <cstddef>
#include <span>
#include <string>

#include "engine/program_record.h"

namespace grainwheel {

constexpr std::size_t kProgramChunkSize = sizeof(ProgramRecord);  // 1884

// Copies a program chunk into `out` and sanitises it (sanitiseRecord, program_record.h); false (nothing written) when the size
// is not 1884.
bool readProgramChunk(const void* data, std::size_t size, ProgramRecord& out);
// Copies a bank chunk into `out` and sanitises it; false (nothing written) when the size is
// not 30144.
bool readBankChunk(const void* data, std::size_t size, std::array<ProgramRecord, kNumPrograms>& out);

// What restoring a bank chunk does for one buffer.
struct BufferReload {
    enum Kind { kKeep, kPathTooLong, kLoad };
    Kind kind = kKeep;   // kKeep: empty path, the buffer is left as it is
    std::string path;    // kLoad: the WAV file to load into the buffer
};

// The reload of every buffer j from record j's path, taken from the raw chunk (30144 bytes)
// before it is installed.
std::array<BufferReload, kNumPrograms> bankChunkReloads(const void* bankChunk);

// The text of the message that lists the buffers that could not be restored.
class ReloadErrors {
public:
    ReloadErrors();
    void addPathTooLong();
    void addFailed(const std::string& path);
    bool any() const { return any_; }
    const std::string& text() const { return text_; }

private:
    std::string text_;
    bool any_ = false;
};

}  // namespace grainwheel
