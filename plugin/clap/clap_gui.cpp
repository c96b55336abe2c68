// The panel as the CLAP gui extension, embedded in the host's X11 window on Linux and its
// HWND on Windows: the same panel as in the other formats (editor/panel.h), built in the
// host's window. Its idle runs about 30 times a second on the host's timer-support, or on
// a timer of the plug-in's own where the host offers none. The panel works on the
// effect's engine through a port whose changes and gestures go to the host as output
// events. The host's scale (set_scale) goes to the panel, whose size, in physical
// pixels, the host is then asked for (request_resize); the panel cannot be resized
// otherwise.
// Compiled into the module where the desktop back ends are built; it installs the
// effect's gui extension.

#include <atomic>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include <clap/ext/gui.h>
#include <clap/ext/timer-support.h>
#include "editor/ad_editor.h"
#include "plugin/clap/clap_effect.h"
#include "plugin/clap/clap_gui.h"
#include "plugin/common/adapter_panel_port.h"
#include "platform/ui_timer.h"

namespace grainwheel::clap {

namespace {

constexpr std::uint32_t kIdleMilliseconds = 33;
#if defined(_WIN32)
constexpr const char* kWindowApi = CLAP_WINDOW_API_WIN32;
#else
constexpr const char* kWindowApi = CLAP_WINDOW_API_X11;
#endif

using PanelPort = AdapterPanelPort<ClapEffect>;

class Gui final : public EngineListener {
public:
    explicit Gui(ClapEffect& fx) : fx_(fx) {}
    ~Gui() override { close(); }
    bool build() {
        editor_.reset(new (std::nothrow) ADEditor(std::unique_ptr<EffectPort>(new (std::nothrow) PanelPort(fx_))));
        if (editor_) editor_->setResizeCallback(&Gui::panelResized, this);
        return editor_ != nullptr;
    }
    ADEditor& editor() { return *editor_; }

    void engineNotice(int index, float value) override {
        if (open_.load(std::memory_order_acquire)) editor_->setParameter(index, value);
    }
    void engineRefresh() override {
        if (open_.load(std::memory_order_acquire)) editor_->setParameter(kRedrawAll, 1.0f);
    }

    bool open(void* parent) {
        close();
        if (!editor_->open(parent)) return false;
        open_ = true;
        fx_.attachPanel(this);
        const clap_host_t* host = fx_.host();
        timers_ = host != nullptr && host->get_extension != nullptr
                      ? static_cast<const clap_host_timer_support_t*>(host->get_extension(host, CLAP_EXT_TIMER_SUPPORT))
                      : nullptr;
        if (timers_ == nullptr || !timers_->register_timer(host, kIdleMilliseconds, &timer_)) {
            timers_ = nullptr;
            ownTimer_.start(kIdleMilliseconds, [](void* g) { static_cast<Gui*>(g)->idle(); }, this);
        }
        return true;
    }
    void close() {
        ownTimer_.stop();
        if (timers_ != nullptr) timers_->unregister_timer(fx_.host(), timer_);
        timers_ = nullptr;
        if (!open_) return;
        fx_.attachPanel(nullptr);
        open_ = false;
        editor_->close();
    }
    void idle() {
        if (open_) editor_->idle();
    }
    clap_id timer() const { return timer_; }

private:
    // While open (before, the host asks get_size).
    static void panelResized(void* self, PanelSize s) {
        if (!static_cast<Gui*>(self)->open_.load()) return;
        const clap_host_t* host = static_cast<Gui*>(self)->fx_.host();
        const auto* gui = host != nullptr && host->get_extension != nullptr
                              ? static_cast<const clap_host_gui_t*>(host->get_extension(host, CLAP_EXT_GUI))
                              : nullptr;
        if (gui != nullptr && gui->request_resize != nullptr)
            gui->request_resize(host, static_cast<std::uint32_t>(s.width), static_cast<std::uint32_t>(s.height));
    }

    ClapEffect& fx_;
    std::unique_ptr<ADEditor> editor_;
    std::atomic<bool> open_{false};
    const clap_host_timer_support_t* timers_ = nullptr;
    clap_id timer_ = CLAP_INVALID_ID;
    platform::UiTimer ownTimer_;
};

Gui* guiOf(const clap_plugin_t* p) { return static_cast<Gui*>(ClapEffect::of(p)->panel.get()); }

bool isApiSupported(const clap_plugin_t*, const char* api, bool floating) {
    return api != nullptr && !floating && std::strcmp(api, kWindowApi) == 0;
}
bool preferredApi(const clap_plugin_t*, const char** api, bool* floating) {
    if (api == nullptr || floating == nullptr) return false;
    *api = kWindowApi;
    *floating = false;
    return true;
}
bool create(const clap_plugin_t* p, const char* api, bool floating) {
    if (!isApiSupported(p, api, floating)) return false;
    ClapEffect& fx = *ClapEffect::of(p);
    fx.panel.reset();
    Gui* gui = new (std::nothrow) Gui(fx);
    if (gui == nullptr) return false;
    fx.panel.reset(gui);
    if (!gui->build()) {
        fx.panel.reset();
        return false;
    }
    return true;
}
void destroy(const clap_plugin_t* p) { ClapEffect::of(p)->panel.reset(); }
// The host's scale; the panel holds it within 1..3.
bool setScale(const clap_plugin_t* p, double scale) {
    Gui* gui = guiOf(p);
    if (gui == nullptr || !(scale > 0.0)) return false;
    gui->editor().setContentScale(static_cast<float>(scale));
    return true;
}
bool getSize(const clap_plugin_t* p, std::uint32_t* width, std::uint32_t* height) {
    Gui* gui = guiOf(p);
    if (gui == nullptr || width == nullptr || height == nullptr) return false;
    const PanelSize s = gui->editor().size();
    *width = static_cast<std::uint32_t>(s.width);
    *height = static_cast<std::uint32_t>(s.height);
    return true;
}
bool canResize(const clap_plugin_t*) { return false; }
bool resizeHints(const clap_plugin_t*, clap_gui_resize_hints_t*) { return false; }
bool adjustSize(const clap_plugin_t* p, std::uint32_t* width, std::uint32_t* height) { return getSize(p, width, height); }
bool setSize(const clap_plugin_t* p, std::uint32_t width, std::uint32_t height) {
    std::uint32_t w = 0, h = 0;
    return getSize(p, &w, &h) && w == width && h == height;
}
bool setParent(const clap_plugin_t* p, const clap_window_t* window) {
    Gui* gui = guiOf(p);
    if (gui == nullptr || window == nullptr || window->api == nullptr || std::strcmp(window->api, kWindowApi) != 0)
        return false;
#if defined(_WIN32)
    return gui->open(window->win32);
#else
    return gui->open(reinterpret_cast<void*>(static_cast<std::uintptr_t>(window->x11)));
#endif
}
bool setTransient(const clap_plugin_t*, const clap_window_t*) { return false; }
void suggestTitle(const clap_plugin_t*, const char*) {}
bool show(const clap_plugin_t* p) { return guiOf(p) != nullptr; }
bool hide(const clap_plugin_t* p) { return guiOf(p) != nullptr; }

const clap_plugin_gui_t kGui = {isApiSupported, preferredApi, create,       destroy, setScale,     getSize,
                                canResize,      resizeHints,  adjustSize,   setSize, setParent,    setTransient,
                                suggestTitle,   show,         hide};

void onTimer(const clap_plugin_t* p, clap_id timer) {
    Gui* gui = guiOf(p);
    if (gui != nullptr && gui->timer() == timer) gui->idle();
}
const clap_plugin_timer_support_t kTimer = {onTimer};

[[maybe_unused]] const bool installed = (ClapEffect::gui = &kGui, ClapEffect::timerSupport = &kTimer, true);

}  // namespace

ADEditor* panelOf(const clap_plugin_t* p) {
    Gui* gui = guiOf(p);
    return gui != nullptr ? &gui->editor() : nullptr;
}

}  // namespace grainwheel::clap
