// The interface tables of Vst3Effect: the static functions a host calls through each
// interface, and the object's queryInterface.

#include <cstring>
#include <limits>

#include "engine/grain_engine.h"
#include "plugin/vst3/vst3_effect.h"

#define CALL SMTG_STDMETHODCALLTYPE

namespace grainwheel::vst3 {

const TUID kEffectClassId = SMTG_INLINE_UID(0x6777C3A1, 0x5E2B4F0D, 0x9A17B3E4, 0x2C08D951);

namespace {
constexpr Steinberg_Vst_SpeakerArrangement kStereo = 3;  // left and right
constexpr Steinberg_uint32 kInfiniteTail = 0xFFFFFFFFu;
constexpr const char* kProgramListName = "Programs";
}  // namespace

struct Vst3Effect::Tables {
    using F = Facet<Vst3Effect>;
    static Vst3Effect* of(void* self) { return F::of(self); }

    // FUnknown, on every facet.
    static tresult CALL queryInterface(void* self, const TUID iid, void** obj) { return of(self)->queryInterface(iid, obj); }
    static Steinberg_uint32 CALL addRef(void* self) { return of(self)->addRef(); }
    static Steinberg_uint32 CALL release(void* self) { return of(self)->release(); }

    // IPluginBase: the component and the controller are one object, initialised once
    // for each interface the host initialises.
    static tresult CALL initialize(void* self, Steinberg_FUnknown*) {
        ++of(self)->initialized_;
        return Steinberg_kResultOk;
    }
    static tresult CALL terminate(void* self) {
        Vst3Effect* fx = of(self);
        if (fx->initialized_ > 0 && --fx->initialized_ == 0) {
            fx->stopWorker();
            fx->setHandler(nullptr);
        }
        return Steinberg_kResultOk;
    }

    // IComponent.
    static tresult CALL getControllerClassId(void*, TUID) { return Steinberg_kResultFalse; }
    static tresult CALL setIoMode(void*, Steinberg_Vst_IoMode) { return Steinberg_kResultOk; }
    static Steinberg_int32 CALL getBusCount(void*, Steinberg_Vst_MediaType type, Steinberg_Vst_BusDirection) {
        return type == Steinberg_Vst_MediaTypes_kAudio ? 1 : 0;
    }
    static tresult CALL getBusInfo(void*, Steinberg_Vst_MediaType type, Steinberg_Vst_BusDirection dir,
                                   Steinberg_int32 index, Steinberg_Vst_BusInfo* bus) {
        if (bus == nullptr || type != Steinberg_Vst_MediaTypes_kAudio || index != 0 ||
            (dir != Steinberg_Vst_BusDirections_kInput && dir != Steinberg_Vst_BusDirections_kOutput))
            return Steinberg_kInvalidArgument;
        std::memset(bus, 0, sizeof *bus);
        bus->mediaType = type;
        bus->direction = dir;
        bus->channelCount = 2;
        toUtf16(dir == Steinberg_Vst_BusDirections_kInput ? "Stereo In" : "Stereo Out", bus->name, 128);
        bus->busType = Steinberg_Vst_BusTypes_kMain;
        bus->flags = Steinberg_Vst_BusInfo_BusFlags_kDefaultActive;
        return Steinberg_kResultOk;
    }
    static tresult CALL getRoutingInfo(void*, Steinberg_Vst_RoutingInfo*, Steinberg_Vst_RoutingInfo*) {
        return Steinberg_kResultFalse;
    }
    static tresult CALL activateBus(void*, Steinberg_Vst_MediaType type, Steinberg_Vst_BusDirection,
                                    Steinberg_int32 index, Steinberg_TBool) {
        return type == Steinberg_Vst_MediaTypes_kAudio && index == 0 ? Steinberg_kResultOk : Steinberg_kInvalidArgument;
    }
    static tresult CALL setActive(void* self, Steinberg_TBool state) { return of(self)->setActive(state != 0); }
    static tresult CALL setState(void* self, Steinberg_IBStream* s) { return of(self)->setState(s); }
    static tresult CALL getState(void* self, Steinberg_IBStream* s) { return of(self)->getState(s); }

    // IAudioProcessor.
    static tresult CALL setBusArrangements(void*, Steinberg_Vst_SpeakerArrangement* in, Steinberg_int32 numIns,
                                           Steinberg_Vst_SpeakerArrangement* out, Steinberg_int32 numOuts) {
        const bool stereo = numIns == 1 && numOuts == 1 && in != nullptr && out != nullptr && in[0] == kStereo &&
                            out[0] == kStereo;
        return stereo ? Steinberg_kResultTrue : Steinberg_kResultFalse;
    }
    static tresult CALL getBusArrangement(void*, Steinberg_Vst_BusDirection, Steinberg_int32 index,
                                          Steinberg_Vst_SpeakerArrangement* arr) {
        if (arr == nullptr || index != 0) return Steinberg_kInvalidArgument;
        *arr = kStereo;
        return Steinberg_kResultOk;
    }
    static tresult CALL canProcessSampleSize(void*, Steinberg_int32 size) {
        return size == Steinberg_Vst_SymbolicSampleSizes_kSample32 ? Steinberg_kResultTrue : Steinberg_kResultFalse;
    }
    static Steinberg_uint32 CALL getLatencySamples(void*) { return 0; }
    static tresult CALL setupProcessing(void* self, Steinberg_Vst_ProcessSetup* setup) {
        return of(self)->setupProcessing(setup);
    }
    static tresult CALL setProcessing(void*, Steinberg_TBool) { return Steinberg_kResultOk; }
    static tresult CALL process(void* self, Steinberg_Vst_ProcessData* data) GW_NONBLOCKING {
        return of(self)->process(data);
    }
    // The sequencer plays its buffers whatever the input: its output never ends by itself.
    static Steinberg_uint32 CALL getTailSamples(void*) { return kInfiniteTail; }

    // IEditController.
    static tresult CALL setComponentState(void*, Steinberg_IBStream* s) {
        // One object: the controller reads the engine the component state went into.
        return s != nullptr ? Steinberg_kResultOk : Steinberg_kInvalidArgument;
    }
    static tresult CALL controllerSetState(void*, Steinberg_IBStream*) { return Steinberg_kResultOk; }
    static tresult CALL controllerGetState(void*, Steinberg_IBStream*) { return Steinberg_kResultOk; }
    static Steinberg_int32 CALL getParameterCount(void*) { return kParameterCount; }
    static tresult CALL getParameterInfo(void* self, Steinberg_int32 index, Steinberg_Vst_ParameterInfo* info) {
        return of(self)->describeParameter(index, info);
    }
    static tresult CALL getParamStringByValue(void* self, Steinberg_Vst_ParamID id, Steinberg_Vst_ParamValue v,
                                              Steinberg_Vst_String128 string) {
        return of(self)->stringByValue(id, v, string);
    }
    static tresult CALL getParamValueByString(void* self, Steinberg_Vst_ParamID id, Steinberg_Vst_TChar* string,
                                              Steinberg_Vst_ParamValue* v) {
        return of(self)->valueByString(id, string, v);
    }
    static Steinberg_Vst_ParamValue CALL normalizedParamToPlain(void*, Steinberg_Vst_ParamID, Steinberg_Vst_ParamValue v) {
        return v;
    }
    static Steinberg_Vst_ParamValue CALL plainParamToNormalized(void*, Steinberg_Vst_ParamID, Steinberg_Vst_ParamValue v) {
        return v;
    }
    static Steinberg_Vst_ParamValue CALL getParamNormalized(void* self, Steinberg_Vst_ParamID id) {
        return of(self)->normalized(id);
    }
    // The host's word to the user interface: the engine has the values (its own changes
    // and those of process()), and shows them; the bypass, the adapter's own, follows.
    static tresult CALL setParamNormalized(void* self, Steinberg_Vst_ParamID id, Steinberg_Vst_ParamValue v) {
        if (id == static_cast<Steinberg_Vst_ParamID>(kBypassId)) of(self)->bypass_.store(v >= 0.5 ? 1.0f : 0.0f);
        return id < static_cast<Steinberg_Vst_ParamID>(kParameterCount) ? Steinberg_kResultOk : Steinberg_kInvalidArgument;
    }
    static tresult CALL setComponentHandler(void* self, Steinberg_Vst_IComponentHandler* handler) {
        of(self)->setHandler(handler);
        return Steinberg_kResultOk;
    }
    static Steinberg_IPlugView* CALL createView(void* self, Steinberg_FIDString name) {
        if (name == nullptr || std::strcmp(name, "editor") != 0 || viewMaker == nullptr) return nullptr;
        return viewMaker(*of(self));
    }

    // IUnitInfo: the root unit with the one program list.
    static Steinberg_int32 CALL getUnitCount(void*) { return 1; }
    static tresult CALL getUnitInfo(void*, Steinberg_int32 index, Steinberg_Vst_UnitInfo* info) {
        if (info == nullptr || index != 0) return Steinberg_kInvalidArgument;
        std::memset(info, 0, sizeof *info);
        info->id = 0;
        info->parentUnitId = -1;
        toUtf16("Root", info->name, 128);
        info->programListId = kProgramListId;
        return Steinberg_kResultOk;
    }
    static Steinberg_int32 CALL getProgramListCount(void*) { return 1; }
    static tresult CALL getProgramListInfo(void*, Steinberg_int32 index, Steinberg_Vst_ProgramListInfo* info) {
        if (info == nullptr || index != 0) return Steinberg_kInvalidArgument;
        std::memset(info, 0, sizeof *info);
        info->id = kProgramListId;
        toUtf16(kProgramListName, info->name, 128);
        info->programCount = kNumPrograms;
        return Steinberg_kResultOk;
    }
    static tresult CALL getProgramName(void* self, Steinberg_Vst_ProgramListID list, Steinberg_int32 index,
                                       Steinberg_Vst_String128 name) {
        if (name == nullptr || list != kProgramListId || index < 0 || index >= kNumPrograms)
            return Steinberg_kInvalidArgument;
        char text[64] = {};
        of(self)->engine_.programs().nameOf(index, text);
        toUtf16(text, name, 128);
        return Steinberg_kResultOk;
    }
    static tresult CALL getProgramInfo(void*, Steinberg_Vst_ProgramListID, Steinberg_int32, Steinberg_Vst_CString,
                                       Steinberg_Vst_String128) {
        return Steinberg_kResultFalse;
    }
    static tresult CALL hasProgramPitchNames(void*, Steinberg_Vst_ProgramListID, Steinberg_int32) {
        return Steinberg_kResultFalse;
    }
    static tresult CALL getProgramPitchName(void*, Steinberg_Vst_ProgramListID, Steinberg_int32, Steinberg_int16,
                                            Steinberg_Vst_String128) {
        return Steinberg_kResultFalse;
    }
    static Steinberg_Vst_UnitID CALL getSelectedUnit(void*) { return 0; }
    static tresult CALL selectUnit(void*, Steinberg_Vst_UnitID id) {
        return id == 0 ? Steinberg_kResultOk : Steinberg_kInvalidArgument;
    }
    static tresult CALL getUnitByBus(void*, Steinberg_Vst_MediaType, Steinberg_Vst_BusDirection, Steinberg_int32,
                                     Steinberg_int32, Steinberg_Vst_UnitID* unit) {
        if (unit == nullptr) return Steinberg_kInvalidArgument;
        *unit = 0;
        return Steinberg_kResultOk;
    }
    static tresult CALL setUnitProgramData(void*, Steinberg_int32, Steinberg_int32, Steinberg_IBStream*) {
        return Steinberg_kNotImplemented;
    }

    // IProcessContextRequirements.
    static Steinberg_uint32 CALL getProcessContextRequirements(void*) {
        using R = Steinberg_Vst_IProcessContextRequirements_Flags;
        return R::Steinberg_Vst_IProcessContextRequirements_Flags_kNeedProjectTimeMusic |
               R::Steinberg_Vst_IProcessContextRequirements_Flags_kNeedBarPositionMusic |
               R::Steinberg_Vst_IProcessContextRequirements_Flags_kNeedTempo |
               R::Steinberg_Vst_IProcessContextRequirements_Flags_kNeedTimeSignature |
               R::Steinberg_Vst_IProcessContextRequirements_Flags_kNeedTransportState;
    }

    static Steinberg_Vst_IComponentVtbl component;
    static Steinberg_Vst_IAudioProcessorVtbl processor;
    static Steinberg_Vst_IEditControllerVtbl controller;
    static Steinberg_Vst_IUnitInfoVtbl units;
    static Steinberg_Vst_IProcessContextRequirementsVtbl context;
};

#define GW_UNKNOWN Tables::queryInterface, Tables::addRef, Tables::release
Steinberg_Vst_IComponentVtbl Vst3Effect::Tables::component = {
    GW_UNKNOWN,        initialize,  terminate, getControllerClassId, setIoMode, getBusCount, getBusInfo,
    getRoutingInfo,    activateBus, setActive, setState,             getState,
};
Steinberg_Vst_IAudioProcessorVtbl Vst3Effect::Tables::processor = {
    GW_UNKNOWN,      setBusArrangements, getBusArrangement, canProcessSampleSize, getLatencySamples,
    setupProcessing, setProcessing,      process,           getTailSamples,
};
Steinberg_Vst_IEditControllerVtbl Vst3Effect::Tables::controller = {
    GW_UNKNOWN,          initialize,          terminate,          setComponentState,      controllerSetState,
    controllerGetState,  getParameterCount,   getParameterInfo,   getParamStringByValue,  getParamValueByString,
    normalizedParamToPlain, plainParamToNormalized, getParamNormalized, setParamNormalized, setComponentHandler,
    createView,
};
Steinberg_Vst_IUnitInfoVtbl Vst3Effect::Tables::units = {
    GW_UNKNOWN,         getUnitCount,    getUnitInfo,  getProgramListCount, getProgramListInfo, getProgramName,
    getProgramInfo,     hasProgramPitchNames, getProgramPitchName, getSelectedUnit, selectUnit, getUnitByBus,
    setUnitProgramData,
};
Steinberg_Vst_IProcessContextRequirementsVtbl Vst3Effect::Tables::context = {
    GW_UNKNOWN,
    getProcessContextRequirements,
};
#undef GW_UNKNOWN

tresult Vst3Effect::queryInterface(const char* iid, void** obj) {
    if (obj == nullptr) return Steinberg_kInvalidArgument;
    *obj = nullptr;
    if (iid == nullptr) return Steinberg_kNoInterface;
    if (sameId(iid, Steinberg_FUnknown_iid) || sameId(iid, Steinberg_IPluginBase_iid) ||
        sameId(iid, Steinberg_Vst_IComponent_iid))
        *obj = &component_;
    else if (sameId(iid, Steinberg_Vst_IAudioProcessor_iid)) *obj = &processor_;
    else if (sameId(iid, Steinberg_Vst_IEditController_iid)) *obj = &controller_;
    else if (sameId(iid, Steinberg_Vst_IUnitInfo_iid)) *obj = &units_;
    else if (sameId(iid, Steinberg_Vst_IProcessContextRequirements_iid)) *obj = &context_;
    if (*obj == nullptr) return Steinberg_kNoInterface;
    addRef();
    return Steinberg_kResultOk;
}

Vst3Effect::Vst3Effect()
    : component_{&Tables::component, this},
      processor_{&Tables::processor, this},
      controller_{&Tables::controller, this},
      units_{&Tables::units, this},
      context_{&Tables::context, this},
      engine_(this, static_cast<float>(rate_)),
      files_(engine_, this) {
    for (auto& c : changed_) c.store(false, std::memory_order_relaxed);
    for (auto& v : changedValue_) v.store(0.0f, std::memory_order_relaxed);
    for (auto& v : writtenBack_) v.store(std::numeric_limits<float>::quiet_NaN(), std::memory_order_relaxed);
}

}  // namespace grainwheel::vst3
