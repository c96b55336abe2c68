// The engine's side of the panel's display (display_publisher.h), and the columns of a
// buffer (display_snapshot.h).

#include "engine/display_publisher.h"

#include <algorithm>

#include "engine/grain_engine.h"

namespace grainwheel {

void computeColumns(const BufferFrames& frames, BufferColumns& out) noexcept {
    std::fill(std::begin(out.thumbnail), std::end(out.thumbnail), 0.0f);
    std::fill(std::begin(out.waveform), std::end(out.waveform), 0.0f);
    out.hasAudio = frames.left != nullptr ? 1 : 0;
    out.length = frames.left != nullptr ? frames.length : 0;
    if (frames.left == nullptr) return;
    // The thumbnail: column x shows frame stride * (x - 1) (column 0 frame 0), stride the
    // whole frames per column; the guard frame is the last one read.
    const long last = frames.length;
    const float step = static_cast<float>(frames.length) / static_cast<float>(kThumbnailColumns);
    const long stride = step >= 1.0f ? static_cast<long>(step) : 0;
    for (int x = 0; x < kThumbnailColumns; ++x) {
        const long index = std::min(x == 0 ? 0 : stride * (x - 1), last);
        out.thumbnail[x] = frames.left[index];
    }
    // The waveform: column x shows frame stride * (x + 1).
    if (frames.length <= 0) return;
    const long wave = frames.length / kWaveformColumns;
    for (int x = 0; x < kWaveformColumns; ++x) out.waveform[x] = frames.left[std::min(wave * (x + 1), last)];
}

void DisplayPublisher::publishLive(const GrainEngine& e, float blockPeak) noexcept {
    if (publishing_.exchange(true, std::memory_order_acquire)) return;
    DisplayLive& d = liveScratch_;
    const Sequencer& seq = e.sequencer();
    d.publications = ++publications_;
    d.playPosition = seq.playPosition;
    d.grainLength = seq.grainLengthFloat;
    d.grainInterval = seq.grainInterval;
    d.currentLength = e.currentBufferLength();
    d.currentBuffer = e.getCurrentBuffer();
    d.previousBuffer = e.previousBufferIndex();
    d.currentUnit = seq.currentUnit;
    d.linkedDensity = seq.linkedDensity;
    const RecordState& rec = e.recorder().state();
    d.recording = rec.recording;
    d.recordWritePosition = rec.recordWritePosition;
    if (d.recordWritePosition != publishedWritePosition_) ++recordSerial_;
    publishedWritePosition_ = d.recordWritePosition;
    d.recordSerial = recordSerial_;
    d.peak = blockPeak;
    d.workingRate = e.workingRate();
    d.voiceCount = seq.voiceCount;
    for (int s = 0; s < kNumGlobalSettings; ++s) d.settings[s] = e.parameters().settings[s];
    for (int n = 0; n < kNumBuffers; ++n) {
        const AudioBuffer& b = e.buffers().buffer(n);
        const bool arrays = b.left.load(std::memory_order_relaxed) != nullptr &&
                            b.right.load(std::memory_order_relaxed) != nullptr;
        d.bufferLength[n] = arrays ? b.length.load(std::memory_order_relaxed) : 0;
        d.bufferRate[n] = b.rate.load(std::memory_order_relaxed);
        d.bufferState[n] = (arrays ? DisplayLive::kHasArrays : 0u) | (b.saved != 0 ? DisplayLive::kSaved : 0u);
    }
    live_.publish(d);
    publishing_.store(false, std::memory_order_release);
}

void DisplayPublisher::publishBlock(const GrainEngine& e, float blockPeak) noexcept {
    peakSinceTaken_ = std::max(peakSinceTaken_, blockPeak);
    publishLive(e, blockPeak);
    blocks_.fetch_add(1, std::memory_order_release);
    const ScopeCapture& c = e.scopeCapture();
    if (c.finishes == finishesTaken_ || c.stage() != CaptureStage::Finished) return;
    finishesTaken_ = c.finishes;
    ScopeTrace& t = traceScratch_;
    t.serial = ++traceSerial_;
    t.mode = static_cast<std::int32_t>(scopeModeOf(e.parameters().settings[kScopeViewMode]));
    std::copy(c.captureBuffer, c.captureBuffer + kScopeTraceValues, t.values);
    trace_.publish(t);
}

bool DisplayPublisher::columnsStale(const GrainEngine& e) const noexcept {
    if (e.recorder().state().recordWritePosition != columnsWritePosition_.load(std::memory_order_relaxed)) return true;
    for (int n = 0; n < kNumBuffers; ++n) {
        if (columnsSerial_[n].load(std::memory_order_relaxed) == 0) return true;
        if (e.buffers().buffer(n).generation.load(std::memory_order_relaxed) !=
            columnsGeneration_[n].load(std::memory_order_relaxed))
            return true;
    }
    return false;
}

std::uint32_t DisplayPublisher::refreshColumns(GrainEngine& e) {
    const std::lock_guard<std::mutex> hold(columnsLock_);
    const int current = e.getCurrentBuffer();
    const std::int32_t written = e.recorder().state().recordWritePosition;
    const bool recorded = written != columnsWritePosition_.load(std::memory_order_relaxed);
    std::uint32_t changed = 0;
    const BufferReaders::Reading reading(&e.buffers().readers());
    for (int n = 0; n < kNumBuffers; ++n) {
        const AudioBuffer& b = e.buffers().buffer(n);
        const std::uint32_t generation = b.generation.load(std::memory_order_acquire);
        // Frames recorded go to the current buffer (and, when it was switched meanwhile,
        // went to the one recorded before).
        const bool into = recorded && (n == current || n == recordedBuffer_);
        if (!into && columnsSerial_[n].load(std::memory_order_relaxed) != 0 &&
            generation == columnsGeneration_[n].load(std::memory_order_relaxed))
            continue;
        computeColumns(reading.frames(b), columnsScratch_);
        columnsScratch_.generation = generation;
        columnsScratch_.serial = columnsSerial_[n].load(std::memory_order_relaxed) + 1;
        columns_[n].publish(columnsScratch_);
        columnsGeneration_[n].store(generation, std::memory_order_relaxed);
        columnsSerial_[n].store(columnsScratch_.serial, std::memory_order_release);
        changed |= 1u << n;
    }
    if (recorded) recordedBuffer_ = current;
    columnsWritePosition_.store(written, std::memory_order_relaxed);
    return changed;
}

void DisplayPublisher::copy(const GrainEngine& e, DisplaySnapshot& out) {
    // No block has published since the last copy: the values as they stand.
    const std::uint32_t blocks = blocks_.load(std::memory_order_acquire);
    if (blocks == blocksCopied_.exchange(blocks, std::memory_order_relaxed)) publishLive(e, 0.0f);
    live_.copy(out.live);
    trace_.copy(out.trace);
    for (int n = 0; n < kNumBuffers; ++n) columns_[n].copy(out.buffers[n]);
}

}  // namespace grainwheel
