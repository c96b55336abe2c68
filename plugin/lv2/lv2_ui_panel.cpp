// The LV2 panel: the editor on the UI's port, the instance's notices, the host's port
// events and idle calls (lv2_ui_panel.h).

#include "plugin/lv2/lv2_ui_panel.h"

#include <new>

#include "engine/parameter_table.h"
#include "gui/x11/xcbwindow.h"

namespace grainwheel::lv2 {

using namespace VSTGUI;

namespace {

// Idles (about 30 a second) to wait for the instance to apply a change before the status
// line shows its text anyway.
constexpr int kStatusWaitIdles = 60;
// The instance's messages are looked for every this many idles.
constexpr int kMessageIdles = 8;

}  // namespace

// --- the panel ----------------------------------------------------------------------------

Lv2Panel::Lv2Panel(const Host& host) : host_(host), link_(host.write, host.controller, host.touch, host.map) {}

Lv2Panel* Lv2Panel::create(const Host& host) {
    std::unique_ptr<Lv2Panel> p(new (std::nothrow) Lv2Panel(host));
    if (!p) return nullptr;
    EffectPort* target = nullptr;
    if (host.access != nullptr) {
        target = &host.access->port();
    } else {
        p->display_.reset(new (std::nothrow) DisplayReceiver(host.map));
        if (!p->display_) return nullptr;
        p->hostPort_.reset(new (std::nothrow)
                               HostPort(p->link_, *p->display_, host.sampleRate > 0.0f ? host.sampleRate : 44100.0f));
        if (!p->hostPort_) return nullptr;
        target = p->hostPort_.get();
    }
    // Until the host tells otherwise, its ports hold the engine's values (a fresh
    // plug-in's, without access).
    for (int i = 0; i < kParameterPorts; ++i)
        p->link_.heard(i, host.access != nullptr ? target->getParameter(i) : parameterInfo(i).init);

    std::unique_ptr<UiPort> port(new (std::nothrow) UiPort(*target, p->link_));
    if (!port) return nullptr;
    p->port_ = port.get();
    p->editor_.reset(new (std::nothrow) ADEditor(std::move(port), p.get()));
    if (!p->editor_) return nullptr;

    if (host.access != nullptr && !host.access->addListener(p.get())) return nullptr;
    p->editor_->setContentScale(host.scaleFactor);
    p->editor_->open(host.parent);
    if (host.access == nullptr) p->editor_->statusPlain(kNoAccessText);

    panelResized(p.get(), p->editor_->size());
    p->editor_->setResizeCallback(&Lv2Panel::panelResized, p.get());
    return p.release();
}

void Lv2Panel::panelResized(void* panel, PanelSize size) {
    const Host& host = static_cast<Lv2Panel*>(panel)->host_;
    if (host.resize != nullptr && host.resize->ui_resize != nullptr)
        host.resize->ui_resize(host.resize->handle, size.width, size.height);
}

Lv2Panel::~Lv2Panel() {
    // No notice may reach the editor once it is gone: detach first (this waits for a
    // notice under way on another thread).
    if (host_.access != nullptr) host_.access->removeListener(this);
    if (editor_) editor_->close();
    editor_.reset();
}

std::uintptr_t Lv2Panel::widget() const {
    CFrame* frame = editor_ ? editor_->panelFrame() : nullptr;
    auto* window = frame ? dynamic_cast<XcbWindow*>(frame->getPlatformWindow()) : nullptr;
    return window ? window->windowId() : 0;
}

void Lv2Panel::portEvent(std::uint32_t index, std::uint32_t size, std::uint32_t format, const void* buffer) {
    if (index == static_cast<std::uint32_t>(kPortNotify)) {
        // With the instance the panel copies its display itself.
        if (display_) display_->take(format, size, buffer);
        return;
    }
    if (format != 0 || size != sizeof(float) || buffer == nullptr || index >= kParameterPorts) return;
    const int i = static_cast<int>(index);
    const float value = *static_cast<const float*>(buffer);
    // The host repeats what the panel knows already (its first values, the echo of the
    // panel's own writes): only a change is one (as in VST 2, where no echo comes).
    if (value == link_.known(i)) return;
    link_.heard(i, value);
    // The control the user is moving keeps the user's value.
    if (i == link_.editing()) return;
    // Without the instance a command's port is only a press, which shows nothing here.
    if (hasAccess() || !isCommandPort(i)) editor_->setParameter(i, value);
}

int Lv2Panel::idle() {
    if (host_.access != nullptr) {
        if (port_->takeResyncRequest()) resync_.store(true, std::memory_order_relaxed);
        if (resync_.exchange(false, std::memory_order_acq_rel)) writeEngineValues();
        if (++idles_ % kMessageIdles == 0) {
            char text[256];
            if (host_.access->takeMessage(text, sizeof text)) editor_->statusPlain(text);
        }
        followPendingStatus();
        host_.access->runDeferredWork();
    }
    editor_->idle();
    return 0;
}

void Lv2Panel::writeEngineValues() {
    EffectPort& engine = host_.access->port();
    const int editing = link_.editing();
    for (int i = 0; i < kParameterPorts; ++i) {
        if (isCommandPort(i) || i == editing) continue;
        const float v = engine.getParameter(i);
        // A recording the engine ended is followed (the next press is a change again); a
        // running one is never started again from here.
        if ((i == kRecFree || i == kRecSync) && v != 0.0f) continue;
        if (v == link_.known(i)) continue;
        host_.access->writingBack(i, v);
        link_.write(i, v);
    }
}

void Lv2Panel::engineNotice(int index, float value) {
    switch (index) {
    case kProgram:
    case kBufferNo:
    case kRedrawAll:
    case kReloadMenus: resync_.store(true, std::memory_order_relaxed); break;
    case kRecFree:
    case kRecSync:
        if (value == 0.0f) resync_.store(true, std::memory_order_relaxed);
        break;
    default: break;
    }
    if (index == link_.editing()) return;
    editor_->setParameter(index, value);
}

void Lv2Panel::engineRefresh() { resync_.store(true, std::memory_order_relaxed); }

bool Lv2Panel::userChanging(int tag) {
    if (hasAccess() || tag <= kLastHostParameter || tag == kBufferScopeClick) return true;
    // Settings, the voice count, the file commands, the options menu and the main scope's
    // click act on the running instance, which this panel cannot reach.
    if (CControl* control = editor_->controlWithTag(tag)) {
        if ((tag >= kFirstSetting && tag <= kLastSetting) || tag == kVoiceCount)
            control->setValue(port_->getParameter(tag));
        control->setDirty();
    }
    editor_->statusPlain(kNoAccessText);
    return false;
}

void Lv2Panel::userChanged(int tag, float value) {
    if (!hasAccess() || tag < 0 || tag > kLastHostParameter || isCommandPort(tag)) return;
    statusTag_ = tag;
    statusValue_ = value;
    statusWait_ = kStatusWaitIdles;
}

void Lv2Panel::followPendingStatus() {
    if (statusTag_ < 0 || !editor_->isOpen()) return;
    const int tag = statusTag_;
    if (port_->getParameter(tag) != statusValue_ && --statusWait_ > 0) return;
    statusTag_ = -1;
    if (tag == kProgram) editor_->statusComposite("Program number :", kProgram, "");
    else editor_->showValueText(tag);
}

}  // namespace grainwheel::lv2
