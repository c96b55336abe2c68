// What the embedded panel pictures show, decoded with cairo: white only where the panel must
// show through, each state and hover picture distinct, the grid panel differing from the
// normal panel only where the faders and the help page are.

#include "resources/bitmap_resources.h"

#include "bitmap_table.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>

namespace {

struct Image {
    int width = 0, height = 0;
    std::unique_ptr<std::uint32_t[]> pixels; // 0x00RRGGBB

    std::uint32_t at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
    bool white(int x, int y) const { return at(x, y) == 0xFFFFFFu; }
};

struct Reader {
    const unsigned char* data;
    std::size_t left;
};

cairo_status_t readPng(void* closure, unsigned char* out, unsigned int length) {
    auto* r = static_cast<Reader*>(closure);
    if (length > r->left) return CAIRO_STATUS_READ_ERROR;
    std::memcpy(out, r->data, length);
    r->data += length;
    r->left -= length;
    return CAIRO_STATUS_SUCCESS;
}

Image decode(int id) {
    Image img;
    const grainwheel::BitmapResource* r = grainwheel::findBitmapResource(id);
    if (!r) {
        ADD_FAILURE() << "no bitmap " << id;
        return img;
    }
    Reader reader{r->png, r->pngSize};
    cairo_surface_t* s = cairo_image_surface_create_from_png_stream(readPng, &reader);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
        ADD_FAILURE() << "bitmap " << id << " does not decode";
        cairo_surface_destroy(s);
        return img;
    }
    img.width = cairo_image_surface_get_width(s);
    img.height = cairo_image_surface_get_height(s);
    img.pixels = std::make_unique<std::uint32_t[]>(static_cast<std::size_t>(img.width) * img.height);
    const unsigned char* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x) {
            std::uint32_t p;
            std::memcpy(&p, data + y * stride + 4 * x, 4);
            img.pixels[static_cast<std::size_t>(y) * img.width + x] = p & 0xFFFFFFu;
        }
    cairo_surface_destroy(s);
    return img;
}

int whiteCount(const Image& img, int x0, int y0, int x1, int y1) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) n += img.white(x, y);
    return n;
}

bool sameRegion(const Image& a, int ay, const Image& b, int by, int width, int height) {
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (a.at(x, ay + y) != b.at(x, by + y)) return false;
    return true;
}

double brightness(const Image& img, int x0, int y0, int x1, int y1) {
    double sum = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            std::uint32_t p = img.at(x, y);
            sum += 0.3 * ((p >> 16) & 0xFF) + 0.59 * ((p >> 8) & 0xFF) + 0.11 * (p & 0xFF);
        }
    return sum / ((x1 - x0) * (y1 - y0));
}

// Inside a column fader (the four columns of sixteen) or the help page region of 131.
bool gridOrHelpArea(int x, int y) {
    const bool columnX = (x >= 396 && x < 620) || (x >= 640 && x < 864);
    const bool columnY = (y >= 14 && y < 163) || (y >= 180 && y < 329);
    const bool help = x >= 15 && x < 378 && y >= 205 && y < 409;
    return (columnX && columnY) || help;
}

} // namespace

TEST(BitmapPixels, EveryBitmapDecodesAtItsSize) {
    for (const auto& e : bitmap_table::kEntries) {
        Image img = decode(e.id);
        EXPECT_EQ(img.width, e.width) << e.id;
        EXPECT_EQ(img.height, e.height) << e.id;
    }
}

TEST(BitmapPixels, OpaqueImagesHoldNoTransparentWhite) {
    // Panels, the status background, the meter and the handles that are drawn opaque.
    for (int id : {128, 131, 137, 146, 147, 151, 154, 156, 130, 153, 155}) {
        Image img = decode(id);
        EXPECT_EQ(whiteCount(img, 0, 0, img.width, img.height), 0) << id;
    }
}

TEST(BitmapPixels, ButtonPicturesAreOpaqueInsideAndLetThePanelShowAtTheCorners) {
    for (const auto& e : bitmap_table::kEntries) {
        if (e.kind != bitmap_table::Kind::TwoState && e.kind != bitmap_table::Kind::Hover) continue;
        if (e.id == 138) continue; // the preset arrows: checked below
        Image img = decode(e.id);
        const int half = img.height / 2;
        for (int top : {0, half}) {
            EXPECT_TRUE(img.white(0, top)) << e.id;
            EXPECT_TRUE(img.white(img.width - 1, top + half - 1)) << e.id;
            EXPECT_EQ(whiteCount(img, 2, top + 2, img.width - 2, top + half - 2), 0) << e.id;
        }
    }
    Image arrows = decode(138);
    for (int top : {0, 9}) {
        EXPECT_TRUE(arrows.white(0, top)) << "the arrow leaves its corners to the panel";
        EXPECT_FALSE(arrows.white(6, top + 4)) << "the arrow itself is opaque";
    }
}

TEST(BitmapPixels, StatesAndHoverPicturesDiffer) {
    for (const auto& e : bitmap_table::kEntries) {
        if (e.kind == bitmap_table::Kind::TwoState || e.kind == bitmap_table::Kind::Hover) {
            Image img = decode(e.id);
            const int half = img.height / 2;
            EXPECT_FALSE(sameRegion(img, 0, img, half, img.width, half)) << e.id << ": off equals on";
        }
        if (e.replaces != 0) {
            Image hover = decode(e.id), normal = decode(e.replaces);
            EXPECT_FALSE(sameRegion(hover, 0, normal, 0, hover.width, hover.height / 2))
                << e.id << " looks like " << e.replaces;
        }
    }
    // The four fader handles: resting, playing unit, under the mouse, both.
    const int handles[4] = {130, 153, 154, 155};
    for (int i = 0; i < 4; ++i)
        for (int j = i + 1; j < 4; ++j)
            EXPECT_FALSE(sameRegion(decode(handles[i]), 0, decode(handles[j]), 0, 14, 7))
                << handles[i] << " / " << handles[j];
    EXPECT_FALSE(sameRegion(decode(151), 0, decode(156), 0, 9, 7));
}

TEST(BitmapPixels, ProgramPictureKHighlightsPositionK) {
    Image img = decode(134);
    ASSERT_EQ(img.height, 320);
    for (int k = 0; k < 16; ++k) {
        int brightest = -1;
        double best = -1;
        for (int j = 0; j < 16; ++j) {
            // Position j covers x from j * 225 / 16 across the switch's width.
            double b = brightness(img, j * 225 / 16 + 2, 20 * k + 4, (j + 1) * 225 / 16 - 2, 20 * k + 16);
            if (b > best) {
                best = b;
                brightest = j;
            }
        }
        EXPECT_EQ(brightest, k);
    }
}

TEST(BitmapPixels, LitMeterIsBrighterThanUnlit) {
    Image lit = decode(146), unlit = decode(147);
    EXPECT_GT(brightness(lit, 0, 0, 12, 62), 2 * brightness(unlit, 0, 0, 12, 62));
}

TEST(BitmapPixels, GridPanelDiffersOnlyInTheFaderColumnsAndTheHelpPage) {
    Image panel = decode(128), grid = decode(131);
    ASSERT_EQ(panel.width, 930);
    ASSERT_EQ(grid.width, 930);
    int outside = 0, insideColumns = 0, insideHelp = 0;
    for (int y = 0; y < 414; ++y)
        for (int x = 0; x < 930; ++x) {
            if (panel.at(x, y) == grid.at(x, y)) continue;
            if (!gridOrHelpArea(x, y)) ++outside;
            else if (x >= 396) ++insideColumns;
            else ++insideHelp;
        }
    EXPECT_EQ(outside, 0);
    EXPECT_GT(insideColumns, 64 * 14 * 4) << "grid lines across every fader";
    EXPECT_GT(insideHelp, 1000) << "the help page";
}

TEST(BitmapPixels, PanelTracksLieUnderEveryFader) {
    // Every column fader has a drawn track: a dark groove down the middle of its lane.
    Image panel = decode(128);
    for (int column = 0; column < 4; ++column) {
        const int x0 = column % 2 == 0 ? 396 : 640, top = column < 2 ? 14 : 180;
        for (int i = 0; i < 16; ++i) {
            const int x = x0 + 14 * i;
            // The groove in the middle of the lane is darker than the lane beside it.
            EXPECT_LT(brightness(panel, x + 6, top + 10, x + 8, top + 140),
                      brightness(panel, x + 2, top + 10, x + 4, top + 140) - 5)
                << "column " << column << " fader " << i;
        }
    }
}
