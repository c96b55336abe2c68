// The embedded panel bitmaps: every resource the editor asks for exists, is a sound PNG file
// and has the size the panel layout needs.

#include "resources/bitmap_resources.h"

#include "bitmap_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using grainwheel::BitmapResource;
using grainwheel::findBitmapResource;

namespace {

std::uint32_t be32(const unsigned char* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

std::uint32_t crc32(const unsigned char* data, std::size_t size) {
    static const auto table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    std::uint32_t c = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i) c = table[(c ^ data[i]) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

struct Header {
    std::uint32_t width = 0, height = 0;
    int bitDepth = 0, colourType = 0, interlace = 0;
};

// Walks the chunks of a PNG file; fails the test on a bad signature, a chunk running past the
// end, a wrong CRC or a missing IHDR/IDAT/IEND.
Header checkPng(const BitmapResource& r) {
    static const unsigned char signature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    Header h;
    EXPECT_GE(r.pngSize, 8u + 25u + 12u) << r.id;
    if (r.pngSize < 45) return h;
    EXPECT_TRUE(std::equal(signature, signature + 8, r.png)) << r.id;
    std::size_t pos = 8;
    bool sawHeader = false, sawData = false, sawEnd = false;
    while (pos + 12 <= r.pngSize && !sawEnd) {
        std::uint32_t length = be32(r.png + pos);
        std::string type(reinterpret_cast<const char*>(r.png + pos + 4), 4);
        if (length > r.pngSize - pos - 12) {
            ADD_FAILURE() << r.id << ": chunk " << type << " runs past the end";
            return h;
        }
        EXPECT_EQ(be32(r.png + pos + 8 + length), crc32(r.png + pos + 4, length + 4))
            << r.id << ": CRC of chunk " << type;
        if (type == "IHDR") {
            EXPECT_EQ(pos, 8u) << r.id << ": IHDR must come first";
            EXPECT_EQ(length, 13u);
            h.width = be32(r.png + pos + 8);
            h.height = be32(r.png + pos + 12);
            h.bitDepth = r.png[pos + 16];
            h.colourType = r.png[pos + 17];
            h.interlace = r.png[pos + 20];
            sawHeader = true;
        }
        sawData = sawData || type == "IDAT";
        sawEnd = type == "IEND";
        pos += 12 + length;
    }
    EXPECT_TRUE(sawHeader && sawData && sawEnd) << r.id;
    EXPECT_EQ(pos, r.pngSize) << r.id << ": bytes after IEND";
    return h;
}

} // namespace

TEST(EmbeddedBitmaps, EveryResourceNumberFrom128To177IsPresentAndNoOther) {
    for (int id = 128; id <= 177; ++id) {
        const BitmapResource* r = findBitmapResource(id);
        ASSERT_NE(r, nullptr) << id;
        EXPECT_EQ(r->id, id);
        EXPECT_NE(r->png, nullptr);
    }
    for (int id : {-1, 0, 1, 127, 178, 200, 1 << 30}) EXPECT_EQ(findBitmapResource(id), nullptr) << id;
}

TEST(EmbeddedBitmaps, SizesMatchTheLayoutAndTheFileHeaders) {
    for (const auto& e : bitmap_table::kEntries) {
        const BitmapResource* r = findBitmapResource(e.id);
        ASSERT_NE(r, nullptr) << e.id;
        Header h = checkPng(*r);
        EXPECT_EQ(h.width, static_cast<std::uint32_t>(e.width)) << e.id;
        EXPECT_EQ(h.height, static_cast<std::uint32_t>(e.height)) << e.id;
        EXPECT_EQ(r->width, e.width) << e.id;
        EXPECT_EQ(r->height, e.height) << e.id;
        // 8-bit truecolour without alpha or interlacing: white is the only transparency.
        EXPECT_EQ(h.bitDepth, 8) << e.id;
        EXPECT_EQ(h.colourType, 2) << e.id;
        EXPECT_EQ(h.interlace, 0) << e.id;
    }
}

TEST(EmbeddedBitmaps, StackedImagesSplitEvenly) {
    for (const auto& e : bitmap_table::kEntries) {
        const BitmapResource* r = findBitmapResource(e.id);
        ASSERT_NE(r, nullptr);
        if (e.kind == bitmap_table::Kind::TwoState || e.kind == bitmap_table::Kind::Hover) {
            EXPECT_EQ(r->height % 2, 0) << e.id << " holds two pictures";
        }
        if (e.kind == bitmap_table::Kind::Stack) {
            EXPECT_EQ(r->height, 16 * 20) << "16 program pictures of 20 rows";
            EXPECT_EQ(r->width, 225);
        }
    }
}

TEST(EmbeddedBitmaps, HoverPicturesHaveTheSizeOfWhatTheyReplace) {
    int pairs = 0;
    for (const auto& e : bitmap_table::kEntries) {
        if (e.replaces == 0) continue;
        const BitmapResource* hover = findBitmapResource(e.id);
        const BitmapResource* normal = findBitmapResource(e.replaces);
        ASSERT_NE(hover, nullptr);
        ASSERT_NE(normal, nullptr);
        EXPECT_EQ(hover->width, normal->width) << e.id << " / " << e.replaces;
        EXPECT_EQ(hover->height, normal->height) << e.id << " / " << e.replaces;
        ++pairs;
    }
    EXPECT_EQ(pairs, 15);
}

TEST(EmbeddedBitmaps, PanelAndItsAlternateGiveTheEditorSize) {
    const BitmapResource* panel = findBitmapResource(128);
    const BitmapResource* alternate = findBitmapResource(131);
    ASSERT_NE(panel, nullptr);
    ASSERT_NE(alternate, nullptr);
    EXPECT_EQ(panel->width, 930);
    EXPECT_EQ(panel->height, 414);
    EXPECT_EQ(alternate->width, panel->width);
    EXPECT_EQ(alternate->height, panel->height);
    // Flat artwork compresses well; a panel far larger than this would bloat the plug-in.
    EXPECT_LT(panel->pngSize, 200000u);
    EXPECT_LT(alternate->pngSize, 200000u);
}

TEST(EmbeddedBitmaps, EmbeddedBytesAreTheCommittedFiles) {
    // A stale build (PNG changed, arrays not regenerated) would show old artwork.
    for (const auto& e : bitmap_table::kEntries) {
        const BitmapResource* r = findBitmapResource(e.id);
        ASSERT_NE(r, nullptr);
        std::string path = std::string(GW_BITMAP_DIR) + "/bmp" + std::to_string(e.id) + ".png";
        std::ifstream in(path, std::ios::binary);
        ASSERT_TRUE(in) << path;
        std::vector<unsigned char> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ASSERT_EQ(file.size(), r->pngSize) << e.id;
        EXPECT_TRUE(std::equal(file.begin(), file.end(), r->png)) << e.id;
    }
}
