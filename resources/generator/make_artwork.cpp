// Draws the panel artwork: every bitmap 128..177 as resources/bitmaps/bmp<id>.png.
//   gw_make_artwork OUT_DIR [--fonts DIR] [--preview DIR] [--scale N]
// --scale N draws every bitmap with N x N pixels per panel pixel (the sets for scaled screens).
// --preview also writes the panel with its control rectangles outlined and a mock-up of the
// opened editor (controls drawn over the panel as the editor places them), for checking by eye.

#include "bitmaps.h"
#include "layout.h"
#include "panel.h"
#include "theme.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <string>

using namespace artwork;

namespace {

const Canvas& find(const std::vector<Bitmap>& all, int id) {
    for (const Bitmap& b : all)
        if (b.id == id) return *b.canvas;
    std::fprintf(stderr, "no bitmap %d\n", id);
    std::exit(1);
}

// Image `index` of a bitmap whose images of height h are stacked downwards.
void place(Canvas& dst, const Canvas& src, Box at, int index = 0) {
    dst.pasteRegion(src, {0, index * at.h(), at.w(), (index + 1) * at.h()}, at.l, at.t);
}

void placeFaderHandle(Canvas& dst, const Canvas& handle, Box fader, double value, bool zeroAtTop) {
    int travel = fader.h() - handle.height();
    int pos = static_cast<int>(std::lround(travel * (zeroAtTop ? value : 1.0 - value)));
    int x = fader.l + (fader.w() - handle.width()) / 2; // the toolkit centres the handle
    dst.pasteRegion(handle, {0, 0, handle.width(), handle.height()}, x, fader.t + pos);
}

bool writePreview(const std::vector<Bitmap>& all, const std::string& dir) {
    using namespace layout;
    Canvas outlined(kPanelWidth, kPanelHeight);
    outlined.paste(find(all, 128), 0, 0);
    outlineControls(outlined);

    Canvas mock(kPanelWidth, kPanelHeight);
    mock.paste(find(all, 128), 0, 0);
    place(mock, find(all, 137), kStatusLabel);
    TextStyle label;
    label.face = Face::Bold;
    label.size = 10;
    label.colour = {250, 250, 250};
    mock.textIn("grainwheel v0.9 beta", kStatusLabel, label);
    place(mock, find(all, 170), kOptionsMenu);
    place(mock, find(all, 149), kFileMenu);
    place(mock, find(all, 173), kSaveBank);
    place(mock, find(all, 139), kTrigMode, 1);
    place(mock, find(all, 136), kGrid);
    place(mock, find(all, 160), kMonitor, 1);
    place(mock, find(all, 161), kRecSync, 1);
    place(mock, find(all, 162), kRecFree);
    place(mock, find(all, 163), kLoadWave);
    place(mock, find(all, 164), kSaveWave, 1);
    place(mock, find(all, 165), kKillBuffer);
    place(mock, find(all, 143), kNext);
    place(mock, find(all, 144), kPrev);
    place(mock, find(all, 140), kCopy);
    place(mock, find(all, 177), kPaste);
    place(mock, find(all, 134), kProgramSwitch, 4);
    for (int k = 0; k < 5; ++k) {
        place(mock, find(all, 138), pitchPreset(k), k == 2 ? 1 : 0);
        place(mock, find(all, 138), speedPreset(k));
    }
    for (int i = 0; i < 16; ++i) {
        Box s = bufferSlider(i);
        const Canvas& h = find(all, i == 5 ? 156 : 151);
        int pos = static_cast<int>(std::lround((s.w() - h.width()) * ((i * 7) % 16) / 15.0));
        mock.pasteRegion(h, {0, 0, h.width(), h.height()}, s.l + pos, s.t + (s.h() - h.height()) / 2);
        for (int c = 0; c < 4; ++c) {
            int id = i == 6 ? 153 : (c == 1 && i == 10) ? 154 : 130;
            double v = 0.5 + 0.4 * std::sin(i * 0.7 + c);
            placeFaderHandle(mock, find(all, id), columnFader(c, i), v, c == 0);
        }
    }
    placeFaderHandle(mock, find(all, 154), kDensity, 0.8, false);
    placeFaderHandle(mock, find(all, 154), kSustain, 0.5, false);
    placeFaderHandle(mock, find(all, 154), kResonance, 0.3, false);
    placeFaderHandle(mock, find(all, 154), kUnitLength, 0.43, true);
    {
        const Canvas& h = find(all, 158);
        // As the knob places its handle: on a circle of the half size less the inset of 7.
        double a = 3.1415926 * (1.25 - 1.5 * 0.7);
        double radius = kLevelKnob.h() / 2.0 - 7;
        int x = static_cast<int>(std::lround(kLevelKnob.l + kLevelKnob.w() / 2.0 + radius * std::cos(a)));
        int y = static_cast<int>(std::lround(kLevelKnob.t + kLevelKnob.h() / 2.0 - radius * std::sin(a)));
        mock.pasteRegion(h, {0, 0, 7, 10}, x - 3, y - 5);
    }
    {
        const Canvas& lit = find(all, 146);
        const Canvas& unlit = find(all, 147);
        int litRows = 15 * 62 / 24;
        mock.pasteRegion(unlit, {0, 0, 12, 62 - litRows}, kVuMeter.l, kVuMeter.t);
        mock.pasteRegion(lit, {0, 62 - litRows, 12, 62}, kVuMeter.l, kVuMeter.t + 62 - litRows);
    }
    Canvas splash(kPanelWidth, kPanelHeight);
    splash.paste(mock, 0, 0);
    splash.pasteRegion(find(all, 131),
                       {kSplashSourceX, kSplashSourceY, kSplashSourceX + kSplashArea.w(),
                        kSplashSourceY + kSplashArea.h()},
                       kSplashArea.l, kSplashArea.t);
    Canvas grid(kPanelWidth, kPanelHeight);
    grid.paste(find(all, 131), 0, 0);

    return outlined.save(dir + "/panel_outlined.png") && mock.save(dir + "/editor_mockup.png") &&
           splash.save(dir + "/editor_help_page.png") && grid.save(dir + "/panel_grid.png");
}

} // namespace

int main(int argc, char** argv) {
    std::string out, fonts = "/usr/share/fonts/truetype/dejavu", preview;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--fonts") && i + 1 < argc) fonts = argv[++i];
        else if (!std::strcmp(argv[i], "--preview") && i + 1 < argc) preview = argv[++i];
        else if (!std::strcmp(argv[i], "--scale") && i + 1 < argc) setPixelScale(std::atoi(argv[++i]));
        else if (out.empty() && argv[i][0] != '-') out = argv[i];
        else {
            std::fprintf(stderr, "usage: %s OUT_DIR [--fonts DIR] [--preview DIR] [--scale N]\n", argv[0]);
            return 2;
        }
    }
    if (out.empty()) {
        std::fprintf(stderr, "usage: %s OUT_DIR [--fonts DIR] [--preview DIR]\n", argv[0]);
        return 2;
    }
    if (!loadFonts(fonts)) {
        std::fprintf(stderr, "cannot load the DejaVu fonts from %s (Debian: fonts-dejavu-core)\n",
                     fonts.c_str());
        return 1;
    }
    std::vector<Bitmap> all = drawAllBitmaps();
    for (const Bitmap& b : all) {
        std::string path = out + "/bmp" + std::to_string(b.id) + ".png";
        if (!b.canvas->save(path)) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
    }
    if (!preview.empty() && !writePreview(all, preview)) {
        std::fprintf(stderr, "cannot write the preview into %s\n", preview.c_str());
        return 1;
    }
    std::printf("wrote %zu bitmaps to %s\n", all.size(), out.c_str());
    return 0;
}
