#pragma once
// The file-related state of one effect: the current bank's name, the recent-bank list and
// where its file lives, and the flag that marks a session restore from the host chunk.

#include <atomic>
#include <cstdint>

#include "engine/program_record.h"
#include "persistence/file_result.h"
#include "persistence/messages.h"
#include "persistence/recent_banks.h"

namespace grainwheel {

inline constexpr const char* kBankTypeName = "grainwheel fxBank";
inline constexpr const char* kBankExtension = "grb";
inline constexpr const char* kSaveBankTitle = "Save Bank to";

struct EffectFileState {
    EffectFileState();

    char bankName[kPathSize];
    char listFilePath[kPathSize];
    RecentBankList recentBanks;
    // Set while a bank chunk is being restored: the bank reader then asks nothing.
    std::atomic<std::uint8_t> restoringState{0};
};

// The object that runs the save offered when the plug-in closes with unsaved audio; the
// editor starts it on the effect's notice without knowing the effect's class.
class ExitSaveTarget {
public:
    virtual ~ExitSaveTarget() = default;
    virtual FileResult exitSave() = 0;
};

// Copies a NUL-terminated text into a path area; a text that does not fit leaves the area
// empty (a shortened path would name another file). Returns whether it fitted.
bool copyPath(char (&area)[kPathSize], const char* text);

}  // namespace grainwheel
