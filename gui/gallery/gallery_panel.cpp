#include "gui/gallery/gallery.h"

#include "gui/vstgui.h"

namespace VSTGUI {
namespace {

class Label : public CParamDisplay {
public:
    Label(const CRect& r, CBitmap* b, const char* t) : CParamDisplay(r, b, 0), text(t) {}
    void draw(CDrawContext* context) override { drawText(context, text); }

private:
    const char* text;
};

}  // namespace

void buildToolkitGallery(CFrame& frame, CControlListener& l, COptionMenu*& options, COptionMenu*& sub) {
    CBitmap* panel = new CBitmap(128);
    CBitmap* grid = new CBitmap(131);
    frame.setBackground(panel);
    auto keep = [](long id) { return new CBitmap(id); };

    // Column faders: time and speed on the panel, pitch on the grid variant.
    CBitmap* handle = keep(130);
    CBitmap* playing = keep(153);
    CBitmap* hover = keep(154);
    for (int column = 0; column < 4; ++column) {
        long x0 = column % 2 ? 640 : 396, top = column < 2 ? 14 : 180;
        for (int i = 0; i < 16; ++i) {
            long x = x0 + 14 * i;
            CRect r(x, top, x + 14, top + 149);
            CBitmap* bg = column == 2 ? grid : panel;
            CBitmap* h = i == 3 ? playing : (i == 9 && column == 1) ? hover : handle;
            auto* f = new CVerticalSlider(r, &l, 43 + 16 * column + i, top, top + 149 - 7, h, bg, CPoint(x, top),
                                          column == 0 ? kTop : kBottom);
            f->setValue(0.5f + 0.45f * static_cast<float>((i * 7 + column * 3) % 16 - 8) / 8.f);
            f->setDrawTransparentHandle(true);
            f->setTransparency(true);
            frame.addView(f);
        }
    }
    // Single faders.
    long singles[4][2] = {{880, 14}, {907, 14}, {880, 181}, {907, 181}};
    for (auto& s : singles) {
        CRect r(s[0], s[1], s[0] + 20, s[1] + 130);
        auto* f = new CVerticalSlider(r, &l, 2, s[1], s[1] + 123, hover, panel, CPoint(s[0], s[1]), kBottom);
        f->setDrawTransparentHandle(false);
        f->setValue(0.6f);
        frame.addView(f);
    }
    // Buffer sliders.
    CBitmap* bufHandle = keep(151);
    CBitmap* bufCurrent = keep(156);
    for (int i = 0; i < 16; ++i) {
        long L = 29 + 88 * (i % 4), T = 211 + 48 * (i / 4);
        CRect r(L - 7, T + 39, L + 77, T + 49);
        auto* s = new CHorizontalSlider(r, &l, 27 + i, L - 7, L + 68, i == 5 ? bufCurrent : bufHandle, panel,
                                        CPoint(r.left, r.top), kLeft);
        s->setValue(static_cast<float>(i) / 15.f);
        frame.addView(s);
    }
    // Level knob in linear mode, VU meter, program switch.
    setGlobalKnobMode(kLinearMode);
    CBitmap* knobHandle = new CBitmap(158);
    auto* knob = new CKnob(CRect(875, 345, 921, 390), &l, 1, panel, knobHandle, CPoint(875, 345));
    knobHandle->forget();
    knob->setInsetValue(7);
    knob->setValue(0.5f);
    frame.addView(knob);
    CBitmap* lit = new CBitmap(146);
    CBitmap* unlit = new CBitmap(147);
    auto* vu = new CVuMeter(CRect(608, 340, 620, 402), lit, unlit, 24, kVertical);
    lit->forget();
    unlit->forget();
    vu->setDecreaseStepValue(0.04f);
    vu->setOldValue(0.f);
    vu->setValue(0.7f);
    frame.addView(vu);
    CBitmap* programs = new CBitmap(134);
    auto* sw = new CHorizontalSwitch(CRect(640, 350, 865, 370), &l, 12, 16, 20, 16, programs, CPoint(0, 0));
    programs->forget();
    sw->setTransparency(true);
    frame.addView(sw);

    // Buttons: kick buttons and on/off buttons at their panel places.
    struct Button {
        long id, l, t, r, b;
        bool onOff;
        float value;
    };
    const Button buttons[] = {
        {143, 746, 383, 780, 393, false, 0}, {144, 705, 385, 739, 397, false, 0}, {140, 785, 385, 822, 397, false, 0},
        {141, 825, 383, 866, 396, false, 0}, {136, 343, 38, 374, 54, true, 1},    {173, 159, 39, 233, 51, false, 0},
        {139, 238, 38, 334, 55, true, 0},    {160, 9, 180, 42, 189, true, 1},     {161, 48, 179, 104, 193, true, 0},
        {162, 109, 177, 162, 189, true, 0},  {163, 168, 177, 233, 189, false, 0}, {164, 237, 180, 303, 189, false, 0},
        {165, 309, 178, 376, 190, false, 0}};
    for (const Button& b : buttons) {
        CBitmap* img = new CBitmap(b.id);
        CRect r(b.l, b.t, b.r, b.b);
        CControl* c = b.onOff ? static_cast<CControl*>(new COnOffButton(r, &l, 0, img))
                              : new CKickButton(r, &l, 0, img->getHeight() / 2, img, CPoint(0, 0));
        img->forget();
        c->setTransparency(true);
        c->setValue(b.value);
        frame.addView(c);
    }
    CBitmap* preset = new CBitmap(138);
    for (int k = 0; k < 5; ++k) {
        auto* p = new CKickButton(CRect(623, 175 + 37 * k, 631, 184 + 37 * k), &l, 17 + k, 9, preset, CPoint(0, 0));
        auto* q = new CKickButton(CRect(865, 10 + 37 * k, 873, 19 + 37 * k), &l, 22 + k, 9, preset, CPoint(0, 0));
        p->setTransparency(true);
        q->setTransparency(true);
        frame.addView(p);
        frame.addView(q);
    }
    preset->forget();

    // Menus: the options menu with a ticked submenu, and the file menu.
    CBitmap* optionsBack = new CBitmap(170);
    options = new COptionMenu(CRect(14, 40, 73, 56), &l, 266, optionsBack, nullptr, kNoTextStyle);
    optionsBack->forget();
    options->setTransparency(true);
    options->addEntry("Import Options");
    options->addEntry("-");
    sub = new COptionMenu(CRect(), &l, 273, nullptr, nullptr, kCheckStyle | kNoDrawStyle);
    const char* modes[] = {"off", "time view - single grain", "time view - sum output", "freq view - single grain",
                           "freq view - sum output"};
    for (const char* m : modes) sub->addEntry(m);
    sub->setValue(2.f);
    options->addEntry(sub, "Scope View Mode");
    options->addEntry("-");
    options->addEntry("record Sync Unit");
    frame.addView(options);
    CBitmap* fileBack = new CBitmap(172);
    auto* file = new COptionMenu(CRect(80, 40, 154, 52), &l, 262, fileBack, nullptr, kNoTextStyle);
    fileBack->forget();
    file->setTransparency(true);
    file->addEntry("Load .grb program bank");
    frame.addView(file);

    // Status line and a value display.
    CBitmap* statusBack = new CBitmap(137);
    auto* status = new Label(CRect(11, 13, 379, 29), statusBack, "grainwheel v0.9 beta - toolkit gallery");
    statusBack->forget();
    status->setFont(kNormalFont);
    status->setTxtFace(kBoldFace);
    frame.addView(status);
    auto* value = new CParamDisplay(CRect(17, 64, 120, 84), nullptr, kShadowText);
    value->setTransparency(false);
    value->setBackColor(MakeCColor(20, 20, 24));
    value->setFrameColor(MakeCColor(193, 81, 49));
    value->setValue(0.625f);
    frame.addView(value);

    // The splash over the buffer area, opened by a click on its click area.
    CRect display(15, 202, 378, 406);
    CPoint offset(15, 205);
    auto* splash = new CSplashScreen(CRect(393, 342, 599, 402), &l, -1, grid, display, offset);
    frame.addView(splash);

    for (CBitmap* b : {handle, playing, hover, bufHandle, bufCurrent, grid, panel}) b->forget();
}

}  // namespace VSTGUI
