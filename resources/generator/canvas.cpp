#include "canvas.h"

#include <cairo-ft.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace artwork {

namespace {

FT_Library ftLibrary = nullptr;
cairo_font_face_t* fonts[3] = {nullptr, nullptr, nullptr};

cairo_font_face_t* loadFace(const std::string& path) {
    FT_Face face = nullptr;
    if (FT_New_Face(ftLibrary, path.c_str(), 0, &face) != 0) return nullptr;
    cairo_font_face_t* cf = cairo_ft_font_face_create_for_ft_face(face, 0);
    // The FreeType face lives as long as the cairo face.
    static const cairo_user_data_key_t key{};
    cairo_font_face_set_user_data(cf, &key, face, [](void* f) { FT_Done_Face(static_cast<FT_Face>(f)); });
    return cf;
}

void setColour(cairo_t* cr, Colour c) {
    cairo_set_source_rgb(cr, c.r / 255.0, c.g / 255.0, c.b / 255.0);
}

int clampByte(int v) { return std::clamp(v, 0, 255); }

} // namespace

Colour Colour::shade(int d) const { return {clampByte(r + d), clampByte(g + d), clampByte(b + d)}; }

Colour Colour::mix(Colour o, double t) const {
    auto m = [t](int from, int to) { return clampByte(static_cast<int>(std::lround(from + (to - from) * t))); };
    return {m(r, o.r), m(g, o.g), m(b, o.b)};
}

bool loadFonts(const std::string& fontDir) {
    if (!ftLibrary && FT_Init_FreeType(&ftLibrary) != 0) return false;
    const char* names[3] = {"DejaVuSans.ttf", "DejaVuSans-Bold.ttf", "DejaVuSansMono-Bold.ttf"};
    for (int i = 0; i < 3; ++i) {
        if (!fonts[i]) fonts[i] = loadFace(fontDir + "/" + names[i]);
        if (!fonts[i]) return false;
    }
    return true;
}

namespace {
int pixelScale = 1;
}

void setPixelScale(int scale) { pixelScale = scale > 1 ? scale : 1; }

Canvas::Canvas(int width, int height)
    : width_(width), height_(height), scale_(pixelScale),
      surface_(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width * pixelScale, height * pixelScale)) {
    cairo_surface_set_device_scale(surface_, scale_, scale_);
    cr_ = cairo_create(surface_);
    cairo_font_options_t* fo = cairo_font_options_create();
    cairo_font_options_set_antialias(fo, CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_style(fo, CAIRO_HINT_STYLE_SLIGHT);
    cairo_font_options_set_hint_metrics(fo, CAIRO_HINT_METRICS_OFF);
    cairo_set_font_options(cr_, fo);
    cairo_font_options_destroy(fo);
}

Canvas::~Canvas() {
    cairo_destroy(cr_);
    cairo_surface_destroy(surface_);
}

void Canvas::fill(Box b, Colour c) {
    if (b.w() <= 0 || b.h() <= 0) return;
    cairo_set_antialias(cr_, CAIRO_ANTIALIAS_NONE);
    setColour(cr_, c);
    cairo_rectangle(cr_, b.l, b.t, b.w(), b.h());
    cairo_fill(cr_);
    cairo_set_antialias(cr_, CAIRO_ANTIALIAS_DEFAULT);
}

void Canvas::frame(Box b, Colour c) {
    hline(b.l, b.r, b.t, c);
    hline(b.l, b.r, b.b - 1, c);
    vline(b.l, b.t, b.b, c);
    vline(b.r - 1, b.t, b.b, c);
}

void Canvas::bevel(Box b, Colour light, Colour dark) {
    hline(b.l, b.r, b.t, light);
    vline(b.l, b.t, b.b, light);
    hline(b.l + 1, b.r, b.b - 1, dark);
    vline(b.r - 1, b.t + 1, b.b, dark);
}

void Canvas::hline(int x0, int x1, int y, Colour c) { fill({x0, y, x1, y + 1}, c); }
void Canvas::vline(int x, int y0, int y1, Colour c) { fill({x, y0, x + 1, y1}, c); }
void Canvas::pixel(int x, int y, Colour c) { fill({x, y, x + 1, y + 1}, c); }

void Canvas::clear(Box b) {
    cairo_save(cr_);
    cairo_set_operator(cr_, CAIRO_OPERATOR_CLEAR);
    cairo_rectangle(cr_, b.l, b.t, b.w(), b.h());
    cairo_fill(cr_);
    cairo_restore(cr_);
}

void Canvas::plate(Box b, Colour body, int cut) {
    fill(b, body);
    // Cut the corners in steps: radius 1 takes one pixel, 2 takes three, 3 takes six.
    for (int row = 0; row < cut; ++row) {
        int n = cut - row;
        clear({b.l, b.t + row, b.l + n, b.t + row + 1});
        clear({b.r - n, b.t + row, b.r, b.t + row + 1});
        clear({b.l, b.b - 1 - row, b.l + n, b.b - row});
        clear({b.r - n, b.b - 1 - row, b.r, b.b - row});
    }
}

void Canvas::circle(double cx, double cy, double radius, Colour c) {
    setColour(cr_, c);
    cairo_arc(cr_, cx, cy, radius, 0, 2 * M_PI);
    cairo_fill(cr_);
}

void Canvas::ring(double cx, double cy, double radius, double width, Colour c) {
    setColour(cr_, c);
    cairo_set_line_width(cr_, width);
    cairo_arc(cr_, cx, cy, radius, 0, 2 * M_PI);
    cairo_stroke(cr_);
}

void Canvas::polygon(const double* xy, int points, Colour c) {
    setColour(cr_, c);
    cairo_move_to(cr_, xy[0], xy[1]);
    for (int i = 1; i < points; ++i) cairo_line_to(cr_, xy[2 * i], xy[2 * i + 1]);
    cairo_close_path(cr_);
    cairo_fill(cr_);
}

void Canvas::setFont(const TextStyle& st, double scaleX) {
    cairo_set_font_face(cr_, fonts[static_cast<int>(st.face)]);
    cairo_matrix_t m;
    cairo_matrix_init_scale(&m, st.size * scaleX, st.size);
    cairo_set_font_matrix(cr_, &m);
}

double Canvas::textWidth(const std::string& s, const TextStyle& st) {
    setFont(st, st.squeeze);
    cairo_text_extents_t e;
    cairo_text_extents(cr_, s.c_str(), &e);
    return e.x_advance;
}

void Canvas::text(const std::string& s, double x, double y, const TextStyle& st) {
    double scale = st.squeeze;
    double w = textWidth(s, st);
    if (st.maxWidth > 0 && w > st.maxWidth) {
        scale *= st.maxWidth / w;
        w = st.maxWidth;
    }
    setFont(st, scale);
    double left = x;
    if (st.align == Align::Centre) left = x - w / 2;
    if (st.align == Align::Right) left = x - w;
    setColour(cr_, st.colour);
    cairo_move_to(cr_, std::round(left), y);
    cairo_show_text(cr_, s.c_str());
}

void Canvas::textIn(const std::string& s, Box b, TextStyle st) {
    if (st.maxWidth <= 0) st.maxWidth = b.w();
    double capHeight = st.size * 0.729; // cap height of the DejaVu faces per unit of size
    double y = std::round(b.t + (b.h() + capHeight) / 2.0);
    double x = st.align == Align::Left ? b.l : st.align == Align::Right ? b.r : (b.l + b.r) / 2.0;
    text(s, x, y, st);
}

void Canvas::textUp(const std::string& s, Box b, const TextStyle& st) {
    cairo_save(cr_);
    cairo_translate(cr_, b.l, b.b);
    cairo_rotate(cr_, -M_PI / 2);
    // In the rotated frame the box is h wide and w tall.
    TextStyle centred = st;
    centred.align = Align::Centre;
    textIn(s, {0, 0, b.h(), b.w()}, centred);
    cairo_restore(cr_);
}

void Canvas::paste(const Canvas& other, int x, int y) {
    cairo_set_source_surface(cr_, other.surface_, x, y);
    cairo_paint(cr_);
}

void Canvas::pasteRegion(const Canvas& other, Box src, int x, int y) {
    cairo_save(cr_);
    cairo_rectangle(cr_, x, y, src.w(), src.h());
    cairo_clip(cr_);
    cairo_set_source_surface(cr_, other.surface_, x - src.l, y - src.t);
    cairo_paint(cr_);
    cairo_restore(cr_);
}

bool Canvas::save(const std::string& path) const {
    cairo_surface_flush(surface_);
    const int width = width_ * scale_, height = height_ * scale_;
    cairo_surface_t* out = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
    const unsigned char* src = cairo_image_surface_get_data(surface_);
    unsigned char* dst = cairo_image_surface_get_data(out);
    int srcStride = cairo_image_surface_get_stride(surface_);
    int dstStride = cairo_image_surface_get_stride(out);
    for (int y = 0; y < height; ++y) {
        auto* s = reinterpret_cast<const std::uint32_t*>(src + y * srcStride);
        auto* d = reinterpret_cast<std::uint32_t*>(dst + y * dstStride);
        for (int x = 0; x < width; ++x) {
            std::uint32_t p = s[x];
            unsigned a = p >> 24;
            if (a < 128) {
                d[x] = 0xFFFFFFu;
                continue;
            }
            // Un-premultiply; a pixel that came out pure white is kept one step off the key.
            unsigned r = std::min(255u, (((p >> 16) & 0xFF) * 255 + a / 2) / a);
            unsigned g = std::min(255u, (((p >> 8) & 0xFF) * 255 + a / 2) / a);
            unsigned b = std::min(255u, ((p & 0xFF) * 255 + a / 2) / a);
            if (r == 255 && g == 255 && b == 255) r = g = b = 254;
            d[x] = (r << 16) | (g << 8) | b;
        }
    }
    cairo_surface_mark_dirty(out);
    bool ok = cairo_surface_write_to_png(out, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(out);
    return ok;
}

} // namespace artwork
