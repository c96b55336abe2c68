#pragma once
// A drawing surface for one bitmap of the panel artwork, with the few shapes and the text
// drawing the artwork is made of. Images are drawn with alpha; save() turns every pixel that
// is less than half covered into the transparent colour white and keeps everything else
// opaque and never pure white, so the key colour appears only where it is meant.

#include <cairo.h>

#include <string>

namespace artwork {

struct Colour {
    int r = 0, g = 0, b = 0;
    Colour shade(int d) const;            // add d to every component, clamped
    Colour mix(Colour o, double t) const; // t = 0 gives *this, 1 gives o
};

struct Box {
    int l = 0, t = 0, r = 0, b = 0;
    int w() const { return r - l; }
    int h() const { return b - t; }
    Box moved(int dx, int dy) const { return {l + dx, t + dy, r + dx, b + dy}; }
    Box inset(int d) const { return {l + d, t + d, r - d, b - d}; }
};

enum class Face { Regular, Bold, Mono };
enum class Align { Left, Centre, Right };

struct TextStyle {
    Face face = Face::Regular;
    double size = 9;
    Colour colour{200, 200, 200};
    Align align = Align::Centre;
    double maxWidth = 0;   // > 0: squeeze the text horizontally to fit this width
    double squeeze = 1.0;  // horizontal scale applied always (< 1 gives a condensed look)
};

// Pixels per unit of every canvas made from now on (2: the artwork for 2x screens). Sizes
// and coordinates stay in units; only the pixels saved grow.
void setPixelScale(int scale);

// Loads the fonts once by file path; false if one of them is missing.
bool loadFonts(const std::string& fontDir);

class Canvas {
public:
    Canvas(int width, int height);
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    int width() const { return width_; }
    int height() const { return height_; }
    cairo_t* cr() { return cr_; }

    void fill(Box b, Colour c);
    void frame(Box b, Colour c);               // 1-pixel outline inside b
    void bevel(Box b, Colour light, Colour dark); // light top/left edge, dark bottom/right
    void hline(int x0, int x1, int y, Colour c); // pixels x0..x1-1 of row y
    void vline(int x, int y0, int y1, Colour c);
    void pixel(int x, int y, Colour c);
    void clear(Box b);                         // make transparent (white after save)
    // Rounded plate with crisp corners: corner pixels cut away by the radius (0..3).
    void plate(Box b, Colour body, int cut);
    void circle(double cx, double cy, double radius, Colour c);
    void ring(double cx, double cy, double radius, double width, Colour c);
    void polygon(const double* xy, int points, Colour c);

    // Text with its baseline at y; x is the left edge, centre or right edge by alignment.
    void text(const std::string& s, double x, double y, const TextStyle& st);
    // Text centred vertically in box b (by the font's cap height), aligned within it.
    void textIn(const std::string& s, Box b, TextStyle st);
    // Text rotated a quarter turn anticlockwise, reading bottom to top, centred in box b.
    void textUp(const std::string& s, Box b, const TextStyle& st);
    double textWidth(const std::string& s, const TextStyle& st);

    // Copies another canvas at (x, y), alpha included.
    void paste(const Canvas& other, int x, int y);
    // Copies the part src of another canvas with its top-left corner at (x, y).
    void pasteRegion(const Canvas& other, Box src, int x, int y);
    // Writes an 8-bit RGB PNG with white as the transparent colour; false on failure.
    bool save(const std::string& path) const;

private:
    void setFont(const TextStyle& st, double scaleX);
    int width_, height_;
    int scale_;
    cairo_surface_t* surface_;
    cairo_t* cr_;
};

} // namespace artwork
