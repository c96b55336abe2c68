#pragma once
// Runs a piece of a test in a child process with a time limit, so that a hang or a crash
// of the code under test is a result instead of the end of the test run (POSIX only).

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <limits>
#include <string>

namespace gwtest {

// The seconds each child may take: GW_CASE_SECONDS, else `fallback`.
inline unsigned caseSeconds(unsigned fallback) {
    const char* s = std::getenv("GW_CASE_SECONDS");
    const int n = s ? std::atoi(s) : 0;
    return n > 0 ? static_cast<unsigned>(n) : fallback;
}

// Forks; the child runs body() under an alarm of `seconds` and exits with what it returns
// (never returning into the test framework). Answers the child's wait status, -1 when no
// child could be made.
template <typename Body>
int inChild(unsigned seconds, Body body) {
    const pid_t pid = fork();
    if (pid == 0) {
        alarm(seconds);
        _exit(body());
    }
    if (pid < 0) return -1;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
    }
    return status;
}

inline bool hung(int status) { return WIFSIGNALED(status) && WTERMSIG(status) == SIGALRM; }
inline bool exitedWith(int status, int code) { return WIFEXITED(status) && WEXITSTATUS(status) == code; }

// What a child did, in words, for a test's failure message.
inline std::string describe(int status) {
    if (hung(status)) return "hangs";
    if (WIFSIGNALED(status)) return "dies of signal " + std::to_string(WTERMSIG(status));
    if (WIFEXITED(status)) return "exits with " + std::to_string(WEXITSTATUS(status));
    return "ends with status " + std::to_string(status);
}

// The floats a damaged or hostile state word is set to in the hostile-value sweeps: huge,
// not a number, infinite, past a float's range of integers, and plain negative.
inline constexpr float kHostileValues[] = {1e30f,
                                           -1e30f,
                                           std::numeric_limits<float>::quiet_NaN(),
                                           std::numeric_limits<float>::infinity(),
                                           -std::numeric_limits<float>::infinity(),
                                           3e38f,
                                           4.9e19f,
                                           -1.0f,
                                           1e9f};

}  // namespace gwtest
