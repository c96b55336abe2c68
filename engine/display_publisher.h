#pragma once
// DisplayPublisher: the engine's side of what the panel draws (display_snapshot.h). The
// audio thread publishes the live values at the end of every block, and the scope trace
// once a capture is finished; the buffers' columns are computed off the audio thread
// (refreshColumns) when a buffer's record changed or frames were recorded into it. A
// panel copies all of it at its idle (copy). Everything is published through
// SequencedCells: no lock on the audio thread, no pointer into the engine for the panel.
//
// Threads: publishBlock on the audio thread only; copy, refreshColumns on any other
// thread (two callers at once are fine); the try* calls on the audio thread.

#include <atomic>
#include <cstdint>
#include <mutex>

#include "engine/display_snapshot.h"

namespace grainwheel {

class GrainEngine;

class DisplayPublisher {
public:
    DisplayPublisher() = default;
    DisplayPublisher(const DisplayPublisher&) = delete;
    DisplayPublisher& operator=(const DisplayPublisher&) = delete;

    // Audio thread, at the end of a block whose output peak was blockPeak. Neither
    // allocates, locks nor waits: when another thread is publishing the live values at
    // that moment (copy() while no block had run), this block's are left out.
    void publishBlock(const GrainEngine& engine, float blockPeak) noexcept;

    // Other threads: each buffer whose record changed since its columns were computed,
    // or that frames were recorded into since, gets new columns (read inside a reading,
    // so its arrays stay allocated meanwhile). Bit n of the answer: buffer n's changed.
    std::uint32_t refreshColumns(GrainEngine& engine);
    // Other threads: everything published, into out. When no block has published since
    // the last copy (the host runs no blocks) the live values are published from here.
    void copy(const GrainEngine& engine, DisplaySnapshot& out);

    // Audio thread (the live values and the trace are its own publications): single
    // attempts, false when the value could not be taken whole now.
    bool tryCopyLive(DisplayLive& out) const noexcept { return live_.tryCopy(out); }
    bool tryCopyTrace(ScopeTrace& out) const noexcept { return trace_.tryCopy(out); }
    bool tryCopyColumns(int n, BufferColumns& out) const noexcept { return columns_[n].tryCopy(out); }
    std::uint32_t traceSerial() const noexcept { return traceSerial_; }
    std::uint32_t columnsSerial(int n) const noexcept { return columnsSerial_[n].load(std::memory_order_acquire); }
    // True when refreshColumns would compute something (a buffer's record changed, or
    // frames were recorded, since the last computation). Any thread.
    bool columnsStale(const GrainEngine& engine) const noexcept;
    // The highest block peak since the last call (audio thread).
    float takePeak() noexcept {
        const float p = peakSinceTaken_;
        peakSinceTaken_ = 0.0f;
        return p;
    }

private:
    void publishLive(const GrainEngine& engine, float blockPeak) noexcept;

    SequencedCell<DisplayLive> live_;
    SequencedCell<ScopeTrace> trace_;
    SequencedCell<BufferColumns> columns_[kNumBuffers];

    // The live values' publisher, whichever thread holds the flag.
    std::atomic<bool> publishing_{false};
    DisplayLive liveScratch_;
    std::uint32_t publications_ = 0;
    std::uint32_t recordSerial_ = 0;
    std::int32_t publishedWritePosition_ = 0;
    std::atomic<std::uint32_t> blocks_{0};  // the blocks that published
    std::atomic<std::uint32_t> blocksCopied_{0};
    // The audio thread's.
    ScopeTrace traceScratch_;
    std::uint32_t traceSerial_ = 0;
    std::uint32_t finishesTaken_ = 0;
    float peakSinceTaken_ = 0.0f;
    // The columns' computation (under columnsLock_).
    std::mutex columnsLock_;
    BufferColumns columnsScratch_;
    std::atomic<std::uint32_t> columnsSerial_[kNumBuffers] = {};
    std::atomic<std::uint32_t> columnsGeneration_[kNumBuffers] = {};
    std::atomic<std::int32_t> columnsWritePosition_{0};
    int recordedBuffer_ = -1;
};

}  // namespace grainwheel
