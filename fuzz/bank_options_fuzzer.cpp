// Options import: any bytes give a result code; settings are written only on success.
#include <cstdlib>
#include <cstring>

#include "persistence/bank_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace grainwheel;
    float settings[kNumGlobalSettings];
    std::memset(settings, 0xA5, sizeof settings);
    float untouched[kNumGlobalSettings];
    std::memcpy(untouched, settings, sizeof settings);
    const FileResult r = readBankOptions(std::span<const std::uint8_t>(data, size), settings);
    if (r != kFileOk && std::memcmp(settings, untouched, sizeof settings) != 0) std::abort();
    if (r != kFileOk && r != kFileNoGrb && r != kFileVersion && r != kFileSeekFailed) std::abort();
    return 0;
}
