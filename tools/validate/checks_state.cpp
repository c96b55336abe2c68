// State: the chunks a host keeps in its project, read back byte for byte, in the same
// instance and in a fresh one; without chunks, the parameters carried over.

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "tools/validate/instance.h"

namespace gwvalidate {

namespace {

using Bytes = std::vector<char>;

bool getChunk(Context& cx, Instance& in, int preset, Bytes& out, const char* what) {
    void* data = nullptr;
    VstIntPtr size = in.dispatch(effGetChunk, preset, 0, &data);
    if (size <= 0 || !data) {
        cx.report.fail("effGetChunk for the %s answers %ld bytes at %p", what, static_cast<long>(size), data);
        return false;
    }
    // Hosts copy the bytes at once: the plug-in's own copy may change with the next call.
    out.assign(static_cast<char*>(data), static_cast<char*>(data) + size);
    return true;
}

void compare(Context& cx, const Bytes& expected, const Bytes& got, const char* what) {
    if (expected == got) return;
    std::size_t at = 0;
    while (at < expected.size() && at < got.size() && expected[at] == got[at]) ++at;
    cx.report.fail("%s: %zu bytes where %zu were set, first difference at byte %zu", what, got.size(),
                   expected.size(), at);
}

// Gives a third of the parameters random values, so the state is not just the default.
void stir(Context& cx, Instance& in) {
    for (int i = 0; i < in.numParams(); ++i)
        if (cx.below(3) == 0) in.setParameter(i, cx.uniform());
}

void checkWithoutChunks(Context& cx, Instance& a) {
    stir(cx, a);
    Instance b(cx);
    if (!b.load()) return;
    b.start(44100.0, 512);
    for (int i = 0; i < a.numParams(); ++i) b.setParameter(i, a.getParameter(i));
    int differ = 0;
    for (int i = 0; i < a.numParams(); ++i) {
        float x = a.getParameter(i), y = b.getParameter(i);
        if (std::fabs(x - y) > 1e-6f && ++differ <= 3)
            cx.report.fail("parameter %d reads %g here and %g in a fresh instance given that value", i,
                           static_cast<double>(x), static_cast<double>(y));
    }
    cx.report.note("no chunks: %d parameters carried into a fresh instance", a.numParams());
}

}  // namespace

void checkState(Context& cx) {
    Instance a(cx);
    if (!a.load()) return;
    a.start(44100.0, 512);
    if (!(a.effect()->flags & effFlagsProgramChunks)) {
        checkWithoutChunks(cx, a);
        return;
    }
    const int rounds = cx.strictness() >= 8 ? 3 : 1;
    for (int round = 0; round < rounds; ++round) {
        stir(cx, a);
        if (a.numPrograms() > 1) a.dispatch(effSetProgram, 0, cx.below(a.numPrograms()));
        const VstIntPtr program = a.dispatch(effGetProgram);
        for (int preset : {0, 1}) {
            const char* what = preset ? "program chunk" : "bank chunk";
            progress("the %s, round %d", what, round + 1);
            Bytes first, second, fresh;
            if (!getChunk(cx, a, preset, first, what)) continue;
            Bytes copy = first;
            a.dispatch(effSetChunk, preset, static_cast<VstIntPtr>(copy.size()), copy.data());
            if (getChunk(cx, a, preset, second, what))
                compare(cx, first, second, (std::string(what) + " set and read again").c_str());

            Instance b(cx);
            if (!b.load()) return;
            b.start(44100.0, 512);
            // As a host restores a project: the program first, then the chunk.
            b.dispatch(effSetProgram, 0, program);
            Bytes copyB = first;
            b.dispatch(effSetChunk, preset, static_cast<VstIntPtr>(copyB.size()), copyB.data());
            if (getChunk(cx, b, preset, fresh, what))
                compare(cx, first, fresh, (std::string(what) + " set into a fresh instance and read").c_str());
            if (b.dispatch(effGetProgram) != program)
                cx.report.fail("a fresh instance given the %s is at program %ld, not %ld", what,
                               static_cast<long>(b.dispatch(effGetProgram)), static_cast<long>(program));
        }
    }
    a.stop();
    cx.report.note("program and bank chunks identical after get, set, get, here and in a fresh instance (%d round%s)",
                   rounds, rounds == 1 ? "" : "s");
}

}  // namespace gwvalidate
