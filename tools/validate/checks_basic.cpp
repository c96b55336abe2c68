// Loading, the orders of the basic calls, and the texts the plug-in writes for the host.

#include <cstring>
#include <functional>
#include <vector>
#include <string>

#include "tools/validate/instance.h"

namespace gwvalidate {

namespace {

// A record that no host could use.
void checkRecord(Context& cx, const AEffect* e) {
    if (!e->dispatcher || !e->setParameter || !e->getParameter) cx.report.fail("the record lacks a callback");
    if (!e->processReplacing && !e->process) cx.report.fail("the record has no audio callback");
    if ((e->flags & effFlagsCanReplacing) && !e->processReplacing)
        cx.report.fail("effFlagsCanReplacing is set but processReplacing is null");
    if (e->numInputs < 0 || e->numInputs > 64 || e->numOutputs < 0 || e->numOutputs > 64)
        cx.report.fail("%d inputs and %d outputs", e->numInputs, e->numOutputs);
    if (e->numParams < 0 || e->numParams > 100000) cx.report.fail("%d parameters", e->numParams);
    if (e->numPrograms < 0 || e->numPrograms > 100000) cx.report.fail("%d programs", e->numPrograms);
}

}  // namespace

void checkLoad(Context& cx) {
    const int cycles = cx.strictness() >= 5 ? 20 * cx.strictness() : 20 * cx.strictness() + 20;
    for (int i = 0; i < cycles; ++i) {
        progress("load %d of %d", i + 1, cycles);
        Instance instance(cx);
        if (!instance.load()) {
            cx.report.fail("load %d of %d failed", i + 1, cycles);
            return;
        }
        if (i == 0) checkRecord(cx, instance.effect());
        if (cx.report.failed()) return;
        instance.dispatch(effOpen);
        if (i % 10 == 9) {
            // Now and then a short run, as a host's scan does after loading.
            instance.start(44100.0, 512);
            GuardedAudio audio(instance.numInputs(), instance.numOutputs(), 512);
            audio.arrange(512, GuardedAudio::Layout::Back, "a block after loading");
            AudioStats stats = renderBlocks(instance, audio, cx, 512 * 4, 0.25f, "after a fresh load");
            if (!stats.clean()) cx.report.fail("%s", stats.problem().c_str());
            instance.stop();
        }
        instance.session.close();
    }
    cx.report.note("%d loads, opens and closes", cycles);
}

void checkLifecycle(Context& cx) {
    using Step = std::function<void(Instance&, GuardedAudio&)>;
    auto run = [&](Instance& in, GuardedAudio& audio) {
        AudioStats stats = renderBlocks(in, audio, cx, 512 * 8, 0.25f, "in a lifecycle order");
        if (!stats.clean()) cx.report.fail("%s", stats.problem().c_str());
    };
    auto open = [](Instance& in, GuardedAudio&) { in.dispatch(effOpen); };
    auto rate = [](double r) {
        return [r](Instance& in, GuardedAudio&) {
            in.session.transport.sampleRate = r;
            in.dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(r));
        };
    };
    auto block = [](Instance& in, GuardedAudio&) { in.dispatch(effSetBlockSize, 0, 512); };
    auto resume = [](Instance& in, GuardedAudio&) { in.dispatch(effMainsChanged, 0, 1); };
    auto suspend = [](Instance& in, GuardedAudio&) { in.dispatch(effMainsChanged, 0, 0); };
    auto startProcess = [](Instance& in, GuardedAudio&) { in.dispatch(effStartProcess); };
    auto stopProcess = [](Instance& in, GuardedAudio&) { in.dispatch(effStopProcess); };
    struct Order {
        const char* name;
        std::vector<Step> steps;
    };
    const std::vector<Order> orders = {
        {"open, rate, block, resume, process, suspend, close",
         {open, rate(44100), block, resume, run, suspend}},
        {"open, close without processing", {open}},
        {"resume, suspend and resume again before processing",
         {open, rate(48000), block, resume, suspend, resume, run, suspend}},
        {"the rate changed while suspended", {open, rate(44100), block, resume, run, suspend, rate(96000), resume, run, suspend}},
        {"suspended twice", {open, rate(44100), block, resume, run, suspend, suspend}},
        {"resumed twice", {open, rate(44100), block, resume, resume, run, suspend}},
        {"closed while resumed", {open, rate(44100), block, resume, run}},
        {"start and stop process around the blocks",
         {open, rate(44100), block, resume, startProcess, run, stopProcess, startProcess, run, stopProcess, suspend}},
        {"rate and block set before open", {rate(22050), block, open, resume, run, suspend}},
    };
    const int rounds = cx.strictness() >= 8 ? 3 : 1;
    for (int round = 0; round < rounds; ++round) {
        for (const Order& order : orders) {
            progress("the order \"%s\"", order.name);
            Instance instance(cx);
            if (!instance.load()) return;
            GuardedAudio audio(instance.numInputs(), instance.numOutputs(), 512);
            audio.arrange(512, GuardedAudio::Layout::Back, order.name);
            int before = cx.report.failureCount();
            for (const Step& step : order.steps) step(instance, audio);
            // effClose straight away, whatever state the order left.
            instance.session.closeAsIs();
            if (cx.report.failureCount() > before) cx.report.fail("in the order \"%s\"", order.name);
        }
    }
    cx.report.note("%zu orders of open, suspend, resume and close", orders.size());
}

void checkTexts(Context& cx) {
    progress("reading the texts");
    Instance in(cx);
    if (!in.load()) return;
    in.start(44100.0, 512);
    in.guardedText(effGetEffectName, 0, kEffectNameLimit, "effect name");
    in.guardedText(effGetVendorString, 0, kVendorLimit, "vendor");
    in.guardedText(effGetProductString, 0, kProductLimit, "product");
    int texts = 3;
    for (int i = 0; i < in.numParams(); ++i) {
        std::string p = "parameter " + std::to_string(i);
        in.guardedText(effGetParamName, i, kParamTextLimit, p + " name");
        in.guardedText(effGetParamLabel, i, kParamTextLimit, p + " label");
        in.guardedText(effGetParamDisplay, i, kParamTextLimit, p + " display");
        texts += 3;
    }
    for (int p = 0; p < in.numPrograms(); ++p) {
        in.guardedText(effGetProgramNameIndexed, p, kProgramNameLimit, "program " + std::to_string(p) + " name", -1);
        ++texts;
    }
    if (in.numPrograms() > 0) {
        in.guardedText(effGetProgramName, 0, kProgramNameLimit, "current program name");
        ++texts;
    }
    // canDo questions are the host's texts: the plug-in must leave them as they are.
    for (const char* question : {"receiveVstTimeInfo", "receiveVstEvents", "sendVstEvents", "sendVstMidiEvent",
                                 "receiveVstMidiEvent", "plugAsChannelInsert", "plugAsSend", "1in2out", "2in2out",
                                 "1in1out", "bypass", "offline", "mixDryWet", "noRealTime", "midiProgramNames",
                                 "a question no plug-in knows"}) {
        GuardedText buffer(63);
        std::strcpy(buffer.data(), question);
        VstIntPtr answer = in.dispatch(effCanDo, 0, 0, buffer.data());
        if (std::strcmp(buffer.data(), question) != 0 || !buffer.problem().empty())
            cx.report.fail("canDo \"%s\" changed the question to \"%s\"", question, buffer.text().c_str());
        if (answer < -1 || answer > 1) cx.report.fail("canDo \"%s\" answers %ld (not -1, 0 or 1)", question, static_cast<long>(answer));
        ++texts;
    }
    in.stop();
    cx.report.note("%d texts and canDo answers checked against their documented sizes", texts);
}

}  // namespace gwvalidate
