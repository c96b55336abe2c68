#include "tools/validate/validate_command.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/validate/check.h"
#include "tools/validate/child_process.h"
#include "tools/validate/instance.h"

namespace gwvalidate {

const std::vector<Check>& allChecks() {
    static const std::vector<Check> checks = {
        {"load", "load and unload through the entry point, many times", checkLoad},
        {"lifecycle", "open, suspend, resume and close in the orders hosts use", checkLifecycle},
        {"texts", "every text written for the host stays inside its documented size", checkTexts},
        {"parameters", "set, read back and displayed, extreme and NaN values too", checkParameters},
        {"automation", "random parameter changes while processing", checkAutomation},
        {"programs", "names set and read back, random switching while processing", checkPrograms},
        {"state", "chunks identical after get, set, get, here and in a fresh instance", checkState},
        {"state-fuzz", "hostile values in the program and bank chunks, set and processed", checkStateFuzz},
        {"process", "every rate and block size, with and without time information", checkProcess},
        {"silence", "silence in gives silence out after a tail", checkSilence},
        {"allocations", "no allocation or release on the audio thread", checkAllocations},
        {"threads", "parameter changes from a second thread while processing", checkThreads},
        {"editor", "the editor opened, idled and closed while processing", checkEditor},
        {"budget", "the slowest block and the mean cost per block against real time", checkBudget},
    };
    return checks;
}

const char* validateUsage() {
    return "usage: grainwheel-host validate PLUGIN.so [--strictness 1..10] [--only NAME] [--seed N]\n"
           "                                [--timeout SECONDS] [--list]\n"
           "Checks a VST 2.x plug-in as a careful host uses it: one line per check (passed, FAILED\n"
           "with the reason, skipped with the reason), then a summary; exits 1 if a check failed.\n"
           "  --strictness N  1 is quick, 10 long and thorough (default 5); from 8 on, a text longer\n"
           "                  than its documented size (8 characters for parameter texts) fails\n"
           "  --only NAME     run one check (--list names them)\n"
           "  --seed N        the seed of the random parts (default 1), for repeatable runs\n"
           "  --timeout S     seconds one check may take before it counts as hung\n"
           "Each check runs in a child process, so a crash fails that check alone; all but the\n"
           "editor check run without a display, so that no dialog of the plug-in waits for an answer.\n";
}

namespace {

std::uint32_t nameHash(const char* s) {
    std::uint32_t h = 2166136261u;
    for (; *s; ++s) h = (h ^ static_cast<unsigned char>(*s)) * 16777619u;
    return h;
}

bool parseInt(const char* text, long low, long high, long& out) {
    char* end = nullptr;
    long v = std::strtol(text, &end, 10);
    if (!end || *end || end == text || v < low || v > high) return false;
    out = v;
    return true;
}

// Runs one check in a child process and collects its findings; a crash, a hang or an
// unexpected exit of the child fails the check.
Report runCheck(const Check& check, const Options& options, int timeoutSeconds) {
    ChildLimits limits;
    limits.totalSeconds = timeoutSeconds;
    // Only the editor check has a display: elsewhere a plug-in's question (unsaved
    // audio at close, say) must not wait for an answer nobody is there to give.
    limits.keepDisplay = std::strcmp(check.name, "editor") == 0;
    return runInChild(
               [&](Report& report) {
                   Context context{options, report,
                                   std::mt19937(static_cast<std::uint32_t>(options.seed) ^ nameHash(check.name))};
                   check.run(context);
               },
               limits)
        .report;
}

}  // namespace

int runValidate(int argc, char** argv, std::FILE* out) {
    Options options;
    bool list = false;
    for (int i = 0; i < argc; ++i) {
        std::string a = argv[i];
        long v = 0;
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        if (a == "--strictness") {
            const char* t = value();
            if (!t || !parseInt(t, 1, 10, v)) {
                std::fprintf(stderr, "grainwheel-host validate: --strictness takes 1 to 10\n");
                return 2;
            }
            options.strictness = static_cast<int>(v);
        } else if (a == "--seed") {
            const char* t = value();
            if (!t || !parseInt(t, 0, 0x7FFFFFFF, v)) {
                std::fprintf(stderr, "grainwheel-host validate: --seed takes a number\n");
                return 2;
            }
            options.seed = static_cast<std::uint64_t>(v);
        } else if (a == "--timeout") {
            const char* t = value();
            if (!t || !parseInt(t, 1, 86400, v)) {
                std::fprintf(stderr, "grainwheel-host validate: --timeout takes seconds\n");
                return 2;
            }
            options.timeoutSeconds = static_cast<int>(v);
        } else if (a == "--only") {
            const char* t = value();
            if (!t) {
                std::fprintf(stderr, "grainwheel-host validate: --only takes a check's name\n");
                return 2;
            }
            options.only = t;
        } else if (a == "--list") {
            list = true;
        } else if (a == "--help" || a == "-h") {
            std::fputs(validateUsage(), out);
            return 0;
        } else if (!a.empty() && a[0] != '-' && options.pluginPath.empty()) {
            options.pluginPath = a;
        } else {
            std::fprintf(stderr, "grainwheel-host validate: unknown option %s\n%s", a.c_str(), validateUsage());
            return 2;
        }
    }
    if (list) {
        for (const Check& c : allChecks()) std::fprintf(out, "%-12s %s\n", c.name, c.description);
        return 0;
    }
    if (options.pluginPath.empty()) {
        std::fputs(validateUsage(), stderr);
        return 2;
    }
    bool known = options.only.empty();
    for (const Check& c : allChecks()) known = known || options.only == c.name;
    if (!known) {
        std::fprintf(stderr, "grainwheel-host validate: no check named %s (--list names them)\n", options.only.c_str());
        return 2;
    }
    const int timeout = options.timeoutSeconds ? options.timeoutSeconds : 60 + 60 * options.strictness;

    std::fprintf(out, "validating %s (strictness %d, seed %llu)\n", options.pluginPath.c_str(), options.strictness,
                 static_cast<unsigned long long>(options.seed));
    int passed = 0, failed = 0, skipped = 0, warned = 0;
    for (const Check& check : allChecks()) {
        if (!options.only.empty() && options.only != check.name) continue;
        const auto started = std::chrono::steady_clock::now();
        Report r = runCheck(check, options, timeout);
        const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        switch (r.verdict()) {
            case Verdict::Passed:
                ++passed;
                std::fprintf(out, "passed   %-12s %s [%.1f s]\n", check.name, r.summary().c_str(), took);
                if (r.warningCount() > 0) {
                    warned += r.warningCount();
                    for (const std::string& w : r.warnings()) std::fprintf(out, "%22swarning: %s\n", "", w.c_str());
                    int unlisted = r.warningCount() - static_cast<int>(r.warnings().size());
                    if (unlisted > 0) std::fprintf(out, "%22s... and %d more warnings\n", "", unlisted);
                }
                break;
            case Verdict::Skipped:
                ++skipped;
                std::fprintf(out, "skipped  %-12s %s\n", check.name, r.skipReason().c_str());
                break;
            case Verdict::Failed: {
                ++failed;
                const auto& f = r.failures();
                std::fprintf(out, "FAILED   %-12s %s [%.1f s]\n", check.name, f.front().c_str(), took);
                for (std::size_t i = 1; i < f.size(); ++i) std::fprintf(out, "%22s%s\n", "", f[i].c_str());
                int unlisted = r.failureCount() - static_cast<int>(f.size());
                if (unlisted > 0) std::fprintf(out, "%22s... and %d more\n", "", unlisted);
                warned += r.warningCount();
                for (const std::string& w : r.warnings()) std::fprintf(out, "%22swarning: %s\n", "", w.c_str());
                break;
            }
        }
        std::fflush(out);
    }
    if (warned > 0) std::fprintf(out, "%d warning%s (faults from strictness %d on)\n", warned, warned == 1 ? "" : "s", kStrictTextsFrom);
    std::fprintf(out, "validate: %d passed, %d failed, %d skipped\n", passed, failed, skipped);
    return failed ? 1 : 0;
}

}  // namespace gwvalidate
