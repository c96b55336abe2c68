// Building the editor's panel, with its tables (bitmaps kept, menu texts, menu orders), and
// the work that reconnects and redraws what it shows.

#include "editor/ad_editor.h"

#include "editor/clabel.h"
#include "editor/wave_display.h"
#include "persistence/messages.h"
#include "resources/panel_layout.h"

namespace grainwheel {

using namespace VSTGUI;

namespace {


inline CRect rectOf(const panel::Rect& r) { return CRect(r.left, r.top, r.right, r.bottom); }

// The bitmaps kept while the editor is open (buttons, hover images, menu backgrounds,
// the status line's background and the alternate panel).
constexpr long kKeptIds[] = {131, 133, 136, 137, 139, 140, 141, 142, 143, 144, 148, 149, 152, 159, 160, 161,
                             162, 163, 164, 165, 166, 167, 168, 169, 170, 171, 172, 173, 174, 175, 176, 177};
static_assert(sizeof(kKeptIds) / sizeof(kKeptIds[0]) == 32);

struct SettingMenuText {
    int tag;
    const char* title;
    const char* const* entries;
    int count;
};

constexpr const char* kTimeValues[] = {"fixed values (whole notes and triplets)", "free  values",
                                       "fixed - linked to density", "free  - linked to density"};
constexpr const char* kSpeedRange[] = {" min 0  ->  max 1", " min 0  ->  max 2", " min -2 ->  max 2", "-",
                                       " pure position"};
constexpr const char* kPitchRange[] = {"min 0 Hz  ->  max +2 octaves", "1 octave up + down",
                                       "1 whole tone up + down"};
constexpr const char* kEnvelope[] = {" trapezoid", " raised cosine", " hanning (fixed envelope)",
                                     " off / rectangular"};
constexpr const char* kCutoff[] = {" cutoff max. 22 kHz", " cutoff max. 11 kHz", " cutoff max. 5.5 kHz"};
constexpr const char* kPlayback[] = {" dont stop (loop mode)", " stop at buffer end", " stop at stepsequence end",
                                     " stop at both"};
constexpr const char* kScopeView[] = {"off", "time view - single grain", "time view - sum output",
                                      "freq view - single grain", "freq view - sum output"};
constexpr const char* kMorphAlgorithm[] = {"off", "1 - a/b weighted copy", "2 - a/b linear copy",
                                           "3 - equally distributed"};
constexpr const char* kMorphStepsize[] = {" 1 -", " 2 -", " 3 -", " 4 -", " 5 -", " 6 -", " 7 -",
                                          " 8 -", " 9 -", "10 -", "11 -", "12 -", "13 -", "14 -",
                                          "15 -", "16 -", "17 -", "18 -", "19 -", "20 -"};
constexpr const char* kRecordSync[] = {"-",    "-",    "4/1",  "3/1", "2/1",  "1/1", "-",    "1/2",
                                       "1/4",  "1/8",  "1/16", "1/32", "1/64", "-",  "3/2",  "3/4",
                                       "3/8",  "3/16", "-",    "5/2",  "5/4",  "5/8", "5/16", "-",
                                       "7/2",  "7/4",  "7/8",  "7/16", "off"};

#define GW_MENU(tag, title, list) {tag, title, list, static_cast<int>(sizeof(list) / sizeof(list[0]))}
constexpr SettingMenuText kSettingMenus[kLastSetting - kFirstSetting + 1] = {
    GW_MENU(kSettingTimeFaderValues, "time Fader Values", kTimeValues),
    GW_MENU(kSettingSpeedFaderRange, "speed Fader Range", kSpeedRange),
    GW_MENU(kSettingPitchFaderRange, "pitch Fader Range", kPitchRange),
    GW_MENU(kSettingEnvelopeType, "Envelope Type", kEnvelope),
    GW_MENU(kSettingFreqCutoff, "freq Cutoff Frequency", kCutoff),
    GW_MENU(kSettingPlaybackMode, "Playback Mode", kPlayback),
    GW_MENU(kSettingScopeViewMode, "Scope View Mode", kScopeView),
    GW_MENU(kSettingMorphAlgorithm, "Morph Algorithm", kMorphAlgorithm),
    GW_MENU(kSettingMorphStepsize, "Morph Stepsize", kMorphStepsize),
    GW_MENU(kSettingRecordSyncUnit, "record Sync Unit", kRecordSync),
};
#undef GW_MENU
const SettingMenuText& settingMenuText(int tag) { return kSettingMenus[tag - kFirstSetting]; }

// The order in which open creates the setting menus, and the order of their reload.
constexpr int kMenuCreationOrder[] = {kSettingScopeViewMode,   kSettingRecordSyncUnit,  kSettingTimeFaderValues,
                                      kSettingSpeedFaderRange, kSettingPitchFaderRange, kSettingEnvelopeType,
                                      kSettingFreqCutoff,      kSettingPlaybackMode,    kSettingMorphStepsize,
                                      kSettingMorphAlgorithm};
constexpr int kMenuReloadOrder[] = {kSettingTimeFaderValues, kSettingSpeedFaderRange, kSettingPitchFaderRange,
                                    kSettingEnvelopeType,    kSettingFreqCutoff,      kSettingPlaybackMode,
                                    kSettingMorphAlgorithm,  kSettingMorphStepsize,   kSettingScopeViewMode,
                                    kSettingRecordSyncUnit};
// The options menu: entries by index; 0 a text, -1 a separator, a tag a submenu.
constexpr int kOptionsLayout[] = {0,  -1, kSettingTimeFaderValues, kSettingSpeedFaderRange, kSettingPitchFaderRange,
                                  kSettingFreqCutoff, kSettingEnvelopeType, kSettingPlaybackMode, -1,
                                  kSettingMorphAlgorithm, kSettingMorphStepsize, -1, kSettingScopeViewMode, -1,
                                  kSettingRecordSyncUnit};

// The four fader columns: the first tag and where the value 0 sits. Every fader returns
// to its parameter's reset value.
struct ColumnLook {
    int firstTag;
    long style;
};
constexpr ColumnLook kColumns[panel::kNumColumns] = {{kTime, kTop}, {kSpeed, kBottom}, {kPitch, kBottom}, {kFreq, kBottom}};

// The four single faders.
struct SingleFader {
    panel::Rect rect;
    int tag;
    long style;
};
constexpr SingleFader kSingleFaders[] = {
    {panel::kDensityFader, kDensity, kBottom},
    {panel::kSustainFader, kEnvSust, kBottom},
    {panel::kResonanceFader, kReso, kBottom},
    {panel::kUnitLengthFader, kUnitDura, kTop},
};

// The buttons after the menus, in the order they are made: kick or on-off, and the
// kept bitmap each draws.
struct ButtonLook {
    panel::Rect rect;
    int tag;
    long bitmap;
    bool onOff;
};
constexpr ButtonLook kProgramButtons[] = {
    {panel::kNextButton, kNextProg, 143, false},
    {panel::kPrevButton, kPrevProg, 144, false},
    {panel::kCopyButton, kCopyPrg, 140, false},
    {panel::kPasteButton, kPastePrg, 141, false},
};
constexpr ButtonLook kFileButtons[] = {
    {panel::kSaveBankButton, kSaveBankButton, 173, false},
    {panel::kTrigModeButton, kTrigmode, 139, true},
    {panel::kMonitorButton, kMonitor, 160, true},
    {panel::kRecSyncButton, kRecSync, 161, true},
    {panel::kRecFreeButton, kRecFree, 162, true},
    {panel::kLoadWaveButton, kLoadWaveButton, 163, false},
    {panel::kSaveWaveButton, kSaveWaveButton, 164, false},
    {panel::kKillBufferButton, kKillBufr, 165, false},
};

}  // namespace

CBitmap* ADEditor::keptBitmap(long id) const {
    for (int i = 0; i < kNumKept; ++i)
        if (kKeptIds[i] == id) return ui_.kept[i];
    return nullptr;
}

void ADEditor::add(CControl* c, bool onPanel) {
    const long tag = c->getTag();
    if (tag > 0 && tag < kNumTags) ui_.controls[tag] = c;
    if (onPanel) panelFrame()->addView(c);
}

void ADEditor::buildPanel(void* parentWindow) {
    EffectPort* fx = port_.get();
    auto param = [fx](int tag) { return fx ? fx->getParameter(tag) : 0.0f; };
    OpenState& s = ui_;

    // Bitmaps: handles, the alternate panel and everything the buttons keep.
    s.handleNormal = new CBitmap(130);
    s.handlePlaying = new CBitmap(153);
    s.handleHover = new CBitmap(154);
    s.handleHoverPlaying = new CBitmap(155);
    s.bufferHandle = new CBitmap(151);
    s.bufferHandleCurrent = new CBitmap(156);
    for (int i = 0; i < kNumKept; ++i) s.kept[i] = new CBitmap(kKeptIds[i]);
    s.gridPanel = keptBitmap(131);

    CRect size(0, 0, panelBitmap->getWidth(), panelBitmap->getHeight());
    if (size.isEmpty()) size = CRect(0, 0, panel::kWidth, panel::kHeight);
    CFrame* f = createPlatformFrame(size, parentWindow, this);
    frame_ = f;
    attachScale(f);
    f->setBackground(panelBitmap);

    // The scopes and the splash image over the small scope.
    s.mainScope = WaveDisplay::mainScope(rectOf(panel::kMainScope), this, panelBitmap);
    s.scopeLayers[0] = makeScopeLayer();
    s.scopeLayers[1] = makeScopeLayer();
    s.mainScope->setLayers(s.scopeLayers[0], s.scopeLayers[1]);
    f->addView(s.mainScope);
    s.smallScope = WaveDisplay::smallScope(rectOf(panel::kSmallScope), this, panelBitmap);
    f->addView(s.smallScope);
    {
        CRect display = rectOf(panel::kSplashArea);
        CPoint offset(panel::kSplashSourceX, panel::kSplashSourceY);
        s.splash = new CSplashScreen(rectOf(panel::kSmallScope), this, -1, s.gridPanel, display, offset);
        s.splash->setTransparency(false);
        f->addView(s.splash);
    }

    // The status line.
    s.statusLabel = new CLabel(rectOf(panel::kStatusLabel), keptBitmap(137), kVersionText);
    s.statusLabel->setTransparency(false);
    s.statusLabel->setFont(kNormalFont);
    s.statusLabel->setFontColor(kWhiteCColor);
    s.statusLabel->setBackColor(kBlackCColor);
    s.statusLabel->setFrameColor(kBlackCColor);
    s.statusLabel->setShadowColor(kGreyCColor);
    s.statusLabel->setTxtFace(kBoldFace);
    f->addView(s.statusLabel);

    // The buffers: scope and start-position slider each.
    for (int i = 0; i < panel::kNumBuffers; ++i) {
        s.bufferScopes[i] = WaveDisplay::bufferThumbnail(rectOf(panel::bufferScope(i)), this, panelBitmap, i);
        f->addView(s.bufferScopes[i]);
        const CRect r = rectOf(panel::bufferSlider(i));
        auto* slider = new CHorizontalSlider(r, this, kBufPos + i, r.left, r.left + panel::kBufferSliderTravel,
                                             s.bufferHandle, panelBitmap, CPoint(r.left, r.top), kLeft);
        slider->setValue(param(kBufPos + i));
        slider->setDefaultValue(parameterInfo(kBufPos + i).reset);
        add(slider);
    }
    connectScopes();
    if (fx) {
        const int b = fx->currentBuffer();
        if (b >= 0 && b < panel::kNumBuffers) bufferSlider(b)->setHandle(s.bufferHandleCurrent);
    }

    // The VU meter.
    {
        CBitmap* lit = new CBitmap(146);
        CBitmap* unlit = new CBitmap(147);
        s.vuMeter = new CVuMeter(rectOf(panel::kVuMeter), lit, unlit, 24, kVertical);
        s.vuMeter->setDecreaseStepValue(0.04f);
        s.vuMeter->setOldValue(0.0f);
        s.vuMeter->setValue(0.0f);
        f->addView(s.vuMeter);
        lit->forget();
        unlit->forget();
    }

    // The four fader columns.
    CBitmap* columnBackground = param(kGrid) != 0.0f ? s.gridPanel : panelBitmap;
    for (int c = 0; c < panel::kNumColumns; ++c) {
        const ColumnLook& look = kColumns[c];
        for (int i = 0; i < panel::kNumUnits; ++i) {
            const CRect r = rectOf(panel::columnFader(c, i));
            auto* fader = new CVerticalSlider(r, this, look.firstTag + i, r.top, r.bottom - panel::kHandleHeight,
                                              s.handleNormal, columnBackground, CPoint(r.left, r.top), look.style);
            fader->setValue(param(look.firstTag + i));
            fader->setDefaultValue(parameterInfo(look.firstTag + i).reset);
            fader->setDrawTransparentHandle(true);
            fader->setTransparency(true);
            add(fader);
        }
    }

    // The four single faders.
    for (const SingleFader& d : kSingleFaders) {
        const CRect r = rectOf(d.rect);
        const long travel = d.rect.height() - panel::kHandleHeight;
        auto* fader = new CVerticalSlider(r, this, d.tag, r.top, r.top + travel, s.handleHover, panelBitmap,
                                          CPoint(r.left, r.top), d.style);
        fader->setValue(param(d.tag));
        fader->setDefaultValue(parameterInfo(d.tag).reset);
        fader->setDrawTransparentHandle(false);
        fader->setTransparency(false);
        add(fader);
    }

    // The level knob.
    setGlobalKnobMode(kLinearMode);
    {
        CBitmap* knobHandle = new CBitmap(158);
        const CRect r = rectOf(panel::kLevelKnob);
        auto* knob = new CKnob(r, this, kMainLevl, panelBitmap, knobHandle, CPoint(r.left, r.top));
        knob->setDefaultValue(parameterInfo(kMainLevl).reset);
        knob->setInsetValue(7);
        knob->setValue(param(kMainLevl));
        add(knob);
        knobHandle->forget();
    }

    // Preset buttons.
    {
        CBitmap* presetImage = new CBitmap(138);
        const long half = presetImage->getHeight() / 2;
        for (int k = 0; k < panel::kNumPresets; ++k) {
            auto* b = new CKickButton(rectOf(panel::pitchPreset(k)), this, kPitchPreset + k, half, presetImage,
                                      CPoint(0, 0));
            b->setTransparency(true);
            add(b);
        }
        for (int k = 0; k < panel::kNumPresets; ++k) {
            auto* b = new CKickButton(rectOf(panel::speedPreset(k)), this, kSpeedPreset + k, half, presetImage,
                                      CPoint(0, 0));
            b->setTransparency(true);
            add(b);
        }
        presetImage->forget();
    }

    // Programs.
    auto button = [&](const ButtonLook& look) {
        CBitmap* b = keptBitmap(look.bitmap);
        CControl* c = nullptr;
        if (look.onOff) {
            c = new COnOffButton(rectOf(look.rect), this, look.tag, b);
            c->setValue(param(look.tag));
        } else {
            c = new CKickButton(rectOf(look.rect), this, look.tag, b->getHeight() / 2, b, CPoint(0, 0));
        }
        c->setTransparency(true);
        add(c);
    };
    {
        CBitmap* programImage = new CBitmap(134);
        auto* programs = new CHorizontalSwitch(rectOf(panel::kProgramSwitch), this, kProgram, 16, 20, 16,
                                               programImage, CPoint(0, 0));
        programs->setTransparency(true);
        programs->setValue(param(kProgram));
        add(programs);
        programImage->forget();
    }
    for (const ButtonLook& look : kProgramButtons) button(look);

    // The hidden setting menus, then the options menu that holds them.
    for (int tag : kMenuCreationOrder) {
        const SettingMenuText& t = settingMenuText(tag);
        auto* m = new COptionMenu(CRect(0, 0, 0, 0), this, tag, nullptr, nullptr, kCheckStyle | kNoDrawStyle);
        m->setHoriAlign(kLeftText);
        for (int e = 0; e < t.count; ++e) m->addEntry(t.entries[e], e);
        m->setValue(param(tag));
        add(m, false);
    }
    auto* options = new COptionMenu(rectOf(panel::kOptionsMenu), this, kOptionsMenuTag, keptBitmap(170), nullptr,
                                    kNoTextStyle);
    options->setHoriAlign(kLeftText);
    options->setTransparency(true);
    for (int e : kOptionsLayout) {
        if (e == 0) options->addEntry("Import Options");
        else if (e < 0) options->addEntry("-");
        else options->addEntry(settingMenu(e), settingMenuText(e).title);
    }
    add(options);
    button({panel::kGridButton, kGrid, 136, true});
    auto* files = new COptionMenu(rectOf(panel::kFileMenu), this, kFileMenuTag, keptBitmap(172), nullptr,
                                  kNoTextStyle);
    files->setTransparency(true);
    files->setHoriAlign(kLeftText);
    ui_.controls[kFileMenuTag] = files;
    rebuildFileMenu();
    f->addView(files);
    for (const ButtonLook& look : kFileButtons) button(look);
}

// --- redrawing ---------------------------------------------------------------------------

void ADEditor::refreshAfterLoad() {
    if (!isOpen()) return;
    redrawEverything();
}

void ADEditor::redrawEverything() {
    if (CFrame* f = panelFrame()) f->setDirty();
    for (WaveDisplay* b : ui_.bufferScopes)
        if (b) b->setDirty();
    if (ui_.mainScope) ui_.mainScope->setStale();
}

void ADEditor::reloadSettingMenus() {
    if (!port_) return;
    for (int tag : kMenuReloadOrder)
        if (COptionMenu* m = settingMenu(tag)) m->setValue(port_->getParameter(tag));
    if (ui_.mainScope) ui_.mainScope->setStale();
    if (COptionMenu* options = optionsMenuView()) options->setDirty();
}

void ADEditor::applyGrid(float value) {
    CBitmap* background = value != 0.0f ? ui_.gridPanel : panelBitmap;
    for (int c = 0; c < panel::kNumColumns; ++c)
        for (int i = 0; i < panel::kNumUnits; ++i)
            if (CSlider* s = faderOf(c, i)) {
                s->setBackground(background);
                s->setDirty();
            }
}

}  // namespace grainwheel
