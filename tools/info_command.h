#pragma once
#include <cstdio>

namespace gwhost {
// `grainwheel-host info PLUGIN`: prints what the plug-in says about itself. Returns the
// process exit status.
int runInfo(const char* pluginPath, std::FILE* out);
}  // namespace gwhost
