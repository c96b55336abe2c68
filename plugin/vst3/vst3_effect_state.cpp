// The VST 3 adapter's state (vst3_state.h for the layout). getState stores each buffer
// with a WAV file of its own (loaded from it, or saved to it and unchanged since) by that
// file's path, and any other buffer with audio (a recorded take, an edited buffer) with
// the audio itself at its own rate. setState reads the whole state before it changes
// anything; then every buffer starts empty, the stored audio is installed (converted to
// the working rate by the deferred work where it is at another), and the records and the
// files named go through the VST 2 chunk's session restore.

#include <cstring>
#include <new>

#include "persistence/effect_files.h"
#include "persistence/file_system.h"
#include "plugin/vst3/vst3_effect.h"
#include "plugin/vst3/vst3_state.h"

namespace grainwheel::vst3 {

tresult Vst3Effect::getState(Steinberg_IBStream* stream) {
    if (stream == nullptr) return Steinberg_kInvalidArgument;
    std::lock_guard<std::mutex> hold(filesLock_);
    void* data = nullptr;
    if (engine_.programs().chunk(&data, false) != static_cast<std::int32_t>(kBankChunkSize) || data == nullptr)
        return Steinberg_kInternalError;
    std::unique_ptr<std::array<ProgramRecord, kNumPrograms>> records(new (std::nothrow)
                                                                         std::array<ProgramRecord, kNumPrograms>);
    if (!records) return Steinberg_kOutOfMemory;
    std::memcpy(static_cast<void*>(records->data()), data, kBankChunkSize);

    std::array<BufferPart, kNumBuffers> parts{};
    // The deferred rate conversion replaces no arrays while they are written.
    const auto reads = engine_.buffers().holdReads();
    for (int k = 0; k < kNumBuffers; ++k) {
        std::uint32_t generation = 0;
        const BufferFrames f = framesOf(engine_.buffers().buffer(k), &generation);
        const int rate = engine_.buffers().buffer(k).rateOf(generation);
        setRecordedRate((*records)[k], f.empty() ? 0 : rate);
        if (f.empty()) continue;
        const char* own = engine_.programs().record(k).bufferPath;
        if (engine_.buffers().buffer(k).saved.load() != 0 && own[0] != 0 && fileExists(own)) {
            parts[k].source = BufferSource::File;
            std::memcpy((*records)[k].bufferPath, own, kPathSize);
            (*records)[k].bufferSaved = 1;
        } else {
            parts[k].source = BufferSource::Embedded;
            parts[k].view = BufferView{f.left, f.right, f.length};
            parts[k].rate = rate > 0 ? rate : engine_.workingRate();
            (*records)[k].bufferSaved = 0;
        }
    }
    StreamSink sink(stream);
    return writeState(sink, *records, parts, bypass_.load() != 0.0f) ? Steinberg_kResultOk : Steinberg_kResultFalse;
}

tresult Vst3Effect::setState(Steinberg_IBStream* stream) {
    if (stream == nullptr) return Steinberg_kInvalidArgument;
    std::unique_ptr<StateImage> image(new (std::nothrow) StateImage);
    if (!image) return Steinberg_kOutOfMemory;
    StreamSource source(stream);
    if (!readState(source, *image)) return Steinberg_kResultFalse;

    std::lock_guard<std::mutex> hold(filesLock_);
    bypass_.store(image->bypass ? 1.0f : 0.0f);
    for (int k = 0; k < kNumBuffers; ++k) {
        SampleArrays& audio = image->audio[k];
        // While inactive the rate may change before the component runs: the next
        // setActive converts once, to the rate then.
        if (image->sources[k] == BufferSource::Embedded && !audio.empty() &&
            (!active_ || toWorkingRate(audio, engine_.workingRate()))) {
            const int frames = audio.length;
            engine_.replaceBufferArrays(k, audio.left.release(), audio.right.release(), frames, audio.rate);
            // The audio has no file of its own.
            engine_.buffers().buffer(k).saved = 0;
        } else if (!framesOf(engine_.buffers().buffer(k)).empty()) {
            engine_.replaceBufferArrays(k, nullptr, nullptr, 0);
            engine_.markBufferSaved(k);
        }
    }
    const std::int32_t taken =
        files_.setChunk(image->records.data(), static_cast<std::int32_t>(kBankChunkSize), false);
    // Each record's copy of the saved flag tells of the buffer as restored.
    for (int k = 0; k < kNumBuffers; ++k) engine_.keepRecordSaved(k);
    if (handler_ != nullptr)
        handler_->lpVtbl->restartComponent(handler_, Steinberg_Vst_RestartFlags_kParamValuesChanged);
    return taken != 0 ? Steinberg_kResultOk : Steinberg_kResultFalse;
}

}  // namespace grainwheel::vst3
