#include "tests/lv2/lv2_test_host.h"

#include "plugin/lv2/lv2_effect.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include <lv2/atom/util.h>
#include <lv2/state/state.h>
#include <lv2/time/time.h>

namespace gwlv2test {

namespace fs = std::filesystem;
using namespace grainwheel::lv2;

UridTable::UridTable() {
    map_.handle = this;
    map_.map = [](LV2_URID_Map_Handle h, const char* uri) { return static_cast<UridTable*>(h)->map(uri); };
    unmap_.handle = this;
    unmap_.unmap = [](LV2_URID_Unmap_Handle h, LV2_URID id) { return static_cast<UridTable*>(h)->unmap(id); };
}

LV2_URID UridTable::map(const char* uri) {
    std::lock_guard<std::mutex> hold(lock_);
    for (std::size_t i = 0; i < uris_.size(); ++i)
        if (uris_[i] == uri) return static_cast<LV2_URID>(i + 1);
    uris_.emplace_back(uri);
    return static_cast<LV2_URID>(uris_.size());
}

const char* UridTable::unmap(LV2_URID id) {
    std::lock_guard<std::mutex> hold(lock_);
    return id >= 1 && id <= uris_.size() ? uris_[id - 1].c_str() : nullptr;
}

std::string bundleFolder() { return GW_LV2_TEST_BUNDLE; }

std::string freshFolder(const std::string& name) {
    const fs::path dir = fs::path(GW_LV2_TEST_WORK) / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir.string();
}

World& World::get() {
    static World w;
    static const bool loaded = [] {
        w.world = lilv_world_new();
        const std::string uri = "file://" + bundleFolder() + "/";
        LilvNode* bundle = lilv_new_uri(w.world, uri.c_str());
        lilv_world_load_bundle(w.world, bundle);
        lilv_node_free(bundle);
        LilvNode* plugin = lilv_new_uri(w.world, kPluginUri);
        w.plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(w.world), plugin);
        lilv_node_free(plugin);
        return true;
    }();
    (void)loaded;
    return w;
}

namespace {
std::vector<std::string>& symbols() {
    static std::vector<std::string> s = [] {
        std::vector<std::string> out;
        const LilvPlugin* p = World::get().plugin;
        for (std::uint32_t i = 0; p != nullptr && i < lilv_plugin_get_num_ports(p); ++i)
            out.emplace_back(lilv_node_as_string(lilv_port_get_symbol(p, lilv_plugin_get_port_by_index(p, i))));
        return out;
    }();
    return s;
}
int portOf(const char* symbol) {
    const auto& s = symbols();
    for (std::size_t i = 0; i < s.size(); ++i)
        if (s[i] == symbol) return static_cast<int>(i);
    return -1;
}
}  // namespace

const char* Instance::symbol(int port) { return symbols().at(static_cast<std::size_t>(port)).c_str(); }

Instance::Instance(const Options& options)
    : options_(options), controls_(kParameterPorts, 0.0f), silence_(options.maxBlock, 0.0f) {
    World& w = World::get();
    if (w.plugin == nullptr) return;
    const std::uint32_t ports = lilv_plugin_get_num_ports(w.plugin);
    std::vector<float> mins(ports), maxs(ports), defs(ports);
    lilv_plugin_get_port_ranges_float(w.plugin, mins.data(), maxs.data(), defs.data());
    defaults_.assign(defs.begin(), defs.begin() + kParameterPorts);
    controls_ = defaults_;
    for (auto& s : sink_) s.assign(options.maxBlock, 0.0f);

    scheduleFeature_ = {this, &Instance::schedule};
    logFeature_ = {this, &Instance::logPrintf, &Instance::logVprintf};
    const LV2_Feature map{LV2_URID__map, w.urids.mapFeature()};
    const LV2_Feature unmap{LV2_URID__unmap, w.urids.unmapFeature()};
    const LV2_Feature work{LV2_WORKER__schedule, &scheduleFeature_};
    const LV2_Feature log{LV2_LOG__log, &logFeature_};
    std::vector<const LV2_Feature*> features;
    if (options.map) features.push_back(&map), features.push_back(&unmap);
    if (options.worker != Worker::None) features.push_back(&work);
    if (options.log) features.push_back(&log);
    features.push_back(nullptr);
    instance_ = lilv_plugin_instantiate(w.plugin, options.rate, features.data());
    if (instance_ == nullptr) return;
    workerInterface_ =
        static_cast<const LV2_Worker_Interface*>(lilv_instance_get_extension_data(instance_, LV2_WORKER__interface));
    for (int i = 0; i < kParameterPorts; ++i) lilv_instance_connect_port(instance_, i, &controls_[i]);
    lv2_atom_forge_init(&forge_, w.urids.mapFeature());
    connectTime();
    if (options.worker == Worker::Thread) worker_ = std::thread([this] { workerLoop(); });
}

Instance::~Instance() {
    if (worker_.joinable()) {
        {
            std::lock_guard<std::mutex> hold(workLock_);
            workerStop_ = true;
        }
        workWake_.notify_all();
        worker_.join();
    }
    if (instance_ != nullptr) lilv_instance_free(instance_);
}

void Instance::activate() { lilv_instance_activate(instance_); }
void Instance::deactivate() { lilv_instance_deactivate(instance_); }

void Instance::connectTime() {
    lv2_atom_forge_set_buffer(&forge_, timeBuffer_, sizeof timeBuffer_);
    lv2_atom_forge_sequence_head(&forge_, &sequence_, 0);
    lilv_instance_connect_port(instance_, kPortTime, timeBuffer_);
}

void Instance::queuePosition(std::uint32_t frame, const Position& p) {
    UridTable& u = World::get().urids;
    LV2_Atom_Forge* f = &forge_;
    LV2_Atom_Forge_Frame object;
    lv2_atom_forge_frame_time(f, frame);
    lv2_atom_forge_object(f, &object, 0, u.map(LV2_TIME__Position));
    lv2_atom_forge_key(f, u.map(LV2_TIME__speed));
    lv2_atom_forge_float(f, p.speed);
    lv2_atom_forge_key(f, u.map(LV2_TIME__bar));
    lv2_atom_forge_long(f, p.bar);
    lv2_atom_forge_key(f, u.map(LV2_TIME__barBeat));
    lv2_atom_forge_float(f, p.barBeat);
    lv2_atom_forge_key(f, u.map(LV2_TIME__beat));
    lv2_atom_forge_double(f, p.beat);
    lv2_atom_forge_key(f, u.map(LV2_TIME__beatUnit));
    lv2_atom_forge_int(f, p.beatUnit);
    lv2_atom_forge_key(f, u.map(LV2_TIME__beatsPerBar));
    lv2_atom_forge_float(f, p.beatsPerBar);
    lv2_atom_forge_key(f, u.map(LV2_TIME__beatsPerMinute));
    lv2_atom_forge_float(f, p.tempo);
    lv2_atom_forge_pop(f, &object);
    timePending_ = true;
}

void Instance::queueCommand(std::uint32_t frame, int index, float value) {
    UridTable& u = World::get().urids;
    LV2_Atom_Forge_Frame object;
    lv2_atom_forge_frame_time(&forge_, frame);
    lv2_atom_forge_object(&forge_, &object, 0, u.map(grainwheel::lv2::kCommandUri));
    lv2_atom_forge_key(&forge_, u.map(grainwheel::lv2::kCommandIndexUri));
    lv2_atom_forge_int(&forge_, index);
    lv2_atom_forge_key(&forge_, u.map(grainwheel::lv2::kCommandValueUri));
    lv2_atom_forge_float(&forge_, value);
    lv2_atom_forge_pop(&forge_, &object);
    timePending_ = true;
}

void Instance::queueRawTimeEvent(std::uint32_t frame, LV2_URID type, const void* body, std::uint32_t size) {
    lv2_atom_forge_frame_time(&forge_, frame);
    lv2_atom_forge_atom(&forge_, size, type);
    lv2_atom_forge_write(&forge_, body, size);
    timePending_ = true;
}

void Instance::run(const float* inLeft, const float* inRight, float* outLeft, float* outRight, std::uint32_t frames) {
    if (frames > options_.maxBlock) throw std::runtime_error("block larger than the host's maximum");
    runThread_ = std::this_thread::get_id();
    lilv_instance_connect_port(instance_, kPortInLeft, const_cast<float*>(inLeft ? inLeft : silence_.data()));
    lilv_instance_connect_port(instance_, kPortInRight, const_cast<float*>(inRight ? inRight : silence_.data()));
    lilv_instance_connect_port(instance_, kPortOutLeft, outLeft ? outLeft : sink_[0].data());
    lilv_instance_connect_port(instance_, kPortOutRight, outRight ? outRight : sink_[1].data());
    lv2_atom_forge_pop(&forge_, &sequence_);
    lilv_instance_run(instance_, frames);
    timePending_ = false;
    connectTime();
    if (options_.worker == Worker::AfterRun) drainWorker();
}

float Instance::play(std::uint32_t frames, std::uint32_t block, float hz) {
    std::vector<float> in(block), outL(block), outR(block);
    float peak = 0.0f;
    for (std::uint32_t done = 0; done < frames; done += block) {
        const std::uint32_t n = std::min(block, frames - done);
        for (std::uint32_t i = 0; i < n; ++i)
            in[i] = 0.5f * std::sin(6.2831853f * hz * static_cast<float>(clock_ + i) / static_cast<float>(options_.rate));
        if (clock_ == 0) queuePosition(0, Position{});
        run(in.data(), in.data(), outL.data(), outR.data(), n);
        clock_ += n;
        for (std::uint32_t i = 0; i < n; ++i) {
            if (!std::isfinite(outL[i]) || !std::isfinite(outR[i])) return INFINITY;
            peak = std::max({peak, std::fabs(outL[i]), std::fabs(outR[i])});
        }
    }
    return peak;
}

// Counted once the call has returned, so that drainWorker() waits for its end.
void Instance::runWork(const std::vector<std::uint8_t>& request) {
    if (std::this_thread::get_id() == runThread_.load()) ++workOnRunThread_;
    workerInterface_->work(lilv_instance_get_handle(instance_), &Instance::respond, this,
                           static_cast<std::uint32_t>(request.size()), request.data());
    ++workCalls_;
}

void Instance::drainWorker() {
    if (options_.worker == Worker::Thread) {
        // Until the worker thread has emptied the queue and finished its call.
        for (;;) {
            {
                std::lock_guard<std::mutex> hold(workLock_);
                if (workQueue_.empty() && workCalls_.load() >= scheduled_.load()) return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    std::vector<std::vector<std::uint8_t>> queue;
    {
        std::lock_guard<std::mutex> hold(workLock_);
        queue.swap(workQueue_);
    }
    for (const auto& request : queue) runWork(request);
}

void Instance::workerLoop() {
    std::unique_lock<std::mutex> hold(workLock_);
    for (;;) {
        workWake_.wait(hold, [this] { return workerStop_ || !workQueue_.empty(); });
        if (workerStop_) return;
        std::vector<std::uint8_t> request = std::move(workQueue_.front());
        workQueue_.erase(workQueue_.begin());
        hold.unlock();
        runWork(request);
        hold.lock();
    }
}

LV2_Worker_Status Instance::schedule(LV2_Worker_Schedule_Handle h, std::uint32_t size, const void* data) {
    auto* self = static_cast<Instance*>(h);
    {
        std::lock_guard<std::mutex> hold(self->workLock_);
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        self->workQueue_.emplace_back(bytes, bytes + size);
        ++self->scheduled_;
    }
    self->workWake_.notify_one();
    return LV2_WORKER_SUCCESS;
}

LV2_Worker_Status Instance::respond(LV2_Worker_Respond_Handle, std::uint32_t, const void*) {
    return LV2_WORKER_SUCCESS;
}

int Instance::logPrintf(LV2_Log_Handle h, LV2_URID type, const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    const int n = logVprintf(h, type, fmt, ap);
    va_end(ap);
    return n;
}

int Instance::logVprintf(LV2_Log_Handle h, LV2_URID, const char* fmt, va_list ap) {
    char text[4096];
    const int n = std::vsnprintf(text, sizeof text, fmt, ap);
    auto* self = static_cast<Instance*>(h);
    std::lock_guard<std::mutex> hold(self->logLock_);
    self->log_.emplace_back(text);
    return n;
}

std::vector<std::string> Instance::logLines() {
    std::lock_guard<std::mutex> hold(logLock_);
    return log_;
}

grainwheel::EffectPort& Instance::port() {
    const auto* ext =
        static_cast<const AccessExtension*>(lilv_instance_get_extension_data(instance_, kAccessUri));
    return ext->access(lilv_instance_get_handle(instance_))->port();
}

// The module's own object: its type's description is the module's, not the suite's, so
// the undefined-behaviour sanitizer's check of the cast is left out.
__attribute__((no_sanitize_undefined)) grainwheel::GrainEngine& Instance::engine() {
    const auto* ext =
        static_cast<const AccessExtension*>(lilv_instance_get_extension_data(instance_, kAccessUri));
    return static_cast<grainwheel::lv2::Lv2Effect*>(ext->access(lilv_instance_get_handle(instance_)))->engine();
}

const void* Instance::portValue(const char* symbol, void* self, std::uint32_t* size, std::uint32_t* type) {
    const int i = portOf(symbol);
    if (i < 0 || i >= kParameterPorts) return nullptr;
    *size = sizeof(float);
    *type = World::get().urids.map(LV2_ATOM__Float);
    return &static_cast<Instance*>(self)->controls_[static_cast<std::size_t>(i)];
}

void Instance::setPortValue(const char* symbol, void* self, const void* value, std::uint32_t size,
                            std::uint32_t type) {
    const int i = portOf(symbol);
    if (i < 0 || i >= kParameterPorts || size != sizeof(float) || type != World::get().urids.map(LV2_ATOM__Float))
        return;
    std::memcpy(&static_cast<Instance*>(self)->controls_[static_cast<std::size_t>(i)], value, sizeof(float));
}

bool Instance::save(const std::string& dir, const std::string& linkDir) {
    World& w = World::get();
    const std::string scratch = dir + ".scratch";
    fs::create_directories(scratch);
    const LV2_Feature map{LV2_URID__map, w.urids.mapFeature()};
    const LV2_Feature log{LV2_LOG__log, &logFeature_};
    const LV2_Feature* features[] = {&map, &log, nullptr};
    const std::string link = linkDir.empty() ? dir : linkDir;
    LilvState* state = lilv_state_new_from_instance(w.plugin, instance_, w.urids.mapFeature(), scratch.c_str(),
                                                    dir.c_str(), link.c_str(), dir.c_str(), &Instance::portValue,
                                                    this, LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, features);
    if (state == nullptr) return false;
    const int failed = lilv_state_save(w.world, w.urids.mapFeature(), w.urids.unmapFeature(), state, nullptr,
                                       dir.c_str(), "state.ttl");
    lilv_state_free(state);
    return failed == 0;
}

void Instance::restoreState(const LilvState* state) {
    World& w = World::get();
    const LV2_Feature map{LV2_URID__map, w.urids.mapFeature()};
    const LV2_Feature log{LV2_LOG__log, &logFeature_};
    const LV2_Feature* features[] = {&map, &log, nullptr};
    lilv_state_restore(state, instance_, &Instance::setPortValue, this, 0, features);
}

Instance::Properties Instance::saveDirect() {
    const auto* state =
        static_cast<const LV2_State_Interface*>(lilv_instance_get_extension_data(instance_, LV2_STATE__interface));
    Properties out;
    const LV2_Feature* none[] = {nullptr};
    state->save(
        lilv_instance_get_handle(instance_),
        [](LV2_State_Handle h, std::uint32_t key, const void* value, std::size_t size, std::uint32_t type,
           std::uint32_t) {
            const auto* bytes = static_cast<const std::uint8_t*>(value);
            (*static_cast<Properties*>(h))[key] = Property{type, std::vector<std::uint8_t>(bytes, bytes + size)};
            return LV2_STATE_SUCCESS;
        },
        &out, LV2_STATE_IS_POD, none);
    return out;
}

int Instance::restoreDirect(const Properties& properties) {
    const auto* state =
        static_cast<const LV2_State_Interface*>(lilv_instance_get_extension_data(instance_, LV2_STATE__interface));
    const LV2_Feature* none[] = {nullptr};
    return state->restore(
        lilv_instance_get_handle(instance_),
        [](LV2_State_Handle h, std::uint32_t key, std::size_t* size, std::uint32_t* type,
           std::uint32_t* flags) -> const void* {
            const auto& props = *static_cast<const Properties*>(h);
            const auto found = props.find(key);
            if (found == props.end()) return nullptr;
            *size = found->second.value.size();
            *type = found->second.type;
            *flags = LV2_STATE_IS_POD;
            return found->second.value.data();
        },
        const_cast<Properties*>(&properties), 0, none);
}

bool Instance::restore(const std::string& dir) {
    World& w = World::get();
    const std::string file = dir + "/state.ttl";
    LilvState* state = lilv_state_new_from_file(w.world, w.urids.mapFeature(), nullptr, file.c_str());
    if (state == nullptr) return false;
    restoreState(state);
    lilv_state_free(state);
    return true;
}

}  // namespace gwlv2test
