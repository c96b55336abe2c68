#include "engine/audio_buffer.h"

#include <chrono>
#include <thread>

namespace grainwheel {

namespace {
// Between two checks of a wait: what is waited for is short (one block, one view's
// drawing), so yield first, then sleep.
void pause(int& spins) {
    if (++spins < 64)
        std::this_thread::yield();
    else
        std::this_thread::sleep_for(std::chrono::microseconds(200));
}
}  // namespace

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
    while (blockSequence_.load(std::memory_order_acquire) == seen) pause(spins);
}

BufferReaders::Reading::Reading(BufferReaders* readers) noexcept : readers_(readers) {
    if (readers_ == nullptr) return;
    for (;;) {
        // Counted under the epoch seen before and after counting: a freeing thread that
        // advanced the epoch in between may have missed the count, so count again.
        const std::uint32_t epoch = readers_->epoch_.load(std::memory_order_seq_cst);
        parity_ = epoch & 1u;
        readers_->readings_[parity_].fetch_add(1, std::memory_order_seq_cst);
        if (readers_->epoch_.load(std::memory_order_seq_cst) == epoch) return;
        readers_->readings_[parity_].fetch_sub(1, std::memory_order_release);
    }
}

BufferReaders::Reading::~Reading() {
    // Release: every read of the arrays comes before the free that waited for this.
    if (readers_ != nullptr) readers_->readings_[parity_].fetch_sub(1, std::memory_order_release);
}

BufferFrames BufferReaders::Reading::frames(const AudioBuffer& b) const noexcept {
    // The audio thread may publish the spare into the buffer without waiting, and then
    // another thread may refill the slot read here: taken again until the generation
    // stood still around the read, so the arrays and length belong together.
    for (;;) {
        std::uint32_t generation = 0;
        const BufferFrames f = framesOf(b, &generation);
        if (b.generation.load(std::memory_order_seq_cst) == generation) return f;
    }
}

void BufferReaders::waitForReaders() noexcept {
    const std::lock_guard<std::mutex> one(waiting_);
    // The new record was published (seq_cst) before the epoch advances: a reading counted
    // under the new parity takes it, one counted under the old parity is waited for.
    const std::uint32_t old = epoch_.fetch_add(1, std::memory_order_seq_cst) & 1u;
    int spins = 0;
    while (readings_[old].load(std::memory_order_seq_cst) != 0) pause(spins);
}

}  // namespace grainwheel
