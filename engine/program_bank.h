#pragma once
// The 16 program records of the effect, stored byte for byte in bank files and host
// chunks (program_record.h), the clipboard record, and which program is current. The
// records are one array in the bank chunk's layout. Applying a program's values to the
// live parameters is the ParameterModel's (parameter_model.h); this part keeps the bytes.
//
// Threads. The audio thread writes a few fields of live records (the buffer number, rec
// free, rec sync, the saved flag, the rate bytes, the path's first character) while other
// threads copy them: those are written and read whole (the *Whole functions, store()).
// Names, the clipboard and the chunk are other threads' only.

#include <cstdint>

#include "engine/program_record.h"
#include "engine/shared_value.h"

namespace grainwheel {

class ProgramBank {
public:
    // Every record and the clipboard "Init"; program 0 current.
    ProgramBank();
    ~ProgramBank();
    ProgramBank(const ProgramBank&) = delete;
    ProgramBank& operator=(const ProgramBank&) = delete;

    // False when the records could not be allocated (the engine is then unusable).
    bool usable() const { return records_ != nullptr && clipboard_ != nullptr; }

    // The current program; setCurrent also writes it into record 0 (what a bank stores).
    int current() const { return current_.load(); }
    void setCurrent(int k);
    ProgramRecord& record(int k) { return records_[k]; }
    const ProgramRecord& record(int k) const { return records_[k]; }
    ProgramRecord& currentRecord() { return records_[current_.load()]; }
    const ProgramRecord& currentRecord() const { return records_[current_.load()]; }
    // All kNumPrograms records in a row (null when not usable).
    ProgramRecord* records() { return records_; }
    const ProgramRecord* records() const { return records_; }
    ProgramRecord& clipboard() { return *clipboard_; }

    // Record k becomes a copy of `from`, its rate bytes telling `bufferRate` (the rate of
    // buffer k's audio, whatever the record brought), while the audio thread may run:
    // the fields it writes are stored whole. Every whole record copied into a live one
    // goes through here.
    void store(int k, const ProgramRecord& from, int bufferRate);
    // The whole-word fields (any thread, the audio thread included).
    void storeRate(int k, int rate) noexcept;
    void storeSaved(int k, std::uint8_t saved) noexcept;
    void clearPath(int k) noexcept;
    static void storeWhole(float& field, float value) noexcept;
    // The buffer record k's program plays; `fallback` when the record holds no buffer's
    // number (a record from a file may hold anything).
    int bufferNumber(int k, int fallback) const;

    // The current program's name; "Init" reads "Init n" (n = program + 1). Names are cut
    // to 23 characters and a terminator.
    void setName(const char* text);
    void name(char* text) const;
    // Program k's name as stored; false for no such program.
    bool nameOf(int k, char* text) const;

    // The clipboard carries the units, the levels and trigmode: not the name, rec free,
    // the buffer number or the fields used only in fixed records. paste() brings the
    // clipboard (sanitised: it may hold what a host stored) into the current record; the
    // caller applies the program again.
    void copy();
    void paste();

    // The bank (16 records) or the current program's record, in the storage layout.
    std::int32_t chunk(void** data, bool isPreset);

private:
    ProgramRecord* records_ = nullptr;  // kNumPrograms records, one array
    ProgramRecord* clipboard_ = nullptr;
    Shared<std::int32_t> current_{0};
};

}  // namespace grainwheel
