#pragma once
// Where the plug-in lives and what the environment says: the only place that asks the
// operating system about modules and environment variables.

#include <cstddef>

namespace platform {

// Writes the folder that holds the plug-in library (no trailing separator) into
// result[size]; false (result set to "") when it cannot be found or does not fit.
bool pluginDirectory(char* result, std::size_t size);

// Writes the full path of the plug-in library into result[size]; false as above.
bool pluginPath(char* result, std::size_t size);

// The value of an environment variable, or null when it is not set.
const char* environment(const char* name);

// The user's home folder ($HOME, or %USERPROFILE% on Windows), or null.
const char* homeDirectory();

// The path separator of the platform: '/' or '\\'.
char pathSeparator();

}  // namespace platform
