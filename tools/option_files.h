#pragma once
// The files the command line names for reading (--input, --chunk, --bank, --load-wav,
// --script): regular files only, opened without waiting, so that a FIFO, a device such as
// /dev/zero or a folder is refused at once, and each kind within a size its refusal states.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace gwhost {

// The largest file each option takes.
constexpr std::uint64_t kChunkFileLimit = std::uint64_t(256) << 20;   // 256 MB
constexpr std::uint64_t kInputFileLimit = std::uint64_t(2) << 30;     // 2 GB
constexpr std::uint64_t kInputSampleLimit = std::uint64_t(1) << 28;   // samples, all channels
constexpr std::uint64_t kScriptFileLimit = std::uint64_t(4) << 20;    // 4 MB
// The plug-in's own readers take what they need of a bank or a WAV file (its first
// seconds), so those options take files of any size.
constexpr std::uint64_t kAnySize = UINT64_MAX;

// "256 MB", "2 GB", "4 MB": a limit as the messages state it.
std::string sizeText(std::uint64_t bytes);

// One option's file, open for reading.
class OptionFile {
public:
    OptionFile() = default;
    ~OptionFile();
    OptionFile(const OptionFile&) = delete;
    OptionFile& operator=(const OptionFile&) = delete;

    // Opens the file that `option` names. False, with `error` saying why, when it cannot be
    // opened or is no regular file, or when it is larger than `limit`.
    bool open(const std::string& path, const char* option, std::uint64_t limit, std::string& error);
    // Reads the whole file.
    bool readAll(std::vector<char>& bytes, std::string& error);

    std::FILE* file() const { return file_; }
    std::uint64_t size() const { return size_; }

private:
    std::FILE* file_ = nullptr;
    std::uint64_t size_ = 0;
    std::string path_;
};

// Checks that `path` names a regular file of at most `limit` bytes (for files the plug-in
// itself opens); false, with `error` saying why, otherwise.
bool checkOptionFile(const std::string& path, const char* option, std::uint64_t limit, std::string& error);

}  // namespace gwhost
