// The panel's VST 3 view against the adapter, in one process, on a private X server: it is
// built in the host's window at the panel's size, idles on the host's run loop, answers
// the content scale, and the user's changes reach the engine at once and the host as
// gestures through the component handler (commands are none of the host's).
#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "editor/ad_editor.h"
#include "engine/parameter_index.h"
#include "gui/vstgui.h"
#include "plugin/vst3/vst3_effect.h"
#include "plugin/vst3/vst3_view.h"

namespace {

using namespace grainwheel;
#define CALL SMTG_STDMETHODCALLTYPE

Steinberg_tresult CALL noInterface(void*, const Steinberg_TUID, void** obj) {
    *obj = nullptr;
    return Steinberg_kNoInterface;
}
Steinberg_uint32 CALL one(void*) { return 1; }

// The host: its component handler, the view's frame and its run loop, each recording.
struct Host {
    Steinberg_Vst_IComponentHandler handler{&handlerTable};
    Steinberg_IPlugFrame frame{&frameTable};
    Steinberg_Linux_IRunLoop loop{&loopTable};
    std::vector<std::string> heard;
    std::vector<std::pair<int, int>> resized;  // resizeView: width, height
    Steinberg_Linux_ITimerHandler* timer = nullptr;

    Host() { current = this; }
    static inline Host* current = nullptr;
    static Host* of(void*) { return current; }
    static Host* ofLoop(void*) { return current; }
    static Host* ofFrame(void*) { return current; }

    static inline Steinberg_Vst_IComponentHandlerVtbl handlerTable = {
        noInterface, one, one,
        [](void* h, Steinberg_Vst_ParamID id) -> Steinberg_tresult {
            of(h)->heard.push_back("+" + std::to_string(id));
            return Steinberg_kResultOk;
        },
        [](void* h, Steinberg_Vst_ParamID id, Steinberg_Vst_ParamValue v) -> Steinberg_tresult {
            of(h)->heard.push_back(std::to_string(id) + "=" + std::to_string(v));
            return Steinberg_kResultOk;
        },
        [](void* h, Steinberg_Vst_ParamID id) -> Steinberg_tresult {
            of(h)->heard.push_back("-" + std::to_string(id));
            return Steinberg_kResultOk;
        },
        [](void*, Steinberg_int32) -> Steinberg_tresult { return Steinberg_kResultOk; },
    };
    static inline Steinberg_IPlugFrameVtbl frameTable = {
        [](void* f, const Steinberg_TUID iid, void** obj) -> Steinberg_tresult {
            if (std::memcmp(iid, Steinberg_Linux_IRunLoop_iid, sizeof(Steinberg_TUID)) != 0) return noInterface(f, iid, obj);
            *obj = &ofFrame(f)->loop;
            return Steinberg_kResultOk;
        },
        one, one,
        [](void* f, Steinberg_IPlugView*, Steinberg_ViewRect* r) -> Steinberg_tresult {
            ofFrame(f)->resized.emplace_back(r->right - r->left, r->bottom - r->top);
            return Steinberg_kResultOk;
        },
    };
    static inline Steinberg_Linux_IRunLoopVtbl loopTable = {
        noInterface, one, one,
        [](void*, Steinberg_Linux_IEventHandler*, Steinberg_Linux_FileDescriptor) -> Steinberg_tresult {
            return Steinberg_kResultOk;
        },
        [](void*, Steinberg_Linux_IEventHandler*) -> Steinberg_tresult { return Steinberg_kResultOk; },
        [](void* l, Steinberg_Linux_ITimerHandler* t, Steinberg_Linux_TimerInterval) -> Steinberg_tresult {
            ofLoop(l)->timer = t;
            return Steinberg_kResultOk;
        },
        [](void* l, Steinberg_Linux_ITimerHandler* t) -> Steinberg_tresult {
            if (ofLoop(l)->timer == t) ofLoop(l)->timer = nullptr;
            return Steinberg_kResultOk;
        },
    };
};

TEST(Vst3View, OpensInTheHostsWindowIdlesOnItsRunLoopAndSendsGestures) {
    vst3::Vst3Effect* fx = vst3::Vst3Effect::create();
    ASSERT_NE(fx, nullptr);
    Steinberg_Vst_IEditController* controller = nullptr;
    ASSERT_EQ(fx->queryInterface(Steinberg_Vst_IEditController_iid, reinterpret_cast<void**>(&controller)),
              Steinberg_kResultOk);
    Host host;
    controller->lpVtbl->setComponentHandler(controller, &host.handler);
    Steinberg_IPlugView* view = controller->lpVtbl->createView(controller, "editor");
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->lpVtbl->isPlatformTypeSupported(view, Steinberg_kPlatformTypeX11EmbedWindowID), Steinberg_kResultTrue);
    EXPECT_EQ(view->lpVtbl->isPlatformTypeSupported(view, Steinberg_kPlatformTypeHWND), Steinberg_kResultFalse);
    Steinberg_ViewRect size{};
    ASSERT_EQ(view->lpVtbl->getSize(view, &size), Steinberg_kResultOk);
    EXPECT_EQ(size.right - size.left, 930);
    EXPECT_EQ(size.bottom - size.top, 414);
    Steinberg_IPlugViewContentScaleSupport* scale = nullptr;
    ASSERT_EQ(view->lpVtbl->queryInterface(view, Steinberg_IPlugViewContentScaleSupport_iid, reinterpret_cast<void**>(&scale)),
              Steinberg_kResultOk);
    EXPECT_EQ(scale->lpVtbl->setContentScaleFactor(scale, 2.0f), Steinberg_kResultOk);
    ASSERT_EQ(view->lpVtbl->getSize(view, &size), Steinberg_kResultOk);
    EXPECT_EQ(size.right - size.left, 1860);
    EXPECT_EQ(size.bottom - size.top, 828);
    EXPECT_EQ(scale->lpVtbl->setContentScaleFactor(scale, 1.0f), Steinberg_kResultOk);
    scale->lpVtbl->release(scale);

    xcb_connection_t* x = xcb_connect(nullptr, nullptr);
    ASSERT_EQ(xcb_connection_has_error(x), 0) << "no X server (run under with-xvfb.sh)";
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(x)).data;
    const xcb_window_t parent = xcb_generate_id(x);
    xcb_create_window(x, XCB_COPY_FROM_PARENT, parent, screen->root, 0, 0, 930, 414, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      screen->root_visual, 0, nullptr);
    xcb_map_window(x, parent);
    xcb_flush(x);

    view->lpVtbl->setFrame(view, &host.frame);
    ASSERT_EQ(view->lpVtbl->attached(view, reinterpret_cast<void*>(static_cast<std::uintptr_t>(parent)),
                                     Steinberg_kPlatformTypeX11EmbedWindowID),
              Steinberg_kResultOk);
    ASSERT_NE(host.timer, nullptr) << "the panel idles on the host's run loop";
    for (int i = 0; i < 5; ++i) host.timer->lpVtbl->onTimer(host.timer);
    ADEditor* panel = vst3::panelOf(view);
    ASSERT_TRUE(panel != nullptr && panel->isOpen());
    // The host's scale while open: the panel asks its frame for the room.
    ASSERT_EQ(view->lpVtbl->queryInterface(view, Steinberg_IPlugViewContentScaleSupport_iid, reinterpret_cast<void**>(&scale)),
              Steinberg_kResultOk);
    EXPECT_EQ(scale->lpVtbl->setContentScaleFactor(scale, 1.5f), Steinberg_kResultOk);
    ASSERT_EQ(host.resized.size(), 1u);
    EXPECT_EQ(host.resized[0], std::make_pair(1395, 621));
    EXPECT_EQ(panel->panelFrame()->getScale(), 1.5);
    EXPECT_EQ(scale->lpVtbl->setContentScaleFactor(scale, 1.0f), Steinberg_kResultOk);
    scale->lpVtbl->release(scale);

    // A drag of unit 4's time fader: the engine has the value at once, the host hears a
    // gesture around it.
    VSTGUI::CControl* fader = panel->controlWithTag(kTime + 3);
    ASSERT_NE(fader, nullptr);
    panel->controlBeginEdit(fader);
    fader->setValue(0.25f);
    panel->valueChanged(nullptr, fader);
    panel->controlEndEdit(fader);
    EXPECT_EQ(host.heard, (std::vector<std::string>{"+46", "46=0.250000", "-46"}));
    EXPECT_EQ(fx->engine().getParameter(kTime + 3), 0.25f);

    view->lpVtbl->removed(view);
    EXPECT_EQ(host.timer, nullptr) << "the timer ends with the view";
    EXPECT_EQ(view->lpVtbl->release(view), 0u);
    controller->lpVtbl->release(controller);
    fx->release();
    xcb_disconnect(x);
}

}  // namespace
