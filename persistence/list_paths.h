#pragma once
// Where the recent-bank list and the fallback bank live. Pure functions of the plug-in's
// directory and the environment, for both path conventions, so both can be tested anywhere.

#include <string>

namespace grainwheel {

enum class PathStyle {
    kWindows,  // drive-letter paths: "C:\grblist.txt", "C:\lastsession.grb"
    kLinux,    // next to the plug-in when writable, else the XDG folders
};

#ifdef _WIN32
constexpr PathStyle kNativePathStyle = PathStyle::kWindows;
#else
constexpr PathStyle kNativePathStyle = PathStyle::kLinux;
#endif

struct PathContext {
    PathStyle style = kNativePathStyle;
    std::string pluginDirectory;        // empty when neither the host nor the library says
    bool pluginDirectoryWritable = false;
    std::string xdgConfigHome;          // the environment's values, empty when unset
    std::string xdgDataHome;
    std::string home;
};

// The environment of this process for the given plug-in directory (may be null).
PathContext currentPathContext(const char* pluginDirectory);

// The recent-bank list file. Windows: the plug-in directory and "grblist.txt" (with one
// backslash between), or "C:\grblist.txt" when the directory is missing, longer than 1000
// or shorter than 3 characters, or has no drive letter. Linux: next to the plug-in when
// that folder is writable, else $XDG_CONFIG_HOME/grainwheel/ (default ~/.config/grainwheel/).
// Empty when no place can be named.
std::string recentListPath(const PathContext& context);

// The bank the exit save falls back to: "C:\lastsession.grb", or on Linux lastsession.grb in
// $XDG_DATA_HOME/grainwheel/ (default ~/.local/share/grainwheel/).
std::string fallbackBankPath(const PathContext& context);

// The message shown when the exit save falls back to that bank.
std::string fallbackBankMessage(const std::string& fallbackPath);

// The folder part of a path (without the final separator), empty when there is none.
std::string parentFolder(const std::string& path);

}  // namespace grainwheel
