#include "engine/buffer_bank.h"

#include <new>

#include "engine/conversions.h"

namespace grainwheel {

BufferBank::~BufferBank() {
    for (AudioBuffer& b : buffers_) {
        delete[] b.left.exchange(nullptr);
        delete[] b.right.exchange(nullptr);
        b.length = 0;
    }
    delete[] spareLeft_;
    delete[] spareRight_;
    delete[] retiredLeft_;
    delete[] retiredRight_;
}

bool BufferBank::anyUnsaved() const {
    for (const AudioBuffer& b : buffers_)
        if (b.saved == 0) return true;
    return false;
}

bool BufferBank::anyAtOtherRate(int rate) const {
    for (const AudioBuffer& b : buffers_) {
        const int own = b.rate.load(std::memory_order_acquire);
        if (own > 0 && own != rate) return true;
    }
    return false;
}

std::uint32_t BufferBank::takePublished() noexcept {
    std::uint32_t changed = 0;
    for (int n = 0; n < kNumBuffers; ++n) {
        if (buffers_[n].generation.load(std::memory_order_seq_cst) == heldGeneration_[n]) continue;
        held_[n] = framesOf(buffers_[n], &heldGeneration_[n]);
        changed |= 1u << n;
    }
    return changed;
}

bool BufferBank::heldFromConversion(int n, std::int32_t& inputFrames) const noexcept {
    const std::uint64_t converted = convertedFrom_[n].load(std::memory_order_relaxed);
    if (static_cast<std::uint32_t>(converted >> 32) != heldGeneration_[n]) return false;
    inputFrames = static_cast<std::int32_t>(converted & 0xffffffffu);
    return true;
}

// Fills the unpublished slot and publishes it; answers the old record's arrays.
std::pair<float*, float*> BufferBank::publish(int n, float* left, float* right, int frames, int rate) noexcept {
    AudioBuffer& b = buffers_[n];
    if (left == nullptr) rate = 0;
    const std::uint32_t g = b.generation.load(std::memory_order_relaxed);
    AudioBuffer::Arrays& old = b.slots[g & 1u];
    AudioBuffer::Arrays& next = b.slots[(g + 1u) & 1u];
    const std::pair<float*, float*> gone{old.left.load(std::memory_order_relaxed),
                                         old.right.load(std::memory_order_relaxed)};
    next.left.store(left, std::memory_order_release);
    next.right.store(right, std::memory_order_release);
    next.length.store(frames, std::memory_order_release);
    next.rate.store(rate, std::memory_order_relaxed);
    b.generation.store(g + 1u, std::memory_order_seq_cst);
    b.left.store(left, std::memory_order_release);
    b.right.store(right, std::memory_order_release);
    b.length.store(frames, std::memory_order_release);
    b.rate.store(rate, std::memory_order_release);
    return gone;
}

// Each buffer's `writing` flag is held while its arrays are read and converted: no other
// thread replaces (and frees) them meanwhile, and the audio thread's rec free / rec sync
// does not take the spare into it.
RateConversion BufferBank::convert(int n, int rate, ConvertedAudio& out) {
    AudioBuffer& buffer = buffers_[n];
    claimWriting(buffer);
    std::uint32_t generation = 0;
    const BufferFrames frames = framesOf(buffer, &generation);
    const int own = buffer.rateOf(generation);
    RateConversion result = RateConversion::Unusable;
    if (!frames.empty() && own > 0 && own != rate) result = convertRate(frames.view(), own, rate, out);
    if (result != RateConversion::Converted) {
        buffer.writing.store(false, std::memory_order_release);
        return result;
    }
    // The record published next (this thread holds `writing`) comes from this conversion.
    convertedFrom_[n].store((static_cast<std::uint64_t>(generation + 1u) << 32) |
                                static_cast<std::uint32_t>(out.inputFrames),
                            std::memory_order_relaxed);
    return result;
}

bool BufferBank::takeSpare(int n, int frames, int rate) noexcept {
    if (!spareReady_.load(std::memory_order_acquire)) return false;
    AudioBuffer& buffer = buffers_[n];
    bool idle = false;
    if (!buffer.writing.compare_exchange_strong(idle, true, std::memory_order_acquire)) return false;
    // Between two blocks of this thread: no block reads the old arrays any more, but
    // freeing is no work for the audio thread; makeSpare() does it.
    const auto [oldLeft, oldRight] = publish(n, spareLeft_, spareRight_, frames, rate);
    buffer.writing.store(false, std::memory_order_release);
    retiredLeft_ = oldLeft;
    retiredRight_ = oldRight;
    spareLeft_ = nullptr;
    spareRight_ = nullptr;
    spareReady_.store(false, std::memory_order_release);
    return true;
}

bool BufferBank::makeSpare() {
    if (spareReady_.load(std::memory_order_acquire)) return true;
    // The arrays the spare replaced: no block reads them (the audio thread published the
    // spare between two of its blocks), but the panel's views may.
    if (retiredLeft_ != nullptr || retiredRight_ != nullptr) readers_.waitForReaders();
    delete[] retiredLeft_;
    delete[] retiredRight_;
    retiredLeft_ = nullptr;
    retiredRight_ = nullptr;
    if (spareLeft_ == nullptr) spareLeft_ = newSampleArray(kMaxBufferFrames);
    if (spareRight_ == nullptr) spareRight_ = newSampleArray(kMaxBufferFrames);
    if (spareLeft_ == nullptr || spareRight_ == nullptr) return false;
    spareReady_.store(true, std::memory_order_release);
    return true;
}

float* BufferBank::newSampleArray(int frames) {
    if (frames <= 0 || frames > kMaxBufferFrames) return nullptr;
    return new (std::nothrow) float[static_cast<std::size_t>(frames) + 1]();
}

}  // namespace grainwheel
