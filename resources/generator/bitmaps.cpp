#include "bitmaps.h"

#include "layout.h"
#include "panel.h"
#include "parts.h"
#include "theme.h"

#include <string>

namespace artwork {

using namespace theme;

namespace {

std::unique_ptr<Canvas> blank(int w, int h) { return std::make_unique<Canvas>(w, h); }

// A button bitmap: released or off picture on top, pressed or on picture below.
std::unique_ptr<Canvas> twoState(int w, int h, const std::string& caption, bool kick, bool hover,
                                 ButtonTint tint = ButtonTint::Accent) {
    auto c = blank(w, h);
    const int half = h / 2;
    drawButton(*c, {0, 0, w, half}, caption, {false, hover, kick, tint});
    drawButton(*c, {0, half, w, h}, caption, {true, hover, kick, tint});
    return c;
}

std::unique_ptr<Canvas> menu(int w, int h, const std::string& caption, bool hover) {
    auto c = blank(w, h);
    drawMenuButton(*c, {0, 0, w, h}, caption, hover);
    return c;
}

// Fader handle: a bordered cap with a dark centre line marking the value.
void drawHandle(Canvas& c, Box b, Colour body, bool vertical) {
    c.fill(b, body.shade(-95));
    Box in = b.inset(1);
    c.fill(in, body);
    c.hline(in.l, in.r, in.t, body.shade(35));
    if (vertical) {
        c.hline(in.l + 1, in.r - 1, b.t + b.h() / 2, body.shade(-80));
    } else {
        c.vline(b.l + b.w() / 2, in.t + 1, in.b, body.shade(-80));
    }
}

std::unique_ptr<Canvas> handle(int w, int h, Colour body, bool vertical) {
    auto c = blank(w, h);
    drawHandle(*c, {0, 0, w, h}, body, vertical);
    return c;
}

std::unique_ptr<Canvas> programSwitch() {
    auto c = blank(225, 320);
    for (int k = 0; k < 16; ++k) {
        for (int j = 0; j < 16; ++j) {
            int x0 = j * 225 / 16, x1 = (j + 1) * 225 / 16;
            Box cell{x0, 20 * k + 1, x1 - 1, 20 * k + 19};
            bool current = j == k;
            c->plate(cell, current ? kAccent : kButton, 1);
            c->hline(cell.l + 1, cell.r - 1, cell.t, (current ? kAccent : kButton).shade(18));
            TextStyle st;
            st.face = Face::Bold;
            st.size = 8;
            st.squeeze = 0.85;
            st.colour = current ? kLitText : kButtonText.shade(-40);
            c->textIn(std::to_string(j + 1), cell, st);
        }
    }
    return c;
}

std::unique_ptr<Canvas> presetButton() {
    auto c = blank(8, 18);
    for (int s = 0; s < 2; ++s) {
        const double y = 9.0 * s;
        const double xy[6] = {0.5, y + 4.5, 7.5, y + 0.5, 7.5, y + 8.5};
        c->polygon(xy, 3, s == 0 ? Colour{150, 156, 168} : kAccent);
    }
    return c;
}

std::unique_ptr<Canvas> vuMeter(bool lit) {
    auto c = blank(12, 62);
    c->fill({0, 0, 12, 62}, kWell);
    for (int k = 0; k < 24; ++k) {
        int y0 = 62 - (k + 1) * 62 / 24, y1 = 62 - k * 62 / 24;
        Colour led = k < 15 ? Colour{74, 196, 96} : k < 21 ? Colour{226, 192, 64} : Colour{228, 72, 52};
        if (!lit) led = led.mix(kWell, 0.78);
        c->fill({1, y0 + 1, 11, y1}, led);
    }
    return c;
}

std::unique_ptr<Canvas> statusBackground() {
    auto c = blank(368, 16);
    c->fill({0, 0, 368, 16}, kWell);
    c->frame({0, 0, 368, 16}, kPlateShadow.shade(14));
    c->hline(1, 367, 1, kWell.shade(-6));
    return c;
}

std::unique_ptr<Canvas> knobHandle() {
    auto c = blank(7, 10);
    c->plate({0, 0, 7, 10}, kButtonEdge, 2);
    c->plate({1, 1, 6, 9}, kAccent, 1);
    c->vline(2, 2, 5, kAccent.shade(40));
    return c;
}

std::unique_ptr<Canvas> panel(bool alternate) {
    auto c = blank(layout::kPanelWidth, layout::kPanelHeight);
    drawPanel(*c, alternate);
    return c;
}

template <typename F>
std::unique_ptr<Canvas> drawn(int w, int h, F f) {
    auto c = blank(w, h);
    f(*c, Box{0, 0, w, h});
    return c;
}

} // namespace

std::vector<Bitmap> drawAllBitmaps() {
    const Colour normal{172, 178, 190}, playing = kAccent, hovered = kHover;
    const Colour hoverPlaying{250, 204, 96};
    std::vector<Bitmap> v;
    auto add = [&v](int id, std::unique_ptr<Canvas> c) { v.push_back({id, std::move(c)}); };
    add(128, panel(false));
    add(129, drawn(20, 130, [](Canvas& c, Box b) { drawSingleSlot(c, b); }));
    add(130, handle(14, 7, normal, true));
    add(131, panel(true));
    add(132, drawn(14, 149, [](Canvas& c, Box b) { drawColumnTrack(c, b, 0, false); }));
    add(133, twoState(34, 20, "next", true, true));
    add(134, programSwitch());
    add(135, drawn(14, 16, [&](Canvas& c, Box) {
            drawHandle(c, {0, 0, 14, 8}, normal, true);
            drawHandle(c, {0, 8, 14, 16}, playing, true);
        }));
    add(136, twoState(31, 32, "grid", false, false));
    add(137, statusBackground());
    add(138, presetButton());
    add(139, twoState(96, 34, "trigger mode", false, false));
    add(140, twoState(37, 24, "copy", true, false));
    add(141, twoState(41, 26, "paste", true, false));
    add(142, twoState(96, 34, "trigger mode", false, true));
    add(143, twoState(34, 20, "next", true, false));
    add(144, twoState(34, 24, "prev", true, false));
    add(145, drawn(56, 14, [](Canvas& c, Box b) {
            drawButton(c, b, "rec", {true, false, false, ButtonTint::Record});
        }));
    add(146, vuMeter(true));
    add(147, vuMeter(false));
    add(148, menu(59, 16, "options", true));
    add(149, menu(74, 12, "file", true));
    add(150, drawn(84, 10, [](Canvas& c, Box b) {
            c.fill(b, kPlate);
            drawBufferTrack(c, b);
        }));
    add(151, handle(9, 7, normal, false));
    add(152, twoState(74, 24, "save bank", true, true));
    add(153, handle(14, 7, playing, true));
    add(154, handle(14, 7, hovered, true));
    add(155, handle(14, 7, hoverPlaying, true));
    add(156, handle(9, 7, playing, false));
    add(157, drawn(46, 45, [](Canvas& c, Box b) {
            c.fill(b, kPlate);
            drawKnobBody(c, b);
        }));
    add(158, knobHandle());
    add(159, twoState(33, 18, "monitor", false, true));
    add(160, twoState(33, 18, "monitor", false, false));
    add(161, twoState(56, 28, "rec sync", false, false, ButtonTint::Record));
    add(162, twoState(53, 24, "rec free", false, false, ButtonTint::Record));
    add(163, twoState(65, 24, "load wav", true, false));
    add(164, twoState(66, 18, "save wav", true, false));
    add(165, twoState(67, 24, "kill buffer", true, false));
    add(166, twoState(56, 28, "rec sync", false, true, ButtonTint::Record));
    add(167, twoState(53, 24, "rec free", false, true, ButtonTint::Record));
    add(168, twoState(65, 24, "load wav", true, true));
    add(169, twoState(66, 18, "save wav", true, true));
    add(170, menu(59, 16, "options", false));
    add(171, twoState(31, 32, "grid", false, true));
    add(172, menu(74, 12, "file", false));
    add(173, twoState(74, 24, "save bank", true, false));
    add(174, twoState(67, 24, "kill buffer", true, true));
    add(175, twoState(34, 24, "prev", true, true));
    add(176, twoState(37, 24, "copy", true, true));
    add(177, twoState(41, 26, "paste", true, true));
    return v;
}

} // namespace artwork
