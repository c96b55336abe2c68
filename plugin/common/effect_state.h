#pragma once
// The state of one instance as the VST 3 and CLAP plug-ins store it, little-endian:
//   "GWS3", version (u32, 1)
//   the 16 program records (30144 bytes, the bank chunk's layout)
//   for each buffer 1..16: its source (u32) -
//     0  empty
//     1  a WAV file of its own, named by the path in its record (as in the VST 2 chunk)
//     2  its audio in the state: its length in frames (u32), the byte count (u32) and a
//        stereo 32-bit float WAV image at the buffer's own rate (wave_file.h writes and
//        reads it) of its frames up to the last one that is not silence: the rest of the
//        buffer is silence (a take shorter than its buffer stores only what was taken)
//   the bypass (u32, 0 or 1)
// A recorded take or an edited buffer has no file of its own and travels in the state, so
// a project keeps it; a buffer loaded from a file (or saved to one since) is named by path.
// The reader takes a state whole or refuses it: a wrong tag, a short part, an image the
// WAV reader refuses, one longer than its buffer, a buffer beyond the largest. The records
// are sanitised where they are installed (EffectFiles::setChunk); a record's path is kept
// only for source 1.

#include <array>
#include <cstdint>
#include <memory>

#include "engine/audio_buffer.h"
#include "engine/program_record.h"
#include "persistence/byte_source.h"
#include "persistence/sample_arrays.h"

namespace grainwheel {

inline constexpr char kStateTag[4] = {'G', 'W', 'S', '3'};
inline constexpr std::uint32_t kStateVersion = 1;

enum class BufferSource : std::uint32_t { Empty = 0, File = 1, Embedded = 2 };

// The largest embedded image: the float header and the largest buffer a WAV file gives.
inline constexpr std::uint64_t kMaxEmbeddedBytes = 58 + 8ull * kMaxReadFrames;

struct StateImage {
    std::array<ProgramRecord, kNumPrograms> records{};
    std::array<BufferSource, kNumBuffers> sources{};
    std::array<SampleArrays, kNumBuffers> audio;  // the Embedded ones
    bool bypass = false;
};

// What getState stores of one buffer.
struct BufferPart {
    BufferSource source = BufferSource::Empty;
    BufferView view{};  // Embedded: the audio
    int rate = 0;       // Embedded: its rate
};

// Writes a state; `records` as they are to be stored (the paths of File buffers in them,
// the others' path areas are cleared here). False when the sink failed.
bool writeState(ByteSink& out, const std::array<ProgramRecord, kNumPrograms>& records,
                const std::array<BufferPart, kNumBuffers>& parts, bool bypass);
// Reads a state into `out` (heap-sized; allocate it with new). False, with `out` not to be
// used, for anything outside the layout.
bool readState(ByteSource& in, StateImage& out);

class GrainEngine;
class EffectFiles;

// The engine's state written whole: each buffer with a WAV file of its own (loaded from
// it, or saved to it and unchanged since) by that file's path, any other buffer with audio
// (a recorded take, an edited buffer) with the audio itself at its own rate. The caller
// keeps the deferred work away meanwhile. False when memory is short or the sink failed.
bool saveEffectState(GrainEngine& engine, ByteSink& out, bool bypass);
// A state read whole installed: every buffer starts empty, the stored audio is installed
// (converted to the working rate where the engine runs; while it is inactive the next
// resume converts once, to the rate then), and the records and the files named go
// through the VST 2 chunk's session restore. The caller keeps the deferred work away
// meanwhile. False when the records were refused.
bool installEffectState(GrainEngine& engine, EffectFiles& files, StateImage& image, bool active);

}  // namespace grainwheel
