#pragma once
// A stereo PCM WAV file of a 1 kHz sine at half scale, written byte by byte (the suites
// that load it do not rest on the writer they check elsewhere): `bits` 16 or 24, `frames`
// frames at `rate`.

#include <cmath>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace gwtest {

inline void writeToneWave(const std::string& path, int rate, int frames, int bits = 16) {
    std::vector<std::uint8_t> b;
    const auto put = [&b](std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    };
    // Byte by byte: GCC 12's overflow warning misreads a range insert here (ThreadSanitizer build).
    const auto id = [&b](const char* s) {
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(s[i]));
    };
    const int sampleBytes = bits / 8;
    const std::uint32_t frameBytes = 2u * static_cast<std::uint32_t>(sampleBytes);
    const std::uint32_t data = static_cast<std::uint32_t>(frames) * frameBytes;
    id("RIFF");
    put(36 + data, 4);
    id("WAVE");
    id("fmt ");
    put(16, 4);
    put(1, 2);
    put(2, 2);
    put(static_cast<std::uint32_t>(rate), 4);
    put(static_cast<std::uint32_t>(rate) * frameBytes, 4);
    put(frameBytes, 2);
    put(static_cast<std::uint32_t>(bits), 2);
    id("data");
    put(data, 4);
    const double half = static_cast<double>(1u << (bits - 2));  // half of full scale
    constexpr double kPi = 3.14159265358979323846;
    for (int i = 0; i < frames; ++i) {
        const auto s = static_cast<std::int32_t>(std::lround(half * std::sin(2.0 * kPi * 1000.0 * i / rate)));
        put(static_cast<std::uint32_t>(s), sampleBytes);
        put(static_cast<std::uint32_t>(s), sampleBytes);
    }
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

}  // namespace gwtest
