#pragma once
// The version text, and the titles and texts of the questions and messages that the file
// operations show.

namespace grainwheel {

// The version text: the status line's text when the panel opens, and the bank name until a
// bank is read or written.
inline constexpr const char* kVersionText = "grainwheel v0.9 beta";

inline constexpr const char* kOverwriteFileTitle = "grainwheel - confirm overwrite file";
inline constexpr const char* kOverwriteFileText = "Overwrite existing file ?";
inline constexpr const char* kOverwriteBufferTitle = "grainwheel - confirm overwrite buffer";
inline constexpr const char* kOverwriteBufferText =
    "Overwrite existing data in every audiobuffer ?\n       (some buffers are not saved yet)";
inline constexpr const char* kRecoveryErrorTitle = "grainwheel - Error recovering last session";
inline constexpr const char* kRecoveryErrorIntro = "Error loading these files :\n\n";
inline constexpr const char* kRecoveryPathTooLong = "(-filename too long-)\n";
inline constexpr const char* kExitTitle = "grainwheel - confirm exitus";
inline constexpr const char* kExitText = "audiobuffer(s) are not saved. Save to grb file ?";
inline constexpr const char* kFileMessageTitle = "grainwheel - file operation message";
inline constexpr const char* kFallbackBankTextPrefix = "Filename too long, writing to ";

}  // namespace grainwheel
