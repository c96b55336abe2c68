#include "gui/win32/gdibackend.h"

#include <windows.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "gui/embedded_fonts.h"
#include "gui/pixelsurface.h"
#include "gui/pngdecode.h"


namespace VSTGUI {

namespace {

// Pixel sizes of the standard fonts, as on Linux.
constexpr int kFontSizes[kNumStandardFonts] = {12, 18, 14, 12, 11, 10, 9, 13};

std::atomic<long> liveSurfaces{0};

COLORREF colorRef(CColor c) { return RGB(c.red, c.green, c.blue); }

// The fonts: the embedded faces are registered for this process once, then one HFONT per
// standard size and face, made on first use and kept for the life of the module.
class Fonts {
public:
    ~Fonts() {
        for (auto& [k, f] : fonts) {
            if (f) DeleteObject(f);
        }
        for (HANDLE h : memory) {
            if (h) RemoveFontMemResourceEx(h);
        }
    }
    // The font for the style at a scale (pixels per unit).
    HFONT get(const TextStyle& style, double scale = 1.0) {
        std::lock_guard<std::mutex> lock(mutex);
        if (!registered) {
            registered = true;
            // The embedded faces (none when the build found no font files: the system's
            // font then answers to the names below).
            const EmbeddedFace faces[] = {EmbeddedFace::Regular, EmbeddedFace::Bold, EmbeddedFace::Condensed,
                                          EmbeddedFace::CondensedBold};
            const int count = hasCondensedFaces() ? 4 : 2;
            for (int k = 0; k < count; ++k) {
                const FontBytes bytes = embeddedFont(faces[k]);
                if (bytes.empty()) continue;
                DWORD n = 0;
                memory[k] = AddFontMemResourceEx(const_cast<unsigned char*>(bytes.begin),
                                                 static_cast<DWORD>(bytes.size()), nullptr, &n);
            }
        }
        long f = (style.font >= 0 && style.font < kNumStandardFonts) ? style.font : static_cast<long>(kNormalFont);
        int variant = ((style.face & kBoldFace) ? 1 : 0) | ((style.face & kItalicFace) ? 2 : 0) |
                      ((style.face & kCondensedFace) ? 4 : 0);
        const long pixels = std::lround(kFontSizes[f] * scale);
        HFONT& slot = fonts[(pixels * kNumStandardFonts + f) * 8 + variant];
        if (!slot) {
            LOGFONTW lf{};
            lf.lfHeight = -static_cast<LONG>(pixels);  // em height in pixels, as cairo's font size
            lf.lfWeight = (variant & 1) ? FW_BOLD : FW_NORMAL;
            lf.lfItalic = (variant & 2) ? TRUE : FALSE;
            lf.lfCharSet = DEFAULT_CHARSET;
            lf.lfOutPrecision = OUT_TT_ONLY_PRECIS;
            lf.lfQuality = ANTIALIASED_QUALITY;
            std::wcscpy(lf.lfFaceName, (variant & 4) && hasCondensedFaces() ? L"DejaVu Sans Condensed" : L"DejaVu Sans");
            slot = CreateFontIndirectW(&lf);
        }
        return slot;
    }

private:
    std::mutex mutex;
    bool registered = false;
    HANDLE memory[4] = {nullptr, nullptr, nullptr, nullptr};
    std::map<long, HFONT> fonts;
};

Fonts& fonts() {
    static Fonts f;
    return f;
}

std::wstring wide(const char* s) {
    int n = MultiByteToWideChar(CP_UTF8, 0, s, -1, nullptr, 0);
    if (n <= 0) {  // not UTF-8: take the bytes as Latin-1
        std::wstring w;
        for (const char* p = s; *p; ++p) w.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*p)));
        return w;
    }
    std::wstring w(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s, -1, w.data(), n);
    w.resize(static_cast<std::size_t>(n - 1));
    return w;
}

class GdiSurface : public PixelSurface {
public:
    GdiSurface(long uw, long uh, CColor background, double scale) {
        ++liveSurfaces;
        const long w = pixelsFor(uw, scale), h = pixelsFor(uh, scale);
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bi.bmiHeader.biWidth = w;
        bi.bmiHeader.biHeight = -h;  // top row first
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        bi.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        dc = CreateCompatibleDC(nullptr);
        dib = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (!dib || !bits) {
            // Out of GDI resources: keep a surface of memory that still works without text.
            fallback.assign(static_cast<std::size_t>(w * h), 0);
            bits = fallback.data();
        } else {
            old = SelectObject(dc, dib);
            SetBkMode(dc, TRANSPARENT);
            SetTextAlign(dc, TA_BASELINE | TA_LEFT | TA_NOUPDATECP);
        }
        attach(static_cast<std::uint32_t*>(bits), w, h, w);
        setUnits(uw, uh, scale);
        fillRect(CRect(0, 0, uw, uh), background);
    }
    ~GdiSurface() override {
        --liveSurfaces;
        if (dc && old) SelectObject(dc, old);
        if (dib) DeleteObject(dib);
        if (dc) DeleteDC(dc);
    }

    HDC deviceContext() {
        syncPixels();
        return dib ? dc : nullptr;
    }

    void fillEllipse(const CRect& r0, CColor c) override {
        if (!dib || r0.isEmpty()) return;
        const CRect r = px(r0);
        Scope s(*this);
        HBRUSH brush = CreateSolidBrush(colorRef(c));
        HGDIOBJ oldBrush = SelectObject(dc, brush);
        HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
        // Without a pen GDI leaves out the right and bottom edge.
        Ellipse(dc, static_cast<int>(r.left), static_cast<int>(r.top), static_cast<int>(r.right + 1),
                static_cast<int>(r.bottom + 1));
        SelectObject(dc, oldPen);
        SelectObject(dc, oldBrush);
        DeleteObject(brush);
    }

    void text(const CRect& box0, const char* str, CColor c, const TextStyle& style) override {
        if (!dib || !str || !*str || box0.isEmpty()) return;
        const CRect box = px(box0);
        const double margin = 2.0 * scale();
        Scope s(*this);
        IntersectClipRect(dc, static_cast<int>(box.left), static_cast<int>(box.top), static_cast<int>(box.right),
                          static_cast<int>(box.bottom));
        SelectObject(dc, fonts().get(style, scale()));
        std::wstring w = wide(str);
        SIZE extent{};
        GetTextExtentPoint32W(dc, w.c_str(), static_cast<int>(w.size()), &extent);
        TEXTMETRICW tm{};
        GetTextMetricsW(dc, &tm);
        double x = static_cast<double>(box.left) + margin;
        if (style.align == kCenterText) {
            x = static_cast<double>(box.left) + (static_cast<double>(box.width()) - extent.cx) / 2.0;
        } else if (style.align == kRightText) {
            x = static_cast<double>(box.right) - margin - extent.cx;
        }
        double y = static_cast<double>(box.top) + (static_cast<double>(box.height()) + tm.tmAscent - tm.tmDescent) / 2.0;
        int ix = static_cast<int>(std::floor(x)), iy = static_cast<int>(std::floor(y));
        SetTextColor(dc, colorRef(c));
        TextOutW(dc, ix, iy, w.c_str(), static_cast<int>(w.size()));
        if (style.face & kUnderlineFace) {
            const int t = static_cast<int>(pxWidth(1));
            RECT u{ix, iy + t, ix + extent.cx, iy + 2 * t};
            HBRUSH brush = CreateSolidBrush(colorRef(c));
            FillRect(dc, &u, brush);
            DeleteObject(brush);
        }
    }

    long textWidth(const char* str, const TextStyle& style) override {
        if (!str || !*str || !dib) return 0;
        HGDIOBJ oldFont = SelectObject(dc, fonts().get(style));
        std::wstring w = wide(str);
        SIZE extent{};
        GetTextExtentPoint32W(dc, w.c_str(), static_cast<int>(w.size()), &extent);
        SelectObject(dc, oldFont);
        return extent.cx;
    }

    bool writePng(const char* path) override {
        if (!path) return false;
        syncPixels();
        long stride = 0;
        const std::uint32_t* words = rows(stride);
        std::vector<unsigned char> file = encodePngImage(words, pixelWidth(), pixelHeight(), stride);
        FILE* f = std::fopen(path, "wb");
        if (!f) return false;
        bool ok = std::fwrite(file.data(), 1, file.size(), f) == file.size();
        return std::fclose(f) == 0 && ok;
    }

protected:
    void syncPixels() override { GdiFlush(); }

    void slantedLine(CPoint from, CPoint to, CColor c, long w) override {
        if (!dib) return;
        Scope s(*this);
        HPEN pen = CreatePen(PS_SOLID, static_cast<int>(w), colorRef(c));
        HGDIOBJ oldPen = SelectObject(dc, pen);
        MoveToEx(dc, static_cast<int>(from.h), static_cast<int>(from.v), nullptr);
        LineTo(dc, static_cast<int>(to.h), static_cast<int>(to.v));
        SelectObject(dc, oldPen);
        DeleteObject(pen);
    }

private:
    // GDI drawing with the surface's clip in force; the DC is put back afterwards.
    struct Scope {
        explicit Scope(GdiSurface& s) : surface(s), saved(SaveDC(s.dc)) {
            if (s.hasClip()) {
                const CRect& r = s.clip();
                IntersectClipRect(s.dc, static_cast<int>(r.left), static_cast<int>(r.top), static_cast<int>(r.right),
                                  static_cast<int>(r.bottom));
            }
        }
        ~Scope() { RestoreDC(surface.dc, saved); }
        GdiSurface& surface;
        int saved;
    };

    HDC dc = nullptr;
    HBITMAP dib = nullptr;
    HGDIOBJ old = nullptr;
    std::vector<std::uint32_t> fallback;
};

class GdiBackend : public DrawBackend {
public:
    std::unique_ptr<DrawSurface> createSurface(long w, long h, CColor background, double scale) override {
        return std::make_unique<GdiSurface>(w > 0 ? w : 1, h > 0 ? h : 1, background, scale >= 1.0 ? scale : 1.0);
    }
    // The artwork is decoded once for the life of the module: every editor opened later
    // shares the pixels (keyed by the file's bytes, so any PNG handed in is safe).
    std::unique_ptr<BitmapImage> decodePng(const unsigned char* data, std::size_t size) override {
        if (!data || size == 0) return nullptr;
        std::uint64_t key = 1469598103934665603ull;
        for (std::size_t i = 0; i < size; ++i) key = (key ^ data[i]) * 1099511628211ull;
        key ^= static_cast<std::uint64_t>(size) << 40;
        std::lock_guard<std::mutex> lock(mutex);
        auto it = decoded.find(key);
        if (it == decoded.end()) {
            DecodedPng png = decodePngImage(data, size);
            if (!png.ok()) return nullptr;
            auto image = PixelImage::fromStraight(png.width, png.height, png.argb.data(), true);
            ++decodeCount;
            it = decoded.emplace(key, Decoded{image->width(), image->height(), image->shared()}).first;
        }
        return std::make_unique<PixelImage>(it->second.w, it->second.h, it->second.pixels);
    }
    std::unique_ptr<BitmapImage> fromPixels(long w, long h, const std::uint32_t* argb) override {
        return PixelImage::fromStraight(w, h, argb, false);
    }

    long decodes() {
        std::lock_guard<std::mutex> lock(mutex);
        return decodeCount;
    }

private:
    struct Decoded {
        long w, h;
        std::shared_ptr<const std::vector<std::uint32_t>> pixels;
    };
    std::mutex mutex;
    std::map<std::uint64_t, Decoded> decoded;
    long decodeCount = 0;
};

GdiBackend& theBackend() {
    static GdiBackend backEnd;
    return backEnd;
}

}  // namespace

HDC gdiSurfaceDC(DrawSurface& surface) { return static_cast<GdiSurface&>(surface).deviceContext(); }

DrawBackend& gdiBackend() { return theBackend(); }

long gdiPngDecodes() { return theBackend().decodes(); }

void installGdiBackend() { setDrawBackend(&gdiBackend()); }

long liveGdiSurfaces() { return liveSurfaces.load(); }

}  // namespace VSTGUI
