#pragma once
// The scripted host of the suites that create effects in-process or load the module: one
// audioMaster callback that answers the version query (2300), the time query with a
// record the test fills (or null), the directory query with a folder the test names (or
// null), and records the automation the plug-in sends, and separately the same automation
// in order with the begin and end of each edit gesture. It can name itself (vendor and
// product) and act as a host that keeps its tempo map per thread: a begin-edit while the
// transport plays, from a thread that never asked for a tempo or the time, counts as a
// begin that would have read a missing map.

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
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
        vendor.clear();
        product.clear();
        tempoQueries = 0;
        unmappedBegins = 0;
        sizeRequests.clear();
        std::lock_guard<std::mutex> lock(mappedLock);
        mappedThreads.clear();
    }
    // The calling thread now holds the tempo map.
    void mapThread() {
        std::lock_guard<std::mutex> lock(mappedLock);
        if (std::find(mappedThreads.begin(), mappedThreads.end(), std::this_thread::get_id()) == mappedThreads.end())
            mappedThreads.push_back(std::this_thread::get_id());
    }
    bool threadMapped() {
        std::lock_guard<std::mutex> lock(mappedLock);
        return std::find(mappedThreads.begin(), mappedThreads.end(), std::this_thread::get_id()) != mappedThreads.end();
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
    std::string vendor, product;    // the names the host gives; empty: it gives none
    bool tempoMapPerThread = false; // acts as the host described above
    long tempoQueries = 0;
    long unmappedBegins = 0;
    std::vector<std::pair<int, int>> sizeRequests;  // audioMasterSizeWindow: width, height
    std::mutex mappedLock;
    std::vector<std::thread::id> mappedThreads;
};

inline ScriptedHost& scriptedHost() {
    static ScriptedHost host;
    return host;
}

inline VstIntPtr VSTCALLBACK hostCallback(AEffect*, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                          float opt) {
    ScriptedHost& host = scriptedHost();
    switch (opcode) {
    case audioMasterSizeWindow:
        host.sizeRequests.emplace_back(index, static_cast<int>(value));
        return 1;
    case audioMasterVersion: return 2300;
    case audioMasterAutomate:
        if (host.recordAutomation) {
            host.automations.push_back({index, opt});
            host.edits.push_back({'v', index});
        }
        return 0;
    case audioMasterBeginEdit:
    case audioMasterEndEdit:
        if (opcode == audioMasterBeginEdit && host.tempoMapPerThread && (host.time.flags & kVstTransportPlaying) &&
            !host.threadMapped())
            ++host.unmappedBegins;
        if (host.recordAutomation) host.edits.push_back({opcode == audioMasterBeginEdit ? 'b' : 'e', index});
        return 0;
    case audioMasterTempoAt:
        ++host.tempoQueries;
        if (host.tempoMapPerThread) host.mapThread();
        return 1200000;
    case audioMasterGetVendorString:
    case audioMasterGetProductString: {
        const std::string& name = opcode == audioMasterGetVendorString ? host.vendor : host.product;
        if (name.empty() || ptr == nullptr) return 0;
        std::memcpy(ptr, name.c_str(), std::min<std::size_t>(name.size() + 1, 64));
        return 1;
    }
    case audioMasterGetTime:
        if (host.tempoMapPerThread) host.mapThread();
        host.timeQueries.fetch_add(1, std::memory_order_relaxed);
        return host.answerTime ? reinterpret_cast<VstIntPtr>(&host.time) : 0;
    case audioMasterGetDirectory:
        return host.directory.empty() ? 0 : reinterpret_cast<VstIntPtr>(host.directory.c_str());
    default: return 0;
    }
}

}  // namespace gwtest
