// The VST 3 module: the factory and the exported entry points (GetPluginFactory, and
// ModuleEntry/ModuleExit on Linux, InitDll/ExitDll on Windows).

#include <cstring>

#include "plugin/vst3/vst3_effect.h"

#if defined(_WIN32)
#define GW_VST3_EXPORT extern "C" __declspec(dllexport)
#else
#define GW_VST3_EXPORT extern "C" __attribute__((visibility("default")))
#endif
#define CALL SMTG_STDMETHODCALLTYPE

namespace grainwheel::vst3 {

namespace {

// The factory: one class, an audio effect made of one object. A static object: its
// reference count is not kept.
struct Factory {
    static tresult CALL queryInterface(void* self, const TUID iid, void** obj) {
        if (obj == nullptr) return Steinberg_kInvalidArgument;
        if (iid != nullptr && (sameId(iid, Steinberg_FUnknown_iid) || sameId(iid, Steinberg_IPluginFactory_iid) ||
                               sameId(iid, Steinberg_IPluginFactory2_iid) || sameId(iid, Steinberg_IPluginFactory3_iid))) {
            *obj = self;
            return Steinberg_kResultOk;
        }
        *obj = nullptr;
        return Steinberg_kNoInterface;
    }
    static Steinberg_uint32 CALL addRef(void*) { return 1; }
    static Steinberg_uint32 CALL release(void*) { return 1; }
    static tresult CALL getFactoryInfo(void*, Steinberg_PFactoryInfo* info) {
        if (info == nullptr) return Steinberg_kInvalidArgument;
        std::memset(info, 0, sizeof *info);
        std::strncpy(info->vendor, kVendor, sizeof info->vendor - 1);
        info->flags = Steinberg_PFactoryInfo_FactoryFlags_kUnicode;
        return Steinberg_kResultOk;
    }
    static Steinberg_int32 CALL countClasses(void*) { return 1; }
    static void common(char* cid, Steinberg_int32& cardinality, char* category) {
        std::memcpy(cid, kEffectClassId, sizeof(TUID));
        cardinality = Steinberg_PClassInfo_ClassCardinality_kManyInstances;
        std::strcpy(category, "Audio Module Class");
    }
    static tresult CALL getClassInfo(void*, Steinberg_int32 index, Steinberg_PClassInfo* info) {
        if (info == nullptr || index != 0) return Steinberg_kInvalidArgument;
        std::memset(info, 0, sizeof *info);
        common(info->cid, info->cardinality, info->category);
        std::strcpy(info->name, kEffectName);
        return Steinberg_kResultOk;
    }
    static tresult CALL getClassInfo2(void*, Steinberg_int32 index, Steinberg_PClassInfo2* info) {
        if (info == nullptr || index != 0) return Steinberg_kInvalidArgument;
        std::memset(info, 0, sizeof *info);
        common(info->cid, info->cardinality, info->category);
        std::strcpy(info->name, kEffectName);
        std::strcpy(info->subCategories, "Fx");
        std::strcpy(info->vendor, kVendor);
        std::strcpy(info->version, kVersion);
        std::strcpy(info->sdkVersion, Steinberg_Vst_SDKVersionString);
        return Steinberg_kResultOk;
    }
    static tresult CALL getClassInfoUnicode(void*, Steinberg_int32 index, Steinberg_PClassInfoW* info) {
        if (info == nullptr || index != 0) return Steinberg_kInvalidArgument;
        std::memset(info, 0, sizeof *info);
        common(info->cid, info->cardinality, info->category);
        toUtf16(kEffectName, info->name, 64);
        std::strcpy(info->subCategories, "Fx");
        toUtf16(kVendor, info->vendor, 64);
        toUtf16(kVersion, info->version, 64);
        toUtf16(Steinberg_Vst_SDKVersionString, info->sdkVersion, 64);
        return Steinberg_kResultOk;
    }
    static tresult CALL createInstance(void*, Steinberg_FIDString cid, Steinberg_FIDString iid, void** obj) {
        if (obj == nullptr) return Steinberg_kInvalidArgument;
        *obj = nullptr;
        if (cid == nullptr || !sameId(cid, kEffectClassId)) return Steinberg_kNoInterface;
        Vst3Effect* fx = Vst3Effect::create();
        if (fx == nullptr) return Steinberg_kOutOfMemory;
        const tresult r = fx->queryInterface(iid, obj);
        fx->release();  // the interface's reference, if any, keeps it
        return r;
    }
    static tresult CALL setHostContext(void*, Steinberg_FUnknown*) { return Steinberg_kResultOk; }

    static Steinberg_IPluginFactory3Vtbl table;
};

Steinberg_IPluginFactory3Vtbl Factory::table = {
    Factory::queryInterface, Factory::addRef,         Factory::release,
    Factory::getFactoryInfo, Factory::countClasses,   Factory::getClassInfo,
    Factory::createInstance, Factory::getClassInfo2,  Factory::getClassInfoUnicode,
    Factory::setHostContext,
};
Steinberg_IPluginFactory3 factory = {&Factory::table};

}  // namespace

}  // namespace grainwheel::vst3

GW_VST3_EXPORT Steinberg_IPluginFactory* GetPluginFactory() {
    return reinterpret_cast<Steinberg_IPluginFactory*>(&grainwheel::vst3::factory);
}

#if defined(_WIN32)
GW_VST3_EXPORT bool InitDll() { return true; }
GW_VST3_EXPORT bool ExitDll() { return true; }
#else
GW_VST3_EXPORT bool ModuleEntry(void*) { return true; }
GW_VST3_EXPORT bool ModuleExit() { return true; }
#endif
