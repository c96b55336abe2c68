// The CLAP gui against the adapter, in one process, on a private X server: embedded X11
// only, its size in physical pixels at the host's scale, not resizable; it is built in the
// host's window, idles on the host's timer, asks the host for the room when the scale
// changes while open, and the user's changes reach the engine at once and the host as
// output events with gestures around them.
#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "editor/ad_editor.h"
#include "engine/parameter_index.h"
#include "gui/vstgui.h"
#include "plugin/clap/clap_effect.h"
#include "plugin/clap/clap_gui.h"
#include "tests/clap/clap_test_host.h"

namespace {

using namespace grainwheel;

TEST(ClapGui, EmbedsInTheHostsWindowScalesIdlesOnItsTimerAndSendsGestures) {
    gwclaptest::Host h{gwclaptest::Host::Bare{}};
    clap::ClapEffect* fx = clap::ClapEffect::create(h.host());
    ASSERT_NE(fx, nullptr);
    h.plugin = fx->plugin();
    const auto* gui = h.extension<clap_plugin_gui_t>(CLAP_EXT_GUI);
    const auto* timer = h.extension<clap_plugin_timer_support_t>(CLAP_EXT_TIMER_SUPPORT);
    ASSERT_TRUE(gui != nullptr && timer != nullptr);
    EXPECT_TRUE(gui->is_api_supported(h.plugin, CLAP_WINDOW_API_X11, false));
    EXPECT_FALSE(gui->is_api_supported(h.plugin, CLAP_WINDOW_API_X11, true));
    EXPECT_FALSE(gui->is_api_supported(h.plugin, CLAP_WINDOW_API_WAYLAND, false));
    ASSERT_TRUE(gui->create(h.plugin, CLAP_WINDOW_API_X11, false));
    EXPECT_FALSE(gui->can_resize(h.plugin));
    std::uint32_t w = 0, ht = 0;
    ASSERT_TRUE(gui->set_scale(h.plugin, 2.0) && gui->get_size(h.plugin, &w, &ht));
    EXPECT_EQ(std::make_pair(w, ht), std::make_pair(1860u, 828u));
    ASSERT_TRUE(gui->set_scale(h.plugin, 1.0) && gui->get_size(h.plugin, &w, &ht));
    EXPECT_EQ(std::make_pair(w, ht), std::make_pair(930u, 414u));
    EXPECT_FALSE(gui->set_size(h.plugin, 1000, 500));

    xcb_connection_t* x = xcb_connect(nullptr, nullptr);
    ASSERT_EQ(xcb_connection_has_error(x), 0) << "no X server (run under with-xvfb.sh)";
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(x)).data;
    const xcb_window_t parent = xcb_generate_id(x);
    xcb_create_window(x, XCB_COPY_FROM_PARENT, parent, screen->root, 0, 0, 930, 414, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      screen->root_visual, 0, nullptr);
    xcb_map_window(x, parent);
    xcb_flush(x);

    clap_window_t window{CLAP_WINDOW_API_X11, {}};
    window.x11 = parent;
    ASSERT_TRUE(gui->set_parent(h.plugin, &window) && gui->show(h.plugin));
    ASSERT_NE(h.timer, CLAP_INVALID_ID) << "the panel idles on the host's timer";
    for (int i = 0; i < 5; ++i) timer->on_timer(h.plugin, h.timer);
    ADEditor* panel = clap::panelOf(h.plugin);
    ASSERT_TRUE(panel != nullptr && panel->isOpen());
    ASSERT_TRUE(gui->set_scale(h.plugin, 1.5));
    ASSERT_EQ(h.resized.size(), 1u);
    EXPECT_EQ(h.resized[0], std::make_pair(1395u, 621u));

    // A drag of unit 4's time fader: the engine has the value at once, the host hears it
    // in the next flush, between the gestures.
    VSTGUI::CControl* fader = panel->controlWithTag(kTime + 3);
    ASSERT_NE(fader, nullptr);
    panel->controlBeginEdit(fader);
    fader->setValue(0.25f);
    panel->valueChanged(nullptr, fader);
    panel->controlEndEdit(fader);
    EXPECT_EQ(fx->engine().getParameter(kTime + 3), 0.25f);
    EXPECT_GT(h.flushRequests, 0);
    h.extension<clap_plugin_params_t>(CLAP_EXT_PARAMS)->flush(h.plugin, gwclaptest::Events().list(), &h.output.list);
    ASSERT_EQ(h.output.events.size(), 3u);
    EXPECT_EQ(h.output.events[0].type, CLAP_EVENT_PARAM_GESTURE_BEGIN);
    EXPECT_TRUE(h.output.events[1].type == CLAP_EVENT_PARAM_VALUE && h.output.events[1].id == kTime + 3u &&
                h.output.events[1].value == 0.25);
    EXPECT_EQ(h.output.events[2].type, CLAP_EVENT_PARAM_GESTURE_END);

    gui->destroy(h.plugin);
    EXPECT_EQ(h.timer, CLAP_INVALID_ID) << "the timer ends with the panel";
    xcb_disconnect(x);
}

}  // namespace
