#pragma once
// grainwheel-host validate PLUGIN.so [--strictness 1..10] [--only NAME] [--seed N]:
// checks any VST 2.x plug-in as a careful host would use it, one line per check.

#include <cstdio>

namespace gwvalidate {

const char* validateUsage();
// Answers 0 when every check passed or was skipped, 1 when one failed, 2 on bad usage.
int runValidate(int argc, char** argv, std::FILE* out);

}  // namespace gwvalidate
