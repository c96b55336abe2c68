#include "persistence/list_paths.h"

#include "persistence/file_system.h"
#include "persistence/messages.h"
#include "persistence/recent_banks.h"

namespace grainwheel {

namespace {

constexpr std::size_t kMaxDirectoryLength = 1000;

// The base folder an XDG variable names (it must be absolute), or the default below home.
std::string xdgBase(const std::string& value, const std::string& home, const char* fallback) {
    if (!value.empty() && value[0] == '/') return value;
    if (home.empty()) return {};
    return home + fallback;
}

}  // namespace

PathContext currentPathContext(const char* pluginDirectory) {
    PathContext c;
    c.pluginDirectory = pluginDirectory ? pluginDirectory : "";
    c.pluginDirectoryWritable = directoryWritable(pluginDirectory);
    c.xdgConfigHome = environmentValue("XDG_CONFIG_HOME");
    c.xdgDataHome = environmentValue("XDG_DATA_HOME");
    c.home = environmentValue("HOME");
    return c;
}

std::string recentListPath(const PathContext& c) {
    const std::string& dir = c.pluginDirectory;
    if (c.style == PathStyle::kWindows) {
        if (dir.size() > kMaxDirectoryLength || dir.size() < 3 || dir[1] != ':')
            return std::string("C:\\") + kRecentListFileName;
        return dir + (dir.back() == '\\' ? "" : "\\") + kRecentListFileName;
    }
    if (!dir.empty() && dir.size() <= kMaxDirectoryLength && c.pluginDirectoryWritable)
        return dir + (dir.back() == '/' ? "" : "/") + kRecentListFileName;
    const std::string base = xdgBase(c.xdgConfigHome, c.home, "/.config");
    if (base.empty()) return {};
    return base + "/grainwheel/" + kRecentListFileName;
}

std::string fallbackBankPath(const PathContext& c) {
    if (c.style == PathStyle::kWindows) return "C:\\lastsession.grb";
    std::string base = xdgBase(c.xdgDataHome, c.home, "/.local/share");
    if (base.empty()) base = "/tmp";
    return base + "/grainwheel/lastsession.grb";
}

std::string fallbackBankMessage(const std::string& fallbackPath) {
    return kFallbackBankTextPrefix + fallbackPath;
}

std::string parentFolder(const std::string& path) {
    const std::size_t cut = path.find_last_of(kNativePathStyle == PathStyle::kWindows ? "/\\" : "/");
    if (cut == std::string::npos || cut == 0) return {};
    return path.substr(0, cut);
}

}  // namespace grainwheel
