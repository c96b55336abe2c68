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
#include <cstring>
#include <string>
#include <dirent.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>
#include <memory>
#include <thread>

#include "gui/x11/x11frame.h"
#include "gui/x11/xcbwindow.h"
#include "platform/desktop_dialogs.h"
#include "platform/dialog_owner.h"
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

// At scale 2 the window has twice the frame's size in pixels; clicks, drags and pointer
// queries arrive in the frame's units, and a menu opens at the scaled place.
TEST_F(X11, AScaledFrameTakesPixelsAndGivesUnits) {
    std::unique_ptr<CFrame> frame(openFrame());
    populate(*frame);
    frame->setScale(2.0);
    frame->idle();
    auto* w = dynamic_cast<XcbWindow*>(frame->getPlatformWindow());
    ASSERT_NE(w, nullptr);
    sync();
    auto* geo = xcb_get_geometry_reply(host, xcb_get_geometry(host, w->windowId()), nullptr);
    ASSERT_NE(geo, nullptr);
    EXPECT_EQ(geo->width, 600);
    EXPECT_EQ(geo->height, 400);
    std::free(geo);
#if GW_HAVE_XTEST
    CPoint b = rootOf(w->windowId(), 2 * 59 + 1, 2 * 39 + 1);  // the button's last unit
    fake(XCB_MOTION_NOTIFY, 0, b.h, b.v);
    CPoint where;
    frame->getCurrentMouseLocation(where);
    EXPECT_EQ(where, CPoint(59, 39));
    fake(XCB_BUTTON_PRESS, 1);
    fake(XCB_BUTTON_RELEASE, 1);
    EXPECT_TRUE(idleUntil(*frame, [&] { return button->getValue() == 1.f; }));
#endif
    EXPECT_EQ(w->errorCount(), 0);
}

TEST(X11Resources, TheDesktopsScaleIsXftDpiOver96TimesGdkScale) {
    EXPECT_EQ(scaleFromXResources("Xft.antialias:\t1\nXft.dpi:\t192\n", nullptr), 2.0);
    EXPECT_EQ(scaleFromXResources("Xft.dpi: 144", nullptr), 1.5);
    EXPECT_EQ(scaleFromXResources("Xft.dpi:\t96\n", nullptr), 0.0);  // nothing above 1
    EXPECT_EQ(scaleFromXResources(nullptr, "2"), 2.0);
    EXPECT_EQ(scaleFromXResources("Xft.dpi:\t120\n", "2"), 2.5);
    EXPECT_EQ(scaleFromXResources("Xft.dpi:\t9600\n", "5"), 0.0);  // absurd values are ignored
    EXPECT_EQ(scaleFromXResources("Xft.dpi:\t192\n", "3"), 3.0);    // held at 3
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

// The desktop dialogs belong to the top-level window that holds the panel: the host's
// window below the root, or under a window manager the managed window (WM_STATE) inside its
// decoration. The dialog program is attached to it.
TEST_F(X11, DialogsBelongToThePanelsTopLevelWindow) {
    platform::setDialogOwner(0);
    {
        std::unique_ptr<CFrame> frame(openFrame());
        ASSERT_NE(frame->getPlatformWindow(), nullptr);
        EXPECT_EQ(platform::dialogOwner(), parent);

        // A question now goes to a dialog program attached to that window.
        const std::string bin = ::testing::TempDir() + "gw_x11_dialogs_" + std::to_string(getpid());
        mkdir(bin.c_str(), 0700);
        {
            std::ofstream program(bin + "/zenity");
            program << "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$0.args\"\n"
                       "echo '(zenity): Gtk-WARNING **: noise' >&2\n";
        }
        chmod((bin + "/zenity").c_str(), 0700);
        const std::string savedPath = std::getenv("PATH") ? std::getenv("PATH") : "";
        setenv("PATH", bin.c_str(), 1);
        EXPECT_TRUE(platform::DesktopDialogs().askYesNo("grainwheel - confirm exitus", "q"));
        setenv("PATH", savedPath.c_str(), 1);
        std::ifstream recorded(bin + "/zenity.args");
        std::string line, args;
        while (std::getline(recorded, line)) args += line + " ";
        EXPECT_NE(args.find("--attach=" + std::to_string(parent) + " --modal "), std::string::npos) << args;
        std::remove((bin + "/zenity.args").c_str());
        std::remove((bin + "/zenity").c_str());
        rmdir(bin.c_str());
    }
    EXPECT_EQ(platform::dialogOwner(), 0u);  // given up with the panel

    // root > decoration > client (WM_STATE) > container > panel, as a reparenting window
    // manager and a host with nested windows make it.
    auto window = [&](xcb_window_t in, std::int16_t x, std::int16_t y) {
        xcb_window_t w = xcb_generate_id(host);
        xcb_create_window(host, XCB_COPY_FROM_PARENT, w, in, x, y, 400, 300, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          screen->root_visual, 0, nullptr);
        xcb_map_window(host, w);
        return w;
    };
    const xcb_window_t decoration = window(screen->root, 500, 100);
    const xcb_window_t client = window(decoration, 4, 20);
    const xcb_window_t container = window(client, 0, 0);
    xcb_intern_atom_reply_t* wmState = xcb_intern_atom_reply(host, xcb_intern_atom(host, 0, 8, "WM_STATE"), nullptr);
    ASSERT_NE(wmState, nullptr);
    const std::uint32_t normal[2] = {1, 0};
    xcb_change_property(host, XCB_PROP_MODE_REPLACE, client, wmState->atom, wmState->atom, 32, 2, normal);
    std::free(wmState);
    sync();
    std::unique_ptr<CFrame> nested(
        createX11Frame(CRect(0, 0, 300, 200), reinterpret_cast<void*>(static_cast<std::uintptr_t>(container)), nullptr));
    ASSERT_NE(nested->getPlatformWindow(), nullptr);
    EXPECT_EQ(platform::dialogOwner(), client);
    {
        // A second panel takes the dialogs while it is open ...
        std::unique_ptr<CFrame> second(openFrame());
        EXPECT_EQ(platform::dialogOwner(), parent);
    }
#if GW_HAVE_XTEST
    // ... and a click on the first one brings them back to it.
    const CPoint at = rootOf(dynamic_cast<XcbWindow*>(nested->getPlatformWindow())->windowId(), 30, 30);
    fake(XCB_MOTION_NOTIFY, 0, at.h, at.v);
    fake(XCB_BUTTON_PRESS, 1);
    fake(XCB_BUTTON_RELEASE, 1);
    EXPECT_TRUE(idleUntil(*nested, [&] { return platform::dialogOwner() == client; }));
#endif
    nested.reset();
    EXPECT_EQ(platform::dialogOwner(), 0u);
    xcb_destroy_window(host, decoration);
    sync();
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

struct DropTarget : CView {
    explicit DropTarget(const CRect& r) : CView(r) {}
    bool onDrop(void** items, long nbItems, long type, CPoint& where) override {
        if (nbItems > 0) first = static_cast<const char*>(items[0]);
        count = nbItems;
        kind = type;
        at = where;
        return true;
    }
    std::string first;
    long count = 0;
    long kind = -5;
    CPoint at;
};

xcb_atom_t internAtom(xcb_connection_t* c, const char* name) {
    auto* r = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
    xcb_atom_t a = r->atom;
    std::free(r);
    return a;
}

// A dialog program whose own tie to the panel is ignored (the file selector) is tied by
// the window back end: its window, found by the program's process id, becomes transient
// for the panel's top-level window; until that window exists nothing is tied.
TEST_F(X11, DialogWindowFoundByItsProcessIsTiedToThePanelsTopLevel) {
    std::unique_ptr<CFrame> frame(openFrame());
    PlatformWindow* window = frame->getPlatformWindow();
    ASSERT_NE(window, nullptr);
    const std::uint32_t pid = 999999;
    EXPECT_FALSE(window->holdDialog(pid));
    const xcb_window_t dialog = xcb_generate_id(host);
    xcb_create_window(host, XCB_COPY_FROM_PARENT, dialog, screen->root, 0, 0, 200, 100, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      screen->root_visual, 0, nullptr);
    xcb_change_property(host, XCB_PROP_MODE_REPLACE, dialog, internAtom(host, "_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1,
                        &pid);
    xcb_map_window(host, dialog);
    sync();
    EXPECT_FALSE(window->holdDialog(pid + 1));
    ASSERT_TRUE(window->holdDialog(pid));
    auto* r = xcb_get_property_reply(
        host, xcb_get_property(host, 0, dialog, XCB_ATOM_WM_TRANSIENT_FOR, XCB_ATOM_WINDOW, 0, 1), nullptr);
    ASSERT_NE(r, nullptr);
    ASSERT_EQ(xcb_get_property_value_length(r), 4);
    EXPECT_EQ(*static_cast<const xcb_window_t*>(xcb_get_property_value(r)), parent);
    std::free(r);
    xcb_destroy_window(host, dialog);
    sync();
}

TEST_F(X11, FilesDroppedThroughXdndReachTheViewUnderThePointer) {
    std::unique_ptr<CFrame> frame(openFrame());
    auto* target = new DropTarget(CRect(100, 50, 250, 150));
    frame->addView(target);
    frame->idle();
    auto* w = dynamic_cast<XcbWindow*>(frame->getPlatformWindow());
    ASSERT_NE(w, nullptr);
    // The drag source: a window of the host's connection that owns the drop selection.
    xcb_window_t source = xcb_generate_id(host);
    xcb_create_window(host, XCB_COPY_FROM_PARENT, source, screen->root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      screen->root_visual, 0, nullptr);
    xcb_atom_t selection = internAtom(host, "XdndSelection"), uriList = internAtom(host, "text/uri-list");
    xcb_set_selection_owner(host, source, selection, XCB_CURRENT_TIME);
    auto send = [&](const char* type, std::uint32_t d1, std::uint32_t d2, std::uint32_t d3) {
        xcb_client_message_event_t m{};
        m.response_type = XCB_CLIENT_MESSAGE;
        m.format = 32;
        m.window = w->windowId();
        m.type = internAtom(host, type);
        m.data.data32[0] = source;
        m.data.data32[1] = d1;
        m.data.data32[2] = d2;
        m.data.data32[3] = d3;
        xcb_send_event(host, 0, w->windowId(), XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&m));
        sync();
    };
    CPoint root = rootOf(w->windowId(), 120, 70);
    send("XdndEnter", 5u << 24, uriList, 0);
    send("XdndPosition", 0, static_cast<std::uint32_t>((root.h << 16) | root.v), XCB_CURRENT_TIME);
    frame->idle();
    send("XdndDrop", 0, XCB_CURRENT_TIME, 0);
    bool status = false, finished = false, served = false;
    xcb_atom_t statusAtom = internAtom(host, "XdndStatus"), finishedAtom = internAtom(host, "XdndFinished");
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (!finished && std::chrono::steady_clock::now() < until) {
        frame->idle();
        while (xcb_generic_event_t* ev = xcb_poll_for_event(host)) {
            std::uint8_t type = ev->response_type & 0x7F;
            if (type == XCB_CLIENT_MESSAGE) {
                auto* m = reinterpret_cast<xcb_client_message_event_t*>(ev);
                if (m->type == statusAtom) status = (m->data.data32[1] & 1) != 0;
                if (m->type == finishedAtom) finished = (m->data.data32[1] & 1) != 0;
            } else if (type == XCB_SELECTION_REQUEST) {
                auto* r = reinterpret_cast<xcb_selection_request_event_t*>(ev);
                const char list[] = "file:///tmp/drop%20one.wav\r\nfile:///tmp/two.wav\r\n";
                xcb_change_property(host, XCB_PROP_MODE_REPLACE, r->requestor, r->property, uriList, 8,
                                    sizeof list - 1, list);
                xcb_selection_notify_event_t n{};
                n.response_type = XCB_SELECTION_NOTIFY;
                n.requestor = r->requestor;
                n.selection = r->selection;
                n.target = r->target;
                n.property = r->property;
                n.time = r->time;
                xcb_send_event(host, 0, r->requestor, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&n));
                sync();
                served = true;
            }
            std::free(ev);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_TRUE(status);
    EXPECT_TRUE(served);
    EXPECT_TRUE(finished);
    EXPECT_EQ(target->count, 2);
    EXPECT_EQ(target->first, "/tmp/drop one.wav");
    EXPECT_EQ(target->kind, kDropFiles);
    EXPECT_EQ(target->at, CPoint(120, 70));
    EXPECT_EQ(w->errorCount(), 0);
    xcb_destroy_window(host, source);
}

TEST(UriList, FileUrisBecomeDecodedPaths) {
    auto paths = parseUriList("# comment\r\nfile:///tmp/a%20b.wav\r\nhttp://x/y\r\nfile://host/home/z.grb\r\n");
    ASSERT_EQ(paths.size(), 2u);
    EXPECT_EQ(paths[0], "/tmp/a b.wav");
    EXPECT_EQ(paths[1], "/home/z.grb");
}

}  // namespace
