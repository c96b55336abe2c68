#pragma once
// What the panel draws, as data of its own: the engine's live values (DisplayLive), the
// last scope capture (ScopeTrace) and each buffer's columns for the thumbnail and the
// waveform (BufferColumns), together a DisplaySnapshot. The engine side prepares them
// (display_publisher.h) and publishes each in a SequencedCell; a panel copies them at
// its idle and draws from its copy only, so it never holds a pointer into engine memory.
// An adapter whose panel runs apart from the instance sends the same structures to it as
// messages (both sides come from one tree, so they agree on the layout).

#include <atomic>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "engine/audio_buffer.h"
#include "engine/program_record.h"

namespace grainwheel {

// The views' widths in columns: a thumbnail 74, the main scope's waveform 361, the small
// scope 206 (four capture values per column in the frequency views).
inline constexpr int kThumbnailColumns = 74;
inline constexpr int kWaveformColumns = 361;
inline constexpr int kScopeColumns = 206;
inline constexpr int kScopeTraceValues = 4 * kScopeColumns;

// The "Scope View Mode" setting's values.
enum class ScopeMode : int { Off = 0, TimeGrain = 1, TimeSum = 2, FreqGrain = 3, FreqSum = 4 };
// The setting value as a mode; Off for anything that names none.
inline ScopeMode scopeModeOf(float setting) {
    if (!(setting >= 0.0f && setting < 5.0f)) return ScopeMode::Off;
    return static_cast<ScopeMode>(static_cast<int>(setting));
}

// The engine's values the panel shows, as one block ended (or, while no blocks run, as
// they stand).
struct DisplayLive {
    enum BufferState : std::uint32_t { kHasArrays = 1, kSaved = 2 };
    std::uint32_t publications = 0;  // counts the publications
    float playPosition = 0.0f;       // frames of the current buffer
    float grainLength = 0.0f;        // frames
    std::int32_t grainInterval = 0;  // frames between grain starts
    float currentLength = 0.0f;      // the current buffer's frames
    std::int32_t currentBuffer = 0;
    std::int32_t previousBuffer = 0;
    std::int32_t currentUnit = 0;
    float linkedDensity = 0.0f;       // 0 outside the linked time modes
    std::int32_t recording = 0;       // the recording byte (1 once a frame was written)
    std::int32_t recordWritePosition = 0;
    std::uint32_t recordSerial = 0;   // counts the publications that found new frames recorded
    float peak = 0.0f;                // the output peak of the last block
    std::int32_t workingRate = 0;
    std::int32_t voiceCount = 0;
    float settings[kNumGlobalSettings] = {};  // the global settings, in their slot order
    std::int32_t bufferLength[kNumBuffers] = {};
    std::int32_t bufferRate[kNumBuffers] = {};
    std::uint32_t bufferState[kNumBuffers] = {};

    ScopeMode scopeMode() const { return scopeModeOf(settings[kScopeViewMode]); }
};

// The last scope capture the engine finished: the values the small scope reads (the
// first kScopeColumns of a time trace, four per column of a spectrum).
struct ScopeTrace {
    std::uint32_t serial = 0;  // 0: none yet; each new capture counts on
    std::int32_t mode = 0;     // the Scope View Mode it was captured in
    float values[kScopeTraceValues] = {};
};

// One buffer's columns: for each column of the thumbnail and of the waveform the sample
// the views draw there (the left channel).
struct BufferColumns {
    std::uint32_t serial = 0;      // counts the computations (0: never computed)
    std::uint32_t generation = 0;  // the buffer record's generation they were computed from
    std::int32_t length = 0;       // frames
    std::int32_t hasAudio = 0;     // 1 when the buffer has arrays
    float thumbnail[kThumbnailColumns] = {};
    float waveform[kWaveformColumns] = {};
};

struct DisplaySnapshot {
    DisplayLive live;
    ScopeTrace trace;
    BufferColumns buffers[kNumBuffers];
};

// The columns of a buffer's published record, read from its arrays (the caller keeps
// them allocated). `frames.left` null: a buffer without audio.
void computeColumns(const BufferFrames& frames, BufferColumns& out) noexcept;

// A value of type T that one thread at a time publishes and any thread copies, without a
// lock: a sequence word (odd while a publication is under way) and T's bytes as atomic
// words. A copy that overlapped a publication is taken again. Publishers must not
// overlap (one thread, or publishers that exclude each other).
template <typename T>
class SequencedCell {
    static_assert(std::is_trivially_copyable_v<T>, "a cell holds plain data");
    static_assert(sizeof(T) % sizeof(std::uint32_t) == 0, "a cell holds whole words");
    static constexpr std::size_t kWords = sizeof(T) / sizeof(std::uint32_t);

public:
    SequencedCell() {
        const T initial{};
        publish(initial);
    }
    SequencedCell(const SequencedCell&) = delete;
    SequencedCell& operator=(const SequencedCell&) = delete;

    // Each word is stored with release order, so a copy that reads a word of this
    // publication also sees the odd sequence stored before it (no fences needed).
    void publish(const T& value) noexcept {
        const std::uint32_t s = sequence_.load(std::memory_order_relaxed);
        sequence_.store(s + 1, std::memory_order_relaxed);
        const auto* bytes = reinterpret_cast<const unsigned char*>(&value);
        for (std::size_t i = 0; i < kWords; ++i) {
            std::uint32_t w;
            std::memcpy(&w, bytes + i * sizeof w, sizeof w);
            words_[i].store(w, std::memory_order_release);
        }
        sequence_.store(s + 2, std::memory_order_release);
    }
    // One attempt: false (out partly overwritten) when a publication overlapped it. The
    // words are loaded with acquire order, so the second load of the sequence comes after
    // them.
    bool tryCopy(T& out) const noexcept {
        const std::uint32_t before = sequence_.load(std::memory_order_acquire);
        if (before & 1u) return false;
        auto* bytes = reinterpret_cast<unsigned char*>(&out);
        for (std::size_t i = 0; i < kWords; ++i) {
            const std::uint32_t w = words_[i].load(std::memory_order_acquire);
            std::memcpy(bytes + i * sizeof w, &w, sizeof w);
        }
        return sequence_.load(std::memory_order_relaxed) == before;
    }
    // Copies until a copy is whole (publications are short).
    void copy(T& out) const noexcept {
        while (!tryCopy(out)) {
        }
    }
    // Changes with every publication.
    std::uint32_t sequence() const noexcept { return sequence_.load(std::memory_order_acquire); }

private:
    std::atomic<std::uint32_t> sequence_{0};
    std::atomic<std::uint32_t> words_[kWords];
};

}  // namespace grainwheel
