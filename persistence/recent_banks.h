#pragma once
// The recent-bank list: 20 bank paths, entry 0 the most recent, kept in the list file
// "grblist.txt" as each entry's characters followed by one "#" (no header, no terminators).

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "engine/program_record.h"

namespace grainwheel {

constexpr int kNumRecentBanks = 20;
inline constexpr const char* kRecentListFileName = "grblist.txt";
inline constexpr const char* kRecentNameTooLong = "< original filename too long >";
constexpr std::size_t kMaxRecentEntryLength = 1021;  // longer entries read as the placeholder

class RecentBankList {
public:
    RecentBankList() { clear(); }

    const char* entry(int index) const { return entries_[index]; }
    void clear();

    // Reads list-file bytes: each "#" ends an entry, which goes into the next slot; reading
    // stops after the twentieth entry or at the end; a partial entry at the end is dropped
    // and slots the bytes do not reach keep what they held. Returns the entries read.
    int parse(std::span<const std::uint8_t> bytes);
    // Reads the list file; when it cannot be opened every entry is emptied (false).
    bool load(const char* listPath);

    // Puts a bank path at the top unless it is already listed (the list is then not
    // reordered). Paths that the list file cannot hold (with a "#", or of 1024 characters
    // or more) are not recorded. Returns true when the list changed.
    bool record(const char* path);

    // The list-file bytes: exactly 20 "#" characters.
    std::string serialise() const;
    // Writes the list file (creating its folder when missing); false when it cannot.
    bool save(const char* listPath) const;

private:
    char entries_[kNumRecentBanks][kPathSize];
};

// Streams list-file bytes into a RecentBankList.
class RecentListParser {
public:
    explicit RecentListParser(char (*entries)[kPathSize]) : entries_(entries) {}
    // Returns false once twenty entries have been read.
    bool feed(std::uint8_t byte);
    int entriesRead() const { return next_; }

private:
    char (*entries_)[kPathSize];
    char work_[kPathSize] = {};
    std::size_t count_ = 0;
    int next_ = 0;
};

// The file menu's text for a recent bank: the path itself when shorter than 73 characters,
// else "..." and its last 72 characters.
std::string recentMenuText(const char* path);

}  // namespace grainwheel
