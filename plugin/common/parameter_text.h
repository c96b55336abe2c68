#pragma once
// The host parameters' texts both ways, for the adapters whose hosts ask for a value by
// its text: a step's text gives its step; a continuous parameter's text gives the first
// value showing it, or else the value showing the nearest number.

#include "engine/parameter_table.h"

namespace grainwheel {

// The steps between 0 and 1 of a parameter: a choice's count of steps, 1 for the
// switches and the commands, 0 for a continuous one.
int stepCountOf(const ParameterInfo& p);

// Whether hosts may automate host parameter `p`: as the table says (the VST 2
// canParameterBeAutomated), and the switches (trigmode, grid, monitor, rec free, rec sync)
// too, which hosts would otherwise hide; the commands the table keeps from automation
// (kill buffer, copy, paste) stay so.
inline bool automatable(const ParameterInfo& p) { return p.automatable || p.kind == ParameterKind::Switch; }

// Writes the text shown for normalised `value` (at most 63 characters and the terminator).
using ValueText = void (*)(void* context, double value, char* out);

// The normalised value `typed` names among a parameter's `steps` (0: continuous); false
// when none does.
bool valueOfText(const char* typed, int steps, ValueText textOf, void* context, double& value);

}  // namespace grainwheel
