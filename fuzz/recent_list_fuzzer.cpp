// Recent-bank list file: any bytes give 20 terminated entries that can be written back.
#include <cstdlib>
#include <cstring>

#include "persistence/recent_banks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace grainwheel;
    RecentBankList list;
    const int read = list.parse(std::span<const std::uint8_t>(data, size));
    if (read < 0 || read > kNumRecentBanks) std::abort();
    for (int i = 0; i < kNumRecentBanks; ++i) {
        const char* e = list.entry(i);
        if (!std::memchr(e, 0, kPathSize)) std::abort();
        if (std::strlen(e) > kMaxRecentEntryLength) std::abort();
        (void)recentMenuText(e);
    }
    list.record("/banks/fuzz.grb");
    const std::string s = list.serialise();
    RecentBankList back;
    back.parse(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(s.data()), s.size()));
    // Entries read from a file never hold a "#", so all of them survive a rewrite.
    for (int i = 0; i < kNumRecentBanks; ++i)
        if (std::strcmp(list.entry(i), back.entry(i)) != 0) std::abort();
    return 0;
}
