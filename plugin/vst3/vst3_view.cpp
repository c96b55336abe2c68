// The panel as a VST 3 view (IPlugView) for X11EmbedWindowID on Linux and HWND on
// Windows: the same panel as in the other formats (editor/panel.h), 930 x 414, built in
// the host's window. Its idle runs about 30 times a second: on Linux on the host's run
// loop (Linux::IRunLoop, asked from the view's frame; without one the panel stays as
// drawn), on Windows on a timer of the host's user-interface thread. The panel works on the effect's
// engine through a port whose changes and gestures go to the host's component handler
// (beginEdit/performEdit/endEdit). The host's content scale goes to the panel, which
// then asks the host's frame for its new size (resizeView).
// Compiled into the module where the desktop back ends are built; it installs the
// effect's view maker.

#include <atomic>
#include <cstring>
#include <memory>
#include <new>

#include "editor/ad_editor.h"
#include "plugin/common/adapter_panel_port.h"
#include "plugin/vst3/vst3_effect.h"
#include "plugin/vst3/vst3_view.h"
#include "platform/ui_timer.h"

namespace grainwheel::vst3 {

namespace {

#define CALL SMTG_STDMETHODCALLTYPE

constexpr Steinberg_Linux_TimerInterval kIdleMilliseconds = 33;
#if defined(_WIN32)
const Steinberg_FIDString kWindowType = Steinberg_kPlatformTypeHWND;
#else
const Steinberg_FIDString kWindowType = Steinberg_kPlatformTypeX11EmbedWindowID;
#endif

using PanelPort = AdapterPanelPort<Vst3Effect>;

class View final : public RefCounted, public EngineListener {
public:
    explicit View(Vst3Effect& fx)
        : view_{&kView, this}, scale_{&kScale, this}, timer_{&kTimer, this}, fx_(fx) {
        fx_.addRef();
    }
    ~View() override {
        removed();
        setFrame(nullptr);
        fx_.release();
    }
    bool made() const { return editor_ != nullptr; }
    bool build() {
        editor_.reset(new (std::nothrow) ADEditor(std::unique_ptr<EffectPort>(new (std::nothrow) PanelPort(fx_))));
        if (editor_) editor_->setResizeCallback(&View::panelResized, this);
        return editor_ != nullptr;
    }
    Steinberg_IPlugView* face() { return reinterpret_cast<Steinberg_IPlugView*>(&view_); }
    static View* of(Steinberg_IPlugView* face) { return F::of(face); }
    ADEditor* editor() const { return editor_.get(); }

    // EngineListener (any thread).
    void engineNotice(int index, float value) override {
        if (open_.load(std::memory_order_acquire)) editor_->setParameter(index, value);
    }
    void engineRefresh() override {
        if (open_.load(std::memory_order_acquire)) editor_->setParameter(kRedrawAll, 1.0f);
    }

private:
    using F = Facet<View>;
    static View* of(void* self) { return F::of(self); }

    tresult queryInterface(const char* iid, void** obj) {
        if (obj == nullptr) return Steinberg_kInvalidArgument;
        *obj = nullptr;
        if (iid == nullptr) return Steinberg_kNoInterface;
        if (sameId(iid, Steinberg_FUnknown_iid) || sameId(iid, Steinberg_IPlugView_iid)) *obj = &view_;
        else if (sameId(iid, Steinberg_IPlugViewContentScaleSupport_iid)) *obj = &scale_;
        else if (sameId(iid, Steinberg_Linux_ITimerHandler_iid)) *obj = &timer_;
        if (*obj == nullptr) return Steinberg_kNoInterface;
        addRef();
        return Steinberg_kResultOk;
    }

    tresult attached(void* parent, const char* type) {
        if (parent == nullptr || type == nullptr || std::strcmp(type, kWindowType) != 0) return Steinberg_kResultFalse;
        if (open_) removed();
        if (!editor_->open(parent)) return Steinberg_kResultFalse;
        open_ = true;
        fx_.attachPanel(this);
        if (frame_ != nullptr &&
            frame_->lpVtbl->queryInterface(frame_, Steinberg_Linux_IRunLoop_iid, reinterpret_cast<void**>(&loop_)) ==
                Steinberg_kResultOk &&
            loop_ != nullptr) {
            loop_->lpVtbl->registerTimer(loop_, reinterpret_cast<Steinberg_Linux_ITimerHandler*>(&timer_),
                                         kIdleMilliseconds);
        } else {
            ownTimer_.start(static_cast<unsigned>(kIdleMilliseconds), [](void* v) { static_cast<View*>(v)->idle(); }, this);
        }
        return Steinberg_kResultOk;
    }
    tresult removed() {
        ownTimer_.stop();
        if (loop_ != nullptr) {
            loop_->lpVtbl->unregisterTimer(loop_, reinterpret_cast<Steinberg_Linux_ITimerHandler*>(&timer_));
            loop_->lpVtbl->release(loop_);
            loop_ = nullptr;
        }
        if (!open_) return Steinberg_kResultOk;
        fx_.attachPanel(nullptr);
        open_ = false;
        editor_->close();
        return Steinberg_kResultOk;
    }
    tresult size(Steinberg_ViewRect* rect) const {
        if (rect == nullptr) return Steinberg_kInvalidArgument;
        const PanelSize s = editor_->size();
        *rect = Steinberg_ViewRect{0, 0, s.width, s.height};
        return Steinberg_kResultOk;
    }
    void setFrame(Steinberg_IPlugFrame* frame) {
        if (frame != nullptr) frame->lpVtbl->addRef(frame);
        if (frame_ != nullptr) frame_->lpVtbl->release(frame_);
        frame_ = frame;
    }
    void idle() {
        if (open_) editor_->idle();
    }

    // The tables.
    static tresult CALL qi(void* self, const TUID iid, void** obj) { return of(self)->queryInterface(iid, obj); }
    static Steinberg_uint32 CALL addRefOf(void* self) { return of(self)->addRef(); }
    static Steinberg_uint32 CALL releaseOf(void* self) { return of(self)->release(); }
    static tresult CALL isPlatformTypeSupported(void*, Steinberg_FIDString type) {
        return type != nullptr && std::strcmp(type, kWindowType) == 0 ? Steinberg_kResultTrue : Steinberg_kResultFalse;
    }
    static tresult CALL attachedOf(void* self, void* parent, Steinberg_FIDString type) {
        return of(self)->attached(parent, type);
    }
    static tresult CALL removedOf(void* self) { return of(self)->removed(); }
    static tresult CALL onWheel(void*, float) { return Steinberg_kResultFalse; }
    static tresult CALL onKey(void*, Steinberg_char16, Steinberg_int16, Steinberg_int16) { return Steinberg_kResultFalse; }
    static tresult CALL getSize(void* self, Steinberg_ViewRect* rect) { return of(self)->size(rect); }
    static tresult CALL onSize(void*, Steinberg_ViewRect* rect) {
        return rect != nullptr ? Steinberg_kResultOk : Steinberg_kInvalidArgument;
    }
    static tresult CALL onFocus(void*, Steinberg_TBool) { return Steinberg_kResultOk; }
    static tresult CALL setFrameOf(void* self, Steinberg_IPlugFrame* frame) {
        of(self)->setFrame(frame);
        return Steinberg_kResultOk;
    }
    static tresult CALL canResize(void*) { return Steinberg_kResultFalse; }
    static tresult CALL checkSizeConstraint(void* self, Steinberg_ViewRect* rect) {
        if (rect == nullptr) return Steinberg_kInvalidArgument;
        const PanelSize s = of(self)->editor_->size();
        rect->right = rect->left + s.width;
        rect->bottom = rect->top + s.height;
        return Steinberg_kResultOk;
    }
    // The host's scale; the panel holds it within 1..3.
    static tresult CALL setContentScaleFactor(void* self, float factor) {
        if (!(factor > 0.0f)) return Steinberg_kResultFalse;
        of(self)->editor_->setContentScale(factor);
        return Steinberg_kResultOk;
    }
    static void panelResized(void* self, PanelSize s) {
        View* v = static_cast<View*>(self);
        if (v->frame_ == nullptr) return;
        Steinberg_ViewRect rect{0, 0, s.width, s.height};
        v->frame_->lpVtbl->resizeView(v->frame_, v->face(), &rect);
    }
    static void CALL onTimer(void* self) { of(self)->idle(); }

    static Steinberg_IPlugViewVtbl kView;
    static Steinberg_IPlugViewContentScaleSupportVtbl kScale;
    static Steinberg_Linux_ITimerHandlerVtbl kTimer;

    F view_, scale_, timer_;
    Vst3Effect& fx_;
    std::unique_ptr<ADEditor> editor_;
    std::atomic<bool> open_{false};
    Steinberg_IPlugFrame* frame_ = nullptr;
    Steinberg_Linux_IRunLoop* loop_ = nullptr;
    platform::UiTimer ownTimer_;  // where no run loop calls the panel (Windows)
};

Steinberg_IPlugViewVtbl View::kView = {
    qi,      addRefOf, releaseOf, isPlatformTypeSupported, attachedOf, removedOf,  onWheel,
    onKey,   onKey,    getSize,   onSize,                  onFocus,    setFrameOf, canResize,
    checkSizeConstraint,
};
Steinberg_IPlugViewContentScaleSupportVtbl View::kScale = {qi, addRefOf, releaseOf, setContentScaleFactor};
Steinberg_Linux_ITimerHandlerVtbl View::kTimer = {qi, addRefOf, releaseOf, onTimer};

Steinberg_IPlugView* makeView(Vst3Effect& fx) {
    View* view = new (std::nothrow) View(fx);
    if (view == nullptr) return nullptr;
    if (!view->build()) {
        view->release();
        return nullptr;
    }
    return view->face();
}

}  // namespace

ADEditor* panelOf(Steinberg_IPlugView* view) { return view != nullptr ? View::of(view)->editor() : nullptr; }

namespace {

[[maybe_unused]] const bool installed = (Vst3Effect::viewMaker = &makeView, true);

}  // namespace

}  // namespace grainwheel::vst3
