#include "engine/audio_buffer.h"

#include <chrono>
#include <thread>

namespace grainwheel {

BufferGate::Replacement::Replacement(BufferGate& gate) noexcept : gate_(gate) {
    gate_.replacements_.fetch_add(1, std::memory_order_seq_cst);
    gate_.waitForBlockEnd();
}

BufferGate::Replacement::~Replacement() {
    // Release: the new arrays and lengths are visible to the block that sees the gate open.
    gate_.replacements_.fetch_sub(1, std::memory_order_seq_cst);
}

void BufferGate::waitForBlockEnd() noexcept {
    // The gate was raised (seq_cst) before this read: a block that entered later sees it
    // and reads no buffer; a block that entered earlier shows as an odd sequence number.
    const std::uint32_t seen = blockSequence_.load(std::memory_order_seq_cst);
    if ((seen & 1u) == 0) return;
    int spins = 0;
    while (blockSequence_.load(std::memory_order_acquire) == seen) {
        if (++spins < 64)
            std::this_thread::yield();
        else
            std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
}

}  // namespace grainwheel
