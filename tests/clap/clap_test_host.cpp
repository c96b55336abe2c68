// The suites' CLAP host (clap_test_host.h).

#include "tests/clap/clap_test_host.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstring>

#include <clap/ext/thread-check.h>

namespace gwclaptest {

void Events::add(const clap_event_header_t* e) {
    offsets_.push_back(bytes_.size());
    const auto* from = reinterpret_cast<const std::uint8_t*>(e);
    bytes_.insert(bytes_.end(), from, from + e->size);
    bytes_.resize((bytes_.size() + 7) / 8 * 8);
}

void Events::value(std::uint32_t time, clap_id id, double v) {
    clap_event_param_value_t e{};
    e.header = {sizeof e, time, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0};
    e.param_id = id;
    e.note_id = e.port_index = e.channel = e.key = -1;
    e.value = v;
    add(&e.header);
}

std::uint32_t Events::size(const clap_input_events_t* l) {
    return static_cast<std::uint32_t>(static_cast<const Events*>(l->ctx)->offsets_.size());
}

const clap_event_header_t* Events::get(const clap_input_events_t* l, std::uint32_t i) {
    const Events* e = static_cast<const Events*>(l->ctx);
    return i < e->offsets_.size() ? reinterpret_cast<const clap_event_header_t*>(e->bytes_.data() + e->offsets_[i])
                                  : nullptr;
}

bool Output::push(const clap_output_events_t* l, const clap_event_header_t* e) {
    auto* o = static_cast<Output*>(l->ctx);
    if (e->type == CLAP_EVENT_PARAM_VALUE) {
        const auto* v = reinterpret_cast<const clap_event_param_value_t*>(e);
        o->events.push_back({e->type, v->param_id, v->value});
    } else if (e->type == CLAP_EVENT_PARAM_GESTURE_BEGIN || e->type == CLAP_EVENT_PARAM_GESTURE_END) {
        o->events.push_back({e->type, reinterpret_cast<const clap_event_param_gesture_t*>(e)->param_id, 0.0});
    }
    return true;
}

clap_event_transport_t playingAt(double quarters, double tempo, int beatsPerBar) {
    clap_event_transport_t t{};
    t.header = {sizeof t, 0, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_TRANSPORT, 0};
    t.flags = CLAP_TRANSPORT_HAS_TEMPO | CLAP_TRANSPORT_HAS_BEATS_TIMELINE | CLAP_TRANSPORT_HAS_TIME_SIGNATURE |
              CLAP_TRANSPORT_IS_PLAYING;
    t.song_pos_beats = std::llround(quarters * static_cast<double>(CLAP_BEATTIME_FACTOR));
    t.bar_start = std::llround(std::floor(quarters / beatsPerBar) * beatsPerBar * static_cast<double>(CLAP_BEATTIME_FACTOR));
    t.tempo = tempo;
    t.tsig_num = static_cast<std::uint16_t>(beatsPerBar);
    t.tsig_denom = 4;
    return t;
}

double quartersOf(const clap_event_transport_t& t) {
    return static_cast<double>(t.song_pos_beats) / static_cast<double>(CLAP_BEATTIME_FACTOR);
}

namespace {

#if defined(_WIN32)
void* openModule(const char* path) { return reinterpret_cast<void*>(LoadLibraryA(path)); }
void* symbol(void* library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}
void closeModule(void* library) { FreeLibrary(static_cast<HMODULE>(library)); }
#else
// The module stays mapped after dlclose, as hosts that scan once keep theirs: what the
// libraries it brings in allocate in their initialisers is not freed when they are unmapped,
// and LeakSanitizer would report it as the suite's leak.
void* openModule(const char* path) { return dlopen(path, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE); }
void* symbol(void* library, const char* name) { return dlsym(library, name); }
void closeModule(void* library) { dlclose(library); }
#endif

Host* of(const clap_host_t* h) { return static_cast<Host*>(h->host_data); }
bool isMain(const clap_host_t* h) { return !of(h)->processing; }
bool isAudio(const clap_host_t* h) { return of(h)->processing; }
const clap_host_thread_check_t kThreadCheck = {isMain, isAudio};

}  // namespace

Host::Host(Bare) : Host(reinterpret_cast<const char*>(1)) {}

Host::Host(const char* module) {
    host_ = {CLAP_VERSION_INIT, this, "grainwheel suite", "orbelune", "", "1.0", nullptr, nullptr, nullptr, nullptr};
    host_.get_extension = [](const clap_host_t* h, const char* id) -> const void* {
        if (std::strcmp(id, CLAP_EXT_THREAD_CHECK) == 0) return &kThreadCheck;
        if (std::strcmp(id, CLAP_EXT_PARAMS) == 0) return &of(h)->params_;
        if (std::strcmp(id, CLAP_EXT_TIMER_SUPPORT) == 0) return &of(h)->timers_;
        if (std::strcmp(id, CLAP_EXT_GUI) == 0) return &of(h)->gui_;
        return nullptr;
    };
    host_.request_restart = host_.request_process = host_.request_callback = [](const clap_host_t*) {};
    params_.rescan = [](const clap_host_t* h, clap_param_rescan_flags) { ++of(h)->rescans; };
    params_.clear = [](const clap_host_t*, clap_id, clap_param_clear_flags) {};
    params_.request_flush = [](const clap_host_t* h) { ++of(h)->flushRequests; };
    timers_.register_timer = [](const clap_host_t* h, std::uint32_t, clap_id* id) {
        *id = of(h)->timer = 7;
        return true;
    };
    timers_.unregister_timer = [](const clap_host_t* h, clap_id id) {
        if (of(h)->timer == id) of(h)->timer = CLAP_INVALID_ID;
        return true;
    };
    gui_.resize_hints_changed = [](const clap_host_t*) {};
    gui_.request_resize = [](const clap_host_t* h, std::uint32_t w, std::uint32_t hgt) {
        of(h)->resized.emplace_back(w, hgt);
        return true;
    };
    gui_.request_show = gui_.request_hide = [](const clap_host_t*) { return true; };
    gui_.closed = [](const clap_host_t*, bool) {};
    if (module == reinterpret_cast<const char*>(1)) return;  // the plug-in is the test's
    library_ = openModule(module != nullptr ? module : GW_CLAP_MODULE);
    if (library_ == nullptr) return;
    entry = static_cast<const clap_plugin_entry_t*>(symbol(library_, "clap_entry"));
    if (entry == nullptr || !entry->init(module != nullptr ? module : GW_CLAP_MODULE)) return;
    factory = static_cast<const clap_plugin_factory_t*>(entry->get_factory(CLAP_PLUGIN_FACTORY_ID));
    if (factory == nullptr) return;
    plugin = factory->create_plugin(factory, &host_, "orbelune.grainwheel");
    if (plugin != nullptr && !plugin->init(plugin)) {
        plugin->destroy(plugin);
        plugin = nullptr;
    }
}

Host::~Host() {
    if (plugin != nullptr) {
        stop();
        plugin->destroy(plugin);
    }
    if (entry != nullptr) entry->deinit();
    if (library_ != nullptr) closeModule(library_);
}

bool Host::start(double rate, std::uint32_t maxBlock) {
    if (!plugin->activate(plugin, rate, 1, maxBlock)) return false;
    active_ = true;
    return plugin->start_processing(plugin);
}

void Host::stop() {
    if (!active_) return;
    plugin->stop_processing(plugin);
    plugin->deactivate(plugin);
    active_ = false;
}

clap_process_status Host::process(const float* inL, const float* inR, float* outL, float* outR, std::uint32_t frames,
                                  const Events* events, const clap_event_transport_t* transport) {
    float* ins[2] = {const_cast<float*>(inL), const_cast<float*>(inR)};
    float* outs[2] = {outL, outR};
    clap_audio_buffer_t in{ins, nullptr, 2, 0, 0}, out{outs, nullptr, 2, 0, 0};
    static const Events none;
    clap_process_t p{};
    p.steady_time = -1;
    p.frames_count = frames;
    p.transport = transport;
    p.audio_inputs = &in;
    p.audio_outputs = &out;
    p.audio_inputs_count = p.audio_outputs_count = 1;
    p.in_events = (events != nullptr ? events : &none)->list();
    p.out_events = &output.list;
    processing = true;
    const clap_process_status s = plugin->process(plugin, &p);
    processing = false;
    return s;
}

std::vector<std::uint8_t> Host::save() {
    std::vector<std::uint8_t> bytes;
    // The stream takes at most 700 bytes a write.
    clap_ostream_t out{&bytes, [](const clap_ostream_t* s, const void* data, std::uint64_t size) -> std::int64_t {
                           auto* b = static_cast<std::vector<std::uint8_t>*>(s->ctx);
                           const std::uint64_t n = std::min<std::uint64_t>(size, 700);
                           b->insert(b->end(), static_cast<const std::uint8_t*>(data), static_cast<const std::uint8_t*>(data) + n);
                           return static_cast<std::int64_t>(n);
                       }};
    const auto* state = extension<clap_plugin_state_t>(CLAP_EXT_STATE);
    if (state == nullptr || !state->save(plugin, &out)) bytes.clear();
    return bytes;
}

bool Host::load(const std::vector<std::uint8_t>& bytes, std::size_t chunk) {
    struct Reader {
        const std::vector<std::uint8_t>* bytes;
        std::size_t at, chunk;
    } r{&bytes, 0, chunk};
    clap_istream_t in{&r, [](const clap_istream_t* s, void* to, std::uint64_t size) -> std::int64_t {
                          auto* x = static_cast<Reader*>(s->ctx);
                          const std::size_t n = std::min<std::size_t>({size, x->chunk, x->bytes->size() - x->at});
                          std::memcpy(to, x->bytes->data() + x->at, n);
                          x->at += n;
                          return static_cast<std::int64_t>(n);
                      }};
    const auto* state = extension<clap_plugin_state_t>(CLAP_EXT_STATE);
    return state != nullptr && state->load(plugin, &in);
}

}  // namespace gwclaptest
