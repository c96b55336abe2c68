// Loads grainwheel.dll the way a Windows host does (LoadLibrary, GetProcAddress, the
// dispatcher and the parameter callbacks) and checks its answers. A console program,
// run under Wine on Linux; the last line is "N passed, M failed". Built for 32-bit
// Windows; it also builds as a 64-bit program for machines that cannot run 32-bit code.

#include <windows.h>

#include <xmmintrin.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "host/vst2abi.h"

#if !defined(_WIN64)
static_assert(sizeof(AEffect) == 144, "the 32-bit record");
#endif
// The tree's toolchain does floating point in SSE2 registers, where the flush-to-zero mode
// that the audio callbacks set takes effect (x87 arithmetic ignores it).
#if defined(__i386__) && !defined(__SSE2_MATH__)
#error "the 32-bit Windows build must use -msse2 -mfpmath=sse"
#endif

namespace {

int passed = 0;
int failed = 0;

void check(bool ok, const char* what, int line) {
    if (ok) {
        ++passed;
    } else {
        ++failed;
        std::printf("FAIL line %d: %s\n", line, what);
    }
}
#define CHECK(cond) check((cond), #cond, __LINE__)
#define CHECK_EQ(a, b) check((a) == (b), #a " == " #b, __LINE__)
#define CHECK_STR(a, b) check(std::string(a) == std::string(b), #a " == " #b, __LINE__)

int versionCalls = 0;
int automateCalls = 0;
VstIntPtr versionAnswer = 2300;

VstIntPtr VSTCALLBACK hostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    switch (opcode) {
        case audioMasterVersion: ++versionCalls; return versionAnswer;
        case audioMasterAutomate: ++automateCalls; return 0;
        case audioMasterGetSampleRate: return 44100;
        case audioMasterGetBlockSize: return 512;
        default: return 0;
    }
}

using Entry = AEffect*(VSTCALLBACK*)(audioMasterCallback);

std::string text(AEffect* e, VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0) {
    char buffer[256];
    std::memset(buffer, 0, sizeof(buffer));
    e->dispatcher(e, opcode, index, value, buffer, 0.0f);
    buffer[sizeof(buffer) - 1] = 0;
    return buffer;
}

void checkRecord(AEffect* e) {
    CHECK_EQ(e->magic, 0x56737450);
    CHECK_EQ(e->numPrograms, 16);
    CHECK_EQ(e->numParams, 107);
    CHECK_EQ(e->numInputs, 2);
    CHECK_EQ(e->numOutputs, 2);
    CHECK_EQ(e->flags, 0x39);
    CHECK_EQ(e->uniqueID, 0x47573039);
    CHECK_EQ(e->version, 1);
    CHECK_EQ(e->initialDelay, 0);
    CHECK(e->processReplacing != nullptr);
    CHECK(e->object != nullptr);
}

void checkAnswers(AEffect* e) {
    CHECK_STR(text(e, effGetEffectName), "grainwheel");
    CHECK_STR(text(e, effGetVendorString), "orbelune audio");
    CHECK_STR(text(e, effGetProductString), "grainwheel vst");
    CHECK_EQ(e->dispatcher(e, effGetVendorVersion, 0, 0, nullptr, 0.0f), 1);
    CHECK_EQ(e->dispatcher(e, effGetPlugCategory, 0, 0, nullptr, 0.0f), 1);
    CHECK_EQ(e->dispatcher(e, effGetVstVersion, 0, 0, nullptr, 0.0f), 2300);
    CHECK_EQ(e->dispatcher(e, effIdentify, 0, 0, nullptr, 0.0f), 0x4E764566);
    CHECK_EQ(e->dispatcher(e, effKeysRequired, 0, 0, nullptr, 0.0f), 1);
    CHECK_EQ(e->dispatcher(e, effSetBypass, 0, 1, nullptr, 0.0f), 0);
    char bypass[] = "bypass";
    char receive[] = "receiveVstTimeInfo";
    char upper[] = "Bypass";
    CHECK_EQ(e->dispatcher(e, effCanDo, 0, 0, bypass, 0.0f), 1);
    CHECK_EQ(e->dispatcher(e, effCanDo, 0, 0, receive, 0.0f), 1);
    CHECK_EQ(e->dispatcher(e, effCanDo, 0, 0, upper, 0.0f), 0);
    ERect* rect = nullptr;
    CHECK_EQ(e->dispatcher(e, effEditGetRect, 0, 0, &rect, 0.0f), 1);
    CHECK(rect != nullptr && rect->bottom == 414 && rect->right == 930);
}

void checkParameters(AEffect* e) {
    CHECK_STR(text(e, effGetParamName, 0), "bufferNo");
    CHECK_STR(text(e, effGetParamName, 1), "mainLevl");
    CHECK_STR(text(e, effGetParamName, 27), "bufpos01");
    CHECK_STR(text(e, effGetParamName, 106), "freq16");
    CHECK_STR(text(e, effGetParamLabel, 4), "sustain");
    CHECK_STR(text(e, effGetParamDisplay, 1), "-6 dB");
    CHECK_STR(text(e, effGetParamDisplay, 2), "2.0 ");
    CHECK_STR(text(e, effGetParamDisplay, 3), "1/16");
    bool namesFit = true;
    for (VstInt32 i = 0; i < 107; ++i) {
        std::string name = text(e, effGetParamName, i);
        if (name.empty() || name.size() > 8) namesFit = false;
        if (text(e, effGetParamDisplay, i).size() > 23) namesFit = false;
    }
    CHECK(namesFit);
    CHECK_EQ(e->dispatcher(e, effCanBeAutomated, 1, 0, nullptr, 0.0f), 1);
    CHECK_EQ(e->dispatcher(e, effCanBeAutomated, 6, 0, nullptr, 0.0f), 0);

    e->setParameter(e, 1, 1.0f);
    CHECK_EQ(e->getParameter(e, 1), 1.0f);
    CHECK_STR(text(e, effGetParamDisplay, 1), "+6 dB");
    e->setParameter(e, 1, 0.5f);
    e->setParameter(e, 12, 1.0f);
    CHECK_EQ(e->getParameter(e, 12), 1.0f);
    CHECK_STR(text(e, effGetParamDisplay, 12), "     15");
    CHECK_EQ(e->dispatcher(e, effGetProgram, 0, 0, nullptr, 0.0f), 15);
    e->setParameter(e, 12, 0.0f);
    CHECK_EQ(e->dispatcher(e, effGetProgram, 0, 0, nullptr, 0.0f), 0);
}

void checkPrograms(AEffect* e) {
    e->dispatcher(e, effSetProgram, 0, 3, nullptr, 0.0f);
    CHECK_EQ(e->dispatcher(e, effGetProgram, 0, 0, nullptr, 0.0f), 3);
    e->dispatcher(e, effSetProgram, 0, 16, nullptr, 0.0f);
    e->dispatcher(e, effSetProgram, 0, -1, nullptr, 0.0f);
    CHECK_EQ(e->dispatcher(e, effGetProgram, 0, 0, nullptr, 0.0f), 3);
    CHECK_STR(text(e, effGetProgramName), "Init 4");  // unnamed programs show their number
    char name[64] = {};
    CHECK_EQ(e->dispatcher(e, effGetProgramNameIndexed, 15, -1, name, 0.0f), 1);
    CHECK_STR(name, "Init");
    void* chunk = nullptr;
    VstIntPtr size = e->dispatcher(e, effGetChunk, 0, 0, &chunk, 0.0f);
    CHECK(size > 0 && chunk != nullptr);
    e->dispatcher(e, effSetProgram, 0, 0, nullptr, 0.0f);
}

void checkProcessing(AEffect* e) {
    e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, 44100.0f);
    e->dispatcher(e, effSetBlockSize, 0, 512, nullptr, 0.0f);
    e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
    static float in[2][512], out[2][512];
    for (int i = 0; i < 512; ++i) {
        in[0][i] = in[1][i] = 0.25f * std::sin(i * 0.05f);
        out[0][i] = out[1][i] = 1e9f;
    }
    float* ins[2] = {in[0], in[1]};
    float* outs[2] = {out[0], out[1]};
    for (int block = 0; block < 8; ++block) e->processReplacing(e, ins, outs, 512);
    bool finite = true;
    for (int ch = 0; ch < 2; ++ch)
        for (int i = 0; i < 512; ++i) finite = finite && std::isfinite(out[ch][i]) && std::fabs(out[ch][i]) < 10.0f;
    CHECK(finite);
    e->dispatcher(e, effMainsChanged, 0, 0, nullptr, 0.0f);
}

#if defined(__i386__)
// Calls fn (cdecl) with six 32-bit arguments on a stack aligned to 4 bytes but not to 16, as
// hosts built by other compilers may call a plug-in: code that keeps SSE values on the stack
// must realign its own frame, or it faults.
void callMisaligned(const void* fn, const std::uint32_t (&args)[6]) {
    struct Call {
        const void* fn;
        std::uint32_t a[6];
    } c{fn, {args[0], args[1], args[2], args[3], args[4], args[5]}};
    asm volatile(
        "mov %%esp, %%esi\n\t"
        "and $-16, %%esp\n\t"
        "sub $8, %%esp\n\t"  // after six pushes and the return address: 4 off the 16-byte grid
        "pushl 24(%0)\n\tpushl 20(%0)\n\tpushl 16(%0)\n\tpushl 12(%0)\n\tpushl 8(%0)\n\tpushl 4(%0)\n\t"
        "call *(%0)\n\t"
        "mov %%esi, %%esp\n\t"
        :
        : "b"(&c)
        : "esi", "eax", "ecx", "edx", "memory", "cc", "xmm0", "xmm1", "xmm2", "xmm3", "xmm4", "xmm5", "xmm6",
          "xmm7");
}

std::uint32_t word(const void* p) { return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(p)); }
std::uint32_t word(float f) {
    std::uint32_t w;
    std::memcpy(&w, &f, 4);
    return w;
}

// Records a chord, plays it back with dense grains, the pitch filter and resonance, and asks
// for parameter texts: every call on a misaligned stack. The caller's floating-point mode
// comes back unchanged.
void checkMisalignedStack(AEffect* e) {
    const auto process = reinterpret_cast<const void*>(e->processReplacing);
    const auto set = reinterpret_cast<const void*>(e->setParameter);
    const auto dispatch = reinterpret_cast<const void*>(e->dispatcher);
    callMisaligned(dispatch, {word(e), effSetSampleRate, 0, 0, 0, word(44100.0f)});
    callMisaligned(dispatch, {word(e), effMainsChanged, 0, 1, 0, 0});
    static float in[2][512], out[2][512];
    float* ins[2] = {in[0], in[1]};
    float* outs[2] = {out[0], out[1]};
    const unsigned mode = _mm_getcsr();
    float peak = 0;
    bool finite = true;
    callMisaligned(set, {word(e), 9, word(1.0f), 0, 0, 0});  // rec free
    for (int block = 0; block < 800; ++block) {
        if (block == 780) {
            callMisaligned(set, {word(e), 9, word(0.0f), 0, 0, 0});
            callMisaligned(set, {word(e), 2, word(1.0f), 0, 0, 0});  // density
            callMisaligned(set, {word(e), 5, word(0.8f), 0, 0, 0});  // resonance
            for (int u = 0; u < 16; ++u) callMisaligned(set, {word(e), static_cast<std::uint32_t>(75 + u), word(0.35f), 0, 0, 0});
        }
        for (int i = 0; i < 512; ++i) in[0][i] = in[1][i] = block < 780 ? 0.3f * std::sin((block * 512 + i) * 0.031f) : 0.0f;
        callMisaligned(process, {word(e), word(ins), word(outs), 512, 0, 0});
        if (block > 780) {
            for (int i = 0; i < 512; ++i) {
                finite = finite && std::isfinite(out[0][i]);
                peak = std::fmax(peak, std::fabs(out[0][i]));
            }
        }
    }
    char display[64] = {};
    callMisaligned(dispatch, {word(e), effGetParamDisplay, 5, 0, word(display), 0});
    CHECK(display[0] != 0);
    CHECK(finite);
    CHECK(peak > 0.0f);
    CHECK_EQ(_mm_getcsr(), mode);
    callMisaligned(dispatch, {word(e), effMainsChanged, 0, 0, 0, 0});
}
#endif

}  // namespace

int main(int argc, char** argv) {
    const char* path = argc > 1 ? argv[1] : "grainwheel.dll";
    HMODULE module = LoadLibraryA(path);
    CHECK(module != nullptr);
    if (!module) {
        std::printf("cannot load %s\n%d passed, %d failed\n", path, passed, failed);
        return 1;
    }
    auto vstMain = reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(module, "VSTPluginMain")));
    auto legacyMain = reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(module, "main")));
    CHECK(vstMain != nullptr);
    CHECK(legacyMain != nullptr);
    if (vstMain && legacyMain) {
        versionAnswer = 0;
        CHECK(legacyMain(hostCallback) == nullptr);
        CHECK(versionCalls == 1);
        versionAnswer = 2300;

        AEffect* e = legacyMain(hostCallback);
        CHECK(e != nullptr);
        if (e) {
            e->resvd1 = 0x12345678;  // hosts may keep their own pointer here
            checkRecord(e);
            checkAnswers(e);
            checkParameters(e);
            checkPrograms(e);
            checkProcessing(e);
#if defined(__i386__)
            checkMisalignedStack(e);
#endif
            CHECK_EQ(e->resvd1, 0x12345678);
            CHECK_EQ(e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f), 1);
        }
        AEffect* second = vstMain(hostCallback);
        CHECK(second != nullptr);
        if (second) CHECK_EQ(second->dispatcher(second, effClose, 0, 0, nullptr, 0.0f), 1);
    }
    FreeLibrary(module);
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
