#include "tests/gui/xvfb.h"

#include <xcb/xcb.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
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
}  // namespace

Xvfb::Xvfb() {
    const char* exe = findXvfb();
    if (!exe) return;
    for (int n = 91; n < 140; ++n) {
        std::string lock = "/tmp/.X" + std::to_string(n) + "-lock";
        std::string sock = "/tmp/.X11-unix/X" + std::to_string(n);
        struct stat st {};
        if (stat(lock.c_str(), &st) == 0 || stat(sock.c_str(), &st) == 0) continue;
        std::string disp = ":" + std::to_string(n);
        pid_t child = fork();
        if (child == 0) {
            int devnull = open("/dev/null", O_WRONLY);
            if (devnull >= 0) {
                dup2(devnull, 1);
                dup2(devnull, 2);
            }
            execl(exe, exe, disp.c_str(), "-screen", "0", "1280x1024x24", "-nolisten", "tcp", "-noreset",
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        if (child < 0) return;
        // Wait until the server answers (or the process ends).
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (std::chrono::steady_clock::now() < until) {
            int status = 0;
            if (waitpid(child, &status, WNOHANG) == child) {
                child = -1;
                break;
            }
            xcb_connection_t* c = xcb_connect(disp.c_str(), nullptr);
            bool up = c && !xcb_connection_has_error(c);
            if (c) xcb_disconnect(c);
            if (up) {
                pid = child;
                name = disp;
                setenv("DISPLAY", disp.c_str(), 1);
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (child > 0) {
            kill(child, SIGTERM);
            waitpid(child, nullptr, 0);
        }
    }
}

Xvfb::~Xvfb() {
    if (pid > 0) {
        kill(pid, SIGTERM);
        waitpid(pid, nullptr, 0);
    }
}

}  // namespace gwtest
