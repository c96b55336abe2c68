// The panel's copy of what its views draw (display_snapshot.h): taken from the port at
// each idle, given to the views, and the views marked for drawing where it changed.

#include "editor/ad_editor.h"

namespace grainwheel {

void ADEditor::connectScopes() {
    if (!port_) return;
    for (WaveDisplay* v : {ui_.mainScope, ui_.smallScope})
        if (v) {
            v->setDisplay(&display_);
            v->setStale();
        }
    for (WaveDisplay* b : ui_.bufferScopes)
        if (b) {
            b->setDisplay(&display_);
            b->setStale();
        }
}

void ADEditor::reconnectBufferScopes() {
    if (!port_) return;
    if (ui_.mainScope) {
        ui_.mainScope->setStale();
        ui_.mainScope->setDirty();
    }
    for (WaveDisplay* b : ui_.bufferScopes)
        if (b) {
            b->setStale();
            b->setDirty();
        }
}

void ADEditor::takeDisplay() {
    port_->copyDisplay(display_);
    // A thumbnail whose buffer has new columns, or that is or was the current one, is
    // drawn again.
    const int current = display_.live.currentBuffer;
    const int was = ui_.highlighted;
    ui_.highlighted = current;
    for (int n = 0; n < kNumBuffers; ++n) {
        const std::uint32_t serial = display_.buffers[n].serial;
        const bool highlight = current != was && (n == current || n == was);
        if (serial == ui_.columnsShown[n] && !highlight) continue;
        ui_.columnsShown[n] = serial;
        if (WaveDisplay* b = ui_.bufferScopes[n]) b->setDirty();
    }
}

// The small scope has drawn: the engine may capture the next grain.
void ADEditor::askForCapture() {
    if (port_ && ui_.smallScope && ui_.smallScope->takeCaptureDrawn()) port_->requestCapture();
}

}  // namespace grainwheel
