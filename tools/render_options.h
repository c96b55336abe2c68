#pragma once
// Command-line options of `grainwheel-host render` and the timed changes they schedule.
// Parsing is separate from rendering so that it can be checked on its own.

#include <cstdint>
#include <string>
#include <vector>

namespace gwhost {

// One parameter or program change. `beat` < 0 means "before the render starts".
struct TimedChange {
    double beat = -1.0;       // song position in quarter notes
    bool isProgram = false;
    std::string parameter;    // a name ("time01") or an index ("45"); empty for programs
    float value = 0.0f;       // parameter value
    std::int32_t program = 0; // program number
};

enum class InputKind { Silence, File, Demo };
enum class OutputFormat { Float32, Pcm16 };

struct RenderOptions {
    std::string pluginPath;
    std::string outputPath;
    InputKind input = InputKind::Silence;
    std::string inputPath;
    OutputFormat format = OutputFormat::Float32;
    double sampleRate = 44100.0;
    bool sampleRateGiven = false;
    std::int32_t blockSize = 512;
    double tempo = 120.0;
    std::int32_t timeSigNumerator = 4;
    std::int32_t timeSigDenominator = 4;
    double startBeat = 0.0;   // start position in quarter notes
    bool playing = true;
    double durationBeats = -1.0;    // < 0: not given
    double durationSeconds = -1.0;  // < 0: not given
    std::vector<TimedChange> changes;  // in command-line order
    // Session: applied before processing starts, in this order.
    std::string chunkPath;     // --chunk
    std::string bankPath;      // --bank
    std::string loadWavPath;   // --load-wav
    std::string saveChunkPath; // --save-chunk (after the render)
    std::string saveBankPath;  // --save-bank (after the render)
    bool quiet = false;
};

// Parses the arguments after "render". False with `error` set on bad input.
bool parseRenderOptions(int argc, const char* const* argv, RenderOptions& out, std::string& error);

// "time01=0.35" or "45=0.35" into a change; false on malformed text.
bool parseAssignment(const std::string& text, TimedChange& out);
// "4.0:bufferNo=0.2" (parameter) or "4.0:3" (program, when `program` is true).
bool parseTimed(const std::string& text, bool program, TimedChange& out);

// The frame (from the start of the render) at which a change at `beat` takes effect:
// the first frame whose song position is at or after the beat; 0 for earlier beats.
std::int64_t changeFrame(double beat, double startBeat, double tempo, double sampleRate);

// Render length in frames from the options (beats win over seconds); `fallback` when
// neither was given.
std::int64_t renderFrames(const RenderOptions& options, std::int64_t fallback);

// Adds the built-in demo's changes: record two bars of the demo loop into buffer 0 with
// rec sync, then play them back through the sequencer with varied units. Used for
// grainwheel only (unique ID kGrainwheelId); another plug-in just processes the loop.
void addDemoChanges(RenderOptions& options);
// Beats the demo runs when no duration is given.
constexpr double kDemoBeats = 28.0;
constexpr std::int32_t kGrainwheelId = 0x47573039;  // 'GW09'

const char* renderUsage();

}  // namespace gwhost
