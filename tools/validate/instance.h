#pragma once
// One plug-in instance under test: loading through the entry point, the host's calls in
// the usual orders, guarded text answers, and blocks processed through guarded buffers
// with their output scanned.

#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "tools/host_session.h"
#include "tools/validate/check.h"
#include "tools/validate/guards.h"

namespace gwvalidate {

// What the output of a stretch of blocks held.
struct AudioStats {
    long blocks = 0;
    long nan = 0, infinite = 0, subnormal = 0, loud = 0, unwritten = 0;
    float peak = 0.0f;
    std::string first;  // where the first bad sample was

    bool clean() const { return nan + infinite + subnormal + loud + unwritten == 0; }
    // "" when clean, else counts of each kind and where the first was.
    std::string problem() const;
    void merge(const AudioStats& other);
};

constexpr float kLoudLimit = 15.848932f;  // +24 dBFS

class Instance {
public:
    explicit Instance(Context& context) : context_(context) {}
    // Loads the plug-in; a failure is reported and answers false.
    bool load();
    AEffect* effect() const { return session.effect(); }
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr, float opt = 0) {
        return session.dispatch(opcode, index, value, ptr, opt);
    }
    // effOpen, rates, effMainsChanged(1) / effMainsChanged(0).
    void start(double sampleRate, int blockSize) { session.start(sampleRate, blockSize); }
    void stop() { session.stop(); }

    bool replacing() const;
    int numInputs() const;
    int numOutputs() const;
    int numParams() const;
    int numPrograms() const;
    // The parameters a host automates (effCanBeAutomated); the others it sets from its
    // user interface only.
    const std::vector<int>& automatable();

    // Runs one block through the audio callback the plug-in offers. The outputs are
    // first filled with a marker, so that samples left unwritten show; with
    // `countAllocations` the call runs inside an AudioCallbackScope.
    void process(GuardedAudio& audio, bool countAllocations = false);
    void setParameter(VstInt32 index, float value, bool countAllocations = false);
    float getParameter(VstInt32 index, bool countAllocations = false);

    // A text answer read through a guarded buffer of `limit` characters (more room up to
    // what hosts commonly give behind it); an overrun is reported naming `what`.
    std::string guardedText(VstInt32 opcode, VstInt32 index, int limit, const std::string& what, VstIntPtr value = 0);

    gwhost::HostSession session;

private:
    Context& context_;
    std::vector<int> automatable_;
    std::set<std::pair<VstInt32, VstInt32>> warnedTexts_;  // (opcode, index) already warned about
    bool automatableKnown_ = false;
};

// Input content.
void fillNoise(GuardedAudio& audio, std::mt19937& rng, float level);
void fillSilence(GuardedAudio& audio);
// Scans the current block's outputs into `stats`; `where` names the place for the first finding.
void scanOutputs(const GuardedAudio& audio, AudioStats& stats, const std::string& where);
// The largest magnitude in the current block's outputs.
float outputPeak(const GuardedAudio& audio);

// The answers a host reads through documented text sizes.
constexpr int kEffectNameLimit = 32;
constexpr int kVendorLimit = 64;
constexpr int kProductLimit = 64;
constexpr int kProgramNameLimit = 24;
constexpr int kParamTextLimit = 8;
// From this strictness on, a text beyond its documented size fails its check.
constexpr int kStrictTextsFrom = 8;

}  // namespace gwvalidate

namespace gwvalidate {

// Scales a length chosen for strictness 5 to the run's strictness.
inline double scaled(const Context& context, double atFive) { return atFive * context.strictness() / 5.0; }

}  // namespace gwvalidate

namespace gwvalidate {

// Processes `frames` frames in the blocks `audio` is arranged for, with noise of
// `level` in (0: silence), calling `beforeBlock(n)` ahead of block n; the outputs are
// scanned into the answer.
template <typename BeforeBlock>
AudioStats renderBlocks(Instance& instance, GuardedAudio& audio, Context& context, long frames, float level,
                        const std::string& where, BeforeBlock beforeBlock, bool countAllocations = false) {
    AudioStats stats;
    long done = 0;
    for (long n = 0; done < frames; ++n) {
        if (level > 0.0f)
            fillNoise(audio, context.rng, level);
        else
            fillSilence(audio);
        beforeBlock(n);
        instance.process(audio, countAllocations);
        scanOutputs(audio, stats, where);
        done += audio.frames();
    }
    return stats;
}

inline AudioStats renderBlocks(Instance& instance, GuardedAudio& audio, Context& context, long frames, float level,
                               const std::string& where) {
    return renderBlocks(instance, audio, context, frames, level, where, [](long) {});
}

}  // namespace gwvalidate
