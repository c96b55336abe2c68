#include "persistence/recovery_banks.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

namespace grainwheel {

namespace {

constexpr int kMaxRecoveryNumber = 999;

// Recovery bank number k (1 is the fallback bank itself).
std::string bankNumbered(const std::string& base, int k) {
    if (k == 1) return base;
    return base.substr(0, base.size() - 4) + "-" + std::to_string(k) + ".grb";
}

bool validBase(const std::string& base) { return base.size() > 4 && base.ends_with(".grb"); }

struct Existing {
    int number;
    std::string path;
    std::filesystem::file_time_type written;
    std::uintmax_t size;
};

std::vector<Existing> existingBanks(const std::string& base) {
    std::vector<Existing> found;
    for (int k = 1; k <= kMaxRecoveryNumber; ++k) {
        std::string path = bankNumbered(base, k);
        std::error_code ec;
        const std::filesystem::path p(path);
        if (!std::filesystem::is_regular_file(p, ec)) continue;
        const auto written = std::filesystem::last_write_time(p, ec);
        if (ec) continue;
        const std::uintmax_t size = std::filesystem::file_size(p, ec);
        if (ec) continue;
        found.push_back({k, std::move(path), written, size});
    }
    return found;
}

bool pathExists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::path(path), ec);
}

}  // namespace

std::string recoveryBankName(const std::string& base) {
    if (!validBase(base)) return {};
    int highest = 0;
    for (int k = 1; k <= kMaxRecoveryNumber; ++k)
        if (pathExists(bankNumbered(base, k))) highest = k;
    if (highest < kMaxRecoveryNumber) return bankNumbered(base, highest + 1);
    for (int k = 1; k <= kMaxRecoveryNumber; ++k)
        if (!pathExists(bankNumbered(base, k))) return bankNumbered(base, k);
    return {};
}

int pruneRecoveryBanks(const std::string& base, const std::string& newest, int keep, std::uintmax_t bytes) {
    if (!validBase(base)) return 0;
    std::vector<Existing> banks = existingBanks(base);
    // Newest first; among equal times the higher number was written later.
    std::sort(banks.begin(), banks.end(), [](const Existing& a, const Existing& b) {
        return a.written != b.written ? a.written > b.written : a.number > b.number;
    });
    std::uintmax_t total = 0;
    int kept = 0;
    for (const Existing& b : banks) {
        if (b.path == newest) {
            total += b.size;
            ++kept;
        }
    }
    int removed = 0;
    for (const Existing& b : banks) {
        if (b.path == newest) continue;
        if (kept < keep && total + b.size <= bytes) {
            total += b.size;
            ++kept;
            continue;
        }
        std::error_code ec;
        if (std::filesystem::remove(std::filesystem::path(b.path), ec)) ++removed;
    }
    return removed;
}

}  // namespace grainwheel
