// grainwheel.clap as a host loads it: the one export and the descriptor; the ports, the
// parameters with their ranges, steps and texts both ways; the flush while not
// processing and the panel-less output of the engine's own changes; latency, tail and
// render; state with a recorded take, read back through short reads, and damaged states
// refused.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <clap/ext/audio-ports.h>
#include <clap/ext/latency.h>
#include <clap/ext/render.h>
#include <clap/ext/tail.h>
#include "engine/parameter_index.h"
#include "engine/parameter_table.h"
#include "persistence/byte_source.h"
#include "plugin/common/effect_state.h"
#include "tests/clap/clap_test_host.h"

namespace {

using namespace gwclaptest;
using namespace grainwheel;

constexpr double kRate = 44100.0;
constexpr std::uint32_t kBlock = 256;

TEST(ClapPlugin, DescriptorPortsParametersAndExtensions) {
    Host h;
    ASSERT_TRUE(h.ok());
    ASSERT_EQ(h.factory->get_plugin_count(h.factory), 1u);
    const clap_plugin_descriptor_t* d = h.factory->get_plugin_descriptor(h.factory, 0);
    EXPECT_STREQ(d->id, "orbelune.grainwheel");
    std::vector<std::string> features;
    for (const char* const* f = d->features; *f != nullptr; ++f) features.emplace_back(*f);
    EXPECT_EQ(features, (std::vector<std::string>{"audio-effect", "delay", "granular", "stereo"}));
    EXPECT_EQ(h.factory->create_plugin(h.factory, h.host(), "orbelune.other"), nullptr);

    const auto* ports = h.extension<clap_plugin_audio_ports_t>(CLAP_EXT_AUDIO_PORTS);
    ASSERT_NE(ports, nullptr);
    for (bool input : {true, false}) {
        clap_audio_port_info_t info{};
        ASSERT_EQ(ports->count(h.plugin, input), 1u);
        ASSERT_TRUE(ports->get(h.plugin, 0, input, &info));
        EXPECT_EQ(info.channel_count, 2u);
        EXPECT_STREQ(info.port_type, CLAP_PORT_STEREO);
    }
    EXPECT_EQ(h.extension<clap_plugin_latency_t>(CLAP_EXT_LATENCY)->get(h.plugin), 0u);
    EXPECT_GT(h.extension<clap_plugin_tail_t>(CLAP_EXT_TAIL)->get(h.plugin), 0u);
    const auto* render = h.extension<clap_plugin_render_t>(CLAP_EXT_RENDER);
    EXPECT_TRUE(render->set(h.plugin, CLAP_RENDER_OFFLINE) && render->set(h.plugin, CLAP_RENDER_REALTIME));

    const auto* params = h.extension<clap_plugin_params_t>(CLAP_EXT_PARAMS);
    ASSERT_EQ(params->count(h.plugin), static_cast<std::uint32_t>(kNumHostParameters));
    ASSERT_EQ(kNumHostParameters, 107);
    for (std::uint32_t i = 0; i < 107; ++i) {
        clap_param_info_t info{};
        ASSERT_TRUE(params->get_info(h.plugin, i, &info));
        const ParameterInfo& p = parameterInfo(static_cast<int>(i));
        EXPECT_EQ(info.id, i);
        EXPECT_STREQ(info.name, p.name);
        const bool stepped = p.kind != ParameterKind::Continuous;
        EXPECT_EQ((info.flags & CLAP_PARAM_IS_STEPPED) != 0, stepped) << p.name;
        EXPECT_EQ(info.max_value, p.kind == ParameterKind::Choice ? p.steps : 1.0) << p.name;
        // A step's text names that step; a continuous value's text comes back to it (the
        // commands show none).
        char text[CLAP_NAME_SIZE];
        double back = -1.0;
        const double probe = stepped ? std::floor(info.max_value / 2 + 0.5) : 0.25;
        ASSERT_TRUE(params->value_to_text(h.plugin, i, probe, text, sizeof text));
        if (text[0] == 0) continue;
        ASSERT_TRUE(params->text_to_value(h.plugin, i, text, &back)) << p.name << ": " << text;
        char again[CLAP_NAME_SIZE];
        params->value_to_text(h.plugin, i, back, again, sizeof again);
        EXPECT_STREQ(again, text) << p.name;
    }
    double v = 0.0;
    EXPECT_FALSE(params->get_value(h.plugin, 107, &v));

    // A flush while not processing sets the value; the next-program command's program
    // change goes back to the host.
    Events e;
    e.value(0, kBufferNo, 3.0);
    params->flush(h.plugin, e.list(), &h.output.list);
    ASSERT_TRUE(params->get_value(h.plugin, kBufferNo, &v));
    EXPECT_EQ(v, 3.0);
    e.clear();
    e.value(0, kNextProg, 1.0);
    e.value(0, kNextProg, 0.0);
    params->flush(h.plugin, e.list(), &h.output.list);
    bool programBack = false;
    for (const auto& o : h.output.events) programBack |= o.type == CLAP_EVENT_PARAM_VALUE && o.id == kProgram && o.value == 1.0;
    EXPECT_TRUE(programBack);
}

void recordTake(Host& h) {
    std::vector<float> in(kBlock), out(kBlock);
    Events e;
    double quarters = 0.0;
    for (std::uint32_t b = 0; b * kBlock < 44100 + 4 * kBlock; ++b) {
        e.clear();
        if (b == 0) e.value(0, kRecFree, 1.0);
        if (b * kBlock >= 44100) e.value(0, kRecFree, 0.0);
        for (std::uint32_t i = 0; i < kBlock; ++i) in[i] = 0.5f * std::sin(static_cast<float>(b * kBlock + i) * 0.0627f);
        const clap_event_transport_t t = playingAt(quarters, 120.0, 4);
        ASSERT_EQ(h.process(in.data(), in.data(), out.data(), out.data(), kBlock, &e, &t), CLAP_PROCESS_CONTINUE);
        quarters += kBlock / kRate * 2.0;
    }
}

TEST(ClapPlugin, RecordedTakeComesBackWithTheStateAndDamagedStatesAreRefused) {
    Host a;
    ASSERT_TRUE(a.ok() && a.start(kRate, kBlock));
    recordTake(a);
    const std::vector<std::uint8_t> saved = a.save();
    ASSERT_FALSE(saved.empty());
    // The VST 3 state's layout: the take is in it.
    std::unique_ptr<StateImage> image(new StateImage);
    MemorySource source(saved.data(), saved.size());
    ASSERT_TRUE(readState(source, *image));
    int takes = 0;
    for (int k = 0; k < kNumBuffers; ++k) takes += image->sources[k] == BufferSource::Embedded && image->audio[k].length >= 44100;
    EXPECT_EQ(takes, 1);

    Host b;
    ASSERT_TRUE(b.ok());
    ASSERT_TRUE(b.load(saved, 333));
    EXPECT_GT(b.rescans, 0);
    EXPECT_EQ(b.save(), saved) << "the state comes back whole";

    std::vector<std::uint8_t> damaged = saved;
    damaged[0] = 'X';
    EXPECT_FALSE(b.load(damaged));
    damaged = saved;
    damaged.resize(saved.size() / 2);
    EXPECT_FALSE(b.load(damaged));
    damaged = saved;
    damaged.push_back(0);
    EXPECT_FALSE(b.load(damaged));
    EXPECT_EQ(b.save(), saved) << "a refused state changes nothing";
}

}  // namespace
