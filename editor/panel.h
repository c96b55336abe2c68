#pragma once
// The seam between the panel and the plug-in formats. Each format's adapter owns a panel
// through a small glue class of its own and passes its host's calls on through Panel:
// open in the window the host gives, idle on the user-interface thread, close, the
// effect's notices, the size the host makes room for. What goes the other way (values,
// the host's automation gestures, files) goes through the panel's EffectPort, which the
// adapter implements; where an adapter answers some of the user's changes itself, it
// gives the panel a PanelHost. The panel draws into a toolkit frame of its own.

namespace VSTGUI {
class CFrame;
}

namespace grainwheel {

struct PanelSize {
    int width = 0;
    int height = 0;
};

class Panel {
public:
    virtual ~Panel() = default;
    // Builds the panel in parentWindow, the platform's window handle (an X window id, a
    // window handle; null: a frame without a window). A second open rebuilds.
    virtual bool open(void* parentWindow) = 0;
    virtual void close() = 0;
    // The user-interface thread's periodic call: the work notices handed over, window
    // events and drawing. The thread that calls it is the panel's user-interface thread.
    virtual void idle() = 0;
    // The size the panel draws, open or not.
    virtual PanelSize size() const = 0;
    // A parameter change or a notice from the effect (any thread; never blocks).
    virtual void setParameter(int index, float value) = 0;
    // The frame the panel draws in while open (null while closed): where the glue sends
    // the host's keys and wheel, and finds the panel's window.
    virtual VSTGUI::CFrame* panelFrame() const = 0;

    // Scale. The panel's layout is in its own units (size() at scale 1); it draws at a
    // scale S (pixels per unit, 1..3) into size() = units x S pixels. setContentScale is
    // the host's scale as its format says it (0: the host says none; open or not); the
    // panel chooses S from it, the window system's, the user's zoom and the environment
    // (editor/panel_scale.h). When S changes (any source), the resize callback hears the
    // new size() on the user-interface thread so the adapter can ask its host for room.
    virtual void setContentScale(float scale) = 0;
    virtual float contentScale() const = 0;
    using ResizeCallback = void (*)(void* owner, PanelSize size);
    virtual void setResizeCallback(ResizeCallback callback, void* owner) = 0;
};

// What an adapter adds to the panel's handling of the user's changes (user-interface
// thread). tag is the changed control's tag, or for a click on a scope the notice the
// scope stands for.
class PanelHost {
public:
    // Before the panel acts on the change; false: the adapter has answered it and the
    // panel leaves it.
    virtual bool userChanging(int tag) = 0;
    // After the panel has acted on a control's change (value: the control's).
    virtual void userChanged(int tag, float value) = 0;

protected:
    ~PanelHost() = default;
};

}  // namespace grainwheel
