// A real window under a private Xvfb server: a frame inside a parent window made the way a
// host makes it, driven by real X input events, compared with the headless rendering, and
// opened and closed many times.
#include <gtest/gtest.h>

#include <xcb/xcb.h>
#if GW_HAVE_XTEST
#include <xcb/xtest.h>
#endif

#include <chrono>
#include <cstdlib>
#include <dirent.h>
#include <memory>
#include <thread>

#include "gui/x11/x11frame.h"
#include "gui/x11/xcbwindow.h"
#include "tests/gui/testsupport.h"
#include "tests/gui/xvfb.h"

using namespace gwtest;

namespace {

Xvfb* server = nullptr;

class X11 : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!server) server = new Xvfb();
    }
    static void TearDownTestSuite() {
        delete server;
        server = nullptr;
    }
    void SetUp() override {
        if (!server->ok()) GTEST_SKIP() << "Xvfb is not available";
        installCairoBackend();
        host = xcb_connect(server->display().c_str(), nullptr);
        ASSERT_FALSE(xcb_connection_has_error(host));
        screen = xcb_setup_roots_iterator(xcb_get_setup(host)).data;
        // The host's editor window: a top-level window of its own.
        parent = xcb_generate_id(host);
        std::uint32_t values[1] = {screen->white_pixel};
        xcb_create_window(host, XCB_COPY_FROM_PARENT, parent, screen->root, 50, 60, 400, 300, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, XCB_CW_BACK_PIXEL, values);
        xcb_map_window(host, parent);
        sync();
    }
    void TearDown() override {
        if (host) {
            xcb_destroy_window(host, parent);
            sync();
            xcb_disconnect(host);
        }
    }
    void sync() { std::free(xcb_get_input_focus_reply(host, xcb_get_input_focus(host), nullptr)); }

    // Builds the same views in any frame.
    void populate(CFrame& frame) {
        std::vector<std::uint32_t> px(300 * 200);
        for (long y = 0; y < 200; ++y)
            for (long x = 0; x < 300; ++x)
                px[static_cast<std::size_t>(y * 300 + x)] = rgb(static_cast<unsigned>(x % 256), static_cast<unsigned>(y), 90);
        CBitmap* panel = new CBitmap(300, 200, px.data());
        frame.setBackground(panel);
        CBitmap* btn = twoImageBitmap(40, 40, rgb(20, 20, 20), rgb(250, 200, 0));
        button = new COnOffButton(CRect(20, 20, 60, 40), &rec, 7, btn);
        btn->forget();
        frame.addView(button);
        CBitmap* handle = solidBitmap(14, 7, rgb(230, 230, 230));
        slider = new CVerticalSlider(CRect(100, 10, 114, 159), &rec, 45, 10, 152, handle, panel, CPoint(100, 10), kBottom);
        handle->forget();
        frame.addView(slider);
        auto* label = new CParamDisplay(CRect(150, 20, 290, 40));
        label->setFont(kNormalFont);
        label->setTxtFace(kBoldFace);
        label->setValue(0.25f);
        frame.addView(label);
        panel->forget();
    }

    CFrame* openFrame() {
        CFrame* f = createX11Frame(CRect(0, 0, 300, 200), reinterpret_cast<void*>(static_cast<std::uintptr_t>(parent)), nullptr);
        return f;
    }

    CPoint rootOf(xcb_window_t w, long x, long y) {
        auto* r = xcb_translate_coordinates_reply(host, xcb_translate_coordinates(host, w, screen->root,
                                                                               static_cast<std::int16_t>(x),
                                                                               static_cast<std::int16_t>(y)),
                                                  nullptr);
        CPoint p(r->dst_x, r->dst_y);
        std::free(r);
        return p;
    }

#if GW_HAVE_XTEST
    void fake(std::uint8_t type, std::uint8_t detail, long rootX = 0, long rootY = 0) {
        xcb_test_fake_input(host, type, detail, XCB_CURRENT_TIME, type == XCB_MOTION_NOTIFY ? screen->root : XCB_NONE,
                            static_cast<std::int16_t>(rootX), static_cast<std::int16_t>(rootY), 0);
        sync();
    }
#endif

    // Runs the frame's idle until cond holds or a second passed.
    template <class F> bool idleUntil(CFrame& frame, F cond) {
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (std::chrono::steady_clock::now() < until) {
            frame.idle();
            if (cond()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

    xcb_connection_t* host = nullptr;
    xcb_screen_t* screen = nullptr;
    xcb_window_t parent = 0;
    Recorder rec;
    COnOffButton* button = nullptr;
    CVerticalSlider* slider = nullptr;
};

long openFiles() {
    long n = 0;
    if (DIR* d = opendir("/proc/self/fd")) {
        while (readdir(d)) ++n;
        closedir(d);
    }
    return n;
}

TEST_F(X11, FrameOpensAChildOfTheParentWindowOfExactlyItsSize) {
    std::unique_ptr<CFrame> frame(openFrame());
    auto* w = dynamic_cast<XcbWindow*>(frame->getPlatformWindow());
    ASSERT_NE(w, nullptr);
    auto* tree = xcb_query_tree_reply(host, xcb_query_tree(host, w->windowId()), nullptr);
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(tree->parent, parent);
    std::free(tree);
    auto* geo = xcb_get_geometry_reply(host, xcb_get_geometry(host, w->windowId()), nullptr);
    ASSERT_NE(geo, nullptr);
    EXPECT_EQ(geo->width, 300);
    EXPECT_EQ(geo->height, 200);
    std::free(geo);
}

#if GW_HAVE_XTEST
TEST_F(X11, RealClicksAndDragsChangeTheControlUnderThem) {
    std::unique_ptr<CFrame> frame(openFrame());
    populate(*frame);
    frame->idle();
    auto* w = dynamic_cast<XcbWindow*>(frame->getPlatformWindow());
    ASSERT_NE(w, nullptr);
    CPoint b = rootOf(w->windowId(), 30, 30);
    fake(XCB_MOTION_NOTIFY, 0, b.h, b.v);
    fake(XCB_BUTTON_PRESS, 1);
    fake(XCB_BUTTON_RELEASE, 1);
    EXPECT_TRUE(idleUntil(*frame, [&] { return button->getValue() == 1.f; }));

    // The pointer position and button come from the server at the moment they are asked.
    CPoint s = rootOf(w->windowId(), 107, 152 + 3);
    fake(XCB_MOTION_NOTIFY, 0, s.h, s.v);
    CPoint where;
    frame->getCurrentMouseLocation(where);
    EXPECT_EQ(where, CPoint(107, 155));
    fake(XCB_BUTTON_PRESS, 1);
    EXPECT_TRUE(frame->getCurrentMouseButtons() & kLButton);
    idleUntil(*frame, [] { return false; });
    CPoint s2 = rootOf(w->windowId(), 107, 152 + 3 - 71);
    fake(XCB_MOTION_NOTIFY, 0, s2.h, s2.v);
    fake(XCB_BUTTON_RELEASE, 1);
    EXPECT_TRUE(idleUntil(*frame, [&] { return slider->getValue() > 0.49f; }));
    EXPECT_NEAR(slider->getValue(), 0.5f, 1e-4);
    EXPECT_EQ(w->errorCount(), 0);
}

TEST_F(X11, MenuPopupIsAnOverrideRedirectWindowThatChooses) {
    std::unique_ptr<CFrame> frame(openFrame());
    auto* menu = new COptionMenu(CRect(200, 100, 260, 116), &rec, 266);
    menu->addEntry("Import Options");
    menu->addEntry("-");
    menu->addEntry("Other");
    frame->addView(menu);
    frame->idle();
    auto* w = dynamic_cast<XcbWindow*>(frame->getPlatformWindow());
    CPoint m = rootOf(w->windowId(), 210, 108);
    fake(XCB_MOTION_NOTIFY, 0, m.h, m.v);
    fake(XCB_BUTTON_PRESS, 1);
    fake(XCB_BUTTON_RELEASE, 1);
    ASSERT_TRUE(idleUntil(*frame, [&] { return frame->isMenuOpen(); }));
    CRect e = frame->getMenuSession()->entryRect(0, 2);
    CPoint p = rootOf(w->windowId(), (e.left + e.right) / 2, (e.top + e.bottom) / 2);
    fake(XCB_MOTION_NOTIFY, 0, p.h, p.v);
    fake(XCB_BUTTON_PRESS, 1);
    fake(XCB_BUTTON_RELEASE, 1);
    ASSERT_TRUE(idleUntil(*frame, [&] { return !rec.calls.empty(); }));
    EXPECT_EQ(rec.calls[0].tag, 266);
    EXPECT_FLOAT_EQ(rec.calls[0].value, 2.f);
    EXPECT_FALSE(frame->isMenuOpen());
    EXPECT_EQ(w->errorCount(), 0);
}
#endif

TEST_F(X11, ScreenshotMatchesTheHeadlessRendering) {
    std::unique_ptr<CFrame> frame(openFrame());
    populate(*frame);
    slider->setValue(0.3f);
    button->setValue(1.f);
    frame->idle();
    HeadlessFrame headless(CRect(0, 0, 300, 200));
    populate(headless);
    slider->setValue(0.3f);
    button->setValue(1.f);
    headless.idle();
    auto* w = dynamic_cast<XcbWindow*>(frame->getPlatformWindow());
    ASSERT_NE(w, nullptr);
    idleUntil(*frame, [] { return false; });
    sync();
    auto* img = xcb_get_image_reply(
        host, xcb_get_image(host, XCB_IMAGE_FORMAT_Z_PIXMAP, w->windowId(), 0, 0, 300, 200, ~0u), nullptr);
    ASSERT_NE(img, nullptr);
    ASSERT_EQ(xcb_get_image_data_length(img), 300 * 200 * 4);
    const auto* px = reinterpret_cast<const std::uint32_t*>(xcb_get_image_data(img));
    long differ = 0;
    for (long y = 0; y < 200; ++y)
        for (long x = 0; x < 300; ++x) {
            if ((px[y * 300 + x] & 0xFFFFFF) != (headless.screenPixel(x, y) & 0xFFFFFF)) ++differ;
        }
    std::free(img);
    EXPECT_EQ(differ, 0);
}

TEST_F(X11, ThousandOpenCloseCyclesLeakNothingAndRaiseNoError) {
    long files = openFiles();
    long objects = CReferenceCounter::liveObjects();
    auto t0 = std::chrono::steady_clock::now();
    {
        std::unique_ptr<CFrame> first(openFrame());
        populate(*first);
        first->idle();
    }
    double firstMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_LT(firstMs, 100.0);
    double worstMs = 0;
    for (int i = 0; i < 1000; ++i) {
        auto t = std::chrono::steady_clock::now();
        std::unique_ptr<CFrame> frame(openFrame());
        populate(*frame);
        frame->idle();
        worstMs = std::max(worstMs, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t).count());
        auto* w = dynamic_cast<XcbWindow*>(frame->getPlatformWindow());
        ASSERT_NE(w, nullptr) << "cycle " << i;
        frame->idle();
        ASSERT_EQ(w->errorCount(), 0) << "cycle " << i;
    }
    EXPECT_EQ(openFiles(), files);
    EXPECT_EQ(CReferenceCounter::liveObjects(), objects);
    std::printf("open + first draw: first %.2f ms, worst of 1000 %.2f ms\n", firstMs, worstMs);
}

TEST(UriList, FileUrisBecomeDecodedPaths) {
    auto paths = parseUriList("# comment\r\nfile:///tmp/a%20b.wav\r\nhttp://x/y\r\nfile://host/home/z.grb\r\n");
    ASSERT_EQ(paths.size(), 2u);
    EXPECT_EQ(paths[0], "/tmp/a b.wav");
    EXPECT_EQ(paths[1], "/home/z.grb");
}

}  // namespace
