#pragma once
// Bank files through the host interface. A host (or grainwheel-host) that wants the
// effect to read or write a bank file without its editor sends effVendorSpecific with
//   index = kHostFileCall, value = kHostLoadBank or kHostSaveBank, ptr = the path (a
//   terminated string), opt unused.
// The effect answers kHostFileAnswered + the FileResult of the operation (so 1 means
// success); every other vendor-specific call keeps the answer 0, "not understood".
// The operations are those of the editor's "Load Bank" and "Save Bank to" commands: the
// overwrite questions are asked as there, and the bank name follows a successful load or
// save. The recent-bank list is left alone: it lists what the user chose in the editor.

#include <cstdint>


namespace grainwheel {

// Four characters as one number, the first in the highest byte.
constexpr std::int32_t hostFileFourCC(char a, char b, char c, char d) {
    return static_cast<std::int32_t>((static_cast<std::uint32_t>(static_cast<unsigned char>(a)) << 24) |
                                     (static_cast<std::uint32_t>(static_cast<unsigned char>(b)) << 16) |
                                     (static_cast<std::uint32_t>(static_cast<unsigned char>(c)) << 8) |
                                     static_cast<std::uint32_t>(static_cast<unsigned char>(d)));
}

constexpr std::int32_t kHostFileCall = hostFileFourCC('G', 'W', 'f', 'c');
constexpr std::intptr_t kHostLoadBank = hostFileFourCC('L', 'b', 'n', 'k');
constexpr std::intptr_t kHostSaveBank = hostFileFourCC('S', 'b', 'n', 'k');
constexpr std::intptr_t kHostFileAnswered = 1;

// The FileResult inside an answer, or -1 when the call was not understood.
constexpr int hostFileResult(std::intptr_t answer) {
    return answer >= kHostFileAnswered ? static_cast<int>(answer - kHostFileAnswered) : -1;
}

}  // namespace grainwheel
