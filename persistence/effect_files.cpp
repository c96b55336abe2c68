// The file operations of one engine (see effect_files_.h) and the file state they keep.

#include <array>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "persistence/effect_files.h"
#include "engine/rate_conversion.h"
#include "persistence/bank_file.h"
#include "persistence/effect_state.h"
#include "persistence/file_system.h"
#include "persistence/host_chunk.h"
#include "persistence/list_paths.h"
#include "persistence/messages.h"
#include "persistence/recovery_banks.h"
#include "persistence/wave_file.h"
#include "platform/ask_capability.h"
#include "platform/dialogs.h"
#include "platform/paths.h"

namespace grainwheel {

EffectFileState::EffectFileState() {
    std::memset(bankName, 0, sizeof bankName);
    std::memset(listFilePath, 0, sizeof listFilePath);
    copyPath(bankName, kVersionText);
}

bool copyPath(char (&area)[kPathSize], const char* text) {
    const std::size_t n = text ? std::strlen(text) : 0;
    if (n >= kPathSize) {
        area[0] = 0;
        return false;
    }
    std::memcpy(area, text ? text : "", n);
    area[n] = 0;
    return true;
}

namespace {

// Paths longer than a path area holds are refused before anything is opened.
bool pathTooLong(const char* path) { return std::strlen(path) >= kPathSize; }


void reportRecovery(const std::string& path) {
    if (path.empty())
        std::fputs("grainwheel: unsaved audio could not be written to a recovery bank\n", stderr);
    else
        std::fprintf(stderr, "grainwheel: unsaved audio written to %s\n", path.c_str());
}

// The buffers as a writer stores them, and the records with each buffer's rate in its
// record (the engine keeps them so; taken here from the same published records as the
// views).
using Records = std::array<ProgramRecord, kNumPrograms>;
std::unique_ptr<Records> bufferViews(GrainEngine& e, BufferView (&out)[kNumPrograms]) {
    std::unique_ptr<Records> records(new (std::nothrow) Records);
    if (records) std::memcpy(static_cast<void*>(records->data()), e.programs().records(), kBankChunkSize);
    for (int k = 0; k < kNumPrograms; ++k) {
        std::uint32_t generation = 0;
        const AudioBuffer& b = e.buffers().buffer(k);
        const BufferFrames f = framesOf(b, &generation);
        out[k] = BufferView{f.left, f.right, f.empty() ? 0 : f.length};
        if (records) setRecordedRate((*records)[k], f.empty() ? 0 : b.rateOf(generation));
    }
    return records;
}

}  // namespace

// Brings audio read from a file to the working rate (audio at it stays untouched). False
// when memory is short; a rate the converter cannot take leaves the audio at its own.
bool toWorkingRate(SampleArrays& a, int workingRate) {
    if (a.empty() || a.rate == workingRate) return true;
    ConvertedAudio out;
    const RateConversion r = convertRate(viewOf(a), a.rate, workingRate, out);
    if (r == RateConversion::OutOfMemory) return false;
    if (r != RateConversion::Converted) return true;
    a.left.reset(out.left);
    a.right.reset(out.right);
    a.length = out.frames;
    a.rate = workingRate;
    return true;
}

EffectFiles::EffectFiles(GrainEngine& engine, FileHost* host, DialogsSource dialogs)
    : engine_(engine), host_(host), dialogs_(dialogs) {}

// Loads a WAV file into buffer n; the record of buffer n then names the file.
FileResult EffectFiles::loadWave(int n, const char* path) {
    SampleArrays arrays;
    const FileResult r = grainwheel::readWaveFile(path, arrays);
    if (r != kFileOk) return r;
    if (!toWorkingRate(arrays, engine_.workingRate())) return kFileOutOfMemory;
    // The engine plays on: blocks meanwhile use the old audio or the new.
    const int frames = arrays.length;
    engine_.replaceBufferArrays(n, arrays.left.release(), arrays.right.release(), frames, arrays.rate);
    engine_.markBufferSaved(n);
    copyPath(engine_.programs().records()[n].bufferPath, path);
    engine_.setHalted(false);
    engine_.notify(EngineNotice::BuffersChanged);
    return kFileOk;
}

// After a load: the stored current program and its buffer become current.
void EffectFiles::reselect() {
    engine_.setProgram(engine_.programs().records()[0].currentProgram);
    engine_.selectBuffer(engine_.getCurrentBuffer());
}

// The folder of the plug-in: the host's answer, else the library's own location.
std::string EffectFiles::pluginFolder() {
    if (const char* folder = host_ ? host_->hostFolder() : nullptr; folder && *folder) return folder;
    char own[kPathSize];
    if (platform::pluginDirectory(own, sizeof own)) return own;
    return {};
}

// Writes every buffer to a new bank in the user's data folder, never over an older one;
// once it is written, only the newest few recovery banks are kept.
std::string EffectFiles::writeRecoveryBank() {
    const std::string dir = pluginFolder();
    const std::string base = fallbackBankPath(currentPathContext(dir.empty() ? nullptr : dir.c_str()));
    if (base.empty()) return {};
    makeDirectories(parentFolder(base));
    const std::string path = recoveryBankName(base);
    if (path.empty() || fileExists(path.c_str())) return {};
    const auto reads = engine_.buffers().holdReads();
    BufferView v[kNumPrograms];
    const std::unique_ptr<Records> records = bufferViews(engine_, v);
    if (!records || grainwheel::writeBankFile(path.c_str(), *records, v) != kFileOk) return {};
    for (int k = 0; k < kNumPrograms; ++k)
        if (!v[k].empty()) engine_.markBufferSaved(k);
    pruneRecoveryBanks(base, path);
    return path;
}

FileResult EffectFiles::writeBankFile(const char* path) {
    if (path == nullptr || !engine_.usable()) return kFileWriteFailed;
    if (pathTooLong(path)) return kFileNameTooLong;
    if (fileExists(path) && !dialogs_().askYesNo(kOverwriteFileTitle, kOverwriteFileText))
        return kFileExists;
    const auto reads = engine_.buffers().holdReads();
    BufferView v[kNumPrograms];
    const std::unique_ptr<Records> records = bufferViews(engine_, v);
    if (!records) return kFileWriteFailed;
    const FileResult r = grainwheel::writeBankFile(path, *records, v);
    if (r != kFileOk) return r;
    for (int k = 0; k < kNumPrograms; ++k)
        if (!v[k].empty()) engine_.markBufferSaved(k);
    return kFileOk;
}

FileResult EffectFiles::readBankFile(const char* path) {
    if (path == nullptr || !engine_.usable()) return kFileOpenFailed;
    if (pathTooLong(path)) return kFileNameTooLong;
    std::unique_ptr<BankContents> bank(new (std::nothrow) BankContents);
    if (!bank) return kFileAllocationFailed;
    const FileResult r = grainwheel::readBankFile(path, *bank);
    if (r != kFileOk) return r;
    // Each buffer at its record's rate is brought to the working rate before anything
    // changes; audio at the working rate keeps its bits.
    if (bank->replacesBuffers)
        for (SampleArrays& a : bank->buffers)
            if (!toWorkingRate(a, engine_.workingRate())) return kFileAllocationFailed;

    bool replace = bank->replacesBuffers;
    if (replace && files_.restoringState == 0 && engine_.buffers().anyUnsaved())
        replace = dialogs_().askYesNo(kOverwriteBufferTitle, kOverwriteBufferText);
    for (int k = 0; k < kNumPrograms; ++k) {
        engine_.storeRecord(k, bank->programs[k]);
        // Declined: the old audio stays, and with it its saved state.
        if (!replace) engine_.keepRecordSaved(k);
    }
    if (replace) {
        engine_.notify(EngineNotice::BuffersChanged);
        for (int k = 0; k < kNumPrograms; ++k) {
            SampleArrays& a = bank->buffers[k];
            const int frames = a.length;
            engine_.replaceBufferArrays(k, a.left.release(), a.right.release(), frames, a.rate);
            engine_.markBufferSaved(k);
        }
    }
    reselect();
    engine_.setHalted(false);
    engine_.setParameter(kRedrawAll, 1.0f);
    return kFileOk;
}

FileResult EffectFiles::importBankOptions(const char* path) {
    if (path == nullptr || !engine_.usable()) return kFileOpenFailed;
    if (pathTooLong(path)) return kFileNameTooLong;
    float settings[kNumGlobalSettings];
    const FileResult r = readBankOptionsFile(path, settings);
    if (r != kFileOk) return r;
    sanitiseSettings(settings);
    std::memcpy(engine_.programs().records()[0].globalSettings, settings, sizeof settings);
    engine_.setProgram(engine_.getProgram());
    engine_.setParameter(kRedrawAll, 1.0f);
    return kFileOk;
}

FileResult EffectFiles::readWaveFile(const char* path) {
    if (path == nullptr || !engine_.usable()) return kFileOpenFailed;
    if (pathTooLong(path)) return kFileNameTooLong;
    return loadWave(engine_.getCurrentBuffer(), path);
}

FileResult EffectFiles::writeWaveFile(const char* path) {
    if (path == nullptr || !engine_.usable()) return kFileWriteFailed;
    if (pathTooLong(path)) return kFileNameTooLong;
    const int n = engine_.getCurrentBuffer();
    const AudioBuffer& buffer = engine_.buffers().buffer(n);
    if (framesOf(buffer).empty()) return kFileBufferEmpty;
    if (fileExists(path) && !dialogs_().askYesNo(kOverwriteFileTitle, kOverwriteFileText))
        return kFileExists;
    // Asked before the arrays are held: nothing waits on the user.
    const auto reads = engine_.buffers().holdReads();
    std::uint32_t generation = 0;
    const BufferFrames f = framesOf(buffer, &generation);
    if (f.empty()) return kFileBufferEmpty;
    // At the rate the audio is at (16-bit stereo, as always).
    const int rate = buffer.rateOf(generation);
    const FileResult r = grainwheel::writeWaveFile(path, BufferView{f.left, f.right, f.length},
                                                   rate > 0 ? rate : engine_.workingRate(), WaveEncoding::Pcm16);
    if (r != kFileOk) return r;
    engine_.markBufferSaved(n);
    copyPath(engine_.programs().records()[n].bufferPath, path);
    return kFileOk;
}

std::int32_t EffectFiles::setChunk(const void* data, std::int32_t byteSize, bool isPreset) {
    ProgramRecord* programs = engine_.programs().records();
    if (data == nullptr || !engine_.usable() || byteSize < 0) return 0;
    const auto size = static_cast<std::size_t>(byteSize);
    ReloadErrors errors;
    if (isPreset) {
        ProgramRecord record;
        if (!readProgramChunk(data, size, record)) return 0;
        const std::int32_t current = engine_.getProgram();
        engine_.storeRecord(current, record);
        programs[0].currentProgram = current;  // a program's chunk never switches programs
    } else {
        files_.restoringState = 1;
        std::unique_ptr<std::array<ProgramRecord, kNumPrograms>> records(
            new (std::nothrow) std::array<ProgramRecord, kNumPrograms>);
        if (!records || !readBankChunk(data, size, *records)) {
            files_.restoringState = 0;
            return 0;
        }
        const auto reloads = bankChunkReloads(data);
        for (int j = 0; j < kNumPrograms; ++j) {
            const BufferReload& reload = reloads[j];
            if (reload.kind == BufferReload::kPathTooLong) {
                errors.addPathTooLong();
            } else if (reload.kind == BufferReload::kLoad) {
                char kept[kPathSize];
                std::memcpy(kept, files_.bankName, kPathSize);
                copyPath(files_.bankName, reload.path.c_str());
                if (loadWave(j, reload.path.c_str()) != kFileOk) {
                    errors.addFailed(reload.path);
                    std::memcpy(files_.bankName, kept, kPathSize);
                }
            }
        }
        for (int k = 0; k < kNumPrograms; ++k) engine_.storeRecord(k, (*records)[k]);
    }
    reselect();
    if (errors.any()) dialogs_().showMessage(kRecoveryErrorTitle, errors.text().c_str());
    engine_.setParameter(kRedrawAll, 1.0f);
    files_.restoringState = 0;
    return 1;
}

void EffectFiles::loadRecentBankList() {
    const std::string dir = pluginFolder();
    const std::string list = recentListPath(currentPathContext(dir.empty() ? nullptr : dir.c_str()));
    copyPath(files_.listFilePath, list.c_str());
    if (files_.listFilePath[0] == 0 || !files_.recentBanks.load(files_.listFilePath))
        files_.recentBanks.clear();
}

void EffectFiles::recordRecentBank(const char* path) {
    if (path == nullptr || !files_.recentBanks.record(path)) return;
    if (files_.listFilePath[0] != 0) files_.recentBanks.save(files_.listFilePath);
}

void EffectFiles::closing(bool editorPresent) {
    if (!engine_.buffers().anyUnsaved()) return;
    platform::Dialogs& d = dialogs_();
    if (!platform::canAsk(d)) {
        // Nobody can be asked: keep the audio rather than drop it.
        reportRecovery(writeRecoveryBank());
        return;
    }
    if (!d.askYesNo(kExitTitle, kExitText)) return;
    // Without an editor the save still runs: a Yes must not lose the audio.
    if (editorPresent) engine_.notify(EngineNotice::ExitSave);
    else exitSave();
}

FileResult EffectFiles::exitSave() {
    char path[platform::kFileSelectionSize] = {};
    platform::FileSelectRequest request;
    request.mode = platform::FileSelectRequest::Mode::Save;
    request.title = kSaveBankTitle;
    request.typeName = kBankTypeName;
    request.extension = kBankExtension;
    platform::Dialogs& d = dialogs_();
    if (!d.selectFile(request, path) || path[0] == 0) return kFileDoneNothing;
    path[sizeof path - 1] = 0;
    std::string target = path;
    const bool hasExtension = target.size() >= 4 && target.compare(target.size() - 4, 4, ".grb") == 0;
    if (target.size() + (hasExtension ? 0 : 4) > kPathSize - 1) {
        const std::string dir = pluginFolder();
        target = fallbackBankPath(currentPathContext(dir.empty() ? nullptr : dir.c_str()));
        d.showMessage(kFileMessageTitle, fallbackBankMessage(target).c_str());
        makeDirectories(parentFolder(target));
    } else if (!hasExtension) {
        target += ".grb";
    }
    const FileResult r = writeBankFile(target.c_str());
    if (r == kFileWriteFailed) {
        // The chosen place cannot take the bank: the audio still must not be lost.
        reportRecovery(writeRecoveryBank());
    }
    return r;
}

}  // namespace grainwheel
