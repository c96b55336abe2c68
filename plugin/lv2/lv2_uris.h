#pragma once
// The URIs of grainwheel's LV2 plug-in: its own, its UI's, its state properties and the
// extension through which its UI reaches the running instance.

namespace grainwheel::lv2 {

#define GW_LV2_URI "urn:orbelune:grainwheel"
inline constexpr const char* kPluginUri = GW_LV2_URI;
inline constexpr const char* kUiUri = GW_LV2_URI "#ui";
// State: the 16 program records (the bank chunk's layout), and each buffer's WAV file.
inline constexpr const char* kStateRecordsUri = GW_LV2_URI "#records";
inline constexpr const char* kStateBufferUri = GW_LV2_URI "#buffer";  // + "01".."16"
// Extension data: the instance's InstanceAccess (lv2_access.h).
inline constexpr const char* kAccessUri = GW_LV2_URI "#access";
#undef GW_LV2_URI

// Port indices: the 107 parameters first, in parameter order, then audio and time.
inline constexpr int kParameterPorts = 107;
inline constexpr int kPortInLeft = 107;
inline constexpr int kPortInRight = 108;
inline constexpr int kPortOutLeft = 109;
inline constexpr int kPortOutRight = 110;
inline constexpr int kPortTime = 111;
inline constexpr int kPortCount = 112;

}  // namespace grainwheel::lv2
