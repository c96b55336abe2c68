#include "tools/info_command.h"

#include <cstring>
#include <string>

#include "tools/host_session.h"

namespace gwhost {

namespace {

std::string fourCC(std::int32_t id) {
    std::string s = "'";
    for (int shift = 24; shift >= 0; shift -= 8) {
        char c = static_cast<char>((static_cast<std::uint32_t>(id) >> shift) & 0xFF);
        s += (c >= 32 && c < 127) ? c : '?';
    }
    return s + "'";
}

std::string flagNames(std::int32_t flags) {
    struct Name {
        std::int32_t bit;
        const char* name;
    };
    static const Name names[] = {{effFlagsHasEditor, "editor"},          {effFlagsHasClip, "clip"},
                                 {effFlagsHasVu, "vu"},                  {effFlagsCanMono, "mono"},
                                 {effFlagsCanReplacing, "replacing"},    {effFlagsProgramChunks, "chunks"},
                                 {effFlagsIsSynth, "synth"},             {effFlagsNoSoundInStop, "no-sound-in-stop"}};
    std::string s;
    for (const Name& n : names)
        if (flags & n.bit) s += (s.empty() ? "" : ", ") + std::string(n.name);
    return s;
}

const char* const kCanDoQuestions[] = {"receiveVstTimeInfo", "receiveVstEvents", "sendVstEvents",
                                       "plugAsChannelInsert", "plugAsSend",      "1in2out",
                                       "2in2out",            "bypass",           "offline"};

}  // namespace

int runInfo(const char* pluginPath, std::FILE* out) {
    HostSession session;
    if (!session.load(pluginPath)) {
        std::fprintf(stderr, "grainwheel-host: %s\n", session.error().c_str());
        return 1;
    }
    AEffect* e = session.effect();
    session.start(44100.0, 512);

    std::fprintf(out, "plugin:        %s\n", session.pluginPath().c_str());
    std::fprintf(out, "name:          %s\n", session.text(effGetEffectName).c_str());
    std::fprintf(out, "vendor:        %s\n", session.text(effGetVendorString).c_str());
    std::fprintf(out, "product:       %s\n", session.text(effGetProductString).c_str());
    std::fprintf(out, "version:       %ld (vendor version %ld)\n", static_cast<long>(e->version),
                 static_cast<long>(session.dispatch(effGetVendorVersion)));
    std::fprintf(out, "VST version:   %ld\n", static_cast<long>(session.dispatch(effGetVstVersion)));
    std::fprintf(out, "unique ID:     %s (0x%08X)\n", fourCC(e->uniqueID).c_str(),
                 static_cast<unsigned>(e->uniqueID));
    VstIntPtr category = session.dispatch(effGetPlugCategory);
    std::fprintf(out, "category:      %ld (%s)\n", static_cast<long>(category), categoryName(category));
    std::fprintf(out, "inputs:        %d\n", e->numInputs);
    std::fprintf(out, "outputs:       %d\n", e->numOutputs);
    std::fprintf(out, "flags:         0x%X (%s)\n", static_cast<unsigned>(e->flags), flagNames(e->flags).c_str());
    std::fprintf(out, "initial delay: %d\n", e->initialDelay);
    std::fprintf(out, "tail size:     %ld\n", static_cast<long>(session.dispatch(effGetTailSize)));

    std::fprintf(out, "parameters:    %d\n", e->numParams);
    std::fprintf(out, "  %5s  %-10s %-24s %-10s %s\n", "index", "name", "display", "label", "automatable");
    for (VstInt32 i = 0; i < e->numParams; ++i) {
        std::string name = session.text(effGetParamName, i);
        std::string display = session.text(effGetParamDisplay, i);
        std::string label = session.text(effGetParamLabel, i);
        bool automatable = session.dispatch(effCanBeAutomated, i) != 0;
        std::fprintf(out, "  %5d  %-10s %-24s %-10s %s\n", i, name.c_str(), ('"' + display + '"').c_str(),
                     label.c_str(), automatable ? "yes" : "no");
    }

    std::fprintf(out, "programs:      %d\n", e->numPrograms);
    VstIntPtr current = session.dispatch(effGetProgram);
    bool switched = false;
    for (VstInt32 p = 0; p < e->numPrograms; ++p) {
        char name[256] = {};
        if (session.dispatch(effGetProgramNameIndexed, p, -1, name) == 0) {
            // No indexed names: select each program in turn, as hosts do.
            session.dispatch(effSetProgram, 0, p);
            session.dispatch(effGetProgramName, 0, 0, name);
            switched = true;
        }
        name[sizeof(name) - 1] = 0;
        std::fprintf(out, "  %5d  %s\n", p, name);
    }
    if (switched) session.dispatch(effSetProgram, 0, current);

    std::fprintf(out, "canDo:\n");
    for (const char* question : kCanDoQuestions) {
        char text[64];
        std::strncpy(text, question, sizeof(text) - 1);
        text[sizeof(text) - 1] = 0;
        std::fprintf(out, "  %-20s %ld\n", question, static_cast<long>(session.dispatch(effCanDo, 0, 0, text)));
    }
    if (!session.automation.empty())
        std::fprintf(out, "automation:    %zu events recorded\n", session.automation.size());

    session.close();
    std::fprintf(out, "closed:        ok\n");
    return 0;
}

}  // namespace gwhost
