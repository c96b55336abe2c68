#pragma once
// The panel of a CLAP plug-in instance the host has made one for (null: none), for the
// suites.
#include <clap/plugin.h>
#include "editor/ad_editor.h"
namespace grainwheel::clap {
ADEditor* panelOf(const clap_plugin_t* p);
}
