#pragma once
// The 16 stereo audio buffers and the hand-shake that lets other threads replace their
// sample arrays while the audio thread runs, without ever silencing a block.
//
// Replacing arrays. A buffer publishes its arrays and length as one record: two record
// slots and a generation word, slots[generation & 1] being the published one. A thread
// that replaces the arrays (publishArrays in buffers.cpp) claims the buffer's `writing`
// flag, fills the other slot, raises the generation (seq_cst) and then waits, through
// BufferGate::waitForBlockEnd(), until the block under way at that moment (if any) has
// left; only then does it free the old arrays. The audio thread never waits: at every
// block start, right after enterBlock(), it takes each buffer's published record whole
// (takeArrays) and reads only those arrays until leaveBlock(). Every block therefore
// plays with the old arrays or the new ones, never with a mix and never silent. When
// the audio thread sees a buffer's generation change, it resets the voices itself at
// that boundary, so no voice reads past the new length. When no block is under way
// (never processed, suspended, between blocks) the old arrays are freed at once.
//
// Readers outside a block. The panel's display columns (display_publisher.h) are read
// from the published arrays on the user-interface thread or the host's worker. Each such read is held as a BufferReaders::Reading; a
// thread that frees arrays it replaced waits, after the block under way, for the
// readings that may still hold them (waitForReaders). Only other threads free arrays
// (the audio thread leaves what it replaces to runDeferred), so the audio thread never
// waits for a reader.
//
// The gate. Changes of the voices and the play head are handed over in one word that the
// audio thread takes at the start of its next block (see handOver()). A Replacement
// (raising the gate) is used only where no audio thread is known, to make such a change
// at once; a block that starts then reads no buffer.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>

#include "engine/dsp/buffer_view.h"
#include "engine/shared_value.h"

namespace grainwheel {

constexpr int kNumBuffers = 16;

struct AudioBuffer {
    // One record of arrays and length. The arrays hold at least length + 1 frames each;
    // frame `length` is a guard copy of frame 0. Null when empty. `rate`: the frames per
    // second the samples are at (0 when empty); the audio thread does not read it.
    struct Arrays {
        std::atomic<float*> left{nullptr};
        std::atomic<float*> right{nullptr};
        std::atomic<std::int32_t> length{0};
        std::atomic<std::int32_t> rate{0};
    };
    Arrays slots[2];
    std::atomic<std::uint32_t> generation{0};  // slots[generation & 1] is published
    std::atomic<bool> writing{false};          // a replacement is filling the other slot
    // A copy of the published record for the editor and the read accessors (written
    // after each publication; the audio thread reads the slots, never these).
    std::atomic<float*> left{nullptr};
    std::atomic<float*> right{nullptr};
    std::atomic<std::int32_t> length{0};  // frames; 0 = empty
    std::atomic<std::int32_t> rate{0};    // frames per second of the samples; 0 = empty
    Shared<std::uint8_t> saved{1};        // 1 = stored in a file, or empty

    // The rate of the record that generation g published (framesOf tells it): frames per
    // second, 0 when it is empty.
    int rateOf(std::uint32_t g) const noexcept { return slots[g & 1u].rate.load(std::memory_order_acquire); }
};

// What the audio thread reads and writes of one buffer during a block.
struct BufferFrames {
    float* left = nullptr;
    float* right = nullptr;
    std::int32_t length = 0;
    bool empty() const noexcept { return left == nullptr || right == nullptr || length <= 0; }
    // The read-only view of the grain code.
    BufferView view() const noexcept { return BufferView{left, right, length}; }
};

// The published record of a buffer, taken whole. The seq_cst read of the generation
// pairs with the replacing thread's seq_cst publication and its read of the block
// sequence: either that thread sees the block under way and waits for it, or the block
// reads the new record.
inline BufferFrames framesOf(const AudioBuffer& b, std::uint32_t* generation = nullptr) noexcept {
    const std::uint32_t g = b.generation.load(std::memory_order_seq_cst);
    const AudioBuffer::Arrays& a = b.slots[g & 1u];
    BufferFrames v;
    // Acquire, paired with the publication's release stores: a slot refilled after this
    // generation was read shows in a later read of the generation (Reading::frames).
    v.left = a.left.load(std::memory_order_acquire);
    v.right = a.right.load(std::memory_order_acquire);
    v.length = a.length.load(std::memory_order_acquire);
    if (v.left == nullptr || v.right == nullptr) v.length = 0;
    if (generation != nullptr) *generation = g;
    return v;
}

// Holds the arrays a reader outside a block (the panel) reads against being freed. Two
// reading counts and an epoch: a reading counts itself under the epoch's parity; a thread
// that frees arrays, after publishing the arrays that replace them, advances the epoch and
// waits until the readings under the old parity have ended. Readings that start meanwhile
// count under the new parity and see the new record, so the wait ends however often the
// panel draws. A reading is short (one computation of columns) and never waits itself.
class BufferReaders {
public:
    // One reading, for its lifetime; with null readers it holds nothing (views drawing
    // records of their own). Reader threads only, never inside a block.
    class Reading {
    public:
        explicit Reading(BufferReaders* readers) noexcept;
        ~Reading();
        Reading(const Reading&) = delete;
        Reading& operator=(const Reading&) = delete;
        // Buffer b's published record (arrays and length of one publication); the arrays
        // stay allocated until the reading ends.
        BufferFrames frames(const AudioBuffer& b) const noexcept;

    private:
        BufferReaders* readers_;
        std::uint32_t parity_ = 0;
    };

    // Other threads, after publishing the arrays that replace the ones they free: returns
    // once no reading that may have taken the old record is under way. Never on the audio
    // thread, never while holding a Reading.
    void waitForReaders() noexcept;

private:
    std::atomic<std::uint32_t> epoch_{0};
    std::atomic<std::int32_t> readings_[2] = {};
    std::mutex waiting_;  // one epoch change at a time
};

// Claims a buffer's `writing` flag for a replacement (other threads; waits for another
// replacement of the same buffer to finish). The audio thread only tries it, never waits.
inline void claimWriting(AudioBuffer& b) noexcept {
    bool idle = false;
    while (!b.writing.compare_exchange_weak(idle, true, std::memory_order_acquire, std::memory_order_relaxed)) {
        idle = false;
        std::this_thread::yield();
    }
}

// What another thread hands to the audio thread, merged into one word: the buffer to
// select (+ 1, 0 for none), stop every voice, the voice count to set (0 for none).
struct HandOver {
    static constexpr std::uint32_t kSelectMask = 0x1f;
    static constexpr std::uint32_t kStopVoices = 0x100;
    static constexpr std::uint32_t kRewind = 0x200;  // play head and record position to 0
    static constexpr int kCountShift = 12;
    static constexpr std::uint32_t kCountMask = 0xfu << kCountShift;

    static constexpr std::uint32_t select(int buffer) { return static_cast<std::uint32_t>(buffer + 1) & kSelectMask; }
    static constexpr std::uint32_t voiceCount(int count) {
        return kStopVoices | ((static_cast<std::uint32_t>(count) << kCountShift) & kCountMask);
    }
    static constexpr int selectedBuffer(std::uint32_t w) { return static_cast<int>(w & kSelectMask) - 1; }
    static constexpr int newVoiceCount(std::uint32_t w) { return static_cast<int>((w & kCountMask) >> kCountShift); }
    // A later request replaces an earlier one's buffer and count; stopping and rewinding
    // accumulate.
    static constexpr std::uint32_t merge(std::uint32_t older, std::uint32_t newer) {
        std::uint32_t w = (older | newer) & (kStopVoices | kRewind);
        w |= (newer & kSelectMask) ? (newer & kSelectMask) : (older & kSelectMask);
        w |= (newer & kCountMask) ? (newer & kCountMask) : (older & kCountMask);
        return w;
    }
};

class BufferGate {
public:
    // Audio thread, block entry. True: buffers may be read until leaveBlock().
    bool enterBlock() noexcept {
        blockSequence_.fetch_add(1, std::memory_order_seq_cst);  // odd: a block is under way
        audioThread_.store(std::this_thread::get_id(), std::memory_order_relaxed);
        return replacements_.load(std::memory_order_seq_cst) == 0;
    }
    // Audio thread, block exit (after every enterBlock, whatever it answered).
    void leaveBlock() noexcept { blockSequence_.fetch_add(1, std::memory_order_release); }

    // Raises the gate for the lifetime of the object and waits until no block that may
    // read buffers is under way. Other threads only; never from inside a block.
    class Replacement {
    public:
        explicit Replacement(BufferGate& gate) noexcept;
        ~Replacement();
        Replacement(const Replacement&) = delete;
        Replacement& operator=(const Replacement&) = delete;

    private:
        BufferGate& gate_;
    };

    // Any thread: leaves a request for the audio thread's next open block. Answers true
    // when the caller must apply takeHandOver() itself at once: on the audio thread itself
    // (between two of its blocks), or while no audio thread is known (none has processed
    // yet, or the effect is suspended); the caller on another thread does so inside a
    // Replacement. Never waits.
    bool handOver(std::uint32_t request) noexcept {
        std::uint32_t seen = handOver_.load(std::memory_order_relaxed);
        while (!handOver_.compare_exchange_weak(seen, HandOver::merge(seen, request), std::memory_order_release,
                                                std::memory_order_relaxed)) {
        }
        const std::thread::id audio = audioThread_.load(std::memory_order_relaxed);
        return audio == std::thread::id{} || audio == std::this_thread::get_id();
    }
    // The waiting request (0 for none), taken: by the audio thread at the start of an open
    // block, or by the thread that handOver() told to apply it.
    std::uint32_t takeHandOver() noexcept { return handOver_.exchange(0, std::memory_order_acquire); }
    std::uint32_t pendingHandOver() const noexcept { return handOver_.load(std::memory_order_relaxed); }
    // Audio thread, between blocks: the calling thread is the audio thread from now on (a
    // format that sets parameters on it before its first block says so first).
    void claimAudioThread() noexcept { audioThread_.store(std::this_thread::get_id(), std::memory_order_relaxed); }
    // The effect is suspended: until a block runs again, requests are applied at once.
    void forgetAudioThread() noexcept { audioThread_.store(std::thread::id{}, std::memory_order_relaxed); }
    bool onAudioThread() const noexcept {
        return audioThread_.load(std::memory_order_relaxed) == std::this_thread::get_id();
    }

    bool replacing() const noexcept { return replacements_.load(std::memory_order_relaxed) != 0; }
    std::uint32_t blockSequence() const noexcept {
        return blockSequence_.load(std::memory_order_relaxed);
    }

    // Other threads, after publishing new arrays (seq_cst): returns once the block under
    // way at the call (if any) has left; at once when none is. The audio thread is never
    // waited for longer than that one block, and never waits itself.
    void waitForBlockEnd() noexcept;

private:

    std::atomic<std::uint32_t> blockSequence_{0};
    std::atomic<std::int32_t> replacements_{0};
    std::atomic<std::uint32_t> handOver_{0};
    std::atomic<std::thread::id> audioThread_{};
};

}  // namespace grainwheel
