#pragma once
// Helpers for the scope and label tests: a frame on the cairo back end, an editor that
// records the calls the views make on it, and sample arrays in buffer records.

#include <cmath>
#include <memory>
#include <vector>

#include "editor/clabel.h"
#include "editor/wave_display.h"
#include "engine/audio_buffer.h"
#include "host/aeffguieditor.h"
#include "tests/gui/testsupport.h"

namespace gwviews {

using namespace gwtest;
using grainwheel::AudioBuffer;
using grainwheel::CLabel;
using grainwheel::WaveDisplay;

// An editor without an effect: it keeps the notices it receives and the scopes clicked.
struct RecordingEditor : AEffGUIEditor, CControlListener, grainwheel::ScopeClickListener {
    RecordingEditor() : AEffGUIEditor(nullptr) {}
    struct Call {
        VstInt32 index;
        float value;
    };
    std::vector<Call> calls;
    std::vector<WaveDisplay*> clicked;
    void setParameter(VstInt32 index, float value) override { calls.push_back({index, value}); }
    void valueChanged(CDrawContext*, CControl*) override {}
    void scopeClicked(WaveDisplay& view) override { clicked.push_back(&view); }
};

// The 16 buffer records with arrays the test owns (length + 1 floats each).
struct Buffers {
    AudioBuffer records[grainwheel::kNumBuffers];
    std::vector<std::unique_ptr<std::vector<float>>> arrays;
    std::atomic<std::int32_t> current{0};

    // Buffer n holds frames samples made by f(i).
    template <class F> void fill(int n, int frames, F f) {
        auto left = std::make_unique<std::vector<float>>(static_cast<std::size_t>(frames) + 1);
        for (int i = 0; i <= frames; ++i) (*left)[static_cast<std::size_t>(i)] = f(i);
        set(n, left->data(), frames);
        arrays.push_back(std::move(left));
    }
    void empty(int n) { set(n, nullptr, 0); }
    // Publishes buffer n's record as the engine does: the live slot and the copy beside it.
    void set(int n, float* samples, int frames) {
        AudioBuffer& b = records[n];
        AudioBuffer::Arrays& live = b.slots[b.generation.load() & 1u];
        for (auto* record : {&live.left, &live.right, &b.left, &b.right}) record->store(samples);
        live.length.store(frames);
        b.length.store(frames);
    }
};

// A headless frame on the cairo back end with a marker colour everywhere the views do not paint.
class ViewFrame {
public:
    static constexpr std::uint32_t kMarker = 0xFF10E010u;
    explicit ViewFrame(long w = 930, long h = 414) {
        installCairoBackend();
        frame = new HeadlessFrame(CRect(0, 0, w, h));
        frame->setBackground(solidBitmap(w, h, kMarker));
        frame->getBackground()->forget();
    }
    ~ViewFrame() { frame->forget(); }
    ViewFrame(const ViewFrame&) = delete;
    ViewFrame& operator=(const ViewFrame&) = delete;
    // Redraws what is dirty, like an idle.
    void idle() { frame->idle(); }
    std::uint32_t at(long x, long y) { return rgbOf(frame->screenPixel(x, y)); }
    HeadlessFrame* frame;
};

}  // namespace gwviews
