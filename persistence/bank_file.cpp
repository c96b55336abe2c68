#include "persistence/bank_file.h"

#include <cstring>
#include <new>

#include "persistence/file_system.h"
#include "persistence/host_chunk.h"

namespace grainwheel {

namespace {

// Reads the 20-byte header. Returns 0, 20 or 22; `waveBlocks` gets the block count.
FileResult readHeader(ByteSource& src, std::int32_t& waveBlocks) {
    char magic[4] = {};
    if (!src.readId(magic) || std::memcmp(magic, "GRB ", 4) != 0) return kFileNoGrb;
    std::int16_t version = 0, subVersion = 0;
    std::int32_t records = 0;
    char prog[4];
    if (!src.readI16(version) || !src.readI16(subVersion)) return kFileNoGrb;
    if (version != kBankVersion || subVersion != kBankSubVersion) return kFileVersion;
    // The record count and the "PROG" id are not tested: 16 records always follow.
    if (!src.readI32(records) || !src.readI32(waveBlocks) || !src.readId(prog)) return kFileNoGrb;
    return kFileOk;
}

FileResult readBlock(ByteSource& src, SampleArrays& out) {
    char id[4] = {};
    std::int32_t frames = 0;
    if (!src.readId(id) || !src.readI32(frames)) return kFileNoWaveBlock;
    if (std::memcmp(id, "WAVE", 4) != 0 || frames < 0) return kFileNoWaveBlock;
    out.clear();
    if (frames == 0) return kFileOk;
    const std::uint64_t channelBytes = std::uint64_t(frames) * 4u;
    if (src.remaining() < 2 * channelBytes) return kFileNoWaveBlock;
    const int kept = frames > kMaxBufferFrames ? kMaxBufferFrames : frames;
    const std::uint64_t dropped = channelBytes - std::uint64_t(kept) * 4u;
    if (!out.allocate(kept)) return kFileAllocationFailed;
    const std::size_t keptBytes = static_cast<std::size_t>(kept) * 4u;
    if (!src.readExact(out.left.get(), keptBytes) || !src.skip(dropped) ||
        !src.readExact(out.right.get(), keptBytes) || !src.skip(dropped)) {
        out.clear();
        return kFileNoWaveBlock;
    }
    out.setGuardFrame();
    return kFileOk;
}

void putHeaderFields(std::uint8_t* h, std::int32_t records, std::int32_t blocks) {
    std::memcpy(h, "GRB ", 4);
    const std::int16_t version = kBankVersion, sub = kBankSubVersion;
    std::memcpy(h + 4, &version, 2);
    std::memcpy(h + 6, &sub, 2);
    std::memcpy(h + 8, &records, 4);
    std::memcpy(h + 12, &blocks, 4);
    std::memcpy(h + 16, "PROG", 4);
}

}  // namespace

std::uint64_t bankFileSize(std::span<const BufferView, kNumPrograms> buffers) {
    std::uint64_t size = kBankRecordsEnd + kNumPrograms * 8u;
    for (const BufferView& b : buffers)
        if (!b.empty()) size += 8u * static_cast<std::uint64_t>(b.length);
    return size;
}

FileResult readBank(ByteSource& src, BankContents& out) {
    out.replacesBuffers = false;
    for (SampleArrays& b : out.buffers) b.clear();
    std::int32_t waveBlocks = 0;
    if (FileResult r = readHeader(src, waveBlocks); r != kFileOk) return r;
    static_assert(sizeof(out.programs) == kBankChunkSize);
    if (!src.readExact(out.programs.data(), kBankChunkSize)) return kFileNoGrb;
    sanitiseRecords(out.programs);

    // A negative count is treated as no audio: the buffers are kept.
    out.replacesBuffers = waveBlocks > 0;
    const int blocks = waveBlocks > kNumPrograms ? kNumPrograms : (waveBlocks > 0 ? waveBlocks : 0);
    for (int k = 0; k < blocks; ++k) {
        if (FileResult r = readBlock(src, out.buffers[k]); r != kFileOk) {
            for (SampleArrays& b : out.buffers) b.clear();
            out.replacesBuffers = false;
            return r;
        }
        out.buffers[k].rate = recordedRate(out.programs[k]);
    }
    return kFileOk;
}

FileResult readBank(std::span<const std::uint8_t> bytes, BankContents& out) {
    MemorySource src(bytes);
    return readBank(src, out);
}

FileResult readBankFile(const char* path, BankContents& out) {
    FileSource src;
    if (!path || !src.open(path)) return kFileOpenFailed;
    return readBank(src, out);
}

FileResult readBankOptions(ByteSource& src, float (&settings)[kNumGlobalSettings]) {
    std::int32_t waveBlocks = 0;
    if (FileResult r = readHeader(src, waveBlocks); r != kFileOk) return r;
    if (!src.skip(kPathSize)) return kFileSeekFailed;
    float read[kNumGlobalSettings];
    if (!src.readExact(read, sizeof read)) return kFileNoGrb;
    std::memcpy(settings, read, sizeof read);
    return kFileOk;
}

FileResult readBankOptions(std::span<const std::uint8_t> bytes, float (&settings)[kNumGlobalSettings]) {
    MemorySource src(bytes);
    return readBankOptions(src, settings);
}

FileResult readBankOptionsFile(const char* path, float (&settings)[kNumGlobalSettings]) {
    FileSource src;
    if (!path || !src.open(path)) return kFileOpenFailed;
    return readBankOptions(src, settings);
}

bool writeBank(AtomicFileWriter& out, std::span<const ProgramRecord, kNumPrograms> programs,
               std::span<const BufferView, kNumPrograms> buffers) {
    std::uint8_t header[kBankHeaderSize];
    putHeaderFields(header, kNumPrograms, kNumPrograms);
    if (!out.write(header, sizeof header)) return false;
    for (const ProgramRecord& record : programs)
        if (!out.write(&record, sizeof record)) return false;
    for (const BufferView& b : buffers) {
        const std::int32_t frames = b.empty() ? 0 : b.length;
        std::uint8_t block[8];
        std::memcpy(block, "WAVE", 4);
        std::memcpy(block + 4, &frames, 4);
        if (!out.write(block, sizeof block)) return false;
        if (frames == 0) continue;
        const std::size_t bytes = static_cast<std::size_t>(frames) * sizeof(float);
        if (!out.write(b.left, bytes) || !out.write(b.right, bytes)) return false;
    }
    return true;
}

FileResult writeBankFile(const char* path, std::span<const ProgramRecord, kNumPrograms> programs,
                         std::span<const BufferView, kNumPrograms> buffers) {
    AtomicFileWriter out;
    if (!out.open(path)) return kFileWriteFailed;
    if (!writeBank(out, programs, buffers)) return kFileWriteFailed;
    return out.commit() ? kFileOk : kFileWriteFailed;
}

}  // namespace grainwheel
