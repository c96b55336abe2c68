#include "parts.h"

#include "layout.h"
#include "theme.h"

#include <algorithm>
#include <cmath>

namespace artwork {

using namespace theme;

namespace {

// Row of the handle's centre for a value share f (0 at the top of the travel).
int travelRow(Box b, int travel, double f) {
    return b.t + layout::kFaderHandleHeight / 2 + static_cast<int>(std::lround(travel * f));
}

TextStyle buttonText(int innerHeight, Colour colour) {
    TextStyle st;
    st.face = Face::Bold;
    st.size = std::min(8.6, innerHeight + 0.4);
    st.colour = colour;
    st.squeeze = 0.92;
    return st;
}

} // namespace

void drawColumnTrack(Canvas& c, Box b, int unit, bool grid) {
    const int travel = b.h() - layout::kFaderHandleHeight;
    c.fill(b, (unit / 4) % 2 == 0 ? kGroupA : kGroupB);
    if (unit % 4 == 0) c.vline(b.l, b.t, b.b, kPlateShadow); // beat group boundary
    for (int q = 0; q <= 4; ++q) {
        int y = travelRow(b, travel, q / 4.0);
        c.hline(b.l + 2, b.l + 5, y, kTick);
        c.hline(b.r - 4, b.r - 1, y, kTick);
    }
    const int mid = b.l + b.w() / 2;
    c.fill({mid - 1, travelRow(b, travel, 0), mid + 1, travelRow(b, travel, 1) + 1}, kGroove);
    c.vline(mid + 1, travelRow(b, travel, 0), travelRow(b, travel, 1) + 1, kGroupB.shade(12));
    if (grid) {
        for (int k = 0; k <= 8; ++k) {
            int y = travelRow(b, travel, k / 8.0);
            c.hline(b.l, b.r, y, k % 2 == 0 ? kGridMajor : kGridMinor);
        }
    }
}

void drawSingleSlot(Canvas& c, Box b) {
    // The toolkit centres a handle narrower than its slider, so the lane is centred too and
    // the value scale runs down both sides of it.
    const int travel = b.h() - layout::kFaderHandleHeight;
    const int laneLeft = b.l + (b.w() - layout::kFaderWidth) / 2;
    const Box lane{laneLeft, b.t, laneLeft + layout::kFaderWidth, b.b};
    c.fill(b, kPlate);
    c.fill(lane, kGroupA);
    const int mid = lane.l + lane.w() / 2;
    c.fill({mid - 1, travelRow(b, travel, 0), mid + 1, travelRow(b, travel, 1) + 1}, kGroove);
    c.vline(mid + 1, travelRow(b, travel, 0), travelRow(b, travel, 1) + 1, kGroupB.shade(12));
    for (int k = 0; k <= 10; ++k) {
        int y = travelRow(b, travel, k / 10.0);
        bool major = k % 5 == 0;
        Colour tick = major ? kCaption.shade(-50) : kTick;
        c.hline(major ? b.l : lane.l - 2, lane.l, y, tick);
        c.hline(lane.r, major ? b.r : lane.r + 2, y, tick);
    }
}

void drawBufferTrack(Canvas& c, Box b) {
    // The handle (7 rows) is centred in the slider's height; the track runs on its middle row.
    const int y = b.t + (b.h() - layout::kFaderHandleHeight) / 2 + layout::kFaderHandleHeight / 2;
    c.hline(b.l + 4, b.r - 4, y - 1, kGroove);
    c.hline(b.l + 4, b.r - 4, y, kGroove);
    c.hline(b.l + 4, b.r - 4, y + 1, kPlateEdge);
}

void drawKnobBody(Canvas& c, Box b) {
    const double cx = b.l + b.w() / 2.0, cy = b.t + b.h() / 2.0;
    c.circle(cx, cy + 1, 21.5, kPlateShadow);
    c.circle(cx, cy, 21, Colour{70, 75, 86});
    c.circle(cx, cy, 19.5, Colour{50, 54, 63});
    c.ring(cx, cy, 15.5, 7.5, Colour{36, 39, 46});
    c.circle(cx, cy, 10, Colour{74, 79, 91});
    c.circle(cx, cy + 0.7, 8.6, Colour{60, 64, 74});
}

void drawButton(Canvas& c, Box b, const std::string& caption, const ButtonLook& look) {
    Colour body = look.hover ? kButtonHover : kButton;
    Colour text = kButtonText;
    bool pressed = look.on && look.kick;
    if (look.on && look.kick) {
        body = look.hover ? kButton.shade(-6) : kButton.shade(-22);
        text = kButtonText.shade(20);
    } else if (look.on) {
        body = look.tint == ButtonTint::Record ? kRecord : kAccent;
        if (look.hover) body = body.shade(26);
        text = kLitText;
    }
    c.plate(b, kButtonEdge, 1);
    Box in = b.inset(1);
    c.fill(in, body);
    if (pressed) {
        c.hline(in.l, in.r, in.t, body.shade(-18));
    } else {
        c.hline(in.l, in.r, in.t, body.shade(18));
        c.hline(in.l, in.r, in.b - 1, body.shade(-10));
    }
    TextStyle st = buttonText(in.h(), text);
    Box textBox{in.l + 2, in.t, in.r - 2, in.b};
    c.textIn(caption, pressed ? textBox.moved(0, 1) : textBox, st);
}

void drawMenuButton(Canvas& c, Box b, const std::string& caption, bool hover) {
    Colour body = hover ? kButtonHover : kButton;
    c.plate(b, kButtonEdge, 1);
    Box in = b.inset(1);
    c.fill(in, body);
    c.hline(in.l, in.r, in.t, body.shade(18));
    c.hline(in.l, in.r, in.b - 1, body.shade(-10));
    TextStyle st = buttonText(in.h(), hover ? kButtonText.shade(20) : kButtonText);
    st.align = Align::Left;
    c.textIn(caption, {in.l + 4, in.t, in.r - 12, in.b}, st);
    const double cy = (b.t + b.b) / 2.0;
    const double xy[6] = {b.r - 11.0, cy - 1.5, b.r - 4.0, cy - 1.5, b.r - 7.5, cy + 2.0};
    c.polygon(xy, 3, hover ? kHover : kAccent);
}

} // namespace artwork
