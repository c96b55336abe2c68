#pragma once
// The editor's file commands, the texts they show and the rules they follow, as pure
// functions where they can be (the commands themselves are ADEditor operations).

#include <string>

namespace grainwheel {

inline constexpr const char* kWaveTypeName = "Wave File";
inline constexpr const char* kWaveExtension = "wav";
inline constexpr const char* kLoadWaveTitle = "Load Wav into Buffer";
inline constexpr const char* kSaveWaveTitle = "Save Buffer to Wav File";
inline constexpr const char* kImportOptionsTitle = "Import Options from .grb File";
inline constexpr const char* kLoadBankTitle = "Load Bank";
// The file menu: "Load .grb program bank", a separator, then the recent banks.
inline constexpr int kFirstRecentEntry = 2;
// Asked before a WAV file replaces audio that is stored in no file.
inline constexpr const char* kOverwriteUnsavedBufferText =
    "Overwrite existing data in this audiobuffer ?\n       (it is not saved yet)";

// The bank information line: the bank's name (at most 34 characters, else "..." and its
// last 35), the size of all audio in MB, and "[audio changed]" when a buffer is unsaved.
std::string bankInfoLine(const char* bankName, const int (&lengths)[16], const bool (&saved)[16]);

// The buffer information line: the buffer's file path (at most 40 characters, else "..."
// and its last 41), its length in seconds, and "[not saved]" when it is unsaved.
std::string bufferInfoLine(const char* path, int lengthFrames, float sampleRate, bool saved);

// True when path ends with the extension exactly (".wav", ".grb": lower case, no folding).
bool hasExtension(const std::string& path, const char* extension);
// The path a save writes: path with the extension appended unless it ends with it.
std::string pathWithExtension(const std::string& path, const char* extension);

}  // namespace grainwheel
