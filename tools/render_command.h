#pragma once
// grainwheel-host render: offline rendering through any VST 2.x plug-in, with a simulated
// transport, parameter and program changes at exact frames, and the session options
// (--chunk, --load-wav, --save-chunk) that save and restore a plug-in's state.

#include <cstdint>
#include <cstdio>
#include <string>

#include "tools/render_options.h"

namespace gwhost {

struct RenderSummary {
    std::int64_t frames = 0;
    std::int64_t nonFinite = 0;   // NaN or infinite output samples (written as 0)
    double peak = 0.0;            // highest absolute sample, both channels
    double rms = 0.0;             // over both channels
    std::string formatText;       // "32-bit float" or "16-bit PCM"
};

// Renders as the options say and writes the output file. 0 on success, else 1 with
// `error` set (nothing half-done is reported as success).
int render(const RenderOptions& options, RenderSummary& summary, std::string& error);

// The subcommand: parses `argv` (the arguments after "render"), renders, prints the
// summary to `out` and errors to stderr. Returns the process exit code.
int runRender(int argc, const char* const* argv, std::FILE* out);

}  // namespace gwhost
