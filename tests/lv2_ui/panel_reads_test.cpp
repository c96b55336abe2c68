// The panel never reads audio that another thread freed: the LV2 panel (on the instance's
// own engine, on a frame without a window) takes its display at every idle (the columns of
// changed buffers computed from their arrays) and draws its 16 thumbnails and both scopes,
// while the host's audio thread runs blocks and switches rec sync (taking the
// spare), and a third thread replaces arrays in every way the plug-in does: WAV loads,
// chunk restores, LV2 state restores, rate conversions on the worker, kill buffer. Run
// under AddressSanitizer (a read of freed arrays is a heap-use-after-free) and
// ThreadSanitizer (label "threads").

#include <gtest/gtest.h>

#include <lv2/atom/atom.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <unistd.h>

#include "editor/wave_display.h"
#include "engine/parameter_index.h"
#include "plugin/lv2/lv2_effect.h"
#include "plugin/lv2/lv2_ui_panel.h"
#include "plugin/lv2/lv2_uris.h"
#include "tests/support/tone_wave.h"

using namespace grainwheel;
using namespace grainwheel::lv2;

namespace {

// urid:map, the worker's schedule (it wakes the host's worker thread), and a state of
// properties the plug-in restores from.
struct Host {
    std::vector<std::string> uris;
    std::mutex lock;
    std::condition_variable wake;
    bool scheduled = false;
    LV2_URID_Map map{this, &Host::mapUri};
    LV2_Worker_Schedule schedule{this, [](LV2_Worker_Schedule_Handle h, std::uint32_t, const void*) {
                                     auto* host = static_cast<Host*>(h);
                                     const std::lock_guard<std::mutex> hold(host->lock);
                                     host->scheduled = true;
                                     host->wake.notify_one();
                                     return LV2_WORKER_SUCCESS;
                                 }};
    LV2_Feature mapFeature{LV2_URID__map, &map};
    LV2_Feature scheduleFeature{LV2_WORKER__schedule, &schedule};
    const LV2_Feature* features[3] = {&mapFeature, &scheduleFeature, nullptr};
    std::map<LV2_URID, std::pair<std::string, LV2_URID>> state;  // bytes and type

    static LV2_URID mapUri(LV2_URID_Map_Handle h, const char* uri) {
        auto* host = static_cast<Host*>(h);
        const std::lock_guard<std::mutex> hold(host->lock);
        for (std::size_t i = 0; i < host->uris.size(); ++i)
            if (host->uris[i] == uri) return static_cast<LV2_URID>(i + 1);
        host->uris.emplace_back(uri);
        return static_cast<LV2_URID>(host->uris.size());
    }
    LV2_URID id(const char* uri) { return mapUri(this, uri); }
    static const void* retrieve(LV2_State_Handle h, std::uint32_t key, std::size_t* size, std::uint32_t* type,
                                std::uint32_t* flags) {
        auto& state = static_cast<Host*>(h)->state;
        const auto it = state.find(key);
        if (it == state.end()) return nullptr;
        *size = it->second.first.size();
        *type = it->second.second;
        *flags = 0;
        return it->second.first.data();
    }
};

void ignoreWrite(LV2UI_Controller, std::uint32_t, std::uint32_t, std::uint32_t, const void*) {}

// Every buffer's generation counts its publications: the replacements so far.
long replacements(GrainEngine& e) {
    long n = 0;
    for (int k = 0; k < kNumBuffers; ++k) n += e.buffers().buffer(k).generation.load();
    return n;
}

TEST(PanelReads, ViewsDrawWhileEveryKindOfReplacementFreesArrays) {
    const std::filesystem::path folder =
        std::filesystem::path(::testing::TempDir()) / ("gw_panel_reads_" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    std::vector<std::string> waves;  // short files of a few lengths
    for (int i = 0; i < 3; ++i) {
        waves.push_back((folder / ("w" + std::to_string(i) + ".wav")).string());
        gwtest::writeToneWave(waves.back(), 44100, 400 + 300 * i);
    }

    Host host;
    std::unique_ptr<Lv2Effect> fx(Lv2Effect::create(44100.0, host.features));
    ASSERT_NE(fx, nullptr);
    GrainEngine& engine = fx->engine();
    constexpr std::uint32_t kBlock = 64;
    float ports[kParameterPorts] = {};
    float in[kBlock], out[2][kBlock];
    for (std::uint32_t i = 0; i < kBlock; ++i) in[i] = 0.5f * static_cast<float>(i % 16) / 16.0f;
    for (int i = 0; i < kParameterPorts; ++i) {
        ports[i] = engine.getParameter(i);
        fx->connectPort(static_cast<std::uint32_t>(i), &ports[i]);
    }
    fx->connectPort(kPortInLeft, in);
    fx->connectPort(kPortInRight, in);
    fx->connectPort(kPortOutLeft, out[0]);
    fx->connectPort(kPortOutRight, out[1]);
    fx->activate();

    // The bank's records naming the files, as a chunk and as an LV2 state.
    void* chunk = nullptr;
    ASSERT_EQ(engine.programs().chunk(&chunk, false), static_cast<std::int32_t>(kBankChunkSize));
    std::vector<ProgramRecord> bank(kNumPrograms);
    std::memcpy(static_cast<void*>(bank.data()), chunk, kBankChunkSize);
    for (int k = 0; k < kNumPrograms; ++k) {
        std::snprintf(bank[k].bufferPath, sizeof bank[k].bufferPath, "%s", waves[k % 3].c_str());
        char uri[64];
        std::snprintf(uri, sizeof uri, "%s%02d", kStateBufferUri, k + 1);
        host.state[host.id(uri)] = {waves[(k + 1) % 3] + '\0', host.id(LV2_ATOM__Path)};
    }
    host.state[host.id(kStateRecordsUri)] = {std::string(reinterpret_cast<const char*>(bank.data()), kBankChunkSize),
                                            host.id(LV2_ATOM__Chunk)};

    Lv2Panel::Host ui;
    ui.write = &ignoreWrite;
    ui.access = fx.get();
    std::unique_ptr<Lv2Panel> panel(Lv2Panel::create(ui));
    ASSERT_NE(panel, nullptr);

    std::atomic<bool> stop{false};
    // The host's audio thread, a few times faster than real time; it switches rec sync on
    // and off, so the spare replaces the current buffer and the worker frees what it held.
    std::thread audio([&] {
        for (long b = 0; !stop.load(); ++b) {
            if (b % 50 == 0) ports[kRecSync] = ports[kRecSync] == 0.0f ? 1.0f : 0.0f;
            fx->run(kBlock);
            std::this_thread::sleep_for(std::chrono::microseconds(300));
        }
    });
    constexpr long kReplacements = 10000;
    const long before = replacements(engine);
    int restores = 0, conversions = 0;
    std::thread other([&] {
        for (int i = 0; replacements(engine) - before < kReplacements; ++i) {
            {
                const std::lock_guard<std::mutex> files(fx->filesLock());
                engine.selectBuffer(i % kNumBuffers);
                engine.setParameter(kKillBufr, 1.0f);  // the current buffer, asked and killed
                EXPECT_EQ(fx->files().readWaveFile(waves[i % 3].c_str()), kFileOk);
                if (i % 8 == 0) {
                    EXPECT_EQ(fx->files().setChunk(bank.data(), kBankChunkSize, false), 1);
                }
                // A buffer at another rate: the worker converts it.
                if (i % 8 == 1) {
                    engine.replaceBufferArrays((i + 5) % kNumBuffers, BufferBank::newSampleArray(300),
                                               BufferBank::newSampleArray(300), 300, 32000);
                    engine.setWorkingRate(44100.0f);  // the rate stays; buffers at another are converted
                    ++conversions;
                }
            }
            if (i % 8 == 4) restores += fx->restore(&Host::retrieve, &host, 0, host.features) == LV2_STATE_SUCCESS;
        }
        stop.store(true);
        const std::lock_guard<std::mutex> hold(host.lock);
        host.wake.notify_one();
    });
    // The host's worker: the spare made anew (freeing the arrays it replaced), the rate
    // conversions, rec sync met without a spare.
    std::thread worker([&] {
        for (;;) {
            {
                std::unique_lock<std::mutex> hold(host.lock);
                host.wake.wait(hold, [&] { return host.scheduled || stop.load(); });
                if (stop.load()) return;
                host.scheduled = false;
            }
            fx->work(nullptr, nullptr);
        }
    });

    // The user-interface thread: every view drawn anew at every idle.
    long idles = 0;
    while (!stop.load()) {
        for (int n = 0; n < kNumBuffers; ++n) panel->editor().bufferScope(n)->setDirty();
        for (WaveDisplay* scope : {panel->editor().mainScopeView(), panel->editor().smallScopeView()}) {
            scope->setStale();
            scope->setDirty();
        }
        panel->idle();
        ++idles;
    }
    other.join();
    audio.join();
    worker.join();
    const long replaced = replacements(engine) - before;
    fx->work(nullptr, nullptr);  // what the worker was not woken for any more
    for (int k = 0; k < kNumBuffers; ++k) EXPECT_NE(engine.bufferRate(k), 32000) << "buffer " << k;
    panel.reset();
    fx.reset();
    std::filesystem::remove_all(folder);

    EXPECT_GE(replaced, kReplacements);
    EXPECT_GT(restores, 10);
    EXPECT_GT(conversions, 100);
    EXPECT_GT(idles, 20);
    std::printf("%ld replacements, %d LV2 restores, %d rate conversions, %ld idles drawing every view\n", replaced,
                restores, conversions, idles);
}

}  // namespace
