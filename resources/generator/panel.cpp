#include "panel.h"

#include "layout.h"
#include "parts.h"
#include "theme.h"

#include <cmath>
#include <string>

namespace artwork {

using namespace theme;
using namespace layout;

namespace {

void drawPlate(Canvas& c, Box b) {
    c.fill(b, kPlate);
    c.frame(b, kPlateEdge);
    c.hline(b.l + 1, b.r - 1, b.t + 1, kPlate.shade(7));
    c.hline(b.l + 1, b.r, b.b, kPlateShadow);
    c.vline(b.r, b.t + 1, b.b + 1, kPlateShadow);
}

void drawWell(Canvas& c, Box inside, Colour fill) {
    c.frame({inside.l - 1, inside.t - 1, inside.r + 1, inside.b + 1}, kPlateShadow);
    c.hline(inside.l - 1, inside.r + 1, inside.b + 1, kWellEdge.shade(-14));
    c.fill(inside, fill);
}

TextStyle caption(double size = kCaptionSize, Align align = Align::Centre) {
    TextStyle st;
    st.face = Face::Bold;
    st.size = size;
    st.colour = kCaption;
    st.align = align;
    st.squeeze = 0.94;
    return st;
}

TextStyle title() {
    TextStyle st = caption(kTitleSize);
    st.colour = kTitle;
    return st;
}

void drawTopLeft(Canvas& c) {
    drawPlate(c, {3, 3, 387, 197});
    drawWell(c, kStatusLabel, kWell);
    c.fill({7, 34, 384, 59}, kPlate.shade(-5));
    drawWell(c, {kMainScope.l - 1, kMainScope.t - 1, kMainScope.r + 1, kMainScope.b + 1}, Colour{0, 0, 0});
    c.textUp("scope", {4, kMainScope.t, 15, kMainScope.b}, title());
}

void drawBuffers(Canvas& c) {
    drawPlate(c, {3, 199, 387, 411});
    c.textUp("buffers", {4, 211, 15, 404}, title());
    for (int i = 0; i < 16; ++i) {
        Box s = bufferScope(i);
        drawWell(c, s, kWell);
        c.hline(s.l, s.r, s.t + s.h() / 2, Colour{30, 33, 40});
        TextStyle st = caption(8.5);
        st.colour = kDimText.shade(20);
        c.textIn(std::to_string(i + 1), {s.l - 14, s.t, s.l - 1, s.b}, st);
        drawBufferTrack(c, bufferSlider(i));
    }
}

void drawHelpPage(Canvas& c) {
    const Box page{kSplashSourceX, kSplashSourceY, kSplashSourceX + kSplashArea.w(),
                   kSplashSourceY + kSplashArea.h()};
    c.fill(page, kWell);
    c.frame(page, kAccent);
    c.frame(page.inset(1), kPlateShadow);
    TextStyle head = caption(15, Align::Left);
    head.colour = kTitle;
    c.text("grainwheel", page.l + 12, page.t + 24, head);
    TextStyle sub = caption(8.5, Align::Left);
    sub.face = Face::Regular;
    sub.colour = kDimText.shade(30);
    c.text("tempo-synchronised granular step sequencer", page.l + 108, page.t + 23, sub);
    c.hline(page.l + 12, page.r - 12, page.t + 31, kPlateEdge);

    struct Line {
        const char* key;
        const char* text;
    };
    const Line lines[] = {
        {"units", "16 units take turns in step with the host's tempo"},
        {"time", "grain spacing of each unit"},
        {"speed", "play-head speed through the buffer"},
        {"pitch", "grain pitch"},
        {"freq", "cutoff of the unit's low-pass filter"},
        {"buffers", "record with rec sync or rec free, or load a wav file;"},
        {"", "the slider under a buffer sets where playback starts"},
        {"options", "fader ranges, envelope, playback, morph, scope view"},
        {"file", "load a bank or one of the recent banks"},
        {"ctrl+click", "resets a fader or the knob to its default"},
    };
    TextStyle key = caption(8.5, Align::Right);
    key.colour = kAccent;
    TextStyle body = caption(8.5, Align::Left);
    body.face = Face::Regular;
    body.colour = kCaption;
    int y = page.t + 48;
    for (const Line& l : lines) {
        c.text(l.key, page.l + 74, y, key);
        c.text(l.text, page.l + 82, y, body);
        y += 14;
    }
    TextStyle foot = caption(8, Align::Centre);
    foot.colour = kDimText.shade(10);
    c.text("click this page to close it", (page.l + page.r) / 2.0, page.b - 8, foot);
}

void drawSequencer(Canvas& c, bool grid) {
    drawPlate(c, {389, 1, 877, 339});
    const char* names[4] = {"time", "speed", "pitch", "freq"};
    const char* hints[4] = {"grain spacing", "play-head speed", "grain pitch", "filter cutoff"};
    for (int col = 0; col < 4; ++col) {
        Box b = column(col);
        c.frame({b.l - 1, b.t - 1, b.r + 1, b.b + 1}, kPlateShadow);
        for (int i = 0; i < 16; ++i) drawColumnTrack(c, columnFader(col, i), i, grid);
        Box strip = col < 2 ? Box{b.l + 1, 1, b.r - 1, 13} : Box{b.l + 1, 329, b.r - 1, 339};
        TextStyle name = caption(9, Align::Left);
        name.colour = kTitle;
        c.textIn(names[col], strip, name);
        TextStyle hint = caption(8, Align::Right);
        hint.face = Face::Regular;
        hint.colour = kDimText;
        c.textIn(hints[col], strip, hint);
    }
    // Unit numbers between the two rows of columns, shared by the columns above and below.
    for (int half = 0; half < 2; ++half) {
        for (int i = 0; i < 16; ++i) {
            Box f = columnFader(half, i);
            TextStyle st = caption(8);
            st.colour = i % 4 == 0 ? kCaption : kDimText;
            c.textIn(std::to_string(i + 1), {f.l, 164, f.r, 179}, st);
        }
    }
    // Markers from the columns to their preset buttons.
    for (int k = 0; k < 5; ++k) {
        Box p = pitchPreset(k), s = speedPreset(k);
        c.hline(column(2).r + 1, p.l, p.t + 4, kTick);
        c.hline(column(1).r + 1, s.l, s.t + 4, kTick);
    }
}

void drawSingleFaders(Canvas& c) {
    drawPlate(c, {879, 1, 929, 339});
    for (Box b : {kDensity, kSustain, kResonance, kUnitLength}) {
        c.frame({b.l - 1, b.t - 1, b.r + 1, b.b + 1}, kPlateShadow);
        drawSingleSlot(c, b);
    }
    TextStyle st = caption(8);
    st.squeeze = 0.85;
    c.textIn("density", {879, 146, 903, 157}, st);
    c.textIn("sustain", {905, 146, 929, 157}, st);
    c.hline(884, 924, 162, kPlateEdge);
    c.textIn("reso", {880, 168, 904, 179}, st);
    c.textIn("length", {904, 168, 929, 179}, st);
}

void drawOutput(Canvas& c) {
    drawPlate(c, {389, 341, 929, 413});
    drawWell(c, kSmallScope, Colour{0, 0, 0});
    TextStyle hint = caption(7.5);
    hint.face = Face::Regular;
    hint.colour = kDimText;
    c.textIn("click the scope for help", {393, 403, 599, 412}, hint);

    drawWell(c, kVuMeter, kWell);
    TextStyle small = caption(7.5);
    c.textIn("out", {600, 403, 628, 412}, small);

    drawWell(c, {kProgramSwitch.l - 1, kProgramSwitch.t - 1, kProgramSwitch.r + 1, kProgramSwitch.b + 1},
             kWell);
    TextStyle prog = caption(9, Align::Left);
    prog.colour = kTitle;
    c.textIn("program", {640, 383, 702, 397}, prog);

    // The level knob: body, a scale around it and its caption.
    drawKnobBody(c, kLevelKnob);
    const double cx = kLevelKnob.l + kLevelKnob.w() / 2.0, cy = kLevelKnob.t + kLevelKnob.h() / 2.0;
    cairo_t* cr = c.cr();
    for (int k = 0; k <= 10; ++k) {
        double a = 3.1415926 * (1.25 - 1.5 * k / 10.0);
        double r0 = (k % 5 == 0) ? 22.5 : 23.5, r1 = 26.5;
        cairo_move_to(cr, cx + r0 * std::cos(a), cy - r0 * std::sin(a));
        cairo_line_to(cr, cx + r1 * std::cos(a), cy - r1 * std::sin(a));
    }
    cairo_set_source_rgb(cr, kTick.r / 255.0, kTick.g / 255.0, kTick.b / 255.0);
    cairo_set_line_width(cr, 1.2);
    cairo_stroke(cr);
    c.textIn("level", {kLevelKnob.l, 399, kLevelKnob.r, 410}, caption(8));
}

} // namespace

void drawPanel(Canvas& c, bool alternate) {
    c.fill({0, 0, kPanelWidth, kPanelHeight}, kBackground);
    drawTopLeft(c);
    drawBuffers(c);
    drawSequencer(c, alternate);
    drawSingleFaders(c);
    drawOutput(c);
    if (alternate) drawHelpPage(c);
}

void outlineControls(Canvas& c) {
    for (const Placed& p : allControls()) c.frame(p.box, Colour{255, 0, 255});
}

} // namespace artwork
