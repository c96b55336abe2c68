#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/desktop_dialogs.h"
#include "platform/dialog_owner.h"

extern char** environ;

namespace platform {

namespace desktop {

namespace {

bool hasValue(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr && v[0] != 0;
}

std::string onPath(const char* name) {
    const char* path = std::getenv("PATH");
    if (path == nullptr) return {};
    std::string all = path;
    std::size_t start = 0;
    while (start <= all.size()) {
        std::size_t end = all.find(':', start);
        if (end == std::string::npos) end = all.size();
        std::string dir = all.substr(start, end - start);
        if (!dir.empty()) {
            std::string candidate = dir + "/" + name;
            if (access(candidate.c_str(), X_OK) == 0) return candidate;
        }
        start = end + 1;
    }
    return {};
}

}  // namespace

Program findProgram(std::string& path) {
    path.clear();
    if (!hasValue("DISPLAY") && !hasValue("WAYLAND_DISPLAY")) return Program::kNone;
    if (path = onPath("zenity"); !path.empty()) return Program::kZenity;
    if (path = onPath("kdialog"); !path.empty()) return Program::kKdialog;
    return Program::kNone;
}

std::vector<std::string> questionArguments(Program p, const char* title, const char* text) {
    if (p == Program::kKdialog) return {"--title", title, "--yesno", text};
    return {"--question", "--no-markup", "--no-wrap", std::string("--title=") + title,
            std::string("--text=") + text, "--ok-label=Yes", "--cancel-label=No"};
}

std::vector<std::string> messageArguments(Program p, const char* title, const char* text) {
    if (p == Program::kKdialog) return {"--title", title, "--msgbox", text};
    return {"--info", "--no-markup", "--no-wrap", std::string("--title=") + title,
            std::string("--text=") + text, "--ok-label=OK"};
}

std::vector<std::string> selectorArguments(Program p, const FileSelectRequest& r) {
    const std::string ext = r.extension ? r.extension : "";
    const std::string name = r.typeName ? r.typeName : "";
    const bool save = r.mode == FileSelectRequest::Mode::Save;
    if (p == Program::kKdialog) {
        return {"--title", r.title ? r.title : "", save ? "--getsavefilename" : "--getopenfilename",
                (r.initialPath && r.initialPath[0]) ? r.initialPath : ".",
                "*." + ext + "|" + name + " (*." + ext + ")\n*|Any Type (*.*)"};
    }
    std::vector<std::string> a = {"--file-selection", std::string("--title=") + (r.title ? r.title : "")};
    if (save) a.push_back("--save");
    if (r.initialPath && r.initialPath[0]) a.push_back(std::string("--filename=") + r.initialPath);
    a.push_back("--file-filter=" + name + " (*." + ext + ") | *." + ext);
    a.push_back("--file-filter=Any Type (*.*) | *");
    return a;
}

std::vector<std::string> ownerArguments(Program p, std::uintptr_t owner) {
    if (owner == 0 || p == Program::kNone) return {};
    const std::string id = std::to_string(owner);
    if (p == Program::kKdialog) return {"--attach", id};
    return {"--attach=" + id, "--modal"};
}

std::vector<std::string> childEnvironment() {
    std::vector<std::string> env;
    for (char** e = environ; e && *e; ++e)
        if (std::strncmp(*e, "LD_LIBRARY_PATH=", 16) != 0) env.emplace_back(*e);
    return env;
}

int spawn(const std::string& program, const std::vector<std::string>& arguments, int& output) {
    output = -1;
    std::vector<std::string> env = childEnvironment();
    std::vector<char*> argv, envp;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);

    // Close-on-exec: no other program the host starts meanwhile holds the pipe open.
    int pipeFds[2] = {-1, -1};
    if (pipe2(pipeFds, O_CLOEXEC) != 0) return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    // The program's own warnings (GTK and dconf write dozens per dialog) stay out of the
    // host's log; the answer comes from the exit status and standard output alone.
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFds[1]);
    if (spawned != 0) {
        close(pipeFds[0]);
        return -1;
    }
    output = pipeFds[0];
    return pid;
}

bool readOutput(int fd, std::string* output, std::size_t limit) {
    char chunk[512];
    for (;;) {
        const ssize_t n = read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return false;
        if (n <= 0) return true;
        if (output && output->size() < limit)
            output->append(chunk, std::min(static_cast<std::size_t>(n), limit - output->size()));
    }
}

int exitStatus(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : -1; }

int run(const std::string& program, const std::vector<std::string>& arguments, std::string* output,
        std::size_t limit) {
    int fd = -1;
    const pid_t pid = spawn(program, arguments, fd);
    if (pid < 0) return -1;
    readOutput(fd, output, limit);
    close(fd);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return -1;
    return exitStatus(status);
}

bool selectionAnswer(int status, std::string chosen, char* result) {
    if (status != 0 || result == nullptr) return false;
    if (chosen.size() < kFileSelectionSize)
        while (!chosen.empty() && (chosen.back() == '\n' || chosen.back() == '\r')) chosen.pop_back();
    // Longer than the area: cut, far beyond any path area, so the caller's length rule
    // reports it ("Filename too long") and never opens the cut name.
    if (chosen.size() > kFileSelectionSize - 1) chosen.resize(kFileSelectionSize - 1);
    if (chosen.empty() || chosen.find('\n') != std::string::npos) return false;
    std::memcpy(result, chosen.c_str(), chosen.size() + 1);
    return true;
}

}  // namespace desktop

using desktop::Program;

namespace {
// The dialog's arguments, attached to the panel's window when one is known.
std::vector<std::string> attached(Program p, std::vector<std::string> arguments) {
    for (std::string& a : desktop::ownerArguments(p, dialogOwner())) arguments.push_back(std::move(a));
    return arguments;
}
}  // namespace

bool DesktopDialogs::canAsk() const {
    std::string path;
    return desktop::findProgram(path) != Program::kNone;
}

bool DesktopDialogs::askYesNo(const char* title, const char* text) {
    std::string path;
    const Program p = desktop::findProgram(path);
    if (p == Program::kNone) return false;
    return desktop::run(path, attached(p, desktop::questionArguments(p, title ? title : "", text ? text : "")),
                        nullptr, 0) == 0;
}

void DesktopDialogs::showMessage(const char* title, const char* text) {
    std::string path;
    const Program p = desktop::findProgram(path);
    if (p != Program::kNone &&
        desktop::run(path, attached(p, desktop::messageArguments(p, title ? title : "", text ? text : "")),
                     nullptr, 0) >= 0)
        return;
    std::fprintf(stderr, "%s: %s\n", title ? title : "", text ? text : "");
}

bool DesktopDialogs::selectFile(const FileSelectRequest& request, char* result) {
    std::string path;
    const Program p = desktop::findProgram(path);
    if (p == Program::kNone || result == nullptr) return false;
    // Read one byte beyond the characters the area holds, to see an answer that must be cut.
    std::string chosen;
    const int status = desktop::run(path, attached(p, desktop::selectorArguments(p, request)), &chosen,
                                    kFileSelectionSize);
    return desktop::selectionAnswer(status, std::move(chosen), result);
}

namespace {

// The selector program running beside the host: its output is read as it comes, without
// waiting, and its exit is collected once its output ends.
class SelectorProcess final : public PendingFileSelection {
public:
    SelectorProcess(pid_t pid, int output) : pid_(pid), fd_(output) {}
    ~SelectorProcess() override {
        if (fd_ >= 0) close(fd_);
        if (pid_ > 0) stop();
    }

    State poll(char* result) override {
        if (state_ == State::Open) collect();
        if (state_ == State::Chosen && result) std::memcpy(result, answer_, std::strlen(answer_) + 1);
        return state_;
    }
    long processId() const override { return pid_ > 0 ? pid_ : reaped_; }

private:
    void collect() {
        if (fd_ >= 0) {
            if (!desktop::readOutput(fd_, &output_, kFileSelectionSize)) return;  // more to come
            close(fd_);
            fd_ = -1;
        }
        int status = 0;
        pid_t done = waitpid(pid_, &status, WNOHANG);
        while (done < 0 && errno == EINTR) done = waitpid(pid_, &status, WNOHANG);
        if (done == 0) return;  // output closed, the program still ending
        // A host that collects every child itself leaves no status: the output decides.
        const int code = done == pid_ ? desktop::exitStatus(status) : (output_.empty() ? -1 : 0);
        reaped_ = pid_;
        pid_ = -1;
        state_ = desktop::selectionAnswer(code, std::move(output_), answer_) ? State::Chosen : State::Nothing;
    }
    // Closes the dialog: asked to end, then ended if it has not within a short while.
    void stop() {
        kill(pid_, SIGTERM);
        for (int i = 0; i < 100; ++i) {
            const pid_t done = waitpid(pid_, nullptr, WNOHANG);
            if (done != 0 && !(done < 0 && errno == EINTR)) return;
            usleep(2000);
        }
        kill(pid_, SIGKILL);
        while (waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
        }
    }

    pid_t pid_;
    pid_t reaped_ = 0;
    int fd_;
    State state_ = State::Open;
    std::string output_;
    char answer_[kFileSelectionSize] = {};
};

}  // namespace

std::unique_ptr<PendingFileSelection> DesktopDialogs::startFileSelection(const FileSelectRequest& request) {
    std::string path;
    const Program p = desktop::findProgram(path);
    if (p == Program::kNone) return answeredSelection(false, nullptr);
    int fd = -1;
    const pid_t pid = desktop::spawn(path, attached(p, desktop::selectorArguments(p, request)), fd);
    if (pid < 0) return answeredSelection(false, nullptr);
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    return std::make_unique<SelectorProcess>(pid, fd);
}

Dialogs& systemDialogs() {
    static constinit DesktopDialogs desktopBackEnd;
    return desktopBackEnd;
}

}  // namespace platform
