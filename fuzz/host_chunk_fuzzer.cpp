// Host chunks: the raw size is checked, and the input padded to both chunk sizes is parsed
// into records whose index-like values and texts are safe to use. The records are then
// installed in an engine, as a chunk restore does, and a few blocks play with buffers of
// every kind of length: the output must stay finite (a hang is a finding under -timeout).
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/grain_engine.h"
#include "engine/engine_inspection.h"
#include "persistence/host_chunk.h"

namespace {

void checkRecord(const grainwheel::ProgramRecord& r) {
    using namespace grainwheel;
    if (r.currentProgram < 0 || r.currentProgram >= kNumPrograms) std::abort();
    const int buffer = static_cast<int>(r.bufferNumber);
    if (buffer < 0 || buffer >= kNumPrograms) std::abort();
    if (!std::memchr(r.bufferPath, 0, sizeof r.bufferPath)) std::abort();
    if (!std::memchr(r.name, 0, sizeof r.name)) std::abort();
}

// A playing transport at 480 bpm that moves on by every block (1/64 units: all 16 pass in
// 5512 samples).
class Transport final : public grainwheel::EngineHost {
public:
    bool transport(std::int32_t, grainwheel::EngineTransport& out) override {
        using T = grainwheel::EngineTransport;
        out.flags = T::kPlaying | T::kPpqValid | T::kTempoValid | T::kBarsValid | T::kTimeSigValid;
        out.ppqPosition = ppq;
        out.barStart = 4.0 * std::floor(ppq / 4.0);
        out.tempo = 480.0;
        out.timeSigNumerator = 4;
        out.timeSigDenominator = 4;
        return true;
    }
    void automated(int, float) override {}
    bool askYesNo(const char*, const char*) override { return false; }
    double ppq = 0.0;
};

constexpr int kBlock = 256;
constexpr int kBlocks = 6;

Transport host;

// One engine for the whole run (making one costs its spare arrays); every buffer holds
// audio, from one frame (read steps longer than the buffer) to a few thousand.
grainwheel::GrainEngine& engine() {
    static grainwheel::GrainEngine* e = [] {
        auto* made = new grainwheel::GrainEngine(&host, 44100.0f);
        for (int n = 0; n < grainwheel::kNumBuffers; ++n) {
            const int frames = n < 4 ? n + 1 : 600 * n;
            float* l = grainwheel::BufferBank::newSampleArray(frames);
            float* r = grainwheel::BufferBank::newSampleArray(frames);
            for (int i = 0; i < frames; ++i) l[i] = r[i] = 0.5f * std::sin(0.05f * static_cast<float>(i + n));
            made->replaceBufferArrays(n, l, r, frames);
        }
        return made;
    }();
    return *e;
}

// Installs the records as a bank chunk restore does, then `program` in the current
// program's place as a program chunk restore does, and plays.
void play(const std::array<grainwheel::ProgramRecord, grainwheel::kNumPrograms>& bank,
          const grainwheel::ProgramRecord& program) {
    using namespace grainwheel;
    GrainEngine& e = engine();
    VoiceBank& v = EngineInspection::voices(e);
    v.resetAll();
    v.pitchFilter.reset();
    v.resonantFilter.reset();
    for (int k = 0; k < kNumPrograms; ++k) e.storeRecord(k, bank[static_cast<std::size_t>(k)]);
    e.setProgram(bank[0].currentProgram);
    e.selectBuffer(e.getCurrentBuffer());
    ProgramRecord one = program;
    one.currentProgram = e.getProgram();
    e.storeRecord(e.getProgram(), one);
    e.setProgram(e.getProgram());
    e.selectBuffer(e.getCurrentBuffer());
    e.setHalted(false);

    float in[kBlock], l[kBlock], r[kBlock];
    for (int i = 0; i < kBlock; ++i) in[i] = 0.3f * std::sin(0.01f * static_cast<float>(i));
    float* ins[2] = {in, in};
    float* outs[2] = {l, r};
    for (int b = 0; b < kBlocks; ++b) {
        e.processReplacing(ins, outs, kBlock);
        host.ppq += kBlock * 480.0 / (60.0 * 44100.0);
        for (int i = 0; i < kBlock; ++i)
            if (!std::isfinite(l[i]) || !std::isfinite(r[i])) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace grainwheel;
    ProgramRecord program;
    std::array<ProgramRecord, kNumPrograms> bank;
    if (readProgramChunk(data, size, program) != (size == kProgramChunkSize)) std::abort();
    if (readBankChunk(data, size, bank) != (size == kBankChunkSize)) std::abort();

    std::vector<std::uint8_t> padded(kBankChunkSize, 0);
    std::memcpy(padded.data(), data, size < padded.size() ? size : padded.size());
    if (!readProgramChunk(padded.data(), kProgramChunkSize, program)) std::abort();
    checkRecord(program);
    if (!readBankChunk(padded.data(), kBankChunkSize, bank)) std::abort();
    for (const ProgramRecord& r : bank) checkRecord(r);

    ReloadErrors errors;
    for (const BufferReload& reload : bankChunkReloads(padded.data())) {
        if (reload.kind == BufferReload::kPathTooLong) errors.addPathTooLong();
        if (reload.kind == BufferReload::kLoad) {
            if (reload.path.empty() || reload.path.size() >= kPathSize) std::abort();
            errors.addFailed(reload.path);
        }
    }
    if (errors.text().empty()) std::abort();

    play(bank, program);
    return 0;
}
