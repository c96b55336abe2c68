// The panel at a scale: the host's scale through the VST 2 vendor call, the pictures at
// 1, 1.5 and 2, the user's zoom kept across a restart, the environment's override.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "editor/panel_scale.h"
#include "gui/cairo/cairobackend.h"
#include "gui/menusession.h"
#include "tests/editor/editor_support.h"

using namespace VSTGUI;
using grainwheel::readUserZoom;
using grainwheel::zoomFilePath;

namespace {

constexpr VstInt32 kPreS = 0x50726553;
constexpr VstIntPtr kAeCs = 0x41654373;

class ScaleTest : public enginetest::EffectTest {
protected:
    void SetUp() override {
        config = std::filesystem::path(::testing::TempDir()) / ("gw_scale_" + std::to_string(::getpid()));
        std::filesystem::remove_all(config);
        setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        unsetenv("GRAINWHEEL_SCALE");
        installCairoBackend();
        EffectTest::SetUp();
    }
    void TearDown() override {
        if (editor().isOpen()) fx->dispatcher(effEditClose, 0, 0, nullptr, 0.0f);
        EffectTest::TearDown();
        setDrawBackend(nullptr);
        std::filesystem::remove_all(config);
    }
    ERect rect() {
        ERect* r = nullptr;
        fx->dispatcher(effEditGetRect, 0, 0, &r, 0.0f);
        return r ? *r : ERect{};
    }
    std::unique_ptr<DrawSurface> picture() {
        editor().idle();
        return editor().panelFrame()->composePicture();
    }
    std::filesystem::path config;
};

int channel(std::uint32_t p, int shift) { return static_cast<int>((p >> shift) & 0xFF); }

TEST_F(ScaleTest, TheHostsScaleResizesThePanelAndAsksTheHostForRoom) {
    EXPECT_EQ(fx->dispatcher(effVendorSpecific, kPreS, kAeCs, nullptr, 2.0f), 1);
    EXPECT_EQ(rect().right, 1860);
    EXPECT_EQ(rect().bottom, 828);
    EXPECT_TRUE(enginetest::scriptedHost().sizeRequests.empty());  // closed: the rect tells it
    fx->dispatcher(effEditOpen, 0, 0, nullptr, 0.0f);
    ASSERT_TRUE(editor().isOpen());
    EXPECT_EQ(editor().panelFrame()->getScale(), 2.0);
    EXPECT_EQ(editor().panelFrame()->getWidth(), 930);  // the layout stays in units
    // Open: the host hears of the new size.
    EXPECT_EQ(fx->dispatcher(effVendorSpecific, kPreS, kAeCs, nullptr, 1.5f), 1);
    ASSERT_EQ(enginetest::scriptedHost().sizeRequests.size(), 1u);
    EXPECT_EQ(enginetest::scriptedHost().sizeRequests[0], std::make_pair(1395, 621));
    EXPECT_EQ(picture()->pixelWidth(), 1395);
    EXPECT_EQ(picture()->pixelHeight(), 621);
    // Other vendor calls and absurd scales change nothing.
    EXPECT_EQ(fx->dispatcher(effVendorSpecific, kPreS, 0, nullptr, 3.0f), 0);
    fx->dispatcher(effVendorSpecific, kPreS, kAeCs, nullptr, 40.0f);
    EXPECT_EQ(editor().contentScale(), 3.0f);
}

TEST_F(ScaleTest, TheDoubleSizedPictureIsDrawnAtItsOwnResolution) {
    ASSERT_EQ(editor().open(nullptr), 1);
    auto one = picture();
    editor().setContentScale(2.0f);
    auto two = picture();
    ASSERT_EQ(two->pixelWidth(), 1860);
    ASSERT_EQ(two->pixelHeight(), 828);
    // Scaled down, it is the 1x picture but for the finer edges.
    long difference = 0, blocksSplit = 0, oddEdges = 0, evenEdges = 0;
    for (long y = 0; y < 414; ++y) {
        for (long x = 0; x < 930; ++x) {
            const std::uint32_t a = two->pixel(2 * x, 2 * y), b = two->pixel(2 * x + 1, 2 * y),
                                c = two->pixel(2 * x, 2 * y + 1), d = two->pixel(2 * x + 1, 2 * y + 1);
            for (int shift : {0, 8, 16}) {
                const int mean = (channel(a, shift) + channel(b, shift) + channel(c, shift) + channel(d, shift) + 2) / 4;
                difference += std::abs(mean - channel(one->pixel(x, y), shift));
            }
            if (a != b || a != c || a != d) ++blocksSplit;
            // Edges between the two columns of a 1x pixel and between two 1x pixels.
            if (a != b) ++oddEdges;
            if (x + 1 < 930 && b != two->pixel(2 * x + 2, 2 * y)) ++evenEdges;
        }
    }
    const double meanDifference = static_cast<double>(difference) / (930.0 * 414.0 * 3.0);
    EXPECT_LT(meanDifference, 4.0);
    // Not a doubled 1x picture (where no 1x pixel is split and every edge falls on an even
    // column): texts, lines and artwork split thousands of them.
    EXPECT_GT(blocksSplit, 930 * 414 / 100);
    EXPECT_GT(oddEdges, evenEdges / 20);
    RecordProperty("mean_difference_x1000", static_cast<int>(meanDifference * 1000.0));
    // 1.5: the size, and back at 1 the very picture of before.
    editor().setContentScale(1.5f);
    EXPECT_EQ(picture()->pixelWidth(), 1395);
    editor().setContentScale(1.0f);
    auto again = picture();
    long changed = 0;
    for (long y = 0; y < 414; ++y)
        for (long x = 0; x < 930; ++x) changed += again->pixel(x, y) != one->pixel(x, y);
    EXPECT_EQ(changed, 0);
}

TEST_F(ScaleTest, TheUsersZoomBeatsTheHostAndIsKeptAcrossARestart) {
    editor().setContentScale(2.0f);
    ASSERT_EQ(editor().open(nullptr), 1);
    // A right click on an empty part of the panel opens the zoom menu.
    CFrame& frame = *editor().panelFrame();
    frame.onMouseDown(CPoint(925, 410), kRButton);
    ASSERT_TRUE(frame.isMenuOpen());
    COptionMenu* menu = frame.getMenuSession()->levelMenu(0);
    ASSERT_EQ(menu->getNbEntries(), 7);
    EXPECT_STREQ(menu->getEntry(2), "150 %");
    EXPECT_STREQ(menu->getEntry(6), "follow the host");
    EXPECT_EQ(menu->getCurrent(), 6);
    const CRect entry = frame.getMenuSession()->entryRect(0, 2);
    frame.onMouseDown(CPoint(entry.left + 10, entry.top + entry.height() / 2), kLButton);
    frame.onMouseUp(CPoint(entry.left + 10, entry.top + entry.height() / 2), kLButton);
    EXPECT_FALSE(frame.isMenuOpen());
    EXPECT_EQ(editor().contentScale(), 1.5f);
    EXPECT_EQ(rect().right, 1395);
    EXPECT_EQ(readUserZoom(zoomFilePath()), 1.5f);
    EXPECT_EQ(zoomFilePath().rfind(config.string(), 0), 0u);

    // A new instance, as after a restart: the zoom comes back over the host's scale.
    editor().close();
    EffectTest::TearDown();
    EffectTest::SetUp();
    editor().setContentScale(2.0f);
    EXPECT_EQ(editor().contentScale(), 1.5f);
    // "follow the host" gives the host its say again.
    editor().setUserZoom(0.0f);
    EXPECT_EQ(editor().contentScale(), 2.0f);
    EXPECT_EQ(readUserZoom(zoomFilePath()), 0.0f);
}

TEST_F(ScaleTest, TheEnvironmentOverridesEverySource) {
    setenv("GRAINWHEEL_SCALE", "125%", 1);
    EffectTest::TearDown();
    EffectTest::SetUp();
    unsetenv("GRAINWHEEL_SCALE");
    editor().setContentScale(2.0f);
    EXPECT_EQ(editor().contentScale(), 1.25f);
    EXPECT_EQ(rect().right, 1163);  // 1162.5 pixels: the part pixel counts
}

TEST(ScaleSources, TakeTheFirstThatSaysAScaleWithinOneToThree) {
    using grainwheel::chooseScale;
    EXPECT_EQ(chooseScale({}), 1.0f);
    EXPECT_EQ(chooseScale({0.0f, 0.0f, 0.0f, 1.5f}), 1.5f);        // the system's
    EXPECT_EQ(chooseScale({0.0f, 0.0f, 2.0f, 1.5f}), 2.0f);        // the host's over it
    EXPECT_EQ(chooseScale({0.0f, 1.25f, 2.0f, 1.5f}), 1.25f);      // the user's over both
    EXPECT_EQ(chooseScale({2.5f, 1.25f, 2.0f, 1.5f}), 2.5f);       // the environment's over all
    EXPECT_EQ(chooseScale({0.0f, 0.0f, 0.5f, 0.0f}), 1.0f);        // held within 1..3
    EXPECT_EQ(chooseScale({0.0f, 0.0f, NAN, 2.0f}), 2.0f);
    EXPECT_EQ(grainwheel::parseScale("150 %"), 1.5f);
    EXPECT_EQ(grainwheel::parseScale("2"), 2.0f);
    EXPECT_EQ(grainwheel::parseScale("host"), 0.0f);
    EXPECT_EQ(grainwheel::parseScale("9"), 0.0f);
    EXPECT_EQ(grainwheel::parseScale("1.5x"), 0.0f);
}

}  // namespace
