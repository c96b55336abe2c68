#pragma once
// Helpers of the persistence suites: byte builders, temporary folders, file access.

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "engine/program_record.h"

namespace grainwheel::test {

using Bytes = std::vector<std::uint8_t>;

inline void putBytes(Bytes& b, const void* p, std::size_t n) {
    const auto* c = static_cast<const std::uint8_t*>(p);
    b.insert(b.end(), c, c + n);
}
inline void putId(Bytes& b, const char* id) { putBytes(b, id, 4); }
inline void put16(Bytes& b, std::int32_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void put32(Bytes& b, std::uint32_t v) {
    put16(b, static_cast<std::int32_t>(v & 0xFFFF));
    put16(b, static_cast<std::int32_t>(v >> 16));
}
inline void putFloat(Bytes& b, float f) { putBytes(b, &f, 4); }

inline std::uint32_t get32(const Bytes& b, std::size_t at) {
    return std::uint32_t(b[at]) | std::uint32_t(b[at + 1]) << 8 | std::uint32_t(b[at + 2]) << 16 |
           std::uint32_t(b[at + 3]) << 24;
}
inline std::int16_t get16(const Bytes& b, std::size_t at) {
    return static_cast<std::int16_t>(b[at] | b[at + 1] << 8);
}

// A record with distinct content in every field, and the padding zero.
inline ProgramRecord patternRecord(int k) {
    ProgramRecord r;
    std::memset(&r, 0, sizeof r);
    std::snprintf(r.bufferPath, sizeof r.bufferPath, "/audio/take%02d.wav", k);
    for (int i = 0; i < kNumGlobalSettings; ++i) r.globalSettings[i] = 0.1f * float((i + k) % 20);  // within every setting's range
    for (float& f : r.reserved1) f = 4444.0f;
    r.mainLevl = 0.5f + k * 0.01f;
    r.density = 1.0f - k * 0.02f;
    r.unitDura = 0.43089432f;
    r.envSust = 0.1f * (k % 10);
    r.reso = 0.25f;
    r.currentProgram = k;
    r.voiceCount = 10.0f;
    r.trigmode = 1.0f;
    for (int u = 0; u < kNumUnits; ++u) {
        r.time[u] = 0.8f - u * 0.01f;
        r.speed[u] = 1.0f - u * 0.02f;
        r.pitch[u] = 0.5f + u * 0.01f;
        r.freq[u] = 1.0f - k * 0.001f;
    }
    r.bufferStart = k / 16.0f;
    r.bufferNumber = float(15 - k);
    r.bufferSaved = 1;
    for (float& f : r.reserved2) f = 5555.0f;
    std::snprintf(r.name, sizeof r.name, "prog %d", k);
    return r;
}

inline std::array<ProgramRecord, kNumPrograms> patternRecords() {
    std::array<ProgramRecord, kNumPrograms> a;
    for (int k = 0; k < kNumPrograms; ++k) a[k] = patternRecord(k);
    return a;
}

inline bool sameBytes(const void* a, const void* b, std::size_t n) { return std::memcmp(a, b, n) == 0; }

// A fresh folder below the system's temporary folder, removed with everything in it.
// file() joins with the platform's separator ("a/b" becomes "a\b" on Windows), since the
// code under test builds and splits native paths.
class TempDir {
public:
    // A new folder in `base` (made when missing), or in the system's temporary folder.
    explicit TempDir(const std::string& base = "") {
        namespace fs = std::filesystem;
        static unsigned serial = 0;
        std::random_device entropy;
        std::error_code made;
        if (!base.empty()) fs::create_directories(base, made);
        for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            const std::string name = "gw-persist-" + std::to_string(entropy()) + "-" + std::to_string(++serial);
            fs::path candidate = (base.empty() ? fs::temp_directory_path() : fs::path(base)) / name;
            std::error_code ec;
            if (fs::create_directory(candidate, ec)) path_ = candidate.make_preferred().string();
        }
        if (path_.empty()) throw std::runtime_error("no temporary folder could be created");
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string file(const std::string& name) const {
        return (std::filesystem::path(path_) / name).make_preferred().string();
    }
    const std::string& path() const { return path_; }
    // Names of the files in the folder (to find left-over temporary files).
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(path_))
            names.push_back(e.path().filename().string());
        return names;
    }

private:
    std::string path_;
};

// Sets (or with a null value removes) an environment variable of this process.
inline void setEnvironment(const char* name, const char* value) {
#ifdef _WIN32
    _putenv_s(name, value ? value : "");  // an empty value removes the variable
#else
    if (value)
        setenv(name, value, 1);
    else
        unsetenv(name);
#endif
}

// Sets an environment variable for one scope and restores what was there before.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
            hadValue_ = true;
        }
        setEnvironment(name, value.c_str());
    }
    ~ScopedEnvironment() { setEnvironment(name_.c_str(), hadValue_ ? old_.c_str() : nullptr); }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    std::string name_;
    std::string old_;
    bool hadValue_ = false;
};

// For tests that must write a fixed path outside their temporary folder (the Windows
// build's "C:\grblist.txt" and "C:\lastsession.grb"): a file already there is moved
// aside for the test and put back afterwards; whatever the test wrote is removed.
class ScopedFixedFile {
public:
    explicit ScopedFixedFile(std::string path) : path_(std::move(path)), kept_(path_ + ".gw-test-kept") {
        std::error_code ec;
        std::filesystem::rename(path_, kept_, ec);
        moved_ = !ec;
    }
    ~ScopedFixedFile() {
        std::error_code ec;
        std::filesystem::remove(path_, ec);
        if (moved_) std::filesystem::rename(kept_, path_, ec);
    }
    ScopedFixedFile(const ScopedFixedFile&) = delete;
    ScopedFixedFile& operator=(const ScopedFixedFile&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::string kept_;
    bool moved_ = false;
};

inline Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline void writeFile(const std::string& path, const Bytes& b) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

}  // namespace grainwheel::test
