#pragma once
// grainwheel-host render: offline rendering through any VST 2.x plug-in, with a simulated
// transport, parameter and program changes at exact frames, and the session options
// (--chunk, --load-wav, --save-chunk) that save and restore a plug-in's state.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "host/vst2abi.h"
#include "tools/render_options.h"

namespace gwhost {

class HostSession;

// The steps of a render that other subcommands share.
struct Input {
    std::vector<float> samples;  // stereo interleaved
    std::int64_t frames = 0;
};
// Reads a WAV/FLAC file as stereo (mono duplicated); takes the file's rate into `o`.
bool readInputFile(const std::string& path, RenderOptions& o, Input& in, std::string& error);
// --chunk, --bank and --load-wav, in this order, on an opened plug-in.
bool applySession(HostSession& s, const RenderOptions& o, std::string& error);
// A change with its frame (-1: before the start) and parameter index.
struct Resolved {
    std::int64_t frame;
    const TimedChange* change;
    VstInt32 index;
    std::size_t order;  // command-line position, keeps same-frame changes in order
};
// The options' changes by frame, with parameter names looked up.
bool resolveChanges(HostSession& s, const RenderOptions& o, std::vector<Resolved>& out, std::string& error);
void apply(HostSession& s, const Resolved& r);

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
