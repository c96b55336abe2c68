// The editor's costs on the user-interface thread, headless at the panel's size through the
// cairo back end (the drawing a real window shows):
//   BM_EditorOpenClose  effEditOpen (the whole panel built and drawn by the first idle) and
//                       effEditClose; target well under 200 ms per open;
//   BM_EditorIdleMoving one effEditIdle with everything moving: a playing transport with
//                       grains and the scope capture running, the VU meter and the mouse
//                       hovering across the fader columns; target under 5 ms;
//   BM_FullPanelRedraw  the reference of the same run: every view of the open panel
//                       redrawn, the cost an idle would have if it redrew everything;
//   BM_FullPanelRedrawAtScale/150, /200  the same at the host's scale 1.5 and 2 (the
//                       panel at 1395 x 621 and 1860 x 828 pixels), with its ratio to 1x.
// Counters: ms per call, and for the idle its ratio to the full redraw and the pixels it
// presented (only what changed is redrawn).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <vector>

#include "plugin/grain_effect.h"
#include "gui/cframe.h"
#include "host/editor_inspection.h"
#include "plugin/vst2_editor.h"

namespace {

namespace gw = grainwheel;

VstTimeInfo timeInfo{};
double samplePos = 0.0;

VstIntPtr VSTCALLBACK host(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    if (opcode == audioMasterVersion) return 2300;
    if (opcode == audioMasterGetTime) {
        timeInfo.samplePos = samplePos;
        timeInfo.ppqPos = samplePos / 22050.0;
        timeInfo.barStartPos = std::floor(timeInfo.ppqPos / 4.0) * 4.0;
        return reinterpret_cast<VstIntPtr>(&timeInfo);
    }
    return 0;
}

// A playing effect with a filled buffer and the sum-output scope.
std::unique_ptr<gw::GrainEffect> makeEffect() {
    timeInfo = VstTimeInfo{};
    timeInfo.tempo = 120.0;
    timeInfo.sampleRate = 44100.0;
    timeInfo.timeSigNumerator = 4;
    timeInfo.timeSigDenominator = 4;
    timeInfo.flags = kVstTempoValid | kVstTransportPlaying | kVstPpqPosValid | kVstBarsValid | kVstTimeSigValid;
    auto fx = std::make_unique<gw::GrainEffect>(&host);
    fx->setSampleRate(44100.0f);
    fx->resume();
    const int frames = 176400;
    float* l = gw::BufferBank::newSampleArray(frames);
    float* r = gw::BufferBank::newSampleArray(frames);
    for (int i = 0; i < frames; ++i) {
        l[i] = 0.5f * std::sin(0.013f * static_cast<float>(i)) * std::sin(0.0001f * static_cast<float>(i));
        r[i] = l[i];
    }
    fx->engine().replaceBufferArrays(fx->engine().getCurrentBuffer(), l, r, frames);
    fx->setParameter(273, 0.5f);  // scope: time view - sum output
    return fx;
}

struct Block {
    std::vector<float> in = std::vector<float>(512, 0.05f), outL = std::vector<float>(512), outR = std::vector<float>(512);
    float* ins[2] = {in.data(), in.data()};
    float* outs[2] = {outL.data(), outR.data()};
    void run(gw::GrainEffect& fx) {
        fx.processReplacing(ins, outs, 512);
        samplePos += 512.0;
    }
};

VstIntPtr dispatch(gw::GrainEffect& fx, VstInt32 op, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                   float opt = 0.0f) {
    AEffect* e = fx.getAeffect();
    return e->dispatcher(e, op, index, value, ptr, opt);
}

VSTGUI::CFrame* frameOf(gw::GrainEffect& fx) {
    auto* editor = dynamic_cast<gw::Vst2Editor*>(fx.getEditor());
    return editor ? editor->panel().panelFrame() : nullptr;
}

void BM_EditorOpenClose(benchmark::State& state) {
    auto fx = makeEffect();
    Block block;
    for (int i = 0; i < 40; ++i) block.run(*fx);
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        dispatch(*fx, effEditOpen);
        dispatch(*fx, effEditIdle);
        dispatch(*fx, effEditClose);
    }
    state.counters["ms_per_open"] = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() *
                                    1.0e3 / static_cast<double>(state.iterations());
}

double fullRedrawSeconds = 0.0;

void BM_FullPanelRedraw(benchmark::State& state) {
    auto fx = makeEffect();
    dispatch(*fx, effEditOpen);
    dispatch(*fx, effEditIdle);
    VSTGUI::CFrame* frame = frameOf(*fx);
    if (!frame) {
        state.SkipWithError("the editor has no frame");
        dispatch(*fx, effEditClose);
        return;
    }
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) frame->redraw();
    fullRedrawSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() /
                        static_cast<double>(state.iterations());
    state.counters["ms_per_redraw"] = fullRedrawSeconds * 1.0e3;
    dispatch(*fx, effEditClose);
}

void BM_FullPanelRedrawAtScale(benchmark::State& state) {
    auto fx = makeEffect();
    const float scale = static_cast<float>(state.range(0)) / 100.0f;
    dispatch(*fx, effVendorSpecific, gw::Vst2Editor::kScaleCallIndex, gw::Vst2Editor::kScaleCallValue, nullptr, scale);
    dispatch(*fx, effEditOpen);
    dispatch(*fx, effEditIdle);
    VSTGUI::CFrame* frame = frameOf(*fx);
    if (!frame || frame->getScale() != scale) {
        state.SkipWithError("the editor has no frame at that scale");
        dispatch(*fx, effEditClose);
        return;
    }
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) frame->redraw();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() /
                           static_cast<double>(state.iterations());
    state.counters["ms_per_redraw"] = seconds * 1.0e3;
    if (fullRedrawSeconds > 0.0) state.counters["vs_1x"] = seconds / fullRedrawSeconds;
    dispatch(*fx, effEditClose);
}

void BM_EditorIdleMoving(benchmark::State& state) {
    auto fx = makeEffect();
    Block block;
    dispatch(*fx, effEditOpen);
    VSTGUI::CFrame* frame = frameOf(*fx);
    if (!frame) {
        state.SkipWithError("the editor has no frame");
        dispatch(*fx, effEditClose);
        return;
    }
    for (int i = 0; i < 100; ++i) block.run(*fx);
    dispatch(*fx, effEditIdle);
    frame->resetStats();
    long step = 0;
    double idleSeconds = 0.0;
    for (auto _ : state) {
        state.PauseTiming();
        // The audio of one 40 ms idle period (three or four blocks), and the mouse moving
        // along the time fader column.
        for (int i = 0; i < 3 + (step & 1); ++i) block.run(*fx);
        EditorMouseEvent hover;
        hover.kind = EditorMouseEvent::kHover;
        hover.x = static_cast<std::int32_t>(397 + (step * 5) % 222);
        hover.y = 90;
        dispatch(*fx, effVendorSpecific, kEditorInspection, kInspectMouse, &hover);
        ++step;
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        dispatch(*fx, effEditIdle);
        idleSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    const double perIdle = idleSeconds / static_cast<double>(state.iterations());
    state.counters["ms_per_idle"] = perIdle * 1.0e3;
    if (fullRedrawSeconds > 0.0) state.counters["vs_full_redraw"] = perIdle / fullRedrawSeconds;
    state.counters["px_per_idle"] =
        static_cast<double>(frame->getStats().presentedPixels) / static_cast<double>(state.iterations());
    dispatch(*fx, effEditClose);
}

BENCHMARK(BM_EditorOpenClose)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FullPanelRedraw)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FullPanelRedrawAtScale)->Arg(150)->Arg(200)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EditorIdleMoving)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
