#pragma once
// GrainEngine: the granular sequencer itself, free of any plug-in format. It composes
// the engine's parts and does what spans several of them (a buffer selection, the rec
// modes, the hand-over to the audio thread, the deferred work, the block itself):
//  - Sequencer (sequencer.h): transport, units, play head;
//  - VoiceBank (voices.h): the six voices and the output filters;
//  - BufferBank (buffer_bank.h): the 16 buffers, the gate, the readings, the spare, the
//    rate conversion;
//  - Recorder (recorder.h), BufferMorph (buffer_morph.h), the scope capture;
//  - ParameterModel (parameter_model.h): the 107 host parameters and the settings, their
//    names, labels and display texts, program application;
//  - ProgramBank (program_bank.h): the 16 records, the clipboard, names, the chunk.
// A plug-in adapter (plugin/grain_effect.h) owns one and maps its format's calls onto it;
// the engine reaches back only through EngineHost (transport, automation, questions) and
// EngineListener (the notices for the editor).
//
// The adapters' face, all a new format needs:
//  - lifecycle: process/processReplacing, suspend, resume, setWorkingRate, runDeferred;
//  - parameters: setParameter, getParameter; texts through parameters() (name, label,
//    display, automatable; parameter_table.h describes each parameter for a format to walk);
//  - programs: setProgram, getProgram; names, the clipboard and the chunk through
//    programs() (setName, name, nameOf, chunk); whole records in through storeRecord;
//  - buffers: selectBuffer, replaceBufferArrays, markBufferSaved; the arrays, the
//    readings and the file writers' hold through buffers().
//
// The sources: grain_engine.cpp (construction, notices, suspend and resume, the
// parameter entry and the deferred work), buffers.cpp (buffer selection, allocation,
// recording modes), buffer_rates.cpp (the working rate) and audio_loop.cpp (the block,
// which runs the parts).
//
// Threads. "Audio thread": the thread that calls processReplacing. "Other threads": the
// user-interface thread, the host's own threads and workers.
//  - processReplacing/process: the audio thread only. Never waits, allocates, locks, asks
//    or makes a system call (EngineHost::transport aside), and never skips a block.
//  - setParameter: any thread, between blocks on the audio thread. Buffer selection
//    (kSelectBuffer, kProgram) and the voice count take effect at the audio thread's next
//    block start while it runs (HandOver). On the audio thread, rec free / rec sync that
//    need a new buffer take the spare arrays (see below) and neither allocate nor free;
//    kill buffer's question, and a rec mode met while no spare is ready, are left to
//    runDeferred() (the adapter's worker, or an open editor's idle).
//  - setProgram, the parameter model's program changes, the clipboard, names: any thread
//    but the audio thread.
//  - allocateBuffer, eraseBuffer, replaceBufferArrays: other threads (the audio thread
//    only through rec free / rec sync). They publish the new arrays as one record, wait
//    until the block under way at that moment (if any) has left, then free the old
//    arrays; blocks meanwhile play on with the old or the new arrays, never silent. The
//    audio thread resets the voices itself at the block boundary where it takes a new
//    record (audio_buffer.h). Before freeing they also wait for the panel's readings of
//    the arrays (buffers().readers()); the audio thread never does.
//  - runDeferred: any thread but the audio thread; two callers at once are fine.
//  - The read accessors: any thread; every published word is a whole atomic word.
//  - EngineListener calls come from whichever thread made the change, the audio thread
//    included.

#include <atomic>
#include <cstdint>
#include <mutex>

#include "engine/audio_buffer.h"
#include "engine/buffer_bank.h"
#include "engine/buffer_morph.h"
#include "engine/display_publisher.h"
#include "engine/dsp/morph.h"
#include "engine/dsp/spectrum_transform.h"
#include "engine/engine_state.h"
#include "engine/parameter_index.h"
#include "engine/parameter_model.h"
#include "engine/program_bank.h"
#include "engine/program_record.h"
#include "engine/realtime.h"
#include "engine/recorder.h"
#include "engine/scope_capture.h"
#include "engine/sequencer.h"
#include "engine/voices.h"

namespace grainwheel {

// The engine's way back to whoever embeds it.
class EngineHost {
public:
    virtual ~EngineHost() = default;
    // The host's transport now, asking for the fields in `wanted`; false when the host
    // gives none. Called on the audio thread at every block start (the one call out that
    // processReplacing makes) and when rec sync starts.
    virtual bool transport(std::int32_t wanted, EngineTransport& out) = 0;
    // A parameter the engine changed by itself (next/previous program): the host records
    // it as automation. The engine has applied the value already.
    virtual void automated(int index, float value) = 0;
    // A yes/no question to the user; other threads only, never the audio thread.
    virtual bool askYesNo(const char* title, const char* text) = 0;
};

// Receives the engine's notices: the parameter echo (index, shown value) and the
// commands of EngineNotice. From any thread, the audio thread included: an implementation
// must neither block nor allocate.
class EngineListener {
public:
    virtual ~EngineListener() = default;
    virtual void engineNotice(int index, float value) = 0;
    // Everything shown may have changed (a program change): redraw when convenient.
    virtual void engineRefresh() = 0;
    // True while a user-interface thread calls GrainEngine::runDeferred() regularly (an
    // open editor's idle): an embedder's own worker may then leave the work to it. The
    // engine itself hands the work off the audio thread either way.
    virtual bool runsDeferredWork() const { return false; }
};

class GrainEngine : private ParameterEffects {
public:
    // The host and listener stay the caller's and must outlive the engine (either may be
    // null: no transport, no questions answered yes, no notices).
    explicit GrainEngine(EngineHost* host = nullptr, float sampleRate = 44100.0f);
    ~GrainEngine() override;
    GrainEngine(const GrainEngine&) = delete;
    GrainEngine& operator=(const GrainEngine&) = delete;

    // The listener of the notices; install it before the engine is shared between threads.
    void setListener(EngineListener* listener) { listener_ = listener; }

    // Parameters (the index space of parameter_index.h): the ParameterModel's, with rec
    // free, rec sync and kill buffer handed off the audio thread when they would allocate
    // or ask there (see above).
    void setParameter(std::int32_t index, float value);
    float getParameter(std::int32_t index) { return params.get(index); }

    // Programs: program k current with all its values and the settings applied.
    std::int32_t getProgram() const { return programs_.current(); }
    void setProgram(std::int32_t index) { params.applyProgram(index); }
    // Record k becomes a copy of `from`, while the audio thread may run: the fields it
    // writes (buffer number, rec free, rec sync, the saved flag and the path's first
    // character, which recording clears) are stored whole, and its rate bytes tell buffer
    // k's rate. Other threads; every whole record copied into a live one goes through here.
    void storeRecord(int k, const ProgramRecord& from);
    // False when the records could not be allocated (the engine is then unusable).
    bool usable() const { return programs_.usable(); }

    // Audio (audio_loop.cpp): one block of sampleFrames frames. A block reads or writes
    // buffer samples (and touches the voices) only when bufferGate().enterBlock() answered
    // true at its start, and then only the arrays of the records it took right after
    // (takeArrays); it ends with bufferGate().leaveBlock(). Both replace the output; the right output pointer may be
    // null, a null right input takes the left. Neither allocates, locks or makes a system
    // call apart from the host time query.
    void process(float** inputs, float** outputs, std::int32_t sampleFrames) GW_NONBLOCKING;
    void processReplacing(float** inputs, float** outputs, std::int32_t sampleFrames) GW_NONBLOCKING;
    // The host stops and restarts processing. resume() takes the sample rate: the
    // engine's working rate. The current buffer, when its audio is at another rate, is
    // converted by resume() itself, before any block records at the new rate: a take
    // going on through the change continues in the converted arrays at the same moment
    // (the write position follows the conversion's time scale), whole. The other
    // buffers at another rate are converted by the deferred work (runDeferred), never on
    // the audio thread; blocks play on with the old arrays meanwhile (at the old rate's
    // pitch) and take the converted ones at a block boundary, as with every replacement.
    // A host that changes the rate while blocks run (no suspend) leaves the current
    // buffer to the deferred work: what is recorded while it is converted is lost, and
    // what was recorded at the new rate before is converted as if at the old one; the
    // take's beginning stays and the take goes on at its moment.
    void suspend();
    void resume(float sampleRate);
    // The host's working rate changes (a host may tell it while the effect is
    // suspended, before it restores a chunk): loads from now on convert to it, and the
    // buffers at another rate are converted by the deferred work. resume() calls it too.
    void setWorkingRate(float sampleRate);
    // The working rate in whole frames per second (44100 when the host gave no usable
    // rate): the rate the blocks run at, and that recorded and loaded audio is kept at.
    int workingRate() const;
    // Halts the engine (no grains, no recording) while set.
    void setHalted(bool halted) { seq.halted = halted ? 1 : 0; }

    // Buffers and recording. selectBuffer may be called from any thread but never from
    // inside a block (the audio loop uses selectBufferInBlock): while an audio thread
    // runs, the selection takes effect at its next block start; otherwise at once.
    void selectBuffer(int n) override;
    // Gives the current buffer `frames` zeroed frames (-1 empties it). Other threads; on the
    // audio thread (rec free / rec sync there) it takes the spare instead of allocating.
    void allocateBuffer(int frames);
    // Asks whether to erase the current buffer and empties it on yes. Other threads only.
    void eraseBuffer() override;
    // Replaces buffer n's arrays by left/right (frames + 1 floats each, from
    // newSampleArray; ownership passes to the engine, null/0 empties the buffer; the
    // guard frame is set here). Publishes them, waits until the audio thread no longer
    // reads the old arrays, then frees them; the voices are reset at the block boundary.
    // Other threads only. The saved flags stay the caller's. The audio is at `rate`
    // frames per second (the working rate when not given or 0); the loaders convert it
    // to the working rate first (rate_conversion.h), a buffer left at another rate is
    // converted by the deferred work after the next resume.
    void replaceBufferArrays(int n, float* left, float* right, int frames, int rate = 0);
    // The arrays come from BufferBank::newSampleArray.
    int getCurrentBuffer() const { return currentBuffer; }
    // Buffer n's saved flag (and its record's copy): set after a file holds its audio.
    void markBufferSaved(int n);
    // Record n's copy of the saved flag follows buffer n's again (after a record from a
    // file was stored without its audio).
    void keepRecordSaved(int n);
    // Sends a notice of EngineNotice to the listener.
    void notify(EngineNotice n) { notify(noticeIndex(n), 1.0f); }

    // Work handed off the audio thread waits here: a new spare after the audio thread
    // took it (and freeing the arrays it replaced), kill buffer's question, a rec mode
    // met while no spare was ready. A thread that may block runs it (the adapter's
    // worker, an open editor's idle). Returns whether anything ran. Never call it on the
    // audio thread.
    //
    // After resume() at a new working rate it also converts every buffer at another rate
    // (one at a time, each published as any replacement is).
    //
    // The spare: one zeroed pair of the largest recordable size (882001 floats each,
    // 7,056,008 bytes for the pair), made at construction and again after each take.
    bool runDeferred();
    bool hasDeferred() const { return deferred_.load(std::memory_order_acquire) != 0; }

    // What the panel shows besides the snapshot: whole words, any thread.
    // The panel asks for the next capture (a Wanted) once it has drawn one.
    void requestCapture() { capture.request(); }
    int bufferLength(int n) const { return bank_.buffer(n).length.load(); }
    // The rate buffer n's audio is at, frames per second (record n's rate bytes tell the
    // same); 0 when the buffer is empty.
    int bufferRate(int n) const { return bank_.buffer(n).rate.load(); }
    int currentUnit() const { return seq.currentUnit; }
    float linkedDensity() const { return seq.linkedDensity; }
    // The recording byte is 1 once a frame was written: true when it was, and it is 0 again.
    bool takeRecordingMark() { return recorder_.takeMark(); }

    // The parts. The parameter model answers the texts and applies programs; values are
    // set through setParameter. The program bank holds the records, names, the clipboard
    // and the chunk. The buffer bank holds the arrays, the readings (BufferReaders), the
    // file writers' hold (holdReads) and the gate.
    ParameterModel& parameters() { return params; }
    const ParameterModel& parameters() const { return params; }
    ProgramBank& programs() { return programs_; }
    const ProgramBank& programs() const { return programs_; }
    BufferBank& buffers() { return bank_; }
    const BufferBank& buffers() const { return bank_; }
    // What the panel draws, published for it (display_publisher.h).
    DisplayPublisher& display() { return display_; }
    const DisplayPublisher& display() const { return display_; }
private:
    // Tests, fuzzers and benchmarks reach further in through it (engine_inspection.h).
    friend struct EngineInspection;
    // The display publisher reads the other parts' words at the end of each block.
    friend class DisplayPublisher;

    // Read-only views of the other parts (the display publisher, tests and benchmarks).
    const Sequencer& sequencer() const { return seq; }
    const TransportState& transport() const { return hostTime; }
    const Recorder& recorder() const { return recorder_; }
    const BufferMorph& morph() const { return morphing; }
    const VoiceBank& voiceBank() const { return voices; }
    const ScopeCapture& scopeCapture() const { return capture; }
    float currentBufferLength() const { return currentLengthFloat; }
    int previousBufferIndex() const { return previousBuffer; }

    // Sends a notice (parameter echo or EngineNotice) to the listener.
    void notify(std::int32_t index, float value);
    // Record one input frame into the current buffer (the audio loop calls it).
    void recordOneFrame(const BufferFrames& current, float inLeft, float inRight) noexcept GW_NONBLOCKING;
    bool queryTransport(std::int32_t wanted, EngineTransport& t);
    // True on the thread that ran the last block (a host automating from there).
    bool onAudioThread() const { return bank_.gate().onAudioThread(); }
    bool deferFromAudioThread(int index, float value);
    ProgramRecord& current() { return programs_.currentRecord(); }
    int setting(GlobalSetting s) const { return params.setting(s); }
    float bufferStartOf(int n) const { return params.bufferStart(n); }

    // ParameterEffects: what a parameter change does across the parts.
    int currentBufferIndex() const override { return currentBuffer; }
    int currentBufferFrames() const override { return currentLength; }
    void setCurrentBufferIndex(int n) override { currentBuffer = n; }
    void requestBuffer(float value) override;
    void setRecFree(float value) override;
    void setRecSync(float value) override;
    void setVoiceCount(float value) override;
    void notice(int index, float value) override { notify(index, value); }
    void refresh() override;
    bool listened() const override { return listener_ != nullptr; }
    void automated(int index, float value) override;

    // audio_loop.cpp (audio thread only)
    struct BlockContext;
    bool blockStart(std::int32_t sampleFrames, BlockContext& b) noexcept GW_NONBLOCKING;
    void unitSetup(const BlockContext& b) noexcept GW_NONBLOCKING;
    void sequenceEnd(BlockContext& b) noexcept GW_NONBLOCKING;
    void restartHead(BlockContext& b) noexcept GW_NONBLOCKING;
    void silenceVoices(BlockContext& b) noexcept GW_NONBLOCKING;
    void triggerVoice(int i, BlockContext& b) noexcept GW_NONBLOCKING;
    void afterGrainStart(int i) noexcept GW_NONBLOCKING;
    void voiceEnded(int i, BlockContext& b) noexcept GW_NONBLOCKING;
    void finishSyncedRecording() noexcept GW_NONBLOCKING;
    void abandonMorph() noexcept GW_NONBLOCKING;
    void outputStage(BlockContext& b, float l, float r, float inL, float inR, float& outL, float& outR) noexcept
        GW_NONBLOCKING;
    void silenceFromNonFinite(BlockContext& b, float* outLeft, float* outRight, int count) noexcept GW_NONBLOCKING;
    int quietRun(BlockContext& b, const float* inLeft, const float* inRight, float* outLeft, float* outRight, int at,
                 int count) noexcept GW_NONBLOCKING;

    // buffers.cpp
    // The buffer selection itself: the audio loop's morph calls it inside a block, the
    // hand-over at a block boundary.
    void selectBufferInBlock(int n) noexcept;
    // A change of the voices or the play head (HandOver words), made at a block boundary.
    void handToAudioThread(std::uint32_t request);
    void applyHandOver(std::uint32_t request) noexcept;
    // Audio thread (or the thread acting for it while none runs), at a block boundary:
    // takes each buffer's published record; a new one resets the voices.
    void takeArrays() noexcept;
    // Other threads: publishes buffer n's new record, hands `request` over, and frees the
    // old arrays once no block and no reading holds them.
    void publishArrays(int n, float* left, float* right, int frames, int rate, std::uint32_t request);
    // As publishArrays, with buffer n's `writing` flag claimed by the caller (released here).
    void publishClaimed(int n, float* left, float* right, int frames, int rate, std::uint32_t request);
    // buffer_rates.cpp: asks the deferred work to convert the buffers when one is at
    // another rate than the working rate; the conversion itself (runDeferred).
    void requestRateConversion();
    void convertBuffersToWorkingRate();
    // Buffer n converted to the working rate when it is at another; true when it was.
    bool convertToWorkingRate(int n);
    // Audio thread, between blocks: buffer n takes the spare as `frames` frames. False
    // (nothing changed) with no spare ready or another thread replacing buffer n.
    bool takeSpare(int n, int frames) noexcept;
    // Other threads: a new spare (BufferBank::makeSpare), or the deferred work tries again.
    void makeSpare();
    void stopRecordingModes();
    int framesForBeats(double beats) const;
    void markRecorded(int n);

    // Engine state. The parameter model refers to the parts before it: it comes after them.
    Sequencer seq;
    TransportState hostTime;
    BufferMorph morphing;
    ScopeCapture capture;
    DisplayPublisher display_;
    VoiceBank voices;
    SpectrumTransform transform;  // the morph's and the scope's, audio thread only

    // Buffers (index 0..15) and recording.
    BufferBank bank_;
    std::mutex deferredLock_;  // one runDeferred() at a time
    std::recursive_mutex handOverLock_;  // one thread applies a hand-over while no audio thread is known
    Shared<std::int32_t> currentBuffer{1};
    Shared<std::int32_t> previousBuffer{0};
    Shared<std::int32_t> currentLength{0};
    Shared<float> currentLengthFloat{0.0f};
    std::atomic<float*> currentLeft{nullptr};
    std::atomic<float*> currentRight{nullptr};
    Recorder recorder_;

    ProgramBank programs_;
    ParameterModel params{programs_, seq, hostTime, voices, morphing, recorder_, *this};

    EngineHost* host_ = nullptr;
    EngineListener* listener_ = nullptr;
    // Deferred work (bits of Deferred), set on the audio thread, run by runDeferred().
    enum Deferred : std::uint32_t {
        kDeferRecFree = 1,
        kDeferRecSync = 2,
        kDeferKillBuffer = 4,
        kDeferSpare = 8,
        kDeferRates = 16,
    };
    std::atomic<std::uint32_t> deferred_{0};
    Shared<float> deferredValues_[2];  // rec free, rec sync
};

}  // namespace grainwheel
