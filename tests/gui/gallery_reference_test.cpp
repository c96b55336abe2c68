// The picture the Windows back end is compared with (tests/win32/gallery_reference.png):
// the toolkit gallery's controls, undriven, as the headless cairo frame draws them. This
// keeps the file in step with the toolkit; GW_WRITE_GALLERY_REFERENCE=1 rewrites it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "gui/gallery/gallery.h"
#include "gui/pngdecode.h"
#include "tests/gui/testsupport.h"

using namespace gwtest;

namespace {

struct Silent : CControlListener {
    void valueChanged(CDrawContext*, CControl*) override {}
};

TEST(GalleryReference, TheCommittedPictureIsWhatCairoDrawsToday) {
    installCairoBackend();
    Silent listener;
    HeadlessFrame frame(CRect(0, 0, 930, 414));
    COptionMenu* options = nullptr;
    COptionMenu* sub = nullptr;
    buildToolkitGallery(frame, listener, options, sub);
    frame.idle();
    const std::string path = std::string(GW_SOURCE_DIR) + "/tests/win32/gallery_reference.png";
    if (const char* w = std::getenv("GW_WRITE_GALLERY_REFERENCE"); w && *w == '1') {
        ASSERT_TRUE(frame.writeSnapshot(path.c_str()));
    }
    std::ifstream f(path, std::ios::binary);
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    DecodedPng png = decodePngImage(bytes.data(), bytes.size());
    ASSERT_TRUE(png.ok()) << path;
    ASSERT_EQ(png.width, 930);
    ASSERT_EQ(png.height, 414);
    long differing = 0;
    for (long y = 0; y < 414; ++y)
        for (long x = 0; x < 930; ++x)
            differing += (png.argb[static_cast<std::size_t>(y * 930 + x)] | 0xFF000000u) != frame.screenPixel(x, y);
    EXPECT_EQ(differing, 0) << "rewrite it with GW_WRITE_GALLERY_REFERENCE=1 after a change to the toolkit's drawing";
    sub->forget();
    setGlobalKnobMode(-1);
}

}  // namespace
