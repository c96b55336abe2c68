// The LV2 panel against the plug-in's own adapter, in one process: what reaches the host's
// control ports and touch, what goes straight to the instance, kill buffer's question,
// the engine's values written back after a program change and a bank read (taken as no
// user's change), the instance's messages, port events, two panels on one instance, the
// commands as messages, and the panel without access to the instance.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "engine/engine_inspection.h"
#include "editor/clabel.h"
#include "engine/parameter_index.h"
#include "gui/vstgui.h"
#include <lv2/atom/util.h>
#include "plugin/lv2/lv2_effect.h"
#include "plugin/lv2/lv2_ui_panel.h"
#include "platform/scripted_dialogs.h"
#include "resources/panel_layout.h"

using namespace grainwheel;
using namespace grainwheel::lv2;
using namespace VSTGUI;

namespace {

// URIs to numbers, for the instance and the panel of a host that maps them.
struct UridMap {
    std::vector<std::string> uris;
    LV2_URID_Map feature{this, [](LV2_URID_Map_Handle h, const char* uri) -> LV2_URID {
                             auto& u = static_cast<UridMap*>(h)->uris;
                             for (std::size_t i = 0; i < u.size(); ++i)
                                 if (u[i] == uri) return static_cast<LV2_URID>(i + 1);
                             u.emplace_back(uri);
                             return static_cast<LV2_URID>(u.size());
                         }};
    LV2_URID operator()(const char* uri) { return feature.map(this, uri); }
};

// What the host heard from the panel.
struct HostRecord {
    std::vector<std::pair<std::uint32_t, float>> writes;
    std::vector<std::vector<std::uint8_t>> messages;  // atom:eventTransfer to the time port
    std::vector<std::string> touches;  // "+1" grabbed, "-1" let go
    int width = 0, height = 0;

    static void write(LV2UI_Controller c, std::uint32_t port, std::uint32_t size, std::uint32_t format,
                      const void* buffer) {
        auto* r = static_cast<HostRecord*>(c);
        if (size == sizeof(float) && format == 0) r->writes.emplace_back(port, *static_cast<const float*>(buffer));
        else if (format != 0 && port == kPortTime) {
            const auto* bytes = static_cast<const std::uint8_t*>(buffer);
            r->messages.emplace_back(bytes, bytes + size);
        }
    }
    static void touch(LV2UI_Feature_Handle h, std::uint32_t port, bool grabbed) {
        static_cast<HostRecord*>(h)->touches.push_back((grabbed ? "+" : "-") + std::to_string(port));
    }
    static int resize(LV2UI_Feature_Handle h, int w, int hh) {
        auto* r = static_cast<HostRecord*>(h);
        r->width = w;
        r->height = hh;
        return 0;
    }
    // The last value written to port, or -1 when none was.
    float lastWrite(std::uint32_t port) const {
        for (auto it = writes.rbegin(); it != writes.rend(); ++it)
            if (it->first == port) return it->second;
        return -1.0f;
    }
    int count(std::uint32_t port) const {
        int n = 0;
        for (const auto& w : writes) n += w.first == port ? 1 : 0;
        return n;
    }
};

class PanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        fx_ = Lv2Effect::create(44100.0, mapped_ ? features_ : nullptr);
        ASSERT_NE(fx_, nullptr);
        for (int i = 0; i < kParameterPorts; ++i) {
            ports_[i] = fx_->engine().getParameter(i);
            fx_->connectPort(static_cast<std::uint32_t>(i), &ports_[i]);
        }
        fx_->connectPort(kPortInLeft, in_);
        fx_->connectPort(kPortInRight, in_);
        fx_->connectPort(kPortOutLeft, out_[0]);
        fx_->connectPort(kPortOutRight, out_[1]);
        if (mapped_) fx_->connectPort(kPortTime, &sequence_);
        fx_->activate();
    }
    void TearDown() override {
        panel_.reset();
        delete fx_;
    }
    void open(bool access) {
        Lv2Panel::Host h;
        h.write = &HostRecord::write;
        h.controller = &host_;
        h.touch = &touch_;
        h.resize = &resize_;
        h.access = access ? fx_ : nullptr;
        h.map = mapped_ ? &map_.feature : nullptr;
        panel_.reset(Lv2Panel::create(h));
        ASSERT_NE(panel_, nullptr);
    }
    // The host takes the panel's writes into its ports and its messages into the time
    // port's sequence (all at the block's last frame, as Ardour does), and runs a block.
    void hostCycle() {
        for (const auto& w : host_.writes) ports_[w.first] = w.second;
        sequence_.atom = {sizeof(LV2_Atom_Sequence_Body), map_(LV2_ATOM__Sequence)};
        sequence_.body = {0, 0};
        auto* end = reinterpret_cast<std::uint8_t*>(&sequence_.body + 1);
        for (const auto& m : host_.messages) {
            LV2_Atom_Event ev{};
            ev.time.frames = kBlock - 1;
            std::memcpy(end, &ev, sizeof(ev.time));
            std::memcpy(end + sizeof(ev.time), m.data(), m.size());
            const std::uint32_t n = lv2_atom_pad_size(static_cast<std::uint32_t>(sizeof(ev.time) + m.size()));
            end += n;
            sequence_.atom.size += n;
        }
        host_.messages.clear();
        fx_->run(kBlock);
    }
    void idle(int n = 1) {
        for (int i = 0; i < n; ++i) panel_->idle();
    }
    CControl* control(long tag) { return panel_->editor().controlWithTag(tag); }
    // The user moves control `tag` to v with a gesture around it.
    void userMoves(long tag, float v) {
        CControl* c = control(tag);
        ASSERT_NE(c, nullptr) << tag;
        panel_->editor().controlBeginEdit(c);
        c->setValue(v);
        panel_->editor().valueChanged(nullptr, c);
        panel_->editor().controlEndEdit(c);
    }
    void userSets(long tag, float v) {
        CControl* c = control(tag);
        ASSERT_NE(c, nullptr) << tag;
        c->setValue(v);
        panel_->editor().valueChanged(nullptr, c);
    }
    std::string status() { return panel_->editor().status() ? panel_->editor().status()->getText() : "<none>"; }

    static constexpr std::uint32_t kBlock = 64;
    bool mapped_ = false;  // the host maps URIs for the instance and the panel
    UridMap map_;
    const LV2_Feature mapFeature_{LV2_URID__map, &map_.feature};
    const LV2_Feature* features_[2] = {&mapFeature_, nullptr};
    union {
        LV2_Atom_Sequence sequence_;
        std::uint8_t sequenceSpace_[4096];
    };
    HostRecord host_;
    LV2UI_Touch touch_{&host_, &HostRecord::touch};
    LV2UI_Resize resize_{&host_, &HostRecord::resize};
    Lv2Effect* fx_ = nullptr;
    float ports_[kParameterPorts] = {};
    float in_[kBlock] = {};
    float out_[2][kBlock] = {};
    std::unique_ptr<Lv2Panel> panel_;
};

TEST_F(PanelTest, OpensAtThePanelSizeAndSendsHostParametersToTheHostWithTouch) {
    open(true);
    EXPECT_EQ(host_.width, panel::kWidth);
    EXPECT_EQ(host_.height, panel::kHeight);
    EXPECT_EQ(host_.width, 930);
    EXPECT_EQ(host_.height, 414);
    ASSERT_TRUE(panel_->editor().isOpen());

    // Unit 3's time fader: the host hears touch, the value, release; the instance takes
    // it from the host's port at its next block, not before.
    const float before = fx_->engine().getParameter(kTime + 3);
    userMoves(kTime + 3, 0.25f);
    ASSERT_EQ(host_.writes.size(), 1u);
    EXPECT_EQ(host_.writes[0].first, static_cast<std::uint32_t>(kTime + 3));
    EXPECT_FLOAT_EQ(host_.writes[0].second, 0.25f);
    EXPECT_EQ(host_.touches, (std::vector<std::string>{"+46", "-46"}));
    EXPECT_EQ(fx_->engine().getParameter(kTime + 3), before);
    hostCycle();
    EXPECT_FLOAT_EQ(fx_->engine().getParameter(kTime + 3), 0.25f);

    // The status line shows the new value's text once the instance has it.
    userMoves(kMainLevl, 0.8f);
    hostCycle();
    idle();
    char shown[64] = {};
    fx_->engine().parameters().display(kMainLevl, shown);
    EXPECT_EQ(status(), std::string("Amplitude : ") + shown);

    // A setting is none of the host's: straight to the instance, nothing written.
    host_.writes.clear();
    host_.touches.clear();
    const float range = fx_->engine().getParameter(kSettingPitchFaderRange) == 1.0f ? 2.0f : 1.0f;
    userSets(kSettingPitchFaderRange, range);
    EXPECT_TRUE(host_.writes.empty());
    EXPECT_TRUE(host_.touches.empty());
    EXPECT_EQ(fx_->engine().getParameter(kSettingPitchFaderRange), range);
}

TEST_F(PanelTest, KillBufferIsAskedFirstAndOnlyAYesIsSent) {
    open(true);
    platform::ScriptedDialogs dialogs;
    platform::ScopedDialogs scoped(dialogs);
    fx_->engine().selectBuffer(4);
    ASSERT_EQ(fx_->engine().getCurrentBuffer(), 4);

    dialogs.queueAnswer(false);
    userSets(kKillBufr, 1.0f);
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_EQ(dialogs.questions[0].title, "grainwheel - confirm erase buffer");
    EXPECT_EQ(dialogs.questions[0].text, "Erase buffer number  5 ?");
    EXPECT_EQ(host_.count(kKillBufr), 0);
    userSets(kKillBufr, 0.0f);  // the release: no question

    dialogs.queueAnswer(true);
    userSets(kKillBufr, 1.0f);
    EXPECT_EQ(dialogs.questions.size(), 2u);
    EXPECT_FLOAT_EQ(host_.lastWrite(kKillBufr), 1.0f);
}

TEST_F(PanelTest, AProgramChangeAndABankReadWriteTheEnginesValuesToTheHost) {
    // Program 2 differs from program 1 in its level.
    fx_->engine().parameters().switchProgram(1);
    fx_->engine().setParameter(kMainLevl, 0.9f);
    fx_->engine().parameters().switchProgram(0);
    ASSERT_NE(fx_->engine().getParameter(kMainLevl), 0.9f);
    open(true);
    host_.writes.clear();
    platform::ScriptedDialogs dialogs;
    platform::ScopedDialogs scoped(dialogs);

    // Next program (the instance steps it itself): the host's program and level ports
    // follow at the next idle.
    userSets(kNextProg, 1.0f);
    userSets(kNextProg, 0.0f);
    ASSERT_FLOAT_EQ(fx_->engine().getParameter(kProgram), 1.0f / 15.0f);
    idle();
    EXPECT_FLOAT_EQ(host_.lastWrite(kProgram), 1.0f / 15.0f);
    EXPECT_FLOAT_EQ(host_.lastWrite(kMainLevl), 0.9f);
    // Nothing of the commands, and only what differs.
    EXPECT_EQ(host_.count(kNextProg), 0);
    EXPECT_EQ(host_.count(kDensity), 0);

    // A bank read through the panel's port: the values it brings reach the host.
    const std::string bank = std::string(::testing::TempDir()) + "lv2_ui_panel_test.grb";
    fx_->engine().setParameter(kDensity, 0.125f);
    ASSERT_EQ(panel_->editor().port()->writeBankFile(bank.c_str()), 0);
    fx_->engine().setParameter(kDensity, 0.5f);
    hostCycle();
    host_.writes.clear();
    ASSERT_EQ(panel_->editor().port()->readBankFile(bank.c_str()), 0);
    idle(2);
    EXPECT_FLOAT_EQ(fx_->engine().getParameter(kDensity), 0.125f);
    EXPECT_FLOAT_EQ(host_.lastWrite(kDensity), 0.125f);
    std::remove(bank.c_str());
}

// After a program change the panel writes the engine's values to the host's ports: the
// instance takes none of them as a user's change (bufferNo would end trigger mode's halt,
// program would reload the program).
TEST_F(PanelTest, TheWriteBackActsAsNoUsersChange) {
    open(true);
    ports_[kTrigmode] = 1.0f;
    hostCycle();
    fx_->engine().setParameter(kSettingMorphAlgorithm, 0.0f);  // buffers selected at once
    ports_[kBufferNo] = 6.0f / 15.0f;  // the user's choice in the host, which tells the panel
    panel_->portEvent(kBufferNo, sizeof(float), 0, &ports_[kBufferNo]);
    hostCycle();
    ASSERT_EQ(fx_->engine().getCurrentBuffer(), 6);
    userSets(kNextProg, 1.0f);
    userSets(kNextProg, 0.0f);
    fx_->engine().setParameter(kMainLevl, 0.2f);  // an edit not saved in program 1
    fx_->engine().setHalted(true);
    host_.writes.clear();
    idle();
    ASSERT_EQ(host_.lastWrite(kBufferNo), 0.0f);  // program 1's buffer
    ASSERT_FLOAT_EQ(host_.lastWrite(kProgram), 1.0f / 15.0f);
    hostCycle();
    EXPECT_NE(EngineInspection::sequencer(fx_->engine()).halted, 0);
    EXPECT_EQ(fx_->engine().getCurrentBuffer(), 0);
    EXPECT_FLOAT_EQ(fx_->engine().getParameter(kMainLevl), 0.2f);
    // The user's own choice of a buffer does end it.
    host_.writes.clear();
    ports_[kBufferNo] = 2.0f / 15.0f;
    hostCycle();
    EXPECT_EQ(EngineInspection::sequencer(fx_->engine()).halted, 0);
}

// Two panels on one instance: each hears the engine until it is closed itself.
TEST_F(PanelTest, ClosingOnePanelLeavesTheOtherAttached) {
    open(true);
    Lv2Panel::Host h;
    h.write = &HostRecord::write;
    h.controller = &host_;
    h.access = fx_;
    std::unique_ptr<Lv2Panel> second(Lv2Panel::create(h));
    ASSERT_NE(second, nullptr);
    fx_->engine().setParameter(kSpeed + 1, 0.125f);
    panel_->idle();
    second->idle();
    EXPECT_FLOAT_EQ(control(kSpeed + 1)->getValue(), 0.125f);
    panel_.reset();
    fx_->engine().setParameter(kSpeed + 1, 0.625f);
    second->idle();
    EXPECT_FLOAT_EQ(second->editor().controlWithTag(kSpeed + 1)->getValue(), 0.625f);
    open(true);
    second.reset();
    fx_->engine().setParameter(kSpeed + 1, 0.25f);
    idle();
    EXPECT_FLOAT_EQ(control(kSpeed + 1)->getValue(), 0.25f);
}

TEST_F(PanelTest, PortEventsMoveTheControlsAndTheInstancesMessagesReachTheStatusLine) {
    open(true);
    // The host's first values repeat what the panel shows: no reaction (rec sync's 0
    // would otherwise say "Recording stopped").
    const std::string first = status();
    for (int i = 0; i < kParameterPorts; ++i) panel_->portEvent(i, sizeof(float), 0, &ports_[i]);
    EXPECT_EQ(status(), first);
    const float v = 0.3125f;
    panel_->portEvent(kSpeed + 2, sizeof(float), 0, &v);
    EXPECT_FLOAT_EQ(control(kSpeed + 2)->getValue(), v);
    // Other formats and ports beyond the parameters are not the panel's.
    const float w = 0.75f;
    panel_->portEvent(kSpeed + 2, sizeof(float), 7, &w);
    panel_->portEvent(kPortOutLeft, sizeof(float), 0, &w);
    EXPECT_FLOAT_EQ(control(kSpeed + 2)->getValue(), v);

    fx_->report("grainwheel - Error recovering last session: buffer03.wav");
    idle(16);
    EXPECT_EQ(status(), "grainwheel - Error recovering last session: buffer03.wav");
}

TEST_F(PanelTest, WithoutAccessThePanelOpensControlsTheHostAndSaysWhatIsMissing) {
    open(false);
    EXPECT_EQ(host_.width, 930);
    EXPECT_EQ(status(), kNoAccessText);
    platform::ScriptedDialogs dialogs;
    platform::ScopedDialogs scoped(dialogs);

    // Host values arrive through port events; the controls and texts follow them.
    const float v = 0.75f;
    panel_->portEvent(kMainLevl, sizeof(float), 0, &v);
    EXPECT_FLOAT_EQ(control(kMainLevl)->getValue(), v);
    // Its text is the parameter table's for the host's value.
    char text[32] = {};
    panel_->editor().port()->getParameterDisplay(kMainLevl, text);
    EXPECT_STREQ(text, "+1 dB");
    // The user's change goes to the host, with its touch, and its text is shown at once.
    userMoves(kPitch + 1, 0.2f);
    EXPECT_FLOAT_EQ(host_.lastWrite(kPitch + 1), 0.2f);
    EXPECT_EQ(host_.touches, (std::vector<std::string>{"+76", "-76"}));
    EXPECT_NE(status(), kNoAccessText);
    // What needs the running instance says so: a setting, a file command.
    const float range = panel_->editor().port()->getParameter(kSettingPitchFaderRange);
    userSets(kSettingPitchFaderRange, range == 1.0f ? 0.0f : 1.0f);
    EXPECT_EQ(status(), kNoAccessText);
    EXPECT_EQ(control(kSettingPitchFaderRange)->getValue(), range);
    EXPECT_EQ(panel_->editor().port()->getParameter(kSettingPitchFaderRange), range);
    userSets(kLoadWaveButton, 1.0f);
    EXPECT_TRUE(dialogs.fileRequests.empty());
    EXPECT_EQ(status(), kNoAccessText);
    // Kill buffer is still asked first (for the buffer the host has selected).
    const float third = 2.0f / 15.0f;
    panel_->portEvent(kBufferNo, sizeof(float), 0, &third);
    dialogs.queueAnswer(true);
    userSets(kKillBufr, 1.0f);
    ASSERT_EQ(dialogs.questions.size(), 1u);
    EXPECT_EQ(dialogs.questions[0].text, "Erase buffer number  3 ?");
    EXPECT_FLOAT_EQ(host_.lastWrite(kKillBufr), 1.0f);
}

// A host that maps URIs for the panel: a command's press and release reach the instance
// as messages, each once and in order, also when both fall within one host cycle; the
// command's port is never written.
class MappedPanelTest : public PanelTest {
protected:
    MappedPanelTest() { mapped_ = true; }
};

TEST_F(MappedPanelTest, EveryClickOnACommandActsOnceWhateverTheHostsCycles) {
    open(true);
    platform::ScriptedDialogs dialogs;
    platform::ScopedDialogs scoped(dialogs);
    auto pitches = [&](float v) {
        for (int u = 0; u < 16; ++u) ports_[kPitch + u] = v;
        hostCycle();
    };
    pitches(0.3f);
    userSets(kPitchPreset + 1, 1.0f);  // press and release within one cycle
    userSets(kPitchPreset + 1, 0.0f);
    hostCycle();
    EXPECT_FLOAT_EQ(fx_->engine().getParameter(kPitch + 9), 0.75f);
    pitches(0.4f);
    hostCycle();  // nothing sent again
    EXPECT_FLOAT_EQ(fx_->engine().getParameter(kPitch + 9), 0.4f);
    userSets(kPitchPreset + 1, 1.0f);  // press and release in two cycles
    hostCycle();
    userSets(kPitchPreset + 1, 0.0f);
    hostCycle();
    EXPECT_FLOAT_EQ(fx_->engine().getParameter(kPitch + 9), 0.75f);

    // Copy in program 0, paste into program 1: both within one cycle.
    fx_->engine().setParameter(kDensity, 0.125f);
    userSets(kCopyPrg, 1.0f);
    userSets(kCopyPrg, 0.0f);
    hostCycle();
    fx_->engine().parameters().switchProgram(1);
    ASSERT_NE(fx_->engine().getParameter(kDensity), 0.125f);
    userSets(kPastePrg, 1.0f);
    userSets(kPastePrg, 0.0f);
    hostCycle();
    EXPECT_FLOAT_EQ(fx_->engine().getParameter(kDensity), 0.125f);
    for (const int i : {kPitchPreset + 1, static_cast<int>(kCopyPrg), static_cast<int>(kPastePrg)}) EXPECT_EQ(host_.count(i), 0) << i;
}

// Closing the panel while the instance's audio thread sends notices: the listener is
// detached first, so no notice reaches a deleted editor (ASan and TSan builds check).
TEST_F(PanelTest, CleanupDetachesFromARunningInstance) {
    std::atomic<bool> stop{false};
    std::thread audio([&] {
        float level = 0.0f;
        while (!stop.load()) {
            level = level > 0.9f ? 0.0f : level + 0.01f;
            ports_[kMainLevl] = level;
            ports_[kProgram] = level > 0.5f ? 1.0f / 15.0f : 0.0f;
            fx_->run(kBlock);
        }
    });
    for (int round = 0; round < 20; ++round) {
        open(true);
        idle(3);
        panel_.reset();
    }
    stop.store(true);
    audio.join();
    // The instance goes on without a listener.
    ports_[kMainLevl] = 0.5f;
    fx_->run(kBlock);
    SUCCEED();
}

}  // namespace
