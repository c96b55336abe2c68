#pragma once
// Starts a private Xvfb server on a free display number for the X tests and stops it again.

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
