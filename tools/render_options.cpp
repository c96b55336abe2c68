#include "tools/render_options.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace gwhost {

namespace {

bool toDouble(const std::string& text, double& out) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    out = std::strtod(text.c_str(), &end);
    return errno == 0 && end && *end == 0 && std::isfinite(out);
}

bool toInt(const std::string& text, long lo, long hi, std::int32_t& out) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || !end || *end != 0 || v < lo || v > hi) return false;
    out = static_cast<std::int32_t>(v);
    return true;
}

std::string trim(const std::string& s) {
    const auto a = s.find_first_not_of(" \t");
    if (a == std::string::npos) return "";
    const auto b = s.find_last_not_of(" \t");
    return s.substr(a, b - a + 1);
}

}  // namespace

bool parseAssignment(const std::string& text, TimedChange& out) {
    const auto eq = text.rfind('=');
    if (eq == std::string::npos) return false;
    const std::string name = trim(text.substr(0, eq));
    double value = 0.0;
    if (name.empty() || !toDouble(trim(text.substr(eq + 1)), value)) return false;
    out.isProgram = false;
    out.parameter = name;
    out.value = static_cast<float>(value);
    return true;
}

bool parseTimed(const std::string& text, bool program, TimedChange& out) {
    const auto colon = text.find(':');
    if (colon == std::string::npos) return false;
    double beat = 0.0;
    if (!toDouble(trim(text.substr(0, colon)), beat) || beat < 0.0) return false;
    const std::string rest = text.substr(colon + 1);
    if (program) {
        std::int32_t n = 0;
        if (!toInt(trim(rest), 0, 1 << 30, n)) return false;
        out.isProgram = true;
        out.program = n;
        out.parameter.clear();
    } else if (!parseAssignment(rest, out)) {
        return false;
    }
    out.beat = beat;
    return true;
}

std::int64_t changeFrame(double beat, double startBeat, double tempo, double sampleRate) {
    if (beat < 0.0 || tempo <= 0.0) return 0;
    const double frames = (beat - startBeat) * 60.0 / tempo * sampleRate;
    if (frames <= 0.0) return 0;
    // The tolerance keeps beats that fall exactly on a frame from moving one frame late.
    return static_cast<std::int64_t>(std::ceil(frames - 1e-6));
}

std::int64_t renderFrames(const RenderOptions& o, std::int64_t fallback) {
    if (o.durationBeats >= 0.0 && o.tempo > 0.0)
        return static_cast<std::int64_t>(std::llround(o.durationBeats * 60.0 / o.tempo * o.sampleRate));
    if (o.durationSeconds >= 0.0) return static_cast<std::int64_t>(std::llround(o.durationSeconds * o.sampleRate));
    return fallback;
}

const char* renderUsage() {
    return "usage: grainwheel-host render PLUGIN.so [options] -o OUT.wav\n"
           "  input:      --input FILE (WAV/FLAC) | --silence (default) | --demo\n"
           "  output:     -o OUT.wav  --format float|pcm16 (default float)\n"
           "  transport:  --rate HZ (44100) --block N (512) --tempo BPM (120) --timesig N/D (4/4)\n"
           "              --start QUARTERS (0) --stopped | --playing\n"
           "  length:     --beats N | --seconds S (default: the input's length, 8 beats on silence)\n"
           "  parameters: --set NAME=V | --set INDEX=V    --set-at BEAT:NAME=V\n"
           "  programs:   --program N                     --program-at BEAT:N\n"
           "  session:    --chunk FILE  --bank FILE  --load-wav FILE       (before the render, in this order)\n"
           "              --save-chunk FILE  --save-bank FILE           (after it)\n"
           "  --quiet     no summary\n"
           "BEAT is a song position in quarter notes; changes apply at the exact frame.\n";
}

bool parseRenderOptions(int argc, const char* const* argv, RenderOptions& out, std::string& error) {
    out = RenderOptions{};
    auto need = [&](int& i, const char* opt, std::string& value) {
        if (i + 1 >= argc) {
            error = std::string(opt) + " needs a value";
            return false;
        }
        value = argv[++i];
        return true;
    };
    for (int i = 0; i < argc; ++i) {
        const std::string a = argv[i];
        std::string v;
        if (a == "-o" || a == "--output") {
            if (!need(i, a.c_str(), v)) return false;
            out.outputPath = v;
        } else if (a == "--input") {
            if (!need(i, "--input", v)) return false;
            out.input = InputKind::File;
            out.inputPath = v;
        } else if (a == "--silence") {
            out.input = InputKind::Silence;
        } else if (a == "--demo") {
            out.input = InputKind::Demo;
        } else if (a == "--format") {
            if (!need(i, "--format", v)) return false;
            if (v == "float") out.format = OutputFormat::Float32;
            else if (v == "pcm16") out.format = OutputFormat::Pcm16;
            else return error = "--format must be float or pcm16", false;
        } else if (a == "--rate") {
            if (!need(i, "--rate", v)) return false;
            double r = 0;
            if (!toDouble(v, r) || r < 8000.0 || r > 384000.0)
                return error = "--rate must be a sample rate from 8000 to 384000", false;
            out.sampleRate = r;
            out.sampleRateGiven = true;
        } else if (a == "--block") {
            if (!need(i, "--block", v)) return false;
            if (!toInt(v, 1, 65536, out.blockSize)) return error = "--block must be 1 to 65536 frames", false;
        } else if (a == "--tempo") {
            if (!need(i, "--tempo", v)) return false;
            if (!toDouble(v, out.tempo) || out.tempo < 0.0 || out.tempo > 1000.0)
                return error = "--tempo must be 0 to 1000 beats per minute", false;
        } else if (a == "--timesig") {
            if (!need(i, "--timesig", v)) return false;
            const auto slash = v.find('/');
            if (slash == std::string::npos || !toInt(v.substr(0, slash), 1, 64, out.timeSigNumerator) ||
                !toInt(v.substr(slash + 1), 1, 64, out.timeSigDenominator))
                return error = "--timesig must look like 4/4", false;
        } else if (a == "--start") {
            if (!need(i, "--start", v)) return false;
            if (!toDouble(v, out.startBeat) || out.startBeat < 0.0)
                return error = "--start must be a position in quarter notes, 0 or more", false;
        } else if (a == "--stopped") {
            out.playing = false;
        } else if (a == "--playing") {
            out.playing = true;
        } else if (a == "--beats") {
            if (!need(i, "--beats", v)) return false;
            if (!toDouble(v, out.durationBeats) || out.durationBeats < 0.0)
                return error = "--beats must be 0 or more", false;
        } else if (a == "--seconds") {
            if (!need(i, "--seconds", v)) return false;
            if (!toDouble(v, out.durationSeconds) || out.durationSeconds < 0.0)
                return error = "--seconds must be 0 or more", false;
        } else if (a == "--set") {
            if (!need(i, "--set", v)) return false;
            TimedChange c;
            if (!parseAssignment(v, c)) return error = "--set expects NAME=VALUE or INDEX=VALUE, got \"" + v + "\"", false;
            out.changes.push_back(c);
        } else if (a == "--set-at") {
            if (!need(i, "--set-at", v)) return false;
            TimedChange c;
            if (!parseTimed(v, false, c)) return error = "--set-at expects BEAT:NAME=VALUE, got \"" + v + "\"", false;
            out.changes.push_back(c);
        } else if (a == "--program") {
            if (!need(i, "--program", v)) return false;
            TimedChange c;
            c.isProgram = true;
            if (!toInt(v, 0, 1 << 30, c.program)) return error = "--program expects a program number", false;
            out.changes.push_back(c);
        } else if (a == "--program-at") {
            if (!need(i, "--program-at", v)) return false;
            TimedChange c;
            if (!parseTimed(v, true, c)) return error = "--program-at expects BEAT:NUMBER, got \"" + v + "\"", false;
            out.changes.push_back(c);
        } else if (a == "--chunk") {
            if (!need(i, "--chunk", out.chunkPath)) return false;
        } else if (a == "--bank") {
            if (!need(i, "--bank", out.bankPath)) return false;
        } else if (a == "--load-wav") {
            if (!need(i, "--load-wav", out.loadWavPath)) return false;
        } else if (a == "--save-chunk") {
            if (!need(i, "--save-chunk", out.saveChunkPath)) return false;
        } else if (a == "--save-bank") {
            if (!need(i, "--save-bank", out.saveBankPath)) return false;
        } else if (a == "--quiet") {
            out.quiet = true;
        } else if (!a.empty() && a[0] == '-') {
            return error = "unknown option " + a, false;
        } else if (out.pluginPath.empty()) {
            out.pluginPath = a;
        } else {
            return error = "unexpected argument " + a, false;
        }
    }
    if (out.pluginPath.empty()) return error = "no plug-in given", false;
    if (out.outputPath.empty()) return error = "no output file given (-o OUT.wav)", false;
    return true;
}

void addDemoChanges(RenderOptions& o) {
    auto set = [&](double beat, const std::string& name, float value) {
        TimedChange c;
        c.beat = beat;
        c.parameter = name;
        c.value = value;
        o.changes.push_back(c);
    };
    // Hear the loop while it is recorded; record "2/1" (two bars) into buffer 0. The
    // synced recording waits for the next bar line: it runs from beat 4 to beat 12.
    set(-1, "bufferNo", 0.0f);
    set(-1, "monitor", 1.0f);
    set(-1, "276", 4.0f);  // record Sync Unit "2/1"
    set(-1, "rec sync", 1.0f);
    // Sixteen units, each with its own grain length, speed, pitch and filter.
    static const float time[16] = {0.8f, 0.5f, 0.8f, 0.3f, 1.0f, 0.6f, 0.8f, 0.4f,
                                   0.8f, 0.5f, 0.9f, 0.3f, 1.0f, 0.7f, 0.6f, 0.2f};
    static const float speed[16] = {1.0f, 1.0f, 0.5f, 1.0f, 0.75f, 1.0f, 1.0f, 0.25f,
                                    1.0f, 0.5f, 1.0f, 1.0f, 0.75f, 1.0f, 0.5f, 1.0f};
    static const float pitch[16] = {0.5f, 0.5f, 0.75f, 0.5f, 0.25f, 0.5f, 1.0f, 0.5f,
                                    0.5f, 0.625f, 0.5f, 0.375f, 0.5f, 0.75f, 0.5f, 0.25f};
    static const float freq[16] = {1.0f, 0.8f, 1.0f, 0.5f, 1.0f, 0.9f, 0.6f, 1.0f,
                                   1.0f, 0.7f, 1.0f, 0.4f, 0.9f, 1.0f, 0.8f, 0.5f};
    char name[24];  // room for any int, whatever the optimiser can prove of k
    for (int k = 0; k < 16; ++k) {
        std::snprintf(name, sizeof(name), "time%02d", k + 1);
        set(-1, name, time[k]);
        std::snprintf(name, sizeof(name), "speed%02d", k + 1);
        set(-1, name, speed[k]);
        std::snprintf(name, sizeof(name), "pitch%02d", k + 1);
        set(-1, name, pitch[k]);
        std::snprintf(name, sizeof(name), "freq%02d", k + 1);
        set(-1, name, freq[k]);
    }
    // Playback of the recording starts when it is complete.
    set(12.0, "monitor", 0.0f);
    set(12.0, "mainLevl", 0.7f);
    set(20.0, "unitDura", 0.5f);
    set(20.0, "reso", 0.5f);
    set(24.0, "density", 0.6f);
    set(24.0, "speed01", 0.5f);
    set(24.0, "pitch01", 0.75f);
}

}  // namespace gwhost
