// The plug-ins' state to and from the engine (effect_state.h).

#include <cstring>
#include <memory>
#include <new>

#include "engine/grain_engine.h"
#include "persistence/effect_files.h"
#include "persistence/file_system.h"
#include "plugin/common/effect_state.h"

namespace grainwheel {

bool saveEffectState(GrainEngine& engine, ByteSink& out, bool bypass) {
    void* data = nullptr;
    if (engine.programs().chunk(&data, false) != static_cast<std::int32_t>(kBankChunkSize) || data == nullptr)
        return false;
    std::unique_ptr<std::array<ProgramRecord, kNumPrograms>> records(new (std::nothrow)
                                                                         std::array<ProgramRecord, kNumPrograms>);
    if (!records) return false;
    std::memcpy(static_cast<void*>(records->data()), data, kBankChunkSize);

    std::array<BufferPart, kNumBuffers> parts{};
    // The deferred rate conversion replaces no arrays while they are written.
    const auto reads = engine.buffers().holdReads();
    for (int k = 0; k < kNumBuffers; ++k) {
        std::uint32_t generation = 0;
        const BufferFrames f = framesOf(engine.buffers().buffer(k), &generation);
        const int rate = engine.buffers().buffer(k).rateOf(generation);
        setRecordedRate((*records)[k], f.empty() ? 0 : rate);
        if (f.empty()) continue;
        const char* own = engine.programs().record(k).bufferPath;
        if (engine.buffers().buffer(k).saved.load() != 0 && own[0] != 0 && fileExists(own)) {
            parts[k].source = BufferSource::File;
            std::memcpy((*records)[k].bufferPath, own, kPathSize);
            (*records)[k].bufferSaved = 1;
        } else {
            parts[k].source = BufferSource::Embedded;
            parts[k].view = BufferView{f.left, f.right, f.length};
            parts[k].rate = rate > 0 ? rate : engine.workingRate();
            (*records)[k].bufferSaved = 0;
        }
    }
    return writeState(out, *records, parts, bypass);
}

bool installEffectState(GrainEngine& engine, EffectFiles& files, StateImage& image, bool active) {
    for (int k = 0; k < kNumBuffers; ++k) {
        SampleArrays& audio = image.audio[k];
        if (image.sources[k] == BufferSource::Embedded && !audio.empty() &&
            (!active || toWorkingRate(audio, engine.workingRate()))) {
            const int frames = audio.length;
            engine.replaceBufferArrays(k, audio.left.release(), audio.right.release(), frames, audio.rate);
            // The audio has no file of its own.
            engine.buffers().buffer(k).saved = 0;
        } else if (!framesOf(engine.buffers().buffer(k)).empty()) {
            engine.replaceBufferArrays(k, nullptr, nullptr, 0);
            engine.markBufferSaved(k);
        }
    }
    const std::int32_t taken = files.setChunk(image.records.data(), static_cast<std::int32_t>(kBankChunkSize), false);
    // Each record's copy of the saved flag tells of the buffer as restored.
    for (int k = 0; k < kNumBuffers; ++k) engine.keepRecordSaved(k);
    return taken != 0;
}

}  // namespace grainwheel
