// The plug-in's state through the host's streams (clap_state.h).

#include "plugin/clap/clap_state.h"

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
    for (;;) {
        const std::size_t had = bytes.size();
        if (had >= kMaxStateBytes + 1) return false;
        bytes.resize(had + kChunk);
        const std::int64_t n = stream->read(stream, bytes.data() + had, kChunk);
        if (n < 0 || static_cast<std::uint64_t>(n) > kChunk) return false;
        bytes.resize(had + static_cast<std::size_t>(n));
        if (n == 0) break;
    }
    MemorySource source(std::span<const std::uint8_t>(bytes.data(), bytes.size()));
    // The whole stream is the state.
    return readState(source, out) && source.remaining() == 0;
}

}  // namespace grainwheel::clap
