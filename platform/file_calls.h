#pragma once
// The operating-system calls behind the file formats' file handling: folders, the
// replace-by-rename of a finished file, flushing to the disk, and the environment.
// Everything else in persistence/ is standard C++.

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace platform {

// Whether the folder exists and may be written into.
bool directoryWritable(const char* directory);
// Creates one folder level; true when it was made or already exists.
bool makeOneDirectory(const char* directory);
// Whether the path names a folder.
bool isDirectory(const char* path);
// A character that separates path components ('/' everywhere, '\\' too on Windows).
bool isPathSeparator(char c);
// The longest whole path the plain file calls take, in characters (0: no such limit).
std::size_t pathLengthLimit();
// Renames `from` over `to`, replacing `to` where it exists.
bool replaceFile(const char* from, const char* to);
// Opens a regular file for reading ("rb") without ever waiting: the open does not block
// (a FIFO opened for reading would wait for a writer), and the descriptor that was opened,
// not the path, is then checked, so a path swapped for a FIFO, a device or a folder between
// a caller's check and the open is refused all the same. Returns nullptr for anything but a
// regular file, or when the file cannot be opened; `size` (when given) gets its size.
std::FILE* openRegularFile(const char* path, std::uint64_t* size = nullptr);
// Writes the file's operating-system buffers to the disk (after std::fflush).
bool flushToDisk(std::FILE* file);

}  // namespace platform
