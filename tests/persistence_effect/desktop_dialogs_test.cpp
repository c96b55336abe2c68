// The Linux desktop back end against a fake zenity (and kdialog) on PATH that records its
// arguments and environment and answers as told.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/desktop_dialogs.h"
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
    }
    void install(const std::string& name) {
        const std::string path = dir.file(name);
        std::ofstream out(path);
        out << "#!/bin/sh\n"
               ": > \"$GW_FAKE_DIR/args\"\n"
               "for a in \"$@\"; do printf '%s\\n' \"$a\" >> \"$GW_FAKE_DIR/args\"; done\n"
               "/usr/bin/env > \"$GW_FAKE_DIR/env\"\n"
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
    answer(0, "/" + std::string(1100, 'p') + "\n");  // longer than the answer area
    EXPECT_FALSE(d.selectFile(r, result));
    EXPECT_STREQ(result, "untouched");
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
