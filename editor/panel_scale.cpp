#include "editor/panel_scale.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/file_calls.h"
#include "platform/paths.h"

namespace grainwheel {

namespace {

bool inRange(float s) { return std::isfinite(s) && s >= kMinScale && s <= kMaxScale; }

float held(float s) { return s < kMinScale ? kMinScale : (s > kMaxScale ? kMaxScale : s); }

}  // namespace

float chooseScale(const ScaleSources& s) {
    for (float v : {s.environment, s.user, s.host, s.system}) {
        if (std::isfinite(v) && v > 0.0f) return held(v);
    }
    return 1.0f;
}

float parseScale(const char* text) {
    if (text == nullptr) return 0.0f;
    char* end = nullptr;
    errno = 0;
    double v = std::strtod(text, &end);
    if (end == text || errno != 0) return 0.0f;
    while (*end == ' ') ++end;
    if (*end == '%') {
        v /= 100.0;
        ++end;
    }
    if (*end != '\0') return 0.0f;
    const auto s = static_cast<float>(v);
    return inRange(s) ? s : 0.0f;
}

std::string zoomFilePath() {
    std::string folder;
#ifdef _WIN32
    const char* appData = platform::environment("APPDATA");
    if (appData == nullptr || *appData == '\0') return {};
    folder = std::string(appData) + "\\grainwheel";
#else
    const char* config = platform::environment("XDG_CONFIG_HOME");
    if (config != nullptr && *config == '/') {
        folder = std::string(config) + "/grainwheel";
    } else {
        const char* home = platform::homeDirectory();
        if (home == nullptr || *home == '\0') return {};
        folder = std::string(home) + "/.config/grainwheel";
    }
#endif
    return folder + platform::pathSeparator() + "zoom.txt";
}

float readUserZoom(const std::string& path) {
    if (path.empty()) return 0.0f;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return 0.0f;
    char text[32] = {};
    const std::size_t n = std::fread(text, 1, sizeof text - 1, f);
    std::fclose(f);
    text[n] = '\0';
    for (std::size_t i = n; i > 0 && (text[i - 1] == '\n' || text[i - 1] == '\r' || text[i - 1] == ' '); --i)
        text[i - 1] = '\0';
    return parseScale(text);
}

bool writeUserZoom(const std::string& path, float zoom) {
    if (path.empty()) return false;
    // The configuration folder and its parent (~/.config) may not exist yet.
    const std::size_t cut = path.find_last_of(platform::pathSeparator());
    if (cut != std::string::npos) {
        const std::string folder = path.substr(0, cut);
        const std::size_t up = folder.find_last_of(platform::pathSeparator());
        if (up != std::string::npos && up > 0) platform::makeOneDirectory(folder.substr(0, up).c_str());
        if (!platform::makeOneDirectory(folder.c_str())) return false;
    }
    const std::string temporary = path + ".new";
    FILE* f = std::fopen(temporary.c_str(), "wb");
    if (f == nullptr) return false;
    const bool follow = !inRange(zoom);
    const int written = follow ? std::fprintf(f, "host\n") : std::fprintf(f, "%d%%\n", static_cast<int>(std::lround(zoom * 100.0f)));
    const bool ok = std::fclose(f) == 0 && written > 0;
    if (!ok) {
        std::remove(temporary.c_str());
        return false;
    }
    return platform::replaceFile(temporary.c_str(), path.c_str());
}

}  // namespace grainwheel
