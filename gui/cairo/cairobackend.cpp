#include "gui/cairo/cairobackend.h"

#include <cairo.h>

#include <cmath>
#include <cstring>
#include <map>
#include <utility>

#include "gui/cairo/cairofont.h"
#include "gui/drawdevice.h"

namespace VSTGUI {

namespace {

constexpr double kFontSizes[kNumStandardFonts] = {12, 18, 14, 12, 11, 10, 9, 13};

void setColor(cairo_t* cr, CColor c) {
    cairo_set_source_rgb(cr, c.red / 255.0, c.green / 255.0, c.blue / 255.0);
}

std::uint32_t keyOf(CColor c) {
    return (std::uint32_t{c.red} << 16) | (std::uint32_t{c.green} << 8) | std::uint32_t{c.blue};
}

class CairoImage : public BitmapImage {
public:
    explicit CairoImage(cairo_surface_t* s) : surface(s) {}
    ~CairoImage() override {
        for (auto& [k, s] : resampledCopies) cairo_surface_destroy(s);
        for (auto& [k, s] : keyed) cairo_surface_destroy(s);
        cairo_surface_destroy(surface);
    }
    // Pixels, not units: the image's own size.
    long width() const override { return cairo_image_surface_get_width(surface); }
    long height() const override { return cairo_image_surface_get_height(surface); }

    // The image with pixels of the key colour made fully transparent (made once per colour).
    cairo_surface_t* keyedBy(CColor key) const {
        std::uint32_t k = keyOf(key);
        auto it = keyed.find(k);
        if (it != keyed.end()) return it->second;
        long w = width(), h = height();
        cairo_surface_t* out = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(w), static_cast<int>(h));
        double sx = 1, sy = 1;
        cairo_surface_get_device_scale(surface, &sx, &sy);
        cairo_surface_set_device_scale(out, sx, sy);
        cairo_surface_flush(surface);
        cairo_surface_flush(out);
        const unsigned char* src = cairo_image_surface_get_data(surface);
        unsigned char* dst = cairo_image_surface_get_data(out);
        int ss = cairo_image_surface_get_stride(surface), ds = cairo_image_surface_get_stride(out);
        bool noAlpha = cairo_image_surface_get_format(surface) != CAIRO_FORMAT_ARGB32;
        for (long y = 0; y < h; ++y) {
            const auto* s = reinterpret_cast<const std::uint32_t*>(src + y * ss);
            auto* d = reinterpret_cast<std::uint32_t*>(dst + y * ds);
            for (long x = 0; x < w; ++x) {
                std::uint32_t p = noAlpha ? (s[x] | 0xFF000000u) : s[x];
                bool opaque = (p >> 24) == 0xFF;
                d[x] = (opaque && (p & 0xFFFFFF) == k) ? 0u : p;
            }
        }
        cairo_surface_mark_dirty(out);
        keyed.emplace(k, out);
        return out;
    }

    // source (this image or a keyed copy, of this image's scale) resampled once for a
    // surface of scale `to`, so drawing it there is pixel for pixel (filtering the whole
    // image at every draw costs many times the drawing itself).
    cairo_surface_t* resampled(cairo_surface_t* source, double to) const {
        const auto key = std::make_pair(source, to);
        auto it = resampledCopies.find(key);
        if (it != resampledCopies.end()) return it->second;
        const double from = scale();
        const int w = static_cast<int>(std::ceil(static_cast<double>(width()) / from * to - 1e-6));
        const int h = static_cast<int>(std::ceil(static_cast<double>(height()) / from * to - 1e-6));
        cairo_surface_t* out = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
        cairo_surface_set_device_scale(source, 1.0, 1.0);
        cairo_t* c = cairo_create(out);
        cairo_scale(c, to / from, to / from);
        cairo_set_source_surface(c, source, 0, 0);
        cairo_pattern_set_filter(cairo_get_source(c), CAIRO_FILTER_GOOD);
        cairo_set_operator(c, CAIRO_OPERATOR_SOURCE);
        cairo_paint(c);
        cairo_destroy(c);
        cairo_surface_set_device_scale(out, to, to);
        resampledCopies.emplace(key, out);
        return out;
    }

    cairo_surface_t* surface;

private:
    mutable std::map<std::uint32_t, cairo_surface_t*> keyed;
    mutable std::map<std::pair<cairo_surface_t*, double>, cairo_surface_t*> resampledCopies;
};

// Drawing is in units: the image surface has the pixels and a device scale, so cairo draws
// texts, lines and shapes at the pixels' own resolution.
class CairoSurface : public DrawSurface {
public:
    CairoSurface(long w, long h, CColor background, double s)
        : units{w, h},
          surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(pixelsFor(w, s)),
                                             static_cast<int>(pixelsFor(h, s)))) {
        scale_ = s;
        if (s != 1.0) cairo_surface_set_device_scale(surface, s, s);
        cr = cairo_create(surface);
        cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
        setColor(cr, background);
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_paint(cr);
        cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    }
    ~CairoSurface() override {
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
    }
    long width() const override { return units[0]; }
    long height() const override { return units[1]; }

    void setClip(const CRect& r) override {
        cairo_reset_clip(cr);
        if (!r.isEmpty()) {
            cairo_rectangle(cr, static_cast<double>(r.left), static_cast<double>(r.top), static_cast<double>(r.width()),
                            static_cast<double>(r.height()));
            cairo_clip(cr);
        }
    }

    void line(CPoint from, CPoint to, CColor c, long w) override {
        if (from == to) return;
        double o = (w % 2) ? 0.5 : 0.0;
        cairo_save(cr);
        setColor(cr, c);
        cairo_set_line_width(cr, static_cast<double>(w));
        cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
        cairo_move_to(cr, static_cast<double>(from.h) + o, static_cast<double>(from.v) + o);
        cairo_line_to(cr, static_cast<double>(to.h) + o, static_cast<double>(to.v) + o);
        cairo_stroke(cr);
        cairo_restore(cr);
    }

    void strokeRect(const CRect& r, CColor c, long w) override {
        double half = static_cast<double>(w) / 2.0;
        double rw = static_cast<double>(r.width()) - static_cast<double>(w);
        double rh = static_cast<double>(r.height()) - static_cast<double>(w);
        cairo_save(cr);
        setColor(cr, c);
        if (rw <= 0 || rh <= 0) {
            cairo_rectangle(cr, static_cast<double>(r.left), static_cast<double>(r.top), static_cast<double>(r.width()),
                            static_cast<double>(r.height()));
            cairo_fill(cr);
        } else {
            cairo_set_line_width(cr, static_cast<double>(w));
            cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
            cairo_rectangle(cr, static_cast<double>(r.left) + half, static_cast<double>(r.top) + half, rw, rh);
            cairo_stroke(cr);
        }
        cairo_restore(cr);
    }

    void fillRect(const CRect& r, CColor c) override {
        cairo_save(cr);
        setColor(cr, c);
        cairo_rectangle(cr, static_cast<double>(r.left), static_cast<double>(r.top), static_cast<double>(r.width()),
                        static_cast<double>(r.height()));
        cairo_fill(cr);
        cairo_restore(cr);
    }

    void fillEllipse(const CRect& r, CColor c) override {
        cairo_save(cr);
        cairo_set_antialias(cr, CAIRO_ANTIALIAS_GRAY);
        setColor(cr, c);
        cairo_translate(cr, static_cast<double>(r.left) + r.width() / 2.0, static_cast<double>(r.top) + r.height() / 2.0);
        cairo_scale(cr, r.width() / 2.0, r.height() / 2.0);
        cairo_arc(cr, 0, 0, 1, 0, 2 * M_PI);
        cairo_fill(cr);
        cairo_restore(cr);
    }

    void selectFont(const TextStyle& style) {
        long f = (style.font >= 0 && style.font < kNumStandardFonts) ? style.font : static_cast<long>(kNormalFont);
        cairo_set_font_face(cr, toolkitFontFace((style.face & kBoldFace) != 0, (style.face & kCondensedFace) != 0));
        cairo_set_font_size(cr, kFontSizes[f]);
        cairo_font_options_t* opt = cairo_font_options_create();
        cairo_font_options_set_antialias(opt, CAIRO_ANTIALIAS_GRAY);
        cairo_font_options_set_hint_style(opt, CAIRO_HINT_STYLE_SLIGHT);
        cairo_font_options_set_hint_metrics(opt, CAIRO_HINT_METRICS_ON);
        cairo_set_font_options(cr, opt);
        cairo_font_options_destroy(opt);
        if (style.face & kItalicFace) {
            cairo_matrix_t m;
            cairo_matrix_init(&m, kFontSizes[f], 0, -0.2 * kFontSizes[f], kFontSizes[f], 0, 0);
            cairo_set_font_matrix(cr, &m);
        }
    }

    // How far the current font advances over `s`: measured into a local record that
    // never outlives the call.
    double textAdvance(const char* s) const {
        cairo_text_extents_t extents;
        cairo_text_extents(cr, s, &extents);
        return extents.x_advance;
    }

    void text(const CRect& box, const char* s, CColor c, const TextStyle& style) override {
        if (!s || !*s || box.isEmpty()) return;
        cairo_save(cr);
        cairo_rectangle(cr, static_cast<double>(box.left), static_cast<double>(box.top), static_cast<double>(box.width()),
                        static_cast<double>(box.height()));
        cairo_clip(cr);
        selectFont(style);
        cairo_font_extents_t fe;
        cairo_font_extents(cr, &fe);
        const double advance = textAdvance(s);
        double x = static_cast<double>(box.left) + 2.0;
        if (style.align == kCenterText) {
            x = static_cast<double>(box.left) + (static_cast<double>(box.width()) - advance) / 2.0;
        } else if (style.align == kRightText) {
            x = static_cast<double>(box.right) - 2.0 - advance;
        }
        double y = static_cast<double>(box.top) + (static_cast<double>(box.height()) + fe.ascent - fe.descent) / 2.0;
        setColor(cr, c);
        cairo_move_to(cr, std::floor(x), std::floor(y));
        cairo_show_text(cr, s);
        if (style.face & kUnderlineFace) {
            cairo_rectangle(cr, std::floor(x), std::floor(y) + 1, advance, 1);
            cairo_fill(cr);
        }
        cairo_restore(cr);
    }

    long textWidth(const char* s, const TextStyle& style) override {
        if (!s || !*s) return 0;
        cairo_save(cr);
        selectFont(style);
        const double advance = textAdvance(s);
        cairo_restore(cr);
        return static_cast<long>(std::ceil(advance));
    }

    void image(const BitmapImage& img, const CRect& dest, CPoint src, const CColor* key) override {
        const auto& ci = static_cast<const CairoImage&>(img);
        cairo_surface_t* s = key ? ci.keyedBy(*key) : ci.surface;
        if (img.scale() != scale_) s = ci.resampled(s, scale_);
        else cairo_surface_set_device_scale(s, img.scale(), img.scale());
        cairo_save(cr);
        cairo_rectangle(cr, static_cast<double>(dest.left), static_cast<double>(dest.top),
                        static_cast<double>(dest.width()), static_cast<double>(dest.height()));
        cairo_clip(cr);
        cairo_set_source_surface(cr, s, static_cast<double>(dest.left - src.h), static_cast<double>(dest.top - src.v));
        // Pixel for pixel: the image was made for this scale, or resampled for it.
        cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
        cairo_paint(cr);
        cairo_restore(cr);
    }

    void copyTo(DrawSurface& target, const CRect& part, CPoint at) override {
        auto& t = static_cast<CairoSurface&>(target);
        cairo_surface_flush(surface);
        cairo_save(t.cr);
        cairo_rectangle(t.cr, static_cast<double>(at.h), static_cast<double>(at.v), static_cast<double>(part.width()),
                        static_cast<double>(part.height()));
        cairo_clip(t.cr);
        cairo_set_source_surface(t.cr, surface, static_cast<double>(at.h - part.left), static_cast<double>(at.v - part.top));
        cairo_set_operator(t.cr, CAIRO_OPERATOR_SOURCE);
        cairo_paint(t.cr);
        cairo_restore(t.cr);
    }

    std::uint32_t pixel(long x, long y) override {
        if (x < 0 || y < 0 || x >= cairo_image_surface_get_width(surface) || y >= cairo_image_surface_get_height(surface))
            return 0;
        cairo_surface_flush(surface);
        const unsigned char* d = cairo_image_surface_get_data(surface);
        int stride = cairo_image_surface_get_stride(surface);
        return reinterpret_cast<const std::uint32_t*>(d + y * stride)[x];
    }

    const std::uint32_t* rows(long& strideWords) override {
        cairo_surface_flush(surface);
        strideWords = cairo_image_surface_get_stride(surface) / 4;
        return reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(surface));
    }

    bool writePng(const char* path) override {
        cairo_surface_flush(surface);
        return cairo_surface_write_to_png(surface, path) == CAIRO_STATUS_SUCCESS;
    }

    long units[2];
    cairo_surface_t* surface;
    cairo_t* cr = nullptr;
};

struct PngReader {
    const unsigned char* data;
    std::size_t size;
    std::size_t pos;
};

cairo_status_t readPng(void* closure, unsigned char* out, unsigned int length) {
    auto* r = static_cast<PngReader*>(closure);
    if (r->size - r->pos < length) return CAIRO_STATUS_READ_ERROR;
    std::memcpy(out, r->data + r->pos, length);
    r->pos += length;
    return CAIRO_STATUS_SUCCESS;
}

class CairoBackend : public DrawBackend {
public:
    std::unique_ptr<DrawSurface> createSurface(long w, long h, CColor background, double scale) override {
        return std::make_unique<CairoSurface>(w > 0 ? w : 1, h > 0 ? h : 1, background, scale >= 1.0 ? scale : 1.0);
    }

    std::unique_ptr<BitmapImage> decodePng(const unsigned char* data, std::size_t size) override {
        if (!data || size == 0) return nullptr;
        PngReader reader{data, size, 0};
        cairo_surface_t* s = cairo_image_surface_create_from_png_stream(&readPng, &reader);
        if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
            cairo_surface_destroy(s);
            return nullptr;
        }
        return std::make_unique<CairoImage>(s);
    }

    std::unique_ptr<BitmapImage> fromPixels(long w, long h, const std::uint32_t* argb) override {
        if (w <= 0 || h <= 0) return nullptr;
        cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(w), static_cast<int>(h));
        cairo_surface_flush(s);
        unsigned char* d = cairo_image_surface_get_data(s);
        int stride = cairo_image_surface_get_stride(s);
        for (long y = 0; y < h; ++y) {
            auto* row = reinterpret_cast<std::uint32_t*>(d + y * stride);
            for (long x = 0; x < w; ++x) {
                std::uint32_t p = argb ? argb[y * w + x] : 0xFFFFFFFFu;
                std::uint32_t a = p >> 24;
                if (a == 255) {
                    row[x] = p;
                } else {  // cairo keeps premultiplied alpha
                    auto mul = [a](std::uint32_t c) { return (c * a + 127) / 255; };
                    row[x] = (a << 24) | (mul((p >> 16) & 255) << 16) | (mul((p >> 8) & 255) << 8) | mul(p & 255);
                }
            }
        }
        cairo_surface_mark_dirty(s);
        return std::make_unique<CairoImage>(s);
    }
};

}  // namespace

DrawBackend& cairoBackend() {
    static CairoBackend backEnd;
    return backEnd;
}

void installCairoBackend() { setDrawBackend(&cairoBackend()); }

}  // namespace VSTGUI
