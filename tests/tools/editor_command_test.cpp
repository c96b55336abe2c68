// grainwheel-host editor: its options, its script lines, and the built tool driving a
// plug-in's headless editor through the editor inspection call.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "tools/editor_command.h"

using namespace gwhost;

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// Runs the built tool; its standard output and error together, and the exit code.
std::string runTool(const std::string& args, int& code) {
    // No display: grainwheel's questions (an exit save) take their unattended answers.
    const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY " + std::string(GW_HOST_TOOL) + " " + args + " 2>&1";
    FILE* p = popen(command.c_str(), "r");
    std::string out;
    if (!p) return code = -1, out;
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    const int status = pclose(p);
    code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return out;
}

std::string writeScript(const std::string& name, const std::string& text) {
    const std::string path = std::string(GW_TEST_OUT) + "/" + name;
    std::ofstream(path) << text;
    return path;
}

bool parse(std::initializer_list<const char*> args, EditorOptions& o, std::string& error) {
    std::vector<const char*> v(args);
    return parseEditorOptions(static_cast<int>(v.size()), v.data(), o, error);
}

TEST(EditorOptions, TakeTheSessionOptionsAndTheEditorsOwn) {
    EditorOptions o;
    std::string error;
    ASSERT_TRUE(parse({"p.so", "--demo", "--beats", "4", "--set", "time03=0.2", "--snapshot", "a.png", "--layout",
                       "b.json", "--script", "c.txt", "--program", "3"},
                      o, error))
        << error;
    EXPECT_EQ(o.session.pluginPath, "p.so");
    EXPECT_EQ(o.session.input, InputKind::Demo);
    EXPECT_EQ(o.session.durationBeats, 4.0);
    ASSERT_EQ(o.session.changes.size(), 2u);
    EXPECT_EQ(o.session.changes[0].parameter, "time03");
    EXPECT_TRUE(o.session.changes[1].isProgram);
    EXPECT_EQ(o.snapshotPath, "a.png");
    EXPECT_EQ(o.layoutPath, "b.json");
    EXPECT_EQ(o.scriptPath, "c.txt");

    EXPECT_FALSE(parse({"p.so", "--snapshot"}, o, error));
    EXPECT_NE(error.find("--snapshot needs a value"), std::string::npos);
    EXPECT_FALSE(parse({"p.so", "-o", "x.wav"}, o, error));
    EXPECT_FALSE(parse({"p.so", "--save-bank", "x.grb"}, o, error));
    EXPECT_FALSE(parse({"--demo"}, o, error));  // no plug-in
    EXPECT_FALSE(parse({"p.so", "--bogus"}, o, error));
}

TEST(EditorScript, RejectsMalformedLinesWithAReason) {
    PlayingSession session;  // not started: no line below gets as far as the plug-in
    EditorDriver driver(session, stdout);
    std::string error;
    EXPECT_TRUE(driver.runLine("   # a comment", error));
    EXPECT_TRUE(driver.runLine("", error));
    const char* bad[] = {"idle", "idle x", "idle -1", "click 1", "click 1 2 meta", "drag 1 2 3", "wheel 1 2",
                         "process", "process -2", "process lots", "snapshot", "status now", "frobnicate 1",
                         "click 1.5 2"};
    for (const char* line : bad) {
        error.clear();
        EXPECT_FALSE(driver.runLine(line, error)) << line;
        EXPECT_FALSE(error.empty()) << line;
    }
    EXPECT_FALSE(driver.runLine("click 10 20", error));
    EXPECT_NE(error.find("closed"), std::string::npos);
}

// The plug-in's host calls in the tool's output as letters: b begin-edit, v automation (a
// run of them is one letter), e end-edit.
std::string hostCalls(const std::string& out) {
    std::string calls;
    for (std::size_t at = 0; at < out.size();) {
        std::size_t end = out.find('\n', at);
        if (end == std::string::npos) end = out.size();
        const std::string line = out.substr(at, end - at);
        char c = 0;
        if (line.rfind("begin-edit ", 0) == 0) c = 'b';
        if (line.rfind("end-edit ", 0) == 0) c = 'e';
        if (line.rfind("automation ", 0) == 0) c = 'v';
        if (c && !(c == 'v' && !calls.empty() && calls.back() == 'v')) calls += c;
        at = end + 1;
    }
    return calls;
}

TEST(EditorTool, DrivesAPluginEditorThroughAScript) {
    const std::string snap1 = std::string(GW_TEST_OUT) + "/small_menu.png";
    const std::string snap2 = std::string(GW_TEST_OUT) + "/small_end.png";
    std::remove(snap1.c_str());
    std::remove(snap2.c_str());
    const std::string script = writeScript("small.txt",
                                           "status\n"
                                           "drag 17 40 17 80   # the fader, downwards\n"
                                           "status\n"
                                           "idle 2\n"
                                           "click 80 18\n"
                                           "snapshot " + snap1 + "\n"
                                           "click 300 300\n"
                                           "wheel 17 60 -1\n"
                                           "process 2\n"
                                           "close\n"
                                           "reopen\n"
                                           "status\n"
                                           "snapshot " + snap2 + "\n");
    int code = 0;
    const std::string out = runTool(std::string("editor ") + GW_TEST_EDITOR_PLUGIN + " --script " + script, code);
    EXPECT_EQ(code, 0) << out;
    EXPECT_NE(out.find("status \"small editor\" (255, 255, 255)"), std::string::npos) << out;
    EXPECT_NE(out.find("status \"Level : 0."), std::string::npos) << out;
    EXPECT_NE(out.find("automation 0 0."), std::string::npos) << out;
    // The drag and the wheel step, each a gesture around its automation.
    EXPECT_EQ(hostCalls(out), "bvebve") << out;
    EXPECT_NE(out.find("begin-edit 0\nautomation 0 0."), std::string::npos) << out;
    EXPECT_EQ(readFile(snap1).substr(1, 3), "PNG");
    EXPECT_EQ(readFile(snap2).substr(1, 3), "PNG");
    // Reopened: a new frame with the first text again.
    const std::string first = "status \"small editor\"";
    const std::size_t once = out.find(first);
    ASSERT_NE(once, std::string::npos);
    EXPECT_NE(out.find(first, once + 1), std::string::npos) << out;
}

TEST(EditorTool, WritesLayoutAndSnapshotAfterTheSession) {
    const std::string layout = std::string(GW_TEST_OUT) + "/small.json";
    const std::string snap = std::string(GW_TEST_OUT) + "/small.png";
    int code = 0;
    const std::string out = runTool(std::string("editor ") + GW_TEST_EDITOR_PLUGIN +
                                        " --silence --beats 2 --set level=0.75 --layout " + layout + " --snapshot " + snap,
                                    code);
    EXPECT_EQ(code, 0) << out;
    const std::string json = readFile(layout);
    EXPECT_EQ(json.rfind("{\"size\":[240,120],\"views\":[{\"class\":\"CVerticalSlider\",\"tag\":0,\"rect\":[10,10,24,110],"
                         "\"value\":0.75,\"default\":0.25,\"transparent\":false}",
                         0),
              0u)
        << json;
    EXPECT_NE(json.find("{\"tag\":8,\"title\":\"many rows\",\"entries\":[\"row 0\","), std::string::npos);
    EXPECT_EQ(readFile(snap).substr(1, 3), "PNG");
}

TEST(EditorTool, ReportsWhatItCannotDo) {
    int code = 0;
    std::string out = runTool("editor /nonexistent/plugin.so", code);
    EXPECT_EQ(code, 1) << out;
    const std::string bad = writeScript("bad.txt", "idle 1\nfrobnicate\n");
    out = runTool(std::string("editor ") + GW_TEST_EDITOR_PLUGIN + " --script " + bad, code);
    EXPECT_EQ(code, 1);
    EXPECT_NE(out.find("bad.txt line 2: unknown command \"frobnicate\""), std::string::npos) << out;
    out = runTool(std::string("editor ") + GW_TEST_EDITOR_PLUGIN + " --script /dev/zero", code);
    EXPECT_EQ(code, 1);
    EXPECT_NE(out.find("--script /dev/zero: a device"), std::string::npos) << out;
    out = runTool(std::string("editor ") + GW_TEST_EDITOR_PLUGIN + " --snapshot /nonexistent/dir/x.png", code);
    EXPECT_EQ(code, 1);
    EXPECT_NE(out.find("cannot write /nonexistent/dir/x.png"), std::string::npos) << out;
    out = runTool("editor --help", code);
    EXPECT_EQ(code, 0);
    EXPECT_NE(out.find("--script FILE"), std::string::npos);
}

}  // namespace

namespace {

// grainwheel's own panel through the tool: unit 3's time fader, a buffer scope, the main
// scope and the file menu.
TEST(EditorTool, PlaysGrainwheelsPanel) {
    const std::string snap = std::string(GW_TEST_OUT) + "/grainwheel_menu.png";
    const std::string layout = std::string(GW_TEST_OUT) + "/grainwheel.json";
    std::remove(snap.c_str());
    const std::string script = writeScript("grainwheel.txt",
                                           "drag 431 40 431 120\n"
                                           "status\n"
                                           "click 300 270\n"
                                           "idle 1\n"
                                           "click 100 100\n"
                                           "status\n"
                                           "process 1\n"
                                           "idle 3\n"
                                           "click 117 46\n"
                                           "snapshot " + snap + "\n");
    int code = 0;
    const std::string out = runTool(std::string("editor ") + GW_PLUGIN_PATH + " --demo --beats 8 --script " + script +
                                        " --layout " + layout,
                                    code);
    EXPECT_EQ(code, 0) << out;
    EXPECT_NE(out.find("automation 45 0."), std::string::npos) << out;
    EXPECT_NE(out.find("begin-edit 45\nautomation 45 0."), std::string::npos) << out;
    EXPECT_NE(out.find("end-edit 45\n"), std::string::npos) << out;
    EXPECT_NE(out.find("begin-edit 0\nautomation 0 0.466667\nend-edit 0\n"), std::string::npos) << out;
    EXPECT_NE(out.find("status \"Events in this unit : "), std::string::npos) << out;
    EXPECT_NE(out.find("automation 0 0.466667"), std::string::npos) << out;  // buffer scope 7: 7 / 15
    EXPECT_NE(out.find(" MB] "), std::string::npos) << out;                  // the bank line
    EXPECT_EQ(readFile(snap).substr(1, 3), "PNG");
    const std::string json = readFile(layout);
    EXPECT_EQ(json.rfind("{\"size\":[930,414],\"views\":[{\"class\":\"WaveDisplay\",\"tag\":0,\"rect\":[17,64,378,172],", 0), 0u)
        << json.substr(0, 200);
    EXPECT_NE(json.find("{\"class\":\"CVerticalSlider\",\"tag\":45,\"rect\":[424,14,438,163],\"bitmap\":"), std::string::npos);
    EXPECT_NE(json.find("\"class\":\"CLabel\",\"tag\":0,\"rect\":[11,13,379,29],\"background\":137"), std::string::npos);
    EXPECT_NE(json.find("{\"tag\":276,\"title\":\"record Sync Unit\""), std::string::npos);
}

// At the host's scale 2 the snapshot doubles and script positions are its pixels: the
// same drag and click reach the same fader and scope; the layout stays in the panel's units.
TEST(EditorTool, PlaysGrainwheelsPanelAtTheHostsScale) {
    const std::string snap = std::string(GW_TEST_OUT) + "/grainwheel_scale2.png";
    const std::string layout = std::string(GW_TEST_OUT) + "/grainwheel_scale2.json";
    const std::string script = writeScript("grainwheel_scale2.txt", "drag 862 80 862 240\nclick 600 540\n");
    int code = 0;
    const std::string out = runTool(std::string("editor ") + GW_PLUGIN_PATH + " --scale 2 --script " + script +
                                        " --snapshot " + snap + " --layout " + layout,
                                    code);
    EXPECT_EQ(code, 0) << out;
    EXPECT_NE(out.find("begin-edit 45\nautomation 45 0."), std::string::npos) << out;
    EXPECT_NE(out.find("automation 0 0.466667"), std::string::npos) << out;
    const std::string png = readFile(snap);
    ASSERT_GT(png.size(), 24u);
    auto word = [&](std::size_t at) {
        return (static_cast<unsigned char>(png[at]) << 24) | (static_cast<unsigned char>(png[at + 1]) << 16) |
               (static_cast<unsigned char>(png[at + 2]) << 8) | static_cast<unsigned char>(png[at + 3]);
    };
    EXPECT_EQ(word(16), 1860);
    EXPECT_EQ(word(20), 828);
    EXPECT_EQ(readFile(layout).rfind("{\"size\":[930,414],", 0), 0u);
    EXPECT_NE(runTool(std::string("editor ") + GW_PLUGIN_PATH + " --scale 0.5", code).find("--scale takes"),
              std::string::npos);
    EXPECT_EQ(code, 2);
}

}  // namespace
