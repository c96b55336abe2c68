#pragma once
// The panel's VST 3 view (vst3_view.cpp), for the suites: the panel a view made by the
// effect's createView shows.

#include <vst3_c_api.h>

namespace grainwheel {
class ADEditor;
}

namespace grainwheel::vst3 {

ADEditor* panelOf(Steinberg_IPlugView* view);

}  // namespace grainwheel::vst3
