// GrainEffect's file operations: banks, WAV files, the host chunk's session restore, the
// recent-bank list, and what happens to unsaved audio when the plug-in closes.

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "engine/grain_effect.h"
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
    copyPath(bankName, kInitialBankName);
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

}  // namespace

// The effect's private state, reached by the file operations only.
struct EffectFiles {
    static bool anyUnsaved(const GrainEffect& e) {
        for (const AudioBuffer& b : e.audioBuffers)
            if (b.saved == 0) return true;
        return false;
    }

    static void views(GrainEffect& e, BufferView (&out)[kNumPrograms]) {
        for (int k = 0; k < kNumPrograms; ++k) {
            const BufferFrames f = framesOf(e.audioBuffers[k]);
            out[k] = BufferView{f.left, f.right, f.empty() ? 0 : f.length};
        }
    }

    static void markSaved(GrainEffect& e, int k) {
        e.audioBuffers[k].saved = 1;
        e.programs[k].bufferSaved = 1;
    }

    // Loads a WAV file into buffer n; the record of buffer n then names the file.
    static FileResult loadWave(GrainEffect& e, int n, const char* path) {
        SampleArrays arrays;
        const FileResult r = grainwheel::readWaveFile(path, arrays);
        if (r != kFileOk) return r;
        e.seq.halted = 1;
        const int frames = arrays.length;
        e.replaceBufferArrays(n, arrays.left.release(), arrays.right.release(), frames);
        markSaved(e, n);
        copyPath(e.programs[n].bufferPath, path);
        e.seq.halted = 0;
        e.notifyEditor(kBuffersChanged, 1.0f);
        return kFileOk;
    }

    // After a load: the stored current program and its buffer become current.
    static void reselect(GrainEffect& e) {
        e.setProgram(e.programs[0].currentProgram);
        e.selectBuffer(e.currentBuffer);
    }

    // The folder of the plug-in: the host's answer, else the library's own location.
    static std::string pluginFolder(GrainEffect& e) {
        if (const char* host = static_cast<const char*>(e.getDirectory()); host && *host)
            return host;
        char own[kPathSize];
        if (platform::pluginDirectory(own, sizeof own)) return own;
        return {};
    }

    // Writes every buffer to a new bank in the user's data folder, never over an older one;
    // once it is written, only the newest few recovery banks are kept.
    static std::string writeRecoveryBank(GrainEffect& e) {
        const std::string dir = pluginFolder(e);
        const std::string base = fallbackBankPath(currentPathContext(dir.empty() ? nullptr : dir.c_str()));
        if (base.empty()) return {};
        makeDirectories(parentFolder(base));
        const std::string path = recoveryBankName(base);
        if (path.empty() || fileExists(path.c_str())) return {};
        BufferView v[kNumPrograms];
        views(e, v);
        if (grainwheel::writeBankFile(path.c_str(), std::span<const ProgramRecord, kNumPrograms>(e.programs, kNumPrograms), v) != kFileOk)
            return {};
        for (int k = 0; k < kNumPrograms; ++k)
            if (!v[k].empty()) markSaved(e, k);
        pruneRecoveryBanks(base, path);
        return path;
    }

    static void reportRecovery(const std::string& path) {
        if (path.empty())
            std::fputs("grainwheel: unsaved audio could not be written to a recovery bank\n", stderr);
        else
            std::fprintf(stderr, "grainwheel: unsaved audio written to %s\n", path.c_str());
    }
};

FileResult GrainEffect::writeBankFile(const char* path) {
    if (path == nullptr || programs == nullptr) return kFileWriteFailed;
    if (pathTooLong(path)) return kFileNameTooLong;
    if (fileExists(path) && !platform::dialogs().askYesNo(kOverwriteFileTitle, kOverwriteFileText))
        return kFileExists;
    BufferView v[kNumPrograms];
    EffectFiles::views(*this, v);
    const FileResult r = grainwheel::writeBankFile(
        path, std::span<const ProgramRecord, kNumPrograms>(programs, kNumPrograms), v);
    if (r != kFileOk) return r;
    for (int k = 0; k < kNumPrograms; ++k)
        if (!v[k].empty()) EffectFiles::markSaved(*this, k);
    return kFileOk;
}

FileResult GrainEffect::readBankFile(const char* path) {
    if (path == nullptr || programs == nullptr) return kFileOpenFailed;
    if (pathTooLong(path)) return kFileNameTooLong;
    std::unique_ptr<BankContents> bank(new (std::nothrow) BankContents);
    if (!bank) return kFileAllocationFailed;
    const FileResult r = grainwheel::readBankFile(path, *bank);
    if (r != kFileOk) return r;

    seq.halted = 1;
    bool replace = bank->replacesBuffers;
    if (replace && files.restoringState == 0 && EffectFiles::anyUnsaved(*this))
        replace = platform::dialogs().askYesNo(kOverwriteBufferTitle, kOverwriteBufferText);
    for (int k = 0; k < kNumPrograms; ++k) {
        programs[k] = bank->programs[k];
        // Declined: the old audio stays, and with it its saved state.
        if (!replace) programs[k].bufferSaved = audioBuffers[k].saved;
    }
    if (replace) {
        notifyEditor(kBuffersChanged, 1.0f);
        for (int k = 0; k < kNumPrograms; ++k) {
            SampleArrays& a = bank->buffers[k];
            const int frames = a.length;
            replaceBufferArrays(k, a.left.release(), a.right.release(), frames);
            EffectFiles::markSaved(*this, k);
        }
    }
    EffectFiles::reselect(*this);
    seq.halted = 0;
    setParameter(kRedrawAll, 1.0f);
    return kFileOk;
}

FileResult GrainEffect::importBankOptions(const char* path) {
    if (path == nullptr || programs == nullptr) return kFileOpenFailed;
    if (pathTooLong(path)) return kFileNameTooLong;
    float settings[kNumGlobalSettings];
    const FileResult r = readBankOptionsFile(path, settings);
    if (r != kFileOk) return r;
    std::memcpy(programs[0].globalSettings, settings, sizeof settings);
    setProgram(curProgram);
    setParameter(kRedrawAll, 1.0f);
    return kFileOk;
}

FileResult GrainEffect::readWaveFile(const char* path) {
    if (path == nullptr || programs == nullptr) return kFileOpenFailed;
    if (pathTooLong(path)) return kFileNameTooLong;
    return EffectFiles::loadWave(*this, currentBuffer, path);
}

FileResult GrainEffect::writeWaveFile(const char* path) {
    if (path == nullptr || programs == nullptr) return kFileWriteFailed;
    if (pathTooLong(path)) return kFileNameTooLong;
    const int n = currentBuffer;
    const BufferFrames f = framesOf(audioBuffers[n]);
    if (f.empty()) return kFileBufferEmpty;
    if (fileExists(path) && !platform::dialogs().askYesNo(kOverwriteFileTitle, kOverwriteFileText))
        return kFileExists;
    const FileResult r = grainwheel::writeWaveFile(path, BufferView{f.left, f.right, f.length});
    if (r != kFileOk) return r;
    EffectFiles::markSaved(*this, n);
    copyPath(programs[n].bufferPath, path);
    return kFileOk;
}

VstInt32 GrainEffect::setChunk(void* data, VstInt32 byteSize, bool isPreset) {
    if (data == nullptr || programs == nullptr || byteSize < 0) return 0;
    const auto size = static_cast<std::size_t>(byteSize);
    ReloadErrors errors;
    if (isPreset) {
        ProgramRecord record;
        if (!readProgramChunk(data, size, record)) return 0;
        const std::int32_t current = curProgram;
        programs[current] = record;
        programs[0].currentProgram = current;  // a program's chunk never switches programs
    } else {
        files.restoringState = 1;
        std::unique_ptr<std::array<ProgramRecord, kNumPrograms>> records(
            new (std::nothrow) std::array<ProgramRecord, kNumPrograms>);
        if (!records || !readBankChunk(data, size, *records)) {
            files.restoringState = 0;
            return 0;
        }
        const auto reloads = bankChunkReloads(data);
        for (int j = 0; j < kNumPrograms; ++j) {
            const BufferReload& reload = reloads[j];
            if (reload.kind == BufferReload::kPathTooLong) {
                errors.addPathTooLong();
            } else if (reload.kind == BufferReload::kLoad) {
                char kept[kPathSize];
                std::memcpy(kept, files.bankName, kPathSize);
                copyPath(files.bankName, reload.path.c_str());
                if (EffectFiles::loadWave(*this, j, reload.path.c_str()) != kFileOk) {
                    errors.addFailed(reload.path);
                    std::memcpy(files.bankName, kept, kPathSize);
                }
            }
        }
        for (int k = 0; k < kNumPrograms; ++k) programs[k] = (*records)[k];
    }
    EffectFiles::reselect(*this);
    if (errors.any()) platform::dialogs().showMessage(kRecoveryErrorTitle, errors.text().c_str());
    setParameter(kRedrawAll, 1.0f);
    files.restoringState = 0;
    return 1;
}

void GrainEffect::loadRecentBankList() {
    const std::string dir = EffectFiles::pluginFolder(*this);
    const std::string list = recentListPath(currentPathContext(dir.empty() ? nullptr : dir.c_str()));
    copyPath(files.listFilePath, list.c_str());
    if (files.listFilePath[0] == 0 || !files.recentBanks.load(files.listFilePath))
        files.recentBanks.clear();
}

void GrainEffect::recordRecentBank(const char* path) {
    if (path == nullptr || !files.recentBanks.record(path)) return;
    if (files.listFilePath[0] != 0) files.recentBanks.save(files.listFilePath);
}

void GrainEffect::close() {
    if (!EffectFiles::anyUnsaved(*this)) return;
    platform::Dialogs& d = platform::dialogs();
    if (!platform::canAsk(d)) {
        // Nobody can be asked: keep the audio rather than drop it.
        EffectFiles::reportRecovery(EffectFiles::writeRecoveryBank(*this));
        return;
    }
    if (!d.askYesNo(kExitTitle, kExitText)) return;
    // Without an editor the save still runs: a Yes must not lose the audio.
    if (editor != nullptr) notifyEditor(kExitSave, 1.0f);
    else exitSave();
}

FileResult GrainEffect::exitSave() {
    char path[platform::kFileSelectionSize] = {};
    platform::FileSelectRequest request;
    request.mode = platform::FileSelectRequest::Mode::Save;
    request.title = kSaveBankTitle;
    request.typeName = kBankTypeName;
    request.extension = kBankExtension;
    platform::Dialogs& d = platform::dialogs();
    if (!d.selectFile(request, path) || path[0] == 0) return kFileDoneNothing;
    path[sizeof path - 1] = 0;
    std::string target = path;
    const bool hasExtension = target.size() >= 4 && target.compare(target.size() - 4, 4, ".grb") == 0;
    if (target.size() + (hasExtension ? 0 : 4) > kPathSize - 1) {
        const std::string dir = EffectFiles::pluginFolder(*this);
        target = fallbackBankPath(currentPathContext(dir.empty() ? nullptr : dir.c_str()));
        d.showMessage(kFileMessageTitle, fallbackBankMessage(target).c_str());
        makeDirectories(parentFolder(target));
    } else if (!hasExtension) {
        target += ".grb";
    }
    const FileResult r = writeBankFile(target.c_str());
    if (r == kFileWriteFailed) {
        // The chosen place cannot take the bank: the audio still must not be lost.
        EffectFiles::reportRecovery(EffectFiles::writeRecoveryBank(*this));
    }
    return r;
}

}  // namespace grainwheel
