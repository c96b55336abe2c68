// Parameters (set, read back, displayed; extreme values; random automation while
// processing) and programs (names, switching while processing).

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "tools/validate/instance.h"

namespace gwvalidate {

namespace {

const float kInf = std::numeric_limits<float>::infinity();
const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kExtremes[] = {-1.0f, 2.0f, -0.0f, 1.0000001f, -1e-40f, 1e-40f, 1e30f, -1e30f, kInf, -kInf, kNaN};

std::string valueText(float v) {
    char text[32];
    std::snprintf(text, sizeof(text), "%g", static_cast<double>(v));
    return text;
}

// Reads parameter i back after setParameter(value) and checks the display's size.
void setAndRead(Context& cx, Instance& in, int i, float value, bool extreme) {
    progress("setParameter(%d, %s) and its texts", i, valueText(value).c_str());
    in.setParameter(i, value);
    float back = in.getParameter(i);
    const std::string set = "parameter " + std::to_string(i) + " after setParameter(" + valueText(value) + ")";
    if (!std::isfinite(back))
        cx.report.fail("%s reads back %g", set.c_str(), static_cast<double>(back));
    else if (back < 0.0f || back > 1.0f)
        cx.report.fail("%s reads back %g, outside 0..1", set.c_str(), static_cast<double>(back));
    else if (!extreme) {
        // Setting what it reads must read the same (a stepped parameter rounds once).
        in.setParameter(i, back);
        float again = in.getParameter(i);
        if (again != back)
            cx.report.fail("%s reads %g; set to that, it reads %g", set.c_str(), static_cast<double>(back),
                           static_cast<double>(again));
    }
    in.guardedText(effGetParamDisplay, i, kParamTextLimit, set + ": display");
    if (extreme) {
        in.guardedText(effGetParamName, i, kParamTextLimit, set + ": name");
        in.guardedText(effGetParamLabel, i, kParamTextLimit, set + ": label");
    }
}

}  // namespace

void checkParameters(Context& cx) {
    Instance in(cx);
    if (!in.load()) return;
    if (in.numParams() == 0) {
        cx.report.skip("the plug-in has no parameters");
        return;
    }
    in.start(44100.0, 512);
    for (int i = 0; i < in.numParams(); ++i) {
        float original = in.getParameter(i);
        if (!(original >= 0.0f && original <= 1.0f))
            cx.report.fail("parameter %d reads %g before any change", i, static_cast<double>(original));
        for (float v : {0.0f, 1.0f, 0.5f, 0.25f, cx.uniform()}) setAndRead(cx, in, i, v, false);
        for (float v : kExtremes) setAndRead(cx, in, i, v, true);
        in.setParameter(i, original);
    }
    // Processing after every parameter was given the same wild value.
    GuardedAudio audio(in.numInputs(), in.numOutputs(), 512);
    for (float v : kExtremes) {
        for (int i = 0; i < in.numParams(); ++i) in.setParameter(i, v);
        progress("processing with every parameter set to %s", valueText(v).c_str());
        audio.arrange(512, GuardedAudio::Layout::Back, "every parameter set to " + valueText(v));
        AudioStats stats = renderBlocks(in, audio, cx, 512 * 8, 0.25f, "every parameter set to " + valueText(v));
        if (!stats.clean()) cx.report.fail("%s", stats.problem().c_str());
    }
    in.stop();
    cx.report.note("%d parameters set, read back and displayed at %zu ordinary and %zu extreme values",
                   in.numParams(), std::size_t{5}, sizeof(kExtremes) / sizeof(kExtremes[0]));
}

void checkAutomation(Context& cx) {
    Instance in(cx);
    if (!in.load()) return;
    const std::vector<int>& automatable = in.automatable();
    if (automatable.empty()) {
        cx.report.skip("the plug-in has no automatable parameters");
        return;
    }
    const double rate = 44100.0;
    in.start(rate, 512);
    GuardedAudio audio(in.numInputs(), in.numOutputs(), 512);
    const long frames = static_cast<long>(scaled(cx, 10.0) * rate);
    AudioStats all;
    long done = 0, changes = 0;
    while (done < frames) {
        // Hosts split blocks at automation points: any length up to the block size.
        int block = cx.below(4) == 0 ? 1 + cx.below(512) : 512;
        progress("random automation, %ld frames in", done);
        audio.arrange(block, GuardedAudio::Layout::Back, "random automation");
        AudioStats stats = renderBlocks(in, audio, cx, block, 0.25f, "during random automation", [&](long) {
            for (int k = 1 + cx.below(4); k > 0; --k) {
                float v = cx.below(8) == 0 ? static_cast<float>(cx.below(2)) : cx.uniform();
                in.setParameter(automatable[static_cast<std::size_t>(cx.below(static_cast<int>(automatable.size())))], v);
                ++changes;
            }
        });
        all.merge(stats);
        done += block;
    }
    if (!all.clean()) cx.report.fail("%s", all.problem().c_str());
    std::string slack = audio.slackProblem();
    if (!slack.empty()) cx.report.fail("%s", slack.c_str());
    in.stop();
    cx.report.note("%ld random changes of %zu automatable parameters over %.1f s of audio in %ld blocks, peak %.2f",
                   changes, automatable.size(), static_cast<double>(frames) / rate, all.blocks,
                   static_cast<double>(all.peak));
}

void checkPrograms(Context& cx) {
    Instance in(cx);
    if (!in.load()) return;
    const int programs = in.numPrograms();
    if (programs == 0) {
        cx.report.skip("the plug-in has no programs");
        return;
    }
    in.start(44100.0, 512);
    // Names: set and read back, then the originals restored.
    for (int p = 0; p < programs; ++p) {
        progress("program %d's name", p);
        in.dispatch(effSetProgram, 0, p);
        VstIntPtr current = in.dispatch(effGetProgram);
        if (current != p) cx.report.fail("effSetProgram %d, then effGetProgram answers %ld", p, static_cast<long>(current));
        std::string original = in.guardedText(effGetProgramName, 0, kProgramNameLimit, "program " + std::to_string(p) + " name");
        for (const std::string& name : {"vld " + std::to_string(p), std::string("name of 24 characters ..")}) {
            char text[kProgramNameLimit + 1] = {};
            std::snprintf(text, sizeof(text), "%s", name.c_str());
            in.dispatch(effSetProgramName, 0, 0, text);
            std::string back = in.guardedText(effGetProgramName, 0, kProgramNameLimit, "program " + std::to_string(p) + " name");
            // A short name must come back whole; a plug-in may keep fewer characters of a
            // long one than the host offers, but no others.
            const bool whole = name.size() <= 8;
            auto fits = [&](const std::string& got) {
                return whole ? got == name : !got.empty() && name.compare(0, got.size(), got) == 0;
            };
            if (!fits(back))
                cx.report.fail("program %d named \"%s\" reads back \"%s\"", p, name.c_str(), back.c_str());
            char indexed[kProgramNameLimit + 1 + GuardedText::kGuardBytes] = {};
            if (in.dispatch(effGetProgramNameIndexed, p, -1, indexed) && back != indexed)
                cx.report.fail("program %d named \"%s\" reads back \"%s\", its indexed name \"%s\"", p,
                               name.c_str(), back.c_str(), indexed);
        }
        char text[kProgramNameLimit + 1] = {};
        std::snprintf(text, sizeof(text), "%s", original.c_str());
        in.dispatch(effSetProgramName, 0, 0, text);
    }
    // Switching at random while processing.
    progress("random program switching while processing");
    GuardedAudio audio(in.numInputs(), in.numOutputs(), 512);
    audio.arrange(512, GuardedAudio::Layout::Back, "random program switching");
    const long frames = static_cast<long>(scaled(cx, 6.0) * 44100.0);
    long switches = 0;
    AudioStats stats = renderBlocks(in, audio, cx, frames, 0.25f, "during random program switching", [&](long) {
        if (cx.below(3) != 0) return;
        int p = cx.below(programs);
        in.dispatch(effSetProgram, 0, p);
        ++switches;
        VstIntPtr current = in.dispatch(effGetProgram);
        if (current != p) cx.report.fail("effSetProgram %d while processing, then effGetProgram answers %ld", p,
                                         static_cast<long>(current));
    });
    if (!stats.clean()) cx.report.fail("%s", stats.problem().c_str());
    in.stop();
    cx.report.note("%d program name%s set and read back, %ld switches while processing", programs,
                   programs == 1 ? "" : "s", switches);
}

}  // namespace gwvalidate
