#pragma once
// The 16 audio buffers as the engine holds them: their published records, the gate that
// blocks pass, the panel's readings, the audio thread's copies of the records, the spare
// pair that recording on the audio thread takes, and the conversion of a buffer to
// another rate. What a buffer change does to the voices, the play head and the program
// records is the engine's (buffers.cpp); this part only keeps the arrays and hands them
// between the threads (audio_buffer.h tells how).

#include <atomic>
#include <cstdint>
#include <mutex>
#include <utility>

#include "engine/audio_buffer.h"
#include "engine/rate_conversion.h"

namespace grainwheel {

class BufferBank {
public:
    BufferBank() = default;
    // Frees every buffer's arrays, the spare and what the spare replaced.
    ~BufferBank();
    BufferBank(const BufferBank&) = delete;
    BufferBank& operator=(const BufferBank&) = delete;

    AudioBuffer& buffer(int n) { return buffers_[n]; }
    const AudioBuffer& buffer(int n) const { return buffers_[n]; }
    BufferGate& gate() { return gate_; }
    const BufferGate& gate() const { return gate_; }
    BufferReaders& readers() { return readers_; }
    // Held by another thread while it reads buffers' arrays outside a block (the file
    // writers): no rate conversion replaces (and frees) arrays meanwhile. Never on the
    // audio thread.
    [[nodiscard]] std::unique_lock<std::mutex> holdReads() { return std::unique_lock<std::mutex>(reads_); }
    bool anyUnsaved() const;
    // Whether a buffer holds audio at another rate than `rate`.
    bool anyAtOtherRate(int rate) const;

    // Audio thread (or the thread acting for it while none runs), at a block boundary:
    // takes each buffer's published record into its held copy. Bit n of the answer is set
    // when buffer n's record changed.
    std::uint32_t takePublished() noexcept;
    // The audio thread's copy of buffer n's record.
    const BufferFrames& held(int n) const noexcept { return held_[n]; }
    // True, with the frames the conversion read, when the record of buffer n held now is
    // the one a rate conversion published (convert()).
    bool heldFromConversion(int n, std::int32_t& inputFrames) const noexcept;

    // Publishes buffer n's new record (the caller holds its `writing` flag) and answers the
    // old record's arrays, which the caller frees once no block and no reading holds them.
    std::pair<float*, float*> publish(int n, float* left, float* right, int frames, int rate) noexcept;

    // Other threads, holding holdReads() until the publication that follows has freed the
    // old arrays: claims buffer n's `writing` flag and converts its published audio to
    // `rate`. On Converted the flag stays claimed for the publication of `out` that
    // follows (a recording goes on in it at the same moment of the take); otherwise it is
    // released.
    RateConversion convert(int n, int rate, ConvertedAudio& out);

    // The spare: one zeroed pair of the largest recordable size (882001 floats each,
    // 7,056,008 bytes for the pair). The audio thread owns it while it is ready (it takes
    // the spare and leaves the pair it replaced), makeSpare() while it is not.
    bool spareReady() const noexcept { return spareReady_.load(std::memory_order_acquire); }
    // Audio thread, between blocks: buffer n takes the spare as `frames` frames at `rate`.
    // False (nothing changed) with no spare ready or another thread replacing buffer n.
    bool takeSpare(int n, int frames, int rate) noexcept;
    // Other threads: frees what the audio thread replaced (once no reading holds it) and
    // makes a new spare. False when memory is short (nothing ready).
    bool makeSpare();

    // A zeroed array of frames + 1 floats; null when frames is outside 1..882000 or memory
    // is short.
    static float* newSampleArray(int frames);

private:
    AudioBuffer buffers_[kNumBuffers];
    BufferGate gate_;
    BufferReaders readers_;
    std::mutex reads_;  // holdReads()
    // The audio thread's copies of the published records, and their generations.
    BufferFrames held_[kNumBuffers];
    std::uint32_t heldGeneration_[kNumBuffers] = {};
    // Per buffer: the generation of the record a rate conversion published (high word)
    // and the frames it converted (low word), so that recording continues in it where
    // the take had got to.
    std::atomic<std::uint64_t> convertedFrom_[kNumBuffers] = {};
    float* spareLeft_ = nullptr;
    float* spareRight_ = nullptr;
    float* retiredLeft_ = nullptr;
    float* retiredRight_ = nullptr;
    std::atomic<bool> spareReady_{false};
};

}  // namespace grainwheel
