#pragma once
// EffectPort: everything the editor asks of the effect, in one interface. The editor never
// sees the effect's class: each adapter gives the editor a port of its own (in plugin/,
// beside the adapter; the editor suites wrap one).
//
// Threads: the parameter calls and the file operations run on the user-interface thread.
// The published values are single words the audio thread writes; the port reads them
// whole, without a lock. What the views draw is a copy the panel owns (copyDisplay).

#include <atomic>
#include <cstdint>
#include <memory>

namespace grainwheel {

struct DisplaySnapshot;

using FileResult = int;

class EffectPort {
public:
    virtual ~EffectPort() = default;

    // Parameters and settings (one index space).
    virtual float getParameter(int index) = 0;
    virtual void setParameter(int index, float value) = 0;
    virtual void setParameterAutomated(int index, float value) = 0;
    virtual void getParameterDisplay(int index, char* text) = 0;
    // The user's gesture on a host parameter begins and ends (the host's touch and latch
    // automation follows them).
    virtual void beginEdit(int index) = 0;
    virtual void endEdit(int index) = 0;

    // Published engine values (the peak is read, and reset, as getParameter(kReadPeakLevel)).
    virtual int currentUnit() = 0;
    virtual int currentBuffer() = 0;
    virtual float linkedDensity() = 0;
    // The engine's recording byte: true when it is 1, which the call then sets to 0.
    virtual bool takeRecordingMark() = 0;
    virtual void setHalted(bool halted) = 0;
    // Ends every grain voice at once (their remaining-sample counts to 0).
    virtual void silenceVoices() = 0;
    // What the editor's views draw (display_snapshot.h), copied into the panel's own
    // snapshot at its idle.
    virtual void copyDisplay(DisplaySnapshot& out) = 0;
    // The small scope has drawn the last capture: the next one is wanted.
    virtual void requestCapture() = 0;

    // Buffers and the working sample rate.
    virtual int bufferLength(int b) = 0;       // frames, 0 when empty
    virtual bool bufferHasArrays(int b) = 0;   // both sample arrays exist
    virtual bool bufferSaved(int b) = 0;
    virtual const char* bufferPath(int b) = 0; // the path in program record b
    virtual float sampleRate() = 0;
    // The rate buffer b's audio is at (what its seconds are counted in): the working rate
    // unless the port knows the buffer's own.
    virtual float bufferRate(int b) {
        (void)b;
        return sampleRate();
    }

    // Files (each returns a file result code; 0 is success).
    virtual FileResult readWaveFile(const char* path) = 0;  // into the current buffer
    virtual FileResult writeWaveFile(const char* path) = 0;
    virtual FileResult readBankFile(const char* path) = 0;
    virtual FileResult writeBankFile(const char* path) = 0;
    virtual FileResult importBankOptions(const char* path) = 0;
    virtual const char* bankName() = 0;
    virtual void setBankName(const char* name) = 0;
    // The recent-bank list: entry i of 20, and recording a path at its top.
    virtual const char* recentBank(int i) = 0;
    virtual void recordRecentBank(const char* path) = 0;
    // The save offered when the plug-in closes with unsaved audio.
    virtual void exitSave() = 0;
};

}  // namespace grainwheel
