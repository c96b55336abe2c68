#pragma once
// FNV-1a over the bits of some floats: a short fingerprint of values that must stay the
// same bit for bit.

#include <cstdint>
#include <cstring>
#include <vector>

namespace gwtest {

inline std::uint64_t bitsHash(const std::vector<float>& v) {
    std::uint64_t h = 14695981039346656037ull;
    for (const float f : v) {
        std::uint32_t u = 0;
        std::memcpy(&u, &f, sizeof u);
        for (int b = 0; b < 4; ++b) {
            h ^= (u >> (8 * b)) & 0xffu;
            h *= 1099511628211ull;
        }
    }
    return h;
}

}  // namespace gwtest
