#pragma once
// A small CLAP host for the suites: it loads grainwheel.clap through clap_entry (or takes
// a plug-in made in the test), offers thread-check (this thread is the main thread and,
// while process runs, the audio thread), params (flush requests and rescans counted),
// timer-support (one timer, fired by the test) and gui (resize requests recorded), and
// passes stereo blocks with input events and a transport.

#include <cstdint>
#include <utility>
#include <vector>

#include <clap/clap.h>
#include <clap/ext/gui.h>
#include <clap/ext/params.h>
#include <clap/ext/state.h>
#include <clap/ext/timer-support.h>

namespace gwclaptest {

// Input events in time order, as the host passes them.
class Events {
public:
    void clear() { offsets_.clear(), bytes_.clear(); }
    void value(std::uint32_t time, clap_id id, double value);
    void transport(const clap_event_transport_t& t) { add(&t.header); }
    void add(const clap_event_header_t* e);
    const clap_input_events_t* list() const { return &list_; }

private:
    std::vector<std::size_t> offsets_;
    std::vector<std::uint8_t> bytes_;
    clap_input_events_t list_{this, size, get};
    static std::uint32_t size(const clap_input_events_t* l);
    static const clap_event_header_t* get(const clap_input_events_t* l, std::uint32_t i);
};

// The output events a plug-in pushed: the parameter values and gestures.
struct Output {
    struct Event {
        std::uint16_t type;
        clap_id id;
        double value;
    };
    std::vector<Event> events;
    clap_output_events_t list{this, push};
    static bool push(const clap_output_events_t* l, const clap_event_header_t* e);
};

// A transport that plays at `quarters` (on the fixed-point beat grid).
clap_event_transport_t playingAt(double quarters, double tempo, int beatsPerBar);
// The quarters a transport tells of.
double quartersOf(const clap_event_transport_t& t);

class Host {
public:
    // Loads the module (null: GW_CLAP_MODULE) and makes its plug-in.
    explicit Host(const char* module = nullptr);
    // No module: the test makes the plug-in with host() and sets `plugin`.
    struct Bare {};
    explicit Host(Bare);
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    bool ok() const { return plugin != nullptr; }
    const clap_host_t* host() const { return &host_; }
    bool start(double rate, std::uint32_t maxBlock);
    void stop();
    clap_process_status process(const float* inL, const float* inR, float* outL, float* outR, std::uint32_t frames,
                                const Events* events, const clap_event_transport_t* transport);
    std::vector<std::uint8_t> save();
    // The stream gives at most `chunk` bytes a read.
    bool load(const std::vector<std::uint8_t>& bytes, std::size_t chunk = 1000);
    template <typename T>
    const T* extension(const char* id) const {
        return static_cast<const T*>(plugin->get_extension(plugin, id));
    }

    const clap_plugin_entry_t* entry = nullptr;
    const clap_plugin_factory_t* factory = nullptr;
    const clap_plugin_t* plugin = nullptr;
    Output output;
    int flushRequests = 0;
    int rescans = 0;
    bool processing = false;  // on the audio thread
    clap_id timer = CLAP_INVALID_ID;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> resized;

private:
    void* library_ = nullptr;
    clap_host_t host_{};
    clap_host_params_t params_{};
    clap_host_timer_support_t timers_{};
    clap_host_gui_t gui_{};
    bool active_ = false;
};

}  // namespace gwclaptest
