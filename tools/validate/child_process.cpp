#include "tools/validate/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tools/validate/check.h"
#include "tools/validate/guards.h"

namespace gwvalidate {

namespace {
int progressFd = -1;  // the pipe to the parent, in a child

void writeAll(int fd, const std::string& text) {
    const char* p = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        ssize_t n = write(fd, p, left);
        if (n <= 0) break;
        p += n;
        left -= static_cast<std::size_t>(n);
    }
}
}  // namespace

void progress(const char* format, ...) {
    if (progressFd < 0) return;
    va_list args;
    va_start(args, format);
    std::string line = "P " + formatText(format, args) + "\n";
    va_end(args);
    if (write(progressFd, line.data(), line.size()) < 0) progressFd = -1;
}

ChildResult runInChild(const std::function<void(Report&)>& body, const ChildLimits& limits) {
    ChildResult result;
    int fds[2];
    if (pipe(fds) != 0) {
        result.report.fail("cannot create a pipe");
        result.end = ChildEnd::Exited;
        return result;
    }
    std::fflush(nullptr);
    pid_t child = fork();
    if (child < 0) {
        close(fds[0]);
        close(fds[1]);
        result.report.fail("cannot fork");
        result.end = ChildEnd::Exited;
        return result;
    }
    if (child == 0) {
        close(fds[0]);
        if (!limits.keepDisplay) {
            unsetenv("DISPLAY");
            unsetenv("WAYLAND_DISPLAY");
        }
        if (limits.quiet) {
            const int null = open("/dev/null", O_WRONLY);
            if (null >= 0) {
                dup2(null, STDERR_FILENO);
                close(null);
            }
        }
        GuardedAudio::installFaultHandler(fds[1]);
        progressFd = fds[1];
        Report report;
        body(report);
        writeAll(fds[1], report.serialize());
        // No exit handlers: the plug-in's static objects and a sanitizer's leak report
        // belong to the process that loaded it, which ends here.
        _exit(0);
    }
    close(fds[1]);
    using Clock = std::chrono::steady_clock;
    std::string received;
    const auto deadline = Clock::now() + std::chrono::seconds(limits.totalSeconds);
    const auto idle = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(limits.idleSeconds));
    auto lastHeard = Clock::now();
    bool hung = false;
    for (;;) {
        auto until = deadline;
        if (limits.idleSeconds > 0 && lastHeard + idle < until) until = lastHeard + idle;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
        if (left.count() <= 0) {
            hung = true;
            break;
        }
        pollfd pfd{fds[0], POLLIN, 0};
        int ready = poll(&pfd, 1, static_cast<int>(left.count()));
        if (ready <= 0) continue;
        char buffer[4096];
        ssize_t n = read(fds[0], buffer, sizeof(buffer));
        if (n <= 0) break;
        received.append(buffer, static_cast<std::size_t>(n));
        lastHeard = Clock::now();
    }
    close(fds[0]);
    if (hung) kill(child, SIGKILL);
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
    }
    Report& report = result.report;
    report = Report::deserialize(received);
    const std::string during = report.lastProgress().empty() ? "" : " during " + report.lastProgress();
    if (hung) {
        result.end = ChildEnd::Hung;
        if (Clock::now() >= deadline || limits.idleSeconds <= 0)
            report.fail("no answer within %d s (hung)%s", limits.totalSeconds, during.c_str());
        else
            report.fail("no progress for %g s (hung)%s", limits.idleSeconds, during.c_str());
    } else if (WIFSIGNALED(status)) {
        result.end = ChildEnd::Crashed;
        result.signal = WTERMSIG(status);
        report.fail("crashed with signal %d (%s)%s", WTERMSIG(status), strsignal(WTERMSIG(status)), during.c_str());
    } else if (WIFEXITED(status) && WEXITSTATUS(status) == 3) {
        result.end = ChildEnd::GuardPage;
        if (!report.failed()) report.fail("touched a guard page");
    } else if (WIFEXITED(status) && WEXITSTATUS(status) != 0) {
        result.end = ChildEnd::Exited;
        result.status = WEXITSTATUS(status);
        report.fail("the plug-in ended the process with status %d%s", WEXITSTATUS(status), during.c_str());
    }
    return result;
}

}  // namespace gwvalidate
