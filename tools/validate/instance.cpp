#include "tools/validate/instance.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "tools/validate/alloc_counter.h"

namespace gwvalidate {

namespace {
constexpr std::uint32_t kUnwrittenBits = 0x7FA0BEEFu;  // a quiet NaN the plug-in never makes

void appendCount(std::string& s, long n, const char* what) {
    if (n == 0) return;
    if (!s.empty()) s += ", ";
    s += std::to_string(n) + " " + what;
}
}  // namespace

std::string AudioStats::problem() const {
    if (clean()) return "";
    std::string s;
    appendCount(s, nan, "NaN");
    appendCount(s, infinite, "infinite");
    appendCount(s, subnormal, "subnormal");
    appendCount(s, loud, "above +24 dBFS");
    appendCount(s, unwritten, "left unwritten");
    return s + " output samples; first " + first;
}

void AudioStats::merge(const AudioStats& o) {
    if (first.empty() && !o.first.empty()) first = o.first;
    blocks += o.blocks;
    nan += o.nan;
    infinite += o.infinite;
    subnormal += o.subnormal;
    loud += o.loud;
    unwritten += o.unwritten;
    if (o.peak > peak) peak = o.peak;
}

bool Instance::load() {
    if (!session.load(context_.options.pluginPath)) {
        context_.report.fail("%s", session.error().c_str());
        return false;
    }
    // Reserved so that recording the plug-in's host calls allocates nothing in a callback.
    session.automation.reserve(1 << 16);
    session.hostOpcodesSeen.reserve(1024);
    return true;
}

bool Instance::replacing() const { return (effect()->flags & effFlagsCanReplacing) && effect()->processReplacing; }
int Instance::numInputs() const { return effect()->numInputs; }
int Instance::numOutputs() const { return effect()->numOutputs; }
int Instance::numParams() const { return effect()->numParams; }
int Instance::numPrograms() const { return effect()->numPrograms; }

const std::vector<int>& Instance::automatable() {
    if (!automatableKnown_) {
        automatableKnown_ = true;
        for (int i = 0; i < numParams(); ++i)
            if (dispatch(effCanBeAutomated, i) != 0) automatable_.push_back(i);
        // A plug-in that answers no for every parameter does not know the question:
        // hosts automate all of them then.
        if (automatable_.empty())
            for (int i = 0; i < numParams(); ++i) automatable_.push_back(i);
    }
    return automatable_;
}

void Instance::process(GuardedAudio& audio, bool countAllocations) {
    AEffect* e = effect();
    const bool replace = replacing();
    for (int c = 0; c < audio.numOutputs(); ++c) {
        float* out = audio.outputs()[c];
        if (replace)
            for (int i = 0; i < audio.frames(); ++i) std::memcpy(out + i, &kUnwrittenBits, sizeof(float));
        else
            std::memset(out, 0, static_cast<std::size_t>(audio.frames()) * sizeof(float));
    }
    // Keeps the recorded automation within its reserve.
    if (session.automation.size() > (1 << 15)) session.automation.clear();
    if (countAllocations) {
        AudioCallbackScope scope;
        (replace ? e->processReplacing : e->process)(e, audio.inputs(), audio.outputs(), audio.frames());
    } else {
        (replace ? e->processReplacing : e->process)(e, audio.inputs(), audio.outputs(), audio.frames());
    }
    session.transport.advance(audio.frames());
}

void Instance::setParameter(VstInt32 index, float value, bool countAllocations) {
    AEffect* e = effect();
    if (countAllocations) {
        AudioCallbackScope scope;
        e->setParameter(e, index, value);
    } else {
        e->setParameter(e, index, value);
    }
}

float Instance::getParameter(VstInt32 index, bool countAllocations) {
    AEffect* e = effect();
    if (countAllocations) {
        AudioCallbackScope scope;
        return e->getParameter(e, index);
    }
    return e->getParameter(e, index);
}

std::string Instance::guardedText(VstInt32 opcode, VstInt32 index, int limit, const std::string& what,
                                  VstIntPtr value) {
    GuardedText text(limit, GuardedText::kHostLimit);
    dispatch(opcode, index, value, text.data());
    std::string why;
    switch (text.fit(why)) {
        case GuardedText::Fit::Inside: break;
        case GuardedText::Fit::BeyondDocumented:
            // Hosts commonly give more room than documented: a lapse to report, a fault
            // only at the higher strictness levels.
            if (context_.strictness() >= kStrictTextsFrom)
                context_.report.fail("%s: %s", what.c_str(), why.c_str());
            else if (warnedTexts_.insert({opcode, index}).second)  // once per text
                context_.report.warn("%s: %s", what.c_str(), why.c_str());
            break;
        case GuardedText::Fit::BeyondHost: context_.report.fail("%s: %s", what.c_str(), why.c_str()); break;
    }
    return text.text();
}

void fillNoise(GuardedAudio& audio, std::mt19937& rng, float level) {
    std::uniform_real_distribution<float> d(-level, level);
    for (int c = 0; c < audio.numInputs(); ++c)
        for (int i = 0; i < audio.frames(); ++i) audio.inputs()[c][i] = d(rng);
}

void fillSilence(GuardedAudio& audio) {
    for (int c = 0; c < audio.numInputs(); ++c)
        std::memset(audio.inputs()[c], 0, static_cast<std::size_t>(audio.frames()) * sizeof(float));
}

void scanOutputs(const GuardedAudio& audio, AudioStats& stats, const std::string& where) {
    ++stats.blocks;
    for (int c = 0; c < audio.numOutputs(); ++c) {
        const float* out = audio.outputs()[c];
        for (int i = 0; i < audio.frames(); ++i) {
            float x = out[i];
            const char* kind = nullptr;
            std::uint32_t bits;
            std::memcpy(&bits, &x, sizeof(bits));
            if (bits == kUnwrittenBits) {
                ++stats.unwritten;
                kind = "left unwritten";
            } else if (std::isnan(x)) {
                ++stats.nan;
                kind = "NaN";
            } else if (std::isinf(x)) {
                ++stats.infinite;
                kind = "infinite";
            } else {
                float a = std::fabs(x);
                if (a > stats.peak) stats.peak = a;
                if (std::fpclassify(x) == FP_SUBNORMAL) {
                    ++stats.subnormal;
                    kind = "subnormal";
                } else if (a > kLoudLimit) {
                    ++stats.loud;
                    kind = "above +24 dBFS";
                }
            }
            if (kind && stats.first.empty()) {
                char text[256];
                std::snprintf(text, sizeof(text), "%s (%g) at output %d, frame %d of block %ld, %s", kind,
                              static_cast<double>(x), c, i, stats.blocks - 1, where.c_str());
                stats.first = text;
            }
        }
    }
}

float outputPeak(const GuardedAudio& audio) {
    float peak = 0.0f;
    for (int c = 0; c < audio.numOutputs(); ++c) {
        const float* out = audio.outputs()[c];
        for (int i = 0; i < audio.frames(); ++i) {
            float a = std::fabs(out[i]);
            if (!(a <= peak)) peak = a;  // NaN counts as loud
        }
    }
    return peak;
}

}  // namespace gwvalidate
