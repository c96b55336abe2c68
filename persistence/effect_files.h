#pragma once
// EffectFiles: the file operations of one engine — bank files, WAV files, the host
// chunk's session restore, the recent-bank list, and what happens to unsaved audio when
// the plug-in closes. It works through GrainEngine's public interface only; its questions
// and messages go to the dialogs back end handed in from above.
//
// Threads: every operation runs on a thread that may block (the user-interface thread,
// or the host's thread for the chunk and its vendor-specific file calls), never on the
// audio thread. Each replaces buffer arrays through the engine, which waits for the block
// under way.

#include <cstdint>
#include <string>

#include "engine/grain_engine.h"
#include "persistence/effect_state.h"
#include "persistence/file_result.h"
#include "persistence/sample_arrays.h"
#include "platform/dialogs.h"

namespace grainwheel {

// What the file operations ask of the plug-in format: the folder the host reports for the
// plug-in (null or "" when it reports none).
class FileHost {
public:
    virtual ~FileHost() = default;
    virtual const char* hostFolder() = 0;
};

// Brings audio read from a file (or a host's state) to the working rate; audio at it stays
// untouched. False when memory is short; a rate the converter cannot take leaves the audio
// at its own.
bool toWorkingRate(SampleArrays& a, int workingRate);

class EffectFiles : public ExitSaveTarget {
public:
    using DialogsSource = platform::Dialogs& (*)();
    // The engine and host stay the caller's; host may be null. The dialogs back end is
    // looked up through `dialogs` at each question (tests swap it while an effect lives).
    EffectFiles(GrainEngine& engine, FileHost* host, DialogsSource dialogs = &platform::dialogs);

    // Each returns a FileResult; paths of 1024 characters or more give 24. The writers
    // ask before overwriting a file.
    FileResult readBankFile(const char* path);
    FileResult writeBankFile(const char* path);
    FileResult importBankOptions(const char* path);
    FileResult readWaveFile(const char* path);   // into the current buffer
    FileResult writeWaveFile(const char* path);  // the current buffer; 3 when it is empty
    // The host chunk: the 16 records (each naming its buffer's WAV file, reloaded here) or
    // one program's record. 1 when taken, 0 when refused.
    std::int32_t setChunk(const void* data, std::int32_t byteSize, bool isPreset);
    void loadRecentBankList();
    void recordRecentBank(const char* path);
    // The plug-in closes: unsaved audio is offered for saving (the editor, told by the
    // ExitSave notice, runs exitSave; without one it runs here), or, where nobody can be
    // asked, written to a recovery bank.
    void closing(bool editorPresent);
    // The save offered when the plug-in closes with unsaved audio.
    FileResult exitSave() override;

    EffectFileState& state() { return files_; }
    const EffectFileState& state() const { return files_; }

private:
    FileResult loadWave(int n, const char* path);
    void reselect();
    std::string pluginFolder();
    std::string writeRecoveryBank();

    GrainEngine& engine_;
    FileHost* host_;
    DialogsSource dialogs_;
    EffectFileState files_;
};

}  // namespace grainwheel
