#include "tools/render_command.h"

#include <sndfile.h>

#include <strings.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <vector>

#include "persistence/byte_source.h"
#include "persistence/file_result.h"
#include "persistence/host_file_calls.h"
#include "persistence/wave_file.h"
#include "tools/demo_input.h"
#include "tools/host_session.h"
#include "tools/option_files.h"

namespace gwhost {

namespace {

// Size of one program record and of the bank chunk of grainwheel's own layout.
constexpr std::size_t kRecordBytes = 1884;
constexpr std::size_t kBankBytes = 16 * kRecordBytes;
constexpr std::size_t kPathBytes = 1024;
constexpr std::size_t kCurrentProgramOffset = 1164;
constexpr std::size_t kBufferNumberOffset = 1452;

}  // namespace

bool readInputFile(const std::string& path, RenderOptions& o, Input& in, std::string& error) {
    OptionFile file;
    if (!file.open(path, "--input", kInputFileLimit, error)) return false;
    SF_INFO info{};
    SNDFILE* f = sf_open_fd(fileno(file.file()), SFM_READ, &info, SF_FALSE);
    if (!f) return error = "cannot read " + path + ": " + sf_strerror(nullptr), false;
    bool ok = true;
    const std::uint64_t samples = static_cast<std::uint64_t>(info.frames) * static_cast<std::uint64_t>(info.channels);
    if (info.channels < 1 || info.frames < 0) {
        error = path + ": no audio channels";
        ok = false;
    } else if (o.sampleRateGiven && info.samplerate != static_cast<int>(o.sampleRate)) {
        error = path + " is at " + std::to_string(info.samplerate) + " Hz but --rate is " +
                std::to_string(static_cast<int>(o.sampleRate)) + " Hz; resample it first or drop --rate";
        ok = false;
    } else if (samples > kInputSampleLimit || static_cast<std::uint64_t>(info.frames) > kInputSampleLimit / 2) {
        error = path + ": too long (" + std::to_string(info.frames) + " frames of " + std::to_string(info.channels) +
                " channels; --input takes at most " + std::to_string(kInputSampleLimit) + " samples, " +
                std::to_string(kInputSampleLimit / 2) + " stereo frames)";
        ok = false;
    }
    if (ok) {
        o.sampleRate = info.samplerate;
        std::vector<float> all(static_cast<std::size_t>(info.frames) * static_cast<std::size_t>(info.channels));
        const sf_count_t got = sf_readf_float(f, all.data(), info.frames);
        in.frames = got < 0 ? 0 : got;
        in.samples.assign(static_cast<std::size_t>(in.frames) * 2, 0.0f);
        const auto ch = static_cast<std::size_t>(info.channels);
        for (std::size_t i = 0; i < static_cast<std::size_t>(in.frames); ++i) {
            in.samples[2 * i] = all[i * ch];
            in.samples[2 * i + 1] = all[i * ch + (ch > 1 ? 1 : 0)];  // mono is duplicated
        }
    }
    sf_close(f);
    return ok;
}

namespace {

bool writeFile(const std::string& path, const void* data, std::size_t size) {
    const std::string temp = path + ".part";
    {
        std::ofstream f(temp, std::ios::binary | std::ios::trunc);
        if (!f) return false;
        f.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
        f.flush();
        if (!f) {
            std::remove(temp.c_str());
            return false;
        }
    }
    return std::rename(temp.c_str(), path.c_str()) == 0;
}

std::vector<char> bankChunk(HostSession& s) {
    void* data = nullptr;
    const VstIntPtr size = s.dispatch(effGetChunk, 0, 0, &data);
    if (!data || size <= 0) return {};
    const char* p = static_cast<const char*>(data);
    return std::vector<char>(p, p + size);
}

// What grainwheel's own WAV reader says of the file: kFileOk when it reads it.
grainwheel::FileResult waveVerdict(const char* path) {
    grainwheel::FileSource src;
    if (!src.open(path)) return grainwheel::kFileOpenFailed;
    grainwheel::WaveFormat format;
    return grainwheel::readWaveHeader(src, format);
}

// Asks grainwheel to read or write a bank file itself (its vendor-specific file call).
bool bankCall(HostSession& s, std::intptr_t call, const std::string& path, const char* verb, std::string& error) {
    if (s.effect()->uniqueID != kGrainwheelId) return error = "bank files are grainwheel's own (--bank, --save-bank)", false;
    if (call == grainwheel::kHostLoadBank && !checkOptionFile(path, "--bank", kAnySize, error)) return false;
    const VstIntPtr answer =
        s.dispatch(effVendorSpecific, grainwheel::kHostFileCall, call, const_cast<char*>(path.c_str()));
    const int result = grainwheel::hostFileResult(answer);
    if (result == grainwheel::kFileOk) return true;
    if (result < 0) return error = "this grainwheel build cannot " + std::string(verb) + " bank files for a host", false;
    const char* text = grainwheel::fileResultText(result);
    error = "grainwheel could not " + std::string(verb) + " the bank " + path + ": " + (text ? text : "code") + " (" +
            std::to_string(result) + ")";
    if (result == grainwheel::kFileExists) error += "; remove the file first to replace it";
    return false;
}

}  // namespace

bool applySession(HostSession& s, const RenderOptions& o, std::string& error) {
    AEffect* e = s.effect();
    const bool chunks = (e->flags & effFlagsProgramChunks) != 0;
    if (!o.chunkPath.empty()) {
        std::vector<char> bytes;
        OptionFile file;
        if (!file.open(o.chunkPath, "--chunk", kChunkFileLimit, error) || !file.readAll(bytes, error)) return false;
        if (bytes.empty()) return error = "the chunk file " + o.chunkPath + " is empty", false;
        if (!chunks) return error = "the plug-in does not take chunks (--chunk)", false;
        const VstInt32 isProgram = bytes.size() == kRecordBytes ? 1 : 0;
        if (s.dispatch(effSetChunk, isProgram, static_cast<VstIntPtr>(bytes.size()), bytes.data()) == 0)
            return error = "the plug-in refused the chunk in " + o.chunkPath, false;
    }
    if (!o.bankPath.empty() && !bankCall(s, grainwheel::kHostLoadBank, o.bankPath, "read", error)) return false;
    if (!o.loadWavPath.empty()) {
        // The plug-in's own WAV reader runs when a bank chunk names the file as the
        // current buffer's path.
        if (!checkOptionFile(o.loadWavPath, "--load-wav", kAnySize, error)) return false;
        char resolved[4096];
        if (!realpath(o.loadWavPath.c_str(), resolved)) return error = "cannot find " + o.loadWavPath, false;
        if (std::strlen(resolved) >= kPathBytes) return error = "the WAV path is longer than 1023 characters", false;
        // The restore reports a failed reload only in a message box, so grainwheel's own
        // reader looks at the file first and its answer is given in its words.
        if (e->uniqueID == kGrainwheelId) {
            if (const grainwheel::FileResult r = waveVerdict(resolved); r != grainwheel::kFileOk) {
                const char* text = grainwheel::fileResultText(r);
                return error = "--load-wav " + o.loadWavPath + ": grainwheel does not read it: " +
                               (text ? text : "code") + " (" + std::to_string(r) + ")",
                       false;
            }
        }
        std::vector<char> bank = chunks ? bankChunk(s) : std::vector<char>{};
        if (bank.size() != kBankBytes)
            return error = "--load-wav needs a plug-in whose bank chunk holds 16 program records", false;
        std::int32_t program = 0;
        std::memcpy(&program, bank.data() + kCurrentProgramOffset, sizeof(program));
        program = std::clamp(program, 0, 15);
        float number = 0.0f;
        std::memcpy(&number, bank.data() + static_cast<std::size_t>(program) * kRecordBytes + kBufferNumberOffset,
                    sizeof(number));
        const int buffer = std::isfinite(number) ? std::clamp(static_cast<int>(number), 0, 15) : 0;
        char* path = bank.data() + static_cast<std::size_t>(buffer) * kRecordBytes;
        std::memset(path, 0, kPathBytes);
        std::memcpy(path, resolved, std::strlen(resolved));
        if (s.dispatch(effSetChunk, 0, static_cast<VstIntPtr>(bank.size()), bank.data()) == 0)
            return error = "the plug-in refused the bank chunk for --load-wav", false;
    }
    return true;
}

bool resolveChanges(HostSession& s, const RenderOptions& o, std::vector<Resolved>& out, std::string& error) {
    AEffect* e = s.effect();
    std::vector<std::string> names;
    for (VstInt32 i = 0; i < e->numParams; ++i) names.push_back(s.text(effGetParamName, i));
    for (const TimedChange& c : o.changes) {
        Resolved r{c.beat < 0.0 ? -1 : changeFrame(c.beat, o.startBeat, o.tempo, o.sampleRate), &c, -1, out.size()};
        if (c.isProgram) {
            if (c.program >= e->numPrograms)
                return error = "program " + std::to_string(c.program) + " is out of range (the plug-in has " +
                               std::to_string(e->numPrograms) + ")",
                       false;
        } else {
            const std::string& p = c.parameter;
            if (std::all_of(p.begin(), p.end(), [](char ch) { return ch >= '0' && ch <= '9'; }) && p.size() < 7) {
                r.index = std::stoi(p);
            } else {
                for (std::size_t i = 0; i < names.size() && r.index < 0; ++i)
                    if (names[i] == p) r.index = static_cast<VstInt32>(i);
                for (std::size_t i = 0; i < names.size() && r.index < 0; ++i)
                    if (strcasecmp(names[i].c_str(), p.c_str()) == 0) r.index = static_cast<VstInt32>(i);
                if (r.index < 0) return error = "the plug-in has no parameter named \"" + p + "\"", false;
            }
        }
        out.push_back(r);
    }
    // Before-start changes first, then by frame; command-line order within a frame.
    std::sort(out.begin(), out.end(), [](const Resolved& a, const Resolved& b) {
        return a.frame != b.frame ? a.frame < b.frame : a.order < b.order;
    });
    return true;
}

void apply(HostSession& s, const Resolved& r) {
    if (r.change->isProgram) s.dispatch(effSetProgram, 0, r.change->program);
    else s.effect()->setParameter(s.effect(), r.index, r.change->value);
}

namespace {

bool writeOutput(const RenderOptions& o, const std::vector<float>& samples, std::int64_t frames,
                 std::string& error) {
    SF_INFO info{};
    info.samplerate = static_cast<int>(o.sampleRate);
    info.channels = 2;
    info.format = SF_FORMAT_WAV | (o.format == OutputFormat::Pcm16 ? SF_FORMAT_PCM_16 : SF_FORMAT_FLOAT);
    SNDFILE* f = sf_open(o.outputPath.c_str(), SFM_WRITE, &info);
    if (!f) return error = "cannot write " + o.outputPath + ": " + sf_strerror(nullptr), false;
    // Full-scale float input maps to full-scale 16-bit without wrapping.
    if (o.format == OutputFormat::Pcm16) sf_command(f, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    const sf_count_t written = sf_writef_float(f, samples.data(), frames);
    const bool ok = written == frames && sf_close(f) == 0;
    if (!ok) error = "writing " + o.outputPath + " failed";
    return ok;
}

}  // namespace

int render(const RenderOptions& given, RenderSummary& summary, std::string& error) {
    RenderOptions o = given;
    Input in;
    if (o.input == InputKind::File && !readInputFile(o.inputPath, o, in, error)) return 1;
    const double beatFrames = o.tempo > 0.0 ? 60.0 / o.tempo * o.sampleRate : o.sampleRate / 2.0;
    std::int64_t fallback = static_cast<std::int64_t>(std::llround(8.0 * beatFrames));
    if (o.input == InputKind::File) fallback = in.frames;
    if (o.input == InputKind::Demo) fallback = static_cast<std::int64_t>(std::llround(kDemoBeats * beatFrames));
    const std::int64_t total = renderFrames(o, fallback);
    if (total > static_cast<std::int64_t>(o.sampleRate) * 3600)
        return error = "the render is longer than an hour", 1;
    if (o.input == InputKind::Demo) {
        in.samples = makeDemoInput(total, o.sampleRate, o.tempo > 0.0 ? o.tempo : 120.0);
        in.frames = total;
    }

    HostSession s;
    if (!s.load(o.pluginPath)) return error = s.error(), 1;
    AEffect* e = s.effect();
    if (o.input == InputKind::Demo && e->uniqueID == kGrainwheelId) {
        RenderOptions demo = o;
        demo.changes.clear();
        addDemoChanges(demo);
        demo.changes.insert(demo.changes.end(), o.changes.begin(), o.changes.end());  // the user's win
        o.changes = demo.changes;
    }
    s.transport.sampleRate = o.sampleRate;
    s.transport.tempo = o.tempo;
    s.transport.timeSigNumerator = o.timeSigNumerator;
    s.transport.timeSigDenominator = o.timeSigDenominator;
    s.transport.playing = o.playing;
    s.transport.samplePos = o.tempo > 0.0 ? o.startBeat * 60.0 / o.tempo * o.sampleRate : 0.0;
    s.blockSize = o.blockSize;
    s.dispatch(effOpen);
    s.dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(o.sampleRate));
    s.dispatch(effSetBlockSize, 0, o.blockSize);

    std::vector<Resolved> changes;
    if (!applySession(s, o, error) || !resolveChanges(s, o, changes, error)) return 1;
    s.dispatch(effMainsChanged, 0, 1);
    std::size_t next = 0;
    while (next < changes.size() && changes[next].frame < 0) apply(s, changes[next++]);

    // Channel buffers: at least two each way; extra inputs repeat the right channel.
    const int nIn = std::max(2, static_cast<int>(e->numInputs));
    const int nOut = std::max(2, static_cast<int>(e->numOutputs));
    const auto block = static_cast<std::size_t>(o.blockSize);
    std::vector<std::vector<float>> inBuf(static_cast<std::size_t>(nIn), std::vector<float>(block));
    std::vector<std::vector<float>> outBuf(static_cast<std::size_t>(nOut), std::vector<float>(block));
    std::vector<float*> inPtr, outPtr;
    for (auto& b : inBuf) inPtr.push_back(b.data());
    for (auto& b : outBuf) outPtr.push_back(b.data());
    const bool replacing = (e->flags & effFlagsCanReplacing) != 0 && e->processReplacing;
    const bool monoOut = e->numOutputs == 1;

    std::vector<float> result(static_cast<std::size_t>(total) * 2, 0.0f);
    std::int64_t pos = 0;
    while (pos < total) {
        while (next < changes.size() && changes[next].frame <= pos) apply(s, changes[next++]);
        std::int64_t n = std::min<std::int64_t>(static_cast<std::int64_t>(block), total - pos);
        if (next < changes.size()) n = std::min(n, changes[next].frame - pos);  // split at the change
        const auto frames = static_cast<std::size_t>(n);
        for (std::size_t c = 0; c < inBuf.size(); ++c) {
            const std::size_t side = c == 0 ? 0 : 1;
            for (std::size_t i = 0; i < frames; ++i) {
                const auto f = static_cast<std::size_t>(pos) + i;
                inBuf[c][i] = f < static_cast<std::size_t>(in.frames) ? in.samples[2 * f + side] : 0.0f;
            }
        }
        for (auto& b : outBuf) std::fill(b.begin(), b.end(), 0.0f);
        if (replacing) e->processReplacing(e, inPtr.data(), outPtr.data(), static_cast<VstInt32>(n));
        else if (e->process) e->process(e, inPtr.data(), outPtr.data(), static_cast<VstInt32>(n));
        for (std::size_t i = 0; i < frames; ++i) {
            const auto f = static_cast<std::size_t>(pos) + i;
            result[2 * f] = outBuf[0][i];
            result[2 * f + 1] = monoOut ? outBuf[0][i] : outBuf[1][i];
        }
        if (o.playing) s.transport.advance(static_cast<std::int32_t>(n));
        pos += n;
    }
    s.dispatch(effMainsChanged, 0, 0);

    if (!o.saveChunkPath.empty()) {
        const std::vector<char> bank = (e->flags & effFlagsProgramChunks) ? bankChunk(s) : std::vector<char>{};
        if (bank.empty()) return error = "the plug-in gave no chunk to save", 1;
        if (!writeFile(o.saveChunkPath, bank.data(), bank.size()))
            return error = "cannot write the chunk file " + o.saveChunkPath, 1;
    }
    if (!o.saveBankPath.empty() && !bankCall(s, grainwheel::kHostSaveBank, o.saveBankPath, "write", error)) return 1;
    s.close();

    double sum = 0.0;
    summary = RenderSummary{};
    for (float& v : result) {
        if (!std::isfinite(v)) {
            ++summary.nonFinite;
            v = 0.0f;
        }
        summary.peak = std::max(summary.peak, static_cast<double>(std::fabs(v)));
        sum += static_cast<double>(v) * v;
    }
    summary.frames = total;
    summary.rms = result.empty() ? 0.0 : std::sqrt(sum / static_cast<double>(result.size()));
    summary.formatText = o.format == OutputFormat::Pcm16 ? "16-bit PCM" : "32-bit float";
    if (!writeOutput(o, result, total, error)) return 1;
    return 0;
}

int runRender(int argc, const char* const* argv, std::FILE* out) {
    RenderOptions options;
    std::string error;
    if (!parseRenderOptions(argc, argv, options, error)) {
        std::fprintf(stderr, "grainwheel-host render: %s\n%s", error.c_str(), renderUsage());
        return 2;
    }
    RenderSummary summary;
    if (render(options, summary, error) != 0) {
        std::fprintf(stderr, "grainwheel-host render: %s\n", error.c_str());
        return 1;
    }
    if (!options.quiet) {
        auto db = [](double v) { return v > 0.0 ? 20.0 * std::log10(v) : -999.0; };
        std::fprintf(out, "frames:   %lld (stereo)\n", static_cast<long long>(summary.frames));
        std::fprintf(out, "peak:     %.6f (%.1f dBFS)\n", summary.peak, db(summary.peak));
        std::fprintf(out, "rms:      %.6f (%.1f dBFS)\n", summary.rms, db(summary.rms));
        if (summary.nonFinite) std::fprintf(out, "nonfinite: %lld samples written as 0\n",
                                            static_cast<long long>(summary.nonFinite));
        std::fprintf(out, "wrote:    %s (WAV, %s)\n", options.outputPath.c_str(), summary.formatText.c_str());
    }
    return summary.nonFinite ? 1 : 0;
}

}  // namespace gwhost
