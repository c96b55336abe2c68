#include "tests/vst3/vst3_test_host.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <cmath>
#include <cstring>

namespace gwvst3test {

namespace {

#define CALL SMTG_STDMETHODCALLTYPE
Steinberg_tresult CALL noInterface(void*, const Steinberg_TUID, void** obj) {
    *obj = nullptr;
    return Steinberg_kNoInterface;
}
Steinberg_uint32 CALL one(void*) { return 1; }

MemoryStream* streamOf(void* self) { return reinterpret_cast<MemoryStream*>(self); }
Steinberg_IBStreamVtbl streamTable = {
    noInterface, one, one,
    [](void* self, void* buffer, Steinberg_int32 n, Steinberg_int32* done) -> Steinberg_tresult {
        MemoryStream* s = streamOf(self);
        const auto size = static_cast<std::int64_t>(s->bytes.size());
        const std::int64_t count = n < 0 ? 0 : std::min<std::int64_t>(n, size - s->pos);
        if (count > 0) std::memcpy(buffer, s->bytes.data() + s->pos, static_cast<std::size_t>(count));
        s->pos += count;
        if (done) *done = static_cast<Steinberg_int32>(count);
        return Steinberg_kResultOk;
    },
    [](void* self, void* buffer, Steinberg_int32 n, Steinberg_int32* done) -> Steinberg_tresult {
        MemoryStream* s = streamOf(self);
        if (n < 0) return Steinberg_kInvalidArgument;
        if (s->bytes.size() < static_cast<std::size_t>(s->pos + n)) s->bytes.resize(static_cast<std::size_t>(s->pos + n));
        std::memcpy(s->bytes.data() + s->pos, buffer, static_cast<std::size_t>(n));
        s->pos += n;
        if (done) *done = n;
        return Steinberg_kResultOk;
    },
    [](void* self, Steinberg_int64 pos, Steinberg_int32 mode, Steinberg_int64* result) -> Steinberg_tresult {
        MemoryStream* s = streamOf(self);
        const std::int64_t base = mode == Steinberg_IBStream_IStreamSeekMode_kIBSeekCur   ? s->pos
                                  : mode == Steinberg_IBStream_IStreamSeekMode_kIBSeekEnd ? static_cast<std::int64_t>(s->bytes.size())
                                                                                          : 0;
        if (base + pos < 0) return Steinberg_kInvalidArgument;
        s->pos = base + pos;
        if (result) *result = s->pos;
        return Steinberg_kResultOk;
    },
    [](void* self, Steinberg_int64* pos) -> Steinberg_tresult {
        *pos = streamOf(self)->pos;
        return Steinberg_kResultOk;
    },
};

Changes::Queue* queueOf(void* self) { return reinterpret_cast<Changes::Queue*>(self); }
Steinberg_Vst_IParamValueQueueVtbl queueTable = {
    noInterface, one, one,
    [](void* self) -> Steinberg_Vst_ParamID { return queueOf(self)->id; },
    [](void* self) -> Steinberg_int32 { return static_cast<Steinberg_int32>(queueOf(self)->points.size()); },
    [](void* self, Steinberg_int32 i, Steinberg_int32* offset, Steinberg_Vst_ParamValue* value) -> Steinberg_tresult {
        auto& p = queueOf(self)->points;
        if (i < 0 || static_cast<std::size_t>(i) >= p.size()) return Steinberg_kInvalidArgument;
        *offset = p[static_cast<std::size_t>(i)].first;
        *value = p[static_cast<std::size_t>(i)].second;
        return Steinberg_kResultOk;
    },
    [](void* self, Steinberg_int32 offset, Steinberg_Vst_ParamValue value, Steinberg_int32* index) -> Steinberg_tresult {
        auto& p = queueOf(self)->points;
        if (index) *index = static_cast<Steinberg_int32>(p.size());
        p.emplace_back(offset, value);
        return Steinberg_kResultOk;
    },
};

// The face is the object's first member.
Changes* changesOf(void* self) { return reinterpret_cast<Changes*>(self); }
Steinberg_Vst_IParameterChangesVtbl changesTable = {
    noInterface, one, one,
    [](void* self) -> Steinberg_int32 { return changesOf(self)->used(); },
    [](void* self, Steinberg_int32 i) -> Steinberg_Vst_IParamValueQueue* {
        return i >= 0 && i < changesOf(self)->used() ? &changesOf(self)->queue(i)->face : nullptr;
    },
    [](void* self, const Steinberg_Vst_ParamID* id, Steinberg_int32* index) -> Steinberg_Vst_IParamValueQueue* {
        Changes::Queue* q = changesOf(self)->addQueue(*id);
        if (index) *index = changesOf(self)->used() - 1;
        return q ? &q->face : nullptr;
    },
};

}  // namespace

MemoryStream::MemoryStream() : face{&streamTable} {}

Changes::Changes() : face_{&changesTable}, queues_(256) {
    for (Queue& q : queues_) {
        q.face.lpVtbl = &queueTable;
        q.points.reserve(64);  // a plug-in adding points in process() makes the host allocate nothing
    }
}

Changes::Queue* Changes::addQueue(Steinberg_Vst_ParamID id) {
    for (int i = 0; i < used_; ++i)
        if (queues_[static_cast<std::size_t>(i)].id == id) return &queues_[static_cast<std::size_t>(i)];
    if (used_ == static_cast<int>(queues_.size())) return nullptr;
    Queue& q = queues_[static_cast<std::size_t>(used_++)];
    q.id = id;
    q.points.clear();
    return &q;
}

void Changes::add(Steinberg_Vst_ParamID id, std::int32_t offset, double value) {
    if (Queue* q = addQueue(id)) q->points.emplace_back(offset, value);
}

namespace {
#if defined(_WIN32)
void* openModule() { return reinterpret_cast<void*>(LoadLibraryA(GW_VST3_MODULE)); }
void* symbol(void* library, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}
void closeModule(void* library) { FreeLibrary(static_cast<HMODULE>(library)); }
// The module's entry and exit on Windows.
bool enter(void* library) {
    auto init = reinterpret_cast<bool (*)()>(symbol(library, "InitDll"));
    return init != nullptr && init();
}
void leave(void* library) {
    if (auto exit = reinterpret_cast<bool (*)()>(symbol(library, "ExitDll"))) exit();
}
#else
void* openModule() { return dlopen(GW_VST3_MODULE, RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE); }
void* symbol(void* library, const char* name) { return dlsym(library, name); }
void closeModule(void* library) { dlclose(library); }
bool enter(void* library) {
    auto entry = reinterpret_cast<bool (*)(void*)>(symbol(library, "ModuleEntry"));
    return entry != nullptr && entry(library);
}
void leave(void* library) {
    if (auto exit = reinterpret_cast<bool (*)()>(symbol(library, "ModuleExit"))) exit();
}
#endif
}  // namespace

Plugin::Plugin() {
    library_ = openModule();
    if (library_ == nullptr) return;
    auto get = reinterpret_cast<Steinberg_IPluginFactory* (*)()>(symbol(library_, "GetPluginFactory"));
    if (get == nullptr || !enter(library_)) return;
    Steinberg_IPluginFactory* f = get();
    if (f == nullptr ||
        f->lpVtbl->queryInterface(f, Steinberg_IPluginFactory3_iid, reinterpret_cast<void**>(&factory)) != Steinberg_kResultOk)
        return;
    Steinberg_PClassInfo info;
    if (factory->lpVtbl->getClassInfo(factory, 0, &info) != Steinberg_kResultOk) return;
    void* obj = nullptr;
    if (factory->lpVtbl->createInstance(factory, info.cid, Steinberg_Vst_IComponent_iid, &obj) != Steinberg_kResultOk)
        return;
    component = static_cast<Steinberg_Vst_IComponent*>(obj);
    component->lpVtbl->initialize(component, nullptr);
    component->lpVtbl->queryInterface(component, Steinberg_Vst_IAudioProcessor_iid, reinterpret_cast<void**>(&processor));
    component->lpVtbl->queryInterface(component, Steinberg_Vst_IEditController_iid, reinterpret_cast<void**>(&controller));
    component->lpVtbl->queryInterface(component, Steinberg_Vst_IUnitInfo_iid, reinterpret_cast<void**>(&units));
    if (controller != nullptr) controller->lpVtbl->initialize(controller, nullptr);
}

Plugin::~Plugin() {
    if (component != nullptr) {
        stop();
        if (controller != nullptr) {
            controller->lpVtbl->terminate(controller);
            controller->lpVtbl->release(controller);
        }
        if (units != nullptr) units->lpVtbl->release(units);
        if (processor != nullptr) processor->lpVtbl->release(processor);
        component->lpVtbl->terminate(component);
        component->lpVtbl->release(component);
    }
    if (library_ != nullptr) {
        leave(library_);
        closeModule(library_);
    }
}

bool Plugin::start(double rate, std::int32_t maxBlock) {
    Steinberg_Vst_SpeakerArrangement stereo = 3;
    Steinberg_Vst_ProcessSetup setup{Steinberg_Vst_ProcessModes_kRealtime, Steinberg_Vst_SymbolicSampleSizes_kSample32,
                                     maxBlock, rate};
    return processor->lpVtbl->setBusArrangements(processor, &stereo, 1, &stereo, 1) == Steinberg_kResultTrue &&
           processor->lpVtbl->setupProcessing(processor, &setup) == Steinberg_kResultOk &&
           component->lpVtbl->setActive(component, 1) == Steinberg_kResultOk &&
           processor->lpVtbl->setProcessing(processor, 1) == Steinberg_kResultOk;
}

void Plugin::stop() {
    processor->lpVtbl->setProcessing(processor, 0);
    component->lpVtbl->setActive(component, 0);
}

Steinberg_tresult Plugin::process(const float* inL, const float* inR, float* outL, float* outR, std::int32_t frames,
                                  Changes* changes, Steinberg_Vst_ProcessContext* context, Changes* outChanges,
                                  std::uint64_t* silence) {
    float* in[2] = {const_cast<float*>(inL), const_cast<float*>(inR)};
    float* out[2] = {outL, outR};
    Steinberg_Vst_AudioBusBuffers inBus{}, outBus{};
    inBus.numChannels = outBus.numChannels = 2;
    inBus.Steinberg_Vst_AudioBusBuffers_channelBuffers32 = in;
    outBus.Steinberg_Vst_AudioBusBuffers_channelBuffers32 = out;
    Steinberg_Vst_ProcessData data{};
    data.processMode = Steinberg_Vst_ProcessModes_kRealtime;
    data.symbolicSampleSize = Steinberg_Vst_SymbolicSampleSizes_kSample32;
    data.numSamples = frames;
    data.numInputs = data.numOutputs = 1;
    data.inputs = &inBus;
    data.outputs = &outBus;
    data.inputParameterChanges = changes != nullptr ? changes->changes() : nullptr;
    data.outputParameterChanges = outChanges != nullptr ? outChanges->changes() : nullptr;
    data.processContext = context;
    const Steinberg_tresult r = processor->lpVtbl->process(processor, &data);
    if (silence != nullptr) *silence = outBus.silenceFlags;
    return r;
}

std::string Plugin::text(Steinberg_Vst_ParamID id, double value) {
    Steinberg_Vst_String128 s{};
    controller->lpVtbl->getParamStringByValue(controller, id, value, s);
    return narrow(s);
}

std::string narrow(const Steinberg_char16* text) {
    std::string s;
    for (; *text != 0; ++text) s += static_cast<char>(*text);
    return s;
}

void widen(const char* text, Steinberg_char16* out) {
    int n = 0;
    for (; text[n] != 0 && n < 127; ++n) out[n] = static_cast<Steinberg_char16>(text[n]);
    out[n] = 0;
}

Steinberg_Vst_ProcessContext playingAt(double rate, double quarters, double tempo, int beatsPerBar) {
    Steinberg_Vst_ProcessContext c{};
    using S = Steinberg_Vst_ProcessContext_StatesAndFlags;
    c.state = S::Steinberg_Vst_ProcessContext_StatesAndFlags_kPlaying |
              S::Steinberg_Vst_ProcessContext_StatesAndFlags_kProjectTimeMusicValid |
              S::Steinberg_Vst_ProcessContext_StatesAndFlags_kBarPositionValid |
              S::Steinberg_Vst_ProcessContext_StatesAndFlags_kTempoValid |
              S::Steinberg_Vst_ProcessContext_StatesAndFlags_kTimeSigValid;
    c.sampleRate = rate;
    c.projectTimeMusic = quarters;
    c.barPositionMusic = std::floor(quarters / beatsPerBar) * beatsPerBar;
    c.tempo = tempo;
    c.timeSigNumerator = beatsPerBar;
    c.timeSigDenominator = 4;
    return c;
}

}  // namespace gwvst3test
