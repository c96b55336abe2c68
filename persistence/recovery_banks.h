#pragma once
// The recovery banks: when the plug-in closes with unsaved audio and nobody can be asked,
// every buffer goes to a new bank next to the fallback bank ("lastsession.grb",
// "lastsession-2.grb", ... up to "lastsession-999.grb"). Only the newest few are kept, so
// that hosts which close the plug-in again and again cannot fill the disk.

#include <cstdint>
#include <string>

namespace grainwheel {

// At most this many recovery banks are kept, the newest included ...
constexpr int kRecoveryBanksKept = 5;
// ... and the older ones only while all kept banks together stay within this size. The
// newest bank is always kept, whatever its size (a full bank is about 113 MB).
constexpr std::uintmax_t kRecoveryBytesKept = std::uintmax_t{512} << 20;

// The name for a new recovery bank beside the fallback bank `base` (which ends in
// ".grb"): one past the highest number in use, else the first free one; empty when all
// 999 names are taken.
std::string recoveryBankName(const std::string& base);

// After `newest` was written: removes the recovery banks beside `base` that fall outside
// the bound, oldest (by modification time) first. Returns how many were removed.
int pruneRecoveryBanks(const std::string& base, const std::string& newest, int keep = kRecoveryBanksKept,
                       std::uintmax_t bytes = kRecoveryBytesKept);

}  // namespace grainwheel
