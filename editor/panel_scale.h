#pragma once
// The panel's scale (pixels per unit of its 930 x 414 layout) and where it comes from:
// the host's format tells one, the window system another, the user chooses a zoom on the
// panel (kept per user in the configuration folder), and GRAINWHEEL_SCALE overrides all.
// Nothing here knows a plug-in format or a window system.

#include <string>

namespace grainwheel {

inline constexpr float kMinScale = 1.0f;
inline constexpr float kMaxScale = 3.0f;

// The zooms the panel's menu offers, in that order after "follow the host".
inline constexpr float kZoomChoices[] = {1.0f, 1.25f, 1.5f, 2.0f, 2.5f, 3.0f};
inline constexpr int kNumZoomChoices = 6;

struct ScaleSources {
    float environment = 0.0f;  // GRAINWHEEL_SCALE; 0: unset
    float user = 0.0f;         // the user's zoom; 0: follow the host
    float host = 0.0f;         // what the host says; 0: nothing
    float system = 0.0f;       // the window system's; 0: nothing
};

// The first source that says a scale, in the order above, held within 1..3; 1 when none.
float chooseScale(const ScaleSources& sources);

// A scale as text: "1.5", "150%" or "150 %"; 0 when the text is no scale within 1..3.
float parseScale(const char* text);

// The file that keeps the user's zoom: in the configuration folder (Linux:
// $XDG_CONFIG_HOME/grainwheel or ~/.config/grainwheel; Windows: %APPDATA%\grainwheel).
// Empty when no folder can be named.
std::string zoomFilePath();
// The zoom kept there (0: follow the host, also when nothing is kept or the file is
// unreadable), and keeping one; false when it could not be written.
float readUserZoom(const std::string& path);
bool writeUserZoom(const std::string& path, float zoom);

}  // namespace grainwheel
