// CLAP states through the host's stream: the first byte gives the most the stream delivers
// a read (1..256), the rest is the stream. The reader takes a state whole or refuses it;
// what it takes has a path only where a buffer is named by its file, every path
// terminated, and audio only for the buffers stored with it.
#include <cstdlib>
#include <cstring>
#include <memory>

#include "plugin/clap/clap_state.h"

namespace {

struct Stream {
    const std::uint8_t* data;
    std::size_t size, at, chunk;
};

std::int64_t readSome(const clap_istream_t* s, void* to, std::uint64_t size) {
    auto* x = static_cast<Stream*>(s->ctx);
    std::size_t n = x->size - x->at;
    if (n > x->chunk) n = x->chunk;
    if (n > size) n = static_cast<std::size_t>(size);
    if (n > 0) std::memcpy(to, x->data + x->at, n);
    x->at += n;
    return static_cast<std::int64_t>(n);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace grainwheel;
    if (size == 0) return 0;
    static std::unique_ptr<StateImage> image(new StateImage);
    Stream stream{data + 1, size - 1, 0, static_cast<std::size_t>(data[0]) + 1};
    const clap_istream_t in{&stream, readSome};
    if (!clap::readClapState(&in, *image)) return 0;
    if (stream.at != stream.size) std::abort();
    for (int k = 0; k < kNumBuffers; ++k) {
        const ProgramRecord& r = image->records[static_cast<std::size_t>(k)];
        const BufferSource s = image->sources[static_cast<std::size_t>(k)];
        if (!std::memchr(r.bufferPath, 0, kPathSize)) std::abort();
        if (s != BufferSource::File && r.bufferPath[0] != 0) std::abort();
        if ((s == BufferSource::Embedded) == image->audio[static_cast<std::size_t>(k)].empty()) std::abort();
    }
    return 0;
}
