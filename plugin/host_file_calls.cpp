// The bank-file calls a host can make through effVendorSpecific.

#include "persistence/host_file_calls.h"

#include <cstring>

#include "persistence/effect_state.h"
#include "plugin/grain_effect.h"
#include "plugin/vst2_editor.h"

namespace grainwheel {

namespace {

// Runs a bank operation the way the editor's bank commands do: the bank name takes the
// path for the operation and gets its old text back when the operation fails.
template <typename Operation>
FileResult withBankName(EffectFileState& files, const char* path, Operation operation) {
    char kept[kPathSize];
    std::memcpy(kept, files.bankName, kPathSize);
    if (!copyPath(files.bankName, path)) {
        std::memcpy(files.bankName, kept, kPathSize);
        return kFileNameTooLong;
    }
    const FileResult r = operation();
    if (r != kFileOk) std::memcpy(files.bankName, kept, kPathSize);
    return r;
}

}  // namespace

VstIntPtr GrainEffect::vendorSpecific(VstInt32 index, VstIntPtr value, void* ptr, float opt) {
    // The host's scale for the editor.
    if (index == Vst2Editor::kScaleCallIndex && value == Vst2Editor::kScaleCallValue)
        return editor != nullptr ? static_cast<Vst2Editor*>(editor)->hostScale(opt) : 0;
    if (index != kHostFileCall || (value != kHostLoadBank && value != kHostSaveBank)) return 0;
    const char* path = static_cast<const char*>(ptr);
    const bool load = value == kHostLoadBank;
    if (path == nullptr || *path == 0) return kHostFileAnswered + (load ? kFileOpenFailed : kFileWriteFailed);
    return kHostFileAnswered +
           withBankName(files_.state(), path, [&] { return load ? files_.readBankFile(path) : files_.writeBankFile(path); });
}

}  // namespace grainwheel
