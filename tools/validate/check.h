#pragma once
// The checks of `grainwheel-host validate` and what they share: the options, a
// repeatable random source per check, and the findings.

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "tools/validate/report.h"

namespace gwvalidate {

struct Options {
    std::string pluginPath;
    int strictness = 5;       // 1 (quick) .. 10 (long and thorough)
    std::uint64_t seed = 1;
    std::string only;         // one check's name, or empty for all
    int timeoutSeconds = 0;   // per check; 0 picks one from the strictness
};

struct Context {
    const Options& options;
    Report& report;
    std::mt19937 rng;
    int strictness() const { return options.strictness; }
    // A uniform value in [0, 1).
    float uniform() { return std::uniform_real_distribution<float>(0.0f, 1.0f)(rng); }
    int below(int n) { return n <= 1 ? 0 : static_cast<int>(rng() % static_cast<unsigned>(n)); }
};

struct Check {
    const char* name;
    const char* description;
    void (*run)(Context&);
};

// Tells the process that runs the checks what the check is doing now, so that a crash
// or a hang can name it.
void progress(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Every check, in the order they run.
const std::vector<Check>& allChecks();

// The checks, one group per source file.
void checkLoad(Context&);
void checkLifecycle(Context&);
void checkTexts(Context&);
void checkParameters(Context&);
void checkAutomation(Context&);
void checkPrograms(Context&);
void checkState(Context&);
void checkStateFuzz(Context&);
void checkProcess(Context&);
void checkSilence(Context&);
void checkAllocations(Context&);
void checkThreads(Context&);
void checkEditor(Context&);
void checkBudget(Context&);

}  // namespace gwvalidate
