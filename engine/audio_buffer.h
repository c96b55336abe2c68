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

#include <atomic>
#include <cstdint>

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

class BufferGate {
public:
    // Audio thread, block entry. True: buffers may be read until leaveBlock().
    bool enterBlock() noexcept {
        blockSequence_.fetch_add(1, std::memory_order_seq_cst);  // odd: a block is under way
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

    bool replacing() const noexcept { return replacements_.load(std::memory_order_relaxed) != 0; }
    std::uint32_t blockSequence() const noexcept {
        return blockSequence_.load(std::memory_order_relaxed);
    }

private:
    void waitForBlockEnd() noexcept;

    std::atomic<std::uint32_t> blockSequence_{0};
    std::atomic<std::int32_t> replacements_{0};
};

}  // namespace grainwheel
