#pragma once
// A small LV2 host for the suites: the build tree's grainwheel.lv2 through lilv (that
// bundle only, never the user's LV2 folders), with urid:map/unmap, a log that keeps every
// message, a worker (run after each block on the calling thread, or on a thread of its
// own) and state saved to and restored from a folder through lilv.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <lilv/lilv.h>
#include <lv2/atom/forge.h>
#include <lv2/log/log.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

#include "plugin/lv2/lv2_access.h"
#include "plugin/lv2/lv2_uris.h"

namespace gwlv2test {

// URIs to numbers and back (any thread).
class UridTable {
public:
    UridTable();
    LV2_URID map(const char* uri);
    const char* unmap(LV2_URID id);
    LV2_URID_Map* mapFeature() { return &map_; }
    LV2_URID_Unmap* unmapFeature() { return &unmap_; }

private:
    std::mutex lock_;
    std::vector<std::string> uris_;
    LV2_URID_Map map_;
    LV2_URID_Unmap unmap_;
};

// The one lilv world of the process: the build tree's bundle and nothing else.
struct World {
    LilvWorld* world = nullptr;
    const LilvPlugin* plugin = nullptr;
    UridTable urids;
    static World& get();
};

// A transport position for the time port: the fields hosts send (a field < 0 is left out).
struct Position {
    std::int64_t bar = 0;
    float barBeat = 0.0f;
    double beat = 0.0;
    std::int32_t beatUnit = 4;
    float beatsPerBar = 4.0f;
    float tempo = 120.0f;  // hosts send it as a float
    float speed = 1.0f;
};

class Instance {
public:
    enum class Worker { None, AfterRun, Thread };
    struct Options {
        double rate = 44100.0;
        std::uint32_t maxBlock = 4096;
        Worker worker = Worker::AfterRun;
        bool map = true;
        bool log = true;
    };
    explicit Instance(const Options& options);
    Instance() : Instance(Options{}) {}
    ~Instance();
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    bool ok() const { return instance_ != nullptr; }
    void activate();
    void deactivate();

    // Control port values (the host's copies; taken at the next run).
    float& control(int port) { return controls_[port]; }
    // The default of each control port as the bundle's description gives it.
    const std::vector<float>& defaults() const { return defaults_; }

    // Time events for the next run only (frame offsets in that block, in order).
    void queuePosition(std::uint32_t frame, const Position& p);
    void queueRawTimeEvent(std::uint32_t frame, LV2_URID type, const void* body, std::uint32_t size);
    // A UI's command message (press 1, release 0), as a host hands it on at `frame`.
    void queueCommand(std::uint32_t frame, int index, float value);
    // One block: the input frames in, the output frames out (stereo, separate channels).
    void run(const float* inLeft, const float* inRight, float* outLeft, float* outRight, std::uint32_t frames);
    // Runs `frames` frames in blocks of `block` with a sine of `hz` as input; the instance's
    // first block starts the transport (120 BPM, 4/4, rolling). Answers the output's peak
    // (infinity when a sample is not finite).
    float play(std::uint32_t frames, std::uint32_t block = 256, float hz = 220.0f);
    // The worker runs everything scheduled so far (AfterRun runs it after each block anyway).
    void drainWorker();

    // State through lilv: saved into `dir` (state.ttl and the files), restored from there.
    bool save(const std::string& dir, const std::string& linkDir = "");
    bool restore(const std::string& dir);
    // Restores `state` made elsewhere (ownership stays the caller's).
    void restoreState(const LilvState* state);

    // The plug-in's own state calls, without lilv: every property it stores, and a restore
    // from properties given (path properties as absolute paths; no path features).
    struct Property {
        LV2_URID type = 0;
        std::vector<std::uint8_t> value;
    };
    using Properties = std::map<LV2_URID, Property>;
    Properties saveDirect();
    int restoreDirect(const Properties& properties);

    grainwheel::EffectPort& port();
    // The instance's engine (both come from one tree: the layout is the suite's own).
    grainwheel::GrainEngine& engine();
    LilvInstance* lilv() { return instance_; }
    // Messages written to the log, one string each.
    std::vector<std::string> logLines();
    // Work calls so far, and how many of them ran on the thread that calls run().
    int workCalls() const { return workCalls_.load(); }
    int workCallsOnRunThread() const { return workOnRunThread_.load(); }
    int scheduled() const { return scheduled_.load(); }

    static const char* symbol(int port);

private:
    static LV2_Worker_Status schedule(LV2_Worker_Schedule_Handle h, std::uint32_t size, const void* data);
    static LV2_Worker_Status respond(LV2_Worker_Respond_Handle h, std::uint32_t size, const void* data);
    static int logPrintf(LV2_Log_Handle h, LV2_URID type, const char* fmt, ...);
    static int logVprintf(LV2_Log_Handle h, LV2_URID type, const char* fmt, va_list ap);
    static const void* portValue(const char* symbol, void* self, std::uint32_t* size, std::uint32_t* type);
    static void setPortValue(const char* symbol, void* self, const void* value, std::uint32_t size,
                             std::uint32_t type);
    void runWork(const std::vector<std::uint8_t>& request);
    void workerLoop();
    void connectTime();

    Options options_;
    LilvInstance* instance_ = nullptr;
    const LV2_Worker_Interface* workerInterface_ = nullptr;
    std::vector<float> controls_;
    std::vector<float> defaults_;
    std::vector<float> silence_;
    std::vector<float> sink_[2];
    alignas(8) std::uint8_t timeBuffer_[8192] = {};
    LV2_Atom_Forge forge_{};
    LV2_Atom_Forge_Frame sequence_{};
    bool timePending_ = false;
    std::int64_t clock_ = 0;

    LV2_Worker_Schedule scheduleFeature_{};
    LV2_Log_Log logFeature_{};
    std::mutex logLock_;
    std::vector<std::string> log_;

    std::mutex workLock_;
    std::condition_variable workWake_;
    std::vector<std::vector<std::uint8_t>> workQueue_;
    bool workerStop_ = false;
    std::thread worker_;
    std::atomic<std::thread::id> runThread_{};  // the thread that ran the last block (the worker reads it)
    std::atomic<int> workCalls_{0};
    std::atomic<int> workOnRunThread_{0};
    std::atomic<int> scheduled_{0};
};

// The bundle folder and a test's own work folder (below the build tree, made empty).
std::string bundleFolder();
std::string freshFolder(const std::string& name);

}  // namespace gwlv2test
