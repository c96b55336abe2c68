// A small VST 2 plug-in with a toolkit editor, for the editor tools' tests: one automated
// fader (parameter 0), a status label that names the fader's value, a menu with a
// submenu. Its frame is the toolkit's platform frame, so it opens headless without a
// parent window and in a real child window with one.
#include <cstdio>

#include "editor/clabel.h"
#include "gui/platformframe.h"
#include "gui/vstgui.h"
#include "host/aeffguieditor.h"
#include "host/audioeffectx.h"
#include "host/entry.h"
#include "plugin/vst2_frame.h"

using namespace VSTGUI;

namespace {

class SmallEffect;

class SmallEditor : public AEffGUIEditor, public CControlListener {
public:
    explicit SmallEditor(AudioEffect* e) : AEffGUIEditor(e) { rect = ERect{0, 0, 120, 240}; }
    VstInt32 open(void* ptr) override {
        AEffGUIEditor::open(ptr);
        CFrame* f = createPlatformFrame(CRect(0, 0, 240, 120), ptr, this);
        f->setBackgroundColor(MakeCColor(40, 40, 60));
        f->setDirty();
        fader = new CVerticalSlider(CRect(10, 10, 24, 110), this, 0, 10, 103, nullptr, nullptr, CPoint(0, 0), kTop);
        fader->setValue(effect->getParameter(0));
        fader->setDefaultValue(0.25f);
        f->addView(fader);
        auto* menu = new COptionMenu(CRect(40, 10, 120, 26), this, 7);
        menu->addEntry("first");
        auto* sub = new COptionMenu(CRect(0, 0, 0, 0), this, 8);
        for (int i = 0; i < 29; ++i) {
            char t[16];
            std::snprintf(t, sizeof t, "row %d", i);
            sub->addEntry(t);
        }
        menu->addEntry(sub, "many rows");
        sub->forget();
        f->addView(menu);
        label = new grainwheel::CLabel(CRect(40, 40, 230, 56), nullptr, "small editor");
        label->setTransparency(false);
        f->addView(label);
        link.attach(f);
        frame = &link;
        return 1;
    }
    void close() override {
        if (CFrame* f = link.attached()) f->forget();
        link.attach(nullptr);
        frame = nullptr;
        fader = nullptr;
        label = nullptr;
    }
    void valueChanged(CDrawContext*, CControl* c) override {
        if (c->getTag() == 0) {
            effect->setParameterAutomated(0, c->getValue());
            char text[32];
            std::snprintf(text, sizeof text, "%.3f", static_cast<double>(c->getValue()));
            label->setTextParts("Level : ", text, "");
        } else if (c->getTag() == 8) {
            label->setFontColor(kRedCColor);
            label->setText("row chosen");
        }
    }
    void controlBeginEdit(CControl* c) override {
        if (c->getTag() == 0) static_cast<AudioEffectX*>(effect)->beginEdit(0);
    }
    void controlEndEdit(CControl* c) override {
        if (c->getTag() == 0) static_cast<AudioEffectX*>(effect)->endEdit(0);
    }
    void setParameter(VstInt32 index, float value) override {
        if (index == 0 && fader) fader->setValue(value);
        postUpdate();
    }
    grainwheel::Vst2Frame link;
    CVerticalSlider* fader = nullptr;
    grainwheel::CLabel* label = nullptr;
};

class SmallEffect : public AudioEffectX {
public:
    explicit SmallEffect(audioMasterCallback master) : AudioEffectX(master, 1, 1) {
        setNumInputs(2);
        setNumOutputs(2);
        setUniqueID(0x47577445);  // 'GWtE'
        canProcessReplacing(true);
        new SmallEditor(this);
    }
    void setParameter(VstInt32 index, float value) override {
        if (index == 0) level = value;
        if (editor) static_cast<AEffGUIEditor*>(editor)->setParameter(index, value);
    }
    float getParameter(VstInt32 index) override { return index == 0 ? level : 0.0f; }
    void getParameterName(VstInt32 index, char* text) override { std::snprintf(text, 9, "%s", index == 0 ? "level" : ""); }
    void processReplacing(float** in, float** out, VstInt32 frames) override {
        for (VstInt32 i = 0; i < frames; ++i) {
            out[0][i] = in[0][i] * level;
            out[1][i] = in[1][i] * level;
        }
    }

private:
    float level = 0.5f;
};

}  // namespace

AudioEffect* createEffectInstance(audioMasterCallback audioMaster) { return new SmallEffect(audioMaster); }
