// The gallery writes a PNG of the panel size showing the artwork.
#include <gtest/gtest.h>

#include <cairo.h>

#include <cstdio>
#include <string>

#include "gui/gallery/gallery.h"

TEST(Gallery, WritesAPictureOfThePanel) {
    std::string out = ::testing::TempDir() + "gw_gallery_test.png";
    ASSERT_EQ(runToolkitGallery(out.c_str()), 0);
    cairo_surface_t* s = cairo_image_surface_create_from_png(out.c_str());
    ASSERT_EQ(cairo_surface_status(s), CAIRO_STATUS_SUCCESS);
    EXPECT_EQ(cairo_image_surface_get_width(s), 930);
    EXPECT_EQ(cairo_image_surface_get_height(s), 414);
    cairo_surface_destroy(s);
    std::remove(out.c_str());
    EXPECT_EQ(runToolkitGallery(nullptr), 1);
}
