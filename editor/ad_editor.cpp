#include "editor/ad_editor.h"

#include <cmath>
#include <cstring>
#include <string>

#include "editor/clabel.h"
#include "editor/file_commands.h"
#include "resources/panel_layout.h"
#include "editor/wave_display.h"
#include "persistence/effect_state.h"
#include "persistence/recent_banks.h"

namespace grainwheel {

using namespace VSTGUI;

namespace {

constexpr const char* kVersionText = "grainwheel v0.9 beta";
constexpr float kUnitLengthDefault = 0.43089432f;

// Parameter and notice indices the editor reacts to.
enum : int {
    kTagLevel = 1, kTagDensity = 2, kTagUnitDura = 3, kTagSustain = 4, kTagReso = 5,
    kTagTrigmode = 6, kTagGrid = 7, kTagMonitor = 8, kTagRecFree = 9, kTagRecSync = 10,
    kTagKill = 11, kTagProgram = 12, kTagNext = 13, kTagPrev = 14, kTagCopy = 15, kTagPaste = 16,
    kTagPitchPreset = 17, kTagSpeedPreset = 22, kTagBufPos = 27, kTagTime = 43, kTagSpeed = 59,
    kTagPitch = 75, kTagFreq = 91, kLastParameter = 106,
    kNoticeExitSave = 250, kNoticeBuffers = 251, kNoticeRedraw = 252, kNoticeMenus = 253,
    kNoticeScopeClick = 254, kNoticeStopGrains = 255, kNoticeMainScopeClick = 256,
    kIndexSelectBuffer = 257, kIndexPeak = 259,
    kTagLoadWave = 261, kTagFileMenu = 262, kTagSaveBank = 263, kTagSaveWave = 264,
    kIndexVoiceCount = 265, kTagOptionsMenu = 266, kFirstSettingTag = 267, kLastSettingTag = 276,
    kTagRecordSyncUnit = 276,
};

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
constexpr SettingMenuText kSettingMenus[10] = {
    GW_MENU(267, "time Fader Values", kTimeValues),
    GW_MENU(268, "speed Fader Range", kSpeedRange),
    GW_MENU(269, "pitch Fader Range", kPitchRange),
    GW_MENU(270, "Envelope Type", kEnvelope),
    GW_MENU(271, "freq Cutoff Frequency", kCutoff),
    GW_MENU(272, "Playback Mode", kPlayback),
    GW_MENU(273, "Scope View Mode", kScopeView),
    GW_MENU(274, "Morph Algorithm", kMorphAlgorithm),
    GW_MENU(275, "Morph Stepsize", kMorphStepsize),
    GW_MENU(276, "record Sync Unit", kRecordSync),
};
#undef GW_MENU

// The order in which open creates the setting menus, and the order of 253's reload.
constexpr int kMenuCreationOrder[10] = {273, 276, 267, 268, 269, 270, 271, 272, 275, 274};
constexpr int kMenuReloadOrder[10] = {267, 268, 269, 270, 271, 272, 274, 275, 273, 276};
// optionsMenu: entries by index; 0 a text, -1 a separator, a tag a submenu.
constexpr int kOptionsLayout[15] = {0, -1, 267, 268, 269, 271, 270, 272, -1, 274, 275, -1, 273, -1, 276};

constexpr const char* kLoadBankEntry = "Load .grb program bank";


int truncToInt(float v) {
    if (!(v > -2.0e9f && v < 2.0e9f)) return -1;  // NaN or beyond: no table entry
    return static_cast<int>(v);
}

}  // namespace

// --- construction -----------------------------------------------------------------------

ADEditor::ADEditor(AudioEffect* owner) : ADEditor(owner, nullptr) {}

ADEditor::ADEditor(AudioEffect* owner, std::unique_ptr<EffectPort> port)
    : AEffGUIEditor(owner), port_(port ? std::move(port) : makeEffectPort(owner)) {
    static_assert(std::atomic<std::thread::id>::is_always_lock_free);
    panelBitmap = new CBitmap(128);
    rect.top = 0;
    rect.left = 0;
    rect.bottom = static_cast<VstInt16>(panelBitmap->isLoaded() ? panelBitmap->getHeight() : panel::kHeight);
    rect.right = static_cast<VstInt16>(panelBitmap->isLoaded() ? panelBitmap->getWidth() : panel::kWidth);
}

ADEditor::~ADEditor() {
    if (isOpen() || frame != nullptr) close();
    if (panelBitmap) panelBitmap->forget();
    panelBitmap = nullptr;
}

CFrame* ADEditor::panelFrame() const { return static_cast<CFrame*>(frame); }

CBitmap* ADEditor::keptBitmap(long id) const {
    for (int i = 0; i < kNumKept; ++i)
        if (kKeptIds[i] == id) return kept[i];
    return nullptr;
}

void ADEditor::releaseBitmap(CBitmap*& b) {
    if (b) b->forget();
    b = nullptr;
}

// --- open and close ---------------------------------------------------------------------

VstInt32 ADEditor::open(void* ptr) {
    if (isOpen() || frame != nullptr) close();  // a second open rebuilds
    uiThread_.store(std::this_thread::get_id(), std::memory_order_relaxed);
    AEffGUIEditor::open(ptr);
    buildPanel();
    open_.store(true, std::memory_order_seq_cst);
    idle();
    return 1;
}

void ADEditor::buildPanel() {
    EffectPort* fx = port_.get();
    auto param = [fx](int tag) { return fx ? fx->getParameter(tag) : 0.0f; };

    // Bitmaps: sizes, handles, the alternate panel and everything the buttons keep.
    CBitmap* singleSize = new CBitmap(129);
    CBitmap* columnSize = new CBitmap(132);
    handleNormal = new CBitmap(130);
    handlePlaying = new CBitmap(153);
    handleHover = new CBitmap(154);
    handleHoverPlaying = new CBitmap(155);
    bufferHandle = new CBitmap(151);
    bufferHandleCurrent = new CBitmap(156);
    for (int i = 0; i < kNumKept; ++i) kept[i] = new CBitmap(kKeptIds[i]);
    gridPanel = keptBitmap(131);

    CRect size(0, 0, panelBitmap->getWidth(), panelBitmap->getHeight());
    if (size.isEmpty()) size = CRect(0, 0, panel::kWidth, panel::kHeight);
    CFrame* f = createPlatformFrame(size, systemWindow, this);
    frame = f;
    f->setBackground(panelBitmap);

    // The scopes and the splash image over the small scope.
    mainScope = new WaveDisplay(rectOf(panel::kMainScope), this, panelBitmap, MakeCColor(193, 81, 49),
                                MakeCColor(0, 0, 0), 361, 41);
    scopeLayers[0] = new COffscreenContext(f, 363, 110, kWhiteCColor);
    scopeLayers[1] = new COffscreenContext(f, 363, 110, kWhiteCColor);
    mainScope->setLayers(scopeLayers[0], scopeLayers[1]);
    f->addView(mainScope);
    smallScope = new WaveDisplay(rectOf(panel::kSmallScope), this, panelBitmap, MakeCColor(204, 204, 204),
                                 MakeCColor(95, 85, 210), 206, 42);
    f->addView(smallScope);
    {
        CRect display = rectOf(panel::kSplashArea);
        CPoint offset(panel::kSplashSourceX, panel::kSplashSourceY);
        panelSplash = new CSplashScreen(rectOf(panel::kSmallScope), this, -1, gridPanel, display, offset);
        panelSplash->setTransparency(false);
        f->addView(panelSplash);
    }

    // The status line.
    statusLabel = new CLabel(rectOf(panel::kStatusLabel), keptBitmap(137), kVersionText);
    statusLabel->setTransparency(false);
    statusLabel->setFont(kNormalFont);
    statusLabel->setFontColor(kWhiteCColor);
    statusLabel->setBackColor(kBlackCColor);
    statusLabel->setFrameColor(kBlackCColor);
    statusLabel->setShadowColor(kGreyCColor);
    statusLabel->setTxtFace(kBoldFace);
    f->addView(statusLabel);

    // The buffers: scope and start-position slider each.
    for (int i = 0; i < panel::kNumBuffers; ++i) {
        bufferScopes[i] = new WaveDisplay(rectOf(panel::bufferScope(i)), this, panelBitmap,
                                          MakeCColor(204, 204, 204), MakeCColor(193, 81, 49), 74, i);
        f->addView(bufferScopes[i]);
        const CRect r = rectOf(panel::bufferSlider(i));
        bufferSliders[i] = new CHorizontalSlider(r, this, kTagBufPos + i, r.left,
                                                 r.left + panel::kBufferSliderTravel, bufferHandle, panelBitmap,
                                                 CPoint(r.left, r.top), kLeft);
        bufferSliders[i]->setValue(param(kTagBufPos + i));
        bufferSliders[i]->setDefaultValue(0.0f);
        f->addView(bufferSliders[i]);
    }
    connectScopes();
    if (fx) {
        const int b = fx->currentBuffer();
        if (b >= 0 && b < panel::kNumBuffers) bufferSliders[b]->setHandle(bufferHandleCurrent);
    }

    // The VU meter.
    {
        CBitmap* lit = new CBitmap(146);
        CBitmap* unlit = new CBitmap(147);
        vuMeter = new CVuMeter(rectOf(panel::kVuMeter), lit, unlit, 24, kVertical);
        vuMeter->setDecreaseStepValue(0.04f);
        vuMeter->setOldValue(0.0f);
        vuMeter->setValue(0.0f);
        f->addView(vuMeter);
        lit->forget();
        unlit->forget();
    }

    // The four fader columns.
    const bool grid = param(kTagGrid) != 0.0f;
    CBitmap* columnBackground = grid ? gridPanel : panelBitmap;
    const float columnDefaults[4] = {0.5f, 1.0f, 0.5f, 1.0f};
    const int columnTags[4] = {kTagTime, kTagSpeed, kTagPitch, kTagFreq};
    CVerticalSlider** columns[4] = {timeFaders, speedFaders, pitchFaders, freqFaders};
    for (int c = 0; c < panel::kNumColumns; ++c) {
        for (int i = 0; i < panel::kNumUnits; ++i) {
            const CRect r = rectOf(panel::columnFader(c, i));
            auto* s = new CVerticalSlider(r, this, columnTags[c] + i, r.top, r.bottom - panel::kHandleHeight,
                                          handleNormal, columnBackground, CPoint(r.left, r.top),
                                          c == panel::kTimeColumn ? kTop : kBottom);
            s->setValue(param(columnTags[c] + i));
            s->setDefaultValue(columnDefaults[c]);
            s->setDrawTransparentHandle(true);
            s->setTransparency(true);
            f->addView(s);
            columns[c][i] = s;
        }
    }

    // The four single faders.
    struct Single {
        CVerticalSlider** member;
        panel::Rect rect;
        int tag;
        float defaultValue;
        long style;
    };
    const Single singles[4] = {
        {&densityFader, panel::kDensityFader, kTagDensity, 1.0f, kBottom},
        {&sustainFader, panel::kSustainFader, kTagSustain, 0.5f, kBottom},
        {&resonanceFader, panel::kResonanceFader, kTagReso, 0.5f, kBottom},
        {&unitLengthFader, panel::kUnitLengthFader, kTagUnitDura, kUnitLengthDefault, kTop},
    };
    const long singleTravel = singleSize->getHeight() > 0 ? singleSize->getHeight() - panel::kHandleHeight : 123;
    for (const Single& d : singles) {
        const CRect r = rectOf(d.rect);
        auto* s = new CVerticalSlider(r, this, d.tag, r.top, r.top + singleTravel, handleHover, panelBitmap,
                                      CPoint(r.left, r.top), d.style);
        s->setValue(param(d.tag));
        s->setDefaultValue(d.defaultValue);
        s->setDrawTransparentHandle(false);
        s->setTransparency(false);
        f->addView(s);
        *d.member = s;
    }

    // The level knob.
    setGlobalKnobMode(kLinearMode);
    {
        CBitmap* knobSize = new CBitmap(157);
        CBitmap* knobHandle = new CBitmap(158);
        const CRect r = rectOf(panel::kLevelKnob);
        levelKnob = new CKnob(r, this, kTagLevel, panelBitmap, knobHandle, CPoint(r.left, r.top));
        levelKnob->setDefaultValue(0.5f);
        levelKnob->setInsetValue(7);
        levelKnob->setValue(param(kTagLevel));
        f->addView(levelKnob);
        knobSize->forget();
        knobHandle->forget();
    }

    // Preset buttons.
    {
        CBitmap* presetImage = new CBitmap(138);
        const long half = presetImage->getHeight() / 2;
        for (int k = 0; k < panel::kNumPresets; ++k) {
            pitchPresetButtons[k] = new CKickButton(rectOf(panel::pitchPreset(k)), this, kTagPitchPreset + k, half,
                                                    presetImage, CPoint(0, 0));
            pitchPresetButtons[k]->setTransparency(true);
            f->addView(pitchPresetButtons[k]);
        }
        for (int k = 0; k < panel::kNumPresets; ++k) {
            speedPresetButtons[k] = new CKickButton(rectOf(panel::speedPreset(k)), this, kTagSpeedPreset + k, half,
                                                    presetImage, CPoint(0, 0));
            speedPresetButtons[k]->setTransparency(true);
            f->addView(speedPresetButtons[k]);
        }
        presetImage->forget();
    }

    // Programs.
    auto kick = [&](const panel::Rect& r, int tag, long id) {
        CBitmap* b = keptBitmap(id);
        auto* k = new CKickButton(rectOf(r), this, tag, b->getHeight() / 2, b, CPoint(0, 0));
        k->setTransparency(true);
        f->addView(k);
        return k;
    };
    auto onOff = [&](const panel::Rect& r, int tag, long id) {
        auto* o = new COnOffButton(rectOf(r), this, tag, keptBitmap(id));
        o->setValue(param(tag));
        o->setTransparency(true);
        f->addView(o);
        return o;
    };
    {
        CBitmap* programImage = new CBitmap(134);
        programSwitch = new CHorizontalSwitch(rectOf(panel::kProgramSwitch), this, kTagProgram, 16, 20, 16,
                                              programImage, CPoint(0, 0));
        programSwitch->setTransparency(true);
        programSwitch->setValue(param(kTagProgram));
        f->addView(programSwitch);
        programImage->forget();
    }
    nextButton = kick(panel::kNextButton, kTagNext, 143);
    prevButton = kick(panel::kPrevButton, kTagPrev, 144);
    copyButton = kick(panel::kCopyButton, kTagCopy, 140);
    pasteButton = kick(panel::kPasteButton, kTagPaste, 141);

    // The hidden setting menus, then the options menu that holds them.
    for (int tag : kMenuCreationOrder) {
        const SettingMenuText& t = kSettingMenus[tag - kFirstSettingTag];
        auto* m = new COptionMenu(CRect(0, 0, 0, 0), this, tag, nullptr, nullptr, kCheckStyle | kNoDrawStyle);
        m->setHoriAlign(kLeftText);
        for (int e = 0; e < t.count; ++e) m->addEntry(t.entries[e], e);
        m->setValue(param(tag));
        settingMenus[tag - kFirstSettingTag] = m;
    }
    optionsMenu = new COptionMenu(rectOf(panel::kOptionsMenu), this, kTagOptionsMenu, keptBitmap(170), nullptr,
                                  kNoTextStyle);
    optionsMenu->setHoriAlign(kLeftText);
    optionsMenu->setTransparency(true);
    for (int e : kOptionsLayout) {
        if (e == 0) optionsMenu->addEntry("Import Options");
        else if (e < 0) optionsMenu->addEntry("-");
        else optionsMenu->addEntry(settingMenus[e - kFirstSettingTag], kSettingMenus[e - kFirstSettingTag].title);
    }
    f->addView(optionsMenu);
    gridButton = onOff(panel::kGridButton, kTagGrid, 136);
    fileMenu = new COptionMenu(rectOf(panel::kFileMenu), this, kTagFileMenu, keptBitmap(172), nullptr,
                               kNoTextStyle);
    fileMenu->setTransparency(true);
    fileMenu->setHoriAlign(kLeftText);
    rebuildFileMenu();
    f->addView(fileMenu);
    saveBankButton = kick(panel::kSaveBankButton, kTagSaveBank, 173);
    trigModeButton = onOff(panel::kTrigModeButton, kTagTrigmode, 139);
    monitorButton = onOff(panel::kMonitorButton, kTagMonitor, 160);
    recSyncButton = onOff(panel::kRecSyncButton, kTagRecSync, 161);
    recFreeButton = onOff(panel::kRecFreeButton, kTagRecFree, 162);
    loadWaveButton = kick(panel::kLoadWaveButton, kTagLoadWave, 163);
    saveWaveButton = kick(panel::kSaveWaveButton, kTagSaveWave, 164);
    killBufferButton = kick(panel::kKillBufferButton, kTagKill, 165);

    singleSize->forget();
    columnSize->forget();
}

void ADEditor::close() {
    if (!isOpen() && frame == nullptr) return;
    // No notice from another thread may touch a control from here on.
    open_.store(false, std::memory_order_seq_cst);
    while (inFlight_.load(std::memory_order_seq_cst) != 0) std::this_thread::yield();

    if (hoveredControl && savedBackground) hoveredControl->setBackground(savedBackground);
    for (CBitmap*& b : kept) releaseBitmap(b);
    gridPanel = nullptr;
    if (mainScope) mainScope->setLayers(nullptr, nullptr);
    for (COffscreenContext*& c : scopeLayers) {
        if (c) c->forget();
        c = nullptr;
    }
    hoveredControl = nullptr;
    savedBackground = nullptr;
    shownUnit = -1;
    recordedBuffer = -1;
    if (CFrame* f = panelFrame()) f->forget();
    frame = nullptr;
    for (COptionMenu*& m : settingMenus) {
        if (m) m->forget();
        m = nullptr;
    }
    releaseBitmap(handleNormal);
    releaseBitmap(handlePlaying);
    releaseBitmap(handleHover);
    releaseBitmap(handleHoverPlaying);
    releaseBitmap(bufferHandle);
    releaseBitmap(bufferHandleCurrent);

    mainScope = smallScope = nullptr;
    for (int i = 0; i < 16; ++i) {
        bufferScopes[i] = nullptr;
        bufferSliders[i] = nullptr;
        timeFaders[i] = speedFaders[i] = pitchFaders[i] = freqFaders[i] = nullptr;
    }
    densityFader = unitLengthFader = sustainFader = resonanceFader = nullptr;
    levelKnob = nullptr;
    vuMeter = nullptr;
    for (int k = 0; k < 5; ++k) pitchPresetButtons[k] = speedPresetButtons[k] = nullptr;
    programSwitch = nullptr;
    nextButton = prevButton = copyButton = pasteButton = nullptr;
    optionsMenu = fileMenu = nullptr;
    gridButton = trigModeButton = monitorButton = recSyncButton = recFreeButton = nullptr;
    loadWaveButton = saveWaveButton = saveBankButton = killBufferButton = nullptr;
    panelSplash = nullptr;
    statusLabel = nullptr;
    pending_.store(0, std::memory_order_relaxed);
}

// --- scopes -----------------------------------------------------------------------------

namespace {
void connect(WaveDisplay* v, const ScopeSources& s) {
    if (!v) return;
    v->setBufferRecords(s.records);
    v->setCurrentBuffer(s.currentBuffer);
    v->setScopeMode(s.scopeMode);
    if (v->getIdentifier() == WaveDisplay::kMainScope)
        v->setPlayState(s.playPosition, s.grainLength, s.grainInterval, s.recording);
    if (v->getIdentifier() == WaveDisplay::kSmallScope) {
        v->setCapture(s.captureBuffer, s.captureState, s.currentLength);
        v->setRampBreak(9);  // the integer part of 100 / (44100 / 4096)
    }
    v->setStale();
}
}  // namespace

void ADEditor::connectScopes() {
    if (!port_) return;
    const ScopeSources s = port_->scopeSources();
    connect(mainScope, s);
    connect(smallScope, s);
    for (WaveDisplay* b : bufferScopes) connect(b, s);
}

void ADEditor::reconnectBufferScopes() {
    if (!port_) return;
    const ScopeSources s = port_->scopeSources();
    connect(mainScope, s);
    if (mainScope) mainScope->setDirty();
    for (WaveDisplay* b : bufferScopes) {
        connect(b, s);
        if (b) b->setDirty();
    }
}

void ADEditor::refreshAfterLoad() {
    if (!isOpen()) return;
    if (CFrame* f = panelFrame()) f->setDirty();
    for (WaveDisplay* b : bufferScopes)
        if (b) b->setDirty();
    if (mainScope) mainScope->setStale();
    postUpdate();
}

void ADEditor::redrawEverything() {
    if (CFrame* f = panelFrame()) f->setDirty();
    for (WaveDisplay* b : bufferScopes)
        if (b) b->setDirty();
    if (mainScope) mainScope->setStale();
    postUpdate();
}

void ADEditor::reloadSettingMenus() {
    if (!port_) return;
    for (int tag : kMenuReloadOrder)
        if (COptionMenu* m = settingMenus[tag - kFirstSettingTag]) m->setValue(port_->getParameter(tag));
    if (mainScope) mainScope->setStale();
    if (optionsMenu) optionsMenu->setDirty();
}

void ADEditor::applyGrid(float value) {
    CBitmap* background = value != 0.0f ? gridPanel : panelBitmap;
    for (int c = 0; c < panel::kNumColumns; ++c)
        for (int i = 0; i < panel::kNumUnits; ++i)
            if (CSlider* s = faderOf(c, i)) {
                s->setBackground(background);
                s->setDirty();
            }
}

// --- the file menu ----------------------------------------------------------------------

void ADEditor::rebuildFileMenu() {
    if (!fileMenu) return;
    fileMenu->removeAllEntry();
    fileMenu->addEntry(kLoadBankEntry);
    fileMenu->addEntry("-");
    for (int i = 0; i < kNumRecentBanks; ++i)
        fileMenu->addEntry(recentMenuText(port_ ? port_->recentBank(i) : "").c_str());
    fileMenu->setDirty();
}

bool ADEditor::fileMenuCurrent() const {
    if (!fileMenu || !port_) return true;
    if (fileMenu->getNbEntries() != kFirstRecentEntry + kNumRecentBanks) return false;
    for (int i = 0; i < kNumRecentBanks; ++i) {
        const char* shown = fileMenu->getEntry(kFirstRecentEntry + i);
        if (!shown || recentMenuText(port_->recentBank(i)) != shown) return false;
    }
    return true;
}

// --- lookups ----------------------------------------------------------------------------

CSlider* ADEditor::faderOf(int column, int i) const {
    if (i < 0 || i >= panel::kNumUnits) return nullptr;
    switch (column) {
    case panel::kTimeColumn: return timeFaders[i];
    case panel::kSpeedColumn: return speedFaders[i];
    case panel::kPitchColumn: return pitchFaders[i];
    case panel::kFreqColumn: return freqFaders[i];
    default: return nullptr;
    }
}

CVerticalSlider* ADEditor::columnFader(int column, int i) const {
    return static_cast<CVerticalSlider*>(faderOf(column, i));
}

COptionMenu* ADEditor::settingMenu(int tag) const {
    if (tag < kFirstSettingTag || tag > kLastSettingTag) return nullptr;
    return settingMenus[tag - kFirstSettingTag];
}

CControl* ADEditor::controlWithTag(long tag) const {
    switch (tag) {
    case kTagLevel: return levelKnob;
    case kTagDensity: return densityFader;
    case kTagUnitDura: return unitLengthFader;
    case kTagSustain: return sustainFader;
    case kTagReso: return resonanceFader;
    case kTagTrigmode: return trigModeButton;
    case kTagGrid: return gridButton;
    case kTagMonitor: return monitorButton;
    case kTagRecFree: return recFreeButton;
    case kTagRecSync: return recSyncButton;
    case kTagKill: return killBufferButton;
    case kTagProgram: return programSwitch;
    case kTagNext: return nextButton;
    case kTagPrev: return prevButton;
    case kTagCopy: return copyButton;
    case kTagPaste: return pasteButton;
    case kTagLoadWave: return loadWaveButton;
    case kTagFileMenu: return fileMenu;
    case kTagSaveBank: return saveBankButton;
    case kTagSaveWave: return saveWaveButton;
    case kTagOptionsMenu: return optionsMenu;
    default: break;
    }
    if (tag >= kTagPitchPreset && tag < kTagPitchPreset + 5) return pitchPresetButtons[tag - kTagPitchPreset];
    if (tag >= kTagSpeedPreset && tag < kTagSpeedPreset + 5) return speedPresetButtons[tag - kTagSpeedPreset];
    if (tag >= kTagBufPos && tag < kTagBufPos + 16) return bufferSliders[tag - kTagBufPos];
    if (tag >= kTagTime && tag <= kLastParameter) return faderOf(static_cast<int>(tag - kTagTime) / 16,
                                                                 static_cast<int>(tag - kTagTime) % 16);
    if (tag >= kFirstSettingTag && tag <= kLastSettingTag) return settingMenus[tag - kFirstSettingTag];
    return nullptr;
}

// --- notices from the effect ------------------------------------------------------------

bool ADEditor::onUiThread() const {
    return uiThread_.load(std::memory_order_relaxed) == std::this_thread::get_id();
}

void ADEditor::record(VstInt32 index, float value) {
    const std::uint32_t n = reserved_.fetch_add(1, std::memory_order_relaxed);
    Slot& slot = history_[n % kNoticeHistory];
    slot.index.store(index, std::memory_order_relaxed);
    slot.value.store(value, std::memory_order_relaxed);
    count_.fetch_add(1, std::memory_order_release);
}

EditorNotice ADEditor::recentNotice(int k) const {
    const std::uint32_t n = noticeCount();
    if (k < 0 || k >= kNoticeHistory || static_cast<std::uint32_t>(k) >= n) return {};
    const Slot& slot = history_[(n - 1 - static_cast<std::uint32_t>(k)) % kNoticeHistory];
    return {slot.index.load(std::memory_order_relaxed), slot.value.load(std::memory_order_relaxed)};
}

void ADEditor::setParameter(VstInt32 index, float value) {
    record(index, value);
    // The exit save runs whether or not the window is open.
    if (index == kNoticeExitSave) {
        if (port_) port_->exitSave();
        return;
    }
    if (onUiThread()) {
        if (isOpen()) {
            react(index, value, true);
            postUpdate();
        }
        return;
    }
    inFlight_.fetch_add(1, std::memory_order_seq_cst);
    if (open_.load(std::memory_order_seq_cst)) {
        react(index, value, false);
        postUpdate();
    }
    inFlight_.fetch_sub(1, std::memory_order_seq_cst);
}

void ADEditor::deferStatus(int status) {
    pendingStatus_.store(status, std::memory_order_relaxed);
    defer(kPendingStatus);
}

void ADEditor::react(VstInt32 index, float value, bool ui) {
    auto take = [value](CControl* c) {
        if (c) c->setValue(value);
    };
    auto status = [&](int s) {
        if (ui) showStatus(s);
        else deferStatus(s);
    };
    if (index >= kTagPitchPreset && index < kTagPitchPreset + 5) return take(pitchPresetButtons[index - kTagPitchPreset]);
    if (index >= kTagSpeedPreset && index < kTagSpeedPreset + 5) return take(speedPresetButtons[index - kTagSpeedPreset]);
    if (index >= kTagBufPos && index < kTagBufPos + 16) return take(bufferSliders[index - kTagBufPos]);
    if (index >= kTagTime && index <= kLastParameter) return take(controlWithTag(index));
    switch (index) {
    case 0: {
        // The effect has selected the buffer itself; the status line names it.
        const int b = truncToInt(value * 15.0f);
        if (b >= 0 && b < 16) status(kFileBufferInfo + b);
        break;
    }
    case kTagLevel: take(levelKnob); break;
    case kTagDensity: take(densityFader); break;
    case kTagUnitDura: take(unitLengthFader); break;
    case kTagSustain: take(sustainFader); break;
    case kTagReso: take(resonanceFader); break;
    case kTagTrigmode: take(trigModeButton); break;
    case kTagGrid:
        take(gridButton);
        if (ui) {
            applyGrid(value);
        } else {
            pendingGrid_.store(value, std::memory_order_relaxed);
            defer(kPendingGrid);
        }
        break;
    case kTagMonitor: take(monitorButton); break;
    case kTagRecFree:
        take(recFreeButton);
        if (value != 0.0f && port_) status(kFileBufferInfo + port_->currentBuffer());
        break;
    case kTagRecSync:
        take(recSyncButton);
        if (value == 0.0f) status(kStatusRecordingStopped);
        break;
    case kTagKill: take(killBufferButton); break;
    case kTagProgram: take(programSwitch); break;
    case kTagNext: take(nextButton); break;
    case kTagPrev: take(prevButton); break;
    case kTagCopy: take(copyButton); break;
    case kTagPaste: take(pasteButton); break;
    case kNoticeBuffers:
        if (ui) reconnectBufferScopes();
        else defer(kPendingReconnect);
        break;
    case kNoticeRedraw:
        if (ui) redrawEverything();
        else defer(kPendingRedrawAll);
        break;
    case kNoticeMenus:
        if (ui) reloadSettingMenus();
        else defer(kPendingMenus);
        break;
    case kNoticeScopeClick:
        if (port_) port_->setParameterAutomated(0, value / 15.0f);
        break;
    case kNoticeStopGrains:
        if (port_ && port_->getParameter(kTagTrigmode) != 0.0f) {
            port_->setHalted(true);
            if (ui) port_->silenceVoices();  // waits for the block under way: never on the audio thread
        }
        break;
    case kNoticeMainScopeClick: status(kFileBankInfo); break;
    case kTagLoadWave:
        take(loadWaveButton);
        if (value != 0.0f && ui) loadWaveCommand();
        break;
    case kTagFileMenu:
        take(fileMenu);
        if (ui) loadBankCommand(truncToInt(value));
        break;
    case kTagSaveBank:
        take(saveBankButton);
        if (value != 0.0f && ui) saveBankCommand();
        break;
    case kTagSaveWave:
        take(saveWaveButton);
        if (value != 0.0f && ui) saveWaveCommand();
        break;
    case kTagOptionsMenu:
        if (value == 0.0f && ui) importOptionsCommand();
        break;
    case 267:
        take(settingMenus[0]);
        if (densityFader) densityFader->setDirty();
        break;
    case 268:
        take(settingMenus[1]);
        for (CVerticalSlider* s : speedFaders)
            if (s) s->setDirty();
        break;
    case 269:
        take(settingMenus[2]);
        for (CVerticalSlider* s : pitchFaders)
            if (s) s->setDirty();
        break;
    case 271:
        take(settingMenus[4]);
        for (CVerticalSlider* s : freqFaders)
            if (s) s->setDirty();
        break;
    case 270:
    case 272:
    case 273:
    case 274:
    case 275:
    case 276: take(settingMenus[index - kFirstSettingTag]); break;
    default: break;
    }
}

void ADEditor::runPendingWork() {
    const std::uint32_t work = pending_.exchange(0, std::memory_order_acq_rel);
    if (work == 0) return;
    if (work & kPendingGrid) applyGrid(pendingGrid_.load(std::memory_order_relaxed));
    if (work & kPendingReconnect) reconnectBufferScopes();
    if (work & kPendingRedrawAll) redrawEverything();
    if (work & kPendingMenus) reloadSettingMenus();
    if (work & kPendingStatus) showStatus(pendingStatus_.load(std::memory_order_relaxed));
}

void ADEditor::showStatus(int status) {
    if (status == kStatusRecordingStopped) statusPlain("Recording stopped");
    else showFileMessage(status);
}

// --- control changes --------------------------------------------------------------------

void ADEditor::statusComposite(const char* prefix, int index, const char* suffix) {
    if (!statusLabel || !port_) return;
    std::memset(displayText, 0, sizeof displayText);
    port_->getParameterDisplay(index, displayText);
    displayText[sizeof displayText - 1] = 0;
    statusLabel->setTextParts(prefix, displayText, suffix);
}

void ADEditor::statusPlain(const char* text) {
    if (statusLabel) statusLabel->setText(text);
}

void ADEditor::pitchText(int index, bool allUnits) {
    if (!port_) return;
    switch (truncToInt(port_->getParameter(269))) {
    case 0: statusComposite(allUnits ? "pitch (all units) : " : "pitch (this unit) : ", index, ""); break;
    case 1:
        statusComposite(allUnits ? "pitch (all units) : " : "pitch (this unit) : ", index, "semitones");
        break;
    case 2: statusComposite(allUnits ? "pitch (all units) :" : "pitch (this unit) :", index, " cents"); break;
    default: break;
    }
}

void ADEditor::speedText(int index, bool allUnits) {
    if (!port_) return;
    // Below 4 the speed texts, exactly 4 (" pure position") the position texts, above 4
    // (and a value that is no number) none.
    const float range = port_->getParameter(268);
    if (range < 4.0f) {
        statusComposite(allUnits ? "speed (all units) : " : "speed (this unit) : ", index, "");
    } else if (range == 4.0f) {
        statusComposite(allUnits ? "buffer position (all units) : " : "buffer position (this unit) : ", index,
                        "");
    }
}

void ADEditor::repaintUnderProgramSwitch(CDrawContext* context) {
    if (!programSwitch || !panelBitmap || !context) return;
    CRect r;
    programSwitch->getViewSize(r);
    panelBitmap->draw(context, r, CPoint(r.left, r.top));
}

void ADEditor::valueChanged(CDrawContext* context, CControl* control) {
    if (!control || !port_) return;
    // What the user does now supersedes a status text still waiting from another thread.
    supersedePendingStatus();
    const long t = control->getTag();
    const float v = control->getValue();
    const int tag = static_cast<int>(t);
    auto automated = [&] {
        port_->setParameterAutomated(tag, v);
        control->update(context);
    };
    if (t >= kTagPitchPreset && t < kTagPitchPreset + 5) {
        automated();
        pitchText(kTagPitch, true);
        return;
    }
    if (t >= kTagSpeedPreset && t < kTagSpeedPreset + 5) {
        automated();
        speedText(kTagSpeed, true);
        return;
    }
    if (t >= kTagBufPos && t < kTagBufPos + 16) {
        automated();
        statusComposite("Buffer Start Position : ", tag, "");
        return;
    }
    if (t >= kTagTime && t < kTagTime + 16) {
        automated();
        statusComposite("Events in this unit : ", tag, "");
        return;
    }
    if (t >= kTagSpeed && t < kTagSpeed + 16) {
        automated();
        speedText(tag, false);
        return;
    }
    if (t >= kTagPitch && t < kTagPitch + 16) {
        automated();
        pitchText(tag, false);
        return;
    }
    if (t >= kTagFreq && t < kTagFreq + 16) {
        automated();
        statusComposite("Cutoff frequency (this unit) :", tag, " Hz");
        return;
    }
    switch (t) {
    case kTagLevel: automated(); statusComposite("Amplitude : ", tag, ""); break;
    case kTagDensity: automated(); statusComposite("Density factor : ", tag, "x"); break;
    case kTagUnitDura: automated(); statusComposite("Fader Unit Length : ", tag, ""); break;
    case kTagSustain: automated(); statusComposite("Grain Envelope Sustain : ", tag, ""); break;
    case kTagReso: automated(); statusComposite("Filter Resonance : ", tag, ""); break;
    case kTagTrigmode:
    case kTagGrid:
    case kTagKill:
    case kIndexVoiceCount: automated(); break;
    case kTagMonitor:
        automated();
        if (v == 0.0f) showFileMessage(kFileBankInfo);
        else statusPlain("Monitoring Input");
        break;
    case kTagRecFree:
        automated();
        statusPlain(v == 0.0f ? "Recording stopped" : "Filling buffer...");
        break;
    case kTagRecSync:
        automated();
        if (v == 0.0f) statusPlain("Recording stopped manually");
        else statusComposite("Filling buffer, buffersize ", kTagRecordSyncUnit, "");
        break;
    case kTagProgram:
        port_->setParameterAutomated(tag, v);
        repaintUnderProgramSwitch(context);
        control->update(context);
        statusComposite("Program number :", kTagProgram, "");
        break;
    case kTagNext:
    case kTagPrev:
        port_->setParameter(tag, v);
        control->update(context);
        if (v == 0.0f) {
            statusComposite("Program number :", kTagProgram, "");
            repaintUnderProgramSwitch(context);
        }
        break;
    case kTagCopy:
        automated();
        if (v == 0.0f) statusComposite("values copied from program", kTagProgram, "");
        break;
    case kTagPaste:
        automated();
        if (v == 0.0f) statusComposite("values inserted to program", kTagProgram, "");
        break;
    case kTagLoadWave:
    case kTagFileMenu:
    case kTagSaveBank:
    case kTagSaveWave:
        control->update(context);
        setParameter(tag, v);
        break;
    default:
        if (t >= kTagOptionsMenu && t <= kLastSettingTag) {
            port_->setParameter(tag, v);
            control->update(context);
        }
        break;  // the scopes (0), the splash image (-1) and anything else: nothing
    }
}

// The host parameter a gesture on a control changes, or -1 for the internal settings and
// commands, which are none of the host's. A buffer scope's click selects its buffer
// (parameter 0); next and previous step the program, which the effect automates on their
// release.
static int gestureParameter(const CControl* control) {
    const long tag = control ? control->getTag() : -1;
    if (tag == kTagNext || tag == kTagPrev) return kTagProgram;
    return tag >= 0 && tag <= kLastParameter ? static_cast<int>(tag) : -1;
}

void ADEditor::controlBeginEdit(CControl* control) {
    const int index = gestureParameter(control);
    if (index >= 0 && port_) port_->beginEdit(index);
}

void ADEditor::controlEndEdit(CControl* control) {
    const int index = gestureParameter(control);
    if (index >= 0 && port_) port_->endEdit(index);
}

// --- idle -------------------------------------------------------------------------------

void ADEditor::idle() {
    if (inIdleStuff) return;
    // The thread that idles the editor is its user-interface thread.
    uiThread_.store(std::this_thread::get_id(), std::memory_order_relaxed);
    if (isOpen()) {
        runPendingWork();
        if (!fileMenuCurrent()) rebuildFileMenu();
    }
    // 1. The pending editor update (the frame's own redraw comes last).
    AEffEditor::idle();
    // 2. The meter: the output peak since the last read.
    if (vuMeter && port_) {
        vuMeter->setValue(port_->getParameter(kIndexPeak));
        vuMeter->setDirty();
    }
    if (port_ && isOpen()) {
        const int u = port_->currentUnit();
        // 3. Hover columns, the playing unit's handles, the button hover images.
        idleHoverColumns(u);
        idlePlayingUnit(u);
        idleButtonHover();
        // 4. The linked density.
        const float linked = port_->linkedDensity();
        if (linked != 0.0f) {
            setParameter(kTagDensity, linked);
            if (densityFader) densityFader->setDirty();
        }
        // 5. The current buffer's handle.
        const int b = port_->currentBuffer();
        if (b != shownBuffer && b >= 0 && b < 16) {
            shownBuffer = b;
            for (int i = 0; i < 16; ++i)
                if (bufferSliders[i]) {
                    bufferSliders[i]->setHandle(i == b ? bufferHandleCurrent : bufferHandle);
                    bufferSliders[i]->setDirty();
                }
        }
        // 6. The main scope, and the thumbnail of the buffer being recorded.
        const bool recorded = port_->takeRecordingMark();
        if (mainScope) {
            if (recorded) mainScope->setStale();
            mainScope->setDirty();
        }
        idleRecording(recorded, b);
        // 7. The small scope, when a capture is finished or it must be drawn anyway.
        if (smallScope) {
            const ScopeSources s = port_->scopeSources();
            const bool captured = s.captureState && s.captureState->load(std::memory_order_relaxed) == 1;
            if (captured || smallScope->isStale()) {
                smallScope->setDirty();
                smallScope->setStale(false);
            }
        }
    }
    // The same idle shows its own changes: the frame redraws last.
    if (frame) frame->idle();
}

// The engine writes recorded frames straight into the buffer's arrays and tells nobody,
// and the frame shows its retained picture when the window is exposed again: without this,
// a thumbnail would keep showing the buffer as it was when last connected. While frames
// arrive, the thumbnail of the buffer they go to is drawn anew at every idle; at the first
// idle without new frames it is drawn once more (with the main scope's waveform), so the
// frames written after the previous drawing are shown too.
void ADEditor::idleRecording(bool recorded, int current) {
    auto redraw = [this](int n) {
        if (n >= 0 && n < panel::kNumBuffers && bufferScopes[n]) bufferScopes[n]->setDirty();
    };
    if (recorded) {
        if (recordedBuffer != current) redraw(recordedBuffer);  // switched while recording
        redraw(current);
        recordedBuffer = current >= 0 && current < panel::kNumBuffers ? current : -1;
    } else if (recordedBuffer >= 0) {
        redraw(recordedBuffer);
        if (mainScope) mainScope->setStale();
        recordedBuffer = -1;
    }
}

CBitmap* ADEditor::restingHandle(int i, int unit) const { return i == unit ? handlePlaying : handleNormal; }
CBitmap* ADEditor::hoverHandle(int i, int unit) const { return i == unit ? handleHoverPlaying : handleHover; }

void ADEditor::idleHoverColumns(int unit) {
    CFrame* f = panelFrame();
    if (!f) return;
    if (f->getCurrentMouseButtons() & kLButton) return;  // a dragged fader keeps its handle
    CPoint where;
    f->getCurrentMouseLocation(where);
    for (int g = 0; g < panel::kNumColumns; ++g) {
        CSlider* first = faderOf(g, 0);
        CSlider* last = faderOf(g, 15);
        if (!first || !last) continue;
        CRect r0, r15;
        first->getViewSize(r0);
        last->getViewSize(r15);
        if (r0.left < where.h && where.h < r15.right && r0.top < where.v && where.v < r15.bottom) {
            const int j = static_cast<int>((where.h - r0.left) / (r0.right - r0.left));
            if (j != hoverColumn[g] && j >= 0 && j < 16) {
                if (hoverColumn[g] >= 0)
                    if (CSlider* old = faderOf(g, hoverColumn[g])) {
                        old->setHandle(restingHandle(hoverColumn[g], unit));
                        old->setDirty();
                    }
                if (CSlider* s = faderOf(g, j)) {
                    s->setHandle(hoverHandle(j, unit));
                    s->setDirty();
                }
                hoverColumn[g] = j;
            }
        } else if (hoverColumn[g] >= 0) {
            if (CSlider* old = faderOf(g, hoverColumn[g])) {
                old->setHandle(restingHandle(hoverColumn[g], unit));
                old->setDirty();
            }
            hoverColumn[g] = -1;
        }
    }
}

void ADEditor::idlePlayingUnit(int unit) {
    if (unit < 0 || unit >= panel::kNumUnits) return;
    if (shownUnit == -1) {
        for (int g = 0; g < panel::kNumColumns; ++g)
            if (CSlider* s = faderOf(g, unit)) {
                s->setHandle(handlePlaying);
                s->setDirty();
            }
    } else if (unit != shownUnit) {
        for (int g = 0; g < panel::kNumColumns; ++g) {
            if (CSlider* s = faderOf(g, unit)) {
                s->setHandle(handlePlaying);
                s->setDirty();
            }
            if (CSlider* s = faderOf(g, shownUnit)) {
                s->setHandle(handleNormal);
                s->setDirty();
            }
        }
    }
    shownUnit = unit;
}

void ADEditor::idleButtonHover() {
    CFrame* f = panelFrame();
    if (!f) return;
    CPoint where;
    f->getCurrentMouseLocation(where);
    struct Candidate {
        CControl* control;
        long hoverId;
    };
    const Candidate candidates[] = {
        {optionsMenu, 148},    {fileMenu, 149},       {saveBankButton, 152}, {gridButton, 171},
        {trigModeButton, 142}, {monitorButton, 159},  {recSyncButton, 166},  {recFreeButton, 167},
        {loadWaveButton, 168}, {saveWaveButton, 169}, {killBufferButton, 174}, {nextButton, 133},
        {prevButton, 175},     {copyButton, 176},     {pasteButton, 177},
    };
    const Candidate* target = nullptr;
    for (const Candidate& c : candidates) {
        if (!c.control) continue;
        CRect r;
        c.control->getViewSize(r);
        if (where.h >= r.left && where.h <= r.right && where.v >= r.top && where.v <= r.bottom) {
            target = &c;
            break;
        }
    }
    if (target && target->control == hoveredControl) return;
    if (hoveredControl) {
        hoveredControl->setBackground(savedBackground);
        hoveredControl->setDirty();
        hoveredControl = nullptr;
        savedBackground = nullptr;
    }
    if (target) {
        savedBackground = target->control->getBackground();
        target->control->setBackground(keptBitmap(target->hoverId));
        target->control->setDirty();
        hoveredControl = target->control;
    }
}

}  // namespace grainwheel
