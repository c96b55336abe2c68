// The panel as open builds it: every view in stacking order with its class, rectangle,
// tag, images, default and transparency; the setting menus and the two visible menus.
// The expected values are written out here, not taken from the editor's own table.

#include <gtest/gtest.h>

#include <vector>

#include "editor_support.h"

using namespace VSTGUI;
using editortest::bitmapId;
using editortest::className;

namespace {

struct Expected {
    const char* cls;
    CRect rect;
    long tag;
    long background;   // resource id, 0 = none
    long handle;       // sliders: the handle's resource id
    float defaultValue;
    int transparent;   // 1 on, 0 off, -1 not checked
};

std::vector<Expected> expectedPanel() {
    std::vector<Expected> v;
    v.push_back({"WaveDisplay", CRect(17, 64, 378, 172), 0, 128, 0, -1, -1});
    v.push_back({"WaveDisplay", CRect(393, 342, 599, 402), 0, 128, 0, -1, -1});
    v.push_back({"CSplashScreen", CRect(393, 342, 599, 402), -1, 131, 0, -1, 0});
    v.push_back({"CLabel", CRect(11, 13, 379, 29), -2, 137, 0, -1, 0});
    for (int i = 0; i < 16; ++i) {
        const long L = 29 + 88 * (i % 4), T = 211 + 48 * (i / 4);
        v.push_back({"WaveDisplay", CRect(L, T, L + 74, T + 38), 0, 128, 0, -1, -1});
        // Buffer 0 is current after construction.
        v.push_back({"CHorizontalSlider", CRect(L - 7, T + 39, L + 77, T + 49), 27 + i, 128, i == 0 ? 156 : 151,
                     0.0f, -1});
    }
    v.push_back({"CVuMeter", CRect(608, 340, 620, 402), -2, 0, 0, -1, -1});
    const long x0[4] = {396, 640, 396, 640};
    const long top[4] = {14, 14, 180, 180};
    const long tag0[4] = {43, 59, 75, 91};
    const float def[4] = {0.5f, 1.0f, 0.5f, 1.0f};
    for (int c = 0; c < 4; ++c)
        for (int i = 0; i < 16; ++i) {
            const long X = x0[c] + 14 * i;
            // Unit 0 plays after the first idle.
            v.push_back({"CVerticalSlider", CRect(X, top[c], X + 14, top[c] + 149), tag0[c] + i, 128,
                         i == 0 ? 153 : 130, def[c], 1});
        }
    v.push_back({"CVerticalSlider", CRect(880, 14, 900, 144), 2, 128, 154, 1.0f, 0});
    v.push_back({"CVerticalSlider", CRect(907, 14, 927, 144), 4, 128, 154, 0.5f, 0});
    v.push_back({"CVerticalSlider", CRect(880, 181, 900, 311), 5, 128, 154, 0.5f, 0});
    v.push_back({"CVerticalSlider", CRect(907, 181, 927, 311), 3, 128, 154, 0.43089432f, 0});
    v.push_back({"CKnob", CRect(875, 345, 921, 390), 1, 128, 0, 0.5f, -1});
    for (int k = 0; k < 5; ++k) v.push_back({"CKickButton", CRect(623, 175 + 37 * k, 631, 184 + 37 * k), 17 + k, 138, 0, -1, 1});
    for (int k = 0; k < 5; ++k) v.push_back({"CKickButton", CRect(865, 10 + 37 * k, 873, 19 + 37 * k), 22 + k, 138, 0, -1, 1});
    v.push_back({"CHorizontalSwitch", CRect(640, 350, 865, 370), 12, 134, 0, -1, 1});
    v.push_back({"CKickButton", CRect(746, 383, 780, 393), 13, 143, 0, -1, 1});
    v.push_back({"CKickButton", CRect(705, 385, 739, 397), 14, 144, 0, -1, 1});
    v.push_back({"CKickButton", CRect(785, 385, 822, 397), 15, 140, 0, -1, 1});
    v.push_back({"CKickButton", CRect(825, 383, 866, 396), 16, 141, 0, -1, 1});
    v.push_back({"COptionMenu", CRect(14, 40, 73, 56), 266, 170, 0, -1, 1});
    v.push_back({"COnOffButton", CRect(343, 38, 374, 54), 7, 136, 0, -1, 1});
    v.push_back({"COptionMenu", CRect(80, 40, 154, 52), 262, 172, 0, -1, 1});
    v.push_back({"CKickButton", CRect(159, 39, 233, 51), 263, 173, 0, -1, 1});
    v.push_back({"COnOffButton", CRect(238, 38, 334, 55), 6, 139, 0, -1, 1});
    v.push_back({"COnOffButton", CRect(9, 180, 42, 189), 8, 160, 0, -1, 1});
    v.push_back({"COnOffButton", CRect(48, 179, 104, 193), 10, 161, 0, -1, 1});
    v.push_back({"COnOffButton", CRect(109, 177, 162, 189), 9, 162, 0, -1, 1});
    v.push_back({"CKickButton", CRect(168, 177, 233, 189), 261, 163, 0, -1, 1});
    v.push_back({"CKickButton", CRect(237, 180, 303, 189), 264, 164, 0, -1, 1});
    v.push_back({"CKickButton", CRect(309, 178, 376, 190), 11, 165, 0, -1, 1});
    return v;
}

class Layout : public editortest::OpenEditor {};

}  // namespace

TEST_F(Layout, EveryViewInStackingOrder) {
    CFrame* f = editor().panelFrame();
    ASSERT_NE(f, nullptr);
    CRect size;
    f->getViewSize(size);
    EXPECT_EQ(size, CRect(0, 0, 930, 414));
    EXPECT_EQ(bitmapId(f->getBackground()), 128);
    const std::vector<Expected> want = expectedPanel();
    ASSERT_EQ(f->getNbViews(), static_cast<long>(want.size()));
    for (long i = 0; i < f->getNbViews(); ++i) {
        const Expected& e = want[static_cast<std::size_t>(i)];
        CView* v = f->getView(i);
        SCOPED_TRACE(testing::Message() << "view " << i << " (" << e.cls << " tag " << e.tag << ")");
        EXPECT_EQ(className(v), e.cls);
        CRect r;
        v->getViewSize(r);
        EXPECT_EQ(r, e.rect);
        if (e.background) {
            EXPECT_EQ(bitmapId(v->getBackground()), e.background);
        }
        auto* c = dynamic_cast<CControl*>(v);
        ASSERT_NE(c, nullptr);
        if (e.tag != -2) {
            EXPECT_EQ(c->getTag(), e.tag);
        }
        if (e.handle) {
            auto* s = dynamic_cast<CSlider*>(v);
            ASSERT_NE(s, nullptr);
            EXPECT_EQ(bitmapId(s->getHandle()), e.handle);
        }
        if (e.defaultValue >= 0.0f) {
            EXPECT_FLOAT_EQ(c->getDefaultValue(), e.defaultValue);
        }
        if (e.transparent >= 0) {
            EXPECT_EQ(v->getTransparency(), e.transparent == 1);
        }
    }
}

TEST_F(Layout, SlidersTravelAndPutZeroWhereTheTableSays) {
    // Value 0 at the top for the time column and the unit length, at the left for the
    // buffer sliders, at the bottom for everything else.
    auto* time = editor().columnFader(0, 3);
    auto* speed = editor().columnFader(1, 3);
    EXPECT_TRUE(time->getStyle() & kTop);
    EXPECT_FALSE(speed->getStyle() & kTop);
    EXPECT_TRUE(dynamic_cast<CSlider*>(control(3))->getStyle() & kTop);
    EXPECT_FALSE(dynamic_cast<CSlider*>(control(2))->getStyle() & kTop);
    EXPECT_TRUE(editor().bufferSlider(0)->getStyle() & kLeft);

    // Column faders: the handle's top runs from the fader's top to its bottom minus 7.
    speed->setValue(0.0f);
    EXPECT_EQ(speed->handleRect().top, 163 - 7);
    speed->setValue(1.0f);
    EXPECT_EQ(speed->handleRect().top, 14);
    // Single faders travel 123 pixels.
    auto* density = dynamic_cast<CSlider*>(control(2));
    density->setValue(1.0f);
    EXPECT_EQ(density->handleRect().top, 14);
    density->setValue(0.0f);
    EXPECT_EQ(density->handleRect().top, 14 + 123);
    // Buffer sliders: the handle's left edge from L - 7 to L + 68.
    auto* buffer = editor().bufferSlider(5);  // L = 29 + 88 = 117
    buffer->setValue(0.0f);
    EXPECT_EQ(buffer->handleRect().left, 110);
    buffer->setValue(1.0f);
    EXPECT_EQ(buffer->handleRect().left, 185);
}

TEST_F(Layout, InitialValuesComeFromTheEffect) {
    EXPECT_FLOAT_EQ(control(1)->getValue(), 0.5f);
    EXPECT_FLOAT_EQ(control(2)->getValue(), 1.0f);
    EXPECT_FLOAT_EQ(control(3)->getValue(), 0.43089432f);
    EXPECT_FLOAT_EQ(control(43)->getValue(), 0.8f);
    EXPECT_FLOAT_EQ(control(75)->getValue(), 0.5f);
    EXPECT_FLOAT_EQ(control(12)->getValue(), 0.0f);
    EXPECT_FLOAT_EQ(editor().meter()->getValue(), 0.0f);
    EXPECT_FLOAT_EQ(editor().meter()->getDecreaseStepValue(), 0.04f);
    EXPECT_EQ(editor().meter()->litLeds(1.0f), 24);
    EXPECT_EQ(getGlobalKnobMode(), kLinearMode);
    EXPECT_EQ(dynamic_cast<CKnob*>(control(1))->getInsetValue(), 7);
}

TEST_F(Layout, SettingMenusAndTheOptionsMenu) {
    struct Menu {
        long tag;
        const char* title;
        std::vector<const char*> entries;
    };
    const std::vector<Menu> menus = {
        {267, "time Fader Values", {"fixed values (whole notes and triplets)", "free  values", "fixed - linked to density", "free  - linked to density"}},
        {268, "speed Fader Range", {" min 0  ->  max 1", " min 0  ->  max 2", " min -2 ->  max 2", "-", " pure position"}},
        {269, "pitch Fader Range", {"min 0 Hz  ->  max +2 octaves", "1 octave up + down", "1 whole tone up + down"}},
        {270, "Envelope Type", {" trapezoid", " raised cosine", " hanning (fixed envelope)", " off / rectangular"}},
        {271, "freq Cutoff Frequency", {" cutoff max. 22 kHz", " cutoff max. 11 kHz", " cutoff max. 5.5 kHz"}},
        {272, "Playback Mode", {" dont stop (loop mode)", " stop at buffer end", " stop at stepsequence end", " stop at both"}},
        {273, "Scope View Mode", {"off", "time view - single grain", "time view - sum output", "freq view - single grain", "freq view - sum output"}},
        {274, "Morph Algorithm", {"off", "1 - a/b weighted copy", "2 - a/b linear copy", "3 - equally distributed"}},
        {275, "Morph Stepsize", {" 1 -", " 2 -", " 3 -", " 4 -", " 5 -", " 6 -", " 7 -", " 8 -", " 9 -", "10 -", "11 -", "12 -", "13 -", "14 -", "15 -", "16 -", "17 -", "18 -", "19 -", "20 -"}},
        {276, "record Sync Unit", {"-", "-", "4/1", "3/1", "2/1", "1/1", "-", "1/2", "1/4", "1/8", "1/16", "1/32", "1/64", "-", "3/2", "3/4", "3/8", "3/16", "-", "5/2", "5/4", "5/8", "5/16", "-", "7/2", "7/4", "7/8", "7/16", "off"}},
    };
    // Init values of the global settings: 0, 0, 1, 0, 0, 0, 1, 3, 10 and 5.
    const float values[10] = {0, 0, 1, 0, 0, 0, 1, 3, 10, 5};
    for (std::size_t m = 0; m < menus.size(); ++m) {
        COptionMenu* menu = editor().settingMenu(menus[m].tag);
        ASSERT_NE(menu, nullptr);
        SCOPED_TRACE(menus[m].title);
        EXPECT_EQ(menu->getTag(), menus[m].tag);
        EXPECT_EQ(menu->getStyle(), 5120);
        CRect r;
        menu->getViewSize(r);
        EXPECT_EQ(r, CRect(0, 0, 0, 0));
        EXPECT_EQ(menu->getFrame(), nullptr);  // never in the frame
        ASSERT_EQ(menu->getNbEntries(), static_cast<long>(menus[m].entries.size()));
        for (std::size_t e = 0; e < menus[m].entries.size(); ++e)
            EXPECT_STREQ(menu->getEntry(static_cast<long>(e)), menus[m].entries[e]);
        EXPECT_FLOAT_EQ(menu->getValue(), values[m]);
    }
    EXPECT_STREQ(editor().settingMenu(276)->getEntry(5), "1/1");  // the ticked entry of value 5

    COptionMenu* options = editor().optionsMenuView();
    EXPECT_EQ(options->getStyle(), kNoTextStyle);
    EXPECT_EQ(options->getHoriAlign(), kLeftText);
    const char* texts[15] = {"Import Options", "-", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, "-",
                             nullptr, nullptr, "-", nullptr, "-", nullptr};
    const long subs[15] = {0, 0, 267, 268, 269, 271, 270, 272, 0, 274, 275, 0, 273, 0, 276};
    const char* titles[15] = {nullptr, nullptr, "time Fader Values", "speed Fader Range", "pitch Fader Range",
                              "freq Cutoff Frequency", "Envelope Type", "Playback Mode", nullptr, "Morph Algorithm",
                              "Morph Stepsize", nullptr, "Scope View Mode", nullptr, "record Sync Unit"};
    ASSERT_EQ(options->getNbEntries(), 15);
    for (long e = 0; e < 15; ++e) {
        SCOPED_TRACE(e);
        if (texts[e]) {
            EXPECT_STREQ(options->getEntry(e), texts[e]);
        }
        if (subs[e]) {
            ASSERT_NE(options->getSubMenu(e), nullptr);
            EXPECT_EQ(options->getSubMenu(e)->getTag(), subs[e]);
            EXPECT_STREQ(options->getEntry(e), titles[e]);
        } else {
            EXPECT_EQ(options->getSubMenu(e), nullptr);
        }
    }
}

TEST_F(Layout, FileMenuListsTheRecentBanks) {
    editor().close();
    const std::string p72(72, 'a');
    const std::string p73 = std::string(1, 'b') + std::string(72, 'c');
    fx->files().state().recentBanks.clear();
    fx->files().state().recentBanks.record(p73.c_str());
    fx->files().state().recentBanks.record(p72.c_str());
    ASSERT_EQ(editor().open(nullptr), 1);
    COptionMenu* m = editor().fileMenuView();
    ASSERT_EQ(m->getNbEntries(), 22);
    EXPECT_STREQ(m->getEntry(0), "Load .grb program bank");
    EXPECT_TRUE(m->isSeparator(1));
    EXPECT_EQ(std::string(m->getEntry(2)), p72);
    EXPECT_EQ(std::string(m->getEntry(3)), "..." + std::string(72, 'c'));
    EXPECT_STREQ(m->getEntry(4), "");
    EXPECT_EQ(m->getStyle(), kNoTextStyle);
}

TEST_F(Layout, StatusLineStartsWithTheVersion) {
    EXPECT_EQ(editortest::statusText(editor()), "grainwheel v0.9 beta");
    grainwheel::CLabel* l = editor().status();
    EXPECT_EQ(l->getFont(), kNormalFont);
    EXPECT_EQ(l->getTxtFace(), kBoldFace);
    EXPECT_TRUE(l->getFontColor().sameRgb(kWhiteCColor));
    EXPECT_TRUE(l->getBackColor().sameRgb(kBlackCColor));
    EXPECT_TRUE(l->getFrameColor().sameRgb(kBlackCColor));
    EXPECT_TRUE(l->getShadowColor().sameRgb(MakeCColor(127, 127, 127)));
}

TEST_F(Layout, GridChoosesTheColumnBackgroundAtOpen) {
    editor().close();
    fx->setParameter(7, 1.0f);
    ASSERT_EQ(editor().open(nullptr), 1);
    for (int c = 0; c < 4; ++c)
        for (int i = 0; i < 16; ++i) EXPECT_EQ(bitmapId(editor().columnFader(c, i)->getBackground()), 131);
    EXPECT_EQ(bitmapId(control(2)->getBackground()), 128);  // single faders keep the panel
}

TEST_F(Layout, RectangleBeforeOpen) {
    fx->getEditor()->close();
    EXPECT_EQ(editor().size().width, 930);
    EXPECT_EQ(editor().size().height, 414);
    ERect* r = nullptr;
    ASSERT_EQ(fx->getEditor()->getRect(&r), 1);
    EXPECT_EQ(r->top, 0);
    EXPECT_EQ(r->left, 0);
    EXPECT_EQ(r->bottom, 414);
    EXPECT_EQ(r->right, 930);
}
