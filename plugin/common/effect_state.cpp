// The plug-ins' state: its layout, and its passage to and from the engine (effect_state.h).

#include "plugin/common/effect_state.h"

#include <cstring>
#include <new>
#include <utility>

#include "persistence/wave_file.h"

namespace grainwheel {

namespace {

// Counts what would be written (an image's size goes before the image).
class CountingSink final : public ByteSink {
public:
    bool write(const void*, std::size_t size) override {
        count += size;
        return true;
    }
    std::uint64_t count = 0;
};

bool putU32(ByteSink& out, std::uint32_t v) {
    const unsigned char b[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                                static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
    return out.write(b, 4);
}

bool silent(float v) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    return bits == 0;  // +0 only: -0 is kept as it is
}

// The buffer's length, then the WAV image of its frames up to the last one that is not
// silence (a take shorter than its buffer is mostly silence after it).
bool writeImage(ByteSink& out, const BufferPart& part) {
    const int rate = part.rate >= kMinBufferRate && part.rate <= kMaxBufferRate ? part.rate : 44100;
    const BufferView& v = part.view;
    int used = v.length;
    while (used > 1 && silent(v.left[used - 1]) && silent(v.right[used - 1])) --used;
    const BufferView head{v.left, v.right, used};
    CountingSink count;
    if (!writeWave(count, head, rate, WaveEncoding::Float32) || count.count > kMaxEmbeddedBytes) return false;
    return putU32(out, static_cast<std::uint32_t>(v.length)) && putU32(out, static_cast<std::uint32_t>(count.count)) &&
           writeWave(out, head, rate, WaveEncoding::Float32);
}

// An embedded buffer: its length, and its image's frames followed by silence.
bool readImage(ByteSource& in, SampleArrays& out) {
    std::uint32_t frames = 0, bytes = 0;
    if (!in.readU32(frames) || frames == 0 || frames > static_cast<std::uint32_t>(kMaxReadFrames)) return false;
    if (!in.readU32(bytes) || bytes > kMaxEmbeddedBytes || bytes > in.remaining()) return false;
    std::unique_ptr<std::uint8_t[]> image(new (std::nothrow) std::uint8_t[bytes]);
    if (!image || !in.readExact(image.get(), bytes)) return false;
    SampleArrays head;
    if (readWave(std::span<const std::uint8_t>(image.get(), bytes), head) != kFileOk ||
        head.length > static_cast<int>(frames))
        return false;
    if (head.length == static_cast<int>(frames)) {
        out = std::move(head);
        return true;
    }
    if (!out.allocate(static_cast<int>(frames))) return false;
    std::memcpy(out.left.get(), head.left.get(), sizeof(float) * static_cast<std::size_t>(head.length));
    std::memcpy(out.right.get(), head.right.get(), sizeof(float) * static_cast<std::size_t>(head.length));
    out.rate = head.rate;
    out.setGuardFrame();
    return true;
}

}  // namespace

bool writeState(ByteSink& out, const std::array<ProgramRecord, kNumPrograms>& records,
                const std::array<BufferPart, kNumBuffers>& parts, bool bypass) {
    std::unique_ptr<std::array<ProgramRecord, kNumPrograms>> stored(new (std::nothrow)
                                                                        std::array<ProgramRecord, kNumPrograms>(records));
    if (!stored) return false;
    for (int k = 0; k < kNumBuffers; ++k)
        if (parts[k].source != BufferSource::File) std::memset((*stored)[k].bufferPath, 0, kPathSize);
    if (!out.write(kStateTag, 4) || !putU32(out, kStateVersion) || !out.write(stored->data(), kBankChunkSize))
        return false;
    for (int k = 0; k < kNumBuffers; ++k) {
        const BufferPart& part = parts[k];
        const bool embedded = part.source == BufferSource::Embedded && !part.view.empty();
        const BufferSource source = embedded || part.source == BufferSource::File ? part.source : BufferSource::Empty;
        if (!putU32(out, static_cast<std::uint32_t>(source))) return false;
        if (embedded && !writeImage(out, part)) return false;
    }
    return putU32(out, bypass ? 1u : 0u);
}

bool readState(ByteSource& in, StateImage& out) {
    char tag[4];
    std::uint32_t version = 0;
    if (!in.readId(tag) || std::memcmp(tag, kStateTag, 4) != 0 || !in.readU32(version) || version != kStateVersion)
        return false;
    if (!in.readExact(out.records.data(), kBankChunkSize)) return false;
    for (int k = 0; k < kNumBuffers; ++k) {
        std::uint32_t source = 0;
        if (!in.readU32(source)) return false;
        ProgramRecord& record = out.records[k];
        out.audio[k].clear();
        switch (source) {
        case static_cast<std::uint32_t>(BufferSource::File):
            // A path without its terminator or an empty one names nothing.
            if (std::memchr(record.bufferPath, 0, kPathSize) == nullptr || record.bufferPath[0] == 0) {
                std::memset(record.bufferPath, 0, kPathSize);
                source = static_cast<std::uint32_t>(BufferSource::Empty);
            }
            break;
        case static_cast<std::uint32_t>(BufferSource::Embedded): {
            std::memset(record.bufferPath, 0, kPathSize);
            if (!readImage(in, out.audio[k])) return false;
            break;
        }
        case static_cast<std::uint32_t>(BufferSource::Empty): std::memset(record.bufferPath, 0, kPathSize); break;
        default: return false;
        }
        out.sources[k] = static_cast<BufferSource>(source);
    }
    std::uint32_t bypass = 0;
    if (!in.readU32(bypass) || bypass > 1) return false;
    out.bypass = bypass != 0;
    return true;
}

}  // namespace grainwheel
