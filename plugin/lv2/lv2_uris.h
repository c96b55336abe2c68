#pragma once
// The URIs of grainwheel's LV2 plug-in: its own, its UI's, its state properties, the
// extension through which its UI reaches the running instance and the UI's command
// messages; the port indices.

#include "engine/parameter_table.h"

namespace grainwheel::lv2 {

#define GW_LV2_URI "urn:orbelune:grainwheel"
inline constexpr const char* kPluginUri = GW_LV2_URI;
inline constexpr const char* kUiUri = GW_LV2_URI "#ui";
// State: the 16 program records (the bank chunk's layout), and each buffer's WAV file.
inline constexpr const char* kStateRecordsUri = GW_LV2_URI "#records";
inline constexpr const char* kStateBufferUri = GW_LV2_URI "#buffer";  // + "01".."16"
// Extension data: the instance's InstanceAccess (lv2_access.h).
inline constexpr const char* kAccessUri = GW_LV2_URI "#access";
// A press or release of a command's button on the UI, sent to the time port as an object
// of this type (atom:eventTransfer) with the parameter's index (atom:Int) and the value
// (atom:Float): every message reaches the engine once, in order, however many arrive
// within one block.
inline constexpr const char* kCommandUri = GW_LV2_URI "#Command";
inline constexpr const char* kCommandIndexUri = GW_LV2_URI "#commandIndex";
inline constexpr const char* kCommandValueUri = GW_LV2_URI "#commandValue";
// What the panel draws (display_snapshot.h), sent on the notify port for a UI that cannot
// reach the instance: objects of these types whose #displayData is an atom:Chunk holding
// the structure's bytes (#DisplayColumns with the buffer's number, #displayBuffer).
inline constexpr const char* kDisplayLiveUri = GW_LV2_URI "#DisplayLive";
inline constexpr const char* kDisplayScopeUri = GW_LV2_URI "#DisplayScope";
inline constexpr const char* kDisplayColumnsUri = GW_LV2_URI "#DisplayColumns";
inline constexpr const char* kDisplayBufferUri = GW_LV2_URI "#displayBuffer";
inline constexpr const char* kDisplayDataUri = GW_LV2_URI "#displayData";
#undef GW_LV2_URI

// Port indices: the 107 parameters first, in parameter order, then audio, time and the
// notify output (added last: the indices before it never change).
inline constexpr int kParameterPorts = kNumHostParameters;
inline constexpr int kPortInLeft = kParameterPorts;
inline constexpr int kPortInRight = kParameterPorts + 1;
inline constexpr int kPortOutLeft = kParameterPorts + 2;
inline constexpr int kPortOutRight = kParameterPorts + 3;
inline constexpr int kPortTime = kParameterPorts + 4;
inline constexpr int kPortNotify = kParameterPorts + 5;
inline constexpr int kPortCount = kParameterPorts + 6;
// The notify port's smallest buffer (rsz:minimumSize): a live message, a scope message and
// two buffers' columns fit into one cycle's.
inline constexpr int kNotifyMinimumSize = 8192;

// The control ports that are commands (a press, not a value): kill buffer, next and
// previous program, copy and paste, the pitch and speed presets.
constexpr bool isCommandPort(int i) { return isCommand(i); }

}  // namespace grainwheel::lv2
