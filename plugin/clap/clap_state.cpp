// The plug-in's state through the host's streams (clap_state.h).

#include "plugin/clap/clap_state.h"

#include <memory>
#include <new>
#include <vector>

namespace grainwheel::clap {

namespace {
// The records, and every buffer with the largest image.
constexpr std::uint64_t kMaxStateBytes = 12 + kBankChunkSize + kNumBuffers * (12 + kMaxEmbeddedBytes);
constexpr std::size_t kChunk = 1 << 16;
}  // namespace

bool ClapSink::write(const void* data, std::size_t size) {
    const auto* from = static_cast<const std::uint8_t*>(data);
    while (!failed_ && size > 0) {
        const std::int64_t n = stream_->write(stream_, from, size);
        if (n <= 0 || static_cast<std::uint64_t>(n) > size) {
            failed_ = true;
            break;
        }
        from += n;
        size -= static_cast<std::size_t>(n);
    }
    return !failed_;
}

bool readClapState(const clap_istream_t* stream, StateImage& out) {
    std::vector<std::uint8_t> bytes;
    std::unique_ptr<std::uint8_t[]> piece(new (std::nothrow) std::uint8_t[kChunk]);
    if (!piece) return false;
    for (;;) {
        const std::int64_t n = stream->read(stream, piece.get(), kChunk);
        if (n < 0 || static_cast<std::uint64_t>(n) > kChunk) return false;
        if (n == 0) break;
        if (bytes.size() + static_cast<std::size_t>(n) > kMaxStateBytes) return false;
        bytes.insert(bytes.end(), piece.get(), piece.get() + n);
    }
    MemorySource source(std::span<const std::uint8_t>(bytes.data(), bytes.size()));
    // The whole stream is the state.
    return readState(source, out) && source.remaining() == 0;
}

}  // namespace grainwheel::clap
