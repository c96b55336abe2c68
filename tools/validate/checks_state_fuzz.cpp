// Hostile state: the plug-in's own program and bank chunks with one 4-byte word set to a
// hostile float (or one byte flipped), set with effSetChunk and processed, mutation after
// mutation. A hang, a crash or a non-finite sample names the word that did it.
//
// The chunks are read in a child of their own (a plug-in's threads do not survive into a
// fork, so the process that forks never loads the plug-in). The mutations then run in
// batches, each batch in a child that stops at the first mutation that fails; that one
// runs again alone in a fresh child, to tell its own fault from one an earlier mutation
// left behind, and the next batch starts after it.

#include <sys/mman.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "tools/validate/child_process.h"
#include "tools/validate/instance.h"

namespace gwvalidate {

namespace {

using Bytes = std::vector<char>;
using Clock = std::chrono::steady_clock;
constexpr int kBankChunk = 0, kProgramChunk = 1;  // effGetChunk's index
constexpr double kRate = 44100.0;
constexpr int kBlock = 256;
constexpr double kSpanFrames = 16.0 * kRate;  // the transport positions spread over 8 bars at 120 bpm

const char* chunkName(int preset) { return preset == kProgramChunk ? "program chunk" : "bank chunk"; }

struct Hostile {
    float value;
    const char* text;
};
constexpr float kInf = std::numeric_limits<float>::infinity();
const Hostile kHostile[] = {{1e30f, "1e30"}, {-1e30f, "-1e30"},   {std::numeric_limits<float>::quiet_NaN(), "NaN"},
                            {kInf, "+inf"},  {-kInf, "-inf"},     {3e38f, "3e38"},
                            {4.9e19f, "4.9e19"}, {-1.0f, "-1"},   {1e9f, "1e9"}};
constexpr int kHostileCount = static_cast<int>(sizeof(kHostile) / sizeof(kHostile[0]));

struct Mutation {
    bool used = false;         // in the chunks after a session of use, else as loaded
    int preset = kProgramChunk;
    std::uint32_t offset = 0;  // the byte (of a word: its first byte)
    int value = -1;            // index into kHostile; -1 flips the bits of `mask` in one byte
    std::uint8_t mask = 0;
    bool dropped = false;      // its word failed already, with another value
    int group = 0;             // the mutations of one state, chunk and kind: each group starts afresh
};

struct ChunkPair {
    Bytes program, bank;
    const Bytes& of(int preset) const { return preset == kProgramChunk ? program : bank; }
};

// The chunks as loaded and after a session of use: a hostile value may do harm only
// where the session left something (recorded audio, voices) for it to act on, or only
// where it did not.
struct Chunks {
    bool present = false;  // effFlagsProgramChunks
    ChunkPair loaded, used;
    double mutationSeconds = 0;  // what setting the chunks and processing took
    const ChunkPair& of(bool afterUse) const { return afterUse ? used : loaded; }
};

struct Fuzz {
    const Options& options;
    Chunks chunks;
    std::vector<Mutation> plan;
    int blocksWithTime = 6, blocksWithoutTime = 2, blocksAfter = 2;  // per mutation
    double hangSeconds = 1.0;
};

void apply(const Mutation& m, Bytes& chunk) {
    if (m.value >= 0)
        std::memcpy(chunk.data() + m.offset, &kHostile[m.value].value, sizeof(float));
    else
        chunk[m.offset] = static_cast<char>(chunk[m.offset] ^ static_cast<char>(m.mask));
}

// "the program chunk's word at byte 1320 (was 0.5) set to NaN"
// "the program chunk's word at byte 1320 (was 0.5) set to NaN (state after use)"
std::string describe(const Mutation& m, const Chunks& chunks) {
    const Bytes& chunk = chunks.of(m.used).of(m.preset);
    const char* state = m.used ? "state after use" : "state as loaded";
    char text[200];
    if (m.value >= 0) {
        float was;
        std::memcpy(&was, chunk.data() + m.offset, sizeof(was));
        std::snprintf(text, sizeof(text), "the %s's word at byte %u (was %g) set to %s (%s)", chunkName(m.preset),
                      m.offset, static_cast<double>(was), kHostile[m.value].text, state);
    } else {
        const auto was = static_cast<unsigned char>(chunk[m.offset]);
        std::snprintf(text, sizeof(text), "the %s's byte %u flipped from 0x%02X to 0x%02X (%s)", chunkName(m.preset),
                      m.offset, was, static_cast<unsigned>(was ^ m.mask), state);
    }
    return text;
}

// Where block `block` of mutation `index` plays: spread over the span, so that a plug-in
// whose state applies to a part of the bar (a step, a pattern) meets each part.
double transportPosition(std::size_t index, int block, int blocksPerMutation) {
    const double n = static_cast<double>(index) * blocksPerMutation + block;
    const double golden = 0.6180339887498949;
    return std::floor((n * golden - std::floor(n * golden)) * kSpanFrames);
}

// A session of use before the chunks are read: rounds of a third of the parameters set
// to random values, each followed by noise processed. Every child plays the same
// session, so that what a plug-in keeps outside its chunks (recorded audio, say) is there
// in each when the chunks are set.
void playSession(Instance& in, GuardedAudio& audio, std::uint64_t seed) {
    std::mt19937 values(static_cast<std::uint32_t>(seed) * 2654435761u + 17u);
    std::mt19937 noise(static_cast<std::uint32_t>(seed));
    audio.arrange(kBlock, GuardedAudio::Layout::Back, "a session before the chunks were read");
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < in.numParams(); ++i)
            if (values() % 3 == 0) in.setParameter(i, std::uniform_real_distribution<float>(0.0f, 1.0f)(values));
        for (long done = 0; done < static_cast<long>(kRate / 2); done += kBlock) {
            fillNoise(audio, noise, 0.25f);
            in.process(audio);
        }
    }
    if (in.numPrograms() > 1) in.dispatch(effSetProgram, 0, 0);
}

// Reads the chunks, as loaded and after the session, in a child and hands them back
// through shared memory.
bool readChunks(Context& cx, int blocksPerMutation, Chunks& out) {
    constexpr std::size_t kCapacity = std::size_t{64} << 20;
    struct Header {
        std::int64_t flags;
        std::int64_t sizes[4];  // program and bank as loaded, then after use
        double mutationSeconds;  // what setting both chunks and a mutation's blocks took
    };
    void* shared = mmap(nullptr, kCapacity, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (shared == MAP_FAILED) {
        cx.report.fail("cannot map memory to share with a child");
        return false;
    }
    auto* header = static_cast<Header*>(shared);
    char* bytes = static_cast<char*>(shared) + sizeof(Header);
    *header = {0, {0, 0, 0, 0}, 0.0};
    ChildLimits limits;
    limits.totalSeconds = 60;
    limits.quiet = true;
    ChildResult r = runInChild(
        [&](Report& report) {
            Context context{cx.options, report, std::mt19937(1)};
            Instance in(context);
            progress("reading the chunks");
            if (!in.load()) return;
            in.start(kRate, kBlock);
            header->flags = in.effect()->flags;
            if (!(header->flags & effFlagsProgramChunks)) return;
            GuardedAudio audio(in.numInputs(), in.numOutputs(), kBlock);
            std::size_t used = 0;
            for (int k = 0; k < 4; ++k) {
                if (k == 2) playSession(in, audio, cx.options.seed);
                const int preset = k % 2 == 0 ? kProgramChunk : kBankChunk;
                void* data = nullptr;
                const VstIntPtr size = in.dispatch(effGetChunk, preset, 0, &data);
                if (size <= 0 || !data) {
                    report.fail("effGetChunk for the %s answers %ld bytes at %p", chunkName(preset),
                                static_cast<long>(size), data);
                    return;
                }
                if (used + static_cast<std::size_t>(size) > kCapacity - sizeof(Header)) {
                    report.fail("the chunks are larger than the %zu MB this check takes", kCapacity >> 20);
                    return;
                }
                std::memcpy(bytes + used, data, static_cast<std::size_t>(size));
                used += static_cast<std::size_t>(size);
                header->sizes[k] = size;
            }
            // What a mutation costs, to tell a hang from a slow plug-in.
            const char* afterUse = bytes + header->sizes[0] + header->sizes[1];
            Bytes program(afterUse, afterUse + header->sizes[2]);
            Bytes bank(afterUse + header->sizes[2], afterUse + header->sizes[2] + header->sizes[3]);
            const auto started = Clock::now();
            in.dispatch(effSetChunk, kBankChunk, static_cast<VstIntPtr>(bank.size()), bank.data());
            in.dispatch(effSetChunk, kProgramChunk, static_cast<VstIntPtr>(program.size()), program.data());
            for (int b = 0; b < blocksPerMutation; ++b) {
                fillNoise(audio, context.rng, 0.25f);
                in.process(audio);
            }
            header->mutationSeconds = std::chrono::duration<double>(Clock::now() - started).count();
            in.stop();
        },
        limits);
    const bool ok = !r.report.failed();
    if (!ok) {
        for (const std::string& f : r.report.failures()) cx.report.fail("reading the chunks: %s", f.c_str());
    } else {
        out.present = (header->flags & effFlagsProgramChunks) != 0;
        out.mutationSeconds = header->mutationSeconds;
        Bytes* parts[4] = {&out.loaded.program, &out.loaded.bank, &out.used.program, &out.used.bank};
        const char* at = bytes;
        for (int k = 0; k < 4 && out.present; ++k) {
            const auto size = static_cast<std::size_t>(header->sizes[k]);
            parts[k]->assign(at, at + size);
            at += size;
        }
    }
    munmap(shared, kCapacity);
    return ok;
}

// The mutations for the run's strictness: at 10, every word of the program chunk and
// every word of the bank chunk's first program chunk's worth (one record, where a bank
// is its programs in a row) with every hostile value; below, a share of the words and of
// the values. Byte flips anywhere in either chunk on top.
std::vector<Mutation> makePlan(Context& cx, const Chunks& chunks) {
    const int s = cx.strictness();
    std::vector<int> values;
    if (s >= 5) {
        for (int v = 0; v < kHostileCount; ++v) values.push_back(v);
    } else if (s >= 3) {
        values = {0, 2, 3, 4, 7};  // 1e30, NaN, +inf, -inf, -1
    } else {
        values = {0, 2, 7};
    }
    const float share = static_cast<float>(s) / 10.0f;
    // What a mutation leaves behind in the plug-in beyond its chunk (a phase, a filter's
    // memory) can hide what a later one does to the same field: the program chunk's words,
    // the bank chunk's, and the flips each start in a fresh instance.
    std::vector<Mutation> plan;
    int group = 0;
    for (bool used : {false, true}) {
        const ChunkPair& pair = chunks.of(used);
        for (int preset : {kProgramChunk, kBankChunk}) {
            const Bytes& chunk = pair.of(preset);
            const std::size_t covered = std::min(chunk.size(), pair.program.size()) / 4 * 4;
            ++group;
            for (std::size_t at = 0; at < covered; at += 4) {
                if (s < 10 && !(cx.uniform() < share)) continue;
                for (int v : values) plan.push_back({used, preset, static_cast<std::uint32_t>(at), v, 0, false, group});
            }
        }
        ++group;
        for (int preset : {kProgramChunk, kBankChunk}) {
            const Bytes& chunk = pair.of(preset);
            for (int k = 0; k < 10 * s && !chunk.empty(); ++k) {
                Mutation m;
                m.used = used;
                m.preset = preset;
                m.offset = static_cast<std::uint32_t>(cx.rng() % chunk.size());
                m.mask = static_cast<std::uint8_t>(1 + cx.below(255));
                m.group = group;
                plan.push_back(m);
            }
        }
    }
    return plan;
}

// The first non-finite or unwritten output sample of a block, if any.
struct Unclean {
    long samples = 0;
    std::string first;
    void scan(const GuardedAudio& audio, int block, const char* where) {
        AudioStats stats;
        scanOutputs(audio, stats, where);
        const long bad = stats.nan + stats.infinite + stats.unwritten;
        if (bad == 0) return;
        if (first.empty()) {
            // The first bad sample of the block may be a loud one: name a non-finite one.
            for (int c = 0; c < audio.numOutputs() && first.empty(); ++c)
                for (int i = 0; i < audio.frames(); ++i) {
                    const float x = audio.outputs()[c][i];
                    if (std::isfinite(x)) continue;
                    char text[200];
                    std::snprintf(text, sizeof(text), "%s at output %d, frame %d of block %d, %s",
                                  std::isnan(x) ? "NaN" : "infinite output", c, i, block, where);
                    first = text;
                    break;
                }
        }
        samples += bad;
    }
};

// Runs the plan's mutations from `from` on in one instance, stopping at the first that
// fails; progress() names each before it starts.
void runMutations(const Fuzz& fuzz, std::size_t from, std::size_t to, Report& report) {
    Context cx{fuzz.options, report, std::mt19937(static_cast<std::uint32_t>(fuzz.options.seed + from))};
    Instance in(cx);
    if (!in.load()) return;
    in.start(kRate, kBlock);
    GuardedAudio audio(in.numInputs(), in.numOutputs(), kBlock);
    // One group per child: the batch ends where the next group begins.
    const int group = fuzz.plan[from].group;
    const bool used = fuzz.plan[from].used;
    if (used) playSession(in, audio, fuzz.options.seed);
    const ChunkPair& originals = fuzz.chunks.of(used);
    // The chunks as they were read, and a stretch of plain processing: what fails from
    // here on is the mutations'.
    for (int preset : {kBankChunk, kProgramChunk}) {
        Bytes copy = originals.of(preset);
        in.dispatch(effSetChunk, preset, static_cast<VstIntPtr>(copy.size()), copy.data());
    }
    audio.arrange(kBlock, GuardedAudio::Layout::Back, "the unmutated chunks");
    Unclean before;
    for (int b = 0; b < 8; ++b) {
        fillNoise(audio, cx.rng, 0.25f);
        in.process(audio);
        before.scan(audio, b, "with the chunks as the plug-in gave them");
    }
    if (before.samples > 0) {
        report.fail("%ld non-finite output samples before any mutation; first %s", before.samples, before.first.c_str());
        return;
    }
    const int withTime = fuzz.blocksWithTime, perMutation = fuzz.blocksWithTime + fuzz.blocksWithoutTime;
    for (std::size_t i = from; i < to; ++i) {
        const Mutation& m = fuzz.plan[i];
        if (m.group != group) break;
        if (m.dropped) continue;
        progress("mutation %zu", i);
        const Bytes& original = originals.of(m.preset);
        Bytes chunk = original;
        apply(m, chunk);
        audio.arrange(kBlock, GuardedAudio::Layout::Back, describe(m, fuzz.chunks));
        in.dispatch(effSetChunk, m.preset, static_cast<VstIntPtr>(chunk.size()), chunk.data());
        Unclean unclean;
        for (int b = 0; b < perMutation; ++b) {
            const bool timeInfo = b < withTime;
            in.session.provideTimeInfo = timeInfo;
            if (timeInfo) in.session.transport.samplePos = transportPosition(i, b, perMutation);
            fillNoise(audio, cx.rng, 0.25f);
            in.process(audio);
            unclean.scan(audio, b, timeInfo ? "with time information" : "without time information");
        }
        // The original set again: output that stays unclean is this mutation's doing too.
        Bytes copy = original;
        in.dispatch(effSetChunk, m.preset, static_cast<VstIntPtr>(copy.size()), copy.data());
        in.session.provideTimeInfo = true;
        for (int b = 0; b < fuzz.blocksAfter; ++b) {
            fillNoise(audio, cx.rng, 0.25f);
            in.process(audio);
            unclean.scan(audio, perMutation + b, "after the original chunk was set again");
        }
        if (unclean.samples > 0) {
            report.fail("%ld non-finite output samples; first %s", unclean.samples, unclean.first.c_str());
            return;
        }
        const std::string slack = audio.slackProblem();
        if (!slack.empty()) {
            report.fail("%s", slack.c_str());
            return;
        }
    }
    progress("done");
    in.stop();
}

// The mutation a batch was at when it stopped, from its last progress line; -1 if none.
long mutationInFlight(const Report& r) {
    long at = -1;
    if (std::sscanf(r.lastProgress().c_str(), "mutation %ld", &at) != 1) return -1;
    return at;
}

// What went wrong in a child, without its progress line.
std::string whatHappened(const ChildResult& r, double hangSeconds) {
    char text[160];
    switch (r.end) {
        case ChildEnd::Hung: std::snprintf(text, sizeof(text), "hung (no answer within %g s)", hangSeconds); return text;
        case ChildEnd::Crashed:
            std::snprintf(text, sizeof(text), "crashed with signal %d (%s)", r.signal, strsignal(r.signal));
            return text;
        case ChildEnd::Exited:
            std::snprintf(text, sizeof(text), "the plug-in ended the process with status %d", r.status);
            return text;
        case ChildEnd::GuardPage:
        case ChildEnd::Finished: break;
    }
    return r.report.failures().empty() ? "failed" : r.report.failures().front();
}

}  // namespace

void checkStateFuzz(Context& cx) {
    Fuzz fuzz{cx.options, {}, {}};
    if (cx.strictness() >= 8) fuzz.blocksWithTime = 10;
    const int blocksPerMutation = fuzz.blocksWithTime + fuzz.blocksWithoutTime + fuzz.blocksAfter;
    if (!readChunks(cx, blocksPerMutation, fuzz.chunks)) return;
    if (!fuzz.chunks.present) {
        cx.report.skip("the plug-in keeps no chunks (effFlagsProgramChunks not set)");
        return;
    }
    fuzz.plan = makePlan(cx, fuzz.chunks);
    // A mutation takes milliseconds: a second without one is a hang, unless the plug-in
    // is that slow (a sanitizer build, chunks that load files) without mutations too.
    fuzz.hangSeconds = std::max(1.0, std::ceil(50.0 * fuzz.chunks.mutationSeconds));
    ChildLimits limits;
    limits.totalSeconds = cx.options.timeoutSeconds ? cx.options.timeoutSeconds : 60 + 60 * cx.strictness();
    limits.idleSeconds = fuzz.hangSeconds;

    const auto started = Clock::now();
    // Half the time a check has: a plug-in that hangs on many words still gets its
    // findings listed before the check as a whole counts as hung.
    const auto giveUp = started + std::chrono::seconds(limits.totalSeconds / 2);
    int findings = 0, batches = 0, alone = 0;
    std::size_t next = 0;
    bool stoppedEarly = false;
    while (next < fuzz.plan.size()) {
        if (Clock::now() > giveUp) {
            stoppedEarly = true;
            break;
        }
        progress("mutations from %zu of %zu on", next, fuzz.plan.size());
        ++batches;
        const std::size_t from = next;
        // Thousands of broken states: what the plug-in prints about them is left out.
        ChildLimits batchLimits = limits;
        batchLimits.quiet = true;
        ChildResult batch =
            runInChild([&](Report& r) { runMutations(fuzz, from, fuzz.plan.size(), r); }, batchLimits);
        if (batch.end == ChildEnd::Finished && !batch.report.failed()) {
            while (next < fuzz.plan.size() && fuzz.plan[next].group == fuzz.plan[from].group) ++next;
            continue;
        }
        const long at = mutationInFlight(batch.report);
        if (batch.report.lastProgress() == "done") {
            cx.report.fail("closing after the mutations: %s", whatHappened(batch, fuzz.hangSeconds).c_str());
            return;
        }
        if (at < 0 || static_cast<std::size_t>(at) < from) {
            cx.report.fail("before any mutation: %s", whatHappened(batch, fuzz.hangSeconds).c_str());
            return;
        }
        const auto index = static_cast<std::size_t>(at);
        const Mutation& m = fuzz.plan[index];
        // Alone in a fresh instance: its own fault, or one an earlier mutation left?
        ++alone;
        progress("%s, alone", describe(m, fuzz.chunks).c_str());
        ChildResult single = runInChild([&](Report& r) { runMutations(fuzz, index, index + 1, r); }, limits);
        const bool confirmed = single.end != ChildEnd::Finished || single.report.failed();
        const ChildResult& shown = confirmed && mutationInFlight(single.report) == at ? single : batch;
        cx.report.fail("%s: %s%s", describe(m, fuzz.chunks).c_str(), whatHappened(shown, fuzz.hangSeconds).c_str(),
                       confirmed ? "" : " (after earlier mutations in the same instance; alone it passed)");
        ++findings;
        // One finding per word is enough to name it.
        for (Mutation& other : fuzz.plan)
            if (other.used == m.used && other.preset == m.preset && other.offset == m.offset && other.value >= 0 &&
                m.value >= 0)
                other.dropped = true;
        next = index + 1;
    }
    const double took = std::chrono::duration<double>(Clock::now() - started).count();
    long words = 0, flips = 0;
    for (const Mutation& m : fuzz.plan) (m.value >= 0 ? words : flips) += 1;
    if (stoppedEarly)
        cx.report.fail("stopped after %d findings, at mutation %zu of %zu: the time for this check ran out", findings,
                       next, fuzz.plan.size());
    cx.report.note("%ld hostile words and %ld byte flips in the program (%zu bytes) and bank (%zu bytes) chunks, "
                   "as loaded and after use, each set and processed for %d blocks, with and without time "
                   "information: no hang, crash or non-finite output (%d child%s, %.1f s)",
                   words, flips, fuzz.chunks.loaded.program.size(), fuzz.chunks.loaded.bank.size(),
                   fuzz.blocksWithTime + fuzz.blocksWithoutTime, batches + alone, batches + alone == 1 ? "" : "ren",
                   took);
}

}  // namespace gwvalidate
