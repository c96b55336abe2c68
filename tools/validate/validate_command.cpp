#include "tools/validate/validate_command.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/validate/check.h"
#include "tools/validate/guards.h"
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
        {"process", "every rate and block size, with and without time information", checkProcess},
        {"silence", "silence in gives silence out after a tail", checkSilence},
        {"allocations", "no allocation or release on the audio thread", checkAllocations},
        {"threads", "parameter changes from a second thread while processing", checkThreads},
        {"editor", "the editor opened, idled and closed while processing", checkEditor},
        {"budget", "the slowest block and the mean cost per block against real time", checkBudget},
    };
    return checks;
}

namespace {
int progressFd = -1;  // the pipe to the parent, in a check's process
}  // namespace

void progress(const char* format, ...) {
    if (progressFd < 0) return;
    va_list args;
    va_start(args, format);
    std::string line = "P " + formatText(format, args) + "\n";
    va_end(args);
    if (write(progressFd, line.data(), line.size()) < 0) progressFd = -1;
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
Report runInChild(const Check& check, const Options& options, int timeoutSeconds) {
    Report crashed;
    int fds[2];
    if (pipe(fds) != 0) {
        crashed.fail("cannot create a pipe");
        return crashed;
    }
    std::fflush(nullptr);
    pid_t child = fork();
    if (child < 0) {
        close(fds[0]);
        close(fds[1]);
        crashed.fail("cannot fork");
        return crashed;
    }
    if (child == 0) {
        close(fds[0]);
        // Only the editor check has a display: elsewhere a plug-in's question (unsaved
        // audio at close, say) must not wait for an answer nobody is there to give.
        if (std::strcmp(check.name, "editor") != 0) {
            unsetenv("DISPLAY");
            unsetenv("WAYLAND_DISPLAY");
        }
        GuardedAudio::installFaultHandler(fds[1]);
        progressFd = fds[1];
        Report report;
        Context context{options, report, std::mt19937(static_cast<std::uint32_t>(options.seed) ^ nameHash(check.name))};
        check.run(context);
        std::string text = report.serialize();
        const char* p = text.data();
        std::size_t left = text.size();
        while (left > 0) {
            ssize_t n = write(fds[1], p, left);
            if (n <= 0) break;
            p += n;
            left -= static_cast<std::size_t>(n);
        }
        // No exit handlers: the plug-in's static objects and a sanitizer's leak report
        // belong to the process that loaded it, which ends here.
        _exit(0);
    }
    close(fds[1]);
    std::string received;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    bool hung = false;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            hung = true;
            break;
        }
        pollfd pfd{fds[0], POLLIN, 0};
        int ready = poll(&pfd, 1, static_cast<int>(left.count()));
        if (ready < 0) continue;
        if (ready == 0) continue;
        char buffer[4096];
        ssize_t n = read(fds[0], buffer, sizeof(buffer));
        if (n <= 0) break;
        received.append(buffer, static_cast<std::size_t>(n));
    }
    close(fds[0]);
    if (hung) kill(child, SIGKILL);
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
    }
    Report report = Report::deserialize(received);
    const std::string during = report.lastProgress().empty() ? "" : " during " + report.lastProgress();
    if (hung)
        report.fail("no answer within %d s (hung)%s", timeoutSeconds, during.c_str());
    else if (WIFSIGNALED(status))
        report.fail("crashed with signal %d (%s)%s", WTERMSIG(status), strsignal(WTERMSIG(status)), during.c_str());
    else if (WIFEXITED(status) && WEXITSTATUS(status) == 3 && !report.failed())
        report.fail("touched a guard page");
    else if (WIFEXITED(status) && WEXITSTATUS(status) != 0 && WEXITSTATUS(status) != 3)
        report.fail("the plug-in ended the process with status %d%s", WEXITSTATUS(status), during.c_str());
    return report;
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
        Report r = runInChild(check, options, timeout);
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
