// The LV2 panel against the plug-in's own adapter, in one process: what reaches the host's
// control ports and touch, what goes straight to the instance, kill buffer's question,
// the engine's values written back after a program change and a bank read, the
// instance's messages, port events, and the panel without access to the instance.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "editor/clabel.h"
#include "engine/parameter_index.h"
#include "gui/vstgui.h"
#include "plugin/lv2/lv2_effect.h"
#include "plugin/lv2/lv2_ui_panel.h"
#include "platform/scripted_dialogs.h"
#include "resources/panel_layout.h"

using namespace grainwheel;
using namespace grainwheel::lv2;
using namespace VSTGUI;

namespace {

// What the host heard from the panel.
struct HostRecord {
    std::vector<std::pair<std::uint32_t, float>> writes;
    std::vector<std::string> touches;  // "+1" grabbed, "-1" let go
    int width = 0, height = 0;

    static void write(LV2UI_Controller c, std::uint32_t port, std::uint32_t size, std::uint32_t format,
                      const void* buffer) {
        if (size == sizeof(float) && format == 0)
            static_cast<HostRecord*>(c)->writes.emplace_back(port, *static_cast<const float*>(buffer));
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
        fx_ = Lv2Effect::create(44100.0, nullptr);
        ASSERT_NE(fx_, nullptr);
        for (int i = 0; i < kParameterPorts; ++i) {
            ports_[i] = fx_->engine().getParameter(i);
            fx_->connectPort(static_cast<std::uint32_t>(i), &ports_[i]);
        }
        fx_->connectPort(kPortInLeft, in_);
        fx_->connectPort(kPortInRight, in_);
        fx_->connectPort(kPortOutLeft, out_[0]);
        fx_->connectPort(kPortOutRight, out_[1]);
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
        panel_.reset(Lv2Panel::create(h));
        ASSERT_NE(panel_, nullptr);
    }
    // The host takes the panel's writes into its ports and runs a block.
    void hostCycle() {
        for (const auto& w : host_.writes) ports_[w.first] = w.second;
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
    fx_->engine().getParameterDisplay(kMainLevl, shown);
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
    fx_->engine().switchProgram(1);
    fx_->engine().setParameter(kMainLevl, 0.9f);
    fx_->engine().switchProgram(0);
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
