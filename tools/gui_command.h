#pragma once
// grainwheel-host gui: a plug-in's editor in a real X11 window, as a host shows it. The
// tool makes the top-level window, passes its id to effEditOpen and calls effEditIdle
// every 40 ms, while a second thread processes the session's input (demo loop, file or
// silence, repeating) in real time. The automation the plug-in sends is printed. Works
// with any VST 2 plug-in whose editor opens in an X11 parent window.

#include <cstdio>
#include <string>

#include "tools/render_options.h"

namespace gwhost {

struct GuiOptions {
    RenderOptions session;
    double quitAfterSeconds = -1.0;  // --quit-after S: close by itself (tests, demos)
    bool printWindow = false;        // --print-window: the window id on standard output
    float scale = 0.0f;              // --scale S: the host's scale for the editor; 0: none
};

bool parseGuiOptions(int argc, const char* const* argv, GuiOptions& out, std::string& error);
const char* guiUsage();
int runGui(int argc, const char* const* argv, std::FILE* out);

}  // namespace gwhost
