#pragma once
// Starts a private Xvfb server on a display number of its own for the X tests and stops it
// again; any number of suites may start one at the same time.

#include <string>
#include <sys/types.h>

namespace gwtest {

class Xvfb {
public:
    // Starts the server and sets DISPLAY; ok() is false when Xvfb is missing or fails.
    Xvfb();
    ~Xvfb();
    bool ok() const { return pid > 0; }
    const std::string& display() const { return name; }

private:
    pid_t pid = -1;
    std::string name;
};

}  // namespace gwtest
