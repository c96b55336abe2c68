#pragma once
// Lv2Panel: grainwheel's panel as an LV2 X11 UI. It owns the panel (the one the VST 2
// editor shows, 930 x 414, as a child window of the host's ui:parent) on a UiPort, and
// keeps the host's control ports and the panel in step:
//  - with the running instance (instance-access + data-access): the editor works on the
//    instance's own port; its notices reach the panel through the instance's listener;
//    messages the instance could not show appear on the status line; when the engine's
//    parameters change by other means than the host's ports (a program change, a bank
//    read) the engine's values are written to the host's ports, marked for the instance
//    as write-backs (no user's change); every panel open on one instance hears it;
//  - without it: the host's port values and the parameter table's texts (HostPort); the
//    scopes, thumbnails and engine values come as display messages on the plug-in's
//    notify port (DisplayReceiver); what needs the running instance (file commands,
//    settings) says so on the status line.
// Threads: everything on the host's UI thread except the listener's notices (any thread,
// never blocking: they store whole words and the editor's own hand-over does the rest).

#include <atomic>
#include <cstdint>
#include <memory>

#include <lv2/ui/ui.h>

#include "editor/ad_editor.h"
#include "plugin/lv2/lv2_access.h"
#include "plugin/lv2/lv2_ui_port.h"

namespace grainwheel::lv2 {

// What the status line says when the host gives the panel no access to the instance.
inline constexpr const char* kNoAccessText =
    "This host gives the panel no access to the running plug-in: files and settings cannot be changed";

class Lv2Panel final : public EngineListener, public PanelHost {
public:
    struct Host {
        LV2UI_Write_Function write = nullptr;
        LV2UI_Controller controller = nullptr;
        const LV2UI_Touch* touch = nullptr;
        const LV2UI_Resize* resize = nullptr;
        void* parent = nullptr;           // ui:parent, an X window id
        InstanceAccess* access = nullptr;  // null: no access to the running instance
        LV2_URID_Map* map = nullptr;       // urid:map: commands go as messages (else by port)
        float sampleRate = 44100.0f;       // the host's rate (without access, until the plug-in tells)
        float scaleFactor = 0.0f;          // ui:scaleFactor (0: the host gives none)
    };
    // Null when memory is short.
    static Lv2Panel* create(const Host& host);
    // Detaches from the instance first (no notice reaches the editor afterwards), then
    // closes the editor.
    ~Lv2Panel() override;
    Lv2Panel(const Lv2Panel&) = delete;
    Lv2Panel& operator=(const Lv2Panel&) = delete;

    // The panel's own X window (0 when headless: no ui:parent or no display).
    std::uintptr_t widget() const;
    // A control port's new value from the host, or a message of the notify port.
    void portEvent(std::uint32_t index, std::uint32_t size, std::uint32_t format, const void* buffer);
    // The host's idle call: the editor's idle (which also handles the window's events).
    int idle();

    ADEditor& editor() { return *editor_; }
    // The host's scale (ui:scaleFactor) given later through the options interface.
    void setHostScale(float scale) { editor_->setContentScale(scale); }
    LV2_URID_Map* uridMap() const { return host_.map; }
    bool hasAccess() const { return host_.access != nullptr; }

    // EngineListener (any thread).
    void engineNotice(int index, float value) override;
    void engineRefresh() override;

    // PanelHost (UI thread). Without the instance, what needs it says so on the status
    // line. With it, the status text of the user's last change is shown again once the
    // instance has applied it (it takes the host's port value at its next block).
    bool userChanging(int tag) override;
    void userChanged(int tag, float value) override;

private:
    explicit Lv2Panel(const Host& host);
    // The engine's values of the host parameters to the host's ports where they differ.
    void writeEngineValues();
    // The panel's new size to the host (ui:resize).
    static void panelResized(void* panel, PanelSize size);
    // The status text waiting for the instance, once it has the value (or has waited long).
    void followPendingStatus();

    Host host_;
    HostLink link_;
    std::unique_ptr<DisplayReceiver> display_;  // without access
    std::unique_ptr<HostPort> hostPort_;        // without access
    UiPort* port_ = nullptr;  // owned by the editor
    std::unique_ptr<ADEditor> editor_;
    std::atomic<bool> resync_{false};
    int idles_ = 0;
    int statusTag_ = -1;  // the control whose text waits for the instance; -1 none
    float statusValue_ = 0.0f;
    int statusWait_ = 0;  // idles left before it is given up
};

}  // namespace grainwheel::lv2
