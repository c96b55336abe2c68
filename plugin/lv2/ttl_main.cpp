// grainwheel-lv2-ttl OUTDIR: writes the LV2 bundle's manifest.ttl and grainwheel.ttl.
// Each control port is a row of the parameter table: its index, symbol, name, "Init"
// value and kind; a choice's points are labelled with the engine's own display texts.

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "engine/grain_engine.h"
#include "engine/parameter_table.h"
#include "plugin/lv2/lv2_uris.h"

namespace {

using grainwheel::GrainEngine;
using namespace grainwheel;

std::string number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", v);
    std::string s = text;
    if (s.find_first_of(".e") == std::string::npos) s += ".0";
    return s;
}

std::string quoted(const std::string& text) {
    std::string s = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') s += '\\';
        s += c;
    }
    return s + "\"";
}

// The values a choice takes and their display texts, read from a scratch engine.
std::vector<std::pair<float, std::string>> choicesOf(const ParameterInfo& p) {
    const int i = p.index, steps = p.steps;
    std::vector<std::pair<float, std::string>> out;
    GrainEngine scratch;
    for (int k = 0; k <= steps; ++k) {
        const float v = static_cast<float>(k) / static_cast<float>(steps);
        scratch.setParameter(i, v);
        char text[64] = {};
        if (i == kProgram) scratch.programs().name(text);
        else scratch.parameters().display(i, text);
        const char* shown = text;
        while (*shown == ' ') ++shown;
        std::string label;
        if (i == kProgram) {
            label = std::to_string(k);  // the program's number, then its name
            if (*shown != 0) label.append(" ").append(shown);
        } else {
            label = shown;
        }
        out.emplace_back(v, label);
    }
    return out;
}

std::string pluginTtl() {
    std::ostringstream t;
    t << "@prefix atom: <http://lv2plug.in/ns/ext/atom#> .\n"
         "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
         "@prefix foaf: <http://xmlns.com/foaf/0.1/> .\n"
         "@prefix log: <http://lv2plug.in/ns/ext/log#> .\n"
         "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
         "@prefix pprops: <http://lv2plug.in/ns/ext/port-props#> .\n"
         "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
         "@prefix rsz: <http://lv2plug.in/ns/ext/resize-port#> .\n"
         "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
         "@prefix time: <http://lv2plug.in/ns/ext/time#> .\n"
         "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n"
         "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n"
         "@prefix work: <http://lv2plug.in/ns/ext/worker#> .\n\n";
    t << "<" << lv2::kPluginUri << ">\n"
      // LV2 has no class for effects in general: the nearest is the one for plug-ins that
      // play their input back later, as grainwheel plays its recordings. doap:Project
      // lets the description take doap's properties (name, maintainer).
      << "    a lv2:Plugin , lv2:DelayPlugin , doap:Project ;\n"
         "    doap:name \"grainwheel\" ;\n"
         "    doap:maintainer [ foaf:name \"orbelune audio\" ] ;\n"
         "    rdfs:comment \"A tempo-synchronised granular step sequencer: it records its input into 16 "
         "buffers and plays them back as grains through 16 sequencer units.\" ;\n"
         "    lv2:minorVersion 9 ;\n    lv2:microVersion 0 ;\n"
         "    lv2:optionalFeature lv2:hardRTCapable , urid:map , work:schedule , log:log , state:threadSafeRestore ;\n"
         "    lv2:extensionData work:interface , state:interface ;\n"
      << "    ui:ui <" << lv2::kUiUri << "> ;\n";
    for (const ParameterInfo& p : kParameters) {
        const int i = p.index;
        t << (i == 0 ? "    lv2:port [\n" : "    ] , [\n")
          << "        a lv2:InputPort , lv2:ControlPort ;\n"
          << "        lv2:index " << i << " ;\n"
          << "        lv2:symbol \"" << p.symbol << "\" ;\n"
          << "        lv2:name " << quoted(p.name) << " ;\n"
          << "        lv2:default " << number(p.init) << " ;\n"
          << "        lv2:minimum 0.0 ;\n        lv2:maximum 1.0 ;\n";
        switch (p.kind) {
        case ParameterKind::Switch: t << "        lv2:portProperty lv2:toggled ;\n"; break;
        case ParameterKind::Command:
            t << "        lv2:portProperty lv2:toggled , pprops:trigger ;\n"
                 "        rdfs:comment \"A command: it runs once each time the port's value changes; a host "
                 "that resets the trigger to 0 after the block that took the press does not run it again.\" ;\n";
            break;
        case ParameterKind::Choice: {
            // A list to choose from where the default is one of its values; unitDura's
            // default lies between two, so its points only name the steps.
            if (i != kUnitDura) t << "        lv2:portProperty lv2:enumeration ;\n";
            const auto choices = choicesOf(p);
            for (std::size_t k = 0; k < choices.size(); ++k)
                t << (k == 0 ? "        lv2:scalePoint [ " : " , [ ") << "rdfs:label " << quoted(choices[k].second)
                  << " ; rdf:value " << number(choices[k].first) << " ]";
            t << " ;\n";
            break;
        }
        case ParameterKind::Continuous: break;
        }
    }
    const struct {
        int index;
        const char* type;
        const char* symbol;
        const char* name;
    } audio[] = {{lv2::kPortInLeft, "lv2:InputPort", "in_left", "In Left"},
                 {lv2::kPortInRight, "lv2:InputPort", "in_right", "In Right"},
                 {lv2::kPortOutLeft, "lv2:OutputPort", "out_left", "Out Left"},
                 {lv2::kPortOutRight, "lv2:OutputPort", "out_right", "Out Right"}};
    for (const auto& a : audio)
        t << "    ] , [\n        a " << a.type << " , lv2:AudioPort ;\n        lv2:index " << a.index
          << " ;\n        lv2:symbol \"" << a.symbol << "\" ;\n        lv2:name \"" << a.name << "\" ;\n";
    t << "    ] , [\n        a lv2:InputPort , atom:AtomPort ;\n"
      << "        lv2:index " << lv2::kPortTime << " ;\n"
      << "        lv2:symbol \"time\" ;\n        lv2:name \"Time\" ;\n"
         "        atom:bufferType atom:Sequence ;\n        atom:supports time:Position ;\n"
         "        lv2:portProperty lv2:connectionOptional ;\n"
         "        lv2:designation lv2:control ;\n"
      // What the panel draws, for a UI that cannot reach the instance (ui:portNotification).
      << "    ] , [\n        a lv2:OutputPort , atom:AtomPort ;\n"
      << "        lv2:index " << lv2::kPortNotify << " ;\n"
      << "        lv2:symbol \"notify\" ;\n        lv2:name \"Notify\" ;\n"
         "        atom:bufferType atom:Sequence ;\n"
      << "        rsz:minimumSize " << lv2::kNotifyMinimumSize << " ;\n"
         "        lv2:portProperty lv2:connectionOptional ;\n"
         "    ] .\n";
    return "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n" + t.str();
}

std::string uiTtl() {
    std::ostringstream t;
    t << "\n<" << lv2::kUiUri << ">\n"
      << "    a ui:X11UI ;\n"
         "    lv2:requiredFeature ui:idleInterface ;\n"
         "    lv2:optionalFeature ui:parent , ui:resize , ui:touch , urid:map , "
         "<http://lv2plug.in/ns/ext/instance-access> , <http://lv2plug.in/ns/ext/data-access> , "
         "<http://lv2plug.in/ns/ext/options#options> ;\n"
         "    <http://lv2plug.in/ns/ext/options#supportedOption> ui:scaleFactor ;\n"
         "    lv2:extensionData ui:idleInterface , <http://lv2plug.in/ns/ext/options#interface> ;\n"
      << "    ui:portNotification [\n        ui:plugin <" << lv2::kPluginUri << "> ;\n"
         "        lv2:symbol \"notify\" ;\n        ui:protocol atom:eventTransfer\n    ] .\n";
    return t.str();
}

std::string manifestTtl(const std::string& dsp, const std::string& ui) {
    std::ostringstream t;
    t << "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
         "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
         "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n\n"
      << "<" << lv2::kPluginUri << ">\n    a lv2:Plugin ;\n    lv2:binary <" << dsp
      << "> ;\n    rdfs:seeAlso <grainwheel.ttl> .\n\n"
      << "<" << lv2::kUiUri << ">\n    a ui:X11UI ;\n    ui:binary <" << ui << "> ;\n    rdfs:seeAlso <grainwheel.ttl> .\n";
    return t.str();
}

bool write(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out.flush());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: grainwheel-lv2-ttl BUNDLE_FOLDER DSP_BINARY UI_BINARY\n";
        return 2;
    }
    const std::string dir = argv[1];
    if (!write(dir + "/manifest.ttl", manifestTtl(argv[2], argv[3])) ||
        !write(dir + "/grainwheel.ttl", pluginTtl() + uiTtl())) {
        std::cerr << "grainwheel-lv2-ttl: cannot write into " << dir << "\n";
        return 1;
    }
    return 0;
}
