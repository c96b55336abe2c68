#pragma once
// Running a piece of a check in a child process: its findings travel back through a
// pipe, and a crash, a hang or an unexpected exit of the child is told apart from what
// the piece itself reported.

#include <functional>

#include "tools/validate/report.h"

namespace gwvalidate {

struct ChildLimits {
    int totalSeconds = 60;   // the child counts as hung after this long
    double idleSeconds = 0;  // ... or after this long without sending anything (0: no limit)
    bool keepDisplay = false;  // else DISPLAY is removed, so no dialog waits for an answer
    bool quiet = false;        // the child's standard error goes nowhere
};

enum class ChildEnd { Finished, Hung, Crashed, GuardPage, Exited };

struct ChildResult {
    Report report;  // what the child reported, with the way it ended added as a failure
    ChildEnd end = ChildEnd::Finished;
    int signal = 0;  // Crashed: the signal
    int status = 0;  // Exited: the exit status
};

// Runs `body` in a child process; what it puts in its Report comes back. progress()
// lines from the child (and from a guard-page fault) arrive too.
ChildResult runInChild(const std::function<void(Report&)>& body, const ChildLimits& limits);

}  // namespace gwvalidate
