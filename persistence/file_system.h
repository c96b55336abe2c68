#pragma once
// The few operating-system services the file operations need, kept in one place.

#include <cstddef>
#include <cstdio>
#include <string>

#include "persistence/byte_source.h"

namespace grainwheel {

// True when something is at the path (the probe before an overwrite question).
bool fileExists(const char* path);

// True when new files can be created in the directory.
bool directoryWritable(const char* directory);

// The value of an environment variable, or an empty string when it is unset.
std::string environmentValue(const char* name);

// Creates the directory and any missing parents; true when it exists afterwards.
bool makeDirectories(const std::string& directory);

// Writes a file under a temporary name in the target's folder and renames it over the
// target only when every byte was written, so a full disk or a crash never destroys the
// previous file. An uncommitted writer removes its temporary file.
class AtomicFileWriter final : public ByteSink {
public:
    AtomicFileWriter() = default;
    ~AtomicFileWriter() override;
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    bool open(const char* path);
    // Returns false (and stays failed) when not every byte was written.
    bool write(const void* data, std::size_t size) override;
    bool ok() const { return file_ != nullptr && !failed_; }
    // Flushes, closes and renames. False when anything failed; the target is then untouched.
    bool commit();

    // Test hook: makes the writer fail once this many bytes have been written.
    void failAfter(std::size_t bytes) { failAfter_ = bytes; }

private:
    void discard();

    std::FILE* file_ = nullptr;
    std::string target_;
    std::string temp_;
    bool failed_ = false;
    std::size_t written_ = 0;
    std::size_t failAfter_ = static_cast<std::size_t>(-1);
};

}  // namespace grainwheel
