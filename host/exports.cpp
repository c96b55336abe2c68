// The two exported entry points. Hosts look up `VSTPluginMain` first and `main` second;
// both mean the same. Only these two symbols leave the library (see the linker version
// script / module definition file of the plug-in target). This file belongs to the
// plug-in module alone: an executable linking it would get our `main`.

#include "host/entry.h"

#if defined(_WIN32)
#define GW_EXPORT  // exported through the module definition file
#else
#define GW_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {

GW_EXPORT AEffect* VSTCALLBACK VSTPluginMain(audioMasterCallback audioMaster) { return vstEntry(audioMaster); }

// C++ reserves the name `main` for the program's entry, so the function gets another
// name in the source and the symbol `main` through an assembler label (a module
// definition file on Windows, where cdecl names carry a leading underscore).
#if defined(_WIN32)
AEffect* VSTCALLBACK gwLegacyMain(audioMasterCallback audioMaster) { return vstEntry(audioMaster); }
#else
GW_EXPORT AEffect* gwLegacyMain(audioMasterCallback audioMaster) __asm__("main");
AEffect* gwLegacyMain(audioMasterCallback audioMaster) { return vstEntry(audioMaster); }
#endif

}  // extern "C"
