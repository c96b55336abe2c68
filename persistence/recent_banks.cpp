#include "persistence/recent_banks.h"

#include <cstdio>
#include <cstring>

#include "persistence/file_system.h"
#include "persistence/list_paths.h"
#include "platform/file_calls.h"

namespace grainwheel {

void RecentBankList::clear() { std::memset(entries_, 0, sizeof entries_); }

bool RecentListParser::feed(std::uint8_t byte) {
    if (next_ >= kNumRecentBanks) return false;
    if (byte != '#') {
        // Characters beyond the work area are counted but not kept.
        if (count_ < kPathSize - 1) work_[count_] = static_cast<char>(byte);
        ++count_;
        return true;
    }
    char* slot = entries_[next_++];
    std::memset(slot, 0, kPathSize);
    if (count_ <= kMaxRecentEntryLength)
        std::memcpy(slot, work_, count_);
    else
        std::strcpy(slot, kRecentNameTooLong);
    count_ = 0;
    return next_ < kNumRecentBanks;
}

int RecentBankList::parse(std::span<const std::uint8_t> bytes) {
    RecentListParser parser(entries_);
    for (std::uint8_t b : bytes)
        if (!parser.feed(b)) break;
    return parser.entriesRead();
}

bool RecentBankList::load(const char* listPath) {
    // (a FIFO or a device in its place would block the editor, or never end)
    std::FILE* f = platform::openRegularFile(listPath);
    if (!f) {
        clear();
        return false;
    }
    RecentListParser parser(entries_);
    std::uint8_t block[4096];
    bool more = true;
    // A list this program wrote is at most 20 KB; reading stops well past that, so that a
    // huge file without separators is not read to its end.
    constexpr std::size_t kMostRead = 1 << 20;
    for (std::size_t total = 0; more && total < kMostRead; total += sizeof block) {
        const std::size_t got = std::fread(block, 1, sizeof block, f);
        for (std::size_t i = 0; i < got && more; ++i) more = parser.feed(block[i]);
        if (got < sizeof block) break;
    }
    std::fclose(f);
    return true;
}

bool RecentBankList::record(const char* path) {
    if (!path) return false;
    const std::size_t length = std::strlen(path);
    if (length >= kPathSize || std::memchr(path, '#', length)) return false;
    for (const auto& e : entries_)
        if (std::strcmp(e, path) == 0) return false;
    std::memmove(entries_[1], entries_[0], sizeof(entries_[0]) * (kNumRecentBanks - 1));
    std::memset(entries_[0], 0, kPathSize);
    std::memcpy(entries_[0], path, length);
    return true;
}

std::string RecentBankList::serialise() const {
    std::string out;
    for (const auto& e : entries_) {
        const void* end = std::memchr(e, 0, kPathSize);
        out.append(e, end ? static_cast<const char*>(end) - e : kPathSize);
        out += '#';
    }
    return out;
}

bool RecentBankList::save(const char* listPath) const {
    if (!listPath || !*listPath) return false;
    const std::string bytes = serialise();
    AtomicFileWriter out;
    if (!out.open(listPath)) {
        const std::string folder = parentFolder(listPath);
        if (folder.empty() || !makeDirectories(folder) || !out.open(listPath)) return false;
    }
    return out.write(bytes.data(), bytes.size()) && out.commit();
}

std::string recentMenuText(const char* path) {
    const std::size_t length = std::strlen(path);
    if (length < 73) return path;
    return std::string("...") + (path + length - 72);
}

}  // namespace grainwheel
