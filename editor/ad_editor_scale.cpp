// The panel's scale: its sources, the open frame following it, and the zoom menu on the
// panel's empty background.

#include "editor/ad_editor.h"

#include <cmath>
#include <string>

#include "platform/paths.h"

namespace grainwheel {

using namespace VSTGUI;

namespace {

// The zoom menu: the choices of kZoomChoices, then following the host.
const char* const kZoomTexts[kNumZoomChoices] = {"100 %", "125 %", "150 %", "200 %", "250 %", "300 %"};
constexpr const char* kFollowHostText = "follow the host";

// The main scope's layers (units).
constexpr long kLayerWidth = 363;
constexpr long kLayerHeight = 110;

}  // namespace

PanelSize ADEditor::size() const {
    return PanelSize{static_cast<int>(DrawSurface::pixelsFor(size_.width, scale_)),
                     static_cast<int>(DrawSurface::pixelsFor(size_.height, scale_))};
}

void ADEditor::readScaleSources() {
    scales_.environment = parseScale(platform::environment("GRAINWHEEL_SCALE"));
    scales_.user = readUserZoom(zoomFilePath());
    scale_ = chooseScale(scales_);
}

void ADEditor::setContentScale(float scale) {
    scales_.host = std::isfinite(scale) && scale > 0.0f ? scale : 0.0f;
    applyScale();
}

void ADEditor::setUserZoom(float zoom) {
    scales_.user = parseScale(std::to_string(zoom).c_str());
    writeUserZoom(zoomFilePath(), scales_.user);
    applyScale();
}

void ADEditor::attachScale(CFrame* f) {
    scales_.system = static_cast<float>(f->systemScale());
    const float before = scale_;
    scale_ = chooseScale(scales_);
    f->setScale(scale_);
    f->setSystemScaleHandler(&ADEditor::systemScaleChanged, this);
    f->setEmptyClickHandler(&ADEditor::emptyClick, this);
    if (scale_ != before && resized_) resized_(resizedOwner_, size());
}

COffscreenContext* ADEditor::makeScopeLayer() const {
    return new COffscreenContext(frame_, kLayerWidth, kLayerHeight, kWhiteCColor);
}

void ADEditor::applyScale() {
    const float s = chooseScale(scales_);
    if (s == scale_) return;
    scale_ = s;
    if (frame_) {
        frame_->setScale(s);
        // The scope's layers are drawn at the frame's scale.
        if (ui_.mainScope) {
            ui_.mainScope->setLayers(nullptr, nullptr);
            for (COffscreenContext*& c : ui_.scopeLayers) {
                if (c) c->forget();
                c = makeScopeLayer();
            }
            ui_.mainScope->setLayers(ui_.scopeLayers[0], ui_.scopeLayers[1]);
            ui_.mainScope->setStale();
        }
        frame_->setDirty();
    }
    if (resized_) resized_(resizedOwner_, size());
}

void ADEditor::systemScaleChanged(void* editor, double scale) {
    auto* self = static_cast<ADEditor*>(editor);
    self->scales_.system = static_cast<float>(scale);
    self->applyScale();
}

void ADEditor::emptyClick(void* editor, CPoint where, long buttons) {
    if (buttons & kRButton) static_cast<ADEditor*>(editor)->openZoomMenu(where);
}

void ADEditor::openZoomMenu(CPoint where) {
    if (!frame_ || fileSelectionOpen()) return;
    zoomListener_.editor = this;
    auto* menu = new COptionMenu(CRect(where.h, where.v, where.h, where.v), &zoomListener_, 0);
    long current = kNumZoomChoices;
    for (int i = 0; i < kNumZoomChoices; ++i) {
        menu->addEntry(kZoomTexts[i]);
        if (scales_.user == kZoomChoices[i]) current = i;
    }
    menu->addEntry(kFollowHostText);
    menu->setCurrent(current);
    frame_->openMenu(menu, where);
    menu->forget();  // the open menu keeps its own reference
}

void ADEditor::ZoomListener::valueChanged(CDrawContext*, CControl* control) {
    const long i = static_cast<COptionMenu*>(control)->getCurrent();
    if (editor == nullptr || i < 0 || i > kNumZoomChoices) return;
    editor->setUserZoom(i < kNumZoomChoices ? kZoomChoices[i] : 0.0f);
}

}  // namespace grainwheel
