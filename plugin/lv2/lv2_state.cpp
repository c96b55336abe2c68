// The LV2 state of one instance: the 16 program records as one property (the bank chunk's
// layout, with their path areas cleared), and for every buffer that holds audio a path
// property naming its WAV file. A buffer whose audio has a file already (loaded from one,
// or written at an earlier save and not changed since) is stored by that file's path; any
// other is written anew into the host's state folder, as a 32-bit float WAV file at the
// buffer's own rate (a restore converts it to the working rate). Restoring empties every buffer,
// then reads the records and the files as the VST 2 chunk's session restore does: a
// missing file leaves its buffer empty and is reported.

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "persistence/file_system.h"
#include "persistence/wave_file.h"
#include "plugin/lv2/lv2_effect.h"
#include "plugin/lv2/lv2_features.h"

namespace grainwheel::lv2 {

namespace {

// The path features of a save or restore: the call's own first, then the instance's.
struct PathFeatures {
    LV2_State_Make_Path* make = nullptr;
    LV2_State_Map_Path* map = nullptr;
    LV2_State_Free_Path* free = nullptr;

    explicit PathFeatures(const LV2_Feature* const* features) {
        make = findFeature<LV2_State_Make_Path>(features, LV2_STATE__makePath);
        map = findFeature<LV2_State_Map_Path>(features, LV2_STATE__mapPath);
        free = findFeature<LV2_State_Free_Path>(features, LV2_STATE__freePath);
    }
    void release(char* path) const {
        if (path == nullptr) return;
        if (free != nullptr) free->free_path(free->handle, path);
        else std::free(path);
    }
    // The host's form of an absolute path for the state ("" on failure).
    std::string abstractPath(const std::string& path) const {
        if (map == nullptr) return path;
        char* mapped = map->abstract_path(map->handle, path.c_str());
        std::string out = mapped != nullptr ? mapped : "";
        release(mapped);
        return out;
    }
    std::string absolutePath(const char* stored) const {
        if (map == nullptr) return stored;
        char* path = map->absolute_path(map->handle, stored);
        std::string out = path != nullptr ? path : "";
        release(path);
        return out;
    }
    std::string newPath(const char* name) const {
        if (make == nullptr) return {};
        char* path = make->path(make->handle, name);
        std::string out = path != nullptr ? path : "";
        release(path);
        return out;
    }
};

}  // namespace

LV2_State_Status Lv2Effect::save(LV2_State_Store_Function store, LV2_State_Handle handle, std::uint32_t,
                                 const LV2_Feature* const* features) {
    if (map_ == nullptr) return LV2_STATE_ERR_NO_FEATURE;  // no URIDs for the properties
    std::lock_guard<std::mutex> hold(filesLock_);
    const PathFeatures paths(features);
    void* data = nullptr;
    if (engine_.programs().chunk(&data, false) != static_cast<std::int32_t>(kBankChunkSize) || data == nullptr)
        return LV2_STATE_ERR_UNKNOWN;
    std::unique_ptr<ProgramRecord[]> records(new (std::nothrow) ProgramRecord[kNumPrograms]);
    if (!records) return LV2_STATE_ERR_NO_SPACE;
    std::memcpy(static_cast<void*>(records.get()), data, kBankChunkSize);

    LV2_State_Status status = LV2_STATE_SUCCESS;
    // The deferred rate conversion replaces no arrays while they are written.
    const auto reads = engine_.buffers().holdReads();
    for (int k = 0; k < kNumBuffers; ++k) {
        std::memset(records[k].bufferPath, 0, sizeof records[k].bufferPath);
        std::uint32_t generation = 0;
        const BufferFrames f = framesOf(engine_.buffers().buffer(k), &generation);
        const int rate = engine_.buffers().buffer(k).rateOf(generation);
        setRecordedRate(records[k], f.empty() ? 0 : rate);
        if (f.empty()) continue;
        std::string path;
        const char* own = engine_.programs().record(k).bufferPath;
        if (engine_.buffers().buffer(k).saved.load() != 0 && own[0] != 0 && fileExists(own)) {
            path = own;
        } else {
            char name[32];
            std::snprintf(name, sizeof name, "buffer%02d.wav", k + 1);
            path = paths.newPath(name);
            if (path.empty() || path.size() >= kPathSize) {
                report("grainwheel: the host gave no place for a buffer's audio in its state; it was not saved");
                status = LV2_STATE_ERR_NO_FEATURE;
                continue;
            }
            // The exact samples at their own rate: 32-bit float.
            if (writeWaveFile(path.c_str(), BufferView{f.left, f.right, f.length}, rate > 0 ? rate : engine_.workingRate(),
                              WaveEncoding::Float32) != kFileOk) {
                report(("grainwheel: could not write " + path).c_str());
                status = LV2_STATE_ERR_UNKNOWN;
                continue;
            }
            // The file holds this audio now: the next save names it unless it changes.
            engine_.markBufferSaved(k);
            copyPath(engine_.programs().records()[k].bufferPath, path.c_str());
        }
        // The stored record names a buffer whose audio is in a file.
        records[k].bufferSaved = 1;
        const std::string stored = paths.abstractPath(path);
        if (stored.empty() ||
            store(handle, uri_.buffer[k], stored.c_str(), stored.size() + 1, uri_.atomPath,
                  LV2_STATE_IS_POD) != LV2_STATE_SUCCESS)
            status = LV2_STATE_ERR_UNKNOWN;
    }
    if (store(handle, uri_.records, records.get(), kBankChunkSize, uri_.atomChunk,
              LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE) != LV2_STATE_SUCCESS)
        return LV2_STATE_ERR_UNKNOWN;
    return status;
}

LV2_State_Status Lv2Effect::restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle, std::uint32_t,
                                    const LV2_Feature* const* features) {
    if (map_ == nullptr) return LV2_STATE_ERR_NO_FEATURE;
    std::lock_guard<std::mutex> hold(filesLock_);
    const PathFeatures paths(features);
    std::size_t size = 0;
    std::uint32_t type = 0, flags = 0;
    const void* data = retrieve(handle, uri_.records, &size, &type, &flags);
    if (data == nullptr) return LV2_STATE_ERR_NO_PROPERTY;
    if (type != uri_.atomChunk || size != kBankChunkSize) {
        report("grainwheel: the saved state's program records are not in grainwheel's layout; nothing was restored");
        return LV2_STATE_ERR_BAD_TYPE;
    }
    std::unique_ptr<unsigned char[]> records(new (std::nothrow) unsigned char[kBankChunkSize]);
    if (!records) return LV2_STATE_ERR_NO_SPACE;
    std::memcpy(records.get(), data, kBankChunkSize);

    for (int k = 0; k < kNumBuffers; ++k) {
        char* area = reinterpret_cast<char*>(records.get()) + k * sizeof(ProgramRecord) +
                     offsetof(ProgramRecord, bufferPath);
        std::memset(area, 0, kPathSize);
        std::size_t pathSize = 0;
        const void* stored = retrieve(handle, uri_.buffer[k], &pathSize, &type, &flags);
        if (stored == nullptr || type != uri_.atomPath || pathSize == 0) continue;
        const std::string text(static_cast<const char*>(stored), strnlen(static_cast<const char*>(stored), pathSize));
        const std::string path = paths.absolutePath(text.c_str());
        // A path too long for the record's area is cut where the chunk restore finds it
        // too long, and reported there.
        std::memcpy(area, path.data(), path.size() < kPathSize ? path.size() : kPathSize);
    }
    // Every buffer starts empty; the restore fills those the state names.
    for (int k = 0; k < kNumBuffers; ++k) {
        if (framesOf(engine_.buffers().buffer(k)).empty()) continue;
        engine_.replaceBufferArrays(k, nullptr, nullptr, 0);
        engine_.markBufferSaved(k);
    }
    QuietScope quiet(quiet_);
    const std::int32_t taken = files_.setChunk(records.get(), static_cast<std::int32_t>(kBankChunkSize), false);
    // Each record's copy of the saved flag tells of the buffer as restored.
    for (int k = 0; k < kNumBuffers; ++k) engine_.keepRecordSaved(k);
    resync_.store(true, std::memory_order_release);
    return taken != 0 ? LV2_STATE_SUCCESS : LV2_STATE_ERR_UNKNOWN;
}

}  // namespace grainwheel::lv2
