#include "tests/gui/xvfb.h"

#include <poll.h>
#include <sys/prctl.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace gwtest {

namespace {
const char* findXvfb() {
    static const char* candidates[] = {"/usr/bin/Xvfb", "/usr/local/bin/Xvfb"};
    for (const char* c : candidates) {
        if (access(c, X_OK) == 0) return c;
    }
    return nullptr;
}

// The display number the server writes to its -displayfd once it accepts connections;
// empty when it ends (or says nothing within the time) first.
std::string readDisplayNumber(int fd, pid_t child) {
    std::string text;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < until) {
        pollfd p{fd, POLLIN, 0};
        const int ready = poll(&p, 1, 100);
        if (ready > 0) {
            char buffer[16];
            const ssize_t n = read(fd, buffer, sizeof buffer);
            if (n <= 0) return {};  // the server ended without a display
            text.append(buffer, static_cast<std::size_t>(n));
            const std::size_t end = text.find('\n');
            if (end != std::string::npos) return text.substr(0, end);
            if (text.size() > 8) return {};
        } else if (waitpid(child, nullptr, WNOHANG) == child) {
            return {};
        }
    }
    return {};
}
}  // namespace

// The server chooses a free display number itself (-displayfd) and claims it atomically,
// so suites that start servers at the same moment never share one; a fixed number chosen
// by looking for lock files here could be taken by another suite in between.
Xvfb::Xvfb() {
    const char* exe = findXvfb();
    if (!exe) return;
    int fds[2] = {-1, -1};
    if (pipe2(fds, O_CLOEXEC) != 0) return;
    const std::string fd = std::to_string(fds[1]);
    pid_t child = fork();
    if (child == 0) {
        // The server ends with the suite, also when the suite never gets to stop it.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() == 1) _exit(127);
        int devnull = open("/dev/null", O_WRONLY);
        if (devnull >= 0) {
            dup2(devnull, 1);
            dup2(devnull, 2);
        }
        fcntl(fds[1], F_SETFD, 0);  // the server's end stays open across exec
        execl(exe, exe, "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp", "-noreset",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    if (child < 0) {
        close(fds[0]);
        return;
    }
    const std::string number = readDisplayNumber(fds[0], child);
    close(fds[0]);
    if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) {
        kill(child, SIGTERM);
        waitpid(child, nullptr, 0);
        return;
    }
    pid = child;
    name = ":" + number;
    setenv("DISPLAY", name.c_str(), 1);
}

Xvfb::~Xvfb() {
    if (pid > 0) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
}

}  // namespace gwtest
