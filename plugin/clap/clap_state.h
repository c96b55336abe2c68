#pragma once
// The plug-in's state through the host's CLAP streams: the layout of
// plugin/common/effect_state.h, the VST 3 state's, byte for byte.

#include <clap/stream.h>
#include "persistence/byte_source.h"
#include "plugin/common/effect_state.h"

namespace grainwheel::clap {

// The host's output stream, which may take fewer bytes than offered at a time.
class ClapSink final : public ByteSink {
public:
    explicit ClapSink(const clap_ostream_t* stream) : stream_(stream) {}
    bool write(const void* data, std::size_t size) override;

private:
    const clap_ostream_t* stream_;
    bool failed_ = false;
};

// Reads the whole stream (which may give fewer bytes than asked at a time) and then the
// state from it; false, with `out` not to be used, for a stream that fails, one longer
// than the largest state, or anything outside the layout.
bool readClapState(const clap_istream_t* stream, StateImage& out);

}  // namespace grainwheel::clap
