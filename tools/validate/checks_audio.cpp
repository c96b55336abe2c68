// Processing: every rate and block size through guarded buffers, silence after a tail,
// allocations on the audio thread, and the time a block costs.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/validate/alloc_counter.h"
#include "tools/validate/instance.h"

namespace gwvalidate {

void checkProcess(Context& cx) {
    std::vector<double> rates = {22050, 44100, 48000, 96000, 192000};
    std::vector<int> blocks = {1, 17, 64, 512, 4096, 8192};
    if (cx.strictness() <= 2) {
        rates = {44100, 96000};
        blocks = {1, 64, 512, 8192};
    }
    const double seconds = std::max(0.05, scaled(cx, 0.25));
    int runs = 0, index = 0;
    for (double rate : rates) {
        Instance in(cx);
        if (!in.load()) return;
        in.start(rate, 512);
        GuardedAudio audio(in.numInputs(), in.numOutputs(), 8192);
        for (int block : blocks) {
            in.stop();
            in.dispatch(effSetBlockSize, 0, block);
            in.session.blockSize = block;
            in.dispatch(effMainsChanged, 0, 1);
            for (bool timeInfo : {true, false}) {
                in.session.provideTimeInfo = timeInfo;
                char where[128];
                std::snprintf(where, sizeof(where), "%g Hz, blocks of %d, %s time information", rate, block,
                              timeInfo ? "with" : "without");
                const auto layout = index++ % 2 ? GuardedAudio::Layout::Front : GuardedAudio::Layout::Back;
                progress("processing at %s", where);
                audio.arrange(block, layout, where);
                const long frames = std::max<long>(4L * block, static_cast<long>(seconds * rate));
                AudioStats stats = renderBlocks(in, audio, cx, frames, 0.25f, where);
                if (!stats.clean()) cx.report.fail("%s", stats.problem().c_str());
                std::string slack = audio.slackProblem();
                if (!slack.empty()) cx.report.fail("%s (%s)", slack.c_str(), where);
                ++runs;
            }
        }
        in.session.provideTimeInfo = true;
        in.stop();
    }
    cx.report.note("%d runs: %zu rates x %zu block sizes, with and without time information; output clean, "
                   "nothing touched outside the blocks", runs, rates.size(), blocks.size());
}

void checkSilence(Context& cx) {
    Instance in(cx);
    if (!in.load()) return;
    const double rate = 44100.0;
    in.start(rate, 512);
    GuardedAudio audio(in.numInputs(), in.numOutputs(), 512);
    progress("processing a signal, then silence");
    audio.arrange(512, GuardedAudio::Layout::Back, "silence after a signal");
    renderBlocks(in, audio, cx, static_cast<long>(rate), 0.5f, "signal before the silence");
    VstIntPtr tail = in.dispatch(effGetTailSize);
    const bool statedTail = tail > 0 && tail < static_cast<VstIntPtr>(60 * rate);
    const long tailFrames = statedTail ? static_cast<long>(tail) : static_cast<long>(std::max(1.0, scaled(cx, 4.0)) * rate);
    AudioStats during = renderBlocks(in, audio, cx, tailFrames, 0.0f, "in the tail");
    if (!during.clean()) cx.report.fail("%s", during.problem().c_str());
    // After the tail: half a second that must be silent.
    float peak = 0.0f;
    for (long done = 0; done < static_cast<long>(rate / 2); done += audio.frames()) {
        fillSilence(audio);
        in.process(audio);
        peak = std::max(peak, outputPeak(audio));
    }
    constexpr float kSilent = 1e-5f;  // -100 dBFS
    if (!(peak <= kSilent))
        cx.report.fail("silence in still gives %.1f dBFS out %.2f s after the signal stopped (peak %g)",
                       20.0 * std::log10(static_cast<double>(peak)), static_cast<double>(tailFrames) / rate,
                       static_cast<double>(peak));
    in.stop();
    cx.report.note("silent (peak %s) after a %s of %.2f s", peak > 0 ? "below -100 dBFS" : "0",
                   statedTail ? "stated tail" : "tail", static_cast<double>(tailFrames) / rate);
}

void checkAllocations(Context& cx) {
    if (!countingAvailable()) {
        cx.report.skip("allocation counting is not linked into this program");
        return;
    }
    Instance in(cx);
    if (!in.load()) return;
    const double rate = 44100.0;
    in.start(rate, 512);
    GuardedAudio audio(in.numInputs(), in.numOutputs(), 512);
    progress("processing while counting allocations");
    audio.arrange(512, GuardedAudio::Layout::Back, "counting allocations");
    // A first stretch uncounted: what a plug-in sets up on its first block is still a
    // fault, but it shows in the counted stretches too if it recurs.
    renderBlocks(in, audio, cx, 512 * 8, 0.25f, "before counting");
    resetAllocationCount();
    const long frames = static_cast<long>(scaled(cx, 4.0) * rate);
    AudioStats plain = renderBlocks(in, audio, cx, frames, 0.25f, "counting allocations", [](long) {}, true);
    const long inProcess = allocationCount();
    // Automation as hosts send it: setParameter and getParameter on the audio thread.
    const std::vector<int>& automatable = in.automatable();
    const int params = static_cast<int>(automatable.size());
    std::vector<std::string> culprits;  // the parameter changes that allocated
    AudioStats automated = renderBlocks(
        in, audio, cx, frames, 0.25f, "counting allocations under automation",
        [&](long) {
            for (int k = 0; k < 4 && params > 0; ++k) {
                int i = automatable[static_cast<std::size_t>(cx.below(params))];
                float v = cx.uniform();
                long before = allocationCount();
                in.setParameter(i, v, true);
                in.getParameter(i, true);
                if (allocationCount() > before && culprits.size() < 3) {
                    char text[128];
                    std::snprintf(text, sizeof(text), "setParameter(%d, %.3f) made %ld of them", i,
                                  static_cast<double>(v), allocationCount() - before);
                    culprits.push_back(text);
                }
            }
        },
        true);
    const long total = allocationCount();
    if (!plain.clean()) cx.report.fail("%s", plain.problem().c_str());
    if (!automated.clean()) cx.report.fail("%s", automated.problem().c_str());
    if (total > 0) {
        cx.report.fail("%ld allocation or release calls on the audio thread (%ld in plain processing, %ld under "
                       "automation)", total, inProcess, total - inProcess);
        for (const std::string& c : culprits) cx.report.fail("%s", c.c_str());
        AllocationRecord records[Report::kMaxListed];
        int n = recordedAllocations(records, Report::kMaxListed - 1 - static_cast<int>(culprits.size()));
        for (int i = 0; i < n; ++i) {
            char caller[256];
            describeCaller(records[i].caller, caller, sizeof(caller));
            if (records[i].size)
                cx.report.fail("%s of %zu bytes, called from %s", records[i].function, records[i].size, caller);
            else
                cx.report.fail("%s, called from %s", records[i].function, caller);
        }
    }
    cx.report.note("none in %.1f s of audio, half of it with automation of %d parameters (counting operator "
                   "new/delete%s)", 2.0 * static_cast<double>(frames) / rate, params,
                   countsMalloc() ? " and malloc/free" : " only: a sanitizer owns malloc in this build");
}

void checkBudget(Context& cx) {
    Instance in(cx);
    if (!in.load()) return;
    const double rate = 44100.0;
    const int block = 512;
    in.start(rate, block);
    GuardedAudio audio(in.numInputs(), in.numOutputs(), block);
    progress("timing blocks");
    audio.arrange(block, GuardedAudio::Layout::Back, "the time budget");
    renderBlocks(in, audio, cx, block * 16, 0.25f, "warming up");
    const long blocks = static_cast<long>(scaled(cx, 10.0) * rate / block);
    using Clock = std::chrono::steady_clock;
    double total = 0.0, slowest = 0.0;
    for (long n = 0; n < blocks; ++n) {
        fillNoise(audio, cx.rng, 0.25f);
        const auto start = Clock::now();
        in.process(audio);
        const double took = std::chrono::duration<double>(Clock::now() - start).count();
        total += took;
        slowest = std::max(slowest, took);
    }
    in.stop();
    const double blockTime = block / rate;
    const double mean = total / static_cast<double>(blocks);
    if (mean > blockTime)
        cx.report.fail("a block costs %.2f ms on average, more than the %.2f ms it lasts", mean * 1e3, blockTime * 1e3);
    cx.report.note("mean block %.4f ms = %.4f x real time (%.0f x faster), slowest %.3f ms = %.3f x real time "
                   "(44100 Hz, blocks of %d, %ld blocks)",
                   mean * 1e3, mean / blockTime, blockTime / mean, slowest * 1e3, slowest / blockTime, block, blocks);
}

}  // namespace gwvalidate
