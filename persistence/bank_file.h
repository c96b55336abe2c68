#pragma once
// Bank files (".grb"): the 16 program records and the samples of all 16 audio buffers.
//
// Layout, little-endian: "GRB ", version 3 (int16), sub-version 4 (int16), record count 16
// (int32), WAVE-block count (int32), "PROG", 16 records of 1884 bytes, then per buffer a
// block "WAVE", N (int32 frames), N left floats, N right floats (no data when N is 0).
// Record k's rate bytes (recordedRate, program_record.h) tell the rate of block k's samples.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "engine/program_record.h"
#include "persistence/byte_source.h"
#include "persistence/file_result.h"
#include "persistence/sample_arrays.h"

namespace grainwheel {

constexpr std::size_t kBankHeaderSize = 20;
constexpr std::int16_t kBankVersion = 3;
constexpr std::int16_t kBankSubVersion = 4;
constexpr std::size_t kBankRecordsEnd = kBankHeaderSize + kBankChunkSize;  // 30164

// Size of the file the writer produces for buffers with these lengths.
std::uint64_t bankFileSize(std::span<const BufferView, kNumPrograms> buffers);

// A bank read completely into memory, for the effect to install as a whole.
struct BankContents {
    std::array<ProgramRecord, kNumPrograms> programs;
    // The file carries audio (a WAVE-block count other than 0): every buffer is replaced
    // by `buffers[k]` (empty ones by an empty buffer) and all 16 are marked saved.
    bool replacesBuffers = false;
    std::array<SampleArrays, kNumPrograms> buffers;
};

// Reads a whole bank. Returns 0; 20 when the magic is wrong or the records are cut short;
// 22 when a version differs; 21 when a WAVE block is missing, has another id, a negative
// frame count or fewer samples than it declares; 40 when memory runs out. On failure `out`
// holds nothing usable and the caller changes nothing. Blocks beyond the sixteenth are
// ignored, frame counts above kMaxBufferFrames keep their first kMaxBufferFrames frames.
// Every record is brought into the engine's ranges (sanitiseRecord, program_record.h), and
// buffers[k].rate is record k's rate (the reader does not resample).
FileResult readBank(ByteSource& source, BankContents& out);
FileResult readBank(std::span<const std::uint8_t> bytes, BankContents& out);
// As above from a file; 23 when it cannot be opened.
FileResult readBankFile(const char* path, BankContents& out);

// Takes record 0's ten global settings out of a bank, in record order. Returns 0; 23, 20,
// 22 as readBank; 25 when the file ends within record 0's path; 20 when it ends within the
// settings. `settings` is only written on success.
FileResult readBankOptions(ByteSource& source, float (&settings)[kNumGlobalSettings]);
FileResult readBankOptions(std::span<const std::uint8_t> bytes, float (&settings)[kNumGlobalSettings]);
FileResult readBankOptionsFile(const char* path, float (&settings)[kNumGlobalSettings]);

class AtomicFileWriter;
// The writer's byte stream; the records are written as given, their rate bytes included
// (record k's must tell buffer k's rate).
bool writeBank(AtomicFileWriter& out, std::span<const ProgramRecord, kNumPrograms> programs,
               std::span<const BufferView, kNumPrograms> buffers);
// Writes a bank through a temporary file renamed over the target when complete. Returns 0,
// or 2 when the file cannot be written (the target then stays as it was). The overwrite
// question and the saved flags are the caller's.
FileResult writeBankFile(const char* path, std::span<const ProgramRecord, kNumPrograms> programs,
                         std::span<const BufferView, kNumPrograms> buffers);

}  // namespace grainwheel
