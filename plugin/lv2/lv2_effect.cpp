// The LV2 adapter: construction, ports, the block, the transport, the worker and the
// UI's access (lv2_effect.h). State is in lv2_state.cpp.

#include "plugin/lv2/lv2_effect.h"
#include "plugin/lv2/lv2_features.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>
#include <thread>

#include <lv2/atom/util.h>
#include <lv2/time/time.h>

namespace grainwheel::lv2 {

namespace {

// The dialogs of the file operations: quiet on a thread that works for the host (restore,
// the worker), the desktop's where the user started the operation (the UI).
thread_local platform::Dialogs* tQuiet = nullptr;
platform::Dialogs& fileDialogs() { return tQuiet != nullptr ? *tQuiet : platform::dialogs(); }

// The editor's port: the engine's, with the working rate of the instance and the file
// operations serialised with state and worker.
class Lv2Port final : public EnginePort {
public:
    explicit Lv2Port(Lv2Effect& fx) : EnginePort(fx.engine(), fx.files()), fx_(fx) {}
    float sampleRate() override { return static_cast<float>(fx_.sampleRate()); }
    FileResult readWaveFile(const char* path) override { return locked([&] { return files_.readWaveFile(path); }); }
    FileResult writeWaveFile(const char* path) override { return locked([&] { return files_.writeWaveFile(path); }); }
    FileResult readBankFile(const char* path) override { return locked([&] { return files_.readBankFile(path); }); }
    FileResult writeBankFile(const char* path) override { return locked([&] { return files_.writeBankFile(path); }); }
    FileResult importBankOptions(const char* path) override {
        return locked([&] { return files_.importBankOptions(path); });
    }
    void exitSave() override {}  // the audio is saved with the host's session

private:
    template <class F> FileResult locked(F f) {
        std::lock_guard<std::mutex> hold(fx_.filesLock());
        return f();
    }
    Lv2Effect& fx_;
};

constexpr float kNoValue = std::numeric_limits<float>::quiet_NaN();
// The worker's tokens: the deferred work, the display's columns.
constexpr std::uint8_t kWorkDeferred = 1;
constexpr std::uint8_t kWorkColumns = 2;
// The live values go to the notify port about this often.
constexpr double kDisplaySeconds = 0.03;

}  // namespace

QuietScope::QuietScope(platform::Dialogs& dialogs) : previous_(tQuiet) { tQuiet = &dialogs; }
QuietScope::~QuietScope() { tQuiet = previous_; }

void QuietDialogs::showMessage(const char* title, const char* text) {
    std::string line = title != nullptr ? title : "";
    if (text != nullptr && *text != 0) line += (line.empty() ? "" : ": ") + std::string(text);
    owner_.report(line.c_str());
}

Lv2Effect::Lv2Effect(double sampleRate)
    : rate_(sampleRate),
      engine_(this, static_cast<float>(sampleRate)),
      quiet_(*this),
      files_(engine_, this, &fileDialogs),
      position_(sampleRate) {
    for (auto& v : writtenBack_) v.store(kNoValue, std::memory_order_relaxed);
}

Lv2Effect* Lv2Effect::create(double sampleRate, const LV2_Feature* const* features) {
    if (!(sampleRate > 0.0) || !std::isfinite(sampleRate)) return nullptr;
    Lv2Effect* fx = new (std::nothrow) Lv2Effect(sampleRate);
    if (fx == nullptr) return nullptr;
    fx->port_.reset(new (std::nothrow) Lv2Port(*fx));
    if (!fx->engine_.usable() || fx->port_ == nullptr || !fx->takeFeatures(features)) {
        delete fx;
        return nullptr;
    }
    fx->engine_.setListener(fx);
    fx->files_.loadRecentBankList();
    for (int i = 0; i < kParameterPorts; ++i) fx->seen_[i] = fx->engine_.getParameter(i);
    return fx;
}

Lv2Effect::~Lv2Effect() { engine_.setListener(nullptr); }

bool Lv2Effect::takeFeatures(const LV2_Feature* const* features) {
    map_ = findFeature<LV2_URID_Map>(features, LV2_URID__map);
    schedule_ = findFeature<LV2_Worker_Schedule>(features, LV2_WORKER__schedule);
    log_ = findFeature<LV2_Log_Log>(features, LV2_LOG__log);
    if (map_ == nullptr) {
        // A bare host (lv2apply): parameters and audio only; no time information arrives
        // and no state can be stored.
        return true;
    }
    auto m = [this](const char* uri) { return map_->map(map_->handle, uri); };
    uri_.atomBlank = m(LV2_ATOM__Blank);
    uri_.atomObject = m(LV2_ATOM__Object);
    uri_.atomFloat = m(LV2_ATOM__Float);
    uri_.atomDouble = m(LV2_ATOM__Double);
    uri_.atomInt = m(LV2_ATOM__Int);
    uri_.atomLong = m(LV2_ATOM__Long);
    uri_.atomChunk = m(LV2_ATOM__Chunk);
    uri_.atomPath = m(LV2_ATOM__Path);
    uri_.timePosition = m(LV2_TIME__Position);
    uri_.timeBar = m(LV2_TIME__bar);
    uri_.timeBarBeat = m(LV2_TIME__barBeat);
    uri_.timeBeat = m(LV2_TIME__beat);
    uri_.timeBeatUnit = m(LV2_TIME__beatUnit);
    uri_.timeBeatsPerBar = m(LV2_TIME__beatsPerBar);
    uri_.timeTempo = m(LV2_TIME__beatsPerMinute);
    uri_.timeSpeed = m(LV2_TIME__speed);
    uri_.logError = m(LV2_LOG__Error);
    uri_.logWarning = m(LV2_LOG__Warning);
    uri_.records = m(kStateRecordsUri);
    uri_.command = m(kCommandUri);
    uri_.commandIndex = m(kCommandIndexUri);
    uri_.commandValue = m(kCommandValueUri);
    uri_.displayLive = m(kDisplayLiveUri);
    uri_.displayScope = m(kDisplayScopeUri);
    uri_.displayColumns = m(kDisplayColumnsUri);
    uri_.displayBuffer = m(kDisplayBufferUri);
    uri_.displayData = m(kDisplayDataUri);
    lv2_atom_forge_init(&forge_, map_);
    for (int k = 0; k < kNumBuffers; ++k) {
        char uri[64];
        std::snprintf(uri, sizeof uri, "%s%02d", kStateBufferUri, k + 1);
        uri_.buffer[k] = m(uri);
    }
    if (schedule_ == nullptr)
        report("grainwheel: the host offers no worker; new recordings wait for the open panel to make room for them");
    return true;
}

void Lv2Effect::connectPort(std::uint32_t port, void* data) {
    if (port < kParameterPorts) controls_[port] = static_cast<const float*>(data);
    else if (port == kPortInLeft) in_[0] = static_cast<const float*>(data);
    else if (port == kPortInRight) in_[1] = static_cast<const float*>(data);
    else if (port == kPortOutLeft) out_[0] = static_cast<float*>(data);
    else if (port == kPortOutRight) out_[1] = static_cast<float*>(data);
    else if (port == kPortTime) time_ = static_cast<const LV2_Atom_Sequence*>(data);
    else if (port == kPortNotify) notify_ = static_cast<LV2_Atom_Sequence*>(data);
}

// The transport last told stays: a host tells it again when it changes.
void Lv2Effect::activate() { engine_.resume(static_cast<float>(rate_)); }

// The control ports whose values changed since the last block, in index order.
void Lv2Effect::applyPorts() noexcept {
    const bool resync = resync_.exchange(false, std::memory_order_acq_rel);
    for (int i = 0; i < kParameterPorts; ++i) {
        if (controls_[i] == nullptr) continue;
        const float v = *controls_[i];
        if (std::isnan(v)) continue;
        if (isCommandPort(i)) {
            applyCommandPort(i, v, resync);
            continue;
        }
        if (v == seen_[i]) continue;
        seen_[i] = v;
        const float back = writtenBack_[i].exchange(kNoValue, std::memory_order_acq_rel);
        if (!resync && v != back) engine_.setParameter(i, v < 0.0f ? 0.0f : v > 1.0f ? 1.0f : v);
    }
}

void Lv2Effect::writingBack(int index, float value) {
    if (index >= 0 && index < kParameterPorts && !isCommandPort(index))
        writtenBack_[index].store(value, std::memory_order_release);
}

void Lv2Effect::applyCommandPort(int i, float v, bool resync) noexcept {
    const bool rose = rose_[i];
    rose_[i] = false;
    const float was = seen_[i];
    if (v == was) return;
    seen_[i] = v;
    if (resync || (rose && v == 0.0f)) return;
    rose_[i] = was == 0.0f;
    // One press and release: kill buffer and the presets act on the press, the others
    // on the release.
    engine_.setParameter(i, 1.0f);
    engine_.setParameter(i, 0.0f);
}

void Lv2Effect::takeCommand(const LV2_Atom_Event* ev) noexcept {
    const auto type = ev->body.type;
    if (type != uri_.atomObject && type != uri_.atomBlank) return;
    const auto* object = reinterpret_cast<const LV2_Atom_Object*>(&ev->body);
    if (object->body.otype != uri_.command) return;
    const LV2_Atom *index = nullptr, *value = nullptr;
    lv2_atom_object_get(object, uri_.commandIndex, &index, uri_.commandValue, &value, 0);
    if (index == nullptr || value == nullptr || index->type != uri_.atomInt || index->size < sizeof(std::int32_t) ||
        value->type != uri_.atomFloat || value->size < sizeof(float))
        return;
    const std::int32_t i = reinterpret_cast<const LV2_Atom_Int*>(index)->body;
    const float v = reinterpret_cast<const LV2_Atom_Float*>(value)->body;
    if (isCommandPort(i) && (v == 0.0f || v == 1.0f)) engine_.setParameter(i, v);
}

void Lv2Effect::processSpan(std::uint32_t from, std::uint32_t count) noexcept {
    if (count == 0) return;
    float* inputs[2] = {const_cast<float*>(in_[0] ? in_[0] + from : nullptr),
                        const_cast<float*>(in_[1] ? in_[1] + from : nullptr)};
    float* outputs[2] = {out_[0] ? out_[0] + from : nullptr, out_[1] ? out_[1] + from : nullptr};
    if (outputs[0] == nullptr) return;  // nothing connected to write to
    engine_.processReplacing(inputs, outputs, static_cast<std::int32_t>(count));
    position_.advance(count);
}

namespace {
bool numberOf(const LV2_Atom* a, LV2_URID f, LV2_URID d, LV2_URID i, LV2_URID l, double& out) noexcept {
    if (a == nullptr) return false;
    if (a->type == f && a->size >= sizeof(float)) out = reinterpret_cast<const LV2_Atom_Float*>(a)->body;
    else if (a->type == d && a->size >= sizeof(double)) out = reinterpret_cast<const LV2_Atom_Double*>(a)->body;
    else if (a->type == i && a->size >= sizeof(std::int32_t)) out = reinterpret_cast<const LV2_Atom_Int*>(a)->body;
    else if (a->type == l && a->size >= sizeof(std::int64_t))
        out = static_cast<double>(reinterpret_cast<const LV2_Atom_Long*>(a)->body);
    else return false;
    return true;
}
}  // namespace

void Lv2Effect::readTime(const LV2_Atom_Object* object) noexcept {
    const LV2_Atom *bar = nullptr, *barBeat = nullptr, *beat = nullptr, *beatUnit = nullptr, *beatsPerBar = nullptr,
                   *tempo = nullptr, *speed = nullptr;
    lv2_atom_object_get(object, uri_.timeBar, &bar, uri_.timeBarBeat, &barBeat, uri_.timeBeat, &beat,
                        uri_.timeBeatUnit, &beatUnit, uri_.timeBeatsPerBar, &beatsPerBar, uri_.timeTempo, &tempo,
                        uri_.timeSpeed, &speed, 0);
    PositionUpdate u;
    auto take = [&](const LV2_Atom* a, double& to, std::uint32_t bit) {
        if (numberOf(a, uri_.atomFloat, uri_.atomDouble, uri_.atomInt, uri_.atomLong, to)) u.has |= bit;
    };
    take(bar, u.bar, PositionUpdate::kBar);
    take(barBeat, u.barBeat, PositionUpdate::kBarBeat);
    take(beat, u.beat, PositionUpdate::kBeat);
    take(beatUnit, u.beatUnit, PositionUpdate::kBeatUnit);
    take(beatsPerBar, u.beatsPerBar, PositionUpdate::kBeatsPerBar);
    take(tempo, u.tempo, PositionUpdate::kTempo);
    take(speed, u.speed, PositionUpdate::kSpeed);
    position_.take(u);
}

const LV2_Atom_Object* Lv2Effect::positionOf(const LV2_Atom_Event* ev) const noexcept {
    const auto type = ev->body.type;
    if (type != uri_.atomObject && type != uri_.atomBlank) return nullptr;
    const auto* object = reinterpret_cast<const LV2_Atom_Object*>(&ev->body);
    return object->body.otype == uri_.timePosition ? object : nullptr;
}

void Lv2Effect::run(std::uint32_t frames) {
    const bool timed = time_ != nullptr && map_ != nullptr && time_->atom.size >= sizeof(LV2_Atom_Sequence_Body);
    // The events at the block's first frame hold before the ports are applied: a rec sync
    // switched on in this block asks for the transport where the block starts.
    std::uint32_t leading = 0;
    if (timed) {
        LV2_ATOM_SEQUENCE_FOREACH(time_, ev) {
            if (ev->time.frames > 0) break;
            ++leading;
            if (const LV2_Atom_Object* object = positionOf(ev)) readTime(object);
        }
    }
    // The ports are set on the audio thread: the engine hears so before the first block,
    // so that a recording switched on here takes the spare instead of allocating.
    engine_.buffers().gate().claimAudioThread();
    applyPorts();
    if (timed) {
        LV2_ATOM_SEQUENCE_FOREACH(time_, ev) takeCommand(ev);
    }
    std::uint32_t done = 0;
    if (timed) {
        std::uint32_t seen = 0;
        LV2_ATOM_SEQUENCE_FOREACH(time_, ev) {
            if (seen++ < leading) continue;
            const LV2_Atom_Object* object = positionOf(ev);
            if (object == nullptr) continue;
            // The block runs up to the frame where the new position holds.
            const std::int64_t at = ev->time.frames;
            const std::uint32_t until = at <= done ? done : at >= frames ? frames : static_cast<std::uint32_t>(at);
            processSpan(done, until - done);
            done = until;
            readTime(object);
        }
    }
    processSpan(done, frames - done);
    writeDisplay(frames);
    // Whatever the blocks handed off runs on the host's worker.
    if (schedule_ != nullptr && engine_.hasDeferred() && !workPending_.exchange(true, std::memory_order_acq_rel)) {
        const std::uint8_t token = kWorkDeferred;
        if (schedule_->schedule_work(schedule_->handle, sizeof token, &token) != LV2_WORKER_SUCCESS)
            workPending_.store(false, std::memory_order_release);
    }
}

bool Lv2Effect::displayMessage(LV2_URID otype, int buffer, const void* data, std::uint32_t size) noexcept {
    // The event's time and atom header, the object's body, each property's key and value.
    const std::uint32_t needed = sizeof(LV2_Atom_Event) + sizeof(LV2_Atom_Object_Body) +
                                 (buffer >= 0 ? sizeof(LV2_Atom_Property_Body) + 8 : 0) +
                                 sizeof(LV2_Atom_Property_Body) + lv2_atom_pad_size(size);
    if (forge_.size - forge_.offset < needed) return false;
    LV2_Atom_Forge_Frame frame;
    lv2_atom_forge_frame_time(&forge_, 0);
    lv2_atom_forge_object(&forge_, &frame, 0, otype);
    if (buffer >= 0) {
        lv2_atom_forge_key(&forge_, uri_.displayBuffer);
        lv2_atom_forge_int(&forge_, buffer);
    }
    lv2_atom_forge_key(&forge_, uri_.displayData);
    lv2_atom_forge_atom(&forge_, size, uri_.atomChunk);
    lv2_atom_forge_write(&forge_, data, size);
    lv2_atom_forge_pop(&forge_, &frame);
    return true;
}

void Lv2Effect::writeDisplay(std::uint32_t frames) noexcept {
    if (notify_ == nullptr || map_ == nullptr) return;
    DisplayPublisher& display = engine_.display();
    // Columns to compute: on the host's worker.
    if (schedule_ != nullptr && !columnsPending_.load(std::memory_order_acquire) && display.columnsStale(engine_)) {
        columnsPending_.store(true, std::memory_order_release);
        const std::uint8_t token = kWorkColumns;
        if (schedule_->schedule_work(schedule_->handle, sizeof token, &token) != LV2_WORKER_SUCCESS)
            columnsPending_.store(false, std::memory_order_release);
    }
    lv2_atom_forge_set_buffer(&forge_, reinterpret_cast<std::uint8_t*>(notify_), notify_->atom.size);
    LV2_Atom_Forge_Frame sequence;
    if (lv2_atom_forge_sequence_head(&forge_, &sequence, 0) == 0) return;
    framesSinceLive_ += frames;
    if (static_cast<double>(framesSinceLive_) >= rate_ * kDisplaySeconds) {
        framesSinceLive_ = 0;
        if (display.tryCopyLive(live_)) {
            live_.peak = display.takePeak();
            displayMessage(uri_.displayLive, -1, &live_, sizeof live_);
        }
        // A new capture goes out, and the next one is wanted.
        if (display.traceSerial() != sentTrace_ && display.tryCopyTrace(trace_) &&
            displayMessage(uri_.displayScope, -1, &trace_, sizeof trace_)) {
            sentTrace_ = trace_.serial;
            engine_.requestCapture();
        }
        // The buffers whose columns changed, then the next one in turn.
        for (int n = 0; n < kNumBuffers; ++n) {
            const bool again = n == nextColumns_;
            if (!again && display.columnsSerial(n) == sentColumns_[n]) continue;
            if (!display.tryCopyColumns(n, columns_) || !displayMessage(uri_.displayColumns, n, &columns_, sizeof columns_))
                continue;
            sentColumns_[n] = columns_.serial;
            if (again) nextColumns_ = (nextColumns_ + 1) % kNumBuffers;
        }
    }
    lv2_atom_forge_pop(&forge_, &sequence);
}

LV2_Worker_Status Lv2Effect::work(LV2_Worker_Respond_Function, LV2_Worker_Respond_Handle, std::uint32_t size,
                                  const void* data) {
    if (size == 1 && data != nullptr && *static_cast<const std::uint8_t*>(data) == kWorkColumns) {
        engine_.display().refreshColumns(engine_);
        columnsPending_.store(false, std::memory_order_release);
        return LV2_WORKER_SUCCESS;
    }
    {
        std::lock_guard<std::mutex> hold(filesLock_);
        QuietScope quiet(quiet_);
        engine_.runDeferred();
    }
    workPending_.store(false, std::memory_order_release);
    return LV2_WORKER_SUCCESS;
}

void Lv2Effect::runDeferredWork() {
    if (schedule_ != nullptr || !engine_.hasDeferred()) return;  // the host's worker runs it
    std::lock_guard<std::mutex> hold(filesLock_);
    engine_.runDeferred();
}

bool Lv2Effect::transport(std::int32_t, EngineTransport& out) { return position_.answer(out); }

void Lv2Effect::engineNotice(int index, float value) {
    noticesUnderWay_.fetch_add(1);
    for (auto& slot : listeners_)
        if (EngineListener* l = slot.load()) l->engineNotice(index, value);
    noticesUnderWay_.fetch_sub(1);
}

void Lv2Effect::engineRefresh() {
    noticesUnderWay_.fetch_add(1);
    for (auto& slot : listeners_)
        if (EngineListener* l = slot.load()) l->engineRefresh();
    noticesUnderWay_.fetch_sub(1);
}

bool Lv2Effect::addListener(EngineListener* listener) {
    for (auto& slot : listeners_) {
        EngineListener* empty = nullptr;
        if (slot.compare_exchange_strong(empty, listener)) return true;
    }
    return false;
}

void Lv2Effect::removeListener(EngineListener* listener) {
    for (auto& slot : listeners_) {
        EngineListener* mine = listener;
        slot.compare_exchange_strong(mine, nullptr);
    }
    // A notice that loaded the listener has counted itself in first.
    while (noticesUnderWay_.load() != 0) std::this_thread::yield();
}

void Lv2Effect::report(const char* text) {
    if (text == nullptr || *text == 0) return;
    if (log_ != nullptr) log_->printf(log_->handle, uri_.logError, "%s\n", text);
    else std::fprintf(stderr, "%s\n", text);
    std::lock_guard<std::mutex> hold(messageLock_);
    message_ = text;
}

bool Lv2Effect::takeMessage(char* text, std::size_t size) {
    std::lock_guard<std::mutex> hold(messageLock_);
    if (message_.empty() || text == nullptr || size == 0) return false;
    const std::size_t n = message_.size() < size - 1 ? message_.size() : size - 1;
    std::memcpy(text, message_.data(), n);
    text[n] = 0;
    message_.clear();
    return true;
}

}  // namespace grainwheel::lv2
