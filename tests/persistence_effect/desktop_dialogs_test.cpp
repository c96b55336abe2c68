// The Linux desktop back end against a fake zenity (and kdialog) on PATH that records its
// arguments and environment and answers as told.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/desktop_dialogs.h"
#include "platform/dialog_owner.h"
#include "test_util.h"

namespace {

using grainwheel::test::TempDir;

std::string slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class DesktopDialogsTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : {"PATH", "DISPLAY", "WAYLAND_DISPLAY", "LD_LIBRARY_PATH"}) {
            const char* v = std::getenv(name);
            saved.push_back({name, v ? v : "", v != nullptr});
        }
        install("zenity");
        setenv("PATH", dir.path().c_str(), 1);
        setenv("DISPLAY", ":77", 1);
        unsetenv("WAYLAND_DISPLAY");
        setenv("LD_LIBRARY_PATH", "/host/bundled/libs", 1);
        setenv("GW_FAKE_DIR", dir.path().c_str(), 1);
    }
    void TearDown() override {
        for (const auto& s : saved) {
            if (s.set) setenv(s.name, s.value.c_str(), 1);
            else unsetenv(s.name);
        }
        unsetenv("GW_FAKE_DIR");
        platform::setDialogOwner(0);
    }
    void install(const std::string& name) {
        const std::string path = dir.file(name);
        std::ofstream out(path);
        out << "#!/bin/sh\n"
               ": > \"$GW_FAKE_DIR/args\"\n"
               "for a in \"$@\"; do printf '%s\\n' \"$a\" >> \"$GW_FAKE_DIR/args\"; done\n"
               "/usr/bin/env > \"$GW_FAKE_DIR/env\"\n"
               // What GTK and dconf say on a machine without a session bus, 40 lines.
               "i=0; while [ $i -lt 40 ]; do echo \"(zenity:1): dconf-WARNING **: noise $i\" >&2; i=$((i+1)); done\n"
               "[ -f \"$GW_FAKE_DIR/hang\" ] && exec /bin/sleep 30\n"
               "[ -f \"$GW_FAKE_DIR/delay\" ] && /bin/sleep \"$(/bin/cat \"$GW_FAKE_DIR/delay\")\"\n"
               "[ -f \"$GW_FAKE_DIR/out\" ] && /bin/cat \"$GW_FAKE_DIR/out\"\n"
               "exit $(/bin/cat \"$GW_FAKE_DIR/status\" 2>/dev/null || echo 0)\n";
        out.close();
        chmod(path.c_str(), 0755);
    }
    void answer(int status, const std::string& out = "") {
        std::ofstream(dir.file("status")) << status;
        std::ofstream(dir.file("out")) << out;
    }
    std::string args() { return slurp(dir.file("args")); }

    struct Saved {
        const char* name;
        std::string value;
        bool set;
    };
    std::vector<Saved> saved;
    TempDir dir;
    platform::DesktopDialogs d;
};

TEST_F(DesktopDialogsTest, QuestionThroughZenityWithoutTheHostsLibraryPath) {
    answer(0);
    EXPECT_TRUE(d.canAsk());
    EXPECT_TRUE(d.askYesNo("grainwheel - confirm exitus", "audiobuffer(s) are not saved. Save to grb file ?"));
    EXPECT_EQ(args(),
              "--question\n--no-markup\n--no-wrap\n--title=grainwheel - confirm exitus\n"
              "--text=audiobuffer(s) are not saved. Save to grb file ?\n--ok-label=Yes\n--cancel-label=No\n");
    const std::string env = slurp(dir.file("env"));
    EXPECT_EQ(env.find("LD_LIBRARY_PATH"), std::string::npos);
    EXPECT_NE(env.find("DISPLAY=:77"), std::string::npos);
    answer(1);
    EXPECT_FALSE(d.askYesNo("t", "x"));
}

TEST_F(DesktopDialogsTest, FileSelectorSaveModeWithTypeFilter) {
    answer(0, "/home/u/session.grb\n");
    platform::FileSelectRequest r;
    r.mode = platform::FileSelectRequest::Mode::Save;
    r.title = "Save Bank to";
    r.typeName = "grainwheel fxBank";
    r.extension = "grb";
    char result[platform::kFileSelectionSize] = "untouched";
    ASSERT_TRUE(d.selectFile(r, result));
    EXPECT_STREQ(result, "/home/u/session.grb");
    EXPECT_EQ(args(),
              "--file-selection\n--title=Save Bank to\n--save\n"
              "--file-filter=grainwheel fxBank (*.grb) | *.grb\n--file-filter=Any Type (*.*) | *\n");

    answer(1);  // cancelled
    std::strcpy(result, "untouched");
    EXPECT_FALSE(d.selectFile(r, result));
    EXPECT_STREQ(result, "untouched");
}

// A path longer than a path area comes through whole, so the file commands can say
// "Filename too long"; one longer than the answer area is cut, never beyond it.
TEST_F(DesktopDialogsTest, OverLongChoicesReachTheCaller) {
    platform::FileSelectRequest r;
    r.title = "Load Bank";
    static char result[platform::kFileSelectionSize + 64];
    std::memset(result, '#', sizeof result);
    const std::string tooLong = "/" + std::string(1100, 'p');
    answer(0, tooLong + "\n");
    ASSERT_TRUE(d.selectFile(r, result));
    EXPECT_EQ(std::string(result), tooLong);

    std::memset(result, '#', sizeof result);
    answer(0, "/" + std::string(9000, 'q') + "\n");
    ASSERT_TRUE(d.selectFile(r, result));
    EXPECT_EQ(std::strlen(result), platform::kFileSelectionSize - 1);
    EXPECT_EQ(result[platform::kFileSelectionSize], '#');

    // Exactly the area's characters and the newline: nothing cut.
    const std::string fits = "/" + std::string(platform::kFileSelectionSize - 2, 'f');
    answer(0, fits + "\n");
    ASSERT_TRUE(d.selectFile(r, result));
    EXPECT_EQ(std::string(result), fits);

    answer(0, "/a\n/b\n");  // two answers: nothing chosen
    std::strcpy(result, "untouched");
    EXPECT_FALSE(d.selectFile(r, result));
    EXPECT_STREQ(result, "untouched");
}

// The dialog program's own warnings never reach the host's log; its answer and exit status
// still count.
TEST_F(DesktopDialogsTest, DialogProgramWarningsStayOutOfOurStandardError) {
    testing::internal::CaptureStderr();
    answer(0, "/home/u/take.wav\n");
    EXPECT_TRUE(d.askYesNo("grainwheel - confirm overwrite file", "Overwrite existing file ?"));
    answer(1);
    EXPECT_FALSE(d.askYesNo("grainwheel - confirm overwrite file", "Overwrite existing file ?"));
    d.showMessage("grainwheel - file operation message", "text");
    answer(0, "/home/u/take.wav\n");
    char result[platform::kFileSelectionSize] = {};
    EXPECT_TRUE(d.selectFile(platform::FileSelectRequest{}, result));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_STREQ(result, "/home/u/take.wav");
}

// Questions and the selector are attached to the panel's top-level window when one is
// known, so they cannot fall behind the host's window while it waits.
TEST_F(DesktopDialogsTest, DialogsAttachToThePanelsWindow) {
    answer(0, "/x.grb\n");
    platform::setDialogOwner(0x1c00007);
    EXPECT_TRUE(d.askYesNo("grainwheel - confirm exitus", "q"));
    EXPECT_EQ(args(),
              "--question\n--no-markup\n--no-wrap\n--title=grainwheel - confirm exitus\n--text=q\n"
              "--ok-label=Yes\n--cancel-label=No\n--attach=29360135\n--modal\n");
    d.showMessage("t", "m");
    EXPECT_NE(args().find("--info\n"), std::string::npos);
    EXPECT_NE(args().find("\n--attach=29360135\n--modal\n"), std::string::npos);
    char result[platform::kFileSelectionSize] = {};
    platform::FileSelectRequest r;
    r.title = "Load Bank";
    ASSERT_TRUE(d.selectFile(r, result));
    EXPECT_NE(args().find("--file-selection\n"), std::string::npos);
    EXPECT_NE(args().find("\n--attach=29360135\n--modal\n"), std::string::npos);

    // Another panel's release leaves this one's owner; its own release clears it.
    platform::releaseDialogOwner(0x2200001);
    EXPECT_EQ(platform::dialogOwner(), 0x1c00007u);
    platform::releaseDialogOwner(0x1c00007);
    EXPECT_EQ(platform::dialogOwner(), 0u);
    EXPECT_TRUE(d.askYesNo("t", "q"));
    EXPECT_EQ(args().find("--attach"), std::string::npos);

    std::remove(dir.file("zenity").c_str());
    install("kdialog");
    platform::setDialogOwner(4242);
    EXPECT_TRUE(d.askYesNo("t", "q"));
    EXPECT_EQ(args(), "--title\nt\n--yesno\nq\n--attach\n4242\n");
}

// The selector runs beside its caller: started at once, answered when the program is,
// closed (its program ended and collected) when the caller gives it up.
TEST_F(DesktopDialogsTest, SelectorRunsBesideTheCallerAndEndsWithIt) {
    using State = platform::PendingFileSelection::State;
    platform::FileSelectRequest r;
    r.title = "Load Wav into Buffer";
    answer(0, "/home/u/take.wav\n");
    std::ofstream(dir.file("delay")) << "0.3";
    char result[platform::kFileSelectionSize] = "untouched";
    const auto started = std::chrono::steady_clock::now();
    auto pending = d.startFileSelection(r);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(200));
    EXPECT_GT(pending->processId(), 0);
    EXPECT_EQ(pending->poll(result), State::Open);
    State s = State::Open;
    for (int i = 0; i < 500 && s == State::Open; ++i, usleep(10000)) s = pending->poll(result);
    ASSERT_EQ(s, State::Chosen);
    EXPECT_STREQ(result, "/home/u/take.wav");
    EXPECT_EQ(args().rfind("--file-selection\n--title=Load Wav into Buffer\n", 0), 0u);
    EXPECT_EQ(pending->poll(result), State::Chosen);  // the answer stays
    std::remove(dir.file("delay").c_str());

    answer(1);  // Cancel
    pending = d.startFileSelection(r);
    for (int i = 0; i < 500 && (s = pending->poll(result)) == State::Open; ++i) usleep(10000);
    EXPECT_EQ(s, State::Nothing);

    std::ofstream(dir.file("hang")) << "";
    pending = d.startFileSelection(r);
    const pid_t pid = static_cast<pid_t>(pending->processId());
    usleep(50000);
    EXPECT_EQ(pending->poll(result), State::Open);
    const auto closing = std::chrono::steady_clock::now();
    pending.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - closing, std::chrono::milliseconds(500));
    errno = 0;
    EXPECT_EQ(waitpid(pid, nullptr, WNOHANG), -1);  // already collected: no zombie left
    EXPECT_EQ(errno, ECHILD);
}

TEST_F(DesktopDialogsTest, KdialogWhenZenityIsMissing) {
    std::remove(dir.file("zenity").c_str());
    install("kdialog");
    answer(0, "/x/take.wav\n");
    EXPECT_TRUE(d.askYesNo("grainwheel - confirm overwrite file", "Overwrite existing file ?"));
    EXPECT_EQ(args(), "--title\ngrainwheel - confirm overwrite file\n--yesno\nOverwrite existing file ?\n");
    platform::FileSelectRequest r;
    r.title = "Load Wav into Buffer";
    r.typeName = "Wave File";
    r.extension = "wav";
    char result[platform::kFileSelectionSize] = {};
    ASSERT_TRUE(d.selectFile(r, result));
    EXPECT_STREQ(result, "/x/take.wav");
    EXPECT_EQ(args(), "--title\nLoad Wav into Buffer\n--getopenfilename\n.\n*.wav|Wave File (*.wav)\n*|Any Type (*.*)\n");
}

TEST_F(DesktopDialogsTest, WithoutDisplayNothingIsStarted) {
    unsetenv("DISPLAY");
    answer(0, "/chosen\n");
    EXPECT_FALSE(d.canAsk());
    EXPECT_FALSE(d.askYesNo("t", "x"));
    char result[platform::kFileSelectionSize] = {};
    EXPECT_FALSE(d.selectFile(platform::FileSelectRequest{}, result));
    testing::internal::CaptureStderr();
    d.showMessage("grainwheel - file operation message", "text");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "grainwheel - file operation message: text\n");
    EXPECT_FALSE(std::ifstream(dir.file("args")).good());

    setenv("WAYLAND_DISPLAY", "wayland-0", 1);
    EXPECT_TRUE(d.canAsk());
}

TEST_F(DesktopDialogsTest, WithoutDialogProgramNothingIsAsked) {
    std::remove(dir.file("zenity").c_str());
    EXPECT_FALSE(d.canAsk());
    EXPECT_FALSE(d.askYesNo("t", "x"));
}

}  // namespace
