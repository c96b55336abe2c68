// The editor inspection call: a host reaches the open frame's picture, layout, mouse and
// status line through effVendorSpecific, as grainwheel-host editor does.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "host/audioeffectx.h"
#include "host/editor_inspection.h"
#include "plugin/vst2_frame.h"
#include "tests/editor_views/views_support.h"

using namespace gwviews;

namespace {

VstIntPtr VSTCALLBACK quietHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2300 : 0;
}

// A small editor: a fader, a menu with a submenu, a button and a status label.
class SmallEditor : public AEffGUIEditor, public CControlListener {
public:
    explicit SmallEditor(AudioEffect* e) : AEffGUIEditor(e) { rect = ERect{0, 0, 120, 200}; }
    VstInt32 open(void* ptr) override {
        AEffGUIEditor::open(ptr);
        installCairoBackend();
        auto* f = new HeadlessFrame(CRect(0, 0, 200, 120), this);
        CBitmap* handle = new CBitmap(130);
        CBitmap* panel = new CBitmap(128);
        fader = new CVerticalSlider(CRect(10, 10, 24, 110), this, 43, 10, 103, handle, panel, CPoint(10, 10), kTop);
        fader->setDefaultValue(0.5f);
        fader->setValue(0.8f);
        fader->setTransparency(true);
        f->addView(fader);
        auto* menu = new COptionMenu(CRect(40, 10, 100, 26), this, 266);
        menu->addEntry("Import Options");
        auto* sub = new COptionMenu(CRect(0, 0, 0, 0), this, 267);
        sub->addEntry("a \"quoted\" entry");
        sub->addEntry("second");
        sub->setCurrent(1);
        menu->addEntry(sub, "time Fader Values");
        sub->forget();
        f->addView(menu);
        label = new CLabel(CRect(40, 40, 190, 56), nullptr, "grainwheel v0.9 beta");
        f->addView(label);
        handle->forget();
        panel->forget();
        link.attach(f);
        frame = &link;
        return 1;
    }
    void close() override {
        if (CFrame* f = link.attached()) f->forget();
        link.attach(nullptr);
        frame = nullptr;
    }
    void valueChanged(CDrawContext*, CControl* c) override {
        if (c->getTag() == 43) label->setTextParts("Events in this unit : ", "moved", "");
    }
    grainwheel::Vst2Frame link;
    CVerticalSlider* fader = nullptr;
    CLabel* label = nullptr;
};

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class Inspection : public ::testing::Test {
protected:
    void SetUp() override { editor = new SmallEditor(&effect); }
    void TearDown() override { editor->close(); }
    VstIntPtr inspect(VstIntPtr request, void* ptr) {
        return effect.dispatcher(effVendorSpecific, kEditorInspection, request, ptr, 0.0f);
    }
    AudioEffectX effect{&quietHost, 1, 1};
    SmallEditor* editor = nullptr;
    std::string dir = ::testing::TempDir();
};

TEST_F(Inspection, AnswersNothingWithoutAnOpenFrameOrForOtherCalls) {
    const std::string path = dir + "gw_layout_closed.json";
    std::remove(path.c_str());
    EXPECT_EQ(inspect(kInspectLayout, const_cast<char*>(path.c_str())), 0);
    EXPECT_FALSE(std::ifstream(path).good());
    editor->open(nullptr);
    EXPECT_EQ(inspect(0x12345678, const_cast<char*>(path.c_str())), 0);
    EXPECT_EQ(inspect(kInspectLayout, nullptr), 0);
    EXPECT_EQ(inspect(kInspectLayout, const_cast<char*>("/nonexistent/dir/x.json")), 0);
    EXPECT_EQ(effect.dispatcher(effVendorSpecific, 0x47576564 + 1, kInspectLayout, const_cast<char*>(path.c_str()), 0.0f), 0);
}

TEST_F(Inspection, WritesTheLayoutInStackingOrder) {
    editor->open(nullptr);
    const std::string path = dir + "gw_layout.json";
    ASSERT_EQ(inspect(kInspectLayout, const_cast<char*>(path.c_str())), 1);
    const std::string json = readFile(path);
    EXPECT_EQ(json.rfind("{\"size\":[200,120],\"views\":[", 0), 0u) << json;
    EXPECT_NE(json.find("{\"class\":\"CVerticalSlider\",\"tag\":43,\"rect\":[10,10,24,110],\"bitmap\":130,"
                        "\"background\":128,\"value\":0.8,\"default\":0.5,\"transparent\":true}"),
              std::string::npos)
        << json;
    EXPECT_NE(json.find("{\"class\":\"COptionMenu\",\"tag\":266,\"rect\":[40,10,100,26],"), std::string::npos);
    EXPECT_NE(json.find("\"class\":\"CLabel\",\"tag\":0,\"rect\":[40,40,190,56]"), std::string::npos);
    EXPECT_NE(json.find("\"text\":\"grainwheel v0.9 beta\""), std::string::npos);
    EXPECT_LT(json.find("CVerticalSlider"), json.find("COptionMenu"));
    EXPECT_LT(json.find("COptionMenu"), json.find("CLabel"));
    EXPECT_NE(json.find("\"menus\":[{\"tag\":266,\"entries\":[\"Import Options\",\"time Fader Values\"],\"value\":0},"
                        "{\"tag\":267,\"title\":\"time Fader Values\",\"entries\":[\"a \\\"quoted\\\" entry\",\"second\"],"
                        "\"value\":1}]}"),
              std::string::npos)
        << json;
}

TEST_F(Inspection, DeliversMouseEventsAndReportsTheStatusLine) {
    editor->open(nullptr);
    EditorMouseEvent e;
    e.kind = EditorMouseEvent::kPress;
    e.x = 17;
    e.y = 30;
    ASSERT_EQ(inspect(kInspectMouse, &e), 1);
    e.kind = EditorMouseEvent::kMove;
    e.y = 90;
    ASSERT_EQ(inspect(kInspectMouse, &e), 1);
    e.kind = EditorMouseEvent::kRelease;
    ASSERT_EQ(inspect(kInspectMouse, &e), 1);
    EXPECT_GT(editor->fader->getValue(), 0.5f);
    EditorStatusText status;
    ASSERT_EQ(inspect(kInspectStatus, &status), 1);
    EXPECT_STREQ(status.text, "Events in this unit : moved");
    EXPECT_EQ(status.red, 255);
    e.kind = 99;
    EXPECT_EQ(inspect(kInspectMouse, &e), 0);
}

TEST_F(Inspection, SnapshotsThePictureWithTheOpenMenu) {
    editor->open(nullptr);
    auto* f = static_cast<HeadlessFrame*>(editor->link.attached());
    f->idle();
    f->click(60, 18);  // opens the menu's pop-up
    ASSERT_TRUE(f->isMenuOpen());
    const std::string path = dir + "gw_snapshot.png";
    std::remove(path.c_str());
    ASSERT_EQ(inspect(kInspectSnapshot, const_cast<char*>(path.c_str())), 1);
    const std::string png = readFile(path);
    ASSERT_GT(png.size(), 8u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
    const CRect popup = f->getMenuSession()->levelRect(0);
    EXPECT_EQ(f->snapshotPixel(popup.left + 1, popup.top + 1), f->getMenuSession()->levelSurface(0)->pixel(1, 1));
}

}  // namespace

namespace {

// Pop-ups stay where they can be seen: within the frame when it has no window.
TEST(PopupPlacement, MenusNearTheEdgesMoveBackOntoTheFrame) {
    ViewFrame view(300, 200);
    Recorder listener;
    auto* menu = new COptionMenu(CRect(200, 170, 290, 186), &listener, 1);
    auto* sub = new COptionMenu(CRect(0, 0, 0, 0), &listener, 2);
    for (int i = 0; i < 29; ++i) sub->addEntry("a setting of a menu");
    menu->addEntry("first");
    menu->addEntry(sub, "record Sync Unit");
    sub->forget();
    view.frame->addView(menu);
    view.frame->click(240, 178);
    ASSERT_TRUE(view.frame->isMenuOpen());
    MenuSession* m = view.frame->getMenuSession();
    const CRect first = m->levelRect(0);
    EXPECT_LE(first.bottom, 200);
    EXPECT_LE(first.right, 300);
    // Open the submenu: 29 rows are taller than the frame, so it starts at the top; it
    // opens on the left of its parent, the right side having no room.
    const CRect row = m->entryRect(0, 1);
    view.frame->onMouseMove(CPoint((row.left + row.right) / 2, (row.top + row.bottom) / 2), 0);
    view.frame->click((row.left + row.right) / 2, (row.top + row.bottom) / 2);
    ASSERT_EQ(m->levelCount(), 2);
    const CRect second = m->levelRect(1);
    EXPECT_EQ(second.top, 0);
    EXPECT_GE(second.left, 0);
    EXPECT_LE(second.right, first.left + 2);
    m->cancel();
}

}  // namespace
