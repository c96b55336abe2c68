#pragma once
// The 16 stereo audio buffers and the hand-shake that lets other threads replace their
// sample arrays while the audio thread may be running.
//
// A buffer's arrays and length change only inside a BufferGate::Replacement. The audio
// thread calls BufferGate::enterBlock() at the start of every block: when it answers
// true, no replacement is under way and every buffer's arrays and length stay valid and
// unchanged until leaveBlock(); when it answers false, the block must not touch any
// buffer. A replacement waits, after raising the gate, until the block under way (if
// any) has left, so an old array is freed only once the audio thread provably no longer
// reads it. The audio thread never waits and never locks.
//
// Changes of the voices and the play head that need no new array (a buffer selection,
// stopping every voice for a new voice count) do not raise the gate while the audio
// thread runs: they are handed over in one word that the audio thread takes at the start
// of its next block, so no block is rendered silent for them (see handOver()).

#include <atomic>
#include <cstdint>
#include <thread>

#include "engine/dsp/buffer_view.h"
#include "engine/shared_value.h"

namespace grainwheel {

constexpr int kNumBuffers = 16;

struct AudioBuffer {
    // length + 1 frames each; the last frame is a guard copy of frame 0. Null when empty.
    std::atomic<float*> left{nullptr};
    std::atomic<float*> right{nullptr};
    std::atomic<std::int32_t> length{0};  // frames; 0 = empty
    Shared<std::uint8_t> saved{1};        // 1 = stored in a file, or empty
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

inline BufferFrames framesOf(const AudioBuffer& b) noexcept {
    BufferFrames v;
    v.left = b.left.load(std::memory_order_acquire);
    v.right = b.right.load(std::memory_order_acquire);
    v.length = b.length.load(std::memory_order_acquire);
    if (v.left == nullptr || v.right == nullptr) v.length = 0;
    return v;
}

// What another thread hands to the audio thread, merged into one word: the buffer to
// select (+ 1, 0 for none), stop every voice, the voice count to set (0 for none).
struct HandOver {
    static constexpr std::uint32_t kSelectMask = 0x1f;
    static constexpr std::uint32_t kStopVoices = 0x100;
    static constexpr int kCountShift = 12;
    static constexpr std::uint32_t kCountMask = 0xfu << kCountShift;

    static constexpr std::uint32_t select(int buffer) { return static_cast<std::uint32_t>(buffer + 1) & kSelectMask; }
    static constexpr std::uint32_t voiceCount(int count) {
        return kStopVoices | ((static_cast<std::uint32_t>(count) << kCountShift) & kCountMask);
    }
    static constexpr int selectedBuffer(std::uint32_t w) { return static_cast<int>(w & kSelectMask) - 1; }
    static constexpr int newVoiceCount(std::uint32_t w) { return static_cast<int>((w & kCountMask) >> kCountShift); }
    // A later request replaces an earlier one's buffer and count; stopping accumulates.
    static constexpr std::uint32_t merge(std::uint32_t older, std::uint32_t newer) {
        std::uint32_t w = (older | newer) & kStopVoices;
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
    // The effect is suspended: until a block runs again, requests are applied at once.
    void forgetAudioThread() noexcept { audioThread_.store(std::thread::id{}, std::memory_order_relaxed); }
    bool onAudioThread() const noexcept {
        return audioThread_.load(std::memory_order_relaxed) == std::this_thread::get_id();
    }

    bool replacing() const noexcept { return replacements_.load(std::memory_order_relaxed) != 0; }
    std::uint32_t blockSequence() const noexcept {
        return blockSequence_.load(std::memory_order_relaxed);
    }

private:
    void waitForBlockEnd() noexcept;

    std::atomic<std::uint32_t> blockSequence_{0};
    std::atomic<std::int32_t> replacements_{0};
    std::atomic<std::uint32_t> handOver_{0};
    std::atomic<std::thread::id> audioThread_{};
};

}  // namespace grainwheel
