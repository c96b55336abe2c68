// The control ports as the engine receives them (clamped, NaN ignored, each click on a
// command once in any kind of host, the ports' properties as the engine behaves, a
// restored state not overridden by the ports' old values) and the worker (none offered:
// the plug-in runs on; offered: the handed-off work runs there, not in run(); a recording
// switched on before the first block allocates nothing there).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <limits>
#include <string>
#include <thread>

#include "engine/parameter_table.h"
#include "tests/lv2/lv2_test_host.h"
#include "tests/support/counting_new.h"

namespace {

using namespace gwlv2test;
using namespace grainwheel;

constexpr float kStep = 1.0f / 15.0f;

void select(Instance& fx, int k) {
    fx.port().setParameter(kSettingMorphAlgorithm, 0.0f);  // selection at once
    fx.control(kBufferNo) = static_cast<float>(k) * kStep;
    fx.play(512);
    ASSERT_EQ(fx.port().currentBuffer(), k);
}

// Rec free into buffer k for half a second.
void recordInto(Instance& fx, int k) {
    select(fx, k);
    fx.control(kRecFree) = 1.0f;
    fx.play(22050);
    fx.control(kRecFree) = 0.0f;
    fx.play(512);
}

TEST(Lv2Ports, OutOfRangeAndNaNNeverReachTheEngine) {
    Instance fx;
    fx.activate();
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    for (const int i : std::initializer_list<int>{kMainLevl, kDensity, kUnitDura, kReso, kTime + 3, kSpeed + 7, kPitch + 1, kFreq + 15, kBufPos + 2}) {
        fx.control(i) = 0.25f;
        fx.play(256);
        ASSERT_FLOAT_EQ(fx.port().getParameter(i), 0.25f);
        fx.control(i) = nan;
        EXPECT_TRUE(std::isfinite(fx.play(256)));
        EXPECT_FLOAT_EQ(fx.port().getParameter(i), 0.25f) << Instance::symbol(i) << ": NaN left it as it was";
        for (const float v : {7.0f, inf, 1e30f}) {
            fx.control(i) = v;
            EXPECT_TRUE(std::isfinite(fx.play(256)));
            EXPECT_EQ(fx.port().getParameter(i), 1.0f) << Instance::symbol(i) << " " << v;
        }
        for (const float v : {-3.0f, -inf}) {
            fx.control(i) = v;
            EXPECT_TRUE(std::isfinite(fx.play(256)));
            EXPECT_EQ(fx.port().getParameter(i), 0.0f) << Instance::symbol(i) << " " << v;
        }
        fx.control(i) = 0.5f;
        fx.play(256);
    }
}

// Every click on a command acts once, however the host delivers it: Ardour 7 shows the
// command ports as toggles that stay where they were clicked (each click one change); a
// host honouring pprops:trigger resets the port to its default after the block; the panel
// sends press and release as messages, both possibly within one block. nextprog acts on
// the engine's falling edge, the pitch preset on its press.
TEST(Lv2Ports, EveryClickOnACommandActsOnce) {
    Instance fx;
    fx.activate();
    fx.play(256);
    int expected = 0;
    auto program = [&] { return static_cast<int>(std::lround(fx.port().getParameter(kProgram) * 15.0f)); };
    auto pitchAfterClick = [&](auto click) {
        fx.control(kPitch + 3) = 0.3f;
        fx.play(256);
        click();
        return fx.port().getParameter(kPitch + 3);
    };
    for (int click = 0; click < 4; ++click) {  // latching: 0 -> 1 -> 0 -> 1 -> 0
        fx.control(kNextProg) = fx.control(kNextProg) == 0.0f ? 1.0f : 0.0f;
        fx.play(256 * 3);
        EXPECT_EQ(program(), ++expected) << "toggle click " << click;
        EXPECT_FLOAT_EQ(pitchAfterClick([&] {
            fx.control(kPitchPreset + 2) = fx.control(kPitchPreset + 2) == 0.0f ? 1.0f : 0.0f;
            fx.play(256);
        }), 0.5f) << "toggle click " << click;
    }
    for (int click = 0; click < 3; ++click) {  // reset after the block
        fx.control(kNextProg) = 1.0f;
        fx.play(256);
        fx.control(kNextProg) = 0.0f;
        fx.play(256 * 3);
        EXPECT_EQ(program(), ++expected) << "trigger click " << click;
        EXPECT_FLOAT_EQ(pitchAfterClick([&] {
            fx.control(kPitchPreset + 1) = 1.0f;
            fx.play(256);
            fx.control(kPitchPreset + 1) = 0.0f;
            fx.play(256);
        }), 0.75f);
    }
    for (int clicks = 1; clicks <= 2; ++clicks) {  // messages, all within one block
        for (int c = 0; c < clicks; ++c) {
            fx.queueCommand(3 + 2 * c, kNextProg, 1.0f);
            fx.queueCommand(4 + 2 * c, kNextProg, 0.0f);
        }
        fx.play(256);
        fx.play(256 * 3);
        expected += clicks;
        EXPECT_EQ(program(), expected) << clicks << " clicks in one block";
        EXPECT_FLOAT_EQ(pitchAfterClick([&] {
            fx.queueCommand(0, kPitchPreset + 4, 1.0f);
            fx.queueCommand(0, kPitchPreset + 4, 0.0f);
            fx.play(256);
        }), 0.0f);
    }
    // A message for what is not a command, or of another value, does nothing.
    fx.queueCommand(0, kProgram, 1.0f);
    fx.queueCommand(0, kNextProg, 0.5f);
    fx.queueCommand(0, kNextProg, 0.0f);
    fx.play(256);
    EXPECT_EQ(program(), expected);
}

// What each control port's properties tell a host, against what the engine does with the
// port's values: a trigger is a command (toggled, at rest by default, its value not kept);
// an enumeration's drop-down shows its scale points, so the default is one of them and
// the engine keeps exactly those values; a toggle keeps its two values; every other port
// keeps a value in between, as a slider shows it. Each port is its parameter table row.
TEST(Lv2Ports, PortPropertiesMeanWhatTheEngineDoes) {
    World& w = World::get();
    auto node = [&](const char* uri) { return lilv_new_uri(w.world, uri); };
    LilvNode* enumeration = node(LV2_CORE__enumeration);
    LilvNode* toggled = node(LV2_CORE__toggled);
    LilvNode* integer = node(LV2_CORE__integer);
    LilvNode* trigger = node("http://lv2plug.in/ns/ext/port-props#trigger");
    Instance fx;
    fx.activate();
    fx.play(256);
    auto kept = [&](int i, float v) {
        fx.control(i) = v;
        fx.play(256);
        return fx.port().getParameter(i);
    };
    for (int i = 0; i < grainwheel::lv2::kParameterPorts; ++i) {
        const LilvPort* port = lilv_plugin_get_port_by_index(w.plugin, static_cast<std::uint32_t>(i));
        ASSERT_NE(port, nullptr);
        const char* name = Instance::symbol(i);
        auto has = [&](const LilvNode* p) { return lilv_port_has_property(w.plugin, port, p); };
        LilvNode *def = nullptr, *min = nullptr, *max = nullptr;
        lilv_port_get_range(w.plugin, port, &def, &min, &max);
        ASSERT_TRUE(def && min && max) << name;
        const float d = lilv_node_as_float(def), lo = lilv_node_as_float(min), hi = lilv_node_as_float(max);
        lilv_node_free(def), lilv_node_free(min), lilv_node_free(max);
        std::vector<float> points;
        LilvScalePoints* sp = lilv_port_get_scale_points(w.plugin, port);
        LILV_FOREACH (scale_points, it, sp)
            points.push_back(lilv_node_as_float(lilv_scale_point_get_value(lilv_scale_points_get(sp, it))));
        lilv_scale_points_free(sp);
        std::sort(points.begin(), points.end());
        const ParameterInfo& row = parameterInfo(i);
        EXPECT_STREQ(name, row.symbol);
        LilvNode* label = lilv_port_get_name(w.plugin, port);
        EXPECT_STREQ(lilv_node_as_string(label), row.name);
        lilv_node_free(label);
        EXPECT_EQ(d, row.init) << name;
        EXPECT_EQ(has(trigger), row.kind == ParameterKind::Command) << name;
        EXPECT_EQ(has(toggled), row.kind == ParameterKind::Command || row.kind == ParameterKind::Switch) << name;
        EXPECT_EQ(points.size(), row.kind == ParameterKind::Choice ? static_cast<std::size_t>(row.steps) + 1 : 0u)
            << name;
        const auto isPoint = [&](float v) { return std::find(points.begin(), points.end(), v) != points.end(); };

        EXPECT_FALSE(has(integer)) << name << ": every parameter is a fraction of 0..1";
        EXPECT_EQ(lo, 0.0f) << name;
        EXPECT_EQ(hi, 1.0f) << name;
        if (has(trigger)) {
            EXPECT_TRUE(has(toggled)) << name << ": a button where triggers are not known";
            EXPECT_EQ(d, 0.0f) << name << ": a host resets a trigger to its default";
            EXPECT_EQ(kept(i, 1.0f), 0.0f) << name << " keeps a value: not a command";
        } else if (has(enumeration)) {
            EXPECT_TRUE(isPoint(d)) << name << ": default " << d << " is none of its " << points.size() << " points";
            for (std::size_t k = 0; k < points.size(); ++k) {
                EXPECT_EQ(kept(i, points[k]), points[k]) << name << " point " << k;
                if (k + 1 < points.size()) {
                    EXPECT_TRUE(isPoint(kept(i, 0.5f * (points[k] + points[k + 1]))))
                        << name << " keeps a value between two points: not a choice of them";
                }
            }
        } else if (has(toggled)) {
            EXPECT_TRUE(d == lo || d == hi) << name;
            EXPECT_EQ(kept(i, 1.0f), 1.0f) << name;
            EXPECT_EQ(kept(i, 0.0f), 0.0f) << name;
        } else {
            EXPECT_FLOAT_EQ(kept(i, 0.37f), 0.37f) << name << " does not keep a value between its ends";
        }
        fx.control(i) = d;
        fx.play(256);
    }
    for (LilvNode* n : {enumeration, toggled, integer, trigger}) lilv_node_free(n);
}

TEST(Lv2Ports, RestoredStateStandsAgainstThePortsOldValues) {
    Instance a;
    a.activate();
    a.control(kMainLevl) = 0.3f;
    a.control(kTime + 2) = 0.1f;
    a.play(256);
    const auto state = a.saveDirect();

    Instance b;
    b.activate();
    b.control(kMainLevl) = 0.9f;
    b.control(kTime + 2) = 0.8f;
    b.play(256);
    ASSERT_FLOAT_EQ(b.port().getParameter(kMainLevl), 0.9f);
    // The host restores the plug-in's state; its ports keep their old values, one of
    // them moved since the last block.
    b.control(kTime + 2) = 0.7f;
    ASSERT_EQ(b.restoreDirect(state), LV2_STATE_SUCCESS);
    b.play(256 * 3);
    EXPECT_FLOAT_EQ(b.port().getParameter(kMainLevl), 0.3f);
    EXPECT_FLOAT_EQ(b.port().getParameter(kTime + 2), 0.1f);
    // A port the host moves afterwards is applied again.
    b.control(kMainLevl) = 0.6f;
    b.play(256);
    EXPECT_FLOAT_EQ(b.port().getParameter(kMainLevl), 0.6f);
    EXPECT_FLOAT_EQ(b.port().getParameter(kTime + 2), 0.1f);
}

TEST(Lv2Worker, WithoutOneThePluginRunsAndRecFreeWaits) {
    Instance::Options o;
    o.worker = Instance::Worker::None;
    Instance fx(o);
    ASSERT_TRUE(fx.ok());
    fx.activate();
    recordInto(fx, 2);  // the spare made at construction
    EXPECT_GT(fx.port().bufferLength(2), 0);
    select(fx, 3);
    fx.control(kRecFree) = 1.0f;
    const float peak = fx.play(22050);
    EXPECT_TRUE(std::isfinite(peak));
    EXPECT_EQ(fx.port().bufferLength(3), 0) << "no spare, nobody to make one: the recording waits";
    EXPECT_EQ(fx.scheduled(), 0);
    bool told = false;
    for (const auto& l : fx.logLines()) told = told || l.find("no worker") != std::string::npos;
    EXPECT_TRUE(told);
}

TEST(Lv2Worker, HandedOffWorkRunsOnTheWorkersThread) {
    Instance::Options o;
    o.worker = Instance::Worker::Thread;
    Instance fx(o);
    ASSERT_TRUE(fx.ok());
    fx.activate();
    recordInto(fx, 2);
    fx.drainWorker();
    EXPECT_GE(fx.workCalls(), 1) << "the spare is replaced on the worker";
    // A rec free met before the new spare is ready waits for the worker, which then
    // makes the buffer.
    select(fx, 3);
    fx.control(kRecFree) = 1.0f;
    for (int i = 0; i < 200 && fx.port().bufferLength(3) == 0; ++i) {
        fx.play(256);
        fx.drainWorker();
    }
    EXPECT_GT(fx.port().bufferLength(3), 0);
    EXPECT_EQ(fx.workCallsOnRunThread(), 0);
    EXPECT_EQ(fx.workCalls(), fx.scheduled());
}

// A recording switched on by the ports before the first block of all: the block takes the
// spare; nothing is allocated on the audio thread (beyond what the test host's own first
// block allocates, measured on a twin without the recording; no worker, whose queue would
// allocate on the host's side).
TEST(Lv2Worker, RecFreeInTheVeryFirstBlockAllocatesNothing) {
    auto firstBlockAllocations = [](bool record) {
        Instance::Options o;
        o.worker = Instance::Worker::None;
        Instance fx(o);
        EXPECT_TRUE(fx.ok());
        fx.activate();
        fx.control(kRecFree) = record ? 1.0f : 0.0f;
        gwtest::allocations = 0;
        gwtest::counting = true;
        fx.play(256);
        gwtest::counting = false;
        EXPECT_EQ(fx.port().bufferLength(fx.port().currentBuffer()) > 0, record);
        return gwtest::allocations.load();
    };
    const long plain = firstBlockAllocations(false);
    EXPECT_EQ(firstBlockAllocations(true), plain);
}

}  // namespace
