// The file commands of the editor: load and save a WAV file for the current buffer, load
// and save a bank, import the settings of a bank; the status line's file messages and the
// file menu with its recent banks.

#include "editor/file_commands.h"

#include <cstring>

#include "editor/ad_editor.h"
#include "editor/clabel.h"
#include "editor/wave_display.h"
#include "persistence/effect_state.h"
#include "persistence/file_result.h"
#include "persistence/messages.h"
#include "persistence/recent_banks.h"
#include "platform/dialogs.h"
#include "text/number_text.h"

namespace grainwheel {

using namespace VSTGUI;

namespace {

constexpr std::size_t kMaxPath = 1023;  // characters a path area holds besides its terminator

std::string tail(const char* text, std::size_t limit, std::size_t keep) {
    const std::string s = text ? text : "";
    if (s.size() <= limit) return s;
    return "..." + s.substr(s.size() - keep);
}

// The eight-character number without its last `drop` characters.
std::string figure(float value, std::size_t drop) {
    char text[gw::text::kNumberTextSize] = {};
    gw::text::floatToText(value, text);
    const std::size_t length = std::strlen(text);
    return std::string(text, length > drop ? length - drop : 0);
}

}  // namespace

std::string bankInfoLine(const char* bankName, const int (&lengths)[16], const bool (&saved)[16]) {
    long long total = 0;
    bool changed = false;
    for (int b = 0; b < 16; ++b) {
        if (lengths[b] > 0) total += lengths[b];
        if (!saved[b]) changed = true;
    }
    const float size = total == 0 ? 0.0f : static_cast<float>(total) / 1024000.0f * 8.0f + 0.024f;
    std::string line = tail(bankName, 34, 35);
    line += " [";
    line += figure(size, 2);
    line += " MB] ";
    if (changed) line += "[audio changed]";
    return line;
}

std::string bufferInfoLine(const char* path, int lengthFrames, float sampleRate, bool saved) {
    const float seconds =
        sampleRate > 0.0f && lengthFrames > 0 ? static_cast<float>(lengthFrames) / sampleRate : 0.0f;
    std::string line = tail(path, 40, 41);
    line += " [";
    line += figure(seconds, 3);
    line += " sec audio] ";
    if (!saved) line += "[not saved]";
    return line;
}

bool hasExtension(const std::string& path, const char* extension) {
    const std::string ext = std::string(".") + extension;
    return path.size() >= ext.size() && path.compare(path.size() - ext.size(), ext.size(), ext) == 0;
}

std::string pathWithExtension(const std::string& path, const char* extension) {
    return hasExtension(path, extension) ? path : path + "." + extension;
}

// --- ADEditor's file commands -----------------------------------------------------------

void ADEditor::showFileMessage(int code) {
    if (!ui_.statusLabel) return;
    ui_.statusLabel->setFontColor(isFailure(code) ? kRedCColor : kWhiteCColor);
    if (usesBlackBackground(code)) ui_.statusLabel->setBackColor(kBlackCColor);
    if (code == kFileBankInfo) {
        if (!port_) return;
        int lengths[16];
        bool saved[16];
        for (int b = 0; b < 16; ++b) {
            lengths[b] = port_->bufferLength(b);
            saved[b] = port_->bufferSaved(b);
        }
        ui_.statusLabel->setText(bankInfoLine(port_->bankName(), lengths, saved).c_str());
    } else if (code >= kFileBufferInfo && code < kFileBufferInfo + 16) {
        if (!port_) return;
        const int b = code - kFileBufferInfo;
        ui_.statusLabel->setText(
            bufferInfoLine(port_->bufferPath(b), port_->bufferLength(b), port_->bufferRate(b), port_->bufferSaved(b))
                .c_str());
    } else if (const char* text = fileResultText(code)) {
        ui_.statusLabel->setText(text);
    }
}

// The file selector runs beside the host's event loop: a command starts it and goes on
// when it is answered, at once for a back end that answers before it returns, else at the
// idle that finds the answer. Meanwhile the panel takes no input and no second selector
// is started; closing the editor closes the selector and drops the command.
void ADEditor::startFileCommand(FileCommand command, bool save, const char* title, bool bank) {
    if (selection_) return;
    platform::FileSelectRequest request;
    request.mode = save ? platform::FileSelectRequest::Mode::Save : platform::FileSelectRequest::Mode::Load;
    request.title = title;
    request.typeName = bank ? kBankTypeName : kWaveTypeName;
    request.extension = bank ? kBankExtension : kWaveExtension;
    request.initialPath = "";
    CFileSelector selector(this);
    selection_ = selector.start(request);
    selectionCommand_ = command;
    selectionTied_ = false;
    if (CFrame* f = panelFrame()) f->setInputBlocked(true);
    pollFileSelection();
}

bool ADEditor::pollFileSelection() {
    if (!selection_) return false;
    char path[platform::kFileSelectionSize] = {};
    const auto state = selection_->poll(path);
    if (state == platform::PendingFileSelection::State::Open) {
        // Tied to the panel's window once the dialog's window exists.
        if (!selectionTied_ && panelFrame() && panelFrame()->getPlatformWindow())
            selectionTied_ = panelFrame()->getPlatformWindow()->holdDialog(selection_->processId());
        return true;
    }
    selection_.reset();
    if (CFrame* f = panelFrame()) f->setInputBlocked(false);
    path[platform::kFileSelectionSize - 1] = 0;
    finishFileCommand(selectionCommand_, state == platform::PendingFileSelection::State::Chosen, path);
    return false;
}

void ADEditor::closeFileSelection() {
    selection_.reset();
    if (CFrame* f = panelFrame()) f->setInputBlocked(false);
}

void ADEditor::finishFileCommand(FileCommand command, bool chosen, char* path) {
    if (!port_) return;
    if (!chosen) path[0] = 0;
    switch (command) {
        case FileCommand::LoadWave: return loadWaveChosen(path);
        case FileCommand::SaveWave: return saveWaveChosen(path);
        case FileCommand::ImportOptions: return importOptionsChosen(path);
        case FileCommand::LoadBank: return loadBankPath(path, true);
        case FileCommand::SaveBank: return saveBankChosen(path);
    }
}

void ADEditor::loadWaveCommand() {
    if (port_) startFileCommand(FileCommand::LoadWave, false, kLoadWaveTitle, false);
}

void ADEditor::loadWaveChosen(const char* path) {
    if (path[0] == 0) return showFileMessage(kFileDoneNothing);
    if (std::strlen(path) > kMaxPath) return showFileMessage(kFileNameTooLong);
    const int b = port_->currentBuffer();
    // Audio that is stored in no file is not replaced without a Yes.
    if (port_->bufferHasArrays(b) && port_->bufferLength(b) > 0 && !port_->bufferSaved(b) &&
        !platform::dialogs().askYesNo(kOverwriteBufferTitle, kOverwriteUnsavedBufferText))
        return showFileMessage(kFileDoneNothing);
    const FileResult r = port_->readWaveFile(path);
    if (r != kFileOk) return showFileMessage(r);
    refreshAfterLoad();
    showFileMessage(kFileBufferInfo + port_->currentBuffer());
}

void ADEditor::saveWaveCommand() {
    if (!port_) return;
    if (!port_->bufferHasArrays(port_->currentBuffer())) return showFileMessage(kFileBufferEmpty);
    startFileCommand(FileCommand::SaveWave, true, kSaveWaveTitle, false);
}

void ADEditor::saveWaveChosen(const char* chosen) {
    if (chosen[0] == 0) return showFileMessage(kFileDoneNothing);
    const int b = port_->currentBuffer();
    const std::string path = pathWithExtension(chosen, kWaveExtension);
    if (path.size() > kMaxPath) return showFileMessage(kFileNameTooLong);
    showFileMessage(kFileBufferInfo + b);
    const FileResult r = port_->writeWaveFile(path.c_str());
    if (r != kFileOk) return showFileMessage(r);
    // The line now names the file and no longer says "[not saved]".
    showFileMessage(kFileBufferInfo + b);
}

void ADEditor::importOptionsCommand() {
    if (port_) startFileCommand(FileCommand::ImportOptions, false, kImportOptionsTitle, true);
}

void ADEditor::importOptionsChosen(const char* path) {
    if (path[0] == 0) {
        showFileMessage(kFileDoneNothing);
    } else if (std::strlen(path) > kMaxPath) {
        return showFileMessage(kFileNameTooLong);
    } else {
        const FileResult r = port_->importBankOptions(path);
        if (r != kFileOk) {
            showFileMessage(r);
        } else {
            refreshAfterLoad();
            showFileMessage(kFileOptionsImported);
        }
    }
    if (ui_.mainScope) {
        ui_.mainScope->setStale();
        ui_.mainScope->setDirty();
    }
}

void ADEditor::loadBankCommand(int entry) {
    if (!port_) return;
    if (entry == 0) return startFileCommand(FileCommand::LoadBank, false, kLoadBankTitle, true);
    char path[platform::kFileSelectionSize] = {};
    if (entry >= kFirstRecentEntry && entry < kFirstRecentEntry + kNumRecentBanks) {
        const char* recent = port_->recentBank(entry - kFirstRecentEntry);
        if (recent && recent[0] != '<' && std::strlen(recent) <= kMaxPath) std::memcpy(path, recent, std::strlen(recent) + 1);
    }
    loadBankPath(path, false);
}

void ADEditor::loadBankPath(const char* path, bool fromSelector) {
    if (fromSelector && std::strlen(path) > kMaxPath) return showFileMessage(kFileNameTooLong);
    if (path[0] != 0) {
        char previous[platform::kFileSelectionSize] = {};
        std::strncpy(previous, port_->bankName(), sizeof previous - 1);
        port_->setBankName(path);
        const FileResult r = port_->readBankFile(path);
        if (r != kFileOk) {
            port_->setBankName(previous);
            showFileMessage(r);
        } else {
            if (fromSelector) {
                port_->recordRecentBank(path);
                if (!fileMenuCurrent()) rebuildFileMenu();
            }
            showFileMessage(kFileBankInfo);
            refreshAfterLoad();
        }
    } else {
        showFileMessage(kFileDoneNothing);
    }
    if (ui_.mainScope) {
        ui_.mainScope->setStale();
        ui_.mainScope->setDirty();
    }
}

void ADEditor::saveBankCommand() {
    if (port_) startFileCommand(FileCommand::SaveBank, true, kSaveBankTitle, true);
}

void ADEditor::saveBankChosen(const char* chosen) {
    if (chosen[0] == 0) return showFileMessage(kFileDoneNothing);
    const std::string path = pathWithExtension(chosen, kBankExtension);
    if (path.size() > kMaxPath) return showFileMessage(kFileNameTooLong);
    char previous[platform::kFileSelectionSize] = {};
    std::strncpy(previous, port_->bankName(), sizeof previous - 1);
    port_->setBankName(path.c_str());
    const FileResult r = port_->writeBankFile(path.c_str());
    if (r != kFileOk) {
        port_->setBankName(previous);
        return showFileMessage(r);
    }
    showFileMessage(kFileBankInfo);
    port_->recordRecentBank(path.c_str());
    if (!fileMenuCurrent()) rebuildFileMenu();
}

// --- the file menu ----------------------------------------------------------------------

void ADEditor::rebuildFileMenu() {
    COptionMenu* menu = fileMenuView();
    if (!menu) return;
    menu->removeAllEntry();
    menu->addEntry("Load .grb program bank");
    menu->addEntry("-");
    for (int i = 0; i < kNumRecentBanks; ++i) menu->addEntry(recentMenuText(port_ ? port_->recentBank(i) : "").c_str());
    menu->setDirty();
}

bool ADEditor::fileMenuCurrent() const {
    COptionMenu* menu = fileMenuView();
    if (!menu || !port_) return true;
    if (menu->getNbEntries() != kFirstRecentEntry + kNumRecentBanks) return false;
    for (int i = 0; i < kNumRecentBanks; ++i) {
        const char* shown = menu->getEntry(kFirstRecentEntry + i);
        if (!shown || recentMenuText(port_->recentBank(i)) != shown) return false;
    }
    return true;
}

}  // namespace grainwheel
