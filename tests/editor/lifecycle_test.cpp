// The editor's life: opening and closing any number of times, a second open, a close
// while closed, the effect deleted with the window open, and the module loaded as a host
// loads it.

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "editor_support.h"
#include "host/editor_inspection.h"

using namespace VSTGUI;

namespace {
class Lifecycle : public enginetest::EffectTest {};
}  // namespace

TEST_F(Lifecycle, ThousandCyclesLeaveNothingBehind) {
    grainwheel::ADEditor& e = editor();
    ASSERT_EQ(e.open(nullptr), 1);
    e.close();
    const long live = CReferenceCounter::liveObjects();
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(e.open(nullptr), 1);
        e.idle();
        e.close();
    }
    EXPECT_EQ(CReferenceCounter::liveObjects(), live);
    EXPECT_EQ(e.panelFrame(), nullptr);
    EXPECT_FALSE(e.isOpen());
}

TEST_F(Lifecycle, SecondOpenRebuildsAndCloseWhileClosedDoesNothing) {
    grainwheel::ADEditor& e = editor();
    const long live = CReferenceCounter::liveObjects();
    e.close();  // closed: nothing happens
    EXPECT_EQ(CReferenceCounter::liveObjects(), live);
    ASSERT_EQ(e.open(nullptr), 1);
    const long openLive = CReferenceCounter::liveObjects();
    fx->setParameter(44, 0.25f);
    ASSERT_EQ(e.open(nullptr), 1);  // again, without a close
    EXPECT_EQ(CReferenceCounter::liveObjects(), openLive);
    EXPECT_FLOAT_EQ(e.columnFader(0, 1)->getValue(), 0.25f);
    e.close();
    e.close();
    EXPECT_EQ(CReferenceCounter::liveObjects(), live);
}

TEST_F(Lifecycle, EffectDeletedWithTheEditorOpen) {
    const long live = CReferenceCounter::liveObjects();
    ASSERT_EQ(editor().open(nullptr), 1);
    editor().idle();
    fx.reset();  // deletes the editor, which closes first
    EXPECT_LT(CReferenceCounter::liveObjects(), live);  // the panel image went with the editor
}

TEST_F(Lifecycle, ReopenedPanelShowsTheCurrentState) {
    ASSERT_EQ(editor().open(nullptr), 1);
    editor().status()->setText("something");
    editor().close();
    fx->setParameter(7, 1.0f);
    fx->setParameter(12, 5.0f / 15.0f);
    ASSERT_EQ(editor().open(nullptr), 1);
    EXPECT_EQ(editortest::statusText(editor()), "grainwheel v0.9 beta");
    EXPECT_EQ(editortest::bitmapId(editor().columnFader(1, 4)->getBackground()), 131);
    EXPECT_FLOAT_EQ(editor().controlWithTag(12)->getValue(), 5.0f / 15.0f);
    EXPECT_FLOAT_EQ(editor().controlWithTag(7)->getValue(), 1.0f);
    editor().close();
}

#ifdef GW_PLUGIN_PATH
namespace {
VstIntPtr VSTCALLBACK moduleHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2300 : 0;
}
}  // namespace

TEST(LoadedModule, EditorThroughTheDispatcher) {
    void* lib = dlopen(GW_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    using Entry = AEffect* (*)(audioMasterCallback);
    auto entry = reinterpret_cast<Entry>(dlsym(lib, "VSTPluginMain"));
    ASSERT_NE(entry, nullptr);
    AEffect* fx = entry(&moduleHost);
    ASSERT_NE(fx, nullptr);
    ASSERT_TRUE(fx->flags & effFlagsHasEditor);
    fx->dispatcher(fx, effOpen, 0, 0, nullptr, 0.0f);
    ERect* r = nullptr;
    ASSERT_EQ(fx->dispatcher(fx, effEditGetRect, 0, 0, &r, 0.0f), 1);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->right, 930);
    EXPECT_EQ(r->bottom, 414);
    for (int cycle = 0; cycle < 3; ++cycle) {
        EXPECT_EQ(fx->dispatcher(fx, effEditOpen, 0, 0, nullptr, 0.0f), 1);
        fx->setParameter(fx, 45, 0.25f);  // the host automates unit 3's time
        for (int i = 0; i < 5; ++i) fx->dispatcher(fx, effEditIdle, 0, 0, nullptr, 0.0f);
        EXPECT_FLOAT_EQ(fx->getParameter(fx, 45), 0.25f);
        fx->dispatcher(fx, effEditClose, 0, 0, nullptr, 0.0f);
    }
    EXPECT_EQ(fx->dispatcher(fx, effEditOpen, 0, 0, nullptr, 0.0f), 1);
    // The plug-in answers no inspection call (the module built for the suites does).
    const std::string layout = ::testing::TempDir() + "gw_module_layout.json";
    std::remove(layout.c_str());
    EXPECT_EQ(fx->dispatcher(fx, effVendorSpecific, kEditorInspection, kInspectLayout, const_cast<char*>(layout.c_str()), 0.0f), 0);
    EXPECT_FALSE(std::ifstream(layout).good());
    fx->dispatcher(fx, effClose, 0, 0, nullptr, 0.0f);  // with the window still open
    // The module stays loaded: the leak checker then still sees its caches (fonts) as reachable.
    (void)lib;
}
#endif
