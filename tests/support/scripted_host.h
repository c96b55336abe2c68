#pragma once
// The scripted host of the suites that create effects in-process or load the module: one
// audioMaster callback that answers the version query (2300), the time query with a
// record the test fills (or null), the directory query with a folder the test names (or
// null), and records the automation the plug-in sends, and separately the same automation
// in order with the begin and end of each edit gesture.

#include <atomic>
#include <string>
#include <vector>

#include "host/vst2abi.h"

namespace gwtest {

struct Automation {
    VstInt32 index;
    float value;
};

// One host call of the edit log: 'b' begin-edit, 'v' automation, 'e' end-edit.
struct EditCall {
    char kind;
    VstInt32 index;
};

struct ScriptedHost {
    // Back to a host that answers no time and no directory and has recorded nothing.
    void reset() {
        time = VstTimeInfo{};
        answerTime = false;
        directory.clear();
        recordAutomation = true;
        automations.clear();
        edits.clear();
        timeQueries = 0;
    }
    // Answers the time query from now on: a playing transport at ppq with the given bar
    // start, tempo and metre (all marked valid), everything else zero.
    void playingAt(double ppq, double barStart, double tempo, int num = 4, int den = 4) {
        answerTime = true;
        time = VstTimeInfo{};
        time.ppqPos = ppq;
        time.barStartPos = barStart;
        time.tempo = tempo;
        time.timeSigNumerator = num;
        time.timeSigDenominator = den;
        time.flags = kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstTimeSigValid | kVstTransportPlaying;
    }

    VstTimeInfo time{};
    bool answerTime = false;
    std::string directory;          // the plug-in's folder as the host tells it; empty: null
    bool recordAutomation = true;   // off where several threads may automate at once
    std::vector<Automation> automations;
    std::vector<EditCall> edits;    // recorded with the automation
    std::atomic<long> timeQueries{0};
};

inline ScriptedHost& scriptedHost() {
    static ScriptedHost host;
    return host;
}

inline VstIntPtr VSTCALLBACK hostCallback(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr, void*, float opt) {
    ScriptedHost& host = scriptedHost();
    switch (opcode) {
    case audioMasterVersion: return 2300;
    case audioMasterAutomate:
        if (host.recordAutomation) {
            host.automations.push_back({index, opt});
            host.edits.push_back({'v', index});
        }
        return 0;
    case audioMasterBeginEdit:
    case audioMasterEndEdit:
        if (host.recordAutomation) host.edits.push_back({opcode == audioMasterBeginEdit ? 'b' : 'e', index});
        return 0;
    case audioMasterGetTime:
        host.timeQueries.fetch_add(1, std::memory_order_relaxed);
        return host.answerTime ? reinterpret_cast<VstIntPtr>(&host.time) : 0;
    case audioMasterGetDirectory:
        return host.directory.empty() ? 0 : reinterpret_cast<VstIntPtr>(host.directory.c_str());
    default: return 0;
    }
}

}  // namespace gwtest
