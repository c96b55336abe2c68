// The editor in a real window under a private Xvfb server, opened as a host opens it:
// effEditGetRect, effEditOpen with the parent window's id, effEditIdle every 40 ms,
// effEditClose; driven by real X input (XTEST). Runs on a small plug-in with a toolkit
// editor and on grainwheel itself (once its editor builds a panel), and runs
// grainwheel-host gui the same way.
#include <gtest/gtest.h>

#include <cairo.h>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "host/editor_inspection.h"
#include "tests/gui/xvfb.h"
#include "tools/host_session.h"

namespace {

gwtest::Xvfb* server = nullptr;

// Stops the server that the suites without a fixture of their own start last.
class StopServer : public ::testing::Environment {
public:
    void TearDown() override {
        delete server;
        server = nullptr;
    }
};
[[maybe_unused]] ::testing::Environment* const stopServer = ::testing::AddGlobalTestEnvironment(new StopServer);

struct Target {
    const char* name;
    const char* path;
    // A fader drag: from, to (frame pixels), the parameter it automates, the status prefix.
    long fromX, fromY, toX, toY;
    VstInt32 parameter;
    const char* statusPrefix;
    long menuX, menuY;  // a menu that opens a pop-up
};

const Target kSmall{"small", GW_TEST_EDITOR_PLUGIN, 17, 40, 17, 80, 0, "Level : ", 80, 18};
// Unit 3's time fader (tag 45) and fileMenu.
const Target kGrainwheel{"grainwheel", GW_PLUGIN_PATH, 431, 40, 431, 120, 45, "Events in this unit : ", 117, 46};

class RealWindow : public ::testing::TestWithParam<Target> {
protected:
    static void SetUpTestSuite() {
        if (!server) server = new gwtest::Xvfb();
    }
    static void TearDownTestSuite() {
        delete server;
        server = nullptr;
    }
    void SetUp() override {
        if (!server->ok()) GTEST_SKIP() << "Xvfb is not available";
        conn = xcb_connect(server->display().c_str(), nullptr);
        ASSERT_FALSE(xcb_connection_has_error(conn));
        screen = xcb_setup_roots_iterator(xcb_get_setup(conn)).data;
        ASSERT_TRUE(host.load(GetParam().path)) << host.error();
        host.start(44100.0, 512);
        ERect* rect = nullptr;
        ASSERT_EQ(host.dispatch(effEditGetRect, 0, 0, &rect), 1);
        ASSERT_NE(rect, nullptr);
        width = rect->right - rect->left;
        height = rect->bottom - rect->top;
        parent = xcb_generate_id(conn);
        std::uint32_t values[1] = {screen->black_pixel};
        xcb_create_window(conn, XCB_COPY_FROM_PARENT, parent, screen->root, kLeft, kTop, static_cast<std::uint16_t>(width),
                          static_cast<std::uint16_t>(height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                          XCB_CW_BACK_PIXEL, values);
        xcb_map_window(conn, parent);
        sync();
        fake(XCB_MOTION_NOTIFY, 0, 1270, 1010);  // the pointer away from the window
        host.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(static_cast<std::uintptr_t>(parent)));
        char probe[] = "/dev/null";
        if (host.dispatch(effVendorSpecific, kEditorInspection, kInspectLayout, probe) != 1) {
            skipped = true;
            GTEST_SKIP() << GetParam().name << "'s editor builds no frame yet";
        }
        idleFor(200);
    }
    void TearDown() override {
        if (!conn) return;
        if (!skipped || host.effect()) host.dispatch(effEditClose);
        host.stop();
        host.close();
        xcb_destroy_window(conn, parent);
        sync();
        xcb_disconnect(conn);
    }
    void sync() { std::free(xcb_get_input_focus_reply(conn, xcb_get_input_focus(conn), nullptr)); }
    void fake(std::uint8_t type, std::uint8_t detail, long x = 0, long y = 0) {
        xcb_test_fake_input(conn, type, detail, XCB_CURRENT_TIME, type == XCB_MOTION_NOTIFY ? screen->root : XCB_NONE,
                            static_cast<std::int16_t>(x), static_cast<std::int16_t>(y), 0);
        sync();
    }
    void moveTo(long x, long y) { fake(XCB_MOTION_NOTIFY, 0, kLeft + x, kTop + y); }
    // effEditIdle every 40 ms, as a host calls it, for ms milliseconds or until done().
    bool idleFor(int ms, const std::function<bool()>& done = nullptr) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < until) {
            host.dispatch(effEditIdle);
            if (done && done()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(40));
        }
        host.dispatch(effEditIdle);
        return done ? done() : true;
    }
    std::string status() {
        EditorStatusText s;
        if (host.dispatch(effVendorSpecific, kEditorInspection, kInspectStatus, &s) != 1) return "(none)";
        return s.text;
    }
    // Mapped override-redirect windows on the root: the pop-ups.
    int popups() {
        int n = 0;
        xcb_query_tree_reply_t* tree = xcb_query_tree_reply(conn, xcb_query_tree(conn, screen->root), nullptr);
        if (!tree) return 0;
        const xcb_window_t* kids = xcb_query_tree_children(tree);
        for (int i = 0; i < xcb_query_tree_children_length(tree); ++i) {
            xcb_get_window_attributes_reply_t* a =
                xcb_get_window_attributes_reply(conn, xcb_get_window_attributes(conn, kids[i]), nullptr);
            if (a && a->override_redirect && a->map_state == XCB_MAP_STATE_VIEWABLE) ++n;
            std::free(a);
        }
        std::free(tree);
        return n;
    }

    static constexpr long kLeft = 40, kTop = 30;
    xcb_connection_t* conn = nullptr;
    xcb_screen_t* screen = nullptr;
    xcb_window_t parent = 0;
    gwhost::HostSession host;
    long width = 0, height = 0;
    bool skipped = false;
};

// The host's calls for one parameter as letters: b begin-edit, v automation, e end-edit.
std::string editCalls(const std::vector<gwhost::AutomationEvent>& seen, VstInt32 parameter) {
    std::string s;
    for (const auto& a : seen)
        if (a.index == parameter) s += a.kind == gwhost::AutomationEvent::kBeginEdit ? 'b' : a.kind == gwhost::AutomationEvent::kEndEdit ? 'e' : 'v';
    return s;
}

TEST_P(RealWindow, AFaderDragAutomatesItsParameterAndNamesIt) {
    const Target& t = GetParam();
    moveTo(t.fromX, t.fromY);
    idleFor(80);
    fake(XCB_BUTTON_PRESS, 1);
    for (int i = 1; i <= 8; ++i) {
        moveTo(t.fromX + (t.toX - t.fromX) * i / 8, t.fromY + (t.toY - t.fromY) * i / 8);
        idleFor(40);
    }
    // Held: begun and automated, not yet ended (touch automation writes while held).
    const std::string held = editCalls(host.automationSince(0), t.parameter);
    EXPECT_EQ(held.rfind("bv", 0), 0u) << held;
    EXPECT_EQ(held.find('e'), std::string::npos) << held;
    fake(XCB_BUTTON_RELEASE, 1);
    const bool named = idleFor(2000, [&] { return status().rfind(t.statusPrefix, 0) == 0; });
    EXPECT_TRUE(named) << status();
    idleFor(2000, [&] { return editCalls(host.automationSince(0), t.parameter).find('e') != std::string::npos; });
    // One gesture: begin, the automation, end, and nothing else for the parameter.
    const std::string calls = editCalls(host.automationSince(0), t.parameter);
    EXPECT_EQ(calls.size(), calls.find_last_not_of('v') + 1) << calls;
    EXPECT_EQ(calls.front(), 'b') << calls;
    EXPECT_EQ(calls.back(), 'e') << calls;
    EXPECT_EQ(calls.find_first_not_of('v', 1), calls.size() - 1) << calls;
    EXPECT_GE(calls.size(), 3u) << calls;
}

TEST_P(RealWindow, AMenuClickOpensItsPopupOnTheScreen) {
    const Target& t = GetParam();
    EXPECT_EQ(popups(), 0);
    moveTo(t.menuX, t.menuY);
    idleFor(80);
    fake(XCB_BUTTON_PRESS, 1);
    fake(XCB_BUTTON_RELEASE, 1);
    EXPECT_TRUE(idleFor(2000, [&] { return popups() >= 1; }));
    // Escape closes it again.
    fake(XCB_KEY_PRESS, 9);
    fake(XCB_KEY_RELEASE, 9);
    EXPECT_TRUE(idleFor(2000, [&] { return popups() == 0; }));
}

TEST_P(RealWindow, TheWindowShowsWhatTheHeadlessEditorDraws) {
    // A second instance, headless, in the same fresh state.
    gwhost::HostSession other;
    ASSERT_TRUE(other.load(GetParam().path));
    other.start(44100.0, 512);
    other.dispatch(effEditOpen, 0, 0, nullptr);
    other.dispatch(effEditIdle);
    const std::string png = ::testing::TempDir() + "gw_headless_" + GetParam().name + ".png";
    ASSERT_EQ(other.dispatch(effVendorSpecific, kEditorInspection, kInspectSnapshot, const_cast<char*>(png.c_str())), 1);
    other.dispatch(effEditClose);
    other.stop();
    other.close();
    cairo_surface_t* headless = cairo_image_surface_create_from_png(png.c_str());
    ASSERT_EQ(cairo_surface_status(headless), CAIRO_STATUS_SUCCESS);
    ASSERT_EQ(cairo_image_surface_get_width(headless), width);
    ASSERT_EQ(cairo_image_surface_get_height(headless), height);

    idleFor(200);
    xcb_get_image_reply_t* img = xcb_get_image_reply(
        conn,
        xcb_get_image(conn, XCB_IMAGE_FORMAT_Z_PIXMAP, parent, 0, 0, static_cast<std::uint16_t>(width),
                      static_cast<std::uint16_t>(height), ~0u),
        nullptr);
    ASSERT_NE(img, nullptr);
    ASSERT_EQ(xcb_get_image_data_length(img), width * height * 4);
    const auto* shown = reinterpret_cast<const std::uint32_t*>(xcb_get_image_data(img));
    cairo_surface_flush(headless);
    const unsigned char* data = cairo_image_surface_get_data(headless);
    const int stride = cairo_image_surface_get_stride(headless);
    long same = 0;
    for (long y = 0; y < height; ++y)
        for (long x = 0; x < width; ++x) {
            const std::uint32_t a = reinterpret_cast<const std::uint32_t*>(data + y * stride)[x] & 0xFFFFFFu;
            same += (shown[y * width + x] & 0xFFFFFFu) == a;
        }
    std::free(img);
    cairo_surface_destroy(headless);
    EXPECT_GE(same, width * height * 99 / 100) << same << " of " << width * height;
}

std::string nameOf(const ::testing::TestParamInfo<Target>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(Editors, RealWindow, ::testing::Values(kSmall, kGrainwheel), nameOf);

// grainwheel-host gui: a window of its own with the editor in it, the automation printed.
TEST(GuiTool, ShowsAnEditorAndPrintsItsAutomation) {
    if (!server) server = new gwtest::Xvfb();
    if (!server->ok()) GTEST_SKIP() << "Xvfb is not available";
    // A file of this run alone: one left by an earlier run (or by a run in another tree
    // at the same time) would announce the window before this tool has opened it.
    const std::string out = ::testing::TempDir() + "gw_gui_out_" + std::to_string(getpid()) + ".txt";
    std::remove(out.c_str());
    const std::string command = std::string(GW_HOST_TOOL) + " gui " + GW_TEST_EDITOR_PLUGIN +
                                " --demo --quit-after 6 --print-window > " + out + " 2>&1";
    pid_t child = fork();
    if (child == 0) {
        setenv("DISPLAY", server->display().c_str(), 1);
        execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    ASSERT_GT(child, 0);
    xcb_connection_t* conn = xcb_connect(server->display().c_str(), nullptr);
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(conn)).data;
    auto fake = [&](std::uint8_t type, std::uint8_t detail, long x, long y) {
        xcb_test_fake_input(conn, type, detail, XCB_CURRENT_TIME, type == XCB_MOTION_NOTIFY ? screen->root : XCB_NONE,
                            static_cast<std::int16_t>(x), static_cast<std::int16_t>(y), 0);
        std::free(xcb_get_input_focus_reply(conn, xcb_get_input_focus(conn), nullptr));
    };
    // Once the window is open (the tool prints its id): it sits at the root's origin (no
    // window manager), so the fader is at the same place on the screen.
    auto printed = [&] {
        FILE* f = std::fopen(out.c_str(), "r");
        if (!f) return false;
        char line[256] = {};
        const bool found = std::fgets(line, sizeof line, f) && std::strncmp(line, "window 0x", 9) == 0;
        std::fclose(f);
        return found;
    };
    for (int i = 0; i < 200 && !printed(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    fake(XCB_MOTION_NOTIFY, 0, 17, 40);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    fake(XCB_BUTTON_PRESS, 1, 0, 0);
    for (int y = 44; y <= 80; y += 4) {
        fake(XCB_MOTION_NOTIFY, 0, 17, y);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    fake(XCB_BUTTON_RELEASE, 1, 0, 0);
    xcb_disconnect(conn);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    FILE* f = std::fopen(out.c_str(), "r");
    ASSERT_NE(f, nullptr);
    std::string text;
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) text.append(buf, n);
    std::fclose(f);
    std::remove(out.c_str());
    EXPECT_NE(text.find("window 0x"), std::string::npos) << text;
    // The drag as a gesture: begin-edit before the automation, end-edit after it.
    const std::size_t begin = text.find("begin-edit 0 level\n");
    const std::size_t first = text.find("automation 0 level 0.");
    const std::size_t end = text.find("end-edit 0 level\n");
    EXPECT_NE(first, std::string::npos) << text;
    ASSERT_NE(begin, std::string::npos) << text;
    ASSERT_NE(end, std::string::npos) << text;
    EXPECT_LT(begin, first) << text;
    EXPECT_GT(end, text.rfind("automation 0 level 0.")) << text;
    EXPECT_EQ(text.find("begin-edit", begin + 1), std::string::npos) << text;
}

}  // namespace

namespace {

// Opened without a parent window (as the editor tool opens it) the editor stays headless
// even with a display at hand: no window of its own appears on the screen.
TEST(HeadlessOpen, PutsNoWindowOnTheScreen) {
    if (!server) server = new gwtest::Xvfb();
    if (!server->ok()) GTEST_SKIP() << "Xvfb is not available";
    setenv("DISPLAY", server->display().c_str(), 1);
    xcb_connection_t* conn = xcb_connect(server->display().c_str(), nullptr);
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(conn)).data;
    auto windows = [&] {
        xcb_query_tree_reply_t* tree = xcb_query_tree_reply(conn, xcb_query_tree(conn, screen->root), nullptr);
        const int n = tree ? xcb_query_tree_children_length(tree) : -1;
        std::free(tree);
        return n;
    };
    const int before = windows();
    for (const char* path : {GW_TEST_EDITOR_PLUGIN, GW_PLUGIN_PATH}) {
        gwhost::HostSession host;
        ASSERT_TRUE(host.load(path));
        host.start(44100.0, 512);
        host.dispatch(effEditOpen, 0, 0, nullptr);
        host.dispatch(effEditIdle);
        EXPECT_EQ(windows(), before) << path;
        EditorMouseEvent hover;
        hover.kind = EditorMouseEvent::kHover;
        EXPECT_EQ(host.dispatch(effVendorSpecific, kEditorInspection, kInspectMouse, &hover), 1) << path;
        host.dispatch(effEditClose);
        host.stop();
        host.close();
    }
    xcb_disconnect(conn);
}

}  // namespace

namespace {

// A third-party plug-in with an X11 editor of its own opens in the tool's window too.
TEST(GuiTool, OpensAThirdPartyEditor) {
    const char* plugin = "/usr/lib/vst/3BandEQ-vst.so";
    if (access(plugin, R_OK) != 0) GTEST_SKIP() << plugin << " is not installed (dpf-plugins-vst)";
    if (!server) server = new gwtest::Xvfb();
    if (!server->ok()) GTEST_SKIP() << "Xvfb is not available";
    // Leaks of the third-party module are not ours to find (sanitizer builds).
    const std::string command = "ASAN_OPTIONS=detect_leaks=0 DISPLAY=" + server->display() + " " + GW_HOST_TOOL + " gui " + plugin +
                                " --demo --quit-after 1 --print-window 2>&1";
    FILE* p = popen(command.c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::string text;
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) text.append(buf, n);
    const int status = pclose(p);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << text;
    EXPECT_NE(text.find("window 0x"), std::string::npos) << text;
}

}  // namespace
